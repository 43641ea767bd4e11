using System.Runtime.InteropServices;

namespace Velnor
{
    // The records the library exchanges, laid out as velnor.h declares them. All are
    // blittable, so the marshaller passes them by address without copying.

    /// <summary>vl_version: three numbers and the zero-filled 32-byte text (44 bytes).</summary>
    [StructLayout(LayoutKind.Sequential, Pack = 4, Size = 44)]
    internal unsafe struct NativeVersion
    {
        public uint Major;
        public uint Minor;
        public uint Patch;
        public fixed byte Text[32];
    }

    /// <summary>vl_clock: mode, 4 reserved bytes carried unchanged, frequency (16 bytes).</summary>
    [StructLayout(LayoutKind.Explicit, Size = 16)]
    internal struct NativeClock
    {
        [FieldOffset(0)] public uint Mode;
        [FieldOffset(4)] public uint Reserved;
        [FieldOffset(8)] public long FrequencyHz;
    }

    /// <summary>One firmware update block as the board takes it (1,032 bytes).</summary>
    [StructLayout(LayoutKind.Sequential, Size = 1032)]
    internal unsafe struct NativeUpdateBlock
    {
        public fixed byte Bytes[1032];
    }
}

using System.Runtime.InteropServices;

namespace Velnor.Bench;

/// <summary>vl_version as velnor.h lays it out (44 bytes).</summary>
[StructLayout(LayoutKind.Sequential, Pack = 4, Size = 44)]
public unsafe struct VersionRecord
{
    /// <summary>Major version number.</summary>
    public uint Major;

    /// <summary>Minor version number.</summary>
    public uint Minor;

    /// <summary>Patch version number.</summary>
    public uint Patch;

    /// <summary>The version as zero-filled text.</summary>
    public fixed byte Text[32];
}

/// <summary>vl_clock as velnor.h lays it out (16 bytes).</summary>
[StructLayout(LayoutKind.Explicit, Size = 16)]
public struct ClockRecord
{
    /// <summary>0 internal synthesis, 1 external reference.</summary>
    [FieldOffset(0)] public uint Mode;

    /// <summary>Carried unchanged to and from the board.</summary>
    [FieldOffset(4)] public uint Reserved;

    /// <summary>The frequency in hertz.</summary>
    [FieldOffset(8)] public long FrequencyHz;
}

/// <summary>
/// The exports as a caller without the binding would declare them: a raw handle, the
/// result code returned as it is. "Velnor" loads the same file the binding loads
/// (libvelnor.so.1, or what VELNOR_LIBRARY names), through the binding's own resolver.
/// </summary>
internal static unsafe partial class BareMethods
{
    private const string Library = "Velnor";

    static BareMethods()
    {
        NativeLibraries.Register(typeof(BareMethods).Assembly);
    }

    [LibraryImport(Library)] internal static partial int vl_device_open(nuint index, out nint handle);
    [LibraryImport(Library)] internal static partial int vl_device_close(nint handle);
    [LibraryImport(Library)] internal static partial int vl_device_get_driver_version(nint handle, out VersionRecord version);
    [LibraryImport(Library)] internal static partial int vl_device_get_firmware_version(nint handle, out VersionRecord version);
    [LibraryImport(Library)] internal static partial int vl_device_get_serial(nint handle, byte* buffer, nuint size);
    [LibraryImport(Library)] internal static partial int vl_device_get_id_led_state(nint handle, out uint state);
    [LibraryImport(Library)] internal static partial int vl_device_get_trigger_polarity(nint handle, out uint polarity);
    [LibraryImport(Library)] internal static partial int vl_device_get_trigger_status(nint handle, out uint status);
    [LibraryImport(Library)] internal static partial int vl_device_get_trigger_status(BorrowedHandle handle, out uint status);
    [LibraryImport(Library)] internal static partial int vl_device_get_clock(nint handle, out ClockRecord clock);
    [LibraryImport(Library)] internal static partial int vl_device_set_clock(nint handle, in ClockRecord clock);
    [LibraryImport(Library)] internal static partial int vl_device_ad9516_reg_read(nint handle, uint address, out byte value);
    [LibraryImport(Library)] internal static partial int vl_device_update_get_status(nint handle, out uint state, out uint received);
}

/// <summary>
/// A raw handle lent to a SafeHandle that does not own it: passed to an export, the
/// marshaller takes and drops a reference on it around the call, as it does on the
/// binding's handle.
/// </summary>
internal sealed class BorrowedHandle : SafeHandle
{
    internal BorrowedHandle(nint handle) : base(0, ownsHandle: false)
    {
        SetHandle(handle);
    }

    public override bool IsInvalid => handle == 0;

    protected override bool ReleaseHandle() => true;
}

/// <summary>What a careful bare caller does with a result code.</summary>
internal static class BareResult
{
    /// <summary>Returns when the export succeeded; throws otherwise (out of line, so the check costs a compare).</summary>
    internal static void Check(int rc)
    {
        if (rc != 0)
        {
            Fail(rc);
        }
    }

    [System.Diagnostics.CodeAnalysis.DoesNotReturn]
    [System.Runtime.CompilerServices.MethodImpl(System.Runtime.CompilerServices.MethodImplOptions.NoInlining)]
    private static void Fail(int rc)
    {
        throw new InvalidOperationException("the export returned " + rc);
    }
}

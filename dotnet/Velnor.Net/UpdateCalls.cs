using System;
using System.Runtime.InteropServices;
using System.Security;

namespace Velnor
{
    /// <summary>
    /// The exports a firmware update calls, on the board's raw handle. The update holds
    /// its own reference on the <see cref="DeviceHandle"/> from start to end, so the raw
    /// handle stays valid even after the board is disposed meanwhile; a SafeHandle argument
    /// would be refused then, and the update could not send its reset. The resolver that
    /// <see cref="NativeMethods"/> registers for this assembly loads these too.
    /// </summary>
    [SuppressUnmanagedCodeSecurity]
    internal static partial class UpdateCalls
    {
#if NET8_0_OR_GREATER
        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_update_start_async")]
        internal static partial int Start(IntPtr handle);

        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_update_get_status")]
        internal static partial int GetStatus(IntPtr handle, out uint state, out uint received);

        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_update_write")]
        internal static partial int Write(IntPtr handle, ref NativeUpdateBlock block);

        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_update_complete")]
        internal static partial int Complete(IntPtr handle);

        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_update_reset")]
        internal static partial int Reset(IntPtr handle);

        [LibraryImport(NativeMethods.Library, EntryPoint = "vl_device_get_firmware_version")]
        internal static partial int GetFirmwareVersion(IntPtr handle, out NativeVersion version);
#else
        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_update_start_async", ExactSpelling = true)]
        internal static extern int Start(IntPtr handle);

        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_update_get_status", ExactSpelling = true)]
        internal static extern int GetStatus(IntPtr handle, out uint state, out uint received);

        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_update_write", ExactSpelling = true)]
        internal static extern int Write(IntPtr handle, ref NativeUpdateBlock block);

        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_update_complete", ExactSpelling = true)]
        internal static extern int Complete(IntPtr handle);

        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_update_reset", ExactSpelling = true)]
        internal static extern int Reset(IntPtr handle);

        [DllImport(NativeMethods.Library, EntryPoint = "vl_device_get_firmware_version", ExactSpelling = true)]
        internal static extern int GetFirmwareVersion(IntPtr handle, out NativeVersion version);
#endif
    }
}

using System;
using System.Runtime.InteropServices;
using System.Security;

namespace Velnor
{
    /// <summary>
    /// The library's 22 exports. "Velnor" is Velnor.dll on Windows and libvelnor.so.1 on
    /// Linux (<see cref="NativeLibraries"/> resolves it). Every operation on a board takes
    /// the <see cref="DeviceHandle"/>, so the marshaller holds a reference on it for the
    /// length of the call and a concurrent Dispose cannot close the handle under it.
    /// </summary>
    [SuppressUnmanagedCodeSecurity]
    internal static partial class NativeMethods
    {
        internal const string Library = NativeLibraries.Velnor;

        static NativeMethods()
        {
            NativeLibraries.Register();
        }

#if NET8_0_OR_GREATER
        [LibraryImport(Library)]
        internal static partial int vl_get_library_version(out NativeVersion version);

        [LibraryImport(Library)]
        internal static partial int vl_get_device_count(out nuint count);

        [LibraryImport(Library)]
        internal static partial int vl_device_open(nuint index, out DeviceHandle handle);

        [LibraryImport(Library)]
        internal static partial int vl_device_close(IntPtr handle);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_driver_version(DeviceHandle handle, out NativeVersion version);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_firmware_version(DeviceHandle handle, out NativeVersion version);

        [LibraryImport(Library)]
        internal static unsafe partial int vl_device_get_serial(DeviceHandle handle, byte* buffer, nuint size);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_id_led_state(DeviceHandle handle, out uint state);

        [LibraryImport(Library)]
        internal static partial int vl_device_set_id_led_state(DeviceHandle handle, uint state);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_trigger_polarity(DeviceHandle handle, out uint polarity);

        [LibraryImport(Library)]
        internal static partial int vl_device_set_trigger_polarity(DeviceHandle handle, uint polarity);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_trigger_status(DeviceHandle handle, out uint status);

        [LibraryImport(Library)]
        internal static partial int vl_device_set_trigger_status(DeviceHandle handle, uint status);

        [LibraryImport(Library)]
        internal static partial int vl_device_ad9516_reg_write(DeviceHandle handle, ulong value);

        [LibraryImport(Library)]
        internal static partial int vl_device_ad9516_reg_read(DeviceHandle handle, uint address, out byte value);

        [LibraryImport(Library)]
        internal static partial int vl_device_set_clock(DeviceHandle handle, ref NativeClock clock);

        [LibraryImport(Library)]
        internal static partial int vl_device_get_clock(DeviceHandle handle, out NativeClock clock);

        [LibraryImport(Library)]
        internal static partial int vl_device_update_start_async(DeviceHandle handle);

        [LibraryImport(Library)]
        internal static partial int vl_device_update_get_status(DeviceHandle handle, out uint state, out uint received);

        [LibraryImport(Library)]
        internal static partial int vl_device_update_write(DeviceHandle handle, ref NativeUpdateBlock block);

        [LibraryImport(Library)]
        internal static partial int vl_device_update_complete(DeviceHandle handle);

        [LibraryImport(Library)]
        internal static partial int vl_device_update_reset(DeviceHandle handle);
#else
        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_get_library_version(out NativeVersion version);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_get_device_count(out nuint count);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_open(nuint index, out DeviceHandle handle);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_close(IntPtr handle);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_driver_version(DeviceHandle handle, out NativeVersion version);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_firmware_version(DeviceHandle handle, out NativeVersion version);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern unsafe int vl_device_get_serial(DeviceHandle handle, byte* buffer, nuint size);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_id_led_state(DeviceHandle handle, out uint state);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_set_id_led_state(DeviceHandle handle, uint state);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_trigger_polarity(DeviceHandle handle, out uint polarity);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_set_trigger_polarity(DeviceHandle handle, uint polarity);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_trigger_status(DeviceHandle handle, out uint status);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_set_trigger_status(DeviceHandle handle, uint status);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_ad9516_reg_write(DeviceHandle handle, ulong value);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_ad9516_reg_read(DeviceHandle handle, uint address, out byte value);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_set_clock(DeviceHandle handle, ref NativeClock clock);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_get_clock(DeviceHandle handle, out NativeClock clock);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_update_start_async(DeviceHandle handle);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_update_get_status(DeviceHandle handle, out uint state, out uint received);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_update_write(DeviceHandle handle, ref NativeUpdateBlock block);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_update_complete(DeviceHandle handle);

        [DllImport(Library, ExactSpelling = true)]
        internal static extern int vl_device_update_reset(DeviceHandle handle);
#endif
    }
}

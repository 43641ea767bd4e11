using System;
using System.Runtime.InteropServices;
using System.Threading;

namespace Velnor
{
    /// <summary>
    /// An open board's handle. Released with vl_device_close once it is disposed and no
    /// call that holds it is still running; that release may happen on another thread
    /// (the last call's) or on the finalizer, so it is signalled for a close that waits.
    /// </summary>
    internal sealed class DeviceHandle : SafeHandle
    {
        private readonly object released = new object();
        private bool isReleased;

        public DeviceHandle() : base(IntPtr.Zero, true)
        {
        }

        // The same board handle again, after the system refused to close it: the library
        // leaves the handle valid then, and this one owns it for the next close.
        private DeviceHandle(IntPtr open) : base(IntPtr.Zero, true)
        {
            SetHandle(open);
        }

        /// <summary>vl_device_close's result code once this handle was released; 0 before.</summary>
        internal int CloseResult { get; private set; }

        /// <summary>Whether vl_device_close was called for this handle (whatever it returned).</summary>
        internal bool IsReleased
        {
            get
            {
                lock (released)
                {
                    return isReleased;
                }
            }
        }

        public override bool IsInvalid => handle == IntPtr.Zero;

        /// <summary>
        /// Waits until the handle is released (the calls that hold it have returned) and
        /// gives vl_device_close's result code. Call after <see cref="SafeHandle.Dispose()"/>.
        /// </summary>
        internal int WaitForRelease()
        {
            if (IsInvalid)
            {
                return 0; // nothing to close: the runtime never releases it
            }
            lock (released)
            {
                while (!isReleased)
                {
                    Monitor.Wait(released);
                }
                return CloseResult;
            }
        }

        /// <summary>A new owner of this handle's board handle, which the system refused to close.</summary>
        internal DeviceHandle Adopt()
        {
            return new DeviceHandle(handle);
        }

        protected override bool ReleaseHandle()
        {
            int rc = NativeMethods.vl_device_close(handle);
            lock (released)
            {
                CloseResult = rc;
                isReleased = true;
                Monitor.PulseAll(released);
            }
            return rc == 0;
        }
    }
}

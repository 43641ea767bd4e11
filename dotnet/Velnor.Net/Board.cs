using System;

namespace Velnor
{
    /// <summary>
    /// An open board. Every property read or write and every method is one request to
    /// the board's driver; nothing is cached. Any thread may call, several at once: the
    /// library does not serialise calls on one board (the driver orders them). A call
    /// holds the board's handle for its length, so a <see cref="Dispose"/> or
    /// <see cref="Close"/> from another thread never closes the handle under it; see
    /// <see cref="Close"/> for what each waits for.
    /// </summary>
    public sealed partial class Board : IDisposable
    {
        /// <summary>
        /// The highest AD9516 register address of the Velnor board's register map. The
        /// binding does not enforce it: the driver judges every address.
        /// </summary>
        public const int MaxRegister = 0x232;

        // The handle of the open board; replaced by a new owner of the same board handle
        // when the system refuses a close, so the close can be tried again.
        private DeviceHandle handle;

        // Set first by Close and Dispose: a SafeHandle only refuses new calls once it is
        // released, which calls from other threads that keep coming would put off forever.
        private volatile bool closed;

        // Whether Dispose was called: a refused close then leaves the board closed to calls.
        private bool disposed;

        // Guards handle, closed and disposed as they change together; held only briefly.
        private readonly object state = new object();

        // Makes Close calls take turns (a Close waits for the release it asked for).
        private readonly object closing = new object();

        // The board whose firmware update is calling its progress callback on this thread.
        [ThreadStatic]
        private static Board? reportingUpdate;

        private Board(DeviceHandle handle, int index)
        {
            this.handle = handle;
            Index = index;
        }

        // ---- lifetime ----

        /// <summary>The board's index in the list when it was opened.</summary>
        public int Index { get; private set; }

        /// <summary>Whether the board was closed (or disposed).</summary>
        public bool IsClosed
        {
            get { return closed; }
        }

        /// <summary>
        /// Closes the board and reports the close. New calls are refused at once
        /// (<see cref="ObjectDisposedException"/>); a firmware update running on the board
        /// stops at its next step and resets; then Close waits until every call still
        /// running on other threads has returned, and closes the handle: it returns only
        /// once the board is closed. If the system refuses the close, the board stays open
        /// (calls work again, <see cref="IsClosed"/> is false) and Close may be called
        /// again to retry. A close that follows a <see cref="Dispose"/> whose close was
        /// refused retries it. A second close after a successful one does nothing.
        /// </summary>
        /// <exception cref="VelnorException">The system refused the close (CallFailedException with
        /// the system's error in its log line); the board stays open.</exception>
        /// <exception cref="InvalidOperationException">Called from the progress callback of this
        /// board's own firmware update, which cannot be waited for from inside: the close is
        /// deferred, not done. The board is closed to calls, the update stops and resets when
        /// the callback returns, and the handle is closed as the update returns; call
        /// <see cref="Dispose"/> in the callback instead, or Close after the update.</exception>
        public void Close()
        {
            if (reportingUpdate == this)
            {
                Shut(false);
                throw new InvalidOperationException(
                    "Board.Close was called from the progress callback of the board's own firmware update: " +
                    "the close is deferred until the update, which holds the board, has stopped and reset " +
                    "(it does so when the callback returns); call Dispose there, or Close after the update");
            }
            lock (closing)
            {
                DeviceHandle current;
                lock (state)
                {
                    closed = true;
                    current = handle;
                    if (current.IsReleased && current.CloseResult != 0)
                    {
                        // A Dispose's close was refused: the board handle is still open; try again.
                        current = handle = current.Adopt();
                    }
                }
                current.Dispose();
                int rc = current.WaitForRelease();
                if (rc != 0)
                {
                    lock (state)
                    {
                        handle = current.Adopt();
                        closed = disposed;
                    }
                    throw VelnorException.Of(rc, "vl_device_close");
                }
            }
        }

        /// <summary>
        /// Closes the board without throwing and without waiting: new calls are refused at
        /// once, a firmware update running on the board stops at its next step and resets,
        /// and the handle is closed when the last call still running on another thread
        /// returns (at once when there is none). If the system refuses that close, nothing
        /// is reported; a later <see cref="Close"/> retries it and reports.
        /// </summary>
        public void Dispose()
        {
            Shut(true);
        }

        // Refuses new calls and lets the handle go when the calls that hold it return.
        private void Shut(bool byDispose)
        {
            DeviceHandle current;
            lock (state)
            {
                disposed |= byDispose;
                closed = true;
                current = handle;
            }
            current.Dispose();
        }

        internal static ObjectDisposedException Closed()
        {
            return new ObjectDisposedException("Velnor.Board", "the board is closed");
        }

        /// <summary>The board whose firmware update is calling its progress callback on this thread, if any.</summary>
        internal static Board? ReportingUpdate
        {
            get { return reportingUpdate; }
            set { reportingUpdate = value; }
        }

        /// <summary>The handle, for a caller that holds its own reference on it (the firmware update).</summary>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        internal DeviceHandle OpenHandle
        {
            get { return Handle; }
        }

        private void Check(int rc, string function)
        {
            if (rc != 0)
            {
                throw VelnorException.Of(rc, function);
            }
        }

        private DeviceHandle Handle
        {
            get
            {
                if (closed)
                {
                    throw Closed();
                }
                return handle;
            }
        }

        // ---- versions and serial ----

        /// <summary>The version of the board's kernel driver.</summary>
        public VersionInfo DriverVersion
        {
            get
            {
                NativeVersion record;
                Check(NativeMethods.vl_device_get_driver_version(Handle, out record), "vl_device_get_driver_version");
                return FieldTexts.Driver(ref record);
            }
        }

        /// <summary>The version of the board's firmware.</summary>
        public VersionInfo FirmwareVersion
        {
            get
            {
                NativeVersion record;
                Check(NativeMethods.vl_device_get_firmware_version(Handle, out record), "vl_device_get_firmware_version");
                return FieldTexts.Firmware(ref record);
            }
        }

        /// <summary>The serial number, up to 32 characters.</summary>
        public unsafe string Serial
        {
            get
            {
                byte* buffer = stackalloc byte[32];
                Check(NativeMethods.vl_device_get_serial(Handle, buffer, new UIntPtr(32)), "vl_device_get_serial");
                return FieldTexts.Serial(buffer);
            }
        }

        // ---- LED and trigger ----

        /// <summary>
        /// The identification LED (another value when the board reports one). A value the
        /// board does not know is sent all the same, and the driver refuses it
        /// (<see cref="InvalidBoardDataException"/>).
        /// </summary>
        /// <exception cref="ArgumentOutOfRangeException">Set to a negative value, which does not fit the request's
        /// unsigned 32-bit field; nothing is sent.</exception>
        public Led Led
        {
            get
            {
                uint value;
                Check(NativeMethods.vl_device_get_id_led_state(Handle, out value), "vl_device_get_id_led_state");
                return (Led)value;
            }
            set
            {
                Check(NativeMethods.vl_device_set_id_led_state(Handle, Unsigned((int)value, value)), "vl_device_set_id_led_state");
            }
        }

        /// <summary>
        /// The trigger polarity, Rising or Falling. Another value is sent all the same, and
        /// the driver refuses it (<see cref="InvalidBoardDataException"/>).
        /// </summary>
        /// <exception cref="ArgumentOutOfRangeException">Set to a negative value, which does not fit the request's
        /// unsigned 32-bit field; nothing is sent.</exception>
        public TriggerPolarity TriggerPolarity
        {
            get
            {
                uint value;
                Check(NativeMethods.vl_device_get_trigger_polarity(Handle, out value), "vl_device_get_trigger_polarity");
                return (TriggerPolarity)value;
            }
            set
            {
                Check(NativeMethods.vl_device_set_trigger_polarity(Handle, Unsigned((int)value, value)),
                      "vl_device_set_trigger_polarity");
            }
        }

        /// <summary>
        /// The trigger status: Triggered once an armed trigger has fired. Set Armed or
        /// Disarmed; another value (Triggered included) is sent all the same, and the
        /// driver refuses it (<see cref="InvalidBoardDataException"/>).
        /// </summary>
        /// <exception cref="ArgumentOutOfRangeException">Set to a negative value, which does not fit the request's
        /// unsigned 32-bit field; nothing is sent.</exception>
        public TriggerStatus TriggerStatus
        {
            get
            {
                // Written out: this is the read a trigger loop polls.
                if (closed)
                {
                    throw Closed();
                }
                uint value;
                int rc = NativeMethods.vl_device_get_trigger_status(handle, out value);
                if (rc != 0)
                {
                    throw VelnorException.Of(rc, "vl_device_get_trigger_status");
                }
                return (TriggerStatus)value;
            }
            set
            {
                Check(NativeMethods.vl_device_set_trigger_status(Handle, Unsigned((int)value, value)),
                      "vl_device_set_trigger_status");
            }
        }

        // ---- clock ----

        /// <summary>
        /// The sample clock last set. An internal-mode frequency the AD9516 cannot produce
        /// raises <see cref="InvalidFrequencyException"/> and nothing is sent. A mode other
        /// than Internal or External is sent all the same, and the driver refuses it
        /// (<see cref="InvalidBoardDataException"/>).
        /// </summary>
        /// <exception cref="ArgumentOutOfRangeException">Set with a negative mode, which does not fit the
        /// record's unsigned 32-bit field; nothing is sent.</exception>
        public Clock Clock
        {
            get
            {
                NativeClock record;
                Check(NativeMethods.vl_device_get_clock(Handle, out record), "vl_device_get_clock");
                return new Clock((ClockMode)record.Mode, record.FrequencyHz, record.Reserved);
            }
            set
            {
                var record = new NativeClock
                {
                    Mode = Unsigned((int)value.Mode, value.Mode), Reserved = value.Reserved, FrequencyHz = value.FrequencyHz
                };
                int rc = NativeMethods.vl_device_set_clock(Handle, ref record);
                if (rc != 0)
                {
                    throw VelnorException.Of(rc, "vl_device_set_clock", rc == -13 ? value.FrequencyHz + "Hz" : null);
                }
            }
        }

        // ---- AD9516 registers ----

        /// <summary>
        /// Reads one AD9516 register. The driver judges the address: one outside the
        /// board's register map (0 to <see cref="MaxRegister"/> on the Velnor board) is
        /// refused with <see cref="InvalidBoardDataException"/>.
        /// </summary>
        /// <param name="address">The register address, 0 or more.</param>
        /// <returns>The register's contents.</returns>
        /// <exception cref="ArgumentOutOfRangeException">address is negative, which does not fit the request's
        /// unsigned 32-bit field; nothing is sent.</exception>
        public byte ReadRegister(int address)
        {
            byte value;
            Check(NativeMethods.vl_device_ad9516_reg_read(Handle, Address(address), out value), "vl_device_ad9516_reg_read");
            return value;
        }

        /// <summary>
        /// Writes one AD9516 register. The driver judges the address: one outside the
        /// board's register map (0 to <see cref="MaxRegister"/> on the Velnor board) is
        /// refused with <see cref="InvalidBoardDataException"/>.
        /// </summary>
        /// <param name="address">The register address, 0 or more.</param>
        /// <param name="value">The contents.</param>
        /// <exception cref="ArgumentOutOfRangeException">address is negative, which does not fit the request's
        /// unsigned 32-bit field; nothing is sent.</exception>
        public void WriteRegister(int address, byte value)
        {
            Check(NativeMethods.vl_device_ad9516_reg_write(Handle, Address(address) | (ulong)value << 32),
                  "vl_device_ad9516_reg_write");
        }

        private static uint Address(int address)
        {
            if (address < 0)
            {
                throw new ArgumentOutOfRangeException(nameof(address), address,
                    "an AD9516 register address is 0 or more (an unsigned 32-bit field)");
            }
            return (uint)address;
        }

        // An enum value as the request's unsigned 32-bit field; a negative one does not fit.
        private static uint Unsigned<T>(int number, T value)
        {
            if (number < 0)
            {
                throw new ArgumentOutOfRangeException(nameof(value), value,
                    "a negative value does not fit the request's unsigned 32-bit field");
            }
            return (uint)number;
        }
    }
}

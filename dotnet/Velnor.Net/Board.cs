using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;

namespace Velnor
{
    /// <summary>
    /// An open board. Every property read or write and every method is one request to
    /// the board's driver; nothing is cached. Any thread may call, several at once: the
    /// library does not serialise calls on one board (the driver orders them). Dispose
    /// from one thread while another is inside a call waits for that call: the handle is
    /// released when the last call that holds it returns.
    /// </summary>
    public sealed class Board : IDisposable
    {
        /// <summary>The highest AD9516 register address the board accepts.</summary>
        public const int MaxRegister = 0x232;

        private readonly DeviceHandle handle;

        // Set first by Close and Dispose: a SafeHandle only refuses new calls once it is
        // released, which calls from other threads that keep coming would put off forever.
        private volatile bool closed;

        private Board(DeviceHandle handle, int index)
        {
            this.handle = handle;
            Index = index;
        }

        // ---- the boards present ----

        /// <summary>The number of boards present now; asked anew at every read.</summary>
        public static int Count
        {
            get
            {
                Loader.Ensure();
                UIntPtr count;
                int rc = NativeMethods.vl_get_device_count(out count);
                if (rc != 0)
                {
                    throw VelnorException.Of(rc, "vl_get_device_count");
                }
                return (int)Math.Min(count.ToUInt64(), int.MaxValue);
            }
        }

        /// <summary>
        /// Every board present: index, serial, firmware and driver version. Each board is
        /// opened and closed in turn; a board that leaves meanwhile ends the list there.
        /// </summary>
        /// <returns>The boards, in index order.</returns>
        public static IList<BoardInfo> List()
        {
            var found = new List<BoardInfo>();
            int count = Count;
            for (int index = 0; index < count; ++index)
            {
                Board board;
                try
                {
                    board = Open(index);
                }
                catch (InvalidDeviceException)
                {
                    break;
                }
                using (board)
                {
                    found.Add(new BoardInfo(index, board.Serial, board.FirmwareVersion, board.DriverVersion));
                }
            }
            return new ReadOnlyCollection<BoardInfo>(found);
        }

        /// <summary>Opens the board at a position of the current list.</summary>
        /// <param name="index">0 to <see cref="Count"/> - 1.</param>
        /// <returns>The open board; dispose it when done.</returns>
        /// <exception cref="ArgumentOutOfRangeException">index is negative.</exception>
        /// <exception cref="InvalidDeviceException">No board at that index.</exception>
        public static Board Open(int index)
        {
            if (index < 0)
            {
                throw new ArgumentOutOfRangeException("index", index, "a board index is 0 or more");
            }
            Loader.Ensure();
            DeviceHandle handle;
            int rc = NativeMethods.vl_device_open(new UIntPtr((uint)index), out handle);
            if (rc != 0)
            {
                throw VelnorException.Of(rc, "vl_device_open");
            }
            return new Board(handle, index);
        }

        /// <summary>
        /// Opens the board with this serial: each board is opened in turn and its serial
        /// read; the others are closed again.
        /// </summary>
        /// <param name="serial">The serial number.</param>
        /// <returns>The open board; dispose it when done.</returns>
        /// <exception cref="BoardNotFoundException">No board has the serial.</exception>
        /// <exception cref="AmbiguousSerialException">Several boards have it.</exception>
        public static Board Open(string serial)
        {
            if (serial == null)
            {
                throw new ArgumentNullException("serial");
            }
            var present = new List<KeyValuePair<int, string>>();
            var matches = new List<Board>();
            try
            {
                int count = Count;
                for (int index = 0; index < count; ++index)
                {
                    Board board;
                    try
                    {
                        board = Open(index);
                    }
                    catch (InvalidDeviceException)
                    {
                        break;
                    }
                    string text;
                    try
                    {
                        text = board.Serial;
                    }
                    catch
                    {
                        board.Dispose();
                        throw;
                    }
                    present.Add(new KeyValuePair<int, string>(index, text));
                    if (text == serial)
                    {
                        matches.Add(board);
                    }
                    else
                    {
                        board.Dispose();
                    }
                }
            }
            catch
            {
                matches.ForEach(board => board.Dispose());
                throw;
            }
            if (matches.Count == 1)
            {
                return matches[0];
            }
            matches.ForEach(board => board.Dispose());
            if (matches.Count > 1)
            {
                throw new AmbiguousSerialException(serial, matches.ConvertAll(board => board.Index).AsReadOnly());
            }
            throw new BoardNotFoundException(serial, present.AsReadOnly());
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
        /// Closes the board. A second close does nothing. If a call on another thread is
        /// still running, the handle is released when it returns.
        /// </summary>
        /// <exception cref="VelnorException">The system refused the close; the handle is given up all the same.</exception>
        public void Close()
        {
            if (closed)
            {
                return;
            }
            closed = true;
            handle.Dispose();
            int rc = handle.CloseResult;
            if (rc != 0)
            {
                throw VelnorException.Of(rc, "vl_device_close");
            }
        }

        /// <summary>Closes the board, as <see cref="Close"/> does, without throwing.</summary>
        public void Dispose()
        {
            closed = true;
            handle.Dispose();
        }

        private ObjectDisposedException Closed()
        {
            return new ObjectDisposedException("Velnor.Board", "the board is closed");
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
                return VersionInfo.Of(ref record);
            }
        }

        /// <summary>The version of the board's firmware.</summary>
        public VersionInfo FirmwareVersion
        {
            get
            {
                NativeVersion record;
                Check(NativeMethods.vl_device_get_firmware_version(Handle, out record), "vl_device_get_firmware_version");
                return VersionInfo.Of(ref record);
            }
        }

        /// <summary>The serial number, up to 32 characters.</summary>
        public unsafe string Serial
        {
            get
            {
                byte* buffer = stackalloc byte[32];
                Check(NativeMethods.vl_device_get_serial(Handle, buffer, new UIntPtr(32)), "vl_device_get_serial");
                return Text.Decode(buffer, 32);
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

        // ---- firmware update ----

        /// <summary>Starts an update: the board erases, then accepts blocks (state Ready).</summary>
        public void UpdateStart()
        {
            Check(NativeMethods.vl_device_update_start_async(Handle), "vl_device_update_start_async");
        }

        /// <summary>Polls the update.</summary>
        /// <returns>The state and the image bytes received so far.</returns>
        public UpdateStatus GetUpdateStatus()
        {
            uint state, received;
            Check(NativeMethods.vl_device_update_get_status(Handle, out state, out received), "vl_device_update_get_status");
            return new UpdateStatus((UpdateState)state, received);
        }

        /// <summary>Sends one update block as it stands (<see cref="Firmware.Block"/> makes one).</summary>
        /// <param name="block">Exactly 1,032 bytes.</param>
        /// <exception cref="ArgumentException">block is not 1,032 bytes; nothing is sent.</exception>
        public unsafe void UpdateWrite(byte[] block)
        {
            if (block == null)
            {
                throw new ArgumentNullException("block");
            }
            if (block.Length != Firmware.BlockSize)
            {
                throw new ArgumentException(string.Format("an update block is 1032 bytes, not {0}", block.Length), "block");
            }
            var record = new NativeUpdateBlock();
            for (int i = 0; i < Firmware.BlockSize; ++i)
            {
                record.Bytes[i] = block[i];
            }
            Check(NativeMethods.vl_device_update_write(Handle, ref record), "vl_device_update_write");
        }

        /// <summary>Completes the update; the board verifies the image.</summary>
        public void UpdateComplete()
        {
            Check(NativeMethods.vl_device_update_complete(Handle), "vl_device_update_complete");
        }

        /// <summary>Abandons an update; the board discards the image and returns to idle.</summary>
        public void UpdateReset()
        {
            Check(NativeMethods.vl_device_update_reset(Handle), "vl_device_update_reset");
        }

        /// <summary>Updates the firmware, waiting at most 30 seconds for each of the board's phases.</summary>
        /// <param name="image">A firmware image (<see cref="Firmware.Pack(byte[], string)"/> makes one).</param>
        /// <param name="progress">Called with (bytes sent, image size) after every block; may be null.</param>
        /// <returns>The firmware version the board reports afterwards.</returns>
        public VersionInfo UpdateFirmware(byte[] image, Action<long, long> progress)
        {
            return UpdateFirmware(image, progress, TimeSpan.FromSeconds(30));
        }

        /// <summary>
        /// Updates the firmware: checks the image, starts, waits until the board is ready,
        /// sends the blocks calling progress after each, completes, waits until the board is
        /// done. On any failure or exception, one from progress included, the update reset is
        /// sent before the exception goes on, so the board is not left half-way.
        /// </summary>
        /// <param name="image">A firmware image (<see cref="Firmware.Pack(byte[], string)"/> makes one).</param>
        /// <param name="progress">Called with (bytes sent, image size) after every block; may be null.</param>
        /// <param name="timeout">The longest wait for the board to become ready, and again to finish.</param>
        /// <returns>The firmware version the board reports afterwards.</returns>
        /// <exception cref="FirmwareImageException">The image is not one the board takes; nothing is sent.</exception>
        /// <exception cref="TimeoutException">The board did not reach the next state in time.</exception>
        /// <exception cref="InvalidOperationException">The board's update failed (state Failed).</exception>
        public VersionInfo UpdateFirmware(byte[] image, Action<long, long> progress, TimeSpan timeout)
        {
            Firmware.Check(image);
            long total = image.Length;
            try
            {
                UpdateStart();
                Wait(UpdateState.Ready, timeout);
                for (int offset = 0; offset < image.Length; offset += Firmware.BlockDataMax)
                {
                    int count = Math.Min(Firmware.BlockDataMax, image.Length - offset);
                    UpdateWrite(Firmware.Block(offset, image, offset, count));
                    if (progress != null)
                    {
                        progress(offset + count, total);
                    }
                }
                UpdateComplete();
                Wait(UpdateState.Done, timeout);
                return FirmwareVersion;
            }
            catch (Exception error)
            {
                try
                {
                    UpdateReset();
                }
                catch (Exception resetError)
                {
                    // The first failure is the one to report.
                    error.Data["Velnor.UpdateResetFailure"] = resetError.Message;
                }
                throw;
            }
        }

        private void Wait(UpdateState until, TimeSpan timeout)
        {
            DateTime deadline = DateTime.UtcNow + timeout;
            int pause = 0;
            while (true)
            {
                UpdateStatus status = GetUpdateStatus();
                if (status.State == until)
                {
                    return;
                }
                if (status.State == UpdateState.Failed)
                {
                    throw new InvalidOperationException(string.Format(
                        "the board's update failed while waiting for {0}", until));
                }
                if (DateTime.UtcNow > deadline)
                {
                    throw new TimeoutException(string.Format(
                        "the board stayed {0} for {1} s (waiting for {2})", status.State, timeout.TotalSeconds, until));
                }
                System.Threading.Thread.Sleep(pause);
                pause = Math.Min(Math.Max(pause * 2, 1), 50);
            }
        }
    }
}

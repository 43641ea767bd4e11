using System;
using System.Runtime.InteropServices;
using System.Security;
using System.Text;

[assembly: System.Runtime.CompilerServices.DisableRuntimeMarshalling]

namespace Velnor
{
    /// <summary>The platform calls <see cref="Simulation.FailNext"/> can make fail.</summary>
    public enum SimulatedCall
    {
        /// <summary>The size query of the board list.</summary>
        ListSize = 0,

        /// <summary>The fetch of the board list.</summary>
        ListFetch = 1,

        /// <summary>Opening a board (CreateFileW).</summary>
        CreateFile = 2,

        /// <summary>Closing a board (CloseHandle).</summary>
        CloseHandle = 3,

        /// <summary>A control request (DeviceIoControl).</summary>
        DeviceIoControl = 4
    }

    /// <summary>The board's control requests, for the request fault switches.</summary>
    public enum BoardRequest
    {
        /// <summary>Driver version.</summary>
        GetDriverVersion = 0,
        /// <summary>Firmware version.</summary>
        GetFirmwareVersion = 1,
        /// <summary>Update start.</summary>
        UpdateStart = 2,
        /// <summary>Update status.</summary>
        UpdateStatus = 3,
        /// <summary>Update block.</summary>
        UpdateWrite = 4,
        /// <summary>Update completion.</summary>
        UpdateComplete = 5,
        /// <summary>Update reset.</summary>
        UpdateReset = 6,
        /// <summary>LED read.</summary>
        GetLed = 7,
        /// <summary>LED write.</summary>
        SetLed = 8,
        /// <summary>Trigger polarity read.</summary>
        GetTriggerPolarity = 9,
        /// <summary>Trigger polarity write.</summary>
        SetTriggerPolarity = 10,
        /// <summary>Trigger status read.</summary>
        GetTriggerStatus = 11,
        /// <summary>Trigger status write.</summary>
        SetTriggerStatus = 12,
        /// <summary>Clock read.</summary>
        GetClock = 13,
        /// <summary>Clock write.</summary>
        SetClock = 14,
        /// <summary>AD9516 register write.</summary>
        RegisterWrite = 15,
        /// <summary>AD9516 register read.</summary>
        RegisterRead = 16,
        /// <summary>Serial number.</summary>
        GetSerial = 17
    }

    /// <summary>
    /// The virtual platform: virtual boards and faults for tests, in this process. Works
    /// when the loaded library is a virtual-platform build (the Linux library, or the
    /// simulation build of Velnor.dll with velnor_sim.dll beside it); every member throws
    /// <see cref="InvalidOperationException"/> saying why otherwise. State is process-wide:
    /// call <see cref="Reset"/> in a test's set-up.
    /// </summary>
    public static class Simulation
    {
        private static volatile bool ready;
        private static readonly object Gate = new object();

        private static void Ensure()
        {
            if (ready)
            {
                return;
            }
            lock (Gate)
            {
                if (ready)
                {
                    return;
                }
                Loader.Ensure();
                ulong before;
                try
                {
                    before = SimMethods.vlsim_call_count(SimulatedCall.ListSize);
                }
                catch (Exception error)
                {
                    if (!(error is DllNotFoundException || error is EntryPointNotFoundException))
                    {
                        throw;
                    }
                    throw new InvalidOperationException(
                        "Velnor.Simulation: the virtual platform's library (velnor_sim.dll, libvelnor_sim.so) " +
                        "could not be loaded: " + error.Message, error);
                }
                // The library counts boards through the platform's list calls only when it
                // is bound to this very copy of the platform.
                NativeMethods.vl_get_device_count(out nuint _);
                if (SimMethods.vlsim_call_count(SimulatedCall.ListSize) == before)
                {
                    throw new InvalidOperationException(
                        "Velnor.Simulation: the loaded Velnor library is not a virtual-platform build " +
                        "(it does not list its boards through velnor_sim)");
                }
                ready = true;
            }
        }

        /// <summary>
        /// Removes every board, fault switch and record; counters restart at 0. No board
        /// remains: every running <see cref="BoardWatcher"/> hears each board's removal
        /// (<see cref="BoardWatcher.Removed"/>), in the order of the board list. Watchers
        /// keep running.
        /// </summary>
        public static void Reset()
        {
            Ensure();
            SimMethods.vlsim_reset();
        }

        /// <summary>
        /// Adds a board with the default versions (driver 2.4.1, firmware 1.3.0). Every running
        /// <see cref="BoardWatcher"/> hears its arrival (<see cref="BoardWatcher.Arrived"/>), except
        /// during a replay, with the path <c>\\?\ROOT#VELNOR#&lt;id as 4 digits&gt;#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}</c>.
        /// </summary>
        /// <param name="serial">Up to 32 bytes of UTF-8 without a zero; null gives "VLN-SIM-&lt;id as 4 digits&gt;".</param>
        /// <returns>The board's id: 0, 1, ... in order of arrival since the last reset.</returns>
        public static int AddBoard(string? serial)
        {
            return AddBoard(serial, null, null);
        }

        /// <summary>Adds a board; every running <see cref="BoardWatcher"/> hears its arrival (except during a replay).</summary>
        /// <param name="serial">Up to 32 bytes of UTF-8 without a zero; null gives "VLN-SIM-&lt;id as 4 digits&gt;".</param>
        /// <param name="firmware">The firmware version before any update; null gives 1.3.0.</param>
        /// <param name="driver">The driver version; null gives 2.4.1.</param>
        /// <returns>The board's id: 0, 1, ... in order of arrival since the last reset.</returns>
        public static unsafe int AddBoard(string? serial, VersionInfo? firmware, VersionInfo? driver)
        {
            Ensure();
            var config = new SimBoardConfig();
            SimMethods.vlsim_default_board_config(ref config);
            if (serial != null)
            {
                byte[] raw = Encoding.UTF8.GetBytes(serial);
                if (raw.Length > 32 || Array.IndexOf(raw, (byte)0) >= 0)
                {
                    throw new ArgumentException("a serial is up to 32 bytes without a zero byte", "serial");
                }
                for (int i = 0; i < 33; ++i)
                {
                    config.Serial[i] = i < raw.Length ? raw[i] : (byte)0;
                }
            }
            if (firmware != null)
            {
                config.Firmware = Record(firmware, nameof(firmware));
            }
            if (driver != null)
            {
                config.Driver = Record(driver, nameof(driver));
            }
            return SimMethods.vlsim_add_board(ref config);
        }

        private static unsafe NativeVersion Record(VersionInfo version, string parameter)
        {
            byte[] text = Encoding.UTF8.GetBytes(version.Text);
            if (text.Length > 32)
            {
                throw new ArgumentException("a version text is up to 32 bytes", parameter);
            }
            var record = new NativeVersion { Major = version.Major, Minor = version.Minor, Patch = version.Patch };
            for (int i = 0; i < text.Length; ++i)
            {
                record.Text[i] = text[i];
            }
            return record;
        }

        /// <summary>
        /// Removes a board: it leaves the list, its open handles fail their requests, and every
        /// running <see cref="BoardWatcher"/> hears its removal (<see cref="BoardWatcher.Removed"/>),
        /// except during a replay.
        /// </summary>
        /// <param name="id">The board's id.</param>
        /// <exception cref="ArgumentException">No board has that id.</exception>
        public static void RemoveBoard(int id)
        {
            Ensure();
            if (SimMethods.vlsim_remove_board(id) != 0)
            {
                throw new ArgumentException(string.Format("no virtual board with id {0}", id), "id");
            }
        }

        /// <summary>An armed trigger on the board fires (its status becomes Triggered).</summary>
        /// <param name="id">The board's id.</param>
        /// <exception cref="ArgumentException">No board has that id.</exception>
        public static void FireTrigger(int id)
        {
            Ensure();
            if (SimMethods.vlsim_fire_trigger(id) != 0)
            {
                throw new ArgumentException(string.Format("no virtual board with id {0}", id), "id");
            }
        }

        /// <summary>Number of boards present; during a replay, the trace's boards.</summary>
        public static int BoardCount
        {
            get
            {
                Ensure();
                return (int)SimMethods.vlsim_board_count().ToUInt64();
            }
        }

        /// <summary>Handles opened and not yet closed.</summary>
        public static int OpenHandleCount
        {
            get
            {
                Ensure();
                return (int)SimMethods.vlsim_open_handle_count().ToUInt64();
            }
        }

        /// <summary>Control requests logged since the last reset (the log keeps the newest 4,096).</summary>
        public static long RequestCount
        {
            get
            {
                Ensure();
                return (long)SimMethods.vlsim_request_count().ToUInt64();
            }
        }

        /// <summary>Platform calls of one kind since the last reset.</summary>
        /// <param name="call">The kind of call.</param>
        /// <returns>The number of calls.</returns>
        public static long CallCount(SimulatedCall call)
        {
            Ensure();
            return (long)SimMethods.vlsim_call_count(call);
        }

        /// <summary>An AD9516 register of a board, read directly (not through the library).</summary>
        /// <param name="id">The board's id.</param>
        /// <param name="address">The register address.</param>
        /// <returns>The register's contents.</returns>
        public static byte ReadRegister(int id, int address)
        {
            Ensure();
            byte value;
            if (address < 0 || SimMethods.vlsim_read_register(id, (uint)address, out value) != 0)
            {
                // The platform does not say which of the two it lacks: the board comes first.
                throw new ArgumentException(string.Format("no virtual board with id {0}, or no register 0x{1:x}", id, address),
                                            nameof(id));
            }
            return value;
        }

        /// <summary>The next platform call of that kind fails with error as its Windows error value.</summary>
        /// <param name="call">The kind of call.</param>
        /// <param name="error">The error value (1167 ERROR_DEVICE_NOT_CONNECTED, ...).</param>
        public static void FailNext(SimulatedCall call, uint error)
        {
            Ensure();
            SimMethods.vlsim_fail_next(call, error);
        }

        /// <summary>
        /// The next watch start (<see cref="BoardWatcher.Start"/>) is refused as the system
        /// refuses the registration for device notifications, with error as its Windows error
        /// value: Start throws <see cref="CallFailedException"/>. Needs the virtual platform's
        /// watcher (libvelnor_watch.so.1, or the simulation build of VelnorWatch.dll).
        /// </summary>
        /// <param name="error">The error value (8 ERROR_NOT_ENOUGH_MEMORY, ...).</param>
        public static void FailNextWatchStart(uint error)
        {
            Ensure();
            SimMethods.vlsim_fail_next_listen(error);
        }

        /// <summary>Watches registered with the platform: one for each running <see cref="BoardWatcher"/>
        /// (or other watch of this process).</summary>
        public static int WatchCount
        {
            get
            {
                Ensure();
                return (int)SimMethods.vlsim_listener_count().ToUInt64();
            }
        }

        /// <summary>The n-th platform call from now (1 = the next), whatever its kind, fails.</summary>
        /// <param name="n">Which call, counted from 1.</param>
        /// <param name="error">The error value.</param>
        public static void FailCallAt(long n, uint error)
        {
            Ensure();
            SimMethods.vlsim_fail_call_at((ulong)n, error);
        }

        /// <summary>The next open gets a null handle from the system (Board.Open raises InternalErrorException).</summary>
        public static void NextOpenReturnsNull()
        {
            Ensure();
            SimMethods.vlsim_next_open_returns_null();
        }

        /// <summary>The request answers this status word with a zero payload, until cleared.</summary>
        /// <param name="request">The request.</param>
        /// <param name="status">The driver's status word (a result code, or any 32-bit value).</param>
        public static void SetRequestStatus(BoardRequest request, int status)
        {
            Ensure();
            SimMethods.vlsim_set_request_status((uint)request, status);
        }

        /// <summary>The request is carried out and writes its payload, but answers this status word.</summary>
        /// <param name="request">The request.</param>
        /// <param name="status">The driver's status word.</param>
        public static void SetRequestStatusWithPayload(BoardRequest request, int status)
        {
            Ensure();
            SimMethods.vlsim_set_request_status_with_payload((uint)request, status);
        }

        /// <summary>The request writes only the first n reply bytes and returns n, until cleared.</summary>
        /// <param name="request">The request.</param>
        /// <param name="length">The reply length in bytes.</param>
        public static void SetRequestReplyLength(BoardRequest request, uint length)
        {
            Ensure();
            SimMethods.vlsim_set_request_reply_length((uint)request, length);
        }

        /// <summary>Clears the request switches of one request.</summary>
        /// <param name="request">The request.</param>
        public static void ClearRequestFaults(BoardRequest request)
        {
            Ensure();
            SimMethods.vlsim_clear_request_faults((uint)request);
        }

        /// <summary>Clears every fault switch; boards and logs stay.</summary>
        public static void ClearFaults()
        {
            Ensure();
            SimMethods.vlsim_clear_faults();
        }

        /// <summary>
        /// Replays a trace the recording build wrote (Velnor-trace-*.pcapng): the
        /// platform resets, presents the trace's boards (<see cref="BoardCount"/>) and answers
        /// every platform call from the trace, each handle's calls in order, independently of
        /// other handles (and threads). A call that does not match the next record of
        /// its handle fails (the library throws <see cref="CallFailedException"/>) and
        /// <see cref="TraceDivergence"/> says where. <see cref="Reset"/> ends the replay. A running
        /// <see cref="BoardWatcher"/> hears the boards present leave and the trace's boards arrive,
        /// and these leave again at the end of the replay.
        /// </summary>
        /// <param name="path">The trace file.</param>
        /// <exception cref="ArgumentNullException">path is null.</exception>
        /// <exception cref="ArgumentException">path holds a zero character.</exception>
        /// <exception cref="TraceRefusedException">The platform refused the file (it is not a regular
        /// file that can be read, is not a trace, is damaged before its first whole record, or gives a
        /// list size that does not agree with its fetch); the platform is unchanged.</exception>
        public static void LoadTrace(string path)
        {
            if (path == null)
            {
                throw new ArgumentNullException("path");
            }
            if (path.IndexOf('\0') >= 0)
            {
                throw new ArgumentException("a trace path holds no zero character", "path");
            }
            Ensure();
            // UTF-8 everywhere: the platform opens the path as UTF-16 on Windows.
            IntPtr native = Marshal.StringToCoTaskMemUTF8(path);
            try
            {
                if (SimMethods.vlsim_load_trace(native) != 0)
                {
                    throw new TraceRefusedException(TraceDivergence);
                }
            }
            finally
            {
                Marshal.FreeCoTaskMem(native);
            }
        }

        /// <summary>
        /// Empty while the replay is on track (or none is on); otherwise the first divergence:
        /// which record the board and handle expected and what came instead (in the words of
        /// velnorctl trace show), or that the records ran out or the trace is damaged there. After a refused <see cref="LoadTrace"/>, why it was refused.
        /// </summary>
        public static string TraceDivergence
        {
            get
            {
                Ensure();
                return Text.Decode(SimMethods.vlsim_trace_divergence());
            }
        }

        /// <summary>
        /// Records of the loaded trace not replayed yet (GetLastError's are not counted), or -1 when
        /// no replay is on. A session that stopped early leaves <see cref="TraceDivergence"/> empty
        /// but records left: check both.
        /// </summary>
        public static long TraceRecordsLeft
        {
            get
            {
                Ensure();
                return SimMethods.vlsim_trace_records_left();
            }
        }

        /// <summary>False (the default): a replay answers at once. True: each answer waits until as
        /// much time has passed since the replay's first call as the trace recorded.</summary>
        /// <param name="on">Whether to honour the recorded gaps between calls.</param>
        public static void SetTracePacing(bool on)
        {
            Ensure();
            SimMethods.vlsim_set_trace_pacing(on ? 1 : 0);
        }
    }

    /// <summary>
    /// <see cref="Simulation.LoadTrace"/> refused a file; the message is the platform's reason.
    /// Found by the platform, not an export: <see cref="VelnorException.ResultCode"/> is
    /// <see cref="ResultCode.Failed"/>, <see cref="VelnorException.Function"/> "Simulation.LoadTrace".
    /// </summary>
    [Serializable]
    public sealed class TraceRefusedException : VelnorException
    {
        internal TraceRefusedException(string reason) : base(ResultCode.Failed, "Simulation.LoadTrace", reason, null) { }

        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
        private TraceRefusedException(System.Runtime.Serialization.SerializationInfo info,
                                      System.Runtime.Serialization.StreamingContext context) : base(info, context) { }
    }

    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct SimBoardConfig
    {
        public fixed byte Serial[33];
        public NativeVersion Driver;
        public NativeVersion Firmware;
    }

    /// <summary>The virtual platform's exports: velnor_sim.dll on Windows, libvelnor_sim.so on Linux.</summary>
    internal static partial class SimMethods
    {
        private const string Sim = NativeLibraries.Simulation;

        static SimMethods()
        {
            NativeLibraries.Register(typeof(SimMethods).Assembly);
        }

        [LibraryImport(Sim)] internal static partial void vlsim_reset();
        [LibraryImport(Sim)] internal static partial void vlsim_default_board_config(ref SimBoardConfig config);
        [LibraryImport(Sim)] internal static partial int vlsim_add_board(ref SimBoardConfig config);
        [LibraryImport(Sim)] internal static partial int vlsim_remove_board(int id);
        [LibraryImport(Sim)] internal static partial nuint vlsim_board_count();
        [LibraryImport(Sim)] internal static partial int vlsim_fire_trigger(int id);
        [LibraryImport(Sim)] internal static partial int vlsim_read_register(int id, uint address, out byte value);
        [LibraryImport(Sim)] internal static partial ulong vlsim_call_count(SimulatedCall kind);
        [LibraryImport(Sim)] internal static partial nuint vlsim_open_handle_count();
        [LibraryImport(Sim)] internal static partial nuint vlsim_request_count();
        [LibraryImport(Sim)] internal static partial void vlsim_fail_next(SimulatedCall kind, uint value);
        [LibraryImport(Sim)] internal static partial void vlsim_fail_call_at(ulong n, uint value);
        [LibraryImport(Sim)] internal static partial void vlsim_next_open_returns_null();
        [LibraryImport(Sim)] internal static partial void vlsim_fail_next_listen(uint error);
        [LibraryImport(Sim)] internal static partial nuint vlsim_listener_count();
        [LibraryImport(Sim)] internal static partial void vlsim_set_request_status(uint fn, int status);
        [LibraryImport(Sim)] internal static partial void vlsim_set_request_status_with_payload(uint fn, int status);
        [LibraryImport(Sim)] internal static partial void vlsim_set_request_reply_length(uint fn, uint n);
        [LibraryImport(Sim)] internal static partial void vlsim_clear_request_faults(uint fn);
        [LibraryImport(Sim)] internal static partial void vlsim_clear_faults();
        [LibraryImport(Sim)] internal static partial IntPtr vlsim_trace_divergence();
        [LibraryImport(Sim)] internal static partial void vlsim_set_trace_pacing(int on);
        [LibraryImport(Sim)] internal static partial long vlsim_trace_records_left();
        [LibraryImport(Sim)] internal static partial int vlsim_load_trace(IntPtr path);
    }
}

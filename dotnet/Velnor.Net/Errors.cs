using System;
using System.Collections.Generic;
using System.Linq;

namespace Velnor
{
    /// <summary>
    /// A library call failed. Carries the result code, the export that returned it and,
    /// when it can be told with certainty, the library's Velnor.log line for this very
    /// failure. Each named code has its own subclass.
    /// </summary>
    public class VelnorException : Exception
    {
        /// <summary>Makes the exception of a failed call.</summary>
        /// <param name="code">The result code the export returned.</param>
        /// <param name="function">The export's name ("vl_device_set_clock", ...).</param>
        /// <param name="logLine">This failure's Velnor.log line, or null.</param>
        /// <param name="logLineAbsence">Why logLine is null; null when it is not.</param>
        public VelnorException(int code, string function, string? logLine, string? logLineAbsence)
            : base(Describe(code, function, logLine))
        {
            ResultCode = (ResultCode)code;
            Function = function;
            LogLine = logLine;
            LogLineAbsence = logLine == null ? logLineAbsence : null;
        }

        /// <summary>The result code; may be a value outside <see cref="Velnor.ResultCode"/>'s names.</summary>
        public ResultCode ResultCode { get; private set; }

        /// <summary>The library's name of the code: "invalid_data", ...; "invalid_rc" for an unnamed value.</summary>
        public string Name
        {
            get { return NameOf((int)ResultCode); }
        }

        /// <summary>The export that failed, "vl_device_open" for instance.</summary>
        public string Function { get; private set; }

        /// <summary>
        /// This failure's line from Velnor.log, without its line ending; null when it cannot
        /// be attributed to this call with certainty (another process or thread failing the
        /// same way at the same moment, a log that cannot be read). A wrong line is worse
        /// than none.
        /// </summary>
        public string? LogLine { get; private set; }

        /// <summary>Why <see cref="LogLine"/> is null; null when there is a line.</summary>
        public string? LogLineAbsence { get; private set; }

        /// <summary>The library's name of a result code, as velnor.h's vl_rc_name gives it.</summary>
        /// <param name="code">Any result code.</param>
        /// <returns>"success", "invalid_frequency", ...; "invalid_rc" for a value outside the table.</returns>
        public static string NameOf(int code)
        {
            string? name;
            return Names.TryGetValue(code, out name) ? name : "invalid_rc";
        }

        private static readonly Dictionary<int, string> Names = new Dictionary<int, string>
        {
            { 0, "success" }, { -1, "internal_error" }, { -2, "ad9516_communication_error" },
            { -3, "invalid_device" }, { -4, "null_parameter" }, { -5, "failed" }, { -6, "no_memory" },
            { -7, "invalid_device_type" }, { -8, "update_invalid_status" }, { -9, "invalid_data" },
            { -10, "timeout" }, { -11, "pll_not_locked" }, { -13, "invalid_frequency" }
        };

        private static string Describe(int code, string function, string? logLine)
        {
            string text = string.Format("{0} failed: {1} ({2})", function, NameOf(code), code);
            return logLine == null ? text : text + "; Velnor.log: " + logLine;
        }

        // The exception of a failed call, its log line looked up now, on the failing thread.
        internal static VelnorException Of(int code, string function, string? hint = null)
        {
            string? absence;
            string? line = LogReader.Shared.Detail(function, code, hint, out absence);
            switch (code)
            {
                case -1: return new InternalErrorException(function, line, absence);
                case -2: return new Ad9516CommunicationException(function, line, absence);
                case -3: return new InvalidDeviceException(function, line, absence);
                case -4: return new NullParameterException(function, line, absence);
                case -5: return new CallFailedException(function, line, absence);
                case -6: return new NoMemoryException(function, line, absence);
                case -7: return new InvalidDeviceTypeException(function, line, absence);
                case -8: return new UpdateInvalidStatusException(function, line, absence);
                case -9: return new InvalidBoardDataException(function, line, absence);
                case -10: return new DriverTimeoutException(function, line, absence);
                case -11: return new PllNotLockedException(function, line, absence);
                case -13: return new InvalidFrequencyException(function, line, absence, ParseHint(hint));
                default: return new VelnorException(code, function, line, absence);
            }
        }

        private static long ParseHint(string? hint)
        {
            long value;
            return hint != null && long.TryParse(hint.Replace("Hz", ""), out value) ? value : 0;
        }
    }

    /// <summary>-1 internal_error: the system gave a null handle, or an unexpected internal fault.</summary>
    public sealed class InternalErrorException : VelnorException
    {
        internal InternalErrorException(string function, string? line, string? absence) : base(-1, function, line, absence) { }
    }

    /// <summary>-2 ad9516_communication_error: the driver could not talk to the AD9516 (driver status).</summary>
    public sealed class Ad9516CommunicationException : VelnorException
    {
        internal Ad9516CommunicationException(string function, string? line, string? absence) : base(-2, function, line, absence) { }
    }

    /// <summary>-3 invalid_device: no board at that index.</summary>
    public sealed class InvalidDeviceException : VelnorException
    {
        internal InvalidDeviceException(string function, string? line, string? absence) : base(-3, function, line, absence) { }
    }

    /// <summary>-4 null_parameter: a required pointer was null; nothing was sent.</summary>
    public sealed class NullParameterException : VelnorException
    {
        internal NullParameterException(string function, string? line, string? absence) : base(-4, function, line, absence) { }
    }

    /// <summary>-5 failed: a system call failed (the board was removed, ...); the log line names the call.</summary>
    public sealed class CallFailedException : VelnorException
    {
        internal CallFailedException(string function, string? line, string? absence) : base(-5, function, line, absence) { }
    }

    /// <summary>-6 no_memory: memory ran out inside the library.</summary>
    public sealed class NoMemoryException : VelnorException
    {
        internal NoMemoryException(string function, string? line, string? absence) : base(-6, function, line, absence) { }
    }

    /// <summary>-7 invalid_device_type: the device is not a board of this kind (driver status).</summary>
    public sealed class InvalidDeviceTypeException : VelnorException
    {
        internal InvalidDeviceTypeException(string function, string? line, string? absence) : base(-7, function, line, absence) { }
    }

    /// <summary>-8 update_invalid_status: the update step does not fit the update's state (driver status).</summary>
    public sealed class UpdateInvalidStatusException : VelnorException
    {
        internal UpdateInvalidStatusException(string function, string? line, string? absence) : base(-8, function, line, absence) { }
    }

    /// <summary>-9 invalid_data: the board refused a value or a firmware image (driver status).</summary>
    public sealed class InvalidBoardDataException : VelnorException
    {
        internal InvalidBoardDataException(string function, string? line, string? absence) : base(-9, function, line, absence) { }
    }

    /// <summary>-10 timeout: the board did not answer in time (driver status).</summary>
    public sealed class DriverTimeoutException : VelnorException
    {
        internal DriverTimeoutException(string function, string? line, string? absence) : base(-10, function, line, absence) { }
    }

    /// <summary>-11 pll_not_locked: the clock generator's PLL did not lock (driver status).</summary>
    public sealed class PllNotLockedException : VelnorException
    {
        internal PllNotLockedException(string function, string? line, string? absence) : base(-11, function, line, absence) { }
    }

    /// <summary>
    /// -13 invalid_frequency: the AD9516 cannot produce the internal-mode frequency asked
    /// for; nothing was sent. <see cref="Nearest"/> gives the producible frequencies
    /// next to it.
    /// </summary>
    public sealed class InvalidFrequencyException : VelnorException
    {
        internal InvalidFrequencyException(string function, string? line, string? absence, long requestedHz)
            : base(-13, function, line, absence)
        {
            RequestedHz = requestedHz;
            Nearest = FrequencyTable.Nearest(requestedHz);
        }

        /// <summary>The refused frequency in hertz.</summary>
        public long RequestedHz { get; private set; }

        /// <summary>
        /// The producible frequencies next to the refused one, in hertz: the two neighbours
        /// (lower first), or the one bound that was crossed, as the log line names them.
        /// </summary>
        public IList<long> Nearest { get; private set; }
    }

    /// <summary>No board has the serial asked for; <see cref="Present"/> lists the boards seen.</summary>
    public sealed class BoardNotFoundException : Exception
    {
        internal BoardNotFoundException(string serial, IList<KeyValuePair<int, string>> present)
            : base(string.Format("no board with serial \"{0}\"; present: {1}", serial,
                present.Count == 0 ? "no board" : string.Join(", ", present.Select(p => p.Key + ": \"" + p.Value + "\""))))
        {
            Serial = serial;
            Present = present;
        }

        /// <summary>The serial asked for.</summary>
        public string Serial { get; private set; }

        /// <summary>Index and serial of every board seen.</summary>
        public IList<KeyValuePair<int, string>> Present { get; private set; }
    }

    /// <summary>Several boards have the serial asked for; <see cref="Indices"/> are theirs.</summary>
    public sealed class AmbiguousSerialException : Exception
    {
        internal AmbiguousSerialException(string serial, IList<int> indices)
            : base(string.Format("{0} boards have serial \"{1}\", at indices {2}", indices.Count, serial,
                string.Join(", ", indices)))
        {
            Serial = serial;
            Indices = indices;
        }

        /// <summary>The serial asked for.</summary>
        public string Serial { get; private set; }

        /// <summary>The indices of the boards that have it.</summary>
        public IList<int> Indices { get; private set; }
    }

    /// <summary>A firmware image or payload the board would refuse; <see cref="Reason"/> says why.</summary>
    public sealed class FirmwareImageException : ArgumentException
    {
        internal FirmwareImageException(string reason) : base("not a valid firmware image: " + reason)
        {
            Reason = reason;
        }

        /// <summary>What is wrong with the image.</summary>
        public string Reason { get; private set; }
    }
}

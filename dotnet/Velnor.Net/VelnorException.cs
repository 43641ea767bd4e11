using System;
using System.Collections.Generic;
using System.Globalization;
using System.Runtime.Serialization;

namespace Velnor
{
    /// <summary>
    /// Every failure of the binding that is not a wrong argument: a library call that
    /// failed, with its result code, the export that returned it and, when it can be told
    /// with certainty, the library's Velnor.log line for this very failure (each named code
    /// has its own subclass); or a failure the binding finds itself
    /// (<see cref="BoardNotFoundException"/>, <see cref="AmbiguousSerialException"/>, the
    /// simulation's trace refusal), which carries the code of the same kind of failure and
    /// no log line. Wrong arguments are <see cref="ArgumentException"/>s, as in the rest of
    /// .NET, <see cref="FirmwareImageException"/> among them.
    /// </summary>
    [Serializable]
    public class VelnorException : Exception
    {
        private const string LineLead = "; Velnor.log: ";

        // A failed call's line, looked for only when it is first asked for.
        [NonSerialized]
        private readonly LogTicket? ticket;

        private readonly string? logLine;
        private readonly string? logLineAbsence;

        /// <summary>Makes the exception of a failed call.</summary>
        /// <param name="code">The result code the export returned.</param>
        /// <param name="function">The export's name ("vl_device_set_clock", ...).</param>
        /// <param name="logLine">This failure's Velnor.log line, or null.</param>
        /// <param name="logLineAbsence">Why logLine is null; null when it is not.</param>
        public VelnorException(int code, string function, string? logLine, string? logLineAbsence)
            : base(Describe(code, function))
        {
            ResultCode = (ResultCode)code;
            Function = function;
            this.logLine = logLine;
            this.logLineAbsence = logLine == null ? logLineAbsence : null;
        }

        /// <summary>
        /// Makes the exception of a failure the binding finds itself, which no export
        /// reported: <see cref="ResultCode"/> is the library's code for the same kind of
        /// failure (<see cref="Velnor.ResultCode.InvalidDevice"/> for a serial that names no
        /// board or several), <see cref="Function"/> names the binding's member that failed
        /// ("Board.Open"), <see cref="LogLine"/> is null and <see cref="LogLineAbsence"/> says
        /// that Velnor.log has no line for it.
        /// </summary>
        /// <param name="code">The library's code for this kind of failure.</param>
        /// <param name="function">The binding's member that failed, "Type.Member".</param>
        /// <param name="message">What failed, as the exception's message.</param>
        /// <param name="innerException">The exception that caused this one, or null.</param>
        /// <exception cref="ArgumentNullException">function or message is null.</exception>
        protected VelnorException(ResultCode code, string function, string message, Exception? innerException)
            : base(message ?? throw new ArgumentNullException(nameof(message)), innerException)
        {
            ResultCode = code;
            Function = function ?? throw new ArgumentNullException(nameof(function));
            logLineAbsence = "no export failed: " + function + " found this failure itself, so Velnor.log has no line for it";
        }

        // The exception of a failed call whose line is looked for later; advice, when
        // given, follows the code in the message and says what the caller can do.
        private protected VelnorException(int code, string function, LogTicket ticket, string? advice = null)
            : base(advice == null ? Describe(code, function) : Describe(code, function) + ": " + advice)
        {
            ResultCode = (ResultCode)code;
            Function = function;
            this.ticket = ticket;
        }

        /// <summary>Restores a serialized exception with its code, export and log line.</summary>
        /// <param name="info">The serialized data.</param>
        /// <param name="context">Where it comes from.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        protected VelnorException(SerializationInfo info, StreamingContext context)
            : base(info, context)
        {
            ResultCode = (ResultCode)info.GetInt32("Velnor.ResultCode");
            Function = info.GetString("Velnor.Function") ?? "";
            logLine = info.GetString("Velnor.LogLine");
            logLineAbsence = info.GetString("Velnor.LogLineAbsence");
        }

        /// <summary>The result code; may be a value outside <see cref="Velnor.ResultCode"/>'s names.</summary>
        public ResultCode ResultCode { get; private set; }

        /// <summary>The library's name of the code: "invalid_data", ...; "invalid_rc" for an unnamed value.</summary>
        public string Name
        {
            get { return NameOf((int)ResultCode); }
        }

        /// <summary>
        /// The export that failed, "vl_device_open" for instance; for a failure the binding
        /// finds itself, the binding's member ("Board.Open").
        /// </summary>
        public string Function { get; private set; }

        /// <summary>
        /// This failure's line from Velnor.log, without its line ending; null when it cannot
        /// be attributed to this call with certainty (another process or thread failing the
        /// same way at the same moment, a log that cannot be read). A wrong line is worse
        /// than none. The log is read when this (or <see cref="Exception.Message"/>) is
        /// first asked for, not when the call fails.
        /// </summary>
        public string? LogLine
        {
            get { return ticket != null ? ticket.Line : logLine; }
        }

        /// <summary>Why <see cref="LogLine"/> is null; null when there is a line.</summary>
        public string? LogLineAbsence
        {
            get { return ticket != null ? ticket.Absence : logLineAbsence; }
        }

        /// <summary>
        /// What failed: "vl_device_set_clock failed: invalid_frequency (-13)", followed by
        /// "; Velnor.log: " and the log line when there is one.
        /// </summary>
        public override string Message
        {
            get
            {
                string? line = LogLine;
                return line == null ? base.Message : base.Message + LineLead + line;
            }
        }

        /// <summary>The library's name of a result code, as velnor.h's vl_rc_name gives it.</summary>
        /// <param name="code">Any result code.</param>
        /// <returns>"success", "invalid_frequency", ...; "invalid_rc" for a value outside the table.</returns>
        public static string NameOf(int code)
        {
            string? name;
            return Names.TryGetValue(code, out name) ? name : "invalid_rc";
        }

        /// <summary>Serializes the code, the export and the log line (looked for now if it was not yet).</summary>
        /// <param name="info">Where the data goes.</param>
        /// <param name="context">Where it goes to.</param>
        /// <exception cref="ArgumentNullException">info is null.</exception>
#if NET8_0_OR_GREATER
        [Obsolete(LegacyFormatter.Message, DiagnosticId = LegacyFormatter.DiagnosticId, UrlFormat = LegacyFormatter.Url)]
#endif
        public override void GetObjectData(SerializationInfo info, StreamingContext context)
        {
            base.GetObjectData(info, context);
            info.AddValue("Velnor.ResultCode", (int)ResultCode);
            info.AddValue("Velnor.Function", Function);
            info.AddValue("Velnor.LogLine", LogLine);
            info.AddValue("Velnor.LogLineAbsence", LogLineAbsence);
        }

        private static readonly Dictionary<int, string> Names = new Dictionary<int, string>
        {
            { 0, "success" }, { -1, "internal_error" }, { -2, "ad9516_communication_error" },
            { -3, "invalid_device" }, { -4, "null_parameter" }, { -5, "failed" }, { -6, "no_memory" },
            { -7, "invalid_device_type" }, { -8, "update_invalid_status" }, { -9, "invalid_data" },
            { -10, "timeout" }, { -11, "pll_not_locked" }, { -13, "invalid_frequency" }
        };

        private static string Describe(int code, string function)
        {
            return string.Format("{0} failed: {1} ({2})", function, NameOf(code), code);
        }

        /// <summary>
        /// The exception of a failed call. Costs no file access: the failure's log line is
        /// looked for when it is first asked for.
        /// </summary>
        /// <param name="code">The result code the export returned.</param>
        /// <param name="function">The export's name.</param>
        /// <param name="hint">Text the failure's line holds whole: the refused frequency as "123456789Hz".</param>
        /// <param name="advice">What the caller can do, for the message; null for none.</param>
        internal static VelnorException Of(int code, string function, string? hint = null, string? advice = null)
        {
            LogTicket ticket = LogReader.Shared.Enqueue(function, code, hint);
            switch (code)
            {
                case -1: return new InternalErrorException(function, ticket);
                case -2: return new Ad9516CommunicationException(function, ticket);
                case -3: return new InvalidDeviceException(function, ticket);
                case -4: return new NullParameterException(function, ticket);
                case -5: return new CallFailedException(function, ticket);
                case -6: return new NoMemoryException(function, ticket);
                case -7: return new InvalidDeviceTypeException(function, ticket);
                case -8: return new UpdateInvalidStatusException(function, ticket, advice);
                case -9: return new InvalidBoardDataException(function, ticket);
                case -10: return new DriverTimeoutException(function, ticket);
                case -11: return new PllNotLockedException(function, ticket);
                case -13: return new InvalidFrequencyException(function, ticket, ParseHint(hint));
                default: return new VelnorException(code, function, ticket);
            }
        }

        private static long ParseHint(string? hint)
        {
            long value;
            return hint != null && long.TryParse(hint.Replace("Hz", ""), NumberStyles.AllowLeadingSign,
                                                 CultureInfo.InvariantCulture, out value) ? value : 0;
        }
    }
}

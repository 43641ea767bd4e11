using System;

namespace Velnor
{
    /// <summary>
    /// One failed call of this process waiting for its Velnor.log line: what failed, when
    /// the failure was seen and which file the log was then. The line is looked for only
    /// when it is asked for (or when many failures wait), by <see cref="LogReader"/>.
    /// </summary>
    internal sealed class LogTicket
    {
        private readonly LogReader reader;
        private volatile bool settled;
        private string? line;
        private string? absence;

        internal LogTicket(LogReader reader, string function, int code, string? hint, DateTime seen, string path)
        {
            this.reader = reader;
            Function = function;
            Code = code;
            Hint = hint;
            Seen = seen;
            Path = path;
        }

        /// <summary>The export that failed.</summary>
        internal string Function { get; }

        /// <summary>Its result code.</summary>
        internal int Code { get; }

        /// <summary>Text the failure's line holds whole (the refused frequency, "123456789Hz"); null when none.</summary>
        internal string? Hint { get; }

        /// <summary>Local time when the call had returned: the line was written before it.</summary>
        internal DateTime Seen { get; }

        /// <summary>The log file's path when the call failed.</summary>
        internal string Path { get; }

        /// <summary>Whether the line was looked for.</summary>
        internal bool IsSettled
        {
            get { return settled; }
        }

        /// <summary>This failure's line; null when it cannot be told (<see cref="Absence"/> says why).</summary>
        internal string? Line
        {
            get
            {
                Settle();
                return line;
            }
        }

        /// <summary>Why <see cref="Line"/> is null; null when there is a line.</summary>
        internal string? Absence
        {
            get
            {
                Settle();
                return absence;
            }
        }

        /// <summary>Records the outcome; called once, by the reader, under its lock.</summary>
        internal void Settle(string? found, string? why)
        {
            line = found;
            absence = found == null ? why : null;
            settled = true;
        }

        private void Settle()
        {
            if (!settled)
            {
                reader.Settle(this);
            }
        }
    }
}

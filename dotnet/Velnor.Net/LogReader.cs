using System;
using System.Collections.Generic;
using System.IO;
using System.Text;
using System.Threading;

namespace Velnor
{
    /// <summary>
    /// Finds the library's Velnor.log line of each failed call of this process. Every
    /// process on the machine appends to that one file and each empties it at its own
    /// first failure, so a line is taken as a failure's own only when:
    /// <list type="number">
    /// <item>it was appended since this process last read the file, or was read then and
    /// not yet claimed by another failure of this process; every line is one entry, so a
    /// hundred identical lines (one export failing the same way in a loop) are a hundred
    /// entries, one for each failure, taken oldest first;</item>
    /// <item>it names the same export and code ("failed" takes any system category);</item>
    /// <item>its time stamp lies within two seconds before the failure was seen, and not
    /// after it;</item>
    /// <item>it holds the failure's hint (the refused frequency) whole, when there is one;</item>
    /// <item>every line passing those tests reads the same after its time stamp, so
    /// whichever was this failure's, the text is.</item>
    /// </list>
    /// A failing call only leaves a <see cref="LogTicket"/>, without touching the file. The
    /// file is read when a ticket's line is asked for, or by the failing thread once 256
    /// tickets wait (unless another thread is reading): only what was appended since the
    /// last read, each line parsed once, the waiting tickets settled in the order their
    /// failures were seen.
    /// </summary>
    internal sealed class LogReader
    {
        internal static readonly LogReader Shared = new LogReader(() => LogPath, () => DateTime.Now);

        /// <summary>Tickets that wait before a failing call settles them itself.</summary>
        internal const int SettleEvery = 256;

        private const string LogName = "Velnor.log";
        private const int ReadMax = 1 << 20;
        private const int LastLineMax = 512;
        private static readonly TimeSpan Window = TimeSpan.FromSeconds(2);

        // A line of a failure to come can be no older than this before the reader's clock.
        private static readonly TimeSpan Slack = TimeSpan.FromSeconds(1);

#if NET8_0_OR_GREATER
        private static readonly TimeSpan Late = TimeSpan.Zero;
#else
        // The .NET Framework's clock moves in steps of up to 15.6 ms, behind the library's.
        private static readonly TimeSpan Late = TimeSpan.FromMilliseconds(20);
#endif

        private readonly Func<string> pathOf;
        private readonly Func<DateTime> clock;

        private readonly object waitingGate = new object();
        private List<LogTicket> waiting = new List<LogTicket>();

        // Held while reading the file and settling; the fields below are the reader's.
        private readonly object readGate = new object();
        private readonly LogPool pool = new LogPool();
        private string? path;
        private long offset;

        // The last whole line read (at most 512 bytes, with its time stamp), which ends at
        // offset: found there again, the file was only appended to since.
        private byte[] lastLine = new byte[0];

        /// <summary>A reader of the log at pathOf(), with clock giving local time.</summary>
        internal LogReader(Func<string> pathOf, Func<DateTime> clock)
        {
            this.pathOf = pathOf;
            this.clock = clock;
        }

        /// <summary>The log file's path, formed as the library forms it.</summary>
        internal static string LogPath
        {
            get { return Path.Combine(TempDirectory(), LogName); }
        }

        // GetTempPathW on Windows; elsewhere the first of TMPDIR, TMP, TEMP, TEMPDIR that
        // is set, else /tmp (the C++ library's temp_directory_path).
        private static string TempDirectory()
        {
            if (NativeLibraries.IsWindows)
            {
                return Path.GetTempPath();
            }
            foreach (string name in new[] { "TMPDIR", "TMP", "TEMP", "TEMPDIR" })
            {
                string? value = Environment.GetEnvironmentVariable(name);
                if (!string.IsNullOrEmpty(value))
                {
                    return value!;
                }
            }
            return "/tmp";
        }

        /// <summary>Records a failure just seen on this thread; its line is looked for later.</summary>
        internal LogTicket Enqueue(string function, int code, string? hint)
        {
            var ticket = new LogTicket(this, function, code, hint, clock(), pathOf());
            bool full;
            lock (waitingGate)
            {
                waiting.Add(ticket);
                full = waiting.Count >= SettleEvery;
            }
            if (full && Monitor.TryEnter(readGate))
            {
                try
                {
                    SettleWaiting();
                }
                finally
                {
                    Monitor.Exit(readGate);
                }
            }
            return ticket;
        }

        /// <summary>Settles the ticket, and every ticket that waited before it.</summary>
        internal void Settle(LogTicket ticket)
        {
            lock (readGate)
            {
                if (!ticket.IsSettled)
                {
                    SettleWaiting();
                }
            }
        }

        private void SettleWaiting()
        {
            List<LogTicket> batch;
            lock (waitingGate)
            {
                batch = waiting;
                waiting = new List<LogTicket>();
            }
            string? readFrom = null;
            string? failure = null;
            try
            {
                foreach (LogTicket ticket in batch)
                {
                    if (ticket.Path != readFrom)
                    {
                        readFrom = ticket.Path;
                        failure = ReadNew(readFrom);
                    }
                    if (failure != null)
                    {
                        ticket.Settle(null, failure);
                    }
                    else
                    {
                        Match(ticket);
                    }
                }
            }
            finally
            {
                foreach (LogTicket ticket in batch)
                {
                    if (!ticket.IsSettled)
                    {
                        ticket.Settle(null, "the log reader stopped before it looked for this failure's line");
                    }
                }
                pool.Prune(clock() - Window - Slack);
            }
        }

        private void Match(LogTicket ticket)
        {
            string? text;
            switch (pool.Claim(ticket.Function, ticket.Code, ticket.Hint, ticket.Seen - Window, ticket.Seen + Late, out text))
            {
                case LogPool.Outcome.Found:
                    ticket.Settle(text, null);
                    break;
                case LogPool.Outcome.Ambiguous:
                    ticket.Settle(null, "several new lines of " + ticket.Path + " could be this failure's, and they differ");
                    break;
                default:
                    ticket.Settle(null, "no new line of " + ticket.Path + " names this failure of " + ticket.Function);
                    break;
            }
        }

        // Reads what was appended to the file since the last read into the pool; null, or
        // why the file could not be read.
        private string? ReadNew(string file)
        {
            bool switched = file != path;
            if (switched)
            {
                // Another file under another temporary folder: its lines are read from its start.
                pool.Clear();
                path = file;
                offset = 0;
                lastLine = new byte[0];
            }
            try
            {
                using (LogFile? log = LogFile.Open(file))
                {
                    if (log != null)
                    {
                        ReadNew(log, switched);
                    }
                }
                return null;
            }
            catch (Exception error)
            {
                // A line is a detail of a failure already reported: whatever the file does,
                // asking for the line must not throw.
                return file + " could not be read: " + error.Message;
            }
        }

        private void ReadNew(LogFile log, bool switched)
        {
            long size = log.Length;
            bool emptied = switched || size < offset;
            // One read, from the start of the last line read, which must still be there.
            long start = emptied ? 0 : offset - lastLine.Length;
            long first = Math.Max(start, size - ReadMax);
            byte[] data = ReadFrom(log, first, size);
            int from = 0;
            if (!emptied && first == start && lastLine.Length != 0)
            {
                if (Starts(data, lastLine))
                {
                    from = lastLine.Length;
                }
                else
                {
                    // Emptied (another process's first failure) and written again past it.
                    emptied = true;
                    first = Math.Max(0, size - ReadMax);
                    data = ReadFrom(log, first, size);
                }
            }
            if (first > (emptied ? 0 : start))
            {
                // More was appended than is read at once: begin at a line's start.
                from = Array.IndexOf(data, (byte)'\n', from) + 1;
            }
            // Only whole lines: the rest is read next time.
            int end = Array.LastIndexOf(data, (byte)'\n') + 1;
            if (end <= from)
            {
                if (emptied)
                {
                    offset = first + end;
                    lastLine = new byte[0];
                }
                return;
            }
            int lastStart = end >= 2 ? Array.LastIndexOf(data, (byte)'\n', end - 2) + 1 : 0;
            lastLine = end - lastStart <= LastLineMax ? Slice(data, lastStart, end - lastStart) : new byte[0];
            offset = first + end;
            pool.Add(Entries(Encoding.UTF8.GetString(data, from, end - from)), emptied);
        }

        // The bytes from first to size, fewer when the file shrank meanwhile.
        private static byte[] ReadFrom(LogFile log, long first, long size)
        {
            var data = new byte[Math.Max(size - first, 0)];
            int read = log.ReadAt(first, data);
            return read == data.Length ? data : Slice(data, 0, read);
        }

        private static IEnumerable<LogEntry> Entries(string chunk)
        {
            foreach (string raw in chunk.Split('\n'))
            {
                LogEntry? entry = LogEntry.Parse(raw.TrimEnd('\r'));
                if (entry != null)
                {
                    yield return entry;
                }
            }
        }

        private static byte[] Slice(byte[] data, int at, int count)
        {
            var part = new byte[count];
            Array.Copy(data, at, part, 0, count);
            return part;
        }

        private static bool Starts(byte[] data, byte[] head)
        {
            if (data.Length < head.Length)
            {
                return false;
            }
            for (int i = 0; i < head.Length; ++i)
            {
                if (data[i] != head[i])
                {
                    return false;
                }
            }
            return true;
        }
    }
}

using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Text;
using System.Text.RegularExpressions;

namespace Velnor
{
    /// <summary>
    /// Finds the library's Velnor.log line of one failed call. Every process on the
    /// machine appends to that one file and each empties it at its own first failure, so
    /// a line is taken as a failure's own only when: it was appended since this process
    /// last read the file and no other failure of this process claimed it; it names the
    /// same export and code ("failed" takes any system category); its time stamp lies
    /// within two seconds before the failure was seen; it holds the failure's hint (the
    /// refused frequency) when there is one; and every line passing those tests reads the
    /// same after its time stamp. The file is read only after a failure.
    /// </summary>
    internal sealed class LogReader
    {
        internal static readonly LogReader Shared = new LogReader();

        private const string LogName = "Velnor.log";
        private const int ReadMax = 1 << 20;
        private const int PoolMax = 256;
        private static readonly TimeSpan Window = TimeSpan.FromSeconds(2);

        private static readonly Regex LinePattern = new Regex(
            @"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] \[Velnor\] \[error\] \[(\w+)\] Error: ([^:\s]+):(-?\d+), (.*)$",
            RegexOptions.CultureInvariant);

        private sealed class Line
        {
            public DateTime Stamp;
            public string Function = "";
            public string Category = "";
            public long Value;
            public string Message = "";
            public string Text = "";
        }

        private readonly object gate = new object();
        private readonly List<Line> pool = new List<Line>();
        private readonly Queue<string> claimed = new Queue<string>();
        private long offset;
        private string firstLine = "";

        /// <summary>The log file's path, formed as the library forms it.</summary>
        internal static string LogPath
        {
            get { return Path.Combine(TempDirectory(), LogName); }
        }

        // GetTempPathW on Windows; elsewhere the first of TMPDIR, TMP, TEMP, TEMPDIR that
        // is set, else /tmp (the C++ library's temp_directory_path).
        private static string TempDirectory()
        {
            if (Path.DirectorySeparatorChar == '\\')
            {
                return Path.GetTempPath();
            }
            foreach (string name in new[] { "TMPDIR", "TMP", "TEMP", "TEMPDIR" })
            {
                string? value = Environment.GetEnvironmentVariable(name);
                if (!string.IsNullOrEmpty(value))
                {
                    return value;
                }
            }
            return "/tmp";
        }

        internal string? Detail(string function, int code, string? hint, out string? absence)
        {
            lock (gate)
            {
                DateTime now = DateTime.Now;
                try
                {
                    ReadNew();
                }
                catch (Exception error)
                {
                    if (!(error is IOException || error is UnauthorizedAccessException || error is NotSupportedException))
                    {
                        throw;
                    }
                    absence = LogPath + " could not be read: " + error.Message;
                    return null;
                }
                DateTime oldest = now - Window;
                DateTime latest = now + TimeSpan.FromSeconds(0.5);
                pool.RemoveAll(line => line.Stamp < oldest);
                var candidates = pool.Where(line => line.Function == function && line.Stamp <= latest &&
                                                    SameCode(line, code) &&
                                                    (hint == null || line.Message.Contains(hint))).ToList();
                if (candidates.Count == 0)
                {
                    absence = "no new line of " + LogPath + " names this failure of " + function;
                    return null;
                }
                if (candidates.Any(line => line.Message != candidates[0].Message))
                {
                    absence = "several new lines of " + LogPath + " could be this failure's, and they differ";
                    return null;
                }
                pool.Remove(candidates[0]);
                claimed.Enqueue(candidates[0].Text);
                while (claimed.Count > PoolMax)
                {
                    claimed.Dequeue();
                }
                absence = null;
                return candidates[0].Text;
            }
        }

        private static bool SameCode(Line line, int code)
        {
            // A system or generic error reaches the caller as "failed".
            return line.Category == "Velnor" ? line.Value == code : code == -5;
        }

        private void ReadNew()
        {
            using (Stream? file = LogFile.Open(LogPath))
            {
                if (file == null)
                {
                    return;
                }
                long size = file.Length;
                string first = ReadFirstLine(file);
                bool emptied = size < offset || (firstLine != "" && first != firstLine);
                long start = emptied ? 0 : offset;
                if (size - start > ReadMax)
                {
                    start = size - ReadMax;
                }
                var data = new byte[size - start];
                file.Seek(start, SeekOrigin.Begin);
                int read = 0;
                while (read < data.Length)
                {
                    int n = file.Read(data, read, data.Length - read);
                    if (n <= 0)
                    {
                        break;
                    }
                    read += n;
                }
                // Only whole lines: the rest is read next time.
                int end = Array.LastIndexOf(data, (byte)'\n', Math.Max(read - 1, 0)) + 1;
                if (read == 0)
                {
                    end = 0;
                }
                int from = 0;
                if (start > 0 && (emptied || start != offset))
                {
                    // Started inside a line: drop its remainder.
                    from = Array.IndexOf(data, (byte)'\n', 0, end) + 1;
                }
                firstLine = first;
                offset = start + end;
                string chunk = Encoding.UTF8.GetString(data, from, Math.Max(end - from, 0));
                foreach (string raw in chunk.Split('\n'))
                {
                    Line? line = Parse(raw.TrimEnd('\r'));
                    if (line != null && !claimed.Contains(line.Text) && !pool.Any(p => p.Text == line.Text))
                    {
                        pool.Add(line);
                    }
                }
                if (pool.Count > PoolMax)
                {
                    pool.RemoveRange(0, pool.Count - PoolMax);
                }
            }
        }

        private static string ReadFirstLine(Stream file)
        {
            var head = new byte[512];
            int n = file.Read(head, 0, head.Length);
            int end = Array.IndexOf(head, (byte)'\n', 0, n);
            return end < 0 ? "" : Encoding.UTF8.GetString(head, 0, end);
        }

        private static Line? Parse(string text)
        {
            Match match = LinePattern.Match(text);
            DateTime stamp;
            long value;
            if (!match.Success ||
                !DateTime.TryParseExact(match.Groups[1].Value, "yyyy-MM-dd HH:mm:ss.fff", CultureInfo.InvariantCulture,
                                        DateTimeStyles.AssumeLocal, out stamp) ||
                !long.TryParse(match.Groups[4].Value, NumberStyles.AllowLeadingSign, CultureInfo.InvariantCulture, out value))
            {
                return null;
            }
            return new Line
            {
                Stamp = stamp, Function = match.Groups[2].Value, Category = match.Groups[3].Value,
                Value = value, Message = match.Groups[5].Value, Text = text
            };
        }
    }
}

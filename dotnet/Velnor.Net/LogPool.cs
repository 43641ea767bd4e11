using System;
using System.Collections.Generic;

namespace Velnor
{
    /// <summary>
    /// The Velnor.log lines read and not yet claimed, each line its own entry, grouped by
    /// what they read after their time stamp (so a burst of one failure is one group
    /// however long), and the texts claimed lately. Not thread-safe: the reader's lock
    /// guards it.
    /// </summary>
    internal sealed class LogPool
    {
        // Bounds against another process's failure storm; the oldest go first.
        private const int GroupMax = 1024;
        private const int EntriesMax = 4096;
        private const int ClaimedMax = 4096;

        private readonly Dictionary<string, List<Group>> byFunction = new Dictionary<string, List<Group>>(StringComparer.Ordinal);
        private readonly Dictionary<(string, string, long, string), Group> byTail = new Dictionary<(string, string, long, string), Group>();
        private readonly Queue<string> claimed = new Queue<string>();

        /// <summary>How a claim went.</summary>
        internal enum Outcome
        {
            /// <summary>One line is this failure's and was claimed.</summary>
            Found,

            /// <summary>No line names this failure.</summary>
            None,

            /// <summary>Lines that read differently could each be this failure's.</summary>
            Ambiguous
        }

        /// <summary>Forgets every unclaimed line (the claimed texts stay known).</summary>
        internal void Clear()
        {
            byFunction.Clear();
            byTail.Clear();
        }

        /// <summary>
        /// Adds lines in file order. Read again from the file's start (it was emptied or
        /// replaced), the file may hold lines seen before: each line already pooled or
        /// claimed is then skipped once.
        /// </summary>
        internal void Add(IEnumerable<LogEntry> entries, bool fromStart)
        {
            Dictionary<string, int>? seen = fromStart ? Seen() : null;
            foreach (LogEntry entry in entries)
            {
                int count;
                if (seen != null && seen.TryGetValue(entry.Text, out count) && count > 0)
                {
                    seen[entry.Text] = count - 1;
                    continue;
                }
                Group? group = GroupOf(entry);
                if (group != null)
                {
                    group.Add(entry);
                }
            }
        }

        /// <summary>
        /// Claims the line of a failure of function with code and hint, seen when lines
        /// stamped from earliest to latest could be its own: the oldest line of the only
        /// group that has such a line.
        /// </summary>
        internal Outcome Claim(string function, int code, string? hint, DateTime earliest, DateTime latest, out string? text)
        {
            text = null;
            List<Group>? groups;
            if (!byFunction.TryGetValue(function, out groups))
            {
                return Outcome.None;
            }
            Group? chosen = null;
            int at = -1;
            foreach (Group group in groups)
            {
                if (!group.Names(code, hint))
                {
                    continue;
                }
                int index = group.FirstWithin(earliest, latest);
                if (index < 0)
                {
                    continue;
                }
                if (chosen != null)
                {
                    return Outcome.Ambiguous;
                }
                chosen = group;
                at = index;
            }
            if (chosen == null)
            {
                return Outcome.None;
            }
            text = chosen.Claim(at);
            claimed.Enqueue(text);
            while (claimed.Count > ClaimedMax)
            {
                claimed.Dequeue();
            }
            return Outcome.Found;
        }

        /// <summary>Drops claimed lines and lines stamped before a time no failure still to come can reach.</summary>
        internal void Prune(DateTime before)
        {
            var empty = new List<Group>();
            foreach (Group group in byTail.Values)
            {
                if (group.Prune(before, EntriesMax))
                {
                    empty.Add(group);
                }
            }
            foreach (Group group in empty)
            {
                byTail.Remove(group.Tail);
                List<Group> groups = byFunction[group.Function];
                groups.Remove(group);
                if (groups.Count == 0)
                {
                    byFunction.Remove(group.Function);
                }
            }
        }

        private Dictionary<string, int> Seen()
        {
            var seen = new Dictionary<string, int>(StringComparer.Ordinal);
            foreach (string text in claimed)
            {
                Count(seen, text);
            }
            foreach (Group group in byTail.Values)
            {
                group.CountUnclaimed(seen);
            }
            return seen;
        }

        internal static void Count(Dictionary<string, int> seen, string text)
        {
            int count;
            seen.TryGetValue(text, out count);
            seen[text] = count + 1;
        }

        private Group? GroupOf(LogEntry entry)
        {
            // What the line says after its time stamp.
            var tail = (entry.Function, entry.Category, entry.Value, entry.Message);
            Group? group;
            if (byTail.TryGetValue(tail, out group))
            {
                return group;
            }
            if (byTail.Count >= GroupMax)
            {
                return null;
            }
            group = new Group(tail, entry);
            byTail.Add(tail, group);
            List<Group>? groups;
            if (!byFunction.TryGetValue(entry.Function, out groups))
            {
                groups = new List<Group>();
                byFunction.Add(entry.Function, groups);
            }
            groups.Add(group);
            return group;
        }

        /// <summary>The lines that read the same after their time stamp, in file order.</summary>
        private sealed class Group
        {
            private readonly LogEntry sample;
            private readonly List<LogEntry> entries = new List<LogEntry>();
            private int first; // the entries before it are claimed or dropped

            // The last question asked of the sample, as one burst asks it again and again.
            private bool asked;
            private int askedCode;
            private string? askedHint;
            private bool answer;

            internal Group((string, string, long, string) tail, LogEntry sample)
            {
                Tail = tail;
                this.sample = sample;
            }

            internal (string, string, long, string) Tail { get; }

            internal string Function
            {
                get { return sample.Function; }
            }

            internal void Add(LogEntry entry)
            {
                entries.Add(entry);
            }

            internal bool Names(int code, string? hint)
            {
                if (!asked || code != askedCode || !string.Equals(hint, askedHint, StringComparison.Ordinal))
                {
                    answer = sample.Names(sample.Function, code, hint);
                    asked = true;
                    askedCode = code;
                    askedHint = hint;
                }
                return answer;
            }

            // The first unclaimed entry stamped from earliest to latest; -1 when none.
            internal int FirstWithin(DateTime earliest, DateTime latest)
            {
                for (int i = first; i < entries.Count; ++i)
                {
                    LogEntry entry = entries[i];
                    if (!entry.Claimed && entry.Stamp >= earliest && entry.Stamp <= latest)
                    {
                        return i;
                    }
                }
                return -1;
            }

            internal string Claim(int index)
            {
                entries[index].Claimed = true;
                while (first < entries.Count && entries[first].Claimed)
                {
                    ++first;
                }
                return entries[index].Text;
            }

            internal void CountUnclaimed(Dictionary<string, int> seen)
            {
                for (int i = first; i < entries.Count; ++i)
                {
                    if (!entries[i].Claimed)
                    {
                        LogPool.Count(seen, entries[i].Text);
                    }
                }
            }

            // Drops the claimed and old lines at the front (lines come in time order, so
            // that is where they gather) and the oldest beyond most; whether the group is
            // empty afterwards. Costs nothing when nothing is to go.
            internal bool Prune(DateTime before, int most)
            {
                while (first < entries.Count && (entries[first].Claimed || entries[first].Stamp < before))
                {
                    ++first;
                }
                first = Math.Max(first, entries.Count - most);
                if (first > 0 && first * 2 >= entries.Count)
                {
                    entries.RemoveRange(0, first);
                    first = 0;
                }
                return first == entries.Count;
            }
        }
    }
}

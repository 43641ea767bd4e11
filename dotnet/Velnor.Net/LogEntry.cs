using System;
using System.Globalization;

namespace Velnor
{
    /// <summary>
    /// One error line of Velnor.log, parsed once when it is read:
    /// "[2026-12-08 15:38:25.424] [Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, message".
    /// Each line read is its own entry, however many lines read the same.
    /// </summary>
    internal sealed class LogEntry
    {
        // "[2026-12-08 15:38:25.424] [Velnor] [error] [" up to the export's name.
        private const string Lead = "] [Velnor] [error] [";
        private const int FunctionAt = 44;

        private LogEntry(DateTime stamp, string function, string category, long value, string message, string text)
        {
            Stamp = stamp;
            Function = function;
            Category = category;
            Value = value;
            Message = message;
            Text = text;
        }

        /// <summary>The line's local time stamp, to the millisecond.</summary>
        internal DateTime Stamp { get; }

        /// <summary>The export that failed.</summary>
        internal string Function { get; }

        /// <summary>"Velnor" for the library's own codes, "system" (or another category) for a system error.</summary>
        internal string Category { get; }

        /// <summary>The code within its category.</summary>
        internal long Value { get; }

        /// <summary>Everything after "category:value, ".</summary>
        internal string Message { get; }

        /// <summary>The whole line, without its line ending.</summary>
        internal string Text { get; }

        /// <summary>Set when a failure of this process took the line as its own.</summary>
        internal bool Claimed { get; set; }

        /// <summary>
        /// The entry of an error line; null for any other text. Read by hand, once per line,
        /// as the pattern
        /// ^\[dddd-dd-dd dd:dd:dd\.ddd\] \[Velnor\] \[error\] \[(\w+)\] Error: ([^:\s]+):(-?d+), (.*)$
        /// (d an ASCII digit) would read it.
        /// </summary>
        internal static LogEntry? Parse(string text)
        {
            if (text.Length < FunctionAt || text[0] != '[' || !At(text, 24, Lead) || text[5] != '-' || text[8] != '-' ||
                text[11] != ' ' || text[14] != ':' || text[17] != ':' || text[20] != '.')
            {
                return null;
            }
            int year = Digits(text, 1, 4), month = Digits(text, 6, 2), day = Digits(text, 9, 2);
            int hour = Digits(text, 12, 2), minute = Digits(text, 15, 2), second = Digits(text, 18, 2);
            int millisecond = Digits(text, 21, 3);
            if (year < 1 || month < 1 || month > 12 || day < 1 || day > DateTime.DaysInMonth(year, month) ||
                hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0)
            {
                return null;
            }
            int functionEnd = FunctionAt;
            while (functionEnd < text.Length && IsWord(text[functionEnd]))
            {
                ++functionEnd;
            }
            int categoryAt = functionEnd + "] Error: ".Length;
            if (functionEnd == FunctionAt || !At(text, functionEnd, "] Error: "))
            {
                return null;
            }
            int colon = categoryAt;
            while (colon < text.Length && text[colon] != ':' && !char.IsWhiteSpace(text[colon]))
            {
                ++colon;
            }
            if (colon == categoryAt || colon == text.Length || text[colon] != ':')
            {
                return null;
            }
            int digitsAt = colon + 1 < text.Length && text[colon + 1] == '-' ? colon + 2 : colon + 1;
            int valueEnd = digitsAt;
            while (valueEnd < text.Length && IsDigit(text[valueEnd]))
            {
                ++valueEnd;
            }
            long value;
            if (valueEnd == digitsAt || !At(text, valueEnd, ", ") ||
                !long.TryParse(text.Substring(colon + 1, valueEnd - colon - 1), NumberStyles.AllowLeadingSign,
                               CultureInfo.InvariantCulture, out value))
            {
                return null;
            }
            var stamp = new DateTime(year, month, day, hour, minute, second, millisecond, DateTimeKind.Local);
            return new LogEntry(stamp, text.Substring(FunctionAt, functionEnd - FunctionAt),
                                text.Substring(categoryAt, colon - categoryAt), value, text.Substring(valueEnd + 2), text);
        }

        private static bool At(string text, int index, string literal)
        {
            return index + literal.Length <= text.Length && string.CompareOrdinal(text, index, literal, 0, literal.Length) == 0;
        }

        // The number written in count ASCII digits at index; -1 when one is not a digit.
        private static int Digits(string text, int index, int count)
        {
            int number = 0;
            for (int i = index; i < index + count; ++i)
            {
                if (!IsDigit(text[i]))
                {
                    return -1;
                }
                number = number * 10 + (text[i] - '0');
            }
            return number;
        }

        // What a regular expression's \w takes: letters, non-spacing marks, decimal digits
        // and connectors such as '_'.
        private static bool IsWord(char c)
        {
            switch (char.GetUnicodeCategory(c))
            {
                case UnicodeCategory.UppercaseLetter:
                case UnicodeCategory.LowercaseLetter:
                case UnicodeCategory.TitlecaseLetter:
                case UnicodeCategory.ModifierLetter:
                case UnicodeCategory.OtherLetter:
                case UnicodeCategory.NonSpacingMark:
                case UnicodeCategory.DecimalDigitNumber:
                case UnicodeCategory.ConnectorPunctuation:
                    return true;
                default:
                    return false;
            }
        }

        /// <summary>
        /// Whether this line may be the failure of function with code: the same export and
        /// code ("failed", -5, stands for a system error of any category and value), and the
        /// hint, when there is one, standing whole in the message: a refused 23456789 Hz is
        /// not found inside 123456789Hz.
        /// </summary>
        internal bool Names(string function, int code, string? hint)
        {
            if (Function != function || !(Category == "Velnor" ? Value == code : code == -5))
            {
                return false;
            }
            return hint == null || Holds(Message, hint);
        }

        private static bool Holds(string message, string hint)
        {
            for (int at = message.IndexOf(hint, StringComparison.Ordinal); at >= 0;
                 at = message.IndexOf(hint, at + 1, StringComparison.Ordinal))
            {
                int end = at + hint.Length;
                bool wholeBefore = at == 0 || !IsDigit(message[at - 1]) || !IsDigit(hint[0]);
                bool wholeAfter = end == message.Length || !IsDigit(message[end]) || !IsDigit(hint[hint.Length - 1]);
                if (wholeBefore && wholeAfter)
                {
                    return true;
                }
            }
            return false;
        }

        private static bool IsDigit(char c)
        {
            return c >= '0' && c <= '9';
        }
    }
}

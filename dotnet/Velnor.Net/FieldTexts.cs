using System.Threading;

namespace Velnor
{
    /// <summary>
    /// The serial and versions read last, kept with the 32 bytes they were decoded from. A
    /// board's serial and versions rarely change, so reading one again (every read still
    /// asks the driver) costs a compare of the bytes the driver gave instead of a decode and
    /// a new object; bytes that differ are decoded as ever. The values are immutable, so one
    /// may be handed to several callers.
    /// </summary>
    internal static class FieldTexts
    {
        private static Field? serial;
        private static Version? firmware;
        private static Version? driver;

        /// <summary>The serial in a 32-byte field, as <see cref="Text.Decode(byte*, int)"/> reads it.</summary>
        internal static unsafe string Serial(byte* field)
        {
            Field? last = Volatile.Read(ref serial);
            if (last != null && last.Holds(field))
            {
                return last.Text;
            }
            string text = Text.Decode(field, Field.Size);
            Volatile.Write(ref serial, new Field(field, text));
            return text;
        }

        /// <summary>The firmware version the driver wrote.</summary>
        internal static VersionInfo Firmware(ref NativeVersion record)
        {
            return Of(ref record, ref firmware);
        }

        /// <summary>The driver version the driver wrote.</summary>
        internal static VersionInfo Driver(ref NativeVersion record)
        {
            return Of(ref record, ref driver);
        }

        private static unsafe VersionInfo Of(ref NativeVersion record, ref Version? kept)
        {
            fixed (byte* text = record.Text)
            {
                Version? last = Volatile.Read(ref kept);
                if (last != null && last.Value.Major == record.Major && last.Value.Minor == record.Minor &&
                    last.Value.Patch == record.Patch && last.Text.Holds(text))
                {
                    return last.Value;
                }
                var value = new VersionInfo(record.Major, record.Minor, record.Patch, Velnor.Text.Decode(text, Field.Size));
                Volatile.Write(ref kept, new Version(new Field(text, value.Text), value));
                return value;
            }
        }

        /// <summary>A 32-byte field as four words, and its text.</summary>
        private sealed class Field
        {
            internal const int Size = 32;

            private readonly ulong a, b, c, d;

            internal unsafe Field(byte* field, string text)
            {
                a = Word(field, 0);
                b = Word(field, 8);
                c = Word(field, 16);
                d = Word(field, 24);
                Text = text;
            }

            internal string Text { get; }

            internal unsafe bool Holds(byte* field)
            {
                return Word(field, 0) == a && Word(field, 8) == b && Word(field, 16) == c && Word(field, 24) == d;
            }

            // Eight bytes at any address: a record's text field is only 4-aligned, which a
            // 64-bit process's loads (x64, Arm64) take as they are.
            private static unsafe ulong Word(byte* field, int at)
            {
                return *(ulong*)(field + at);
            }
        }

        private sealed class Version
        {
            internal Version(Field text, VersionInfo value)
            {
                Text = text;
                Value = value;
            }

            internal Field Text { get; }

            internal VersionInfo Value { get; }
        }
    }
}

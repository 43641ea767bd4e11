using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Velnor
{
    /// <summary>The board's fixed text fields (versions, the serial) and the native texts (interface paths, ...) as strings.</summary>
    internal static class Text
    {
        private static readonly Encoding Strict = new UTF8Encoding(false, true);

        /// <summary>
        /// A 32-byte field up to its first zero byte (all of it when there is none), as
        /// UTF-8; a byte that is not valid UTF-8 reads as \xNN, so nothing is lost or
        /// guessed.
        /// </summary>
        internal static unsafe string Decode(byte* field, int size)
        {
            int length = 0;
            while (length < size && field[length] != 0)
            {
                ++length;
            }
            var bytes = new byte[length];
            for (int i = 0; i < length; ++i)
            {
                bytes[i] = field[i];
            }
            return Decode(bytes);
        }

        /// <summary>A zero-ended native text, as UTF-8 as above; "" for a null pointer.</summary>
        internal static string Decode(IntPtr text)
        {
            if (text == IntPtr.Zero)
            {
                return "";
            }
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0)
            {
                ++length;
            }
            var bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Decode(bytes);
        }

        internal static string Decode(byte[] bytes)
        {
            try
            {
                return Strict.GetString(bytes);
            }
            catch (DecoderFallbackException)
            {
                return DecodeEscaped(bytes);
            }
        }

        // Valid sequences decoded, every other byte written as \xNN (lower-case hex).
        private static string DecodeEscaped(byte[] bytes)
        {
            var result = new StringBuilder();
            int i = 0;
            while (i < bytes.Length)
            {
                int length = SequenceLength(bytes, i);
                if (length == 0)
                {
                    result.AppendFormat("\\x{0:x2}", bytes[i]);
                    ++i;
                    continue;
                }
                result.Append(Strict.GetString(bytes, i, length));
                i += length;
            }
            return result.ToString();
        }

        // Length of the valid UTF-8 sequence at i, or 0 when there is none.
        private static int SequenceLength(byte[] bytes, int i)
        {
            byte lead = bytes[i];
            int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
            if (length == 0 || i + length > bytes.Length)
            {
                return 0;
            }
            try
            {
                Strict.GetString(bytes, i, length);
                return length;
            }
            catch (DecoderFallbackException)
            {
                return 0;
            }
        }
    }
}

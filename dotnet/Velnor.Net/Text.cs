using System;
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
        /// guessed. Decoded where the field lies: a version or serial read costs one string.
        /// </summary>
        internal static unsafe string Decode(byte* field, int size)
        {
            // Serials and versions are ASCII: the common case builds the string straight
            // from the bytes, without a decoder.
            int length = 0;
            int high = 0;
            while (length < size && field[length] != 0)
            {
                high |= field[length];
                ++length;
            }
            if (length == 0)
            {
                return string.Empty;
            }
            return high < 0x80 ? Ascii(field, length) : DecodeUtf8(field, length);
        }

        /// <summary>A zero-ended native text, as UTF-8 as above; "" for a null pointer.</summary>
        internal static unsafe string Decode(IntPtr text)
        {
            if (text == IntPtr.Zero)
            {
                return "";
            }
            var bytes = (byte*)text;
            int length = 0;
            while (bytes[length] != 0)
            {
                ++length;
            }
            return length == 0 ? string.Empty : DecodeUtf8(bytes, length);
        }

        // Bytes below 0x80 are the same characters in every encoding: Latin-1's plain
        // widening is the cheapest way from them to a string.
        private static unsafe string Ascii(byte* bytes, int length)
        {
#if NET8_0_OR_GREATER
            return Encoding.Latin1.GetString(bytes, length);
#else
            return Encoding.ASCII.GetString(bytes, length);
#endif
        }

        private static unsafe string DecodeUtf8(byte* bytes, int length)
        {
            try
            {
                return Strict.GetString(bytes, length);
            }
            catch (DecoderFallbackException)
            {
                var copy = new byte[length];
                for (int i = 0; i < length; ++i)
                {
                    copy[i] = bytes[i];
                }
                return DecodeEscaped(copy);
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

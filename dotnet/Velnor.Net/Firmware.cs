using System;
using System.Text;

namespace Velnor
{
    /// <summary>
    /// The board's firmware image: a 64-byte header (magic "VLFW", header version 1, the
    /// version's numbers and 32-byte text, the payload's length and CRC-32, a zero word)
    /// and the payload; and the 1,032-byte update blocks that carry it to the board.
    /// </summary>
    public static class Firmware
    {
        /// <summary>Size of the image header in bytes.</summary>
        public const int HeaderSize = 64;

        /// <summary>The largest payload the board takes: 16 MiB minus the header.</summary>
        public const int PayloadMax = 16 * 1024 * 1024 - HeaderSize;

        /// <summary>Size of one update block in bytes.</summary>
        public const int BlockSize = 1032;

        /// <summary>The most image bytes one block carries.</summary>
        public const int BlockDataMax = 1024;

        private static readonly Encoding Utf8 = new UTF8Encoding(false, true);

        /// <summary>Makes an image from a payload and the version text "major.minor.patch[anything]".</summary>
        /// <param name="payload">1 to <see cref="PayloadMax"/> bytes.</param>
        /// <param name="version">"1.4.0" or "1.4.0-rc1": it starts with the three numbers and is kept as the version text (at most 32 bytes).</param>
        /// <returns>The image.</returns>
        /// <exception cref="ArgumentException">An empty or too large payload, or a version that does not start with major.minor.patch or is too long.</exception>
        public static byte[] Pack(byte[] payload, string version)
        {
            if (version == null)
            {
                throw new ArgumentNullException("version");
            }
            uint[]? numbers = LeadingNumbers(version);
            if (numbers == null)
            {
                throw new ArgumentException(string.Format("firmware version \"{0}\" does not start with major.minor.patch", version), "version");
            }
            return Pack(payload, new VersionInfo(numbers[0], numbers[1], numbers[2], version));
        }

        /// <summary>Makes an image from a payload and a version whose text, if it starts with numbers, agrees with them.</summary>
        /// <param name="payload">1 to <see cref="PayloadMax"/> bytes.</param>
        /// <param name="version">The version; its text is at most 32 bytes of UTF-8.</param>
        /// <returns>The image.</returns>
        /// <exception cref="ArgumentException">An empty or too large payload, a text that is too long or whose leading major.minor.patch contradicts the numbers.</exception>
        public static byte[] Pack(byte[] payload, VersionInfo version)
        {
            if (payload == null)
            {
                throw new ArgumentNullException("payload");
            }
            if (version == null)
            {
                throw new ArgumentNullException("version");
            }
            if (payload.Length == 0)
            {
                throw new ArgumentException("the payload is empty; the board takes 1 to 16777152 bytes", "payload");
            }
            if (payload.Length > PayloadMax)
            {
                throw new ArgumentException(string.Format("payload of {0} bytes is above the board's {1}", payload.Length, PayloadMax), "payload");
            }
            byte[] text = Utf8.GetBytes(version.Text);
            if (text.Length > 32)
            {
                throw new ArgumentException(string.Format("version text \"{0}\" is longer than 32 bytes", version.Text), "version");
            }
            string? contradiction = Contradiction(version.Major, version.Minor, version.Patch, version.Text);
            if (contradiction != null)
            {
                throw new ArgumentException(contradiction, "version");
            }
            var image = new byte[HeaderSize + payload.Length];
            Encoding.ASCII.GetBytes("VLFW", 0, 4, image, 0);
            Put(image, 4, 1);
            Put(image, 8, version.Major);
            Put(image, 12, version.Minor);
            Put(image, 16, version.Patch);
            Buffer.BlockCopy(text, 0, image, 20, text.Length);
            Put(image, 52, (uint)payload.Length);
            Put(image, 56, Crc32(payload, 0, payload.Length));
            Buffer.BlockCopy(payload, 0, image, HeaderSize, payload.Length);
            return image;
        }

        /// <summary>Checks an image as the board would and gives the version inside.</summary>
        /// <param name="image">The image.</param>
        /// <returns>The version in the header.</returns>
        /// <exception cref="FirmwareImageException">What the board would refuse: short header, magic, header version, reserved word, empty or too large payload, a size that is not 64 + payload length, CRC-32, a version text that contradicts the numbers.</exception>
        public static unsafe VersionInfo Check(byte[] image)
        {
            if (image == null)
            {
                throw new ArgumentNullException("image");
            }
            if (image.Length < HeaderSize)
            {
                throw new FirmwareImageException(string.Format("{0} bytes, shorter than the 64-byte header", image.Length));
            }
            if (image[0] != 'V' || image[1] != 'L' || image[2] != 'F' || image[3] != 'W')
            {
                throw new FirmwareImageException("the magic is not \"VLFW\"");
            }
            uint headerVersion = Get(image, 4), length = Get(image, 52), crc = Get(image, 56), zero = Get(image, 60);
            if (headerVersion != 1)
            {
                throw new FirmwareImageException(string.Format("header version {0}, not 1", headerVersion));
            }
            if (zero != 0)
            {
                throw new FirmwareImageException(string.Format("reserved header field is 0x{0:x}, not 0", zero));
            }
            if (length == 0)
            {
                throw new FirmwareImageException("the payload is empty");
            }
            if (length > PayloadMax)
            {
                throw new FirmwareImageException(string.Format("payload length {0} is above {1}", length, PayloadMax));
            }
            if (image.Length != HeaderSize + length)
            {
                throw new FirmwareImageException(string.Format("image is {0} bytes, the header says {1}", image.Length, HeaderSize + length));
            }
            uint actual = Crc32(image, HeaderSize, (int)length);
            if (actual != crc)
            {
                throw new FirmwareImageException(string.Format("payload CRC-32 is 0x{0:x8}, the header says 0x{1:x8}", actual, crc));
            }
            string text;
            fixed (byte* field = &image[20])
            {
                text = Text.Decode(field, 32);
            }
            var version = new VersionInfo(Get(image, 8), Get(image, 12), Get(image, 16), text);
            string? contradiction = Contradiction(version.Major, version.Minor, version.Patch, text);
            if (contradiction != null)
            {
                throw new FirmwareImageException(contradiction);
            }
            return version;
        }

        /// <summary>One update block: image offset and length (little-endian), the data, a zero tail.</summary>
        /// <param name="offset">The data's offset in the image, 0 or more.</param>
        /// <param name="data">The buffer holding the data.</param>
        /// <param name="start">Where the data starts in the buffer.</param>
        /// <param name="count">1 to <see cref="BlockDataMax"/> bytes.</param>
        /// <returns>The 1,032-byte block.</returns>
        /// <exception cref="ArgumentNullException">data is null.</exception>
        /// <exception cref="ArgumentOutOfRangeException">count is not 1 to 1024, offset is negative, or the data lies outside the buffer.</exception>
        public static byte[] CreateBlock(int offset, byte[] data, int start, int count)
        {
            if (data == null)
            {
                throw new ArgumentNullException("data");
            }
            if (count < 1 || count > BlockDataMax)
            {
                throw new ArgumentOutOfRangeException("count", count, "a block carries 1 to 1024 bytes");
            }
            if (offset < 0)
            {
                throw new ArgumentOutOfRangeException("offset", offset, "a block offset is 0 or more");
            }
            if (start < 0 || start > data.Length - count)
            {
                throw new ArgumentOutOfRangeException("start", start, "the block's data lies outside the buffer");
            }
            var block = new byte[BlockSize];
            Put(block, 0, (uint)offset);
            Put(block, 4, (uint)count);
            Buffer.BlockCopy(data, start, block, 8, count);
            return block;
        }

        /// <summary>One update block, as <see cref="CreateBlock"/> makes it.</summary>
        /// <param name="offset">The data's offset in the image.</param>
        /// <param name="data">The buffer holding the data.</param>
        /// <param name="start">Where the data starts in the buffer.</param>
        /// <param name="count">1 to <see cref="BlockDataMax"/> bytes.</param>
        /// <returns>The 1,032-byte block.</returns>
        [Obsolete("Use CreateBlock(int, byte[], int, int)")]
        public static byte[] Block(int offset, byte[] data, int start, int count)
        {
            return CreateBlock(offset, data, start, count);
        }

        // The leading "major.minor.patch" of a text, or null when it has none.
        private static uint[]? LeadingNumbers(string text)
        {
            var numbers = new uint[3];
            int at = 0;
            for (int part = 0; part < 3; ++part)
            {
                int begin = at;
                ulong value = 0;
                while (at < text.Length && text[at] >= '0' && text[at] <= '9' && at - begin < 10)
                {
                    value = value * 10 + (ulong)(text[at] - '0');
                    ++at;
                }
                if (at == begin || value > uint.MaxValue || (at < text.Length && text[at] >= '0' && text[at] <= '9'))
                {
                    return null;
                }
                numbers[part] = (uint)value;
                if (part < 2)
                {
                    if (at >= text.Length || text[at] != '.')
                    {
                        return null;
                    }
                    ++at;
                }
            }
            return numbers;
        }

        private static string? Contradiction(uint major, uint minor, uint patch, string text)
        {
            uint[]? numbers = LeadingNumbers(text);
            if (numbers == null || (numbers[0] == major && numbers[1] == minor && numbers[2] == patch))
            {
                return null;
            }
            return string.Format("version text \"{0}\" contradicts the numbers {1}.{2}.{3}", text, major, minor, patch);
        }

        private static void Put(byte[] buffer, int at, uint value)
        {
            buffer[at] = (byte)value;
            buffer[at + 1] = (byte)(value >> 8);
            buffer[at + 2] = (byte)(value >> 16);
            buffer[at + 3] = (byte)(value >> 24);
        }

        private static uint Get(byte[] buffer, int at)
        {
            return buffer[at] | (uint)buffer[at + 1] << 8 | (uint)buffer[at + 2] << 16 | (uint)buffer[at + 3] << 24;
        }

        private static readonly uint[] CrcTable = MakeCrcTable();

        private static uint[] MakeCrcTable()
        {
            var table = new uint[256];
            for (uint n = 0; n < 256; ++n)
            {
                uint c = n;
                for (int k = 0; k < 8; ++k)
                {
                    c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                }
                table[n] = c;
            }
            return table;
        }

        // CRC-32 of IEEE 802.3, reflected, as zlib computes it.
        private static uint Crc32(byte[] data, int start, int count)
        {
            uint crc = 0xFFFFFFFFu;
            for (int i = start; i < start + count; ++i)
            {
                crc = CrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
            }
            return crc ^ 0xFFFFFFFFu;
        }
    }
}

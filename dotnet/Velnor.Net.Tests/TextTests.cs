using System;
using System.Linq;
using NUnit.Framework;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>The board's 32-byte text fields as strings: up to the first zero, UTF-8, other bytes as \xNN.</summary>
    [TestFixture]
    public class TextTests : SimulationFixture
    {
        [TestCase("4c 41 42 2d 30 30 30 31 00 ff", "LAB-0001", TestName = "AsciiUpToTheZero")]
        [TestCase("", "", TestName = "Empty")]
        [TestCase("4c c3 a4 62 00", "L\u00e4b", TestName = "Utf8")]
        [TestCase("4c ff 62 c3", "L\\xffb\\xc3", TestName = "BytesThatAreNoUtf8")]
        [TestCase("e2 82 ac 80 41", "\u20ac\\x80A", TestName = "ValidSequenceThenAStrayByte")]
        public unsafe void FieldsDecode(string hex, string expected)
        {
            byte[] field = new byte[32];
            byte[] given = hex.Split(' ', StringSplitOptions.RemoveEmptyEntries).Select(b => Convert.ToByte(b, 16)).ToArray();
            given.CopyTo(field, 0);
            fixed (byte* bytes = field)
            {
                Assert.That(Text.Decode(bytes, 32), Is.EqualTo(expected));
                Assert.That(Text.Decode((IntPtr)bytes), Is.EqualTo(expected));
            }
        }

        [Test]
        public unsafe void AFieldWithoutAZeroIsAllText()
        {
            byte[] field = Enumerable.Repeat((byte)'A', 40).ToArray();
            fixed (byte* bytes = field)
            {
                Assert.That(Text.Decode(bytes, 32), Is.EqualTo(new string('A', 32)));
            }
        }

        // Through the library and the board: what the board holds is what the property gives.
        [TestCase("VLN-\u00e4\u20ac-0001", "1.4.0-\u00df", TestName = "Utf8SerialAndVersion")]
        [TestCase("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "0123456789abcdef0123456789abcdef", TestName = "FieldsOfAll32Bytes")]
        public void SerialAndVersionsReadAsTheBoardHoldsThem(string serial, string version)
        {
            int id = Simulation.AddBoard(serial, new VersionInfo(1, 4, 0, version), new VersionInfo(2, 4, 1, version));
            using (Board board = Board.Open(id))
            {
                Assert.That((board.Serial, board.FirmwareVersion.Text, board.DriverVersion.Text), Is.EqualTo((serial, version, version)));
            }
        }
    }
}

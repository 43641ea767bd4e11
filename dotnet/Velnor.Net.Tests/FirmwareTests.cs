using System;
using System.Collections.Generic;
using System.Linq;
using System.Text;
using System.Threading;
using System.Threading.Tasks;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    [TestFixture]
    public class FirmwareTests : SimulationFixture
    {
        private static readonly byte[] CheckPayload = Encoding.ASCII.GetBytes("123456789");

        [Test]
        public void PackWritesTheBoardsHeader()
        {
            byte[] image = Firmware.Pack(CheckPayload, "1.4.0-rc1");
            var header = new byte[64];
            Encoding.ASCII.GetBytes("VLFW").CopyTo(header, 0);
            header[4] = 1;
            header[8] = 1;
            header[12] = 4;
            Encoding.ASCII.GetBytes("1.4.0-rc1").CopyTo(header, 20);
            header[52] = 9;
            // CRC-32 of "123456789" is the algorithm's check value 0xCBF43926.
            new byte[] { 0x26, 0x39, 0xF4, 0xCB }.CopyTo(header, 56);
            ClassicAssert.AreEqual(header.Concat(CheckPayload).ToArray(), image);
            ClassicAssert.AreEqual(new VersionInfo(1, 4, 0, "1.4.0-rc1"), Firmware.Check(image));
        }

        private static IEnumerable<TestCaseData> RefusedPacks()
        {
            yield return new TestCaseData(new byte[0], "1.4.0", "the payload is empty; the board takes 1 to 16777152 bytes").SetName("EmptyPayload");
            yield return new TestCaseData(new byte[Firmware.PayloadMax + 1], "1.4.0", "payload of 16777153 bytes is above the board's 16777152").SetName("PayloadTooLarge");
            yield return new TestCaseData(CheckPayload, "1.4", "firmware version \"1.4\" does not start with major.minor.patch").SetName("TwoNumbers");
            yield return new TestCaseData(CheckPayload, "1.4.0-" + new string('x', 27), "version text \"1.4.0-" + new string('x', 27) + "\" is longer than 32 bytes").SetName("TextTooLong");
        }

        [TestCaseSource("RefusedPacks")]
        public void PackRefuses(byte[] payload, string version, string reason)
        {
            var error = Assert.Throws<ArgumentException>(() => Firmware.Pack(payload, version));
            StringAssert.StartsWith(reason, error.Message);
        }

        [TestCase("1.4.0-rc1", true)]
        [TestCase("build 7", true)]
        [TestCase("2.0.0", false)]
        [TestCase("1.4.01", false)]
        public void PackedTextAgreesWithTheNumbers(string text, bool accepted)
        {
            var version = new VersionInfo(1, 4, 0, text);
            if (accepted)
            {
                ClassicAssert.AreEqual(version, Firmware.Check(Firmware.Pack(CheckPayload, version)));
                return;
            }
            var error = Assert.Throws<ArgumentException>(() => Firmware.Pack(CheckPayload, version));
            StringAssert.StartsWith("version text \"" + text + "\" contradicts the numbers 1.4.0", error.Message);
        }

        private static IEnumerable<TestCaseData> BadImages()
        {
            // byte to change (or a new length), its value, the reason
            yield return new TestCaseData(-1, 63, "63 bytes, shorter than the 64-byte header").SetName("ShortHeader");
            yield return new TestCaseData(0, (int)'X', "the magic is not \"VLFW\"").SetName("Magic");
            yield return new TestCaseData(4, 2, "header version 2, not 1").SetName("HeaderVersion");
            yield return new TestCaseData(60, 1, "reserved header field is 0x1, not 0").SetName("Reserved");
            yield return new TestCaseData(-1, 72, "image is 72 bytes, the header says 73").SetName("Truncated");
            yield return new TestCaseData(64, (int)'0', "payload CRC-32 is 0xdc8f2d65, the header says 0xcbf43926").SetName("Crc");
            yield return new TestCaseData(20, (int)'2', "version text \"2.4.0-rc1\" contradicts the numbers 1.4.0").SetName("Contradiction");
        }

        [TestCaseSource("BadImages")]
        public void CheckRefuses(int at, int value, string reason)
        {
            byte[] image = Firmware.Pack(CheckPayload, "1.4.0-rc1");
            if (at < 0)
            {
                Array.Resize(ref image, value);
            }
            else
            {
                image[at] = (byte)value;
            }
            ClassicAssert.AreEqual(reason, Assert.Throws<FirmwareImageException>(() => Firmware.Check(image)).Reason);
        }

        [Test]
        public void CheckRefusesAnEmptyPayload()
        {
            var image = new byte[64];
            Encoding.ASCII.GetBytes("VLFW1").CopyTo(image, 0);
            image[4] = 1;
            ClassicAssert.AreEqual("the payload is empty", Assert.Throws<FirmwareImageException>(() => Firmware.Check(image)).Reason);
        }

        [Test]
        public void UpdateReportsProgressAndReturnsTheNewVersion()
        {
            byte[] image = Firmware.Pack(Enumerable.Range(0, 2500).Select(i => (byte)i).ToArray(), "1.4.0-rc1");
            var progress = new List<string>();
            using (Board board = Board.Open(0))
            {
                VersionInfo version = board.UpdateFirmware(image, (sent, total) => progress.Add(sent + "/" + total));
                ClassicAssert.AreEqual(new VersionInfo(1, 4, 0, "1.4.0-rc1"), version);
                ClassicAssert.AreEqual(version, board.FirmwareVersion);
                ClassicAssert.AreEqual(UpdateState.Done, board.GetUpdateStatus().State);
            }
            ClassicAssert.AreEqual(new[] { "1024/2564", "2048/2564", "2564/2564" }, progress);
        }

        [Test]
        public void FailedUpdateIsReset()
        {
            byte[] image = Firmware.Pack(new byte[3000], "2.0.0");
            using (Board board = Board.Open(0))
            {
                var fromCallback = Assert.Throws<InvalidOperationException>(() =>
                    board.UpdateFirmware(image, (sent, total) => { throw new InvalidOperationException("stop at " + sent); }));
                ClassicAssert.AreEqual("stop at 1024", fromCallback.Message);
                ClassicAssert.AreEqual(new UpdateStatus(UpdateState.Idle, 0).State, board.GetUpdateStatus().State);
                ClassicAssert.AreEqual(0, board.GetUpdateStatus().BytesReceived);

                Simulation.SetRequestStatus(BoardRequest.UpdateWrite, (int)ResultCode.InvalidData);
                var fromBoard = Assert.Throws<InvalidBoardDataException>(() => board.UpdateFirmware(image, null));
                ClassicAssert.AreEqual("vl_device_update_write", fromBoard.Function);
                ClassicAssert.AreEqual(UpdateState.Idle, board.GetUpdateStatus().State);
                ClassicAssert.AreEqual(new VersionInfo(1, 3, 0, "1.3.0"), board.FirmwareVersion);
            }
        }

        // The board as another caller sees it: its update state and firmware, and the handles left open.
        private static string BoardSeenByAnother()
        {
            using (Board other = Board.Open(0))
            {
                UpdateStatus status = other.GetUpdateStatus();
                return string.Format("{0} {1} {2} handles={3}", status.State, status.BytesReceived, other.FirmwareVersion,
                                     Simulation.OpenHandleCount);
            }
        }

        // How the board is closed during its update: from the progress callback, or from another
        // thread while the callback holds the update at its first block.
        [TestCase("Dispose", false, typeof(ObjectDisposedException))]
        [TestCase("Dispose", true, typeof(ObjectDisposedException))]
        [TestCase("Close", false, typeof(InvalidOperationException))]
        [TestCase("Close", true, typeof(ObjectDisposedException))]
        public void ClosedDuringAnUpdateTheBoardIsResetNeverHalfFlashed(string how, bool otherThread, Type thrown)
        {
            byte[] image = Firmware.Pack(new byte[5000], "2.0.0");
            Board board = Board.Open(0);
            Action close = how == "Dispose" ? (Action)board.Dispose : board.Close;
            Thread closer = null;
            Exception closeError = null;
            var error = Assert.Catch(() => board.UpdateFirmware(image, (sent, total) =>
            {
                if (sent != 1024)
                {
                    return;
                }
                if (!otherThread)
                {
                    close();
                    return;
                }
                closer = new Thread(() => { try { close(); } catch (Exception e) { closeError = e; } });
                closer.Start();
                // Close waits for this update: hold the update until the board is closed to calls.
                SpinWait.SpinUntil(() => board.IsClosed);
            }));
            closer?.Join();
            ClassicAssert.IsNull(closeError);
            ClassicAssert.AreEqual(thrown, error.GetType(), error.ToString());
            ClassicAssert.IsTrue(board.IsClosed);
            ClassicAssert.AreEqual("Idle 0 1.3.0 handles=1", BoardSeenByAnother());
        }

        [Test]
        public void ASecondCallersRefusedStartLeavesTheFirstUpdateRunning()
        {
            byte[] first = Firmware.Pack(new byte[3000], "2.0.0"), second = Firmware.Pack(new byte[10], "3.0.0");
            UpdateInvalidStatusException refused = null;
            using (Board a = Board.Open(0))
            using (Board b = Board.Open(0))
            {
                VersionInfo version = a.UpdateFirmware(first, (sent, total) =>
                {
                    if (sent == 1024)
                    {
                        refused = Assert.Throws<UpdateInvalidStatusException>(() => b.UpdateFirmware(second, null));
                    }
                });
                // Had the refused caller reset the board, this update's next block would have been refused.
                ClassicAssert.AreEqual(new VersionInfo(2, 0, 0, "2.0.0"), version);
            }
            ClassicAssert.AreEqual("vl_device_update_start_async", refused.Function);
            StringAssert.StartsWith("vl_device_update_start_async failed: update_invalid_status (-8): the board is not idle: " +
                                    "another update is running on it, or one was left half-way; once no update runs any " +
                                    "more, ResetUpdate() abandons it and a new update can start", refused.Message);
        }

        // Cancelled before anything is sent (-1), after that many blocks, or never (0).
        [TestCase(-1)]
        [TestCase(1)]
        [TestCase(3)]
        [TestCase(0)]
        public void AsyncUpdateReportsEachBlockAndACancellationResetsIt(int blocks)
        {
            byte[] image = Firmware.Pack(new byte[4000], "2.0.0");
            var sent = new[] { 1024L, 2048L, 3072L, 4064L }.Select(bytes => new UpdateProgress(bytes, 4064)).ToArray();
            using (var cancel = new CancellationTokenSource())
            using (Board board = Board.Open(0))
            {
                if (blocks < 0)
                {
                    cancel.Cancel();
                }
                long requests = Simulation.RequestCount;
                var reports = new Reports(report => { if (report.BytesSent == blocks * 1024) cancel.Cancel(); });
                Task<VersionInfo> update = board.UpdateFirmwareAsync(image, reports, cancel.Token);
                if (blocks == 0)
                {
                    ClassicAssert.AreEqual(new VersionInfo(2, 0, 0, "2.0.0"), update.GetAwaiter().GetResult());
                    ClassicAssert.AreEqual(sent, reports.Seen);
                    return;
                }
                var error = Assert.CatchAsync<OperationCanceledException>(() => update);
                ClassicAssert.AreEqual(cancel.Token, error.CancellationToken);
                ClassicAssert.IsTrue(update.IsCanceled);
                ClassicAssert.AreEqual(sent.Take(Math.Max(blocks, 0)), reports.Seen);
                if (blocks < 0)
                {
                    ClassicAssert.AreEqual(requests, Simulation.RequestCount);
                }
            }
            ClassicAssert.AreEqual("Idle 0 1.3.0 handles=1", BoardSeenByAnother());
        }

        // TimeSpan ticks: -10000 is Timeout.InfiniteTimeSpan, long.MaxValue is TimeSpan.MaxValue.
        [TestCase(-10000L, true)]
        [TestCase(long.MaxValue, true)]
        [TestCase(1L, false)]
        [TestCase(0L, false)]
        [TestCase(-1L, false)]
        [TestCase(-20000L, false)]
        [TestCase(long.MinValue, false)]
        public void TimeoutIsCheckedBeforeAnythingIsSent(long ticks, bool accepted)
        {
            byte[] image = Firmware.Pack(new byte[10], "2.0.0");
            using (Board board = Board.Open(0))
            {
                long requests = Simulation.RequestCount;
                if (ticks == 1L)
                {
                    // A tick passes before the first poll: the board stays Erasing past it.
                    var late = Assert.Throws<TimeoutException>(() => board.UpdateFirmware(image, null, new TimeSpan(ticks)));
                    StringAssert.StartsWith("the board stayed Erasing for ", late.Message);
                    StringAssert.EndsWith(" s (waiting for Ready)", late.Message);
                    ClassicAssert.AreEqual(UpdateState.Idle, board.GetUpdateStatus().State);
                    return;
                }
                if (accepted)
                {
                    ClassicAssert.AreEqual(new VersionInfo(2, 0, 0, "2.0.0"), board.UpdateFirmware(image, null, new TimeSpan(ticks)));
                    return;
                }
                var error = Assert.Throws<ArgumentOutOfRangeException>(() => board.UpdateFirmware(image, null, new TimeSpan(ticks)));
                ClassicAssert.AreEqual("timeout", error.ParamName);
                ClassicAssert.AreEqual(requests, Simulation.RequestCount);
            }
        }

        // An IProgress that records each report on the update's own thread, as it comes.
        private sealed class Reports : IProgress<UpdateProgress>
        {
            private readonly Action<UpdateProgress> then;

            public Reports(Action<UpdateProgress> then)
            {
                this.then = then;
            }

            public List<UpdateProgress> Seen { get; } = new List<UpdateProgress>();

            public void Report(UpdateProgress value)
            {
                Seen.Add(value);
                then?.Invoke(value);
            }
        }
    }
}

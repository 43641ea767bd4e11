using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    [TestFixture]
    public class BindingTests : SimulationFixture
    {
        [TestCase(typeof(NativeVersion), 44)]
        [TestCase(typeof(NativeClock), 16)]
        [TestCase(typeof(NativeUpdateBlock), 1032)]
        public void RecordsHaveTheLibrarysSizes(Type record, int size)
        {
            ClassicAssert.AreEqual(size, Marshal.SizeOf(record));
        }

        [Test]
        public void RecordFieldsSitWhereTheLibraryPutsThem()
        {
            ClassicAssert.AreEqual(12, (int)Marshal.OffsetOf(typeof(NativeVersion), "Text"));
            ClassicAssert.AreEqual(4, (int)Marshal.OffsetOf(typeof(NativeClock), "Reserved"));
            ClassicAssert.AreEqual(8, (int)Marshal.OffsetOf(typeof(NativeClock), "FrequencyHz"));
        }

        [Test]
        public void ListsAndOpensBoardsByIndexAndSerial()
        {
            Simulation.AddBoard("LAB-0002", new VersionInfo(1, 4, 0, "1.4.0-rc1"), new VersionInfo(3, 0, 7, "3.0.7"));
            ClassicAssert.AreEqual("1.0.2", Library.Version.Text);
            ClassicAssert.AreEqual(2, Board.Count);
            var boards = Board.GetBoards();
            ClassicAssert.AreEqual(new[] { "0: LAB-0001 (firmware 1.3.0, driver 2.4.1)", "1: LAB-0002 (firmware 1.4.0-rc1, driver 3.0.7)" },
                            new[] { boards[0].ToString(), boards[1].ToString() });
            using (Board board = Board.Open("LAB-0002"))
            {
                ClassicAssert.AreEqual(1, board.Index);
                ClassicAssert.AreEqual("LAB-0002", board.Serial);
                ClassicAssert.AreEqual(new VersionInfo(1, 4, 0, "1.4.0-rc1"), board.FirmwareVersion);
                ClassicAssert.AreEqual(new VersionInfo(3, 0, 7, "3.0.7"), board.DriverVersion);
            }
            using (Board board = Board.Open(0))
            {
                ClassicAssert.AreEqual("LAB-0001", board.Serial);
            }
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }

        private static IEnumerable<TestCaseData> UnreadableRows()
        {
            // the fault, each row as listed ("?" for a value not read), each row's failure (export and code)
            yield return new TestCaseData((Action)(() => Simulation.SetRequestStatus(BoardRequest.GetSerial, -9)),
                new[] { "0: ? (firmware 1.3.0, driver 2.4.1)", "1: ? (firmware 1.3.0, driver 2.4.1)" },
                new[] { "vl_device_get_serial -9", "vl_device_get_serial -9" }).SetName("EverySerialRead");
            yield return new TestCaseData((Action)(() => Simulation.SetRequestStatus(BoardRequest.GetDriverVersion, 77)),
                new[] { "0: LAB-0001 (firmware 1.3.0, driver ?)", "1: LAB-0002 (firmware 1.3.0, driver ?)" },
                new[] { "vl_device_get_driver_version 77", "vl_device_get_driver_version 77" }).SetName("EveryDriverRead");
            yield return new TestCaseData((Action)(() => Simulation.FailNext(SimulatedCall.DeviceIoControl, 1167)),
                new[] { "0: ? (firmware 1.3.0, driver 2.4.1)", "1: LAB-0002 (firmware 1.3.0, driver 2.4.1)" },
                new[] { "vl_device_get_serial -5", "" }).SetName("OneSerialRead");
            yield return new TestCaseData((Action)(() => Simulation.FailNext(SimulatedCall.CreateFile, 5)),
                new[] { "0: ? (firmware ?, driver ?)", "1: LAB-0002 (firmware 1.3.0, driver 2.4.1)" },
                new[] { "vl_device_open -5", "" }).SetName("OneOpen");
        }

        [TestCaseSource(nameof(UnreadableRows))]
        public void EveryBoardIsListedEvenWhenAReadFails(Action fault, string[] rows, string[] failures)
        {
            Simulation.AddBoard("LAB-0002");
            fault();
            IReadOnlyList<BoardInfo> boards = Board.GetBoards();
            ClassicAssert.AreEqual(failures, boards.Select(b => b.Error == null ? "" : b.Error.Function + " " + (int)b.Error.ResultCode));
            ClassicAssert.AreEqual(rows.Zip(boards, (row, b) => b.Error == null ? row : row + "; " + b.Error.Message),
                                   boards.Select(b => b.ToString()));
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }

        [Test]
        public void OldNamesForwardToTheNewOnes()
        {
#pragma warning disable CS0618 // the names of the previous release, kept for one more
            byte[] image = Firmware.Pack(new byte[100], "2.0.0");
            ClassicAssert.AreEqual(Firmware.CreateBlock(0, image, 0, image.Length), Firmware.Block(0, image, 0, image.Length));
            BoardInfo info = Board.List().Single();
            ClassicAssert.AreEqual(new[] { "1.3.0", "2.4.1" }, new[] { info.Firmware.Text, info.Driver.Text });
            using (Board board = Board.Open(0))
            {
                board.UpdateStart();
                while (board.GetUpdateStatus().State == UpdateState.Erasing)
                {
                }
                board.UpdateWrite(Firmware.Block(0, image, 0, image.Length));
                ClassicAssert.AreEqual(164, board.GetUpdateStatus().Received);
                board.UpdateComplete();
                ClassicAssert.AreEqual(UpdateState.Done, board.GetUpdateStatus().State);
                board.UpdateReset();
                ClassicAssert.AreEqual(UpdateState.Idle, board.GetUpdateStatus().State);
            }
#pragma warning restore CS0618
        }

        [Test]
        public void OpenBySerialNamesWhatItFound()
        {
            Simulation.AddBoard("LAB-0001");
            var ambiguous = Assert.Throws<AmbiguousSerialException>(() => Board.Open("LAB-0001"));
            ClassicAssert.AreEqual("2 boards have serial \"LAB-0001\", at indices 0, 1", ambiguous.Message);
            var missing = Assert.Throws<BoardNotFoundException>(() => Board.Open("LAB-9"));
            ClassicAssert.AreEqual("no board with serial \"LAB-9\"; present: 0: \"LAB-0001\", 1: \"LAB-0001\"", missing.Message);
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }

        [Test]
        public void EveryPropertyRoundTrips()
        {
            using (Board board = Board.Open(0))
            {
                foreach (Led led in new[] { Led.On, Led.Blink, Led.Off })
                {
                    board.Led = led;
                    ClassicAssert.AreEqual(led, board.Led);
                }
                foreach (TriggerPolarity polarity in new[] { TriggerPolarity.Falling, TriggerPolarity.Rising })
                {
                    board.TriggerPolarity = polarity;
                    ClassicAssert.AreEqual(polarity, board.TriggerPolarity);
                }
                board.TriggerStatus = TriggerStatus.Armed;
                ClassicAssert.AreEqual(TriggerStatus.Armed, board.TriggerStatus);
                Simulation.FireTrigger(BoardId);
                ClassicAssert.AreEqual(TriggerStatus.Triggered, board.TriggerStatus);
                board.TriggerStatus = TriggerStatus.Disarmed;
                ClassicAssert.AreEqual(TriggerStatus.Disarmed, board.TriggerStatus);
                foreach (Clock clock in new[] { new Clock(ClockMode.Internal, 125000000, 0xA1B2C3D4),
                                                new Clock(ClockMode.External, 10000000) })
                {
                    board.Clock = clock;
                    ClassicAssert.AreEqual(clock, board.Clock);
                }
                board.WriteRegister(0x140, 0xA5);
                ClassicAssert.AreEqual(0xA5, Simulation.ReadRegister(BoardId, 0x140));
                ClassicAssert.AreEqual(0xA5, board.ReadRegister(0x140));
            }
        }

        private static IEnumerable<TestCaseData> Failures()
        {
            // what the board is made to do, the call, the exception, code, export, the log line after its stamp
            yield return new TestCaseData(null, (Action<Board>)(b => Board.Open(7).Dispose()), typeof(InvalidDeviceException), -3,
                "vl_device_open", "Error: Velnor:-3, Cannot retrieve device at index 7, only 1 device(s) found on the system: invalid_device").SetName("NoBoardAtIndex");
            yield return new TestCaseData(null, (Action<Board>)(b => b.Clock = new Clock(ClockMode.Internal, 123456789)),
                typeof(InvalidFrequencyException), -13, "vl_device_set_clock",
                "Error: Velnor:-13, Invalid clock frequency: 123456789Hz. Try 123125000Hz or 123750000Hz: invalid_frequency").SetName("UnproducibleFrequency");
            yield return new TestCaseData((Action)(() => Simulation.SetRequestStatus(BoardRequest.SetLed, -9)),
                (Action<Board>)(b => b.Led = Led.On), typeof(InvalidBoardDataException), -9, "vl_device_set_id_led_state",
                "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("DriverRefusesValue");
            yield return new TestCaseData((Action)(() => Simulation.SetRequestStatus(BoardRequest.GetLed, 12345)),
                (Action<Board>)(b => { var led = b.Led; }), typeof(VelnorException), 12345, "vl_device_get_id_led_state",
                "Error: Velnor:12345, IOCTL failed: invalid_rc").SetName("UnnamedDriverStatus");
            yield return new TestCaseData((Action)(() => Simulation.FailNext(SimulatedCall.DeviceIoControl, 1167)),
                (Action<Board>)(b => { var serial = b.Serial; }), typeof(CallFailedException), -5, "vl_device_get_serial",
                "Error: system:1167, DeviceIoControl failed: The device is not connected.").SetName("SystemCallFails");
            // The driver judges values the binding passes on: registers beyond the board's map, unnamed values.
            foreach (var refused in new[]
            {
                new TestCaseData(null, (Action<Board>)(b => b.WriteRegister(0x7FFF, 1)), typeof(InvalidBoardDataException), -9,
                    "vl_device_ad9516_reg_write", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("WriteBeyondRegisterMap"),
                new TestCaseData(null, (Action<Board>)(b => b.ReadRegister(0x233)), typeof(InvalidBoardDataException), -9,
                    "vl_device_ad9516_reg_read", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("ReadBeyondRegisterMap"),
                new TestCaseData(null, (Action<Board>)(b => b.Led = (Led)3), typeof(InvalidBoardDataException), -9,
                    "vl_device_set_id_led_state", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("UnnamedLed"),
                new TestCaseData(null, (Action<Board>)(b => b.TriggerPolarity = (TriggerPolarity)2), typeof(InvalidBoardDataException), -9,
                    "vl_device_set_trigger_polarity", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("UnnamedPolarity"),
                new TestCaseData(null, (Action<Board>)(b => b.TriggerStatus = TriggerStatus.Triggered), typeof(InvalidBoardDataException), -9,
                    "vl_device_set_trigger_status", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("SetTriggered"),
                new TestCaseData(null, (Action<Board>)(b => b.Clock = new Clock((ClockMode)2, 10000000)), typeof(InvalidBoardDataException), -9,
                    "vl_device_set_clock", "Error: Velnor:-9, IOCTL failed: invalid_data").SetName("UnnamedClockMode"),
            })
            {
                yield return refused;
            }
            yield return new TestCaseData((Action)(() => Simulation.NextOpenReturnsNull()),
                (Action<Board>)(b => Board.Open(0).Dispose()), typeof(InternalErrorException), -1, "vl_device_open",
                @"Error: Velnor:-1, Could not open device. Path was \\?\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}: internal_error").SetName("NullHandleFromSystem");
        }

        [TestCaseSource("Failures")]
        public void FailuresCarryCodeExportAndLogLine(Action arrange, Action<Board> call, Type type, int code,
                                                      string function, string logText)
        {
            using (Board board = Board.Open(0))
            {
                if (arrange != null)
                {
                    arrange();
                }
                var error = (VelnorException)Assert.Throws(type, () => call(board));
                ClassicAssert.AreEqual(code, (int)error.ResultCode);
                ClassicAssert.AreEqual(function, error.Function);
                ClassicAssert.IsNull(error.LogLineAbsence);
                string expected = "[Velnor] [error] [" + function + "] " + logText;
                ClassicAssert.AreEqual(expected, WithoutStamp(error.LogLine));
                ClassicAssert.AreEqual(string.Format("{0} failed: {1} ({2}); Velnor.log: {3}", function,
                                              VelnorException.NameOf(code), code, error.LogLine), error.Message);
            }
        }

        [TestCase(123456789L, new[] { 123125000L, 123750000L })]
        [TestCase(1L, new[] { 9375000L })]
        [TestCase(3000000000L, new[] { 1100000000L })]
        public void RefusedFrequencyGivesItsNeighboursAndSendsNothing(long hz, long[] nearest)
        {
            using (Board board = Board.Open(0))
            {
                long requests = Simulation.RequestCount;
                var error = Assert.Throws<InvalidFrequencyException>(() => board.Clock = new Clock(ClockMode.Internal, hz));
                ClassicAssert.AreEqual(nearest, error.Nearest);
                ClassicAssert.AreEqual(hz, error.RequestedHz);
                StringAssert.EndsWith(string.Join("Hz or ", nearest) + "Hz: invalid_frequency", error.LogLine);
                ClassicAssert.AreEqual(requests, Simulation.RequestCount);
            }
        }

        private static IEnumerable<TestCaseData> OutOfRange()
        {
            yield return new TestCaseData((Action<Board>)(b => Board.Open(-1)), "index").SetName("NegativeIndex");
            // Negative values do not fit the requests' unsigned 32-bit fields.
            yield return new TestCaseData((Action<Board>)(b => b.ReadRegister(-1)), "address").SetName("NegativeAddress");
            yield return new TestCaseData((Action<Board>)(b => b.WriteRegister(int.MinValue, 1)), "address").SetName("WriteNegativeAddress");
            yield return new TestCaseData((Action<Board>)(b => b.Led = (Led)(-1)), "value").SetName("NegativeLed");
            yield return new TestCaseData((Action<Board>)(b => b.TriggerPolarity = (TriggerPolarity)(-1)), "value").SetName("NegativePolarity");
            yield return new TestCaseData((Action<Board>)(b => b.TriggerStatus = (TriggerStatus)(-2)), "value").SetName("NegativeTriggerStatus");
            yield return new TestCaseData((Action<Board>)(b => b.Clock = new Clock((ClockMode)(-1), 10000000)), "value").SetName("NegativeClockMode");
        }

        [TestCaseSource("OutOfRange")]
        public void ValuesThatDoNotFitAreRefusedBeforeAnythingIsSent(Action<Board> call, string parameter)
        {
            using (Board board = Board.Open(0))
            {
                long requests = Simulation.RequestCount, opens = Simulation.CallCount(SimulatedCall.CreateFile);
                var error = Assert.Throws<ArgumentOutOfRangeException>(() => call(board));
                ClassicAssert.AreEqual(parameter, error.ParamName);
                ClassicAssert.AreEqual(requests, Simulation.RequestCount);
                ClassicAssert.AreEqual(opens, Simulation.CallCount(SimulatedCall.CreateFile));
            }
        }

        [Test]
        public void DisposedBoardRefusesEveryCall()
        {
            Board board = Board.Open(0);
            ClassicAssert.AreEqual(1, Simulation.OpenHandleCount);
            board.Dispose();
            board.Close();
            ClassicAssert.IsTrue(board.IsClosed);
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
            long requests = Simulation.RequestCount;
            Assert.Throws<ObjectDisposedException>(() => { var status = board.TriggerStatus; });
            Assert.Throws<ObjectDisposedException>(() => board.Led = Led.On);
            Assert.Throws<ObjectDisposedException>(() => board.ResetUpdate());
            ClassicAssert.AreEqual(requests, Simulation.RequestCount);
        }

        // The file the resolver tried, the loader's own reason and what to do: without
        // LD_LIBRARY_PATH, libvelnor.so.1 is not found; VELNOR_LIBRARY names a file that does
        // not exist, or a library that is not the Velnor library ("sim": libvelnor_sim.so).
        [TestCase(null, "tried libvelnor.so.1, in the application's folder (",
                  "libvelnor.so.1: cannot open shared object file: No such file or directory",
                  "What to do: there are no boards on Linux: reference the Velnor.Net.Simulation package")]
        [TestCase("/nonexistent/libvelnor-other.so", "tried /nonexistent/libvelnor-other.so, the file VELNOR_LIBRARY names. " +
                  "The loader said: ", "/nonexistent/libvelnor-other.so",
                  "What to do: set VELNOR_LIBRARY to the full path of a 64-bit Velnor library, or remove it")]
        [TestCase("sim", "tried {0}, the file VELNOR_LIBRARY names. The loader said: {0} is not the Velnor library this " +
                  "binding calls: it has no export vl_get_library_version. This process is 64-bit", "{0}",
                  "What to do: set VELNOR_LIBRARY to the full path of a 64-bit Velnor library, or remove it")]
        public void MissingLibraryIsExplained(string chosen, string why, string reason, string fix)
        {
            string tour = Environment.GetEnvironmentVariable("VELNOR_BOARD_TOUR");
            Assume.That(tour, Is.Not.Null, "VELNOR_BOARD_TOUR names the example's BoardTour.dll");
            if (chosen == "sim")
            {
                chosen = System.IO.Path.Combine(Environment.GetEnvironmentVariable("LD_LIBRARY_PATH").Split(':')[0], "libvelnor_sim.so");
            }
            var start = new ProcessStartInfo("dotnet", "\"" + tour + "\"")
            {
                UseShellExecute = false, RedirectStandardError = true, RedirectStandardOutput = true
            };
            start.EnvironmentVariables.Remove("LD_LIBRARY_PATH");
            if (chosen != null)
            {
                start.EnvironmentVariables["VELNOR_LIBRARY"] = chosen;
            }
            using (Process child = Process.Start(start))
            {
                string error = child.StandardError.ReadToEnd();
                child.StandardOutput.ReadToEnd();
                child.WaitForExit();
                ClassicAssert.AreNotEqual(0, child.ExitCode);
                StringAssert.Contains("System.DllNotFoundException: Velnor.Net could not load the Velnor library: " +
                                      string.Format(why, chosen), error);
                StringAssert.Contains(string.Format(reason, chosen), error);
                StringAssert.Contains(fix, error);
            }
        }
    }
}

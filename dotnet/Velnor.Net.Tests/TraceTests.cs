using System;
using System.Diagnostics;
using System.IO;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>
    /// A session recorded by velnorctl on the recording build (lib/trace beside the library
    /// the suite runs on) replays through the binding: the recorded answers come back, and a
    /// call that leaves the trace fails and is named.
    /// </summary>
    [TestFixture]
    public class TraceTests : SimulationFixture
    {
        // velnorctl info on two boards, through the recording build; returns the trace.
        private static string RecordInfo()
        {
            string lib = Environment.GetEnvironmentVariable("LD_LIBRARY_PATH").Split(':')[0];
            string velnorctl = Path.Combine(Path.Combine(Path.GetDirectoryName(lib), "bin"), "velnorctl");
            string folder = Path.Combine(Path.GetTempPath(), "velnor-trace-" + Guid.NewGuid().ToString("N"));
            Directory.CreateDirectory(folder);
            var start = new ProcessStartInfo(velnorctl, "--boards 2 info") { UseShellExecute = false, RedirectStandardOutput = true };
            start.EnvironmentVariables["LD_LIBRARY_PATH"] = Path.Combine(lib, "trace");
            start.EnvironmentVariables["TMPDIR"] = folder;
            using (Process run = Process.Start(start))
            {
                run.StandardOutput.ReadToEnd();
                run.WaitForExit();
                ClassicAssert.AreEqual(0, run.ExitCode, velnorctl);
            }
            string[] traces = Directory.GetFiles(folder, "Velnor-trace-*.pcapng", SearchOption.AllDirectories);
            ClassicAssert.AreEqual(1, traces.Length, folder);
            return traces[0];
        }

        [Test]
        public void LoadTraceReplaysTheRecordedAnswersAndNamesTheCallThatLeftIt()
        {
            string trace = RecordInfo();
            ClassicAssert.AreEqual(-1, Simulation.TraceRecordsLeft);
            Simulation.LoadTrace(trace); // read whole: the file can go
            Directory.Delete(Path.GetDirectoryName(Path.GetDirectoryName(trace)), true);
            ClassicAssert.AreEqual(1, Simulation.BoardCount);
            long recorded = Simulation.TraceRecordsLeft;
            using (Board board = Board.Open(0))
            {
                ClassicAssert.AreEqual("VLN-SIM-0000", board.Serial); // the recorded answer: LAB-0001 is gone
                ClassicAssert.AreEqual("", Simulation.TraceDivergence);
                ClassicAssert.AreEqual(recorded - 4, Simulation.TraceRecordsLeft); // size, fetch, open, serial
                Assert.Throws<CallFailedException>(() => { var led = board.Led; });
                // The recording thread is velnorctl's: its id is the one number left open here.
                StringAssert.IsMatch("^board 0, handle of thread [1-9][0-9]*: expected record 5, DeviceIoControl " +
                                     "get_driver_version, reply capacity 48; came DeviceIoControl get_led, reply capacity 8$",
                                     Simulation.TraceDivergence);
            }
            Simulation.Reset();
            ClassicAssert.AreEqual("", Simulation.TraceDivergence);
            ClassicAssert.AreEqual(-1, Simulation.TraceRecordsLeft);
        }

        [Test]
        public void LoadTraceRefusesWhatIsNoTraceWithThePlatformsReason()
        {
            string missing = Path.Combine(Path.GetTempPath(), "velnor-no-such-trace.pcapng");
            var refused = Assert.Throws<TraceRefusedException>(() => Simulation.LoadTrace(missing));
            ClassicAssert.AreEqual("trace " + missing + " refused: cannot open it: No such file or directory", refused.Message);
            ClassicAssert.AreEqual(1, Simulation.BoardCount); // unchanged
            Assert.Throws<ArgumentNullException>(() => Simulation.LoadTrace(null));
            Assert.Throws<ArgumentException>(() => Simulation.LoadTrace("a\0b"));
        }
    }
}

using System;
using System.Globalization;
using System.IO;
using System.Threading;
using System.Diagnostics;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>
    /// What someone else put under the log's name in a shared temporary folder: the failing
    /// call returns at once, without the line, saying why.
    /// </summary>
    [TestFixture]
    public class LogFileTests : SimulationFixture
    {
        [TestCase("fifo", "it is not a regular file (a FIFO)")]
        [TestCase("link", "it is a symbolic link, which is not followed")]
        public void ALogThatIsNoRegularFileIsRefusedWithoutWaiting(string planted, string reason)
        {
            string saved = Environment.GetEnvironmentVariable("TMPDIR");
            string folder = Path.Combine(saved, "planted-" + planted);
            if (Directory.Exists(folder))
            {
                Directory.Delete(folder, true);
            }
            Directory.CreateDirectory(folder);
            string log = Path.Combine(folder, "Velnor.log");
            if (planted == "fifo")
            {
                using (Process mkfifo = Process.Start("mkfifo", log))
                {
                    mkfifo.WaitForExit();
                    ClassicAssert.AreEqual(0, mkfifo.ExitCode);
                }
            }
            else
            {
                // The failure's own line, behind the link: it must not be read.
                string stamp = DateTime.Now.ToString("yyyy-MM-dd HH:mm:ss.fff", CultureInfo.InvariantCulture);
                File.WriteAllText(Path.Combine(folder, "elsewhere.log"),
                                  "[" + stamp + "] [Velnor] [error] [vl_device_open] Error: Velnor:-3, Cannot retrieve " +
                                  "device at index 7, only 1 device(s) found on the system: invalid_device\n");
                File.CreateSymbolicLink(log, "elsewhere.log");
            }
            VelnorException error = null;
            var call = new Thread(() =>
            {
                try
                {
                    Board.Open(7).Dispose();
                }
                catch (VelnorException failure)
                {
                    error = failure;
                }
            }) { IsBackground = true };
            Environment.SetEnvironmentVariable("TMPDIR", folder);
            try
            {
                call.Start();
                ClassicAssert.IsTrue(call.Join(TimeSpan.FromSeconds(10)), "the failing call still waits on " + log);
                ClassicAssert.IsInstanceOf<InvalidDeviceException>(error);
                ClassicAssert.IsNull(error.LogLine);
                ClassicAssert.AreEqual(log + " could not be read: " + reason, error.LogLineAbsence);
            }
            finally
            {
                Environment.SetEnvironmentVariable("TMPDIR", saved);
                if (call.IsAlive && planted == "fifo")
                {
                    // A reader stuck on the FIFO holds the log reader's lock: a writer frees it.
                    new FileStream(log, FileMode.Open, FileAccess.Write).Dispose();
                    call.Join();
                }
            }
        }
    }
}

using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Threading;
using NUnit.Framework;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>
    /// Failures in bursts on several threads at once, each exception's line checked whole:
    /// its text, its time stamp inside its own call, and every line of the burst handed
    /// to exactly one exception.
    /// </summary>
    [TestFixture]
    public class LogLineTests : SimulationFixture
    {
        private const string StampFormat = "yyyy-MM-dd HH:mm:ss.fff";

        // What each failure's line says after its time stamp, as the library writes it; 0
        // stands for an LED read the driver refuses.
        private static readonly Dictionary<long, string> Texts = new Dictionary<long, string>
        {
            [0] = "[Velnor] [error] [vl_device_get_id_led_state] Error: Velnor:-9, IOCTL failed: invalid_data",
            [123456789] = "[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. " +
                          "Try 123125000Hz or 123750000Hz: invalid_frequency",
            [23456789] = "[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 23456789Hz. " +
                         "Try 23375000Hz or 23500000Hz: invalid_frequency",
            [3456789] = "[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 3456789Hz. " +
                        "Min frequency is 9375000Hz: invalid_frequency",
        };

        private sealed class Failure
        {
            public DateTime Before;
            public DateTime After;
            public VelnorException Error;
        }

        private static DateTime StampOf(string line)
        {
            return DateTime.ParseExact(line.Substring(1, 23), StampFormat, CultureInfo.InvariantCulture);
        }

        private static DateTime ToMillisecond(DateTime time)
        {
            return new DateTime(time.Ticks - time.Ticks % TimeSpan.TicksPerMillisecond);
        }

        // One thread per entry, each failing calls times in a row with its refused frequency
        // (0: an LED read the driver refuses).
        [TestCase(new long[] { 123456789, 23456789, 3456789 }, 3000, TestName = "RefusedFrequenciesThatAreSubstringsOfEachOther")]
        [TestCase(new long[] { 0 }, 2000, TestName = "ABurstOfIdenticalFailures")]
        [TestCase(new long[] { 0, 123456789, 23456789 }, 1500, TestName = "IdenticalFailuresBesideRefusedFrequencies")]
        public void EveryFailureCarriesItsOwnLine(long[] frequencies, int calls)
        {
            Simulation.SetRequestStatus(BoardRequest.GetLed, -9);
            DateTime start = ToMillisecond(DateTime.Now);
            var failures = frequencies.Select(_ => new List<Failure>()).ToArray();
            using (Board board = Board.Open(0))
            {
                var threads = frequencies.Select((hz, n) => new Thread(() =>
                {
                    for (int i = 0; i < calls; ++i)
                    {
                        var failure = new Failure { Before = DateTime.Now };
                        try
                        {
                            if (hz == 0)
                            {
                                var led = board.Led;
                            }
                            else
                            {
                                board.Clock = new Clock(ClockMode.Internal, hz);
                            }
                        }
                        catch (VelnorException error)
                        {
                            failure.After = DateTime.Now;
                            failure.Error = error;
                        }
                        failures[n].Add(failure);
                    }
                })).ToList();
                threads.ForEach(thread => thread.Start());
                threads.ForEach(thread => thread.Join());
            }

            var given = new List<string>();
            for (int n = 0; n < frequencies.Length; ++n)
            {
                DateTime previous = DateTime.MinValue;
                foreach (Failure failure in failures[n])
                {
                    Assert.That(failure.Error, Is.Not.Null, "a call that should fail did not");
                    string line = failure.Error.LogLine;
                    Assert.That(line, Is.Not.Null, failure.Error.LogLineAbsence);
                    Assert.That(WithoutStamp(line), Is.EqualTo(Texts[frequencies[n]]));
                    DateTime stamp = StampOf(line);
                    Assert.That(stamp, Is.InRange(ToMillisecond(failure.Before), failure.After), "stamped outside its own call");
                    Assert.That(stamp, Is.GreaterThanOrEqualTo(previous), "a thread's failures took their lines out of order");
                    previous = stamp;
                    given.Add(line);
                }
            }
            // Read from the file here, not through the reader: each line of the burst went
            // to one exception.
            var texts = new HashSet<string>(frequencies.Select(hz => Texts[hz]));
            List<string> written = File.ReadAllLines(Library.LogPath)
                .Where(line => line.Length > 26 && texts.Contains(line.Substring(26)) && StampOf(line) >= start).ToList();
            Assert.That(given, Is.EquivalentTo(written));
        }
    }
}

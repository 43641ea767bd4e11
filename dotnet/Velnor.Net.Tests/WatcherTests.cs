using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Threading;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    /// <summary>BoardWatcher on the virtual platform; every test starts with board 0 present.</summary>
    [TestFixture]
    public class WatcherTests : SimulationFixture
    {
        private static readonly TimeSpan Patience = TimeSpan.FromSeconds(10);

        private static string PathOf(int id)
        {
            return @"\\?\ROOT#VELNOR#" + id.ToString("0000") + "#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}";
        }

        // What the handlers saw, in order, and the threads they saw it on.
        private sealed class Seen
        {
            private readonly List<string> lines = new List<string>();
            public readonly HashSet<Thread> Threads = new HashSet<Thread>();

            public void Add(string line)
            {
                lock (lines)
                {
                    lines.Add(line);
                    Threads.Add(Thread.CurrentThread);
                    Monitor.PulseAll(lines);
                }
            }

            public string[] WaitFor(int count)
            {
                DateTime deadline = DateTime.UtcNow + Patience;
                lock (lines)
                {
                    while (lines.Count < count && DateTime.UtcNow < deadline)
                    {
                        Monitor.Wait(lines, deadline - DateTime.UtcNow);
                    }
                    return lines.ToArray();
                }
            }
        }

        private static BoardWatcher Recording(Seen seen)
        {
            var watcher = new BoardWatcher();
            watcher.Arrived += (sender, e) => seen.Add("+" + e.Path);
            watcher.Removed += (sender, e) => seen.Add("-" + e.Path);
            return watcher;
        }

        [TestCase(true, new[] { "+0", "+1", "+2", "-0", "-1", "-2" })]
        [TestCase(false, new[] { "+2", "-0", "-1", "-2" })]
        public void ReportsThePresentBoardsFirstThenEveryChangeInOrder(bool reportPresent, string[] expected)
        {
            Simulation.AddBoard("LAB-0002");
            var seen = new Seen();
            using (BoardWatcher watcher = Recording(seen))
            {
                watcher.Start(reportPresent);
                Simulation.AddBoard("LAB-0003");
                Simulation.RemoveBoard(0);
                Simulation.Reset();
                ClassicAssert.AreEqual(Array.ConvertAll(expected, e => e[0] + PathOf(e[1] - '0')), seen.WaitFor(expected.Length));
                ClassicAssert.AreEqual(1, seen.Threads.Count);
                ClassicAssert.IsFalse(seen.Threads.Contains(Thread.CurrentThread));
                ClassicAssert.AreEqual(1, Simulation.WatchCount);
                Assert.Throws<InvalidOperationException>(() => watcher.Start());
            }
            ClassicAssert.AreEqual(0, Simulation.WatchCount);
        }

        // A Dispose from another thread waits for the running handler, whether or not that
        // handler disposed the watcher itself (which returns at once); nothing follows, not
        // even the event's next handler nor the event queued behind it.
        [TestCase(false, new[] { "handler returns", "disposed" })]
        [TestCase(true, new[] { "disposed in handler", "handler returns", "disposed" })]
        public void DisposeWaitsForTheRunningHandlerAndNothingFollows(bool disposeInHandler, string[] expected)
        {
            var seen = new Seen();
            var release = new ManualResetEvent(false);
            var watcher = new BoardWatcher();
            watcher.Arrived += (sender, e) =>
            {
                seen.Add("+" + e.Path);
                if (disposeInHandler)
                {
                    watcher.Dispose();
                    seen.Add("disposed in handler");
                }
                release.WaitOne();
                seen.Add("handler returns");
            };
            watcher.Arrived += (sender, e) => seen.Add("next handler");
            try
            {
                watcher.Start(true);
                seen.WaitFor(disposeInHandler ? 2 : 1);
                Simulation.AddBoard("LAB-0002");
                var disposer = new Thread(() =>
                {
                    watcher.Dispose();
                    seen.Add("disposed");
                });
                disposer.Start();
                ClassicAssert.IsFalse(disposer.Join(200), "Dispose returned while a handler ran");
                release.Set();
                ClassicAssert.IsTrue(disposer.Join(Patience));
                Simulation.AddBoard("LAB-0003");
                Thread.Sleep(200); // time for the watch's thread to raise what it must not
                ClassicAssert.AreEqual(new[] { "+" + PathOf(0) }.Concat(expected), seen.WaitFor(0));
                ClassicAssert.AreEqual(0, Simulation.WatchCount);
                Assert.Throws<ObjectDisposedException>(() => watcher.Start());
            }
            finally
            {
                release.Set();
                watcher.Dispose();
            }
        }

        private sealed class Listener : TraceListener
        {
            public readonly Seen Seen = new Seen();

            public override void TraceEvent(TraceEventCache cache, string source, TraceEventType type, int id, string message)
            {
                Seen.Add(type + " " + message);
            }

            public override void Write(string message) { }

            public override void WriteLine(string message) { }
        }

        // Reported to HandlerFailed, or without one to Trace; the event's next handler and
        // the later events still come.
        [TestCase(true)]
        [TestCase(false)]
        public void AThrowingHandlerIsReportedAndTheWatchGoesOn(bool handlerFailedAttached)
        {
            var seen = new Seen();
            var thrown = new List<Exception>();
            var listener = new Listener();
            Trace.Listeners.Add(listener);
            try
            {
                using (var watcher = new BoardWatcher())
                {
                    watcher.Arrived += (sender, e) =>
                    {
                        thrown.Add(new InvalidOperationException("refused " + e.Path));
                        throw thrown[thrown.Count - 1];
                    };
                    watcher.Arrived += (sender, e) => seen.Add("+" + e.Path);
                    watcher.Removed += (sender, e) => seen.Add("-" + e.Path);
                    if (handlerFailedAttached)
                    {
                        watcher.HandlerFailed += (sender, e) => seen.Add(string.Format(
                            "{0} {1} failed: {2}", e.Change, e.Path, ReferenceEquals(e.Exception, thrown[thrown.Count - 1])));
                    }
                    watcher.Start(true);
                    Simulation.AddBoard("LAB-0002");
                    Simulation.RemoveBoard(0);
                    string[] expected = handlerFailedAttached
                        ? new[] { "Arrived " + PathOf(0) + " failed: True", "+" + PathOf(0),
                                  "Arrived " + PathOf(1) + " failed: True", "+" + PathOf(1), "-" + PathOf(0) }
                        : new[] { "+" + PathOf(0), "+" + PathOf(1), "-" + PathOf(0) };
                    ClassicAssert.AreEqual(expected, seen.WaitFor(expected.Length));
                }
                ClassicAssert.AreEqual(handlerFailedAttached ? new string[0] : new[]
                {
                    "Error Velnor.BoardWatcher: a handler of Arrived for " + PathOf(0) + " threw: " + thrown[0],
                    "Error Velnor.BoardWatcher: a handler of Arrived for " + PathOf(1) + " threw: " + thrown[1]
                }, listener.Seen.WaitFor(0));
            }
            finally
            {
                Trace.Listeners.Remove(listener);
            }
        }

        [Test]
        public void ARefusedStartCarriesTheCodeAndTheLogLine()
        {
            Simulation.FailNextWatchStart(8);
            var seen = new Seen();
            using (BoardWatcher watcher = Recording(seen))
            {
                var error = Assert.Throws<CallFailedException>(() => watcher.Start(true));
                ClassicAssert.AreEqual("vl_watch_start", error.Function);
                ClassicAssert.AreEqual("[Velnor] [error] [vl_watch_start] Error: system:8, RegisterDeviceNotificationW failed: " +
                                "Not enough memory resources are available to process this command.",
                                WithoutStamp(error.LogLine));
                ClassicAssert.AreEqual(0, Simulation.WatchCount);
                watcher.Start(true);
                ClassicAssert.AreEqual(new[] { "+" + PathOf(0) }, seen.WaitFor(1));
            }
        }

        // What the end of the process runs: watchers started and never disposed stop, so the
        // process does not wait for their threads.
        [Test]
        public void TheEndOfTheProcessDisposesTheWatchersLeftRunning()
        {
            var left = new[] { new BoardWatcher(), new BoardWatcher() };
            foreach (BoardWatcher watcher in left)
            {
                watcher.Start(true);
            }
            ClassicAssert.AreEqual(2, Simulation.WatchCount);
            BoardWatcher.DisposeRunning(null, EventArgs.Empty);
            ClassicAssert.AreEqual(0, Simulation.WatchCount);
            Assert.Throws<ObjectDisposedException>(() => left[0].Start(true));
        }
    }
}

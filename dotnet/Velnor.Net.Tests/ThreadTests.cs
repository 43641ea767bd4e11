using System;
using System.Collections.Concurrent;
using System.Linq;
using System.Reflection;
using System.Threading;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    [TestFixture]
    public class ThreadTests : SimulationFixture
    {
        private static DeviceHandle HandleOf(Board board)
        {
            return (DeviceHandle)typeof(Board).GetField("handle", BindingFlags.NonPublic | BindingFlags.Instance).GetValue(board);
        }

        [Test]
        public void DisposeWaitsForTheCallThatHoldsTheHandle()
        {
            Board board = Board.Open(0);
            DeviceHandle handle = HandleOf(board);
            bool added = false;
            // What the marshaller does around every call: a reference for the call's length.
            handle.DangerousAddRef(ref added);
            var disposer = new Thread(board.Dispose);
            disposer.Start();
            disposer.Join();
            ClassicAssert.IsTrue(board.IsClosed);
            ClassicAssert.AreEqual(1, Simulation.OpenHandleCount, "released while a call still held the handle");
            handle.DangerousRelease();
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }

        [Test]
        public void DisposeRacingCallsNeverClosesUnderThem()
        {
            for (int round = 0; round < 20; ++round)
            {
                Board board = Board.Open(0);
                var unexpected = new ConcurrentQueue<Exception>();
                var started = new CountdownEvent(4);
                var readers = Enumerable.Range(0, 4).Select(_ => new Thread(() =>
                {
                    started.Signal();
                    try
                    {
                        while (true)
                        {
                            board.Led = board.TriggerStatus == TriggerStatus.Armed ? Led.On : Led.Off;
                        }
                    }
                    catch (ObjectDisposedException)
                    {
                    }
                    catch (Exception error)
                    {
                        unexpected.Enqueue(error);
                    }
                })).ToList();
                readers.ForEach(thread => thread.Start());
                started.Wait();
                board.Dispose();
                foreach (Thread thread in readers)
                {
                    ClassicAssert.IsTrue(thread.Join(10000), "calls that keep coming kept the board from closing");
                }
                ClassicAssert.IsEmpty(unexpected.ToArray());
                ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
            }
        }

        [Test]
        public void EightThreadsShareOneBoard()
        {
            using (Board board = Board.Open(0))
            {
                var failures = new ConcurrentQueue<Exception>();
                var threads = Enumerable.Range(0, 8).Select(n => new Thread(() =>
                {
                    try
                    {
                        int address = 0x100 + n;
                        for (int i = 0; i < 200; ++i)
                        {
                            board.WriteRegister(address, (byte)i);
                            if (board.ReadRegister(address) != (byte)i)
                            {
                                throw new InvalidOperationException("register " + address + " lost a write");
                            }
                            board.Led = (Led)(i % 3);
                            ClassicAssert.AreEqual("LAB-0001", board.Serial);
                            var clock = board.Clock;
                        }
                    }
                    catch (Exception error)
                    {
                        failures.Enqueue(error);
                    }
                })).ToList();
                threads.ForEach(thread => thread.Start());
                threads.ForEach(thread => thread.Join());
                ClassicAssert.IsEmpty(failures.ToArray());
                ClassicAssert.AreEqual(1, Simulation.OpenHandleCount);
            }
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }

        [Test]
        public void BoardRemovedUnderAnOpenBoard()
        {
            Board board = Board.Open(0);
            Simulation.RemoveBoard(BoardId);
            var error = Assert.Throws<CallFailedException>(() => { var led = board.Led; });
            ClassicAssert.AreEqual(ResultCode.Failed, error.ResultCode);
            ClassicAssert.AreEqual("[Velnor] [error] [vl_device_get_id_led_state] Error: system:1167, DeviceIoControl failed: " +
                            "The device is not connected.", WithoutStamp(error.LogLine));
            ClassicAssert.AreEqual(0, Board.Count);
            board.Dispose();
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }
    }
}

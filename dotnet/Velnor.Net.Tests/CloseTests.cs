using System;
using System.Reflection;
using System.Threading;
using NUnit.Framework;
using NUnit.Framework.Legacy;
using Velnor;

namespace Velnor.Tests
{
    [TestFixture]
    public class CloseTests : SimulationFixture
    {
        private const string RefusedClose =
            "[Velnor] [error] [vl_device_close] Error: system:6, CloseHandle: The handle is invalid.";

        // The system refuses the first close (Windows error 6); the board handle stays valid.
        [TestCase(false)]
        [TestCase(true)]
        public void RefusedCloseLeavesTheBoardOpenForAnotherClose(bool byDispose)
        {
            Board board = Board.Open(0);
            Simulation.FailNext(SimulatedCall.CloseHandle, 6);
            if (byDispose)
            {
                board.Dispose();
                ClassicAssert.IsTrue(board.IsClosed);
            }
            else
            {
                var error = Assert.Throws<CallFailedException>(board.Close);
                ClassicAssert.AreEqual(RefusedClose, WithoutStamp(error.LogLine));
                ClassicAssert.IsFalse(board.IsClosed);
                board.Led = Led.On;
                ClassicAssert.AreEqual(Led.On, board.Led);
            }
            ClassicAssert.AreEqual(1, Simulation.OpenHandleCount);
            board.Close();
            ClassicAssert.IsTrue(board.IsClosed);
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
            board.Close();
            ClassicAssert.AreEqual(2, Simulation.CallCount(SimulatedCall.CloseHandle));
        }

        // A call on another thread holds the handle (as the marshaller does for a call's
        // length): Close returns only once it has returned, with the close's own result.
        [TestCase(0u)]
        [TestCase(6u)]
        public void CloseWaitsForTheCallThatHoldsTheHandleAndReportsTheClose(uint systemError)
        {
            Board board = Board.Open(0);
            var handle = (DeviceHandle)typeof(Board).GetField("handle", BindingFlags.NonPublic | BindingFlags.Instance).GetValue(board);
            bool added = false;
            handle.DangerousAddRef(ref added);
            if (systemError != 0)
            {
                Simulation.FailNext(SimulatedCall.CloseHandle, systemError);
            }
            Exception closeError = null;
            var closer = new Thread(() => { try { board.Close(); } catch (Exception e) { closeError = e; } });
            closer.Start();
            SpinWait.SpinUntil(() => board.IsClosed);
            ClassicAssert.IsFalse(closer.Join(200), "Close returned while a call still held the handle");
            ClassicAssert.AreEqual(1, Simulation.OpenHandleCount);
            handle.DangerousRelease();
            ClassicAssert.IsTrue(closer.Join(10000));
            if (systemError == 0)
            {
                ClassicAssert.IsNull(closeError);
                ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
                return;
            }
            ClassicAssert.AreEqual(RefusedClose, WithoutStamp(((CallFailedException)closeError).LogLine));
            ClassicAssert.IsFalse(board.IsClosed);
            board.Close();
            ClassicAssert.AreEqual(0, Simulation.OpenHandleCount);
        }
    }
}

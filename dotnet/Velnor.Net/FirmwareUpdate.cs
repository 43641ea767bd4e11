using System;
using System.Diagnostics;
using System.Threading;
using System.Threading.Tasks;

namespace Velnor
{
    /// <summary>
    /// One whole firmware update on a board: start, wait until the board is ready, the
    /// blocks, complete, wait until the board is done, the version it then reports. It
    /// holds its own reference on the board's handle from the start to the end and sends
    /// every request through it, so a Dispose or Close meanwhile (from another thread or
    /// from the progress callback) cannot take the handle away: the update notices at its
    /// next step, sends the update reset and only then lets the handle go. Whatever stops
    /// it after the start (a failure, an exception from the progress callback, a close, a
    /// cancellation, a timeout) sends the reset the same way, so the board is never left
    /// half-flashed. One exception: a start the board refuses as out of order (-8) means
    /// another caller's update is running, which is not this update's to end.
    /// </summary>
    internal sealed class FirmwareUpdate
    {
        /// <summary>The longest wait for each of the board's phases when none is given.</summary>
        internal static readonly TimeSpan DefaultTimeout = TimeSpan.FromSeconds(30);

        /// <summary>What a caller whose start the board refused as out of order can do.</summary>
        internal const string RefusedStartAdvice =
            "the board is not idle: another update is running on it, or one was left half-way; " +
            "once no update runs any more, ResetUpdate() abandons it and a new update can start";

        private const int LongestPause = 50;

        private readonly Board board;
        private readonly byte[] image;
        private readonly TimeSpan timeout;
        private readonly bool synchronous;
        private readonly CancellationToken cancellation;

        /// <summary>Checks the image and the timeout; nothing is sent yet.</summary>
        /// <exception cref="ArgumentNullException">image is null.</exception>
        /// <exception cref="FirmwareImageException">The image is not one the board takes.</exception>
        /// <exception cref="ArgumentOutOfRangeException">timeout is zero or negative (and not <see cref="Timeout.InfiniteTimeSpan"/>).</exception>
        internal FirmwareUpdate(Board board, byte[] image, TimeSpan timeout, bool synchronous, CancellationToken cancellation)
        {
            if (image == null)
            {
                throw new ArgumentNullException(nameof(image));
            }
            this.timeout = CheckTimeout(timeout);
            Firmware.Check(image);
            this.board = board;
            this.image = image;
            this.synchronous = synchronous;
            this.cancellation = cancellation;
        }

        /// <summary>
        /// The wait for each phase: above zero, or <see cref="Timeout.InfiniteTimeSpan"/>
        /// (or <see cref="TimeSpan.MaxValue"/>) for no limit, which is returned as
        /// <see cref="Timeout.InfiniteTimeSpan"/>.
        /// </summary>
        internal static TimeSpan CheckTimeout(TimeSpan timeout)
        {
            if (timeout == Timeout.InfiniteTimeSpan || timeout == TimeSpan.MaxValue)
            {
                return Timeout.InfiniteTimeSpan;
            }
            if (timeout <= TimeSpan.Zero)
            {
                throw new ArgumentOutOfRangeException(nameof(timeout), timeout,
                    "a firmware update's timeout is above zero, or Timeout.InfiniteTimeSpan to wait without limit");
            }
            return timeout;
        }

        /// <summary>
        /// Runs the update. Synchronous runs pause with Thread.Sleep and complete before
        /// returning; the others pause with Task.Delay, so no thread waits while the board
        /// erases or verifies.
        /// </summary>
        /// <param name="callback">The synchronous update's progress callback, or null.</param>
        /// <param name="progress">The asynchronous update's progress, or null.</param>
        internal async Task<VersionInfo> RunAsync(Action<long, long>? callback, IProgress<UpdateProgress>? progress)
        {
            cancellation.ThrowIfCancellationRequested();
            DeviceHandle handle = board.OpenHandle;
            bool added = false;
            try
            {
                handle.DangerousAddRef(ref added);
            }
            catch (ObjectDisposedException)
            {
                throw Board.Closed();
            }
            try
            {
                IntPtr raw = handle.DangerousGetHandle();
                int rc = UpdateCalls.Start(raw);
                if (rc == (int)ResultCode.UpdateInvalidStatus)
                {
                    // Another update is running on the board (or was left half-way): not ours to reset.
                    throw VelnorException.Of(rc, "vl_device_update_start_async", null, RefusedStartAdvice);
                }
                try
                {
                    Check(rc, "vl_device_update_start_async");
                    await WaitAsync(raw, UpdateState.Ready).ConfigureAwait(false);
                    long total = image.Length;
                    for (int offset = 0; offset < image.Length; offset += Firmware.BlockDataMax)
                    {
                        StopIfAsked();
                        int count = Math.Min(Firmware.BlockDataMax, image.Length - offset);
                        Write(raw, offset, count);
                        Report(callback, progress, offset + count, total);
                    }
                    StopIfAsked();
                    Check(UpdateCalls.Complete(raw), "vl_device_update_complete");
                    await WaitAsync(raw, UpdateState.Done).ConfigureAwait(false);
                    NativeVersion version;
                    Check(UpdateCalls.GetFirmwareVersion(raw, out version), "vl_device_get_firmware_version");
                    return VersionInfo.Of(ref version);
                }
                catch (Exception error)
                {
                    Reset(raw, error);
                    throw;
                }
            }
            finally
            {
                if (added)
                {
                    handle.DangerousRelease();
                }
            }
        }

        private unsafe void Write(IntPtr raw, int offset, int count)
        {
            var block = new NativeUpdateBlock();
            byte* bytes = block.Bytes;
            *(uint*)bytes = (uint)offset;
            *(uint*)(bytes + 4) = (uint)count;
            fixed (byte* data = &image[offset])
            {
                Buffer.MemoryCopy(data, bytes + 8, Firmware.BlockDataMax, count);
            }
            Check(UpdateCalls.Write(raw, ref block), "vl_device_update_write");
        }

        private void Report(Action<long, long>? callback, IProgress<UpdateProgress>? progress, long sent, long total)
        {
            if (callback == null && progress == null)
            {
                return;
            }
            // A Close from inside the callback cannot wait for this update: the board lets it know.
            Board? outer = Board.ReportingUpdate;
            Board.ReportingUpdate = board;
            try
            {
                callback?.Invoke(sent, total);
                progress?.Report(new UpdateProgress(sent, total));
            }
            finally
            {
                Board.ReportingUpdate = outer;
            }
        }

        // Between steps: a closed board or a cancellation stops the update (which then resets).
        private void StopIfAsked()
        {
            if (board.IsClosed)
            {
                throw new ObjectDisposedException(nameof(Board),
                    "the board was closed during its firmware update; the update was stopped and reset");
            }
            cancellation.ThrowIfCancellationRequested();
        }

        private async Task WaitAsync(IntPtr raw, UpdateState until)
        {
            Stopwatch waited = Stopwatch.StartNew();
            int pause = 0;
            while (true)
            {
                StopIfAsked();
                uint state, received;
                Check(UpdateCalls.GetStatus(raw, out state, out received), "vl_device_update_get_status");
                if ((UpdateState)state == until)
                {
                    return;
                }
                if ((UpdateState)state == UpdateState.Failed)
                {
                    throw new InvalidOperationException(string.Format(
                        "the board's update failed while waiting for {0}", until));
                }
                if (timeout != Timeout.InfiniteTimeSpan && waited.Elapsed > timeout)
                {
                    throw new TimeoutException(string.Format(
                        "the board stayed {0} for {1} s (waiting for {2})", (UpdateState)state, timeout.TotalSeconds, until));
                }
                if (synchronous)
                {
                    Thread.Sleep(pause);
                }
                else
                {
                    await Task.Delay(pause, cancellation).ConfigureAwait(false);
                }
                pause = Math.Min(Math.Max(pause * 2, 1), LongestPause);
            }
        }

        private static void Reset(IntPtr raw, Exception error)
        {
            try
            {
                Check(UpdateCalls.Reset(raw), "vl_device_update_reset");
            }
            catch (Exception resetError)
            {
                // The first failure is the one to report.
                error.Data["Velnor.UpdateResetFailure"] = resetError.Message;
            }
        }

        private static void Check(int rc, string function)
        {
            if (rc != 0)
            {
                throw VelnorException.Of(rc, function);
            }
        }
    }
}

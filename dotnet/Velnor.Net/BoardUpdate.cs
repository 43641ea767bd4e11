using System;
using System.Threading;
using System.Threading.Tasks;

namespace Velnor
{
    // The firmware update: its five requests one by one, and the whole update.
    public sealed partial class Board
    {
        /// <summary>
        /// Starts an update: the board erases, then accepts blocks (state Ready). A board
        /// that is not idle (another update runs, or one was left half-way) refuses with
        /// <see cref="UpdateInvalidStatusException"/>; when no update is running any more,
        /// <see cref="ResetUpdate"/> abandons the one left and a new one can start.
        /// </summary>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        /// <exception cref="VelnorException">The board refused the start.</exception>
        public void StartUpdate()
        {
            int rc = NativeMethods.vl_device_update_start_async(Handle);
            if (rc != 0)
            {
                throw VelnorException.Of(rc, "vl_device_update_start_async", null,
                                         rc == (int)ResultCode.UpdateInvalidStatus ? FirmwareUpdate.RefusedStartAdvice : null);
            }
        }

        /// <summary>Polls the update.</summary>
        /// <returns>The state and the image bytes received so far.</returns>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        /// <exception cref="VelnorException">The request failed.</exception>
        public UpdateStatus GetUpdateStatus()
        {
            uint state, received;
            Check(NativeMethods.vl_device_update_get_status(Handle, out state, out received), "vl_device_update_get_status");
            return new UpdateStatus((UpdateState)state, received);
        }

        /// <summary>Sends one update block as it stands (<see cref="Firmware.CreateBlock"/> makes one).</summary>
        /// <param name="block">Exactly 1,032 bytes.</param>
        /// <exception cref="ArgumentNullException">block is null.</exception>
        /// <exception cref="ArgumentException">block is not 1,032 bytes; nothing is sent.</exception>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        /// <exception cref="VelnorException">The board refused the block.</exception>
        public unsafe void WriteUpdateBlock(byte[] block)
        {
            if (block == null)
            {
                throw new ArgumentNullException(nameof(block));
            }
            if (block.Length != Firmware.BlockSize)
            {
                throw new ArgumentException(string.Format("an update block is 1032 bytes, not {0}", block.Length), nameof(block));
            }
            var record = new NativeUpdateBlock();
            fixed (byte* bytes = block)
            {
                Buffer.MemoryCopy(bytes, record.Bytes, Firmware.BlockSize, Firmware.BlockSize);
            }
            Check(NativeMethods.vl_device_update_write(Handle, ref record), "vl_device_update_write");
        }

        /// <summary>Completes the update; the board verifies the image.</summary>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        /// <exception cref="VelnorException">The board refused the completion or the image.</exception>
        public void CompleteUpdate()
        {
            Check(NativeMethods.vl_device_update_complete(Handle), "vl_device_update_complete");
        }

        /// <summary>Abandons an update; the board discards the image and returns to idle.</summary>
        /// <exception cref="ObjectDisposedException">The board is closed.</exception>
        /// <exception cref="VelnorException">The request failed.</exception>
        public void ResetUpdate()
        {
            Check(NativeMethods.vl_device_update_reset(Handle), "vl_device_update_reset");
        }

        /// <summary>Starts an update, as <see cref="StartUpdate"/> does.</summary>
        [Obsolete("Use StartUpdate()")]
        public void UpdateStart()
        {
            StartUpdate();
        }

        /// <summary>Sends one update block, as <see cref="WriteUpdateBlock"/> does.</summary>
        /// <param name="block">Exactly 1,032 bytes.</param>
        [Obsolete("Use WriteUpdateBlock(byte[])")]
        public void UpdateWrite(byte[] block)
        {
            WriteUpdateBlock(block);
        }

        /// <summary>Completes the update, as <see cref="CompleteUpdate"/> does.</summary>
        [Obsolete("Use CompleteUpdate()")]
        public void UpdateComplete()
        {
            CompleteUpdate();
        }

        /// <summary>Abandons an update, as <see cref="ResetUpdate"/> does.</summary>
        [Obsolete("Use ResetUpdate()")]
        public void UpdateReset()
        {
            ResetUpdate();
        }

        /// <summary>Updates the firmware, waiting at most 30 seconds for each of the board's phases.</summary>
        /// <param name="image">A firmware image (<see cref="Firmware.Pack(byte[], string)"/> makes one).</param>
        /// <param name="progress">Called with (bytes sent, image size) after every block; may be null.</param>
        /// <returns>The firmware version the board reports afterwards.</returns>
        /// <exception cref="ArgumentNullException">image is null.</exception>
        /// <exception cref="FirmwareImageException">The image is not one the board takes; nothing is sent.</exception>
        /// <exception cref="TimeoutException">The board did not reach the next phase in time.</exception>
        /// <exception cref="InvalidOperationException">The board's update failed (state Failed).</exception>
        /// <exception cref="ObjectDisposedException">The board is closed, or was closed during the update.</exception>
        /// <exception cref="UpdateInvalidStatusException">The board refused the start: another update runs on it,
        /// or one was left half-way (see <see cref="StartUpdate"/>); nothing else is sent.</exception>
        /// <exception cref="VelnorException">A request of the update failed.</exception>
        public VersionInfo UpdateFirmware(byte[] image, Action<long, long>? progress)
        {
            return UpdateFirmware(image, progress, FirmwareUpdate.DefaultTimeout);
        }

        /// <summary>
        /// Updates the firmware: checks the image, starts, waits until the board is ready,
        /// sends the blocks calling progress after each, completes, waits until the board is
        /// done. The update holds the board's handle from the start to the end: whatever
        /// stops it after the start (a failure, an exception from progress, a
        /// <see cref="Dispose"/> or <see cref="Close"/> from another thread or from progress,
        /// a timeout), the update reset is sent before the exception goes on, so the board
        /// is not left half-flashed; if the reset fails too, the first exception is the one
        /// thrown and its <c>Data["Velnor.UpdateResetFailure"]</c> gives the reset's. A start
        /// the board refuses as out of order is not reset: that update is another caller's.
        /// </summary>
        /// <param name="image">A firmware image (<see cref="Firmware.Pack(byte[], string)"/> makes one).</param>
        /// <param name="progress">Called with (bytes sent, image size) after every block; may be null.</param>
        /// <param name="timeout">The longest wait for the board to become ready, and again to finish:
        /// above zero, or <see cref="Timeout.InfiniteTimeSpan"/> (or <see cref="TimeSpan.MaxValue"/>) for no limit.</param>
        /// <returns>The firmware version the board reports afterwards.</returns>
        /// <exception cref="ArgumentNullException">image is null.</exception>
        /// <exception cref="ArgumentOutOfRangeException">timeout is zero or negative; nothing is sent.</exception>
        /// <exception cref="FirmwareImageException">The image is not one the board takes; nothing is sent.</exception>
        /// <exception cref="TimeoutException">The board did not reach the next phase in time.</exception>
        /// <exception cref="InvalidOperationException">The board's update failed (state Failed).</exception>
        /// <exception cref="ObjectDisposedException">The board is closed, or was closed during the update.</exception>
        /// <exception cref="UpdateInvalidStatusException">The board refused the start: another update runs on it,
        /// or one was left half-way (see <see cref="StartUpdate"/>); nothing else is sent.</exception>
        /// <exception cref="VelnorException">A request of the update failed.</exception>
        public VersionInfo UpdateFirmware(byte[] image, Action<long, long>? progress, TimeSpan timeout)
        {
            var update = new FirmwareUpdate(this, image, timeout, true, CancellationToken.None);
            // Runs to its end before returning: a synchronous update never awaits.
            return update.RunAsync(progress, null).GetAwaiter().GetResult();
        }

        /// <summary>
        /// Updates the firmware as <see cref="UpdateFirmware(byte[], Action{long, long}?, TimeSpan)"/>
        /// does, waiting at most 30 seconds for each of the board's phases, without holding a
        /// thread while the board erases and verifies (the waits between status polls are
        /// Task.Delay). The image is checked at once; the requests are sent on the calling
        /// thread up to the first wait, and on the thread pool after it. Cancellation stops
        /// the update between two steps (blocks, polls) and, as every other stop does, sends
        /// the update reset before the task ends cancelled; a request already sent is not
        /// cut off.
        /// </summary>
        /// <param name="image">A firmware image (<see cref="Firmware.Pack(byte[], string)"/> makes one).</param>
        /// <param name="progress">Told the bytes sent and the image's size after every block, on the
        /// update's thread (<see cref="Progress{T}"/> passes it on to the context it was made on); may be null.</param>
        /// <param name="cancellationToken">Stops the update between two steps; the update is then reset.</param>
        /// <returns>
        /// A task giving the firmware version the board reports afterwards. It ends cancelled
        /// (<see cref="OperationCanceledException"/> with cancellationToken) after a
        /// cancellation, and faulted with the exceptions
        /// <see cref="UpdateFirmware(byte[], Action{long, long}?, TimeSpan)"/> throws otherwise.
        /// </returns>
        /// <exception cref="ArgumentNullException">image is null.</exception>
        /// <exception cref="FirmwareImageException">The image is not one the board takes; nothing is sent.</exception>
        public Task<VersionInfo> UpdateFirmwareAsync(byte[] image, IProgress<UpdateProgress>? progress = null,
                                                     CancellationToken cancellationToken = default)
        {
            var update = new FirmwareUpdate(this, image, FirmwareUpdate.DefaultTimeout, false, cancellationToken);
            return update.RunAsync(null, progress);
        }
    }
}

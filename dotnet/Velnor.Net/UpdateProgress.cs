using System;

namespace Velnor
{
    /// <summary>
    /// How far a firmware update has come, as <see cref="Board.UpdateFirmwareAsync(byte[], IProgress{UpdateProgress}?, System.Threading.CancellationToken)"/>
    /// reports it after every block: the image bytes sent to the board and the image's size.
    /// </summary>
    public readonly struct UpdateProgress : IEquatable<UpdateProgress>
    {
        /// <summary>A progress report.</summary>
        /// <param name="bytesSent">Image bytes sent so far.</param>
        /// <param name="totalBytes">The image's size in bytes.</param>
        public UpdateProgress(long bytesSent, long totalBytes)
        {
            BytesSent = bytesSent;
            TotalBytes = totalBytes;
        }

        /// <summary>Image bytes sent so far.</summary>
        public long BytesSent { get; }

        /// <summary>The image's size in bytes, header included.</summary>
        public long TotalBytes { get; }

        /// <summary>Whether both counts are equal.</summary>
        /// <param name="other">The progress to compare with.</param>
        /// <returns>True when bytes sent and size are equal.</returns>
        public bool Equals(UpdateProgress other)
        {
            return BytesSent == other.BytesSent && TotalBytes == other.TotalBytes;
        }

        /// <summary>Whether obj is an equal <see cref="UpdateProgress"/>.</summary>
        /// <param name="obj">The object to compare with.</param>
        /// <returns>True when obj is an UpdateProgress with the same counts.</returns>
        public override bool Equals(object? obj)
        {
            return obj is UpdateProgress other && Equals(other);
        }

        /// <summary>A hash of both counts.</summary>
        /// <returns>The hash code.</returns>
        public override int GetHashCode()
        {
            return BytesSent.GetHashCode() * 31 ^ TotalBytes.GetHashCode();
        }

        /// <summary>"sent 1024 of 6208 bytes", as velnorctl prints it.</summary>
        /// <returns>Bytes sent and the image's size.</returns>
        public override string ToString()
        {
            return string.Format("sent {0} of {1} bytes", BytesSent, TotalBytes);
        }
    }
}

using System;

namespace Velnor
{
    /// <summary>Identification LED states.</summary>
    public enum Led
    {
        /// <summary>Off.</summary>
        Off = 0,

        /// <summary>On.</summary>
        On = 1,

        /// <summary>Blinking.</summary>
        Blink = 2
    }

    /// <summary>Trigger polarities.</summary>
    public enum TriggerPolarity
    {
        /// <summary>Trigger on the rising edge.</summary>
        Rising = 0,

        /// <summary>Trigger on the falling edge.</summary>
        Falling = 1
    }

    /// <summary>Trigger states. Set Disarmed or Armed; the board reports Triggered once an armed trigger has fired.</summary>
    public enum TriggerStatus
    {
        /// <summary>Not armed.</summary>
        Disarmed = 0,

        /// <summary>Armed, waiting for the edge.</summary>
        Armed = 1,

        /// <summary>Fired (reported by the board, never set).</summary>
        Triggered = 2
    }

    /// <summary>Clock modes.</summary>
    public enum ClockMode
    {
        /// <summary>AD9516 synthesis; the frequency must be one the AD9516 can produce.</summary>
        Internal = 0,

        /// <summary>An external reference passed through, 1 Hz to 1 GHz.</summary>
        External = 1
    }

    /// <summary>Firmware update states, as <see cref="Board.GetUpdateStatus"/> reports them.</summary>
    public enum UpdateState
    {
        /// <summary>No update in progress.</summary>
        Idle = 0,

        /// <summary>Erasing after <see cref="Board.StartUpdate"/>.</summary>
        Erasing = 1,

        /// <summary>Ready for blocks.</summary>
        Ready = 2,

        /// <summary>Verifying after <see cref="Board.CompleteUpdate"/>.</summary>
        Verifying = 3,

        /// <summary>The image is the board's firmware now.</summary>
        Done = 4,

        /// <summary>The image was refused; reset or start again.</summary>
        Failed = 5
    }

    /// <summary>The board's sample clock.</summary>
    public struct Clock : IEquatable<Clock>
    {
        /// <summary>A clock record with the reserved bytes zero.</summary>
        /// <param name="mode">Internal synthesis or an external reference.</param>
        /// <param name="frequencyHz">The frequency in hertz.</param>
        public Clock(ClockMode mode, long frequencyHz) : this(mode, frequencyHz, 0)
        {
        }

        /// <summary>A clock record with its 4 reserved bytes as a little-endian number.</summary>
        /// <param name="mode">Internal synthesis or an external reference.</param>
        /// <param name="frequencyHz">The frequency in hertz.</param>
        /// <param name="reserved">The reserved bytes, carried unchanged to and from the board.</param>
        public Clock(ClockMode mode, long frequencyHz, uint reserved) : this()
        {
            Mode = mode;
            FrequencyHz = frequencyHz;
            Reserved = reserved;
        }

        /// <summary>The clock mode (another value when the board reports one).</summary>
        public ClockMode Mode { get; private set; }

        /// <summary>The frequency in hertz.</summary>
        public long FrequencyHz { get; private set; }

        /// <summary>The record's 4 reserved bytes as a little-endian number; the board keeps them as sent.</summary>
        public uint Reserved { get; private set; }

        /// <summary>Whether mode, frequency and reserved bytes are equal.</summary>
        /// <param name="other">The clock to compare with.</param>
        /// <returns>True when all three are equal.</returns>
        public bool Equals(Clock other)
        {
            return Mode == other.Mode && FrequencyHz == other.FrequencyHz && Reserved == other.Reserved;
        }

        /// <summary>Whether obj is an equal <see cref="Clock"/>.</summary>
        /// <param name="obj">The object to compare with.</param>
        /// <returns>True when obj is a Clock with the same three parts.</returns>
        public override bool Equals(object? obj)
        {
            return obj is Clock && Equals((Clock)obj);
        }

        /// <summary>A hash of the three parts.</summary>
        /// <returns>The hash code.</returns>
        public override int GetHashCode()
        {
            return FrequencyHz.GetHashCode() ^ ((int)Mode << 28) ^ (int)Reserved;
        }

        /// <summary>"Internal 125000000 Hz".</summary>
        /// <returns>The mode and the frequency.</returns>
        public override string ToString()
        {
            return string.Format("{0} {1} Hz", Mode, FrequencyHz);
        }
    }

    /// <summary>A firmware update's state and the image bytes the board has received.</summary>
    public struct UpdateStatus
    {
        internal UpdateStatus(UpdateState state, long received) : this()
        {
            State = state;
            BytesReceived = received;
        }

        /// <summary>The update's state (another value when the board reports one).</summary>
        public UpdateState State { get; private set; }

        /// <summary>Image bytes received so far.</summary>
        public long BytesReceived { get; private set; }

        /// <summary>Image bytes received so far, as <see cref="BytesReceived"/>.</summary>
        [Obsolete("Use BytesReceived")]
        public long Received
        {
            get { return BytesReceived; }
        }
    }

    /// <summary>
    /// One board of <see cref="Board.GetBoards"/>: its index in the list, serial and
    /// versions. A board that could not be opened, or one of whose values could not be
    /// read, has <see cref="Error"/> set, and null for each value not read.
    /// </summary>
    public sealed class BoardInfo
    {
        internal BoardInfo(int index, string? serial, VersionInfo? firmware, VersionInfo? driver, VelnorException? error)
        {
            Index = index;
            Serial = serial;
            FirmwareVersion = firmware;
            DriverVersion = driver;
            Error = error;
        }

        /// <summary>The board's index in the list when it was listed.</summary>
        public int Index { get; }

        /// <summary>The serial number, up to 32 characters; null when it could not be read.</summary>
        public string? Serial { get; }

        /// <summary>The firmware version; null when it could not be read.</summary>
        public VersionInfo? FirmwareVersion { get; }

        /// <summary>The driver version; null when it could not be read.</summary>
        public VersionInfo? DriverVersion { get; }

        /// <summary>
        /// Why the board could not be opened or a value not read (the first such failure,
        /// with its code and log line); null when every value was read.
        /// </summary>
        public VelnorException? Error { get; }

        /// <summary>The firmware version, as <see cref="FirmwareVersion"/>.</summary>
        [Obsolete("Use FirmwareVersion")]
        public VersionInfo? Firmware
        {
            get { return FirmwareVersion; }
        }

        /// <summary>The driver version, as <see cref="DriverVersion"/>.</summary>
        [Obsolete("Use DriverVersion")]
        public VersionInfo? Driver
        {
            get { return DriverVersion; }
        }

        /// <summary>
        /// "0: VLN-SIM-0000 (firmware 1.3.0, driver 2.4.1)"; a value not read is "?" and the
        /// failure follows: "1: LAB-0002 (firmware ?, driver 2.4.1); vl_device_get_firmware_version failed: ...".
        /// </summary>
        /// <returns>Index, serial and versions, and the failure if any.</returns>
        public override string ToString()
        {
            string row = string.Format("{0}: {1} (firmware {2}, driver {3})", Index, Serial ?? "?",
                                       (object?)FirmwareVersion ?? "?", (object?)DriverVersion ?? "?");
            return Error == null ? row : row + "; " + Error.Message;
        }
    }
}

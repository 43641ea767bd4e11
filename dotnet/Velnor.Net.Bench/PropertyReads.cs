using BenchmarkDotNet.Attributes;
using static Velnor.Bench.BareMethods;
using static Velnor.Bench.BareResult;

namespace Velnor.Bench;

/// <summary>
/// Every read through <see cref="Board"/> against the bare call of the same export, one
/// category per pair, the bare call its baseline: the Ratio column is the binding's cost.
/// A bare call checks its result code, as any careful caller does, and returns what the
/// export wrote; the binding's read also turns it into its .NET value (text decoded).
/// </summary>
public class PropertyReads
{
    private const uint Register = 0x003;

    private BenchBoard target = null!;
    private Board board = null!;
    private nint handle;
    private BorrowedHandle borrowed = null!;

    /// <summary>One virtual board, opened through the binding and bare.</summary>
    [GlobalSetup]
    public void Setup()
    {
        target = BenchBoard.Open();
        board = target.Board;
        handle = target.Handle;
        borrowed = new BorrowedHandle(handle);
        // Both sides must measure a success: a read that failed would time the failure path.
        if (board.Serial != BenchBoard.SerialNumber)
        {
            throw new InvalidOperationException("the board's serial reads \"" + board.Serial + "\"");
        }
    }

    /// <summary>Closes both handles.</summary>
    [GlobalCleanup]
    public void Cleanup() => target.Dispose();

    /// <summary>vl_device_get_driver_version, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("DriverVersion")]
    public VersionRecord BareDriverVersion()
    {
        Check(vl_device_get_driver_version(handle, out VersionRecord version));
        return version;
    }

    /// <summary>Board.DriverVersion.</summary>
    [Benchmark, BenchmarkCategory("DriverVersion")]
    public VersionInfo BoardDriverVersion() => board.DriverVersion;

    /// <summary>vl_device_get_firmware_version, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("FirmwareVersion")]
    public VersionRecord BareFirmwareVersion()
    {
        Check(vl_device_get_firmware_version(handle, out VersionRecord version));
        return version;
    }

    /// <summary>Board.FirmwareVersion.</summary>
    [Benchmark, BenchmarkCategory("FirmwareVersion")]
    public VersionInfo BoardFirmwareVersion() => board.FirmwareVersion;

    /// <summary>vl_device_get_serial into a 32-byte buffer on the stack, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("Serial")]
    public unsafe byte BareSerial()
    {
        byte* buffer = stackalloc byte[32];
        Check(vl_device_get_serial(handle, buffer, 32));
        return buffer[0];
    }

    /// <summary>Board.Serial.</summary>
    [Benchmark, BenchmarkCategory("Serial")]
    public string BoardSerial() => board.Serial;

    /// <summary>vl_device_get_id_led_state, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("Led")]
    public uint BareLed()
    {
        Check(vl_device_get_id_led_state(handle, out uint state));
        return state;
    }

    /// <summary>Board.Led.</summary>
    [Benchmark, BenchmarkCategory("Led")]
    public Led BoardLed() => board.Led;

    /// <summary>vl_device_get_trigger_polarity, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("TriggerPolarity")]
    public uint BareTriggerPolarity()
    {
        Check(vl_device_get_trigger_polarity(handle, out uint polarity));
        return polarity;
    }

    /// <summary>Board.TriggerPolarity.</summary>
    [Benchmark, BenchmarkCategory("TriggerPolarity")]
    public TriggerPolarity BoardTriggerPolarity() => board.TriggerPolarity;

    /// <summary>vl_device_get_trigger_status, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("TriggerStatus")]
    public uint BareTriggerStatus()
    {
        Check(vl_device_get_trigger_status(handle, out uint status));
        return status;
    }

    /// <summary>
    /// vl_device_get_trigger_status through a SafeHandle, otherwise bare: the part of the
    /// binding's cost that is the handle's reference count, which keeps a concurrent
    /// Dispose from closing the handle under a running call.
    /// </summary>
    [Benchmark, BenchmarkCategory("TriggerStatus")]
    public uint SafeHandleTriggerStatus()
    {
        Check(vl_device_get_trigger_status(borrowed, out uint status));
        return status;
    }

    /// <summary>Board.TriggerStatus.</summary>
    [Benchmark, BenchmarkCategory("TriggerStatus")]
    public TriggerStatus BoardTriggerStatus() => board.TriggerStatus;

    /// <summary>vl_device_get_clock, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("Clock")]
    public ClockRecord BareClock()
    {
        Check(vl_device_get_clock(handle, out ClockRecord clock));
        return clock;
    }

    /// <summary>Board.Clock.</summary>
    [Benchmark, BenchmarkCategory("Clock")]
    public Clock BoardClock() => board.Clock;

    /// <summary>vl_device_ad9516_reg_read of register 0x003, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("ReadRegister")]
    public byte BareReadRegister()
    {
        Check(vl_device_ad9516_reg_read(handle, Register, out byte value));
        return value;
    }

    /// <summary>Board.ReadRegister(0x003).</summary>
    [Benchmark, BenchmarkCategory("ReadRegister")]
    public byte BoardReadRegister() => board.ReadRegister((int)Register);

    /// <summary>vl_device_update_get_status, bare.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("GetUpdateStatus")]
    public ulong BareGetUpdateStatus()
    {
        Check(vl_device_update_get_status(handle, out uint state, out uint received));
        return (ulong)state << 32 | received;
    }

    /// <summary>Board.GetUpdateStatus().</summary>
    [Benchmark, BenchmarkCategory("GetUpdateStatus")]
    public UpdateStatus BoardGetUpdateStatus() => board.GetUpdateStatus();
}

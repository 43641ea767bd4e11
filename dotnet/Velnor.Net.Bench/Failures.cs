using BenchmarkDotNet.Attributes;
using static Velnor.Bench.BareMethods;

namespace Velnor.Bench;

/// <summary>
/// A failing call through <see cref="Board"/> (the exception with its Velnor.log line,
/// thrown and caught) against the bare failing call (the result code): an internal-mode
/// frequency the library refuses before anything is sent, and an LED read the driver
/// answers with a timeout. Every failure appends a line to Velnor.log in TMPDIR; iterations
/// of 100 ms (15,000 calls and more) instead of 500 keep that file to a few hundred megabytes.
/// </summary>
[IterationTime(100)]
public class Failures
{
    private const long RefusedHz = 123456789;
    private const int InvalidFrequency = -13;
    private const int DriverTimeout = -10;

    private static readonly ClockRecord RefusedRecord = new() { Mode = 0, FrequencyHz = RefusedHz };
    private static readonly Clock RefusedClock = new(ClockMode.Internal, RefusedHz);

    private BenchBoard target = null!;
    private Board board = null!;
    private nint handle;

    /// <summary>One virtual board whose LED reads time out in the driver.</summary>
    [GlobalSetup]
    public void Setup()
    {
        target = BenchBoard.Open();
        board = target.Board;
        handle = target.Handle;
        Simulation.SetRequestStatus(BoardRequest.GetLed, DriverTimeout);
        // Each side must fail, and with the code meant: anything else measures another path.
        Expect("vl_device_set_clock", InvalidFrequency, BareRefusedFrequency(), BoardRefusedFrequency());
        Expect("vl_device_get_id_led_state", DriverTimeout, BareLedFault(), BoardLedFault());
    }

    private static void Expect(string function, int code, int bare, int bound)
    {
        if (bare != code || bound != code)
        {
            throw new InvalidOperationException(
                $"{function}: expected {code} from both sides, bare gave {bare}, the binding {bound}");
        }
    }

    /// <summary>Clears the fault and closes both handles.</summary>
    [GlobalCleanup]
    public void Cleanup()
    {
        Simulation.ClearFaults();
        target.Dispose();
    }

    /// <summary>vl_device_set_clock(internal, 123456789 Hz), bare: -13.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("Failure: refused frequency")]
    public int BareRefusedFrequency() => vl_device_set_clock(handle, in RefusedRecord);

    /// <summary>Board.Clock = internal 123456789 Hz: InvalidFrequencyException, caught.</summary>
    [Benchmark, BenchmarkCategory("Failure: refused frequency")]
    public int BoardRefusedFrequency()
    {
        try
        {
            board.Clock = RefusedClock;
            return 0;
        }
        catch (VelnorException error)
        {
            return (int)error.ResultCode;
        }
    }

    /// <summary>vl_device_get_id_led_state with the request timing out, bare: -10.</summary>
    [Benchmark(Baseline = true), BenchmarkCategory("Failure: LED read fault")]
    public int BareLedFault() => vl_device_get_id_led_state(handle, out _);

    /// <summary>Board.Led with the request timing out: DriverTimeoutException, caught.</summary>
    [Benchmark, BenchmarkCategory("Failure: LED read fault")]
    public int BoardLedFault()
    {
        try
        {
            return (int)board.Led;
        }
        catch (VelnorException error)
        {
            return (int)error.ResultCode;
        }
    }
}

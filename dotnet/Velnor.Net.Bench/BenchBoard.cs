namespace Velnor.Bench;

/// <summary>
/// The virtual board every benchmark reads: the platform reset to one board, opened once
/// through the binding and once bare, so both sides of a pair talk to the same board.
/// </summary>
internal sealed class BenchBoard : IDisposable
{
    internal const string SerialNumber = "LAB-0001";

    private BenchBoard(Board board, nint handle)
    {
        Board = board;
        Handle = handle;
    }

    internal Board Board { get; }

    internal nint Handle { get; }

    internal static BenchBoard Open()
    {
        Simulation.Reset();
        Simulation.AddBoard(SerialNumber);
        Board board = Board.Open(0);
        int rc = BareMethods.vl_device_open(0, out nint handle);
        if (rc != 0)
        {
            board.Dispose();
            throw new InvalidOperationException("vl_device_open(0) returned " + rc);
        }
        return new BenchBoard(board, handle);
    }

    public void Dispose()
    {
        Board.Dispose();
        BareMethods.vl_device_close(Handle);
    }
}

// The cost the binding adds to a property read: Board.TriggerStatus against a bare
// DllImport of vl_device_get_trigger_status on the same board, in the same run.
// Prints both per-call times and their ratio; exits 1 when the ratio is above the
// budget of 1.3. Runs on the virtual platform's default board.
using System;
using System.Diagnostics;
using System.Runtime.InteropServices;
using Velnor;

internal static class BindingBench
{
    private const double Budget = 1.3;

    [DllImport("Velnor", CallingConvention = CallingConvention.Cdecl)]
    private static extern int vl_device_get_trigger_status(IntPtr handle, out uint status);

    [DllImport("Velnor", CallingConvention = CallingConvention.Cdecl)]
    private static extern int vl_device_open(UIntPtr index, out IntPtr handle);

    [DllImport("Velnor", CallingConvention = CallingConvention.Cdecl)]
    private static extern int vl_device_close(IntPtr handle);

    private static double Bare(IntPtr handle, int calls)
    {
        var clock = Stopwatch.StartNew();
        uint status;
        for (int i = 0; i < calls; ++i)
        {
            if (vl_device_get_trigger_status(handle, out status) != 0)
            {
                throw new InvalidOperationException("vl_device_get_trigger_status failed");
            }
        }
        return clock.Elapsed.TotalMilliseconds * 1e6 / calls;
    }

    private static double Bound(Board board, int calls)
    {
        var clock = Stopwatch.StartNew();
        for (int i = 0; i < calls; ++i)
        {
            if (board.TriggerStatus == (TriggerStatus)99)
            {
                throw new InvalidOperationException("unexpected status");
            }
        }
        return clock.Elapsed.TotalMilliseconds * 1e6 / calls;
    }

    private static int Main(string[] args)
    {
        int calls = args.Length > 0 ? int.Parse(args[0]) : 200000;
        IntPtr handle;
        if (vl_device_open(UIntPtr.Zero, out handle) != 0)
        {
            Console.Error.WriteLine("no board 0 to measure on");
            return 2;
        }
        try
        {
            using (Board board = Board.Open(0))
            {
                // Warm-up, then alternating rounds; the best round of each counts, so a
                // pause of the machine in one round does not decide the ratio.
                Bare(handle, calls / 10);
                Bound(board, calls / 10);
                double bare = double.MaxValue, bound = double.MaxValue;
                for (int round = 0; round < 5; ++round)
                {
                    bare = Math.Min(bare, Bare(handle, calls));
                    bound = Math.Min(bound, Bound(board, calls));
                }
                double ratio = bound / bare;
                Console.WriteLine("bare DllImport: {0:F1} ns per read", bare);
                Console.WriteLine("Board.TriggerStatus: {0:F1} ns per read", bound);
                Console.WriteLine("ratio: {0:F3} (budget {1})", ratio, Budget);
                return ratio <= Budget ? 0 : 1;
            }
        }
        finally
        {
            vl_device_close(handle);
        }
    }
}

using System.Runtime.InteropServices;
using Perfolizer.Horology;

namespace Velnor.Bench;

/// <summary>
/// The CPU time of the measuring thread (Linux CLOCK_THREAD_CPUTIME_ID, user and system),
/// in nanoseconds. In process, a benchmark's whole call runs on that thread: the binding,
/// the library, the virtual platform and the log's write. Time the machine gives to other
/// work does not count, so a pair measured minutes apart on a shared machine stays
/// comparable, as the library's own benchmarks compare CPU time.
/// </summary>
internal sealed partial class ThreadCpuClock : IClock
{
    internal static readonly ThreadCpuClock Instance = new();

    private const int ThreadCpuTimeId = 3;

    [StructLayout(LayoutKind.Sequential)]
    private struct ClockReading
    {
        public long Seconds;
        public long Nanoseconds;
    }

    [LibraryImport("libc", EntryPoint = "clock_gettime")]
    private static partial int ClockGetTime(int clock, out ClockReading time);

    public string Title => "Thread CPU time";

    public bool IsAvailable => OperatingSystem.IsLinux() && ClockGetTime(ThreadCpuTimeId, out _) == 0;

    public Frequency Frequency => Frequency.GHz;

    public long GetTimestamp()
    {
        if (ClockGetTime(ThreadCpuTimeId, out ClockReading time) != 0)
        {
            throw new InvalidOperationException("clock_gettime(CLOCK_THREAD_CPUTIME_ID) failed");
        }
        return time.Seconds * 1_000_000_000 + time.Nanoseconds;
    }
}

using BenchmarkDotNet.Columns;
using BenchmarkDotNet.Configs;
using BenchmarkDotNet.Diagnosers;
using BenchmarkDotNet.Jobs;
using BenchmarkDotNet.Order;
using BenchmarkDotNet.Toolchains.InProcess.Emit;

namespace Velnor.Bench;

/// <summary>
/// How the benchmarks run: in this process (the library and the virtual platform are
/// already loaded here, and the benchmarks need no project generated and restored), timed
/// by the thread's CPU time unless the wall clock is asked for, each pair in its own group
/// with the bare call as baseline, allocations counted.
/// </summary>
internal static class BenchConfig
{
    internal static IConfig Create(Job job, bool wallClock)
    {
        job = job.WithToolchain(InProcessEmitToolchain.Instance);
        if (!wallClock && ThreadCpuClock.Instance.IsAvailable)
        {
            job = job.WithClock(ThreadCpuClock.Instance);
        }
        return ManualConfig.Create(DefaultConfig.Instance)
            .AddJob(job.WithId(wallClock ? "WallClock" : "CpuTime"))
            .AddDiagnoser(MemoryDiagnoser.Default)
            .AddColumn(CategoriesColumn.Default, StatisticColumn.Median)
            .AddLogicalGroupRules(BenchmarkLogicalGroupRule.ByCategory)
            .WithOrderer(new DefaultOrderer(SummaryOrderPolicy.Declared, MethodOrderPolicy.Declared));
    }
}

using BenchmarkDotNet.Jobs;
using BenchmarkDotNet.Running;

namespace Velnor.Bench;

/// <summary>
/// Runs the benchmarks with BenchmarkDotNet's command line (--filter, --artifacts, ...);
/// every benchmark when no filter is given. Times are the measuring thread's CPU time;
/// --wall-clock times them by the wall clock instead. --smoke runs each benchmark once
/// (the Dry job): it proves the benchmarks build, find the library and reach the board,
/// and times nothing worth reading.
/// </summary>
internal static class Program
{
    private static int Main(string[] args)
    {
        bool smoke = args.Contains("--smoke");
        bool wallClock = args.Contains("--wall-clock");
        var rest = args.Where(arg => arg != "--smoke" && arg != "--wall-clock").ToList();
        if (!rest.Contains("--filter") && !rest.Contains("-f") && !rest.Contains("--list"))
        {
            rest.AddRange(new[] { "--filter", "*" });
        }
        var summaries = BenchmarkSwitcher.FromAssembly(typeof(Program).Assembly)
            .Run(rest.ToArray(), BenchConfig.Create(smoke ? Job.Dry : Job.Default, wallClock))
            .ToList();
        return Outcome.Of(summaries, Console.Out);
    }
}

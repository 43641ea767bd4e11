using BenchmarkDotNet.Reports;

namespace Velnor.Bench;

/// <summary>
/// The process's exit code from BenchmarkDotNet's summaries: a benchmark that did not run
/// to its end (its set-up threw, it threw, a validator refused the run), or a run that
/// matched no benchmark, is a failure. The ratios decide nothing: they are for reading.
/// </summary>
internal static class Outcome
{
    internal static int Of(IReadOnlyList<Summary> summaries, TextWriter output)
    {
        int ran = 0;
        var failed = new List<string>();
        foreach (Summary summary in summaries)
        {
            if (summary.HasCriticalValidationErrors)
            {
                failed.Add(summary.Title + ": " +
                           string.Join("; ", summary.ValidationErrors.Where(e => e.IsCritical).Select(e => e.Message)));
            }
            foreach (BenchmarkReport report in summary.Reports)
            {
                if (report.Success && report.ExecuteResults.All(result => result.IsSuccess))
                {
                    ++ran;
                }
                else
                {
                    failed.Add(report.BenchmarkCase.Descriptor.DisplayInfo);
                }
            }
        }
        foreach (string name in failed)
        {
            output.WriteLine("bench: failed: " + name);
        }
        output.WriteLine($"bench: {ran} benchmarks ran, {failed.Count} failed");
        return ran > 0 && failed.Count == 0 ? 0 : 1;
    }
}

// The clock frequency check over random producible and refused frequencies,
// and the table build it pays once per process.
#include "bench_support.h"

#include "clock/frequency_table.h"

#include <algorithm>
#include <random>
#include <system_error>
#include <vector>

namespace {

using velnor_bench::side_effects;

// A power of two, so the loop picks the next sample with a mask.
constexpr std::size_t sample_count = 4096;

bool producible(std::int64_t frequency_hz) {
    const auto& table = velnor::clock_frequency_table();
    return std::binary_search(table.begin(), table.end(), frequency_hz);
}

std::vector<std::int64_t> accepted_samples(std::mt19937_64& random) {
    const auto& table = velnor::clock_frequency_table();
    std::uniform_int_distribution<std::size_t> pick(0, table.size() - 1);
    std::vector<std::int64_t> samples(sample_count);
    std::generate(samples.begin(), samples.end(), [&] { return table[pick(random)]; });
    return samples;
}

// Refused frequencies spread from below the lowest to above the highest
// producible one, so all three refusal messages occur.
std::vector<std::int64_t> refused_samples(std::mt19937_64& random) {
    const auto& table = velnor::clock_frequency_table();
    std::uniform_int_distribution<std::int64_t> pick(table.front() / 2, table.back() + 100'000'000);
    std::vector<std::int64_t> samples;
    samples.reserve(sample_count);
    while (samples.size() < sample_count) {
        const std::int64_t frequency_hz = pick(random);
        if (!producible(frequency_hz)) {
            samples.push_back(frequency_hz);
        }
    }
    return samples;
}

std::vector<std::int64_t> mixed_samples(std::mt19937_64& random) {
    std::vector<std::int64_t> samples = accepted_samples(random);
    const std::vector<std::int64_t> refused = refused_samples(random);
    std::copy_n(refused.begin(), sample_count / 2, samples.begin() + sample_count / 2);
    std::shuffle(samples.begin(), samples.end(), random);
    return samples;
}

void run_check(benchmark::State& state, const std::vector<std::int64_t>& samples) {
    std::size_t i = 0;
    std::int64_t refusals = 0;
    const side_effects effects;
    for (auto _ : state) {
        try {
            velnor::check_clock_frequency(samples[i]);
        } catch (const std::system_error&) {
            ++refusals;
        }
        i = (i + 1) & (sample_count - 1);
    }
    effects.finish(state);
    state.counters["refused_share"] =
        benchmark::Counter(static_cast<double>(refusals), benchmark::Counter::kAvgIterations);
}

void check_accepted(benchmark::State& state) {
    std::mt19937_64 random(1);
    run_check(state, accepted_samples(random));
}
BENCHMARK(check_accepted)->Name("clock/check_clock_frequency(random producible)");

void check_same_accepted(benchmark::State& state) {
    run_check(state, std::vector<std::int64_t>(sample_count, 100'000'000));
}
BENCHMARK(check_same_accepted)->Name("clock/check_clock_frequency(100 MHz every time)");

void check_mixed(benchmark::State& state) {
    std::mt19937_64 random(2);
    run_check(state, mixed_samples(random));
}
BENCHMARK(check_mixed)->Name("clock/check_clock_frequency(random 50/50 mix)");

void check_refused(benchmark::State& state) {
    std::mt19937_64 random(3);
    run_check(state, refused_samples(random));
}
BENCHMARK(check_refused)->Name("clock/check_clock_frequency(random refused)");

// The same steps as the library's one-time build; the static table itself
// is built only once per process.
void build_table(benchmark::State& state) {
    const side_effects effects;
    for (auto _ : state) {
        std::vector<std::int64_t> table = velnor::clock_frequency_quotients();
        std::sort(table.begin(), table.end());
        table.erase(std::unique(table.begin(), table.end()), table.end());
        table.shrink_to_fit();
        benchmark::DoNotOptimize(table.data());
    }
    effects.finish(state);
}
BENCHMARK(build_table)->Name("clock/frequency table build")->Unit(benchmark::kMicrosecond);

} // namespace

// The time from a board's arrival (the call of vlsim_add_board) to the
// watch's callback on its own thread, over N boards added one at a time;
// prints the median and the 99th percentile as one JSON line.
//
//   velnor_watch_latency [events]   (200 by default)
#include <velnor_sim.h>
#include <velnor_watch.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

struct arrival_t {
    std::mutex mutex;
    std::condition_variable heard;
    bool arrived = false;
    clock_type::time_point at;

    static void callback(void* context, vl_watch_event event, const char*) {
        auto* self = static_cast<arrival_t*>(context);
        const clock_type::time_point now = clock_type::now();
        if (event != VL_WATCH_ARRIVED) {
            return;
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        self->at = now;
        self->arrived = true;
        self->heard.notify_one();
    }
};

double microseconds(clock_type::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    const int events = argc > 1 ? std::atoi(argv[1]) : 200;
    if (events < 1) {
        std::fprintf(stderr, "usage: velnor_watch_latency [events > 0]\n");
        return 2;
    }
    vlsim_reset();
    arrival_t arrival;
    vl_watch* watch = nullptr;
    if (vl_watch_start(0, &arrival_t::callback, &arrival, &watch) != VL_RC_SUCCESS) {
        std::fprintf(stderr, "vl_watch_start failed\n");
        return 1;
    }
    std::vector<double> samples;
    for (int i = 0; i < events; ++i) {
        std::unique_lock<std::mutex> lock(arrival.mutex);
        arrival.arrived = false;
        lock.unlock();
        const clock_type::time_point start = clock_type::now();
        const int id = vlsim_add_board(nullptr);
        lock.lock();
        if (!arrival.heard.wait_for(lock, std::chrono::seconds(5),
                                    [&] { return arrival.arrived; })) {
            std::fprintf(stderr, "board %d: no callback within 5 s\n", id);
            return 1;
        }
        samples.push_back(microseconds(arrival.at - start));
        lock.unlock();
        vlsim_remove_board(id);
    }
    vl_watch_stop(watch);
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * samples.size()))];
    };
    std::printf("{\"benchmark\": \"watch/arrival_to_callback\", \"events\": %d, "
                "\"median_us\": %.1f, \"p99_us\": %.1f, \"max_us\": %.1f}\n",
                events, at(0.5), at(0.99), samples.back());
    return 0;
}

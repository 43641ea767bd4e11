#include "update_jobs.h"

#include "board_queries.h"

#include <iostream>

namespace velnor_panel {

using namespace velnorctl;

struct update_jobs_t::job_t {
    uint64_t id = 0;
    std::string serial;
    board_handle_t board;
    std::vector<uint8_t> image;
    image_info_t info;
    std::thread thread;
    bool running = true;
    json_t last; // the last event published
    std::string reset_line;
    json_t failure;
};

// Tells the page how the update goes and stops it when the panel stops.
class update_jobs_t::observer_t final : public update_observer_t {
public:
    observer_t(update_jobs_t& jobs, job_t& job) : jobs_(jobs), job_(job) {}

    void phase(const char* name) override {
        jobs_.publish(job_, {{"phase", name}, {"sent", sent_}});
    }

    void progress(uint64_t sent, uint64_t total) override {
        sent_ = sent;
        // One event per percent at most: a large image has many blocks.
        const uint64_t percent = total == 0 ? 100 : sent * 100 / total;
        if (percent != last_percent_ || sent == total) {
            last_percent_ = percent;
            jobs_.publish(job_, {{"phase", "writing"}, {"sent", sent}});
        }
    }

    std::optional<update_stop_t> stop() override {
        if (!jobs_.stopping_) {
            return std::nullopt;
        }
        return update_stop_t{
            exit_code_t::interrupted,
            "firmware update of board '" + job_.serial + "' stopped: " + jobs_.stop_reason_, true};
    }

    exit_code_t failed() override {
        const api_error_t failure = current_failure();
        job_.failure = failure.body();
        return exit_code_t::update;
    }

    void reset_done(const std::string& line) override {
        job_.reset_line = line;
        std::cerr << program_name() << ": " << line << '\n';
    }

private:
    update_jobs_t& jobs_;
    job_t& job_;
    uint64_t sent_ = 0;
    uint64_t last_percent_ = 101;
};

update_jobs_t::update_jobs_t(event_hub_t& events, update_options_t options)
    : events_(events), options_(options) {}

update_jobs_t::~update_jobs_t() {
    stop_all("the panel is stopping");
}

namespace {

// An update event: which update it is, then what happened.
json_t update_event(const std::string& serial, uint64_t id, size_t total, const image_info_t& info,
                    const json_t& event) {
    json_t document = {
        {"serial", serial}, {"update", id}, {"total", total}, {"image", image_version_text(info)}};
    for (const auto& [key, value] : event.items()) {
        document[key] = value;
    }
    return document;
}

} // namespace

void update_jobs_t::publish(job_t& job, json_t event) {
    const json_t document = update_event(job.serial, job.id, job.image.size(), job.info, event);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        job.last = document;
    }
    events_.publish("update", json_text(document));
}

json_t update_jobs_t::start(const std::string& serial, board_handle_t board,
                            std::vector<uint8_t> image, const image_info_t& info) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
        throw api_error_t(503, "the panel is stopping; no update is started");
    }
    auto found = jobs_.find(serial);
    if (found != jobs_.end() && found->second->running) {
        throw api_error_t(409,
                          "board '" + serial + "' is being updated already (update " +
                              std::to_string(found->second->id) +
                              "); wait for it to end before starting another",
                          {{"update", found->second->id}});
    }
    if (found != jobs_.end()) {
        finished_threads_.push_back(std::move(found->second->thread));
        jobs_.erase(found);
    }
    auto job = std::make_unique<job_t>();
    job->id = next_id_++;
    job->serial = serial;
    job->board = std::move(board);
    job->image = std::move(image);
    job->info = info;
    job_t& started = *job;
    jobs_[serial] = std::move(job);
    started.last = update_event(serial, started.id, started.image.size(), info,
                                {{"phase", "starting"}, {"sent", 0}});
    started.thread = std::thread([this, &started] { run(started); });
    return started.last;
}

void update_jobs_t::run(job_t& job) {
    observer_t observer(*this, job);
    json_t end;
    try {
        const vl_version reported =
            run_firmware_update(job.board.get(), job.image, job.info, options_, observer);
        end = {{"phase", "done"}, {"sent", job.image.size()}, {"firmware", version_text(reported)}};
    } catch (const reported_failure_t& reported) {
        end = {{"phase", reported.exit() == exit_code_t::interrupted ? "stopped" : "failed"}};
        if (!job.failure.is_null()) {
            end["error"] = job.failure;
        }
        end["reset"] = job.reset_line;
    } catch (...) {
        end = {{"phase", "failed"}, {"error", current_failure().body()}};
    }
    job.board.reset();
    publish(job, end);
    const std::lock_guard<std::mutex> lock(mutex_);
    job.running = false;
}

json_t update_jobs_t::summary() {
    const std::lock_guard<std::mutex> lock(mutex_);
    json_t all = json_t::object();
    for (const auto& [serial, job] : jobs_) {
        all[serial] = job->last;
    }
    return all;
}

size_t update_jobs_t::stop_all(const std::string& why) {
    std::vector<std::thread> threads;
    size_t running = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            stop_reason_ = why;
            stopping_ = true;
        }
        for (auto& [serial, job] : jobs_) {
            running += job->running ? 1u : 0u;
            if (job->thread.joinable()) {
                threads.push_back(std::move(job->thread));
            }
        }
        for (std::thread& thread : finished_threads_) {
            threads.push_back(std::move(thread));
        }
        finished_threads_.clear();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return running;
}

} // namespace velnor_panel

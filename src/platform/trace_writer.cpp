#include "platform/trace_writer.h"

#include "platform/trace_notice.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string_view>

#ifndef VELNOR_RECORDING_VERSION
#error "the recording build names its version in the trace"
#endif

namespace velnor::os {

namespace {

constexpr std::string_view recording_build = "Velnor recording build " VELNOR_RECORDING_VERSION;

// Names drawn before a trace gives up: a name is taken only when another
// file drew the same digits in the same second.
constexpr int name_tries = 4;

// A thread's buffer that grew past this for a large record is given back.
constexpr std::size_t kept_buffer_size = std::size_t{1} << 20;

// Why the trace's file could not be made, in the words of the line the log gets.
std::string refusal_text(file_refusal_t refusal) {
    switch (refusal) {
    case file_refusal_t::link:
        return "it is a link";
    case file_refusal_t::not_regular:
        return "not a regular file";
    case file_refusal_t::second_name:
        return "a second name of another file";
    case file_refusal_t::name_taken:
        return "the name is taken";
    case file_refusal_t::other:
        break;
    }
    return "cannot open it";
}

// The calling thread's id, asked of the system once per thread (and again in
// a forked child, whose one thread has an id of its own).
thread_local std::uint32_t thread_id_asked = 0;

std::uint32_t this_thread_id() {
    if (thread_id_asked == 0) {
        thread_id_asked = current_thread_id();
    }
    return thread_id_asked;
}

// The thread's packet buffer, reused from record to record. A record made
// after the thread's objects are destroyed (a static destructor that closes a
// board at exit) builds its packet in a buffer of its own.
thread_local bool thread_buffer_gone = false;
struct thread_buffer_t {
    std::vector<std::uint8_t> bytes;
    ~thread_buffer_t() { thread_buffer_gone = true; }
};
thread_local thread_buffer_t thread_buffer;

std::vector<std::uint8_t>& packet_buffer(std::vector<std::uint8_t>& own) {
    std::vector<std::uint8_t>& buffer = thread_buffer_gone ? own : thread_buffer.bytes;
    buffer.clear();
    return buffer;
}

void release_if_large(std::vector<std::uint8_t>& buffer) {
    if (buffer.capacity() > kept_buffer_size) {
        std::vector<std::uint8_t>().swap(buffer);
    }
}

// The interface of the thread's last call, in the file it went to, for its
// GetLastError records.
struct last_interface_t {
    std::uint64_t file_number;
    std::uint32_t id;
};
thread_local last_interface_t last_interface_of_thread{0, VLTR_CONFIGURATION_MANAGER_INTERFACE};

std::uint64_t nanoseconds_since_1970() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
}

// Velnor-trace-<pid>-<yyyymmdd-hhmmss, UTC>-<8 hex digits>.pcapng
std::string file_name(std::uint32_t pid, std::uint64_t wall_ns, std::uint32_t digits) {
    const std::uint64_t seconds = wall_ns / 1000000000u;
    const std::uint64_t of_day = seconds % 86400;
    // The civil date of a day count since 1970 (proleptic Gregorian calendar,
    // eras of 400 years from 0000-03-01).
    const std::uint64_t z = seconds / 86400 + 719468;
    const std::uint64_t era = z / 146097;
    const std::uint64_t day_of_era = z - era * 146097;
    const std::uint64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::uint64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::uint64_t month_from_march = (5 * day_of_year + 2) / 153;
    const std::uint64_t day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    const std::uint64_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    const std::uint64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    char text[96];
    std::snprintf(text, sizeof text, "Velnor-trace-%u-%04u%02u%02u-%02u%02u%02u-%08x.pcapng",
                  static_cast<unsigned>(pid), static_cast<unsigned>(year),
                  static_cast<unsigned>(month), static_cast<unsigned>(day),
                  static_cast<unsigned>(of_day / 3600), static_cast<unsigned>(of_day / 60 % 60),
                  static_cast<unsigned>(of_day % 60), static_cast<unsigned>(digits));
    return text;
}

} // namespace

trace_writer_t& trace_writer_t::instance() {
    // Never destroyed: a static destructor elsewhere may still close a board.
    alignas(trace_writer_t) static unsigned char storage[sizeof(trace_writer_t)];
    static trace_writer_t* const writer = [] {
        auto* const made = ::new (static_cast<void*>(storage)) trace_writer_t();
        on_fork(before_fork, after_fork_in_parent, after_fork_in_child);
        return made;
    }();
    return *writer;
}

trace_writer_t::trace_writer_t(digits_source_t digits) noexcept : digits_(digits) {}

void trace_writer_t::record(const trace_call_t& call) noexcept {
    if (state_.load(std::memory_order_relaxed) == state_t::stopped) {
        return;
    }
    const host_error_keeper_t keep_error;
    try {
        std::vector<std::uint8_t> own;
        std::vector<std::uint8_t>& packet = packet_buffer(own);
        if (packet_block_size(call) <= VLTR_MAX_FILE_SIZE) {
            put_packet(packet, call, this_thread_id());
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            commit(call, packet);
        }
        release_if_large(packet);
    } catch (const std::exception& error) {
        // Memory ran out: the trace ends, the call goes on.
        try {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop(std::make_error_code(std::errc::not_enough_memory), error.what());
        } catch (...) {
        }
    }
}

void trace_writer_t::record_in_order(trace_call_t& call,
                                     const std::function<void(trace_call_t&)>& make) {
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    try {
        lock.lock();
    } catch (const std::system_error&) {
    }
    make(call);
    if (!lock.owns_lock()) {
        record(call);
        return;
    }
    const host_error_keeper_t keep_error;
    try {
        if (state_.load(std::memory_order_relaxed) != state_t::stopped) {
            std::vector<std::uint8_t> own;
            std::vector<std::uint8_t>& packet = packet_buffer(own);
            put_packet(packet, call, this_thread_id()); // a close's record is small
            commit(call, packet);
        }
    } catch (const std::exception& error) {
        stop(std::make_error_code(std::errc::not_enough_memory), error.what());
    }
}

std::string trace_writer_t::path_text() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return path_text_;
}

// Under the lock: numbers the packet, writes the interfaces it needs first
// and the packet with them in one write.
void trace_writer_t::commit(const trace_call_t& call, std::vector<std::uint8_t>& packet) {
    if (!ready()) {
        return;
    }
    const std::uint64_t sequence = sequence_ + 1;
    const std::uint32_t interface_id = interface_for(call);
    if (!within_bound(interfaces_.size() + packet_block_size(call), sequence)) {
        return;
    }
    sequence_ = sequence;
    const auto elapsed =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now() - start_)
                                       .count());
    stamp_packet(packet.data(), {interface_id, start_wall_ns_ + elapsed, elapsed, sequence});
    if (!interfaces_.empty()) {
        packet.insert(packet.begin(), interfaces_.begin(), interfaces_.end());
        interfaces_.clear();
    }
    try {
        file_->append(reinterpret_cast<const char*>(packet.data()), packet.size());
        size_ += packet.size();
    } catch (const std::system_error& error) {
        stop(error.code(),
             "cannot write record " + std::to_string(sequence) + ": " + error.code().message());
    }
}

// Under the lock: whether there is a file to write to, making it at the
// first record, and a new one at a forked child's first.
bool trace_writer_t::ready() {
    switch (state_.load(std::memory_order_relaxed)) {
    case state_t::running:
        return true;
    case state_t::stopped:
        return false;
    case state_t::fresh:
        return start();
    case state_t::forked:
        break;
    }
    const std::string parent = path_text_;
    file_.reset(); // the parent's file stays the parent's
    if (!start()) {
        return false;
    }
    log_trace_notice("Trace " + parent + " continues in " + path_text_ + " in process " +
                     std::to_string(current_process_id()) + ": the process forked");
    return true;
}

bool trace_writer_t::start() {
    path_text_.clear();
    start_ = std::chrono::steady_clock::now();
    start_wall_ns_ = nanoseconds_since_1970();
    bound_ = std::min<std::uint64_t>(file_size_limit(), VLTR_MAX_FILE_SIZE);
    std::vector<std::uint8_t> head;
    put_section_header(head, recording_build);
    put_interface(head, VLTR_CONFIGURATION_MANAGER_NAME);
    size_ = 0;
    if (!within_bound(head.size(), 0) || !create_file()) {
        return false;
    }
    try {
        file_->append(reinterpret_cast<const char*>(head.data()), head.size());
    } catch (const std::system_error& error) {
        stop(error.code(), "cannot write the section header: " + error.code().message());
        return false;
    }
    size_ = head.size();
    sequence_ = 0;
    ++file_number_;
    interface_by_path_.clear();
    interface_count_ = 1;
    interfaces_.clear();
    state_ = state_t::running;
    return true;
}

// Makes the file under a new name, drawing new digits while the name is taken.
bool trace_writer_t::create_file() {
    std::filesystem::path dir;
    try {
        dir = temp_directory();
    } catch (const std::filesystem::filesystem_error& error) {
        stop(error.code(), std::string("no temporary directory: ") + error.what());
        return false;
    }
    for (int tried = 1;; ++tried) {
        const std::filesystem::path path =
            dir / file_name(current_process_id(), start_wall_ns_, digits_());
        path_text_ = file_system_text(path).value_or(path.u8string());
        try {
            file_.emplace(path, "trace", owned_file_t::taking_t::create_new);
            return true;
        } catch (const std::filesystem::filesystem_error& error) {
            const file_refusal_t refusal = file_refusal_of(error.code());
            if (refusal == file_refusal_t::other || tried == name_tries) {
                stop(error.code(), refusal_text(refusal) + ": " + error.code().message());
                return false;
            }
        }
    }
}

void trace_writer_t::stop(const std::error_code& error, const std::string& why) {
    state_ = state_t::stopped;
    file_.reset();
    const std::string where = path_text_.empty() ? "" : " " + path_text_;
    log_trace_stopped(error, "Trace" + where + " stopped: " + why);
}

// Whether bytes more keep the file within its bound; stops the trace before a
// write past it.
bool trace_writer_t::within_bound(std::uint64_t bytes, std::uint64_t sequence) {
    if (bytes <= bound_ && size_ <= bound_ - bytes) {
        return true;
    }
    const std::string what =
        sequence == 0 ? "its first blocks" : "record " + std::to_string(sequence);
    const std::string bound =
        bound_ == VLTR_MAX_FILE_SIZE ? "the most a trace holds" : "the process's file-size limit";
    stop(file_too_large(),
         what + " would take it past " + std::to_string(bound_) + " bytes, " + bound);
    return false;
}

std::uint32_t trace_writer_t::interface_for(const trace_call_t& call) {
    std::uint32_t id = VLTR_CONFIGURATION_MANAGER_INTERFACE;
    switch (call.kind) {
    case VLTR_LIST_SIZE:
    case VLTR_LIST_FETCH:
        break;
    case VLTR_CREATE_FILE:
        if (call.path != nullptr) {
            id = interface_of(*call.path);
            if (call.result != 0) {
                path_by_handle_[call.handle] = *call.path;
            }
        }
        break;
    case VLTR_CLOSE_HANDLE:
    case VLTR_IO_CONTROL:
        if (const auto found = path_by_handle_.find(call.handle); found != path_by_handle_.end()) {
            id = interface_of(found->second);
            if (call.kind == VLTR_CLOSE_HANDLE && call.result != 0) {
                path_by_handle_.erase(found);
            }
        }
        break;
    case VLTR_GET_LAST_ERROR: {
        const last_interface_t last = last_interface_of_thread;
        return last.file_number == file_number_ ? last.id : VLTR_CONFIGURATION_MANAGER_INTERFACE;
    }
    }
    last_interface_of_thread = {file_number_, id};
    return id;
}

// The path's interface in this file, its block queued for the next write
// when the path is new to the file.
std::uint32_t trace_writer_t::interface_of(const std::string& path) {
    const auto found = interface_by_path_.find(path);
    if (found != interface_by_path_.end()) {
        return found->second;
    }
    put_interface(interfaces_, path);
    interface_by_path_.emplace(path, interface_count_);
    return interface_count_++;
}

void trace_writer_t::before_fork() noexcept {
    instance().mutex_.lock();
}

void trace_writer_t::after_fork_in_parent() noexcept {
    instance().mutex_.unlock();
}

// The child's only thread is the one that forked, which holds the lock; the
// child's first record starts a file of its own (never logged from here).
void trace_writer_t::after_fork_in_child() noexcept {
    thread_id_asked = 0;
    trace_writer_t& writer = instance();
    if (writer.state_.load(std::memory_order_relaxed) == state_t::running) {
        writer.state_ = state_t::forked;
    }
    writer.mutex_.unlock();
}

} // namespace velnor::os

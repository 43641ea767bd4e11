#include "platform/trace_writer.h"

#include "platform/os.h"
#include "platform/trace_notice.h"

#include <exception>
#include <string_view>

#ifndef VELNOR_RECORDING_VERSION
#error "the recording build names its version in the trace"
#endif

namespace velnor::os {

namespace {

// Why the trace's file was refused, in the words of the line the log gets.
std::string refusal(const std::error_code& error) {
    if (error == std::errc::too_many_symbolic_link_levels) {
        return "it is a link";
    }
    if (error == std::errc::not_supported) {
        return "not a regular file";
    }
    return "cannot open it";
}

constexpr std::string_view recording_build = "Velnor recording build " VELNOR_RECORDING_VERSION;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}

void pad32(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

void put_option(std::vector<std::uint8_t>& out, std::uint32_t code, const std::uint8_t* value,
                std::size_t size) {
    put16(out, code);
    put16(out, static_cast<std::uint32_t>(size));
    out.insert(out.end(), value, value + size);
    pad32(out);
}

void put_text_option(std::vector<std::uint8_t>& out, std::uint32_t code, std::string_view text) {
    put_option(out, code, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// A block starts with its type and a length that is filled in at its end,
// where the length is repeated.
std::size_t begin_block(std::vector<std::uint8_t>& out, std::uint32_t type) {
    const std::size_t start = out.size();
    put32(out, type);
    put32(out, 0);
    return start;
}

void end_block(std::vector<std::uint8_t>& out, std::size_t start) {
    pad32(out);
    const auto length = static_cast<std::uint32_t>(out.size() - start + 4);
    put32(out, length);
    for (int i = 0; i < 4; ++i) {
        out[start + 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

// The calling thread's id, asked of the system once per thread.
std::uint32_t this_thread_id() {
    thread_local const std::uint32_t id = current_thread_id();
    return id;
}

// The interface of the thread's last call, for its GetLastError records.
thread_local std::uint32_t last_interface_of_thread = VLTR_CONFIGURATION_MANAGER_INTERFACE;

std::filesystem::path trace_path(const std::filesystem::path& dir) {
    std::filesystem::path file = dir;
    file += "/";
    file += "Velnor-trace-" + std::to_string(current_process_id()) + ".pcapng";
    return file;
}

} // namespace

trace_writer_t& trace_writer_t::instance() {
    // Never destroyed: a static destructor elsewhere may still close a board.
    alignas(trace_writer_t) static unsigned char storage[sizeof(trace_writer_t)];
    static trace_writer_t* const writer = ::new (static_cast<void*>(storage)) trace_writer_t();
    return *writer;
}

void trace_writer_t::record(const trace_call_t& call) noexcept {
    const host_error_keeper_t keep_error;
    try {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == state_t::stopped || (state_ == state_t::fresh && !start())) {
            return;
        }
        block_.clear();
        const std::uint32_t interface_id = interface_for(call);
        append_record(call, interface_id);
        try {
            file_->append(reinterpret_cast<const char*>(block_.data()), block_.size());
        } catch (const std::system_error& error) {
            stop(error.code(), "cannot write record " + std::to_string(sequence_) + ": " +
                                   error.code().message());
        }
    } catch (const std::exception& error) {
        // Memory ran out, or the temporary directory could not be read: the
        // trace ends, the call goes on.
        try {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop(std::make_error_code(std::errc::not_enough_memory), error.what());
        } catch (...) {
        }
    }
}

bool trace_writer_t::start() {
    std::filesystem::path path;
    try {
        path = trace_path(temp_directory());
    } catch (const std::filesystem::filesystem_error& error) {
        stop(error.code(), std::string("no temporary directory: ") + error.what());
        return false;
    }
    path_text_ = file_system_text(path).value_or(path.u8string());
    try {
        file_.emplace(path, "trace");
    } catch (const std::filesystem::filesystem_error& error) {
        stop(error.code(), refusal(error.code()) + ": " + error.code().message());
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    start_wall_ns_ =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());

    block_.clear();
    const std::size_t section = begin_block(block_, VLTR_BLOCK_SECTION_HEADER);
    put32(block_, VLTR_BYTE_ORDER_MAGIC);
    put16(block_, 1);
    put16(block_, 0);
    put64(block_, ~std::uint64_t{0}); // section length not given
    put_text_option(block_, VLTR_OPT_SHB_USERAPPL, recording_build);
    put32(block_, VLTR_OPT_END);
    end_block(block_, section);
    append_interface(VLTR_CONFIGURATION_MANAGER_NAME);
    try {
        file_->append(reinterpret_cast<const char*>(block_.data()), block_.size());
    } catch (const std::system_error& error) {
        stop(error.code(), "cannot write the section header");
        return false;
    }
    state_ = state_t::running;
    return true;
}

void trace_writer_t::stop(const std::error_code& error, const std::string& why) {
    state_ = state_t::stopped;
    file_.reset();
    const std::string where = path_text_.empty() ? "" : " " + path_text_;
    log_trace_stopped(error, "Trace" + where + " stopped: " + why);
}

std::uint32_t trace_writer_t::interface_for(const trace_call_t& call) {
    std::uint32_t id = VLTR_CONFIGURATION_MANAGER_INTERFACE;
    switch (call.kind) {
    case VLTR_LIST_SIZE:
    case VLTR_LIST_FETCH:
        break;
    case VLTR_CREATE_FILE:
        if (call.path != nullptr) {
            const auto found = interface_by_path_.find(*call.path);
            if (found != interface_by_path_.end()) {
                id = found->second;
            } else {
                id = interface_count_;
                append_interface(*call.path);
                interface_by_path_.emplace(*call.path, id);
            }
            if (call.result != 0) {
                interface_by_handle_[call.handle] = id;
            }
        }
        break;
    case VLTR_CLOSE_HANDLE:
    case VLTR_IO_CONTROL:
        if (const auto found = interface_by_handle_.find(call.handle);
            found != interface_by_handle_.end()) {
            id = found->second;
            if (call.kind == VLTR_CLOSE_HANDLE && call.result != 0) {
                interface_by_handle_.erase(found);
            }
        }
        break;
    case VLTR_GET_LAST_ERROR:
        return last_interface_of_thread;
    }
    last_interface_of_thread = id;
    return id;
}

void trace_writer_t::append_interface(const std::string& name) {
    const std::size_t start = begin_block(block_, VLTR_BLOCK_INTERFACE);
    put16(block_, VLTR_LINKTYPE);
    put16(block_, 0);
    put32(block_, 0); // no snapshot limit
    put_text_option(block_, VLTR_OPT_IF_NAME, name);
    const std::uint8_t resolution = VLTR_TSRESOL_NANOSECONDS;
    put_option(block_, VLTR_OPT_IF_TSRESOL, &resolution, 1);
    put32(block_, VLTR_OPT_END);
    end_block(block_, start);
    ++interface_count_;
}

void trace_writer_t::append_record(const trace_call_t& call, std::uint32_t interface_id) {
    const std::uint64_t sequence = ++sequence_;
    const auto elapsed =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now() - start_)
                                       .count());
    const std::uint64_t stamp = start_wall_ns_ + elapsed;
    const std::uint32_t length = VLTR_RECORD_HEADER_SIZE + call.in_size + call.out_size;

    const std::size_t start = begin_block(block_, VLTR_BLOCK_ENHANCED_PACKET);
    put32(block_, interface_id);
    put32(block_, static_cast<std::uint32_t>(stamp >> 32));
    put32(block_, static_cast<std::uint32_t>(stamp));
    put32(block_, length);
    put32(block_, length);

    put16(block_, VLTR_RECORD_HEADER_SIZE);
    block_.push_back(static_cast<std::uint8_t>(call.kind));
    block_.push_back(call.flags);
    put32(block_, this_thread_id());
    put64(block_, sequence);
    put64(block_, elapsed);
    put64(block_, call.handle);
    put32(block_, call.result);
    put32(block_, call.last_error);
    for (const std::uint32_t value : call.p) {
        put32(block_, value);
    }
    put32(block_, call.in_size);
    put32(block_, call.out_size);
    if (call.in_size != 0) {
        block_.insert(block_.end(), call.in, call.in + call.in_size);
    }
    if (call.out_size != 0) {
        block_.insert(block_.end(), call.out, call.out + call.out_size);
    }
    pad32(block_);

    std::uint8_t id[8];
    for (int i = 0; i < 8; ++i) {
        id[i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    }
    put_option(block_, VLTR_OPT_EPB_PACKETID, id, sizeof id);
    put32(block_, VLTR_OPT_END);
    end_block(block_, start);
}

} // namespace velnor::os

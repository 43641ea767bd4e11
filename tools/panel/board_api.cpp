#include "board_api.h"

#include "board_queries.h"
#include "board_values.h"
#include "errors.h"
#include "interface_paths.h"

namespace velnor_panel {

using namespace velnorctl;

api_error_t::api_error_t(int status, const std::string& message, json_t extra)
    : std::runtime_error(message), status_(status) {
    body_ = {{"error", message},
             {"code", nullptr},
             {"code_name", nullptr},
             {"function", nullptr},
             {"log_line", nullptr}};
    for (auto& [key, value] : extra.items()) {
        body_[key] = value;
    }
}

namespace {

int status_of(vl_rc rc) {
    if (rc == VL_RC_FAILED || rc == VL_RC_INVALID_DEVICE || rc == VL_RC_TIMEOUT) {
        return 503; // the board left, the system call failed, or the board did not answer
    }
    if (rc == VL_RC_INTERNAL_ERROR || rc == VL_RC_NO_MEMORY) {
        return 500;
    }
    return 422; // the library or the board refused the request
}

int status_of(exit_code_t exit) {
    if (exit == exit_code_t::usage || exit == exit_code_t::file) {
        return 400;
    }
    if (exit == exit_code_t::no_board) {
        return 404;
    }
    return exit == exit_code_t::update ? 422 : 500;
}

std::string path_at(const std::vector<std::string>& paths, size_t index) {
    return index < paths.size() ? paths[index] : std::string();
}

} // namespace

std::string json_text(const json_t& document) {
    return document.dump(-1, ' ', true, json_t::error_handler_t::replace);
}

std::string image_version_text(const image_info_t& info) {
    if (!info.version.text.empty()) {
        return info.version.text;
    }
    return std::to_string(info.version.major) + "." + std::to_string(info.version.minor) + "." +
           std::to_string(info.version.patch);
}

json_t image_facts(const image_info_t& info, size_t size) {
    return {{"version", image_version_text(info)},
            {"major", info.version.major},
            {"minor", info.version.minor},
            {"patch", info.version.patch},
            {"payload_length", info.payload_length},
            {"payload_crc32", hex_text(info.payload_crc32, 8)},
            {"size", size}};
}

api_error_t current_failure() {
    try {
        throw;
    } catch (const api_error_t& error) {
        return error;
    } catch (const library_failure_t& failure) {
        std::string message = failure.what();
        if (!failure.advice().empty()) {
            message += "; " + failure.advice();
        }
        return api_error_t(status_of(failure.rc()), message,
                           {{"code", failure.rc()},
                            {"code_name", vl_rc_name(failure.rc())},
                            {"function", failure.function()},
                            {"log_line", failure.log_line().empty() ? json_t(nullptr)
                                                                    : json_t(failure.log_line())}});
    } catch (const tool_error_t& error) {
        return api_error_t(status_of(error.exit()), error.what());
    } catch (const std::exception& error) {
        return api_error_t(500, error.what());
    } catch (...) {
        return api_error_t(500, "unexpected failure");
    }
}

json_t board_list() {
    size_t count = 0;
    VLCTL_CALL(vl_get_device_count, &count);
    std::vector<std::string> paths;
    try {
        paths = board_interface_paths();
    } catch (const tool_error_t&) {
        // The list still shows the boards, without where they live.
    }
    json_t boards = json_t::array();
    for (size_t index = 0; index < count; ++index) {
        board_handle_t board;
        try {
            board = open_board(index);
        } catch (const library_failure_t& failure) {
            if (failure.rc() == VL_RC_INVALID_DEVICE) {
                break; // a board left while the list was read
            }
            throw;
        }
        boards.push_back({{"index", index},
                          {"serial", read_serial(board.get())},
                          {"firmware", version_text(read_firmware_version(board.get()))},
                          {"driver", version_text(read_driver_version(board.get()))},
                          {"path", path_at(paths, index)}});
    }
    return boards;
}

json_t board_state(vl_device* board, const std::string& serial) {
    const vl_clock clock = read_clock(board);
    return {{"serial", serial},
            {"firmware", version_text(read_firmware_version(board))},
            {"driver", version_text(read_driver_version(board))},
            {"led", name_of(read_led(board), led_names())},
            {"trigger",
             {{"polarity", name_of(read_trigger_polarity(board), polarity_names())},
              {"status", name_of(read_trigger_status(board), trigger_status_names())}}},
            {"clock",
             {{"mode", name_of(clock.mode, clock_mode_names())},
              {"frequency_hz", clock.frequency_hz}}}};
}

board_handle_t open_by_serial(const std::string& serial) {
    serial_search_t search = find_serial(serial);
    if (search.matches.size() == 1) {
        return std::move(search.match);
    }
    if (search.matches.empty()) {
        throw api_error_t(404, "no board has the serial '" + serial + "'");
    }
    json_t indexes = search.matches;
    throw api_error_t(409,
                      std::to_string(search.matches.size()) + " boards have the serial '" + serial +
                          "'; the panel cannot tell them apart",
                      {{"indexes", indexes}});
}

} // namespace velnor_panel

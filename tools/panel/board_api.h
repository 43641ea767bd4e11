// The boards as the panel's API shows them: JSON documents read through the
// library with the tool's queries, boards found by serial, and every failure
// turned into an HTTP status and {"error", "code", "code_name", "function",
// "log_line"}.
#pragma once

#include "firmware_image.h"
#include "output.h"
#include "session.h"

#include <stdexcept>
#include <string>

namespace velnor_panel {

using json_t = velnorctl::json_t;

// The document as one line of ASCII JSON; text from a board that is not
// UTF-8 has its bad bytes replaced, so the answer is always valid JSON.
std::string json_text(const json_t& document);

// {"version", "major", "minor", "patch", "payload_length", "payload_crc32",
//  "size"}: what a firmware image's header says, for the page to show
// before the update starts.
json_t image_facts(const velnorctl::image_info_t& info, size_t size);

// The image's version as the board will report it.
std::string image_version_text(const velnorctl::image_info_t& info);

// A failure with the HTTP status and the JSON body to answer it with.
class api_error_t : public std::runtime_error {
public:
    api_error_t(int status, const std::string& message, json_t extra = json_t::object());
    int status() const noexcept { return status_; }
    const json_t& body() const noexcept { return body_; }

private:
    int status_;
    json_t body_;
};

// The failure in flight (call from a catch block) as a status and a body:
// 400 for input the panel refused before sending anything; 422 for a refusal
// by the library or the board; 503 when the board could not be reached (it
// left, the system call failed, it did not answer); 500 otherwise.
api_error_t current_failure();

// [{"index", "serial", "firmware", "driver", "path"}] for every board present.
json_t board_list();

// {"serial", "firmware", "driver", "led", "trigger": {"polarity", "status"},
//  "clock": {"mode", "frequency_hz"}}
json_t board_state(vl_device* board, const std::string& serial);

// The one board with this serial, open. Throws api_error_t: 404 when no
// board has it, 409 when several have.
velnorctl::board_handle_t open_by_serial(const std::string& serial);

} // namespace velnor_panel

// The routes of the panel's server: the page's files and the JSON API.
#include "board_api.h"
#include "board_queries.h"
#include "board_values.h"
#include "clock_list.h"
#include "errors.h"
#include "frequency_parse.h"
#include "page_files.h"
#include "panel_server.h"
#include "velnor_log.h"

#include <velnor_board_protocol.h>

#include <fstream>
#include <functional>

namespace velnor_panel {

using namespace velnorctl;

namespace {

// A JSON body larger than this is refused before it is parsed.
constexpr size_t largest_json_body = 64u << 10;

// At most this many event streams at once (each holds a server thread).
constexpr int most_streams = 16;

// The library's log lines shown at most (GET /api/log): the newest.
constexpr size_t most_log_lines = 500;

void reply(httplib::Response& response, int status, const json_t& document) {
    response.status = status;
    response.set_content(json_text(document), "application/json");
}

void reply_failure(httplib::Response& response) {
    const api_error_t failure = current_failure();
    reply(response, failure.status(), failure.body());
}

// The path's segments as the request sent them, each percent-decoded: a
// serial may hold any character, '/' (sent as %2F) included.
std::vector<std::string> path_segments(const httplib::Request& request) {
    const std::string raw = request.target.substr(0, request.target.find('?'));
    std::vector<std::string> segments;
    size_t at = 1;
    while (at <= raw.size()) {
        size_t end = raw.find('/', at);
        if (end == std::string::npos) {
            end = raw.size();
        }
        segments.push_back(httplib::detail::decode_url(raw.substr(at, end - at), false));
        at = end + 1;
    }
    return segments;
}

// The board's serial from /api/boards/SERIAL/..., in a path of count
// segments; 404 for a path of another shape (a serial with an unencoded '/').
std::string serial_of(const httplib::Request& request, size_t count) {
    const std::vector<std::string> segments = path_segments(request);
    if (segments.size() != count) {
        throw api_error_t(404, "nothing is served at " + request.path +
                                   " (a serial with '/' is sent as %2F)");
    }
    return segments[2];
}

json_t body_object(const httplib::Request& request) {
    if (request.body.size() > largest_json_body) {
        throw api_error_t(413, "the request's body is larger than " +
                                   std::to_string(largest_json_body) + " bytes");
    }
    json_t body = json_t::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        throw api_error_t(400, "the request's body is not a JSON object");
    }
    return body;
}

// A named value ("blink") or the board's number for it.
uint32_t value_of(const json_t& body, const char* key, const value_names_t& names) {
    if (!body.contains(key)) {
        throw api_error_t(400, std::string("the body has no \"") + key + "\"");
    }
    const json_t& value = body[key];
    if (value.is_number_unsigned() && value.get<uint64_t>() <= UINT32_MAX) {
        return value.get<uint32_t>();
    }
    if (!value.is_string()) {
        throw api_error_t(400, std::string("\"") + key + "\" is neither a name nor a number");
    }
    return parse_value(value.get<std::string>(), names, key);
}

// A whole number, or text as people type frequencies and registers ("125M", "0x1a").
std::string number_text(const json_t& body, const char* key) {
    if (!body.contains(key)) {
        throw api_error_t(400, std::string("the body has no \"") + key + "\"");
    }
    const json_t& value = body[key];
    if (value.is_number_integer()) {
        return value.dump();
    }
    if (value.is_string()) {
        return value.get<std::string>();
    }
    throw api_error_t(400, std::string("\"") + key + "\" is neither a whole number nor text");
}

int64_t frequency_of(const json_t& body, uint32_t mode) {
    const std::string text = number_text(body, "frequency_hz");
    const std::optional<int64_t> hertz = parse_frequency(text);
    if (!hertz) {
        throw api_error_t(400, "\"frequency_hz\" '" + text + "' is not a whole number of hertz");
    }
    return checked_clock_frequency(*hertz, mode);
}

// A refused frequency names its two producible neighbours, as the
// library's log line gives them.
void add_neighbours(api_error_t& failure) {
    if (failure.body().at("code") != VL_RC_INVALID_FREQUENCY ||
        !failure.body().at("log_line").is_string()) {
        return;
    }
    const frequency_probe_t probe =
        neighbours_in_log_line(failure.body().at("log_line").get<std::string>());
    json_t extra = failure.body();
    extra["nearest_hz"] = {probe.below ? json_t(*probe.below) : json_t(nullptr),
                           probe.above ? json_t(*probe.above) : json_t(nullptr)};
    failure = api_error_t(failure.status(), failure.what(), extra);
}

} // namespace

void panel_server_t::add_routes() {
    server_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            const verdict_t verdict = judge(gate_, request);
            if (verdict.status == 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            if (verdict.status == 401) {
                response.set_header("WWW-Authenticate", "Bearer");
            }
            reply(response, verdict.status, api_error_t(verdict.status, verdict.error).body());
            return httplib::Server::HandlerResponse::Handled;
        });
    server_.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty()) {
            return;
        }
        std::string message = "HTTP " + std::to_string(response.status);
        if (response.status == 404) {
            message = "nothing is served at " + request.path;
        } else if (response.status == 413) {
            message = "the request's body is larger than the panel takes (16 MiB for an image)";
        } else if (response.status == 405) {
            message = request.method + " is not served at " + request.path;
        }
        reply(response, response.status, api_error_t(response.status, message).body());
    });
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
            try {
                std::rethrow_exception(failure);
            } catch (...) {
                reply_failure(response);
            }
        });

    // The page, from the files built in. Anything else outside /api/ is 404.
    server_.Get(R"(/(?!api/).*)", [](const httplib::Request& request, httplib::Response& response) {
        const page_file_t* file = find_page_file(request.path);
        if (file == nullptr) {
            reply(response, 404, api_error_t(404, "nothing is served at " + request.path).body());
            return;
        }
        response.set_content(reinterpret_cast<const char*>(file->bytes), file->size, file->type);
    });

    // The page trades the token in its address's fragment for a cookie, so
    // that the event stream (which cannot send headers) carries it too.
    server_.Post(
        "/api/session", [this](const httplib::Request& request, httplib::Response& response) {
            if (!has_bearer_token(gate_, request)) {
                reply(response, 401,
                      api_error_t(401, "the session is started with 'Authorization: Bearer TOKEN'")
                          .body());
                return;
            }
            response.set_header("Set-Cookie", session_cookie(gate_));
            reply(response, 200, {{"session", true}});
        });

    server_.Get("/api/info", [](const httplib::Request&, httplib::Response& response) {
        try {
            reply(response, 200,
                  {{"panel", VELNOR_PANEL_VERSION},
                   {"library", version_text(read_library_version())},
#ifdef VELNORCTL_VIRTUAL
                   {"boards", "virtual"},
#else
                   {"boards", "real"},
#endif
                   {"log", velnor_log_path().u8string()}});
        } catch (...) {
            reply_failure(response);
        }
    });

    server_.Get("/api/boards", [](const httplib::Request&, httplib::Response& response) {
        try {
            reply(response, 200, board_list());
        } catch (...) {
            reply_failure(response);
        }
    });

    // Routes with a serial take it from the raw path; the longer shapes are
    // matched first.
    server_.Get(R"(/api/boards/(.+)/registers/([^/]+))", [](const httplib::Request& request,
                                                            httplib::Response& response) {
        try {
            const std::string serial = serial_of(request, 5);
            const uint32_t address = parse_register_address(path_segments(request)[4]);
            const board_handle_t board = open_by_serial(serial);
            reply(response, 200,
                  {{"address", address}, {"value", read_register(board.get(), address)}});
        } catch (...) {
            reply_failure(response);
        }
    });

    server_.Get(R"(/api/boards/(.+)/registers)",
                [](const httplib::Request& request, httplib::Response& response) {
                    try {
                        const board_handle_t board = open_by_serial(serial_of(request, 4));
                        json_t values = json_t::array();
                        for (uint32_t address = 0; address <= VLB_REGISTER_MAX; ++address) {
                            values.push_back(read_register(board.get(), address));
                        }
                        reply(response, 200, {{"registers", values}});
                    } catch (...) {
                        reply_failure(response);
                    }
                });

    server_.Get(R"(/api/boards/(.+))",
                [](const httplib::Request& request, httplib::Response& response) {
                    try {
                        const std::string serial = serial_of(request, 3);
                        const board_handle_t board = open_by_serial(serial);
                        reply(response, 200, board_state(board.get(), serial));
                    } catch (...) {
                        reply_failure(response);
                    }
                });

    // A change to one board: read the body into the change (400 before
    // anything is sent), find the board, apply, answer the board's state and
    // tell every page.
    using apply_t = std::function<void(vl_device*)>;
    using change_t = std::function<apply_t(const json_t&)>;
    const auto changing = [this](change_t change) {
        return [this, change](const httplib::Request& request, httplib::Response& response) {
            try {
                const apply_t apply = change(body_object(request));
                const std::string serial = serial_of(request, 4);
                const board_handle_t board = open_by_serial(serial);
                apply(board.get());
                const json_t state = board_state(board.get(), serial);
                events_.publish("board", json_text(state));
                reply(response, 200, state);
            } catch (...) {
                reply_failure(response);
            }
        };
    };

    server_.Put(R"(/api/boards/(.+)/led)", changing([](const json_t& body) -> apply_t {
                    const uint32_t led = value_of(body, "led", led_names());
                    return [led](vl_device* board) {
                        VLCTL_CALL(vl_device_set_id_led_state, board, led);
                    };
                }));

    server_.Put(R"(/api/boards/(.+)/trigger)", changing([](const json_t& body) -> apply_t {
                    if (!body.contains("polarity") && !body.contains("status")) {
                        throw api_error_t(400, "the body has neither \"polarity\" nor \"status\"");
                    }
                    std::optional<uint32_t> polarity;
                    std::optional<uint32_t> status;
                    if (body.contains("polarity")) {
                        polarity = value_of(body, "polarity", polarity_names());
                    }
                    if (body.contains("status")) {
                        status = value_of(body, "status", trigger_command_names());
                    }
                    return [polarity, status](vl_device* board) {
                        if (polarity) {
                            VLCTL_CALL(vl_device_set_trigger_polarity, board, *polarity);
                        }
                        if (status) {
                            VLCTL_CALL(vl_device_set_trigger_status, board, *status);
                        }
                    };
                }));

    server_.Put(R"(/api/boards/(.+)/clock)", changing([](const json_t& body) -> apply_t {
                    vl_clock clock{};
                    clock.mode = body.contains("mode") ? value_of(body, "mode", clock_mode_names())
                                                       : uint32_t{VL_CLOCK_MODE_INTERNAL};
                    clock.frequency_hz = frequency_of(body, clock.mode);
                    return [clock](vl_device* board) {
                        try {
                            VLCTL_CALL(vl_device_set_clock, board, &clock);
                        } catch (...) {
                            api_error_t failure = current_failure();
                            add_neighbours(failure);
                            throw failure;
                        }
                    };
                }));

    server_.Put(R"(/api/boards/(.+)/registers/([^/]+))", [this](const httplib::Request& request,
                                                                httplib::Response& response) {
        try {
            const std::string serial = serial_of(request, 5);
            const uint32_t address = parse_register_address(path_segments(request)[4]);
            const uint32_t value = parse_register_value(number_text(body_object(request), "value"));
            const board_handle_t board = open_by_serial(serial);
            VLCTL_CALL(vl_device_ad9516_reg_write, board.get(),
                       VL_AD9516_REG_WRITE_VALUE(address, value));
            const json_t written = {{"serial", serial},
                                    {"address", address},
                                    {"value", read_register(board.get(), address)}};
            events_.publish("register", json_text(written));
            reply(response, 200, written);
        } catch (...) {
            reply_failure(response);
        }
    });

    // What an image's header says, before anything is sent to a board.
    server_.Post("/api/firmware/check",
                 [](const httplib::Request& request, httplib::Response& response) {
                     try {
                         const std::vector<uint8_t> image(request.body.begin(), request.body.end());
                         reply(response, 200, image_facts(check_image(image), image.size()));
                     } catch (...) {
                         reply_failure(response);
                     }
                 });

    server_.Post(R"(/api/boards/(.+)/firmware)", [this](const httplib::Request& request,
                                                        httplib::Response& response) {
        try {
            std::vector<uint8_t> image(request.body.begin(), request.body.end());
            const image_info_t info = check_image(image);
            const std::string serial = serial_of(request, 4);
            board_handle_t board = open_by_serial(serial);
            reply(response, 202, updates_.start(serial, std::move(board), std::move(image), info));
        } catch (...) {
            reply_failure(response);
        }
    });

    server_.Get("/api/updates", [this](const httplib::Request&, httplib::Response& response) {
        reply(response, 200, updates_.summary());
    });

    // Where a producible frequency lies: the page offers the neighbours.
    server_.Get("/api/clock/near",
                [](const httplib::Request& request, httplib::Response& response) {
                    try {
                        const std::string text = request.get_param_value("frequency_hz");
                        const std::optional<int64_t> hertz = parse_frequency(text);
                        if (!hertz) {
                            throw api_error_t(400, "frequency_hz '" + text +
                                                       "' is not a whole number of hertz");
                        }
                        const frequency_probe_t probe = probe_frequency(*hertz);
                        reply(response, 200,
                              {{"frequency_hz", *hertz},
                               {"producible", probe.producible},
                               {"nearest_hz",
                                {probe.below ? json_t(*probe.below) : json_t(nullptr),
                                 probe.above ? json_t(*probe.above) : json_t(nullptr)}}});
                    } catch (...) {
                        reply_failure(response);
                    }
                });

    // The library's failure lines of this run: its log in the panel's own folder.
    server_.Get("/api/log", [](const httplib::Request&, httplib::Response& response) {
        std::vector<std::string> lines;
        std::ifstream log(velnor_log_path());
        for (std::string line; std::getline(log, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        if (lines.size() > most_log_lines) {
            lines.erase(lines.begin(), lines.end() - most_log_lines);
        }
        reply(response, 200, {{"path", velnor_log_path().u8string()}, {"lines", lines}});
    });

    server_.Get(
        "/api/events", [this](const httplib::Request& request, httplib::Response& response) {
            if (++streams_ > most_streams) {
                --streams_;
                reply(response, 503,
                      api_error_t(503, "the panel serves at most " + std::to_string(most_streams) +
                                           " event streams at once; close a tab")
                          .body());
                return;
            }
            // A stream that comes back after a break names the last event it had.
            uint64_t after = events_.last_id();
            const std::string last = request.get_header_value("Last-Event-ID");
            if (!last.empty() && last.find_first_not_of("0123456789") == std::string::npos &&
                last.size() < 20) {
                after = std::min<uint64_t>(std::stoull(last), after);
            }
            response.set_header("X-Accel-Buffering", "no");
            response.set_chunked_content_provider(
                "text/event-stream",
                [this, after, first = true](size_t, httplib::DataSink& sink) mutable {
                    std::string text;
                    if (first) {
                        first = false;
                        text = "retry: 1000\n: velnor panel events\n\n";
                        sink.write(text.data(), text.size());
                        text.clear();
                    }
                    const std::vector<panel_event_t> found =
                        events_.events_after(after, std::chrono::seconds(10));
                    if (events_.closed()) {
                        sink.done();
                        return true;
                    }
                    if (!found.empty() && found.front().id > after + 1) {
                        // Older events than the stream asked for are gone: the page reloads.
                        text += "event: resync\ndata: {}\n\n";
                    }
                    for (const panel_event_t& event : found) {
                        text += "id: " + std::to_string(event.id) + "\nevent: " + event.type +
                                "\ndata: " + event.data + "\n\n";
                        after = event.id;
                    }
                    if (text.empty()) {
                        text = ": still here\n\n";
                    }
                    return sink.write(text.data(), text.size());
                },
                [this](bool) { --streams_; });
        });
}

} // namespace velnor_panel

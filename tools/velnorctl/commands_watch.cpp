// watch: a line for every board that arrives or leaves, as it happens, until
// a number of events, a time-out, or Ctrl-C and its kin.
#include "board_serials.h"
#include "board_values.h"
#include "board_watch.h"
#include "commands.h"
#include "errors.h"
#include "interrupt.h"
#include "output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace velnorctl {

namespace {

struct watch_arguments_t {
    bool present = false;
    bool json = false;
    std::optional<std::string> count;
    std::optional<std::string> timeout;
};

using steady_t = std::chrono::steady_clock;

// The longest --timeout: a year, well inside what the clock can hold.
constexpr int64_t longest_timeout_s = 31536000;

// A signal is only recorded by its handler; the main thread looks at the
// record between its waits on the queue, so a stop takes at most this long.
constexpr std::chrono::milliseconds signal_check{50};

// The serial column's width: the path after it lines up below the others
// unless a serial is longer.
constexpr size_t serial_width = 16;

uint64_t parse_count(const std::string& text) {
    uint64_t count = 0;
    try {
        count = parse_number(text, 0xFFFFFFFFu, "--count");
    } catch (const tool_error_t&) {
    }
    if (count == 0) {
        throw tool_error_t(exit_code_t::usage, "--count '" + printable(text) +
                                                   "' is not a number of events (1, 2, 3, ...)");
    }
    return count;
}

steady_t::duration parse_watch_timeout(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) ||
        seconds < 0.001 || seconds > static_cast<double>(longest_timeout_s)) {
        throw tool_error_t(exit_code_t::usage, "--timeout '" + printable(text) +
                                                   "' is not a number of seconds from 0.001 to " +
                                                   std::to_string(longest_timeout_s));
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

void print_event(const board_event_t& event, const std::optional<std::string>& serial, bool json) {
    const std::string time = local_time_text(event.heard);
    const char* const what = event.kind == VL_WATCH_ARRIVED ? "arrived" : "removed";
    if (json) {
        print_json(std::cout, {{"time", time},
                               {"event", what},
                               {"serial", serial ? json_t(*serial) : json_t(nullptr)},
                               {"path", event.path}});
    } else {
        std::string shown = serial ? printable(*serial) : "-";
        shown.append(serial_width - std::min(display_width(shown), serial_width), ' ');
        std::cout << time << "  " << what << "  " << shown << "  " << printable(event.path) << '\n';
    }
    std::cout.flush(); // a script or a terminal sees each event as it happens
}

void watch_boards(const watch_arguments_t& arguments) {
    std::optional<uint64_t> count;
    if (arguments.count) {
        count = parse_count(*arguments.count);
    }
    std::optional<steady_t::time_point> deadline;
    if (arguments.timeout) {
        deadline = steady_t::now() + parse_watch_timeout(*arguments.timeout);
    }
    // Made in this order, undone in the reverse: the watch is stopped (no
    // callback running) before its queue goes, and both before the signals
    // are let go.
    const interrupt_guard_t guard;
    board_event_queue_t queue;
    const watch_handle_t watch = start_board_watch(arguments.present, queue);
    board_serials_t serials;
    for (uint64_t printed = 0; !count || printed < *count;) {
        if (interrupt_guard_t::pending() != exit_code_t::ok) {
            throw reported_failure_t(interrupt_guard_t::pending());
        }
        const steady_t::time_point now = steady_t::now();
        if (deadline && now >= *deadline) {
            return;
        }
        const steady_t::time_point until =
            deadline ? std::min(now + signal_check, *deadline) : now + signal_check;
        const std::optional<board_event_t> event = queue.pop_until(until);
        if (!event) {
            continue;
        }
        print_event(*event,
                    event->kind == VL_WATCH_ARRIVED ? serials.arrived(event->path)
                                                    : serials.removed(event->path),
                    arguments.json);
        if (!std::cout) {
            return; // the exit says standard output could not be written
        }
        ++printed;
    }
}

} // namespace

void add_watch_command(CLI::App& app, action_t& chosen) {
    auto arguments = std::make_shared<watch_arguments_t>();
    CLI::App* watch = app.add_subcommand(
        "watch", "Print a line for every board that arrives or leaves, as it happens, until "
                 "Ctrl-C, --count or --timeout");
    watch->add_flag("--present", arguments->present,
                    "Report the boards present at the start first, as arrivals");
    watch->add_flag("--json", arguments->json, "Print one JSON object per event");
    // Taken as text and checked by the command, as the tool's other values are.
    watch->add_option("--count", arguments->count, "End after this many events (exit 0)")
        ->type_name("N");
    watch
        ->add_option("--timeout", arguments->timeout,
                     "End after this many seconds (decimals allowed), with or without events "
                     "(exit 0)")
        ->type_name("SECONDS");
    watch->callback([arguments, &chosen] { chosen = [arguments] { watch_boards(*arguments); }; });
}

} // namespace velnorctl

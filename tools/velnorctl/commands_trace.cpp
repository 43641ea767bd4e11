// velnorctl trace show: the records of a trace the recording build wrote,
// one line each. Works on every build: it reads the file, never a board.
#include "commands.h"
#include "errors.h"
#include "output.h"
#include "text_escape.h"
#include "trace_records.h"

#include <trace_file.h>

#include <iostream>
#include <memory>

namespace velnorctl {

namespace {

struct show_arguments_t {
    std::string file;
    bool json = false;
};

// As the virtual platform's replay reads it: a regular file only, at most
// its first 1 GiB (the rest is named as damage).
velnor::sim::trace_t read_trace_file(const std::string& file) {
    velnor::sim::trace_t trace;
    std::string error;
    switch (velnor::sim::load_trace_file(file, trace, error)) {
    case velnor::sim::trace_load_t::loaded:
        return trace;
    case velnor::sim::trace_load_t::unreadable:
        throw tool_error_t(exit_code_t::file, "trace '" + printable(file) + "' refused: " + error);
    case velnor::sim::trace_load_t::not_a_trace:
        break;
    }
    throw tool_error_t(exit_code_t::file,
                       "'" + printable(file) + "' is not a Velnor trace: " + error);
}

void show_trace(const show_arguments_t& arguments) {
    const velnor::sim::trace_t trace = read_trace_file(arguments.file);
    if (arguments.json) {
        print_json(std::cout, trace_json(arguments.file, trace));
    } else {
        std::cout << printable(trace.application) << ", " << trace.records.size()
                  << (trace.records.size() == 1 ? " record" : " records") << '\n';
        for (const std::string& line : trace_board_lines(trace)) {
            std::cout << line << '\n';
        }
        print_table(std::cout, trace_rows(trace));
    }
    // What was whole is shown; the damage after it (a trace cut short by a
    // crash or a full disk) makes the run fail.
    if (!trace.damage.empty()) {
        std::cout.flush();
        throw tool_error_t(exit_code_t::file,
                           "'" + printable(arguments.file) + "' is damaged after record " +
                               std::to_string(trace.records.back().sequence) + ": " + trace.damage);
    }
}

} // namespace

void add_trace_commands(CLI::App& app, action_t& chosen) {
    CLI::App* trace = app.add_subcommand("trace", "Read traces the recording build wrote");
    trace->require_subcommand(1);
    auto show_arguments = std::make_shared<show_arguments_t>();
    CLI::App* show = trace->add_subcommand(
        "show", "One line per record: sequence, time since the first, thread, call, board, "
                "request, input, result, input and output bytes");
    show->add_option("FILE", show_arguments->file, "The trace (Velnor-trace-*.pcapng)")->required();
    show->add_flag("--json", show_arguments->json, "Print one JSON object instead of the table");
    show->callback(
        [show_arguments, &chosen] { chosen = [show_arguments] { show_trace(*show_arguments); }; });
}

} // namespace velnorctl

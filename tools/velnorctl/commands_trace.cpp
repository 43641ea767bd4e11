// velnorctl trace show: the records of a trace the recording build wrote,
// one line each. Works on every build: it reads the file, never a board.
#include "commands.h"
#include "errors.h"
#include "files.h"
#include "output.h"
#include "text_escape.h"
#include "trace_records.h"

#include <trace_reader.h>

#include <iostream>
#include <memory>

namespace velnorctl {

namespace {

// As the virtual platform's replay: a larger trace is refused, not read.
constexpr uint64_t trace_size_limit = uint64_t{1} << 30;

struct show_arguments_t {
    std::string file;
    bool json = false;
};

velnor::sim::trace_t read_trace_file(const std::string& file) {
    const std::string quoted = "'" + printable(file) + "'";
    const uint64_t size = regular_file_size(file);
    if (size > trace_size_limit) {
        throw tool_error_t(exit_code_t::file, quoted + " holds " + std::to_string(size) +
                                                  " bytes, more than the 1 GiB a trace may hold");
    }
    const std::vector<uint8_t> bytes = read_prefix(file, size);
    velnor::sim::trace_t trace;
    std::string error;
    if (!velnor::sim::read_trace(bytes.data(), bytes.size(), trace, error)) {
        throw tool_error_t(exit_code_t::file, quoted + " is not a Velnor trace: " + error);
    }
    return trace;
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
    show->add_option("FILE", show_arguments->file, "The trace (Velnor-trace-<pid>.pcapng)")
        ->required();
    show->add_flag("--json", show_arguments->json, "Print one JSON object instead of the table");
    show->callback(
        [show_arguments, &chosen] { chosen = [show_arguments] { show_trace(*show_arguments); }; });
}

} // namespace velnorctl

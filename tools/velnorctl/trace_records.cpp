#include "trace_records.h"

#include "text_escape.h"

#include <trace_boards.h>
#include <trace_words.h>
#include <velnor_trace_format.h>

#include <cstdio>
#include <cstring>

namespace velnorctl {

using velnor::sim::trace_record_t;
using velnor::sim::trace_t;

namespace {

std::string seconds(uint64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%09llu",
                  static_cast<unsigned long long>(ns / 1000000000),
                  static_cast<unsigned long long>(ns % 1000000000));
    return text;
}

uint64_t since_first(const trace_t& trace, const trace_record_t& record) {
    const uint64_t first = trace.records.front().time_ns;
    return record.time_ns > first ? record.time_ns - first : 0;
}

std::string or_dash(const std::optional<std::string>& text) {
    return text ? *text : "-";
}

} // namespace

record_view_t view_record(const trace_record_t& record,
                          const std::vector<std::optional<uint32_t>>& board_numbers) {
    record_view_t view;
    view.call = velnor::sim::trace_kind_name(record.kind);
    if (record.interface_id < board_numbers.size()) {
        view.board = board_numbers[record.interface_id];
    }
    view.input = "-";
    if (record.kind == VLTR_LIST_FETCH) {
        view.input = std::to_string(record.p[1]) + " characters";
    } else if (record.kind == VLTR_IO_CONTROL) {
        view.control_code = record.p[0];
        view.request = velnor::sim::trace_request_words(record.p[0]);
        view.input = velnor::sim::trace_input_words(record.p[0], record.in);
    }
    view.result = velnor::sim::trace_result_words(record, view.status);
    return view;
}

std::vector<std::vector<std::string>> trace_rows(const trace_t& trace) {
    std::vector<std::vector<std::string>> rows = {
        {"SEQ", "TIME", "THREAD", "CALL", "BOARD", "REQUEST", "INPUT", "RESULT", "IN", "OUT"}};
    const auto numbers = velnor::sim::trace_board_numbers(trace);
    for (const trace_record_t& record : trace.records) {
        const record_view_t view = view_record(record, numbers);
        rows.push_back({std::to_string(record.sequence), seconds(since_first(trace, record)),
                        std::to_string(record.thread), view.call,
                        view.board ? std::to_string(*view.board) : "-", or_dash(view.request),
                        view.input, view.result, std::to_string(record.in.size()),
                        std::to_string(record.out.size())});
    }
    return rows;
}

std::vector<std::string> trace_board_lines(const trace_t& trace) {
    std::vector<std::string> lines;
    for (const velnor::sim::trace_board_t& board : velnor::sim::trace_boards(trace)) {
        lines.push_back("board " + std::to_string(board.number) + "  " +
                        printable(trace.interfaces[board.interface_id]));
    }
    return lines;
}

json_t trace_json(const std::string& file, const trace_t& trace) {
    // Each board's path at its number; a number no opened path has is null.
    const std::vector<velnor::sim::trace_board_t> listed = velnor::sim::trace_boards(trace);
    json_t boards = json_t::array();
    for (const velnor::sim::trace_board_t& board : listed) {
        while (boards.size() < board.number) {
            boards.push_back(nullptr);
        }
        boards.push_back(trace.interfaces[board.interface_id]);
    }
    const auto numbers = velnor::sim::trace_board_numbers(trace);
    json_t records = json_t::array();
    for (const trace_record_t& record : trace.records) {
        const record_view_t view = view_record(record, numbers);
        json_t entry = {{"sequence", record.sequence},
                        {"time_ns", since_first(trace, record)},
                        {"thread", record.thread},
                        {"call", view.call},
                        {"board", nullptr},
                        {"request", nullptr},
                        {"control_code", nullptr},
                        {"input", view.input == "-" ? json_t(nullptr) : json_t(view.input)},
                        {"result", record.result},
                        {"result_text", view.result},
                        {"status", nullptr},
                        {"last_error", record.last_error},
                        {"in_bytes", record.in.size()},
                        {"out_bytes", record.out.size()}};
        if (view.board) {
            entry["board"] = *view.board;
        }
        if (view.request) {
            entry["request"] = *view.request;
            entry["control_code"] = *view.control_code;
        }
        if (view.status) {
            entry["status"] = *view.status;
        }
        records.push_back(std::move(entry));
    }
    return {{"file", file},
            {"application", trace.application},
            {"boards", boards},
            {"records", records},
            {"damage", trace.damage.empty() ? json_t(nullptr) : json_t(trace.damage)}};
}

} // namespace velnorctl

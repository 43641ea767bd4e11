// The board commands, registered on a CLI11 app. A command's callback only
// records what to run; the caller runs it after the whole line is parsed, so
// global options (--board, --boards) are in effect first.
#pragma once

#include "session.h"

#include <CLI/CLI.hpp>

#include <functional>

namespace velnorctl {

using action_t = std::function<void()>;

void add_list_commands(CLI::App& app, session_t& session, action_t& chosen); // list, info
void add_setting_commands(CLI::App& app, session_t& session,
                          action_t& chosen); // led, trigger, clock, reg
void add_firmware_commands(CLI::App& app, session_t& session,
                           action_t& chosen); // firmware pack/check/update

// trace show: reads a file, needs no board; not offered in the shell.
void add_trace_commands(CLI::App& app, action_t& chosen);

// record -- COMMAND...: runs a program on the recording build (Linux only;
// the Windows tool registers nothing); not offered in the shell.
void add_record_command(CLI::App& app, action_t& chosen);

// watch: runs until stopped, so not offered in the shell.
void add_watch_command(CLI::App& app, action_t& chosen);

// Every board command above; what the shell offers.
void add_board_commands(CLI::App& app, session_t& session, action_t& chosen);

} // namespace velnorctl

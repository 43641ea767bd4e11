// The shell: board commands read line by line from a stream, all on one
// board opened once, so the board keeps its state from one command to the
// next. Words are split as shell_words.h says; blank lines and comments are
// skipped; "quit" or "exit" ends the session, "help" lists the commands.
// Messages name the line they come from when the input is not a terminal.
#pragma once

#include "errors.h"
#include "session.h"

#include <istream>

namespace velnorctl {

// Runs every command of the stream. A failing command is reported and the
// session goes on; the result is the exit code of the last command that
// failed, or exit_code_t::ok. A firmware update stopped by SIGTERM ends the
// session at once (exit_code_t::terminated); one stopped by SIGINT (Ctrl-C)
// is reset and the session goes on with the next line.
exit_code_t run_shell(session_t& session, std::istream& in, bool interactive);

} // namespace velnorctl

// The shell: board commands read line by line from a stream, all on one
// board opened once, so the board keeps its state from one command to the
// next. Blank lines and lines starting with '#' are skipped; "quit" or
// "exit" ends the session, "help" lists the commands.
#pragma once

#include "errors.h"
#include "session.h"

#include <istream>

namespace velnorctl {

// Runs every command of the stream. A failing command is reported and the
// session goes on; the result is the exit code of the last command that
// failed, or exit_code_t::ok.
exit_code_t run_shell(session_t& session, std::istream& in, bool interactive);

} // namespace velnorctl

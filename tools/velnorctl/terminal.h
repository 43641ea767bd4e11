// Whether standard input and output are terminals: the shell prompts and the
// update draws its progress bar only then.
#pragma once

namespace velnorctl {

bool stdin_is_terminal();
bool stdout_is_terminal();

} // namespace velnorctl

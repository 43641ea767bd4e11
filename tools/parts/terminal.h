// Whether standard input and output are terminals (the shell prompts and the
// update draws its progress bar only then), and a closed standard output.
// Implemented with the rest of the system calls in platform_windows.cpp and
// platform_posix.cpp.
#pragma once

namespace velnorctl {

bool stdin_is_terminal();
bool stdout_is_terminal();

// When standard output is closed, puts the null device in its place (so that
// no file the process opens later takes its number and receives the output)
// and returns true.
bool protect_closed_stdout();

} // namespace velnorctl

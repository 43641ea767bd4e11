#include "terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velnorctl {

namespace {

bool is_terminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

} // namespace

bool stdin_is_terminal() {
    return is_terminal(stdin);
}

bool stdout_is_terminal() {
    return is_terminal(stdout);
}

bool protect_closed_stdout() {
#ifdef _WIN32
    return false;
#else
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1) {
        return false;
    }
    const int null = open("/dev/null", O_WRONLY);
    if (null != -1 && null != STDOUT_FILENO) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return true;
#endif
}

} // namespace velnorctl

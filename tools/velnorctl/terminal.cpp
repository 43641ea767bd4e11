#include "terminal.h"

#ifdef _WIN32
#include <io.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velnorctl {

bool stdin_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

bool stdout_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
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

#include "panel_platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace velnor_panel {

void set_exclusive_listen(socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

std::string open_in_browser(const std::string& address) {
    // xdg-open hands the address to the desktop's browser; its own output
    // (and the browser's) would mix with the panel's, so it goes nowhere.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The browser starts as it would from a shell: no signal blocked (the
    // panel holds its stop signals for one thread) and SIGPIPE and SIGXFSZ
    // at their defaults (the panel ignores them).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char program[] = "xdg-open";
    std::string argument = address;
    char* arguments[] = {program, argument.data(), nullptr};
    pid_t child = 0;
    const int failed = posix_spawnp(&child, program, &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return std::string("xdg-open: ") + std::strerror(failed);
    }
    // Reaped when it ends, so it leaves no zombie behind.
    std::thread([child] {
        int status = 0;
        while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
        }
    }).detach();
    return {};
}

} // namespace velnor_panel

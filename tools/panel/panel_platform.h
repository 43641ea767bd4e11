// What the panel asks of the operating system, one file per system: its
// listening socket's options, and opening its address in the user's
// default browser.
#pragma once

#include <httplib.h>

#include <string>

namespace velnor_panel {

// The listening socket is the panel's alone: on POSIX systems SO_REUSEADDR
// only (a restart binds the port while old connections wait out their
// TIME_WAIT) and never SO_REUSEPORT, which would let a second panel listen
// on the same port and share its requests; on Windows SO_EXCLUSIVEADDRUSE.
void set_exclusive_listen(socket_t socket);

// Asks the system to open address in the default browser and returns
// without waiting for it; the reason when it could not be asked (no
// browser, no desktop), else empty.
std::string open_in_browser(const std::string& address);

} // namespace velnor_panel

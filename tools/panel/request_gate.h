// What every request passes before it reaches a board or the page:
// - its Host is the address the panel serves (a page of another site that
//   had its name point at 127.0.0.1 sends its own name: DNS rebinding);
// - a changing request (POST, PUT, DELETE, PATCH) comes from the panel's
//   own page or from a script, never from another site's page (CSRF);
// - an API request carries the token, as "Authorization: Bearer TOKEN" or
//   in the cookie the page got for it.
#pragma once

#include <httplib.h>

#include <string>
#include <vector>

namespace velnor_panel {

struct gate_t {
    std::string token;
    std::vector<std::string> hosts; // the Host values accepted; empty: any
    std::string cookie_name;        // the cookie that carries the token
};

struct verdict_t {
    int status = 0;    // 0: let in; else 401, 403 or 421
    std::string error; // why not, for the JSON answer
};

verdict_t judge(const gate_t& gate, const httplib::Request& request);

// Whether the request carries the token in its Authorization header (the
// one way the page trades the token for the cookie).
bool has_bearer_token(const gate_t& gate, const httplib::Request& request);

// "velnor_panel_PORT=TOKEN; HttpOnly; SameSite=Strict; Path=/": a cookie
// of this panel's own, so that panels on two ports of one host do not take
// each other's.
std::string session_cookie(const gate_t& gate);

} // namespace velnor_panel

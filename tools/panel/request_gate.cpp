#include "request_gate.h"

#include "panel_token.h"

#include <algorithm>
#include <cctype>

namespace velnor_panel {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool changes_something(const std::string& method) {
    return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

// The token from "Cookie: a=1; velnor_panel_PORT=TOKEN; b=2", if there.
std::string cookie_value(const httplib::Request& request, const std::string& name) {
    const std::string header = request.get_header_value("Cookie");
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find(';', at);
        if (end == std::string::npos) {
            end = header.size();
        }
        std::string pair = header.substr(at, end - at);
        const size_t first = pair.find_first_not_of(' ');
        pair.erase(0, first == std::string::npos ? pair.size() : first);
        if (pair.compare(0, name.size() + 1, name + "=") == 0) {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

} // namespace

bool has_bearer_token(const gate_t& gate, const httplib::Request& request) {
    static const std::string scheme = "Bearer ";
    const std::string header = request.get_header_value("Authorization");
    return header.size() > scheme.size() && header.compare(0, scheme.size(), scheme) == 0 &&
           same_token(header.substr(scheme.size()), gate.token);
}

verdict_t judge(const gate_t& gate, const httplib::Request& request) {
    const std::string host = lower(request.get_header_value("Host"));
    if (!gate.hosts.empty() &&
        std::find(gate.hosts.begin(), gate.hosts.end(), host) == gate.hosts.end()) {
        return {421, "this panel serves " + gate.hosts.front() + ", not the host '" + host +
                         "' the request names"};
    }
    if (changes_something(request.method)) {
        // Browsers send Origin with every changing request and Sec-Fetch-Site
        // with every request; scripts send neither.
        const std::string origin = lower(request.get_header_value("Origin"));
        if (request.has_header("Origin") && origin != "http://" + host) {
            return {403, "a page of another site (" + origin +
                             ") may not change anything through this panel"};
        }
        if (lower(request.get_header_value("Sec-Fetch-Site")) == "cross-site") {
            return {403, "a page of another site may not change anything through this panel"};
        }
    }
    const bool api = request.path.compare(0, 5, "/api/") == 0;
    if (api && !has_bearer_token(gate, request) &&
        !same_token(cookie_value(request, gate.cookie_name), gate.token)) {
        return {401, "this panel needs its token: open the address it printed, or send "
                     "'Authorization: Bearer TOKEN'"};
    }
    return {};
}

std::string session_cookie(const gate_t& gate) {
    return gate.cookie_name + "=" + gate.token + "; HttpOnly; SameSite=Strict; Path=/";
}

} // namespace velnor_panel

#include "panel_server.h"

#include "board_api.h"
#include "errors.h"
#include "panel_platform.h"

#include <algorithm>
#include <cctype>

namespace velnor_panel {

using namespace velnorctl;

namespace {

// The largest body the panel reads: a firmware image of 16 MiB. JSON bodies
// are held to far less by the routes themselves.
constexpr size_t largest_body = 16u << 20;

// One thread per open event stream, and some for the requests beside them.
constexpr size_t server_threads = 24;

bool is_wildcard(const std::string& host) {
    return host == "0.0.0.0" || host == "::" || host == "[::]";
}

std::string bracketed(const std::string& host) {
    return host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

panel_server_t::panel_server_t(panel_settings_t settings)
    : settings_(std::move(settings)), updates_(events_, settings_.update) {
    gate_.token = settings_.token;
    server_.new_task_queue = [] {
        // The server takes ownership of its task queue and deletes it.
        return std::make_unique<httplib::ThreadPool>(server_threads).release();
    };
    server_.set_socket_options(set_exclusive_listen);
    // An answer goes out in several writes (headers, body); without this the
    // last one waits for the client's delayed acknowledgement, some 40 ms.
    server_.set_tcp_nodelay(true);
    server_.set_payload_max_length(largest_body);
    // Short waits for a client, so that a stop is not held up by a
    // connection that sends nothing.
    server_.set_read_timeout(std::chrono::seconds(5));
    server_.set_write_timeout(std::chrono::seconds(5));
    server_.set_keep_alive_timeout(2);
    server_.set_default_headers({
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy",
         "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
         "frame-ancestors 'none'; form-action 'none'"},
    });
    add_routes();
}

panel_server_t::~panel_server_t() {
    stop("the panel is stopping");
    if (watcher_.joinable()) {
        watcher_.join();
    }
}

int panel_server_t::bind() {
    const std::string host =
        settings_.host.size() > 2 && settings_.host.front() == '[' && settings_.host.back() == ']'
            ? settings_.host.substr(1, settings_.host.size() - 2)
            : settings_.host;
    int port = settings_.port;
    if (port == 0) {
        port = server_.bind_to_any_port(host);
    } else if (!server_.bind_to_port(host, port)) {
        port = -1;
    }
    if (port <= 0) {
        throw tool_error_t(exit_code_t::usage, "cannot listen on " + bracketed(host) + ":" +
                                                   std::to_string(settings_.port) +
                                                   " (the address is not this machine's, or the "
                                                   "port is taken)");
    }
    settings_.port = port;
    const std::string suffix = ":" + std::to_string(port);
    gate_.cookie_name = "velnor_panel_" + std::to_string(port);
    gate_.hosts.clear();
    if (host == "127.0.0.1" || lower(host) == "localhost") {
        gate_.hosts = {"127.0.0.1" + suffix, "localhost" + suffix};
    } else if (!is_wildcard(host)) {
        gate_.hosts = {lower(bracketed(host)) + suffix};
    }
    return port;
}

std::string panel_server_t::address() const {
    const std::string host = is_wildcard(settings_.host) ? "127.0.0.1" : bracketed(settings_.host);
    return "http://" + host + ":" + std::to_string(settings_.port) + "/#token=" + settings_.token;
}

void panel_server_t::serve() {
    watcher_ = std::thread([this] { watch_boards(); });
    server_.listen_after_bind();
}

size_t panel_server_t::stop(const std::string& why) {
    size_t stopped = 0;
    if (!stopping_.exchange(true)) {
        stopped = updates_.stop_all(why);
        events_.close();
    }
    // Does nothing before the server listens: the caller asks again until
    // serve() has returned.
    server_.stop();
    return stopped;
}

void panel_server_t::watch_boards() {
    board_event_queue_t queue;
    watch_handle_t watch;
    try {
        watch = start_board_watch(
            true, queue); // the boards present first: their serials are known when they leave
    } catch (...) {
        // The list still works; it is only not live. The page is told.
        events_.publish("watch", json_text({{"live", false}, {"error", current_failure().body()}}));
        return;
    }
    board_serials_t serials;
    while (!stopping_) {
        const std::optional<board_event_t> event =
            queue.pop_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
        if (!event) {
            continue;
        }
        const bool arrived = event->kind == VL_WATCH_ARRIVED;
        const std::optional<std::string> serial =
            arrived ? serials.arrived(event->path) : serials.removed(event->path);
        events_.publish(arrived ? "arrived" : "removed",
                        json_text({{"path", event->path},
                                   {"serial", serial ? json_t(*serial) : json_t(nullptr)}}));
    }
}

} // namespace velnor_panel

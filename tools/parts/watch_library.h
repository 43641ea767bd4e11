// The watcher's two calls as the tool reaches them. On Windows
// VelnorWatch.dll is loaded from the tool's own folder when `watch` first
// needs it, so that every other command starts with Velnor.dll alone beside
// the tool; elsewhere the watcher is linked.
#pragma once

#include <velnor_watch.h>

namespace velnorctl {

struct watch_calls_t {
    int32_t (*start)(uint32_t, vl_watch_callback, void*, vl_watch**) = nullptr;
    int32_t (*stop)(vl_watch*) = nullptr;
};

// Throws tool_error_t (exit_code_t::library) naming the file and the
// system's reason when the watcher cannot be loaded.
const watch_calls_t& watch_calls();

} // namespace velnorctl

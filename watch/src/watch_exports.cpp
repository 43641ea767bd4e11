// The watcher's exports: argument checks, then the watch, inside the same
// boundary frame as Velnor.dll's exports (one log line and a result code
// for whatever fails; no exception crosses the boundary).
#include "watcher.h"

#include "api/frame.h"
#include "error/error_category.h"

#include <memory>

extern "C" VL_WATCH_API int32_t vl_watch_start(uint32_t flags, vl_watch_callback callback,
                                               void* context, vl_watch** watch) {
    return velnor::run_export("vl_watch_start", [&] {
        if (callback == nullptr) {
            velnor::raise(VL_RC_NULL_PARAMETER, "callback is null");
        }
        velnor::require(watch, "watch is null");
        auto started = std::make_unique<vl_watch>(flags, callback, context);
        started->start();
        *watch = started.release();
    });
}

extern "C" VL_WATCH_API int32_t vl_watch_stop(vl_watch* watch) {
    return velnor::run_export("vl_watch_stop", [&] {
        velnor::require(watch, "watch is null");
        vl_watch::stop(std::unique_ptr<vl_watch>(watch));
    });
}

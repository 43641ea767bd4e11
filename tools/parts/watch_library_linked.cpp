#include "watch_library.h"

namespace velnorctl {

const watch_calls_t& watch_calls() {
    static const watch_calls_t calls{&vl_watch_start, &vl_watch_stop};
    return calls;
}

} // namespace velnorctl

#include "api/frame.h"
#include "error/error_category.h"

#include <cstring>

extern "C" VL_API vl_rc vl_get_library_version(vl_version* version) {
    return velnor::run_export("vl_get_library_version", [&] {
        velnor::require(version, "version is null");
        version->major = 1;
        version->minor = 0;
        version->patch = 2;
        std::strncpy(version->text, "1.0.2", sizeof version->text);
    });
}

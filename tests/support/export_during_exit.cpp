// A process that returns from main while a second thread is inside the
// library: the worker fails calls in a loop, each one a line in Velnor.log.
// Exits 0 once the worker was seen running; the caller watches that the
// process ends in time and that the log holds only whole lines.
#include "support/loaded_library.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<long> calls{0};
decltype(&vl_get_library_version) get_version = nullptr;
} // namespace

int main() {
    // Kept until the process ends: unloading it under the running worker
    // would be the caller's fault, not the library's.
    HMODULE library = LoadLibraryW(velnor_test::simulation_library);
    if (library == nullptr) {
        return 2;
    }
    get_version = reinterpret_cast<decltype(&vl_get_library_version)>(
        reinterpret_cast<void*>(GetProcAddress(library, "vl_get_library_version")));
    if (get_version == nullptr) {
        return 3;
    }
    std::thread([] {
        for (;;) {
            get_version(nullptr);
            ++calls;
        }
    }).detach();
    while (calls < 50) {
        Sleep(1);
    }
    return 0;
}

// Loading the DLL runs nothing of the library's own: no thread, no logger,
// nothing that could block under the loader lock.
#include "platform/win_types.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

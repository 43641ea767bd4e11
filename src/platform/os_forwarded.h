// The real backend's calls, compiled a second time for the recording build
// under the name velnor::os_forwarded (see VELNOR_OS_NAMESPACE in os.h), so
// that the recording seam in velnor::os can forward to them.
#pragma once

#include "platform/win_types.h"

#include <string>

namespace velnor::os_forwarded {

CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags);
CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
BOOL CloseHandle(HANDLE handle);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                     DWORD out_length, LPDWORD bytes_returned, LPOVERLAPPED overlapped);
DWORD GetLastError();
std::string error_text(DWORD error);

} // namespace velnor::os_forwarded

// The six calls of the seam and the system's error texts, declared inside the
// namespace of whoever includes this file: velnor::os (os.h) for the library,
// velnor::os_forwarded (os_forwarded.h) for the backend a recording build
// forwards to. Deliberately without an include guard; it includes nothing.

// Size in characters of the multi-string list of interfaces of a class.
CONFIGRET CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID interface_class,
                                             DEVINSTID_A device_id, ULONG flags);

// The multi-string list itself: each path NUL-ended, then one more NUL.
CONFIGRET CM_Get_Device_Interface_ListW(LPGUID interface_class, DEVINSTID_W device_id,
                                        PZZWSTR buffer, ULONG length, ULONG flags);

// Opens a file or device; INVALID_HANDLE_VALUE and the thread's last error on failure.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file);

// Closes a handle; FALSE and the thread's last error on failure.
BOOL CloseHandle(HANDLE handle);

// One synchronous control request; FALSE and the thread's last error on failure.
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_length, LPVOID out,
                     DWORD out_length, LPDWORD bytes_returned, LPOVERLAPPED overlapped);

// The calling thread's last error value.
DWORD GetLastError();

// The system's text for an error value (FormatMessageA on Windows), with
// trailing blanks, tabs and line breaks removed; "unknown error" when the
// system has none.
std::string error_text(DWORD error);

/*
 * cfgmgr32_shim.c - the end-to-end harness's own cfgmgr32.dll.
 *
 * Wine 8 answers the device-interface list calls with CR_FAILURE or aborts,
 * so the end-to-end run loads this DLL in their place
 * (WINEDLLOVERRIDES="cfgmgr32=n,b") and answers them from SetupAPI in the
 * form of the real ones: each interface path NUL-ended, then a final NUL;
 * sizes in characters with the final NUL, 1 when there is no interface.
 * Test harness only; the library never ships with it.
 */
/* This DLL defines the calls, so they must not be declared as imports. */
#define _CFGMGR32_
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>
#include <stdlib.h>

/* Walks the interfaces; with list == NULL only counts the characters. */
static CONFIGRET build_list(const GUID* guid, const WCHAR* device_id, ULONG flags, WCHAR* list,
                            ULONG capacity, ULONG* length) {
    DWORD get_flags = DIGCF_DEVICEINTERFACE;
    if (flags & ~CM_GET_DEVICE_INTERFACE_LIST_BITS) {
        return CR_INVALID_FLAG;
    }
    if ((flags & CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES) == 0) {
        get_flags |= DIGCF_PRESENT;
    }
    HDEVINFO set = SetupDiGetClassDevsW(guid, device_id, NULL, get_flags);
    if (set == INVALID_HANDLE_VALUE) {
        return CR_FAILURE;
    }
    CONFIGRET rc = CR_SUCCESS;
    ULONG used = 0;
    SP_DEVICE_INTERFACE_DATA item = {.cbSize = sizeof item};
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, NULL, guid, i, &item); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &item, NULL, 0, &size, NULL);
        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail = size != 0 ? malloc(size) : NULL;
        if (detail == NULL) {
            rc = CR_OUT_OF_MEMORY;
            break;
        }
        detail->cbSize = sizeof *detail;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &item, detail, size, NULL, NULL)) {
            free(detail);
            rc = CR_FAILURE;
            break;
        }
        ULONG path_length = (ULONG)lstrlenW(detail->DevicePath) + 1;
        if (list != NULL) {
            if (used + path_length >= capacity) {
                free(detail);
                rc = CR_BUFFER_SMALL;
                break;
            }
            memcpy(list + used, detail->DevicePath, path_length * sizeof(WCHAR));
        }
        used += path_length;
        free(detail);
    }
    SetupDiDestroyDeviceInfoList(set);
    if (rc != CR_SUCCESS) {
        return rc;
    }
    if (list != NULL) {
        if (used >= capacity) {
            return CR_BUFFER_SMALL;
        }
        list[used] = L'\0';
    }
    *length = used + 1;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID guid,
                                                    DEVINSTID_A device_id, ULONG flags) {
    WCHAR wide_id[MAX_DEVICE_ID_LEN];
    if (length == NULL || guid == NULL) {
        return CR_INVALID_POINTER;
    }
    *length = 0;
    if (device_id != NULL &&
        MultiByteToWideChar(CP_ACP, 0, device_id, -1, wide_id, MAX_DEVICE_ID_LEN) == 0) {
        return CR_INVALID_DEVICE_ID;
    }
    return build_list(guid, device_id != NULL ? wide_id : NULL, flags, NULL, 0, length);
}

CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length, LPGUID guid,
                                                    DEVINSTID_W device_id, ULONG flags) {
    if (length == NULL || guid == NULL) {
        return CR_INVALID_POINTER;
    }
    *length = 0;
    return build_list(guid, device_id, flags, NULL, 0, length);
}

CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID guid, DEVINSTID_W device_id, PZZWSTR buffer,
                                               ULONG buffer_length, ULONG flags) {
    ULONG length = 0;
    if (guid == NULL || buffer == NULL) {
        return CR_INVALID_POINTER;
    }
    if (buffer_length == 0) {
        return CR_INVALID_DATA;
    }
    return build_list(guid, device_id, flags, buffer, buffer_length, &length);
}

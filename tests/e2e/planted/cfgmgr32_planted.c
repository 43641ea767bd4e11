/*
 * cfgmgr32_planted.c - a cfgmgr32.dll as someone might put it in a download
 * folder beside an application: it lists three boards that do not exist and
 * exports a marker by which a test recognises it. Velnor.dll must never load
 * it; the planted-cfgmgr32 run puts it beside the end-to-end binary.
 */
#define _CFGMGR32_
#include <windows.h>

#include <cfgmgr32.h>
#include <string.h>

static const WCHAR made_up[] = L"\\\\?\\PLANTED#BOARD#0000\0"
                               L"\\\\?\\PLANTED#BOARD#0001\0"
                               L"\\\\?\\PLANTED#BOARD#0002\0";

int velnor_e2e_planted(void) {
    return 1;
}

CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeA(PULONG length, LPGUID guid,
                                                    DEVINSTID_A device_id, ULONG flags) {
    (void)guid;
    (void)device_id;
    (void)flags;
    *length = sizeof made_up / sizeof made_up[0];
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID guid, DEVINSTID_W device_id, PZZWSTR buffer,
                                               ULONG length, ULONG flags) {
    (void)guid;
    (void)device_id;
    (void)flags;
    if (length < sizeof made_up / sizeof made_up[0]) {
        return CR_BUFFER_SMALL;
    }
    memcpy(buffer, made_up, sizeof made_up);
    return CR_SUCCESS;
}

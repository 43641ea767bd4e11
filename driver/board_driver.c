/*
 * board_driver.c - the virtual board as a WDM kernel-mode driver.
 *
 * Root-enumerated: one device per ROOT\VELNOR\NNNN instance, each with an
 * interface of the board class. Control requests are served by the shared
 * board model under a spin lock per board; the board's serial is
 * "VLN-E2E-NNNN", NNNN being the device's instance number.
 */
#include <ntddk.h>

#include "board_driver_control.h"
#include "board_model.h"
#include "velnor_board_protocol.h"

static const GUID board_interface_class = VLB_INTERFACE_CLASS_INIT;

#define BOARD_REQUEST_BASE VLB_CONTROL_CODE(0)

typedef struct board_extension {
    PDEVICE_OBJECT lower;
    UNICODE_STRING link;
    KSPIN_LOCK lock;
    vlbm_config config;
    vlbm_board board;
    BOOLEAN unplugged;
    uint32_t request_count;
    uint32_t forced_mask;
    uint32_t failing_mask;
    int32_t forced_status[VLB_REQUEST_COUNT];
    NTSTATUS failure[VLB_REQUEST_COUNT];
    /* Buffered I/O shares one buffer for input and reply; the model needs them apart. */
    uint8_t input[VLB_BLOCK_SIZE];
} board_extension;

DRIVER_INITIALIZE DriverEntry;

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* The link reads \??\ROOT#VELNOR#NNNN#{class}: the instance number sits after the second '#'. */
static uint32_t instance_number(const UNICODE_STRING* link) {
    USHORT length = link->Length / sizeof(WCHAR);
    USHORT i = 0;
    int hashes = 0;
    uint32_t number = 0;
    for (; i < length && hashes < 2; ++i) {
        if (link->Buffer[i] == L'#') {
            ++hashes;
        }
    }
    for (; i < length && link->Buffer[i] >= L'0' && link->Buffer[i] <= L'9'; ++i) {
        number = number * 10u + (uint32_t)(link->Buffer[i] - L'0');
    }
    return number;
}

static void make_config(vlbm_config* config, uint32_t instance) {
    static const char prefix[] = "VLN-E2E-";
    vlbm_default_config(config);
    memset(config->serial, 0, sizeof config->serial);
    memcpy(config->serial, prefix, sizeof prefix - 1);
    for (int i = 3; i >= 0; --i) {
        config->serial[sizeof prefix - 1 + (size_t)i] = (char)('0' + instance % 10u);
        instance /= 10u;
    }
}

static NTSTATUS serve_test_control(board_extension* ext, const void* buffer, ULONG in_len,
                                   ULONG out_len, ULONG_PTR* information) {
    vlbd_control_in in;
    vlbd_control_out out;
    if (in_len < sizeof in || out_len < sizeof out) {
        return STATUS_INVALID_PARAMETER;
    }
    memcpy(&in, buffer, sizeof in);
    if ((in.op == VLBD_OP_FORCE_STATUS || in.op == VLBD_OP_FAIL_REQUEST ||
         in.op == VLBD_OP_CLEAR_STATUS) &&
        in.request >= VLB_REQUEST_COUNT) {
        return STATUS_INVALID_PARAMETER;
    }
    if (in.op == VLBD_OP_FAIL_REQUEST && NT_SUCCESS(in.status)) {
        return STATUS_INVALID_PARAMETER;
    }
    switch (in.op) {
    case VLBD_OP_QUERY:
        break;
    case VLBD_OP_FORCE_STATUS:
        ext->forced_status[in.request] = in.status;
        ext->forced_mask |= 1u << in.request;
        break;
    case VLBD_OP_FAIL_REQUEST:
        ext->failure[in.request] = in.status;
        ext->failing_mask |= 1u << in.request;
        break;
    case VLBD_OP_CLEAR_STATUS:
        ext->forced_mask &= ~(1u << in.request);
        ext->failing_mask &= ~(1u << in.request);
        break;
    case VLBD_OP_RESET:
        ext->forced_mask = 0;
        ext->failing_mask = 0;
        ext->request_count = 0;
        vlbm_init(&ext->board, &ext->config);
        break;
    case VLBD_OP_FIRE_TRIGGER:
        vlbm_fire_trigger(&ext->board);
        break;
    case VLBD_OP_UNPLUG:
    case VLBD_OP_PLUG:
        /* Done by plug_or_unplug, at passive level, before the lock was taken. */
        break;
    default:
        return STATUS_INVALID_PARAMETER;
    }
    out.request_count = ext->request_count;
    out.forced_mask = ext->forced_mask | ext->failing_mask;
    memcpy((void*)buffer, &out, sizeof out);
    *information = sizeof out;
    return STATUS_SUCCESS;
}

static NTSTATUS serve_board_request(board_extension* ext, uint32_t fn, void* buffer, ULONG in_len,
                                    ULONG out_len, ULONG_PTR* information) {
    ++ext->request_count;
    if (fn < VLB_REQUEST_COUNT && (ext->failing_mask & (1u << fn)) != 0) {
        return ext->failure[fn];
    }
    if (fn < VLB_REQUEST_COUNT && (ext->forced_mask & (1u << fn)) != 0) {
        ULONG reply_len = VLB_STATUS_WORD_SIZE + (ULONG)vlb_request_payload_length(fn);
        if (out_len < reply_len) {
            return STATUS_BUFFER_TOO_SMALL;
        }
        memset(buffer, 0, reply_len);
        memcpy(buffer, &ext->forced_status[fn], sizeof(int32_t));
        *information = reply_len;
        return STATUS_SUCCESS;
    }
    ULONG copied = in_len < sizeof ext->input ? in_len : (ULONG)sizeof ext->input;
    if (copied != 0) {
        memcpy(ext->input, buffer, copied);
    }
    uint32_t returned = 0;
    switch (vlbm_request(&ext->board, fn, ext->input, copied, buffer, out_len, &returned)) {
    case VLBM_DONE:
        *information = returned;
        return STATUS_SUCCESS;
    case VLBM_BUFFER_TOO_SMALL:
        return STATUS_BUFFER_TOO_SMALL;
    case VLBM_INVALID_PARAMETER:
        return STATUS_INVALID_PARAMETER;
    case VLBM_UNKNOWN_REQUEST:
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

/* Unplugging and plugging in are the interface's state, which the system
 * changes (and announces to user mode) at passive level only: outside the
 * board's spin lock. The flag that makes board requests fail is set under it. */
static NTSTATUS plug_or_unplug(board_extension* ext, const void* buffer, ULONG in_len) {
    vlbd_control_in in;
    KIRQL irql;
    if (in_len < sizeof in) {
        return STATUS_SUCCESS; /* refused under the lock, as any short control request */
    }
    memcpy(&in, buffer, sizeof in);
    if (in.op != VLBD_OP_UNPLUG && in.op != VLBD_OP_PLUG) {
        return STATUS_SUCCESS;
    }
    const BOOLEAN unplug = in.op == VLBD_OP_UNPLUG;
    KeAcquireSpinLock(&ext->lock, &irql);
    const BOOLEAN change = ext->unplugged != unplug;
    if (change && unplug) {
        ext->unplugged = TRUE;
    }
    KeReleaseSpinLock(&ext->lock, irql);
    if (!change) {
        return STATUS_SUCCESS;
    }
    NTSTATUS status = IoSetDeviceInterfaceState(&ext->link, unplug ? FALSE : TRUE);
    if (!unplug && NT_SUCCESS(status)) {
        KeAcquireSpinLock(&ext->lock, &irql);
        ext->unplugged = FALSE;
        KeReleaseSpinLock(&ext->lock, irql);
    }
    return status;
}

static NTSTATUS dispatch_device_control(PDEVICE_OBJECT device, PIRP irp) {
    board_extension* ext = device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_len = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_len = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    NTSTATUS status;
    KIRQL irql;

    if (code == VLBD_CTL_TEST_CONTROL) {
        status = plug_or_unplug(ext, buffer, in_len);
        if (!NT_SUCCESS(status)) {
            return complete(irp, status, 0);
        }
    }
    KeAcquireSpinLock(&ext->lock, &irql);
    if (code == VLBD_CTL_TEST_CONTROL) {
        status = serve_test_control(ext, buffer, in_len, out_len, &information);
    } else if (ext->unplugged) {
        /* A handle opened before the board was unplugged. */
        ++ext->request_count;
        status = STATUS_DEVICE_REMOVED;
    } else {
        uint32_t fn = (code - BOARD_REQUEST_BASE) / 4u;
        if (code < BOARD_REQUEST_BASE || fn >= VLB_REQUEST_COUNT || code != VLB_CONTROL_CODE(fn)) {
            fn = 0xffffffffu;
        }
        status = serve_board_request(ext, fn, buffer, in_len, out_len, &information);
    }
    KeReleaseSpinLock(&ext->lock, irql);
    return complete(irp, status, NT_SUCCESS(status) ? information : 0);
}

static NTSTATUS dispatch_open_close(PDEVICE_OBJECT device, PIRP irp) {
    UNREFERENCED_PARAMETER(device);
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS on_lower_completed(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(irp);
    KeSetEvent((PKEVENT)context, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

/* A start must reach the bus driver before the board announces its interface. */
static NTSTATUS start_device(board_extension* ext, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, on_lower_completed, &done, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(ext->lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
        status = irp->IoStatus.Status;
    }
    if (NT_SUCCESS(status)) {
        status = IoSetDeviceInterfaceState(&ext->link, TRUE);
    }
    return complete(irp, status, 0);
}

static NTSTATUS remove_device(PDEVICE_OBJECT device, board_extension* ext, PIRP irp) {
    IoSetDeviceInterfaceState(&ext->link, FALSE);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS status = IoCallDriver(ext->lower, irp);
    IoDetachDevice(ext->lower);
    RtlFreeUnicodeString(&ext->link);
    IoDeleteDevice(device);
    return status;
}

static NTSTATUS dispatch_pnp(PDEVICE_OBJECT device, PIRP irp) {
    board_extension* ext = device->DeviceExtension;
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        return start_device(ext, irp);
    case IRP_MN_REMOVE_DEVICE:
        return remove_device(device, ext, irp);
    default:
        IoSkipCurrentIrpStackLocation(irp);
        return IoCallDriver(ext->lower, irp);
    }
}

static NTSTATUS dispatch_power(PDEVICE_OBJECT device, PIRP irp) {
    board_extension* ext = device->DeviceExtension;
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ext->lower, irp);
}

static NTSTATUS add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status = IoCreateDevice(driver, sizeof(board_extension), NULL, FILE_DEVICE_UNKNOWN,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    board_extension* ext = device->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    KeInitializeSpinLock(&ext->lock);
    status = IoRegisterDeviceInterface(pdo, &board_interface_class, NULL, &ext->link);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    make_config(&ext->config, instance_number(&ext->link));
    vlbm_init(&ext->board, &ext->config);
    ext->lower = IoAttachDeviceToDeviceStack(device, pdo);
    if (ext->lower == NULL) {
        RtlFreeUnicodeString(&ext->link);
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    device->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    device->Flags &= ~(ULONG)DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void unload(PDRIVER_OBJECT driver) {
    UNREFERENCED_PARAMETER(driver);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    UNREFERENCED_PARAMETER(registry_path);
    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_device_control;
    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->MajorFunction[IRP_MJ_POWER] = dispatch_power;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}

/*
 * velnor_trace_format.h - the layout of a Velnor trace, the file the
 * recording build of the library writes (Velnor-trace-*.pcapng, named in
 * docs/traces.md) and the virtual platform replays.
 *
 * A trace is a pcapng file, little-endian, one section:
 *   - a section header block whose shb_userappl option names the recording
 *     build and its version;
 *   - interface description blocks on link type LINKTYPE_USER0 (147), with
 *     if_tsresol 9 (nanoseconds): interface 0 is the configuration manager,
 *     every other one a path the application opened, its if_name the path in
 *     UTF-8, written just before the first record that needs it;
 *   - one enhanced packet block per platform call, its epb_packetid option the
 *     call's sequence number. Its packet is a record: the fixed header below,
 *     then in_size input bytes, then out_size output bytes.
 *
 * Plain C, no functions: the recorder, the replay, the fuzz harness and the
 * tools read the same constants. docs/traces.md describes every field.
 */
#ifndef VELNOR_TRACE_FORMAT_H
#define VELNOR_TRACE_FORMAT_H

#include <stdint.h>

/* pcapng blocks and options used by the trace. */
#define VLTR_BLOCK_SECTION_HEADER 0x0A0D0D0Au
#define VLTR_BLOCK_INTERFACE 0x00000001u
#define VLTR_BLOCK_ENHANCED_PACKET 0x00000006u
#define VLTR_BYTE_ORDER_MAGIC 0x1A2B3C4Du
#define VLTR_LINKTYPE 147u /* LINKTYPE_USER0 */
#define VLTR_OPT_END 0u
#define VLTR_OPT_SHB_USERAPPL 4u
#define VLTR_OPT_IF_NAME 2u
#define VLTR_OPT_IF_TSRESOL 9u
#define VLTR_OPT_EPB_PACKETID 5u
#define VLTR_TSRESOL_NANOSECONDS 9u

/* The most bytes a trace file holds: the recording build stops its trace
 * before a record would take the file past it, and the readers read at most
 * this much of a file. */
#define VLTR_MAX_FILE_SIZE 1073741824ull /* 1 GiB */

/* Interface 0: the configuration manager (and requests on handles no recorded
 * open gave). */
#define VLTR_CONFIGURATION_MANAGER_INTERFACE 0u
#define VLTR_CONFIGURATION_MANAGER_NAME "configuration manager"

/* The call a record holds; the first five are vlsim_call's numbers. */
enum vltr_kind {
    VLTR_LIST_SIZE = 0,     /* CM_Get_Device_Interface_List_SizeA */
    VLTR_LIST_FETCH = 1,    /* CM_Get_Device_Interface_ListW */
    VLTR_CREATE_FILE = 2,   /* CreateFileW */
    VLTR_CLOSE_HANDLE = 3,  /* CloseHandle */
    VLTR_IO_CONTROL = 4,    /* DeviceIoControl */
    VLTR_GET_LAST_ERROR = 5 /* GetLastError */
};
#define VLTR_KIND_COUNT 6u

/*
 * The record header, 64 bytes, every field little-endian:
 *   0  u16 header_size   64
 *   2  u8  kind          enum vltr_kind
 *   3  u8  flags         which pointer arguments were null or given (below)
 *   4  u32 thread        the calling thread's id
 *   8  u64 sequence      1, 2, ... in the order the records were written:
 *                        each call's after it returned (a thread's calls in
 *                        their order); a CloseHandle's in one step with the
 *                        close, so before any open that gets its handle value
 *                        back; a replay keeps it within a handle and within
 *                        the configuration manager, not across handles
 *  16  u64 time_ns       monotonic nanoseconds since the trace began
 *  24  u64 handle        CreateFileW's result; CloseHandle's and
 *                        DeviceIoControl's handle argument
 *  32  u32 result        the call's return value (CONFIGRET, BOOL; 1 when
 *                        CreateFileW gave a usable handle; GetLastError's value)
 *  36  u32 last_error    the thread's last error right after the call
 *  40  u32 p0, p1, p2, p3  the call's numeric arguments and outputs:
 *        list size:  flags, reported length (characters)
 *        list fetch: flags, buffer length (characters)
 *        CreateFileW: access, share mode, disposition, flags and attributes
 *        DeviceIoControl: control code, input length, reply capacity,
 *                         count of returned bytes after the call
 *  56  u32 in_size       bytes of input data after the header: the interface
 *                        class (16 bytes, GUID layout) for the list calls,
 *                        the path in UTF-16LE (no NUL) for CreateFileW, the
 *                        input bytes for DeviceIoControl
 *  60  u32 out_size      bytes of output data after the input: the list in
 *                        UTF-16LE (buffer length characters) for a fetch that
 *                        succeeded, the reply bytes the driver wrote
 *                        (the count of returned bytes, at most the capacity)
 *                        for DeviceIoControl
 */
#define VLTR_RECORD_HEADER_SIZE 64u
#define VLTR_OFF_HEADER_SIZE 0u
#define VLTR_OFF_KIND 2u
#define VLTR_OFF_FLAGS 3u
#define VLTR_OFF_THREAD 4u
#define VLTR_OFF_SEQUENCE 8u
#define VLTR_OFF_TIME 16u
#define VLTR_OFF_HANDLE 24u
#define VLTR_OFF_RESULT 32u
#define VLTR_OFF_LAST_ERROR 36u
#define VLTR_OFF_P0 40u
#define VLTR_OFF_P1 44u
#define VLTR_OFF_P2 48u
#define VLTR_OFF_P3 52u
#define VLTR_OFF_IN_SIZE 56u
#define VLTR_OFF_OUT_SIZE 60u

/* flags, per kind. */
#define VLTR_FLAG_FIRST_NULL                                                                       \
    0x01u                           /* list size: length; fetch: buffer; CreateFileW: path;        \
                                       DeviceIoControl: input */
#define VLTR_FLAG_SECOND_NULL 0x02u /* list calls: class; DeviceIoControl: reply buffer */
#define VLTR_FLAG_THIRD_NULL 0x04u  /* DeviceIoControl: count of returned bytes */
#define VLTR_FLAG_DEVICE_ID 0x08u   /* list calls: a device-instance filter was given */
#define VLTR_FLAG_EXTRA                                                                            \
    0x10u /* CreateFileW: security or template given;                                              \
             DeviceIoControl: an OVERLAPPED given */

#endif /* VELNOR_TRACE_FORMAT_H */

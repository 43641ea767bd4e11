#!/usr/bin/env python3
"""Writes the seed corpora of the three harnesses into fuzz/corpus/<harness>/.

Each seed is a small hand-made input in the harness's own byte layout (see
the comment at the top of each harness). Run it again after changing a
layout; it rewrites only the files it names.
"""
import pathlib
import re
import struct

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"
# The interface class as it ends every interface path, from the board's protocol header.
PROTOCOL = pathlib.Path(__file__).resolve().parent.parent / "board" / "velnor_board_protocol.h"
GUID = re.search(r'#define VLB_INTERFACE_CLASS_TEXT "([^"]+)"', PROTOCOL.read_text()).group(1)


def board_path(board_id):
    return "\\\\?\\ROOT#VELNOR#%04d#%s" % (board_id, GUID)


def u16(value):
    return struct.pack("<H", value & 0xFFFF)


def u32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def u64(value):
    return struct.pack("<Q", value & 0xFFFFFFFFFFFFFFFF)


def chars(text):
    return b"".join(u16(ord(c)) for c in text)


def write(harness, name, data):
    folder = ROOT / harness
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


# ---- fuzz_device_list: boards, size result, fetch result, open outcome, index, list ----

NO_FAULT = 0x00


def device_list(boards=1, size=NO_FAULT, fetch=NO_FAULT, outcome=0, index=0, text=""):
    head = bytes([boards, size, fetch]) + (outcome if isinstance(outcome, bytes) else bytes([outcome]))
    return head + bytes([index]) + chars(text)


def device_list_seeds():
    p0, p1 = board_path(0), board_path(1)
    seeds = {
        "empty_list": device_list(text=""),
        "one_board": device_list(text=p0 + "\0\0"),
        "two_boards_second": device_list(boards=2, index=1, text=p0 + "\0" + p1 + "\0\0"),
        "no_final_nul": device_list(boards=2, index=1, text=p0 + "\0" + p1),
        "empty_pieces": device_list(text="\0\0" + p0 + "\0\0\0"),
        "size_buffer_small": device_list(size=0xC0 + 0x1A, text=p0 + "\0\0"),
        "fetch_failure": device_list(fetch=0xC0 + 0x13, text=p0 + "\0\0"),
        "size_invalid_value": bytes([1, 0xFF]) + u32(0x3C) + bytes([NO_FAULT, 0, 0])
        + chars(p0 + "\0\0"),
        "null_handle": device_list(outcome=7, text=p0 + "\0\0"),
        "access_denied": device_list(outcome=bytes([6, 0]), text=p0 + "\0\0"),
        "index_past_end": device_list(index=5, text=p0 + "\0\0"),
        "index_huge": device_list(index=0xFF, text=p0 + "\0\0"),
        "unknown_path": device_list(text="X\0\0"),
        "wide_char": device_list(text="a") + u16(0xFFFF) + u32(0x10FFFF) + chars("\0\0"),
    }
    for name, data in seeds.items():
        write("fuzz_device_list", name, data)


# ---- fuzz_driver_reply: steps of request, switch, status, reply length, failure, null, args ----

# Argument bytes that keep each request's values valid for the board.
DEFAULT_ARGS = {
    3: bytes([0]),
    4: bytes([0, 0, 0x11]),
    8: bytes([0, 1]),
    10: bytes([0, 1]),
    12: bytes([0, 1]),
    14: bytes([0]) + u32(0) + bytes([0]) + u16(100),
    15: bytes([0]) + u16(0x010) + bytes([0x7C]),
    16: bytes([0]) + u16(0x010),
    17: bytes([32]),
}


def reply_step(fn, mode=0, status=b"\x00", length=0x00, failure=0x00, null=0, args=None):
    body = bytes([fn, mode]) + status + bytes([length, failure, null])
    return body + (DEFAULT_ARGS.get(fn, b"") if args is None else args)


def status_any(value):
    return bytes([0x80]) + u32(value)


def driver_reply_seeds():
    every = range(18)
    seeds = {
        "plain_all": b"".join(reply_step(fn) for fn in every),
        "status_invalid_data": b"".join(reply_step(fn, mode=1, status=bytes([9])) for fn in every),
        "status_with_payload": b"".join(
            reply_step(fn, mode=2, status=status_any(0x7FFFFFFF)) for fn in every),
        "short_replies": b"".join(reply_step(fn, length=0xA0 + fn % 6) for fn in every),
        "short_status": b"".join(
            reply_step(fn, mode=1, status=bytes([9]), length=0xA2) for fn in every),
        "system_failures": b"".join(reply_step(fn, failure=0xE0 + fn % 8) for fn in every),
        "null_arguments": b"".join(reply_step(fn, null=1 + fn % 2) for fn in every),
        "update_flow": reply_step(2) + reply_step(3) * 4 + reply_step(4) + reply_step(5)
        + reply_step(3) + reply_step(6),
        "refused_frequency": reply_step(14, args=bytes([0]) + u32(0) + bytes([0x80])
                                        + u64(123456789)),
        "serial_sizes": b"".join(reply_step(17, args=bytes([size])) for size in (0, 1, 12, 13, 31,
                                                                                   32, 33, 64, 0xF0)),
    }
    for name, data in seeds.items():
        write("fuzz_driver_reply", name, data)


# ---- fuzz_export_sequence: operation number, then its choices ----

OP_ADD, OP_REMOVE, OP_OPEN, OP_CLOSE, OP_COUNT, OP_VERSION = 0, 1, 2, 4, 5, 6
OP_FAULT, OP_FIRE, OP_RAW, OP_FIRST_REQUEST = 7, 9, 10, 11

SEQUENCE_ARGS = {
    4: u32(0) + bytes([0]),
    8: bytes([0, 1]),
    10: bytes([0, 1]),
    12: bytes([0, 1]),
    14: bytes([0, 0]) + u16(100),
    15: bytes([0]) + u16(0x010) + bytes([0x7C]),
    16: bytes([0]) + u16(0x010),
    17: bytes([32]),
}


def request(fn, handle=0, null_output=0):
    return bytes([OP_FIRST_REQUEST + fn, handle, null_output]) + SEQUENCE_ARGS.get(fn, b"")


def export_sequence_seeds():
    open0 = bytes([OP_OPEN, 0, 0])
    close0 = bytes([OP_CLOSE, 0])
    seeds = {
        "every_export": bytes([OP_ADD]) + open0 + bytes([OP_COUNT, 0, OP_VERSION, 0])
        + b"".join(request(fn) for fn in range(18)) + close0,
        "removed_board": bytes([OP_ADD, OP_ADD]) + open0 + bytes([OP_REMOVE, 0]) + request(7)
        + request(0) + bytes([OP_COUNT, 0]) + close0,
        "failed_close": bytes([OP_ADD]) + open0 + bytes([OP_FAULT, 0, 0, 6, 3]) + close0 + close0,
        "status_switches": bytes([OP_ADD]) + open0 + bytes([OP_FAULT, 4, 0, 9, 7]) + request(7)
        + bytes([OP_FAULT, 6, 0, 2, 7]) + request(7) + bytes([OP_FAULT, 8, 0, 0]) + request(7),
        "trigger": bytes([OP_ADD]) + open0 + request(12, 0, 0) + bytes([OP_FIRE, 0]) + request(11),
        "raw_list": bytes([OP_ADD, OP_RAW, 2, 0, 0x83, 0x41, 0, 0, OP_COUNT, 0]) + open0,
        "null_handles": bytes([OP_CLOSE, 0]) + request(0) + request(14) + bytes([OP_OPEN, 0, 0xFF]),
        "arrival": bytes([OP_ADD, OP_FAULT, 3, 0, 0, OP_COUNT, 0, OP_COUNT, 0]) + open0,
    }
    for name, data in seeds.items():
        write("fuzz_export_sequence", name, data)


if __name__ == "__main__":
    device_list_seeds()
    driver_reply_seeds()
    export_sequence_seeds()

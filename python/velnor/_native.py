"""The C records and the prototypes of the library's 22 exports."""

from __future__ import annotations

import ctypes
from ctypes import POINTER, c_char, c_int32, c_int64, c_size_t, c_uint8, c_uint32, c_uint64, c_void_p

from ._values import Version


class vl_version(ctypes.Structure):
    _fields_ = [
        ("major", c_uint32),
        ("minor", c_uint32),
        ("patch", c_uint32),
        ("text", c_char * 32),
    ]


class vl_clock(ctypes.Structure):
    _fields_ = [
        ("mode", c_uint32),
        ("reserved", c_uint8 * 4),
        ("frequency_hz", c_int64),
    ]


assert ctypes.sizeof(vl_version) == 44 and ctypes.alignment(vl_version) == 4
assert ctypes.sizeof(vl_clock) == 16 and vl_clock.frequency_hz.offset == 8


def text_of(raw: bytes) -> str:
    """A 32-byte text field: up to the first zero byte (all 32 when there is none)."""
    end = raw.find(b"\0")
    return (raw if end < 0 else raw[:end]).decode("utf-8", "backslashreplace")


def version_of(record: vl_version) -> Version:
    # .text of a c_char array stops at the first zero byte already; a full field has none.
    raw = bytes(record)[12:44]
    return Version(record.major, record.minor, record.patch, text_of(raw))


_handle = c_void_p
_u32p = POINTER(c_uint32)

# name, argument types; every export returns the 32-bit result code.
PROTOTYPES = (
    ("vl_get_library_version", (POINTER(vl_version),)),
    ("vl_get_device_count", (POINTER(c_size_t),)),
    ("vl_device_open", (c_size_t, POINTER(c_void_p))),
    ("vl_device_close", (_handle,)),
    ("vl_device_get_driver_version", (_handle, POINTER(vl_version))),
    ("vl_device_get_firmware_version", (_handle, POINTER(vl_version))),
    ("vl_device_get_serial", (_handle, ctypes.c_char_p, c_size_t)),
    ("vl_device_get_id_led_state", (_handle, _u32p)),
    ("vl_device_set_id_led_state", (_handle, c_uint32)),
    ("vl_device_get_trigger_polarity", (_handle, _u32p)),
    ("vl_device_set_trigger_polarity", (_handle, c_uint32)),
    ("vl_device_get_trigger_status", (_handle, _u32p)),
    ("vl_device_set_trigger_status", (_handle, c_uint32)),
    ("vl_device_ad9516_reg_write", (_handle, c_uint64)),
    ("vl_device_ad9516_reg_read", (_handle, c_uint32, POINTER(c_uint8))),
    ("vl_device_set_clock", (_handle, POINTER(vl_clock))),
    ("vl_device_get_clock", (_handle, POINTER(vl_clock))),
    ("vl_device_update_start_async", (_handle,)),
    ("vl_device_update_get_status", (_handle, _u32p, _u32p)),
    ("vl_device_update_write", (_handle, POINTER(c_uint8))),
    ("vl_device_update_complete", (_handle,)),
    ("vl_device_update_reset", (_handle,)),
)


def bind(library: ctypes.CDLL) -> None:
    """Sets every export's argument and result types, once, right after loading; the
    function objects are this package's own (never ctypes.cdll's shared ones), so no
    other code's prototypes can race with or replace them. Raises AttributeError naming
    an export the library lacks."""
    for name, argtypes in PROTOTYPES:
        try:
            function = getattr(library, name)
        except AttributeError:
            raise AttributeError(f"not the Velnor library: it lacks the export {name}") from None
        function.argtypes = argtypes
        function.restype = c_int32

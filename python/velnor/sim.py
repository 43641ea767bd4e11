"""The virtual platform: virtual boards and faults for tests, in this process.

Importable only when the loaded library is a virtual-platform build (the Linux
library, or the simulation build of Velnor.dll); otherwise importing raises
ImportError saying why. The platform's library is the copy the C library itself was
bound to: libvelnor_sim.so / velnor_sim.dll beside it, or VELNOR_SIM_LIBRARY.

State is process-wide. At process start one board with the default configuration is
present; reset() removes every board, fault and record (the velnor_sim pytest fixture
resets before and after each test). The boards that arrive and leave here are what a
running velnor.watch hears.
"""

from __future__ import annotations

import ctypes
import enum
import os
from ctypes import POINTER, c_char, c_int, c_int32, c_int64, c_size_t, c_uint32, c_uint64
from typing import Optional, Union

from . import _loader
from ._native import vl_version
from ._values import VersionLike, as_u32, as_unsigned, c_text, parse_version

__all__ = [
    "Call", "Request", "TraceError", "WinError", "add_board", "board_count", "call_count",
    "clear_faults", "clear_request_faults", "fail_call_at", "fail_next", "fail_next_listen",
    "fire_trigger", "library_path", "listener_count", "load_trace", "next_open_returns_null",
    "open_handle_count",
    "read_register", "remove_board", "request_count", "reset", "set_request_reply_length",
    "set_request_status", "set_request_status_with_payload", "set_trace_pacing",
    "trace_divergence", "trace_records_left",
]


class Call(enum.IntEnum):
    """The platform calls that fail_next can make fail."""

    LIST_SIZE = 0
    LIST_FETCH = 1
    CREATE_FILE = 2
    CLOSE_HANDLE = 3
    DEVICE_IO_CONTROL = 4


class Request(enum.IntEnum):
    """The board's control requests, for set_request_status and its kin."""

    GET_DRIVER_VERSION = 0
    GET_FIRMWARE_VERSION = 1
    UPDATE_START = 2
    UPDATE_STATUS = 3
    UPDATE_WRITE = 4
    UPDATE_COMPLETE = 5
    UPDATE_RESET = 6
    GET_LED = 7
    SET_LED = 8
    GET_TRIGGER_POLARITY = 9
    SET_TRIGGER_POLARITY = 10
    GET_TRIGGER_STATUS = 11
    SET_TRIGGER_STATUS = 12
    GET_CLOCK = 13
    SET_CLOCK = 14
    REG_WRITE = 15
    REG_READ = 16
    GET_SERIAL = 17


class WinError(enum.IntEnum):
    """Windows error values a failed platform call can carry (fail_next's error)."""

    INVALID_FUNCTION = 1
    FILE_NOT_FOUND = 2
    INVALID_HANDLE = 6
    INVALID_PARAMETER = 87
    INSUFFICIENT_BUFFER = 122
    DEVICE_NOT_CONNECTED = 1167


class TraceError(ValueError):
    """load_trace refused the file: it cannot be read, is not a trace, or is damaged
    before its first whole record. The message is the platform's reason."""


class _board_config(ctypes.Structure):
    _fields_ = [("serial", c_char * 33), ("driver", vl_version), ("firmware", vl_version)]


_PROTOTYPES = (
    ("vlsim_reset", None, ()),
    ("vlsim_default_board_config", None, (POINTER(_board_config),)),
    ("vlsim_add_board", c_int, (POINTER(_board_config),)),
    ("vlsim_remove_board", c_int, (c_int,)),
    ("vlsim_board_count", c_size_t, ()),
    ("vlsim_fire_trigger", c_int, (c_int,)),
    ("vlsim_read_register", c_int, (c_int, c_uint32, POINTER(ctypes.c_uint8))),
    ("vlsim_call_count", c_uint64, (c_int,)),
    ("vlsim_open_handle_count", c_size_t, ()),
    ("vlsim_request_count", c_size_t, ()),
    ("vlsim_clear_requests", None, ()),
    ("vlsim_fail_next", None, (c_int, c_uint32)),
    ("vlsim_fail_call_at", None, (c_uint64, c_uint32)),
    ("vlsim_next_open_returns_null", None, ()),
    ("vlsim_set_request_status", None, (c_uint32, c_int32)),
    ("vlsim_set_request_status_with_payload", None, (c_uint32, c_int32)),
    ("vlsim_set_request_reply_length", None, (c_uint32, c_uint32)),
    ("vlsim_clear_request_faults", None, (c_uint32,)),
    ("vlsim_clear_faults", None, ()),
    ("vlsim_load_trace", c_int, (ctypes.c_char_p,)),
    ("vlsim_trace_divergence", ctypes.c_char_p, ()),
    ("vlsim_set_trace_pacing", None, (c_int,)),
    ("vlsim_trace_records_left", c_int64, ()),
    ("vlsim_listener_count", c_size_t, ()),
    ("vlsim_fail_next_listen", None, (c_uint32,)),
)


def _bind() -> ctypes.CDLL:
    loaded = _loader.get()
    if loaded.sim is None:
        raise ImportError(f"velnor.sim: {loaded.sim_absent}")
    for name, restype, argtypes in _PROTOTYPES:
        function = getattr(loaded.sim, name)
        function.argtypes = argtypes
        function.restype = restype
    return loaded.sim


_sim = _bind()


def library_path() -> str:
    """The virtual platform's library (its name when the C library brought it in)."""
    return _loader.get().sim_path or ""


def reset() -> None:
    """Removes every board, fault switch and record; counters restart. No board remains:
    running watches hear each board that was present leave, and stay registered."""
    _sim.vlsim_reset()


def add_board(serial: Optional[str] = None, firmware: Optional[VersionLike] = None,
              driver: Optional[VersionLike] = None) -> int:
    """Adds a board and returns its id (0, 1, ... since the last reset). Defaults:
    serial "VLN-SIM-<id as 4 digits>", firmware 1.3.0, driver 2.4.1. Versions are
    text "M.m.p", a (major, minor, patch) tuple or a velnor.Version. A serial or version
    text longer than 32 bytes, or holding a zero byte, is refused (ValueError).
    Running watches (velnor.watch) hear the board arrive."""
    config = _board_config()
    _sim.vlsim_default_board_config(config)
    if serial is not None:
        config.serial = c_text(serial, "serial")
    for field, value in (("firmware", firmware), ("driver", driver)):
        if value is not None:
            version = parse_version(value, f"{field} version")
            record = vl_version(version.major, version.minor, version.patch,
                                version.text.encode("utf-8"))
            setattr(config, field, record)
    return int(_sim.vlsim_add_board(config))


def _board_id(board_id: int) -> int:
    # The platform takes a C int; ids are 0, 1, ... and one that does not fit is
    # refused here rather than cut by ctypes to the id of another board.
    return as_unsigned(board_id, 31, "virtual board id")


def remove_board(board_id: int) -> None:
    """Removes a board: it leaves the list, and its open handles fail their requests
    (the library then raises FailedError); running watches hear it leave. ValueError
    for an unknown id."""
    if _sim.vlsim_remove_board(_board_id(board_id)) != 0:
        raise ValueError(f"no virtual board with id {board_id}")


def board_count() -> int:
    return int(_sim.vlsim_board_count())


def fire_trigger(board_id: int) -> None:
    """An armed trigger on the board fires (its status becomes TRIGGERED)."""
    if _sim.vlsim_fire_trigger(_board_id(board_id)) != 0:
        raise ValueError(f"no virtual board with id {board_id}")


def read_register(board_id: int, address: int) -> int:
    """An AD9516 register of the board, read directly (not through the library)."""
    value = ctypes.c_uint8()
    if _sim.vlsim_read_register(_board_id(board_id), as_u32(address, "address"), value) != 0:
        raise ValueError(f"no virtual board with id {board_id}, or no register {address:#x}")
    return value.value


def fail_next(call: Call, error: int) -> None:
    """The next platform call of that kind fails with `error` as its Windows error (for
    the list calls, as their CONFIGRET). A failed DeviceIoControl makes the library
    raise FailedError."""
    _sim.vlsim_fail_next(int(Call(call)), as_u32(error, "error"))


def fail_call_at(n: int, error: int) -> None:
    """The n-th platform call from now (1 = the next), whatever its kind, fails."""
    _sim.vlsim_fail_call_at(as_unsigned(n, 64, "call number"), as_u32(error, "error"))


def next_open_returns_null() -> None:
    """The next CreateFileW returns a null handle (velnor.open raises InternalError)."""
    _sim.vlsim_next_open_returns_null()


def _request(request: int) -> int:
    value = int(request)
    if not 0 <= value < len(Request):
        raise ValueError(f"request {value} is not one of the board's 0-{len(Request) - 1}")
    return value


def _status(status: int) -> int:
    if not isinstance(status, int):
        raise TypeError(f"status word must be an int, not {type(status).__name__}")
    if not -(1 << 31) <= status < (1 << 31):
        raise ValueError(f"status word {status} does not fit in 32 bits")
    return status


def set_request_status(request: Request, status: int) -> None:
    """The request answers this driver status word (with no payload) until cleared;
    the library raises the matching VelnorError subclass."""
    _sim.vlsim_set_request_status(_request(request), _status(status))


def set_request_status_with_payload(request: Request, status: int) -> None:
    """The request is carried out and writes its payload, but answers this status."""
    _sim.vlsim_set_request_status_with_payload(_request(request), _status(status))


def set_request_reply_length(request: Request, length: int) -> None:
    """The request writes only the first `length` reply bytes, until cleared."""
    _sim.vlsim_set_request_reply_length(_request(request), as_u32(length, "length"))


def clear_request_faults(request: Request) -> None:
    _sim.vlsim_clear_request_faults(_request(request))


def clear_faults() -> None:
    """Clears every fault switch; boards and records stay."""
    _sim.vlsim_clear_faults()


def fail_next_listen(error: int) -> None:
    """The platform refuses the next watch that starts, with `error` as its Windows
    error (as the system refuses a registration for device notifications):
    velnor.watch raises FailedError."""
    _sim.vlsim_fail_next_listen(as_u32(error, "error"))


def listener_count() -> int:
    """Watches registered with the platform now (each running velnor.watch is one)."""
    return int(_sim.vlsim_listener_count())


def call_count(call: Call) -> int:
    """Platform calls of that kind since the last reset."""
    return int(_sim.vlsim_call_count(int(Call(call))))


def open_handle_count() -> int:
    """Handles open on the platform (boards opened and not yet closed)."""
    return int(_sim.vlsim_open_handle_count())


def request_count() -> int:
    """Requests logged since the last reset."""
    return int(_sim.vlsim_request_count())


def load_trace(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]) -> None:
    """Replays a trace the recording build wrote (Velnor-trace-*.pcapng): the
    platform resets, presents the trace's boards (board_count) and answers every
    platform call from the trace; running watches hear the boards present leave and
    the trace's boards arrive. Each handle's calls replay in order, independently of
    other handles (and threads). A call that does not match the next record of its
    handle fails (the library raises FailedError) and trace_divergence() says where.
    TraceError, with the platform's reason, for a file it refuses (not a regular
    file, not a trace, or a list size that does not agree with its fetch; the
    platform is then unchanged). reset() ends the replay."""
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError(f"trace path must be a str, bytes or os.PathLike, "
                        f"not {type(path).__name__}")
    raw = os.fsencode(path)
    if b"\0" in raw:
        raise ValueError(f"trace path holds a zero byte: {path!r}")
    if _sim.vlsim_load_trace(raw) != 0:
        raise TraceError(_text(_sim.vlsim_trace_divergence()))


def trace_divergence() -> str:
    """Empty while the replay is on track (or none is on); otherwise the first
    divergence: which record the board and handle expected and what came instead (in
    the words of velnorctl trace show), or that the records ran out or the trace is
    damaged there."""
    return _text(_sim.vlsim_trace_divergence())


def trace_records_left() -> int:
    """Records of the loaded trace not replayed yet (GetLastError's are not counted),
    or -1 when no replay is on. A session that stopped early leaves the divergence
    empty but records left: check both."""
    return int(_sim.vlsim_trace_records_left())


def set_trace_pacing(on: bool) -> None:
    """False (the default): the replay answers at once. True: each answer waits until
    as much time has passed since the replay's first call as the trace recorded."""
    _sim.vlsim_set_trace_pacing(1 if on else 0)


def _text(raw: Optional[bytes]) -> str:
    return (raw or b"").decode("utf-8", errors="replace")

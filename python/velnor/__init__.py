"""Velnor synchronisation boards from Python, over the C library (ctypes).

    >>> import velnor
    >>> velnor.boards()
    [BoardInfo(index=0, serial='VLN-SIM-0000', firmware=..., driver=...)]
    >>> with velnor.open(serial="VLN-SIM-0000") as board:
    ...     board.led = velnor.Led.BLINK
    >>> with velnor.watch(present=True) as watcher:
    ...     event = watcher.get(timeout=5)
    ...     print(event.kind.name, event.path)
    ARRIVED \\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}

The library is loaded at the first call (see velnor.load_library for where it is
looked for). docs/python.md is the guide.
"""

from __future__ import annotations

import ctypes
from typing import List, Optional

from . import _loader, _watch
from ._board import Board, BoardClosedError
from ._calls import fail
from ._errors import (
    Ad9516CommunicationError,
    AmbiguousSerial,
    BoardNotFound,
    DriverTimeoutError,
    FailedError,
    FirmwareImageError,
    InternalError,
    InvalidDataError,
    InvalidDeviceError,
    InvalidDeviceTypeError,
    InvalidFrequencyError,
    LibraryNotFoundError,
    NullParameterError,
    OutOfMemoryError,
    PllNotLockedError,
    UpdateInvalidStatusError,
    VelnorError,
)
from ._firmware import (
    BLOCK_DATA_MAX,
    BLOCK_SIZE,
    IMAGE_HEADER_SIZE,
    IMAGE_PAYLOAD_MAX,
    check_firmware,
    pack_firmware,
    update_block,
)
from ._log import log_path
from ._native import version_of, vl_version
from ._values import (
    BoardInfo,
    Clock,
    ClockMode,
    Led,
    ResultCode,
    TriggerPolarity,
    TriggerStatus,
    UpdateState,
    Version,
    as_size,
    rc_name,
)
from ._watch import BoardEvent, BoardEventKind, Watcher, WatchStoppedError, watch

__version__ = "1.0.2"

# Tracebacks and reprs name the classes where users find them: velnor.InvalidDataError.
for _public in (Board, BoardClosedError, VelnorError, InternalError, Ad9516CommunicationError,
                InvalidDeviceError, NullParameterError, FailedError, OutOfMemoryError,
                InvalidDeviceTypeError, UpdateInvalidStatusError, InvalidDataError,
                DriverTimeoutError, PllNotLockedError, InvalidFrequencyError, BoardNotFound,
                AmbiguousSerial, FirmwareImageError, LibraryNotFoundError, BoardInfo, Clock,
                ClockMode, Led, ResultCode, TriggerPolarity, TriggerStatus, UpdateState,
                Version, BoardEvent, BoardEventKind, Watcher, WatchStoppedError):
    _public.__module__ = "velnor"
del _public

__all__ = [
    "Ad9516CommunicationError", "AmbiguousSerial", "BLOCK_DATA_MAX", "BLOCK_SIZE", "Board",
    "BoardClosedError", "BoardEvent", "BoardEventKind", "BoardInfo", "BoardNotFound", "Clock",
    "ClockMode", "DriverTimeoutError", "FailedError", "FirmwareImageError", "IMAGE_HEADER_SIZE",
    "IMAGE_PAYLOAD_MAX", "InternalError", "InvalidDataError", "InvalidDeviceError",
    "InvalidDeviceTypeError", "InvalidFrequencyError", "Led", "LibraryNotFoundError",
    "NullParameterError", "OutOfMemoryError", "PllNotLockedError", "ResultCode",
    "TriggerPolarity", "TriggerStatus", "UpdateInvalidStatusError", "UpdateState",
    "VelnorError", "Version", "WatchStoppedError", "Watcher", "boards", "check_firmware",
    "device_count", "library_path", "library_version", "load_library", "log_path", "open",
    "pack_firmware", "rc_name", "update_block", "watch", "watch_library_path",
]


def load_library(path: Optional[str] = None, *, simulation: bool = False) -> str:
    """Loads the C library now and returns its path. Without a path: VELNOR_LIBRARY,
    then the library inside the package (with simulation=True, the bundled simulation
    DLL first, on Windows), then the system's search. Raises LibraryNotFoundError
    naming every place tried. Loading happens by itself at the first call; one
    process uses one library, so a later call with another path raises RuntimeError."""
    return _loader.load(path, simulation=simulation).path


def library_path() -> str:
    """Path (or name, when the system's search found it) of the loaded library."""
    return _loader.get().path


def watch_library_path() -> str:
    """Path (or name, when the system's search found it) of the watch library, loading
    it now: VELNOR_WATCH_LIBRARY, else libvelnor_watch.so.1 / VelnorWatch.dll beside the
    loaded Velnor library. LibraryNotFoundError naming where it looked."""
    return _watch.library_path()


def library_version() -> Version:
    """The C library's own version."""
    record = vl_version()
    rc = _loader.get().library.vl_get_library_version(record)
    if rc:
        fail(rc, "vl_get_library_version")
    return version_of(record)


def device_count() -> int:
    """Number of boards present now (asked anew every time)."""
    count = ctypes.c_size_t()
    rc = _loader.get().library.vl_get_device_count(count)
    if rc:
        fail(rc, "vl_get_device_count")
    return count.value


def _open_index(index: int) -> Board:
    index = as_size(index, "board index")
    library = _loader.get().library
    handle = ctypes.c_void_p()
    rc = library.vl_device_open(index, handle)
    if rc:
        fail(rc, "vl_device_open")
    return Board(library, handle.value or 0, index)


def boards() -> List[BoardInfo]:
    """Every board present: index, serial, firmware and driver version. Each board is
    opened and closed in turn; a board that leaves meanwhile ends the list there."""
    found = []
    for index in range(device_count()):
        try:
            board = _open_index(index)
        except InvalidDeviceError:
            break
        with board:
            found.append(BoardInfo(index, board.serial, board.firmware_version,
                                   board.driver_version))
    return found


def open(index: Optional[int] = None, *, serial: Optional[str] = None) -> Board:
    """Opens the board at index (0 by default), or the one whose serial is `serial`:
    each board is opened in turn and its serial read; BoardNotFound when none
    matches, AmbiguousSerial when several do (both LookupErrors naming what is
    present). Give index or serial, not both."""
    if serial is None:
        return _open_index(0 if index is None else index)
    if index is not None:
        raise TypeError("velnor.open takes an index or a serial, not both")
    present = []
    matches: List[Board] = []
    try:
        for position in range(device_count()):
            try:
                board = _open_index(position)
            except InvalidDeviceError:
                break
            try:
                text = board.serial
            except BaseException:
                board.close()
                raise
            present.append((position, text))
            if text == serial:
                matches.append(board)
            else:
                board.close()
    except BaseException:
        for board in matches:
            board.close()
        raise
    if len(matches) == 1:
        return matches[0]
    for board in matches:
        board.close()
    if matches:
        raise AmbiguousSerial(serial, [board.index for board in matches], present)
    raise BoardNotFound(serial, present)

"""The board's firmware image container, its update blocks, and the whole update."""

from __future__ import annotations

import math
import os
import re
import struct
import sys
import time
import zlib
from typing import TYPE_CHECKING, Callable, Optional, Union

from ._errors import FirmwareImageError, UpdateInvalidStatusError
from ._values import UpdateState, Version, VersionLike, parse_version

if TYPE_CHECKING:
    from ._board import Board

IMAGE_MAGIC = b"VLFW"
IMAGE_HEADER_VERSION = 1
IMAGE_HEADER_SIZE = 64
IMAGE_MAX = 16 * 1024 * 1024
IMAGE_PAYLOAD_MAX = IMAGE_MAX - IMAGE_HEADER_SIZE
BLOCK_SIZE = 1032
BLOCK_DATA_MAX = 1024

# magic, header version, major, minor, patch, text, payload length, CRC-32, zero
_HEADER = struct.Struct("<4sIIII32sIII")
assert _HEADER.size == IMAGE_HEADER_SIZE

ImageSource = Union[bytes, bytearray, memoryview, str, "os.PathLike[str]"]

# The dotted version a version text starts with, if it starts with one.
_LEADING_VERSION = re.compile(r"([0-9]+)\.([0-9]+)\.([0-9]+)")


def text_contradiction(version: Version, owner: str = "") -> Optional[str]:
    """Why the version text contradicts the version's numbers (named as `owner`'s),
    or None. A text that
    starts with MAJOR.MINOR.PATCH must start with the numbers' own (the board would
    otherwise report the text of one version and the numbers of another); any other
    text ("nightly", "v2") says nothing about them."""
    match = _LEADING_VERSION.match(version.text)
    if match is None:
        return None
    leading = tuple(int(number) for number in match.groups())
    if leading == (version.major, version.minor, version.patch):
        return None
    numbers = f"{owner}{version.major}.{version.minor}.{version.patch}"
    return f"version text {version.text!r} names another version than {numbers}"


def pack_firmware(payload: bytes, version: VersionLike) -> bytes:
    """A firmware image: the 64-byte header (the version, the payload's length and
    CRC-32) and the payload of 1 to IMAGE_PAYLOAD_MAX bytes. version is text
    "major.minor.patch[anything]" (kept as the version text, at most 32 bytes), a
    Version or a (major, minor, patch) tuple; a Version whose text starts with
    another dotted version than its numbers is refused."""
    data = bytes(payload)
    if not data:
        raise ValueError("the payload is empty; a firmware payload holds at least 1 byte")
    if len(data) > IMAGE_PAYLOAD_MAX:
        raise ValueError(f"payload of {len(data)} bytes is above the board's "
                         f"{IMAGE_PAYLOAD_MAX}")
    parsed = parse_version(version, "firmware version")
    contradiction = text_contradiction(parsed)
    if contradiction:
        raise ValueError(f"firmware {contradiction}")
    header = _HEADER.pack(IMAGE_MAGIC, IMAGE_HEADER_VERSION, parsed.major, parsed.minor,
                          parsed.patch, parsed.text.encode("utf-8"), len(data),
                          zlib.crc32(data), 0)
    return header + data


def check_firmware(image: ImageSource) -> Version:
    """The version inside an image; FirmwareImageError (a ValueError) saying what is
    wrong with it: short header, magic, header version, reserved field, empty payload,
    payload above the limit, size that is not 64 + payload length, CRC-32, a version
    text that starts with another version than the header's numbers."""
    return _check(_image_bytes(image))


def _check(data: bytes) -> Version:
    if len(data) < IMAGE_HEADER_SIZE:
        raise FirmwareImageError(f"{len(data)} bytes, shorter than the 64-byte header")
    magic, header_version, major, minor, patch, text, length, crc, zero = \
        _HEADER.unpack_from(data)
    if magic != IMAGE_MAGIC:
        raise FirmwareImageError(f"magic {magic!r} is not b'VLFW'")
    if header_version != IMAGE_HEADER_VERSION:
        raise FirmwareImageError(f"header version {header_version}, not 1")
    if zero != 0:
        raise FirmwareImageError(f"reserved header field is {zero:#x}, not 0")
    if length == 0:
        raise FirmwareImageError("the payload is empty")
    if length > IMAGE_PAYLOAD_MAX:
        raise FirmwareImageError(f"payload length {length} is above {IMAGE_PAYLOAD_MAX}")
    if len(data) != IMAGE_HEADER_SIZE + length:
        raise FirmwareImageError(f"image is {len(data)} bytes, the header says "
                                 f"{IMAGE_HEADER_SIZE + length}")
    actual = zlib.crc32(memoryview(data)[IMAGE_HEADER_SIZE:])
    if actual != crc:
        raise FirmwareImageError(f"payload CRC-32 is {actual:#010x}, the header says {crc:#010x}")
    end = text.find(b"\0")
    version = Version(major, minor, patch,
                      (text if end < 0 else text[:end]).decode("utf-8", "backslashreplace"))
    contradiction = text_contradiction(version, "the header's ")
    if contradiction:
        raise FirmwareImageError(contradiction)
    return version


def update_block(offset: int, data: bytes) -> bytes:
    """One 1032-byte update block: offset and length (1 to 1024), the data, zero tail."""
    chunk = bytes(data)
    if not 1 <= len(chunk) <= BLOCK_DATA_MAX:
        raise ValueError(f"a block carries 1 to 1024 bytes, not {len(chunk)}")
    if not 0 <= offset <= 0xFFFFFFFF:
        raise ValueError(f"block offset {offset} does not fit in 32 bits")
    return struct.pack("<II", offset, len(chunk)) + chunk.ljust(BLOCK_DATA_MAX, b"\0")


def _image_bytes(image: ImageSource) -> bytes:
    if isinstance(image, (bytes, bytearray, memoryview)):
        return bytes(image)
    if isinstance(image, (str, os.PathLike)):
        with open(image, "rb") as file:
            return file.read(IMAGE_MAX + 1)
    raise TypeError(f"image must be bytes or a path, not {type(image).__name__}")


def _seconds(timeout: float) -> float:
    """The update's timeout as the float it waits with: an int or a float (not a bool),
    finite and above 0. Refused here, before anything is sent: a NaN would never time
    out, and a text would fail only once the update had started."""
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
        raise TypeError(f"timeout must be a number of seconds (an int or a float), "
                        f"not {type(timeout).__name__} {timeout!r}")
    if (isinstance(timeout, float) and not math.isfinite(timeout)) or timeout <= 0:
        raise ValueError(f"timeout must be a finite number of seconds above 0, not {timeout!r}")
    # An int beyond the float range waits as long as the largest float: for ever.
    return float(min(timeout, sys.float_info.max))


def _wait(board: "Board", until: UpdateState, deadline: float, timeout: float) -> int:
    pause = 0.0
    while True:
        board._stop_if_closing()
        state, received = board.update_status()
        if state == until:
            return received
        if state == UpdateState.FAILED:
            raise RuntimeError(f"the board's update failed while waiting for {until.name}")
        if time.monotonic() > deadline:
            raise TimeoutError(f"the board stayed {state!r} for {timeout} s "
                               f"(waiting for {until.name})")
        time.sleep(pause)
        pause = min(max(pause * 2, 0.001), 0.05)


def update(board: "Board", image: ImageSource,
           progress: Optional[Callable[[int, int], object]], timeout: float) -> Version:
    """Checks the image, starts, waits until the board is ready (at most timeout
    seconds), sends the blocks calling progress(sent, total) after each, completes,
    waits until the board is done (at most timeout seconds again) and returns the
    firmware version the board then reports. On any exception, KeyboardInterrupt
    included, it sends the update reset before re-raising, so the board is not left
    half-way; a failing reset is added to the exception as a note. A close() of the
    board from another thread makes it stop at its next step the same way (with
    BoardClosedError), and the close waits for that reset. A start the board refuses
    as out of order (another update runs, or one was left unfinished) is not reset:
    that update is not this one's to end. A timeout that is not a finite number of
    seconds above 0, or a progress that cannot be called, is refused (TypeError,
    ValueError) before anything is sent."""
    seconds = _seconds(timeout)
    if progress is not None and not callable(progress):
        # Refused here: it would fail only after the first block had gone out.
        raise TypeError(f"progress must be None or a callable taking (sent, total), "
                        f"not {type(progress).__name__} {progress!r}")
    data = _image_bytes(image)
    _check(data)
    total = len(data)
    with board._firmware_update():
        started = False
        try:
            board.update_start()
            started = True
            _wait(board, UpdateState.READY, time.monotonic() + seconds, timeout)
            for offset in range(0, total, BLOCK_DATA_MAX):
                board._stop_if_closing()
                board.update_write(update_block(offset, data[offset:offset + BLOCK_DATA_MAX]))
                if progress is not None:
                    progress(min(offset + BLOCK_DATA_MAX, total), total)
            board._stop_if_closing()
            board.update_complete()
            _wait(board, UpdateState.DONE, time.monotonic() + seconds, timeout)
            return board.firmware_version
        except BaseException as error:
            if started or not isinstance(error, UpdateInvalidStatusError):
                try:
                    board.update_reset()
                except Exception as reset_error:  # the first failure is the one to report
                    if hasattr(error, "add_note"):
                        error.add_note(
                            f"velnor: the update reset after it failed too: {reset_error}")
            raise

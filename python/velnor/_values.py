"""The board's named values and the records the library hands back."""

from __future__ import annotations

import ctypes
import enum
from typing import NamedTuple, Tuple, Union


class ResultCode(enum.IntEnum):
    """The library's named result codes (any other value is "invalid_rc")."""

    SUCCESS = 0
    INTERNAL_ERROR = -1
    AD9516_COMMUNICATION_ERROR = -2
    INVALID_DEVICE = -3
    NULL_PARAMETER = -4
    FAILED = -5
    NO_MEMORY = -6
    INVALID_DEVICE_TYPE = -7
    UPDATE_INVALID_STATUS = -8
    INVALID_DATA = -9
    TIMEOUT = -10
    PLL_NOT_LOCKED = -11
    INVALID_FREQUENCY = -13


def rc_name(code: int) -> str:
    """The library's name of a result code: "success", "invalid_frequency", ...;
    "invalid_rc" for a value outside the table."""
    try:
        return ResultCode(code).name.lower()
    except ValueError:
        return "invalid_rc"


class Led(enum.IntEnum):
    """Identification LED states."""

    OFF = 0
    ON = 1
    BLINK = 2


class TriggerPolarity(enum.IntEnum):
    """Trigger polarities."""

    RISING = 0
    FALLING = 1


class TriggerStatus(enum.IntEnum):
    """Trigger states. Set DISARMED or ARMED; the board reports TRIGGERED once an
    armed trigger has fired."""

    DISARMED = 0
    ARMED = 1
    TRIGGERED = 2


class UpdateState(enum.IntEnum):
    """Firmware update states, as Board.update_status reports them."""

    IDLE = 0
    ERASING = 1
    READY = 2
    VERIFYING = 3
    DONE = 4
    FAILED = 5


class ClockMode(enum.IntEnum):
    """Clock modes: AD9516 synthesis, or an external reference passed through."""

    INTERNAL = 0
    EXTERNAL = 1


class Version(NamedTuple):
    """A version: three numbers and the same version as text."""

    major: int
    minor: int
    patch: int
    text: str

    def __str__(self) -> str:
        return self.text


class BoardInfo(NamedTuple):
    """One board of velnor.boards(): its index in the current list, serial and versions."""

    index: int
    serial: str
    firmware: Version
    driver: Version


class Clock(NamedTuple):
    """The board's sample clock. `reserved` is the record's 4 reserved bytes as a
    little-endian number; the board keeps them as sent."""

    mode: Union[ClockMode, int]
    frequency_hz: int
    reserved: int = 0


VersionLike = Union[Version, str, Tuple[int, int, int]]

U32_MAX = 0xFFFFFFFF
SIZE_BITS = ctypes.sizeof(ctypes.c_size_t) * 8
I32_MIN = -(1 << 31)
I64_MIN = -(1 << 63)
I64_MAX = (1 << 63) - 1


def as_unsigned(value: int, bits: int, what: str) -> int:
    """value as the unsigned number of `bits` bits the library takes; refuses what does
    not fit rather than letting ctypes cut it to another (valid-looking) value: ctypes
    keeps only the low bits of an int, so 2**64 + 1 would reach a size_t as 1."""
    if not isinstance(value, int):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    top = (1 << bits) - 1
    if not 0 <= value <= top:
        raise ValueError(f"{what} {value} does not fit in {bits} bits (0 to {top})")
    return int(value)


def as_u32(value: int, what: str) -> int:
    """value as an unsigned 32-bit field (see as_unsigned)."""
    return as_unsigned(value, 32, what)


def as_size(value: int, what: str) -> int:
    """value as the library's size_t (see as_unsigned)."""
    return as_unsigned(value, SIZE_BITS, what)


def parse_version(version: VersionLike, what: str) -> Version:
    """A Version from a Version, a (major, minor, patch) tuple or text "M.m.p[...]"."""
    if isinstance(version, Version):
        result = version
    elif isinstance(version, str):
        parts = version.split(".", 2)
        numbers = []
        for i, part in enumerate(parts):
            digits = part
            if i == 2:
                end = 0
                while end < len(part) and part[end].isdigit() and part[end].isascii():
                    end += 1
                digits = part[:end]
            if not (digits.isascii() and digits.isdigit()):
                raise ValueError(f"{what} {version!r} does not start with major.minor.patch")
            numbers.append(int(digits))
        if len(numbers) != 3:
            raise ValueError(f"{what} {version!r} does not start with major.minor.patch")
        result = Version(numbers[0], numbers[1], numbers[2], version)
    elif isinstance(version, tuple) and len(version) == 3:
        major, minor, patch = version
        result = Version(major, minor, patch, f"{major}.{minor}.{patch}")
    else:
        raise TypeError(f"{what} must be a Version, a (major, minor, patch) tuple or text")
    for name in ("major", "minor", "patch"):
        as_u32(getattr(result, name), f"{what} {name}")
    c_text(result.text, f"{what} text")
    return result


def c_text(text: str, what: str, size: int = 32) -> bytes:
    """text as the UTF-8 bytes of one of the board's C text fields of `size` bytes. The
    field ends at its first zero byte, so a text holding one is refused rather than cut
    there without a word; so is a text longer than the field."""
    if not isinstance(text, str):
        raise TypeError(f"{what} must be a str, not {type(text).__name__}")
    if "\0" in text:
        kept = text.partition("\0")[0]
        raise ValueError(f"{what} {text!r} holds a zero byte: the board would keep only "
                         f"{kept!r}")
    raw = text.encode("utf-8")
    if len(raw) > size:
        raise ValueError(f"{what} {text!r} is longer than {size} bytes")
    return raw

"""The exceptions: one per named result code, and the board-selection errors."""

from __future__ import annotations

import re
from typing import Dict, List, Optional, Sequence, Tuple, Type

from ._values import rc_name


class VelnorError(Exception):
    """A library call failed.

    code      the result code (any 32-bit value; the driver may report unnamed ones)
    name      the library's name of the code ("invalid_data", ...; "invalid_rc")
    function  the export that failed ("vl_device_set_clock", ...)
    detail    the library's log line for this failure, or None when it cannot be
              attributed to this call with certainty (see docs/python.md)
    context   what the package found out about the failure, or None (for a refused
              update start: the board's update state and how to recover)

    VelnorError.of(code, function, detail) makes the subclass for the code.
    """

    def __init__(self, code: int, function: str, detail: Optional[str] = None) -> None:
        super().__init__(code, function, detail)
        self.code = code
        self.name = rc_name(code)
        self.function = function
        self.detail = detail
        self.context: Optional[str] = None

    def __str__(self) -> str:
        text = f"{self.function} failed: {self.name} ({self.code})"
        if self.context:
            text += f": {self.context}"
        return f"{text}; Velnor.log: {self.detail}" if self.detail else text

    @staticmethod
    def of(code: int, function: str, detail: Optional[str] = None) -> "VelnorError":
        return _by_code.get(code, VelnorError)(code, function, detail)


class InternalError(VelnorError):
    """-1 internal_error: the system gave a null handle, or an unexpected internal fault."""


class Ad9516CommunicationError(VelnorError):
    """-2 ad9516_communication_error (driver status)."""


class InvalidDeviceError(VelnorError):
    """-3 invalid_device: no board at that index."""


class NullParameterError(VelnorError):
    """-4 null_parameter."""


class FailedError(VelnorError):
    """-5 failed: a system call failed (the board was removed, ...)."""


class OutOfMemoryError(VelnorError):
    """-6 no_memory."""


class InvalidDeviceTypeError(VelnorError):
    """-7 invalid_device_type (driver status)."""


class UpdateInvalidStatusError(VelnorError):
    """-8 update_invalid_status: the request does not fit the update state (driver status)."""


class InvalidDataError(VelnorError):
    """-9 invalid_data: a value outside its range, or a refused image (driver status)."""


class DriverTimeoutError(VelnorError):
    """-10 timeout (driver status)."""


class PllNotLockedError(VelnorError):
    """-11 pll_not_locked: no divider chain gives the frequency (driver status)."""


class InvalidFrequencyError(VelnorError):
    """-13 invalid_frequency: the AD9516 cannot produce the frequency; the detail names
    the nearest ones."""

    @property
    def nearest(self) -> Tuple[int, ...]:
        """The producible frequencies the detail names, in hertz: the two neighbours
        (lower first), or the one bound that was crossed; () without a detail."""
        if not self.detail:
            return ()
        text = self.detail.split("Hz.", 1)[-1]
        return tuple(int(number) for number in re.findall(r"(-?\d+)Hz", text))


_by_code: Dict[int, Type[VelnorError]] = {
    -1: InternalError,
    -2: Ad9516CommunicationError,
    -3: InvalidDeviceError,
    -4: NullParameterError,
    -5: FailedError,
    -6: OutOfMemoryError,
    -7: InvalidDeviceTypeError,
    -8: UpdateInvalidStatusError,
    -9: InvalidDataError,
    -10: DriverTimeoutError,
    -11: PllNotLockedError,
    -13: InvalidFrequencyError,
}


class BoardNotFound(LookupError):
    """No board has the serial asked for. `present` lists (index, serial) of the boards seen."""

    def __init__(self, serial: str, present: Sequence[Tuple[int, str]]) -> None:
        seen = ", ".join(f"{index}: {text!r}" for index, text in present) or "no board"
        super().__init__(f"no board with serial {serial!r}; present: {seen}")
        self.serial = serial
        self.present: List[Tuple[int, str]] = list(present)


class AmbiguousSerial(LookupError):
    """Several boards have the serial asked for. `indices` are theirs; `present` lists
    (index, serial) of every board seen."""

    def __init__(self, serial: str, indices: Sequence[int],
                 present: Sequence[Tuple[int, str]]) -> None:
        where = ", ".join(str(index) for index in indices)
        super().__init__(f"{len(indices)} boards have serial {serial!r}, at indices {where}")
        self.serial = serial
        self.indices: List[int] = list(indices)
        self.present: List[Tuple[int, str]] = list(present)


class FirmwareImageError(ValueError):
    """A firmware image that the board would refuse; `reason` says why."""

    def __init__(self, reason: str) -> None:
        super().__init__(f"not a valid firmware image: {reason}")
        self.reason = reason


class LibraryNotFoundError(OSError):
    """The library could not be loaded; the text names every place that was tried and
    why each failed, and this interpreter's bitness when a library of another bitness
    was found. `tried` holds (place, why) pairs."""

    def __init__(self, message: str, tried: Sequence[Tuple[str, str]]) -> None:
        super().__init__(message)
        self.tried: List[Tuple[str, str]] = list(tried)

    def __str__(self) -> str:
        return str(self.args[0])

"""An open board."""

from __future__ import annotations

import ctypes
import os
import sys
import threading
import time
import warnings
from ctypes import c_uint8, c_uint32
from contextlib import contextmanager
from typing import Any, Callable, Dict, Iterator, NoReturn, Optional, Tuple, Union

from . import _firmware
from ._calls import fail
from ._errors import UpdateInvalidStatusError
from ._native import text_of, version_of, vl_clock, vl_version
from ._values import (
    I64_MAX,
    I64_MIN,
    Clock,
    ClockMode,
    Led,
    TriggerPolarity,
    TriggerStatus,
    UpdateState,
    Version,
    as_u32,
)

_LEDS = tuple(Led)
_POLARITIES = tuple(TriggerPolarity)
_STATUSES = tuple(TriggerStatus)
_STATES = tuple(UpdateState)
_MODES = tuple(ClockMode)
_BLOCK = ctypes.c_uint8 * 1032


_NOT_COPIED = ("a velnor.Board owns an open board handle and cannot be copied or pickled; "
               "open the board again instead")


class BoardClosedError(ValueError):
    """An operation on a Board after close()."""


class Board:
    """An open board; from velnor.open(). A context manager that closes on exit.

    Calls on one Board may come from several threads at once, as the library allows.
    close() is safe against them: the board's handle lives in one ctypes record that
    every call passes (ctypes reads it as the call starts, with the interpreter lock
    held); close() empties it first, so that a later call is refused, and then waits
    until no other thread is inside one of this board's calls before the library
    releases the handle. A call after close() raises BoardClosedError.

    A firmware update (update_firmware) is never cut off half-way by close(): close()
    asks it to stop, the update sends its reset at its next step and raises
    BoardClosedError, and only then is the handle released.

    A Board cannot be copied or pickled (TypeError): it owns its handle. One collected
    while still open releases the handle and gives a ResourceWarning.
    """

    def __init__(self, api: Any, handle: int, index: int) -> None:
        self._api = api
        self._hobj = ctypes.c_void_p(handle)
        self._closed = False
        self._index = index
        self._close_lock = threading.Lock()
        self._get_trigger_status = api.vl_device_get_trigger_status
        # Threads running update_firmware on this board (ident -> how many), and
        # whether a close() is waiting for them to stop.
        self._updates = threading.Condition()
        self._updating: Dict[int, int] = {}
        self._closing = False
        self._close_after_update = False

    # ---- lifecycle ----

    @property
    def index(self) -> int:
        """The board's index in the list when it was opened."""
        return self._index

    @property
    def closed(self) -> bool:
        return self._closed

    def close(self) -> None:
        """Closes the board; a second close does nothing. If the system refuses the
        close, the board stays open (the error is raised) and close() may be retried.
        A firmware update running on the board is stopped and reset first: close()
        returns once it has. Called from the update's own progress callback, the close
        takes effect when the update has reset, as update_firmware raises."""
        with self._close_lock:
            if self._closed:
                return
            if not self._stop_updates():
                return
            handle = self._hobj.value
            self._closed = True
            self._hobj.value = None
            self._wait_for_other_threads()
            rc = self._api.vl_device_close(handle)
            if rc:
                self._hobj.value = handle
                self._closed = False
            with self._updates:
                self._closing = False  # closed, or open again after a refused close
        if rc:
            fail(rc, "vl_device_close")

    def _stop_updates(self) -> bool:
        """Asks the updates running on this board to stop and waits until those of
        other threads have reset. False when this thread runs one itself (close() from
        its progress callback): the update closes the board when it has reset."""
        me = threading.get_ident()
        with self._updates:
            self._closing = True
            try:
                while any(ident != me for ident in self._updating):
                    self._updates.wait(0.05)
            except BaseException:  # KeyboardInterrupt while waiting: the board stays open
                self._closing = False
                raise
            if me in self._updating:
                self._close_after_update = True
                return False
            return True

    @contextmanager
    def _firmware_update(self) -> Iterator[None]:
        """Marks this thread as running a firmware update on the board for the block."""
        me = threading.get_ident()
        with self._updates:
            if self._closed or self._closing:
                raise self._refuse()
            self._updating[me] = self._updating.get(me, 0) + 1
        try:
            yield
        finally:
            with self._updates:
                self._updating[me] -= 1
                if not self._updating[me]:
                    del self._updating[me]
                close_now = self._close_after_update and not self._updating
                if close_now:
                    self._close_after_update = False
                self._updates.notify_all()
            if close_now:
                self.close()

    def _stop_if_closing(self) -> None:
        """Raised by an update at its next step once close() has asked it to stop."""
        if self._closing:
            raise BoardClosedError("the velnor.Board is being closed: its firmware update "
                                   "was stopped and is reset")

    def _wait_for_other_threads(self) -> None:
        # A thread inside one of this board's calls has one of this file's frames, with
        # this board as self, innermost: the library's code runs below it, frameless.
        me = threading.get_ident()
        while any(ident != me and frame.f_code.co_filename == __file__
                  and frame.f_locals.get("self") is self
                  for ident, frame in sys._current_frames().items()):
            time.sleep(0.0005)

    def __enter__(self) -> "Board":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __reduce_ex__(self, protocol: object) -> NoReturn:
        # copy.copy, copy.deepcopy and pickle all come here. A copy would share the
        # handle and close it under this board when collected; a pickle cannot carry it.
        raise TypeError(_NOT_COPIED)

    def __del__(self, _warn: Callable[..., None] = warnings.warn) -> None:
        # A board dropped without close(): warn as an unclosed file does, and release
        # the handle all the same, even when warnings are errors. No thread can be
        # inside one of its calls, since a call holds a reference to it. (_warn is kept
        # from the start, for a board collected as the interpreter shuts down.)
        if getattr(self, "_closed", True):
            return
        try:
            _warn(f"unclosed {self!r}", ResourceWarning, source=self)
        finally:
            try:
                if self._api.vl_device_close(self._hobj) == 0:
                    self._closed = True
            except Exception:
                pass

    def __repr__(self) -> str:
        state = "closed" if self._closed else "open"
        return f"<velnor.Board index={self._index} {state}>"

    def _refuse(self) -> BoardClosedError:
        return BoardClosedError("operation on a closed velnor.Board")

    def _fail(self, rc: int, function: str, hint: Optional[str] = None) -> None:
        if self._closed:
            # Closed while this call was starting: it reached the library with the
            # emptied handle, which the library refuses.
            raise self._refuse()
        fail(rc, function, hint)

    def _call(self, function: str, *args: Any) -> None:
        if self._closed:
            raise self._refuse()
        rc = getattr(self._api, function)(self._hobj, *args)
        if rc:
            self._fail(rc, function)

    # ---- versions and serial ----

    def _version(self, function: str) -> Version:
        record = vl_version()
        self._call(function, record)
        return version_of(record)

    @property
    def driver_version(self) -> Version:
        return self._version("vl_device_get_driver_version")

    @property
    def firmware_version(self) -> Version:
        return self._version("vl_device_get_firmware_version")

    @property
    def serial(self) -> str:
        """The serial number, up to 32 characters."""
        buffer = ctypes.create_string_buffer(33)
        self._call("vl_device_get_serial", buffer, 32)
        return text_of(buffer.raw[:32])

    # ---- 32-bit values ----

    def _get(self, function: str) -> int:
        out = c_uint32()
        self._call(function, out)
        return out.value

    def _set(self, function: str, value: int, what: str) -> None:
        self._call(function, as_u32(value, what))

    @property
    def led(self) -> Union[Led, int]:
        """The identification LED: Led.OFF, ON or BLINK (another int if the board says so)."""
        value = self._get("vl_device_get_id_led_state")
        return _LEDS[value] if value < 3 else value

    @led.setter
    def led(self, value: int) -> None:
        self._set("vl_device_set_id_led_state", value, "led")

    @property
    def trigger_polarity(self) -> Union[TriggerPolarity, int]:
        value = self._get("vl_device_get_trigger_polarity")
        return _POLARITIES[value] if value < 2 else value

    @trigger_polarity.setter
    def trigger_polarity(self, value: int) -> None:
        self._set("vl_device_set_trigger_polarity", value, "trigger_polarity")

    @property
    def trigger_status(self) -> Union[TriggerStatus, int]:
        """TriggerStatus.DISARMED, ARMED or TRIGGERED; set DISARMED or ARMED."""
        # Written out: this is the read a trigger loop polls, kept at the bare call's cost.
        if self._closed:
            raise self._refuse()
        out = c_uint32()
        rc = self._get_trigger_status(self._hobj, out)
        if rc:
            self._fail(rc, "vl_device_get_trigger_status")
        value = out.value
        return _STATUSES[value] if value < 3 else value

    @trigger_status.setter
    def trigger_status(self, value: int) -> None:
        self._set("vl_device_set_trigger_status", value, "trigger_status")

    # ---- clock ----

    @property
    def clock(self) -> Clock:
        """The clock record last set, reserved bytes as the board keeps them."""
        record = vl_clock()
        self._call("vl_device_get_clock", record)
        mode = record.mode
        return Clock(_MODES[mode] if mode < 2 else mode, record.frequency_hz,
                     int.from_bytes(bytes(record.reserved), "little"))

    @clock.setter
    def clock(self, value: Clock) -> None:
        """Sets the clock from a Clock (or a (mode, frequency_hz[, reserved]) tuple).
        An internal-mode frequency the AD9516 cannot produce raises
        InvalidFrequencyError, whose detail names the nearest producible ones."""
        mode, frequency, reserved = Clock(*value)
        record = vl_clock()
        record.mode = as_u32(mode, "clock mode")
        if not isinstance(frequency, int):
            raise TypeError("clock frequency_hz must be an int")
        if not I64_MIN <= frequency <= I64_MAX:
            raise ValueError(f"clock frequency_hz {frequency} does not fit in 64 bits")
        record.frequency_hz = frequency
        record.reserved[:] = list(as_u32(reserved, "clock reserved").to_bytes(4, "little"))
        if self._closed:
            raise self._refuse()
        rc = self._api.vl_device_set_clock(self._hobj, record)
        if rc:
            self._fail(rc, "vl_device_set_clock", f"{frequency}Hz" if rc == -13 else None)

    # ---- AD9516 registers ----

    def read_register(self, address: int) -> int:
        """One AD9516 register (0x000-0x232 on the board)."""
        out = c_uint8()
        self._call("vl_device_ad9516_reg_read", as_u32(address, "register address"), out)
        return out.value

    def write_register(self, address: int, value: int) -> None:
        """Writes one AD9516 register. The value goes to the board as its 32-bit field,
        uncut, so the board refuses one above 0xFF (InvalidDataError) rather than
        receiving its low byte."""
        word = as_u32(address, "register address") | as_u32(value, "register value") << 32
        self._call("vl_device_ad9516_reg_write", word)

    # ---- firmware update: the five requests ----

    def update_start(self) -> None:
        """Starts an update: the board erases, then accepts blocks. A board that is not
        idle (an update runs, or one was left unfinished) refuses with
        UpdateInvalidStatusError, whose text gives the board's update state, the bytes
        it has received, and that update_reset() returns it to idle."""
        try:
            self._call("vl_device_update_start_async")
        except UpdateInvalidStatusError as error:
            error.context = self._refused_start_context()
            raise

    def _refused_start_context(self) -> str:
        try:
            state, received = self.update_status()
        except Exception as error:  # the refusal is what to report; say what is unknown
            return f"the board's update state could not be read ({error})"
        name = state.name if isinstance(state, UpdateState) else str(state)
        now = f"(update state {name}, {received} bytes received)"
        if state in (UpdateState.ERASING, UpdateState.READY, UpdateState.VERIFYING):
            return (f"the board is in the middle of an update {now}: another one is running "
                    f"or was stopped half-way; when none is running, Board.update_reset() "
                    f"(velnorctl firmware reset) abandons it and a new update can start")
        return (f"the board refuses to start an update {now}; when none is running, "
                f"Board.update_reset() (velnorctl firmware reset) returns it to idle")

    def update_status(self) -> Tuple[Union[UpdateState, int], int]:
        """(state, image bytes received)."""
        state, received = c_uint32(), c_uint32()
        self._call("vl_device_update_get_status", state, received)
        return (_STATES[state.value] if state.value < 6 else state.value), received.value

    def update_write(self, block: bytes) -> None:
        """Sends one update block of exactly 1032 bytes as it stands (velnor.update_block
        makes one)."""
        data = bytes(block)
        if len(data) != 1032:
            raise ValueError(f"an update block is 1032 bytes, not {len(data)}")
        self._call("vl_device_update_write", _BLOCK.from_buffer_copy(data))

    def update_complete(self) -> None:
        """Completes the update; the board verifies the image."""
        self._call("vl_device_update_complete")

    def update_reset(self) -> None:
        """Abandons an update; the board discards the image and returns to idle."""
        self._call("vl_device_update_reset")

    def update_firmware(
        self,
        image: Union[bytes, bytearray, memoryview, str, "os.PathLike[str]"],
        *,
        progress: Optional[Callable[[int, int], object]] = None,
        timeout: float = 30.0,
    ) -> Version:
        """Updates the firmware from an image (bytes or a path), calling
        progress(bytes_sent, image_size) after every block, and returns the new
        firmware version. See velnor._firmware.update for the steps."""
        return _firmware.update(self, image, progress, timeout)

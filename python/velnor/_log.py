"""Finds the library's log line for one failed call.

The library's only channel for a failure's detail is Velnor.log in the temporary
directory. Every process on the machine appends to that one file, and each process
empties it at its own first failure, so the newest line that names a function may
belong to another process, or to another thread of this one. A line is taken as a
failure's own only when all of this holds:

1. it was appended after this process last read the file (or was read then and is
   not yet claimed by another failure of this process). Every line is one entry, its
   place in the file its identity: identical lines (one export failing the same way
   several times in a millisecond) are as many entries, one for each failure;
2. it names the same export and the same result code (for "failed" any category,
   since the library turns every system error into it);
3. its time stamp lies within `window` seconds before the failure was seen, since
   the library writes the line just before the call returns;
4. it contains the failure's own hint when there is one (the refused frequency);
5. every line that passes 1-4 reads the same after its time stamp, so whichever
   was ours, the text is.

Otherwise the detail is None: a wrong line is worse than none. Reads happen only
after a failure, under one lock of this process; success paths never touch the file.
"""

from __future__ import annotations

import collections
import datetime
import os
import re
import stat
import sys
import threading
from typing import List, NamedTuple, Optional, Tuple

LOG_NAME = "Velnor.log"
WINDOW_SECONDS = 2.0
# A failure storm of other processes must not make one read unbounded.
_READ_MAX = 1 << 20
_POOL_MAX = 256

_LINE = re.compile(
    r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] \[Velnor\] \[error\] "
    r"\[(\w+)\] Error: ([^:\s]+):(-?\d+), (.*)$"
)


def temp_directory() -> str:
    """The directory the library's logger uses: GetTempPathW on Windows; on other
    systems the first of TMPDIR, TMP, TEMP, TEMPDIR that is set, else /tmp (the C++
    standard library's temp_directory_path)."""
    if sys.platform == "win32":
        import ctypes

        from ._win32 import kernel32

        buffer = ctypes.create_unicode_buffer(261)
        length = kernel32().GetTempPathW(261, buffer)
        return buffer.value if 0 < length <= 260 else ""
    for name in ("TMPDIR", "TMP", "TEMP", "TEMPDIR"):
        value = os.environ.get(name)
        if value:
            return value
    return "/tmp"


def log_path() -> str:
    """Path of the library's log file, as the library forms it."""
    return f"{temp_directory()}/{LOG_NAME}"


class _Line(NamedTuple):
    stamp: datetime.datetime
    function: str
    category: str
    value: int
    message: str
    text: str


def parse_line(text: str) -> Optional[_Line]:
    match = _LINE.match(text)
    if not match:
        return None
    try:
        stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
    except ValueError:
        return None
    return _Line(stamp, match.group(2), match.group(3), int(match.group(4)),
                 match.group(5), text)


class LogReader:
    """What this process has read of the log file and not yet claimed."""

    def __init__(self, path_of=log_path, window: float = WINDOW_SECONDS,
                 now=datetime.datetime.now) -> None:
        self._lock = threading.Lock()
        self._path_of = path_of
        self._window = datetime.timedelta(seconds=window)
        self._now = now
        self._identity: Optional[Tuple[int, int]] = None
        self._first_line = b""
        self._offset = 0
        self._pool: List[_Line] = []
        # Lines already claimed, so that reading the file again from its start
        # (after it looked emptied or replaced) cannot hand them out twice.
        self._claimed: collections.deque = collections.deque(maxlen=_POOL_MAX)

    def detail(self, function: str, code: int, hint: Optional[str] = None) -> Optional[str]:
        """The log line of the failure of `function` with `code` that has just been
        seen on this thread, without its line ending; None when it cannot be told."""
        try:
            with self._lock:
                now = self._now()
                self._read_new()
                oldest = now - self._window
                latest = now + datetime.timedelta(seconds=0.5)
                self._pool = [line for line in self._pool if line.stamp >= oldest]
                candidates = [
                    line for line in self._pool
                    if line.function == function
                    and line.stamp <= latest
                    and _same_code(line, code)
                    and (hint is None or hint in line.message)
                ]
                if not candidates:
                    return None
                if any(line.message != candidates[0].message for line in candidates):
                    return None
                self._pool.remove(candidates[0])
                self._claimed.append(candidates[0].text)
                return candidates[0].text
        except (OSError, ValueError):
            return None

    def _read_new(self) -> None:
        # Non-blocking, and regular files only: a FIFO or device planted under the
        # log's name must not hang or flood a failing call.
        try:
            descriptor = os.open(self._path_of(), os.O_RDONLY | getattr(os, "O_NONBLOCK", 0))
        except OSError:
            return
        with open(descriptor, "rb") as file:
            status = os.fstat(file.fileno())
            if not stat.S_ISREG(status.st_mode):
                return
            identity = (status.st_dev, status.st_ino)
            first_line = file.readline(512)
            if not first_line.endswith(b"\n"):
                first_line = b""
            emptied = (
                identity != self._identity
                or status.st_size < self._offset
                or (first_line != self._first_line and self._first_line != b"")
            )
            start = 0 if emptied else self._offset
            if status.st_size - start > _READ_MAX:
                start = status.st_size - _READ_MAX
            file.seek(start)
            data = file.read(status.st_size - start)
            # Only whole lines: the rest is read next time.
            end = data.rfind(b"\n") + 1
            chunk = data[:end]
            if start > 0 and (emptied or start != self._offset):
                # Started inside a line: drop its remainder.
                cut = chunk.find(b"\n") + 1
                chunk = chunk[cut:]
            self._identity = identity
            self._first_line = first_line
            self._offset = start + end
        # Past the offset every line is new, each its own entry however many read the
        # same. A file read again from its start may hold lines seen before (a copy
        # put in its place): each line already pooled or claimed is skipped once.
        seen = collections.Counter(line.text for line in self._pool) if emptied else None
        if seen is not None:
            seen.update(self._claimed)
        for raw in chunk.split(b"\n"):
            line = parse_line(raw.rstrip(b"\r").decode("utf-8", "backslashreplace"))
            if line is None:
                continue
            if seen is not None and seen[line.text] > 0:
                seen[line.text] -= 1
                continue
            self._pool.append(line)
        del self._pool[:-_POOL_MAX]


def _same_code(line: _Line, code: int) -> bool:
    if line.category == "Velnor":
        return line.value == code
    # A system or generic error reaches the caller as "failed".
    return code == -5


reader = LogReader()

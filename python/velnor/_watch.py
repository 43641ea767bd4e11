"""Boards arriving and leaving: velnor.watch over the watch library.

The watch library (libvelnor_watch.so.1 / VelnorWatch.dll) is a companion of the
Velnor library and is loaded at the first watch, from VELNOR_WATCH_LIBRARY or from
beside the loaded Velnor library (the system's search when that one came from the
system's search). Importing velnor and using boards never needs it.

The watch's own native thread calls back into Python through a ctypes thunk that
only puts the event into the watcher's queue. Whoever reads the events (get(),
iteration, or the package's dispatch thread of the callback form) takes them from
there, so no Python code of the application ever runs on the native thread, and
vl_watch_stop is never called from it. vl_watch_stop waits for a running thunk,
which needs the interpreter lock: the library is a ctypes.CDLL, whose calls release
that lock, so a stop never holds it while it waits.
"""

from __future__ import annotations

import atexit
import ctypes
import enum
import math
import os
import queue
import sys
import threading
from ctypes import POINTER, c_char_p, c_int, c_int32, c_uint32, c_void_p
from typing import Callable, Dict, Iterator, NamedTuple, Optional, Tuple, Union

from . import _loader
from ._calls import fail
from ._errors import LibraryNotFoundError

WATCH_NAME = "VelnorWatch.dll" if _loader._windows else "libvelnor_watch.so.1"
VL_WATCH_PRESENT = 1

_CALLBACK = ctypes.CFUNCTYPE(None, c_void_p, c_int, c_char_p)
# name, argument types; both return the 32-bit result code.
PROTOTYPES = (
    ("vl_watch_start", (c_uint32, _CALLBACK, c_void_p, POINTER(c_void_p))),
    ("vl_watch_stop", (c_void_p,)),
)


class BoardEventKind(enum.IntEnum):
    """What happened to a board (the watch header's VL_WATCH_ARRIVED / REMOVED)."""

    ARRIVED = 1
    REMOVED = 2


class BoardEvent(NamedTuple):
    """A board arrived or left. path is its interface path, as `velnorctl list` shows it."""

    kind: BoardEventKind
    path: str


class WatchStoppedError(ValueError):
    """get() on a watch that is stopped."""


# ---- the library -------------------------------------------------------------------

_lock = threading.Lock()
_library: Optional[Tuple[ctypes.CDLL, str]] = None
# Kept alive: a closed cookie would take the folder off the DLL search again.
_dll_directories: list = []


def place(velnor_path: str, environ: Optional[dict] = None) -> Tuple[str, str]:
    """Where the watch library is looked for: (what the place is, the place)."""
    env = os.environ if environ is None else environ
    if env.get("VELNOR_WATCH_LIBRARY"):
        return "VELNOR_WATCH_LIBRARY", env["VELNOR_WATCH_LIBRARY"]
    if os.path.isabs(velnor_path):
        return "beside the Velnor library", os.path.join(os.path.dirname(velnor_path), WATCH_NAME)
    # The Velnor library came from the system's search (on Linux, by its name).
    return "system", WATCH_NAME


def library() -> Tuple[ctypes.CDLL, str]:
    """The watch library and its path, loaded on first use (after the Velnor library)."""
    global _library
    current = _library
    if current is not None:
        return current
    velnor = _loader.get()
    with _lock:
        if _library is None:
            _library = _search(velnor.path)
        return _library


def _search(velnor_path: str) -> Tuple[ctypes.CDLL, str]:
    kind, where = place(velnor_path)
    label = f"the system's search for {where}" if kind == "system" else f"{kind}: {where}"
    if kind != "system" and not os.path.isfile(where):
        why = "a directory, not the library file" if os.path.isdir(where) else "no such file"
    else:
        try:
            return _open(where if kind == "system" else os.path.abspath(where))
        except (OSError, AttributeError) as error:
            why = str(error) or type(error).__name__
    raise LibraryNotFoundError(
        f"velnor: could not load the watch library ({WATCH_NAME}). Looked in:\n"
        f"  {label}: {why}\n"
        "Set VELNOR_WATCH_LIBRARY to the watch library's path.", [(label, why)])


def _open(where: str) -> Tuple[ctypes.CDLL, str]:
    if _loader._windows and os.path.isabs(where):
        # Its imports (velnor_sim.dll beside the simulation build) resolve there.
        _dll_directories.append(os.add_dll_directory(os.path.dirname(where)))
    # A CDLL, never a PyDLL: its calls release the interpreter lock, which the
    # native thread's callback needs while vl_watch_stop waits for it.
    watch_library = ctypes.CDLL(where)
    for name, argtypes in PROTOTYPES:
        try:
            function = getattr(watch_library, name)
        except AttributeError:
            raise AttributeError(f"not the watch library: it lacks the export {name}") from None
        function.argtypes = argtypes
        function.restype = c_int32
    return watch_library, where


def library_path() -> str:
    """Path (or name, when the system's search found it) of the watch library."""
    return library()[1]


# ---- the watch ---------------------------------------------------------------------

_STOP = object()
# Watches that run: kept alive here, as running threads are, so that the thunk the
# native thread calls can never be collected before vl_watch_stop returned.
_running: Dict[int, "Watcher"] = {}


def _kind(value: int) -> Union[BoardEventKind, int]:
    try:
        return BoardEventKind(value)
    except ValueError:
        return value


def _queue_event(events: "queue.SimpleQueue", event: int, path: Optional[bytes]) -> None:
    events.put(BoardEvent(_kind(event),
                          (path or b"").decode("utf-8", "backslashreplace")))


def _thunk(events: "queue.SimpleQueue"):
    # Refers to the queue only, never to the watcher, so no cycle holds either.
    def heard(context: Optional[int], event: int, path: Optional[bytes]) -> None:
        try:
            _queue_event(events, event, path)
        except BaseException:
            # Nothing may leave a ctypes callback; an event that cannot be queued
            # (memory ran out) is lost.
            pass

    return _CALLBACK(heard)


def _seconds(timeout: Optional[float]) -> Optional[float]:
    if timeout is None:
        return None
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
        raise TypeError(f"timeout must be None or a number of seconds (an int or a float), "
                        f"not {type(timeout).__name__} {timeout!r}")
    if math.isnan(timeout) or timeout < 0:
        raise ValueError(f"timeout must be None or a number of seconds from 0, not {timeout!r}")
    return min(float(timeout), threading.TIMEOUT_MAX)


class Watcher:
    """A running watch; from velnor.watch(). A context manager that stops on exit.

    Without a callback, read the events with get(), events(timeout) or `for event in
    watcher`. With one, the package's dispatch thread (named "velnor-watch") calls it
    for every event, one at a time and in order.
    """

    def __init__(self, present: bool, callback: Optional[Callable[[BoardEvent], object]]):
        if callback is not None and not callable(callback):
            raise TypeError(f"callback must be callable, not {type(callback).__name__}")
        self._callback = callback
        self._events: "queue.SimpleQueue" = queue.SimpleQueue()
        self._thunk = _thunk(self._events)
        self._lock = threading.Lock()
        self._stopping = False
        self._stopped = threading.Event()
        self._handle: Optional[int] = None
        self._thread: Optional[threading.Thread] = None
        watch_library = library()[0]
        if callback is not None:
            self._thread = threading.Thread(target=self._dispatch, name="velnor-watch",
                                            daemon=True)
            self._thread.start()
        handle = c_void_p()
        try:
            rc = watch_library.vl_watch_start(VL_WATCH_PRESENT if present else 0,
                                              self._thunk, None, ctypes.byref(handle))
            if rc:
                fail(rc, "vl_watch_start")
        except BaseException:
            if handle.value:
                # Started, and then interrupted before the watch was kept.
                watch_library.vl_watch_stop(handle)
            self._stopping = True
            self._events.put(_STOP)
            self._stopped.set()
            if self._thread is not None:
                self._thread.join()
            raise
        self._handle = handle.value
        _running[id(self)] = self

    def __enter__(self) -> "Watcher":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.stop()

    def __repr__(self) -> str:
        form = " callback" if self._callback is not None else ""
        return f"<velnor.Watcher{form} {'stopped' if self.stopped else 'running'}>"

    @property
    def stopped(self) -> bool:
        """True once stop() has begun."""
        return self._stopping

    def stop(self) -> None:
        """Stops the watch; a second call does nothing. Events not yet taken are dropped.

        From any thread but the dispatch thread it returns when no callback runs and
        none will: a running callback is waited for. From the callback itself it stops
        the watch (no callback starts after the running one) and returns at once."""
        self._stop(wait=True)

    def _stop(self, wait: bool) -> None:
        with self._lock:
            self._stopping = True
            handle, self._handle = self._handle, None
        if handle is None:
            # Another thread stops it: wait until the native watch has ended.
            self._stopped.wait()
        else:
            try:
                # Releases the interpreter lock while it waits for the native thread.
                rc = library()[0].vl_watch_stop(handle)
            finally:
                _running.pop(id(self), None)
                self._events.put(_STOP)
                self._stopped.set()
            if rc:
                fail(rc, "vl_watch_stop")
        thread = self._thread
        if wait and thread is not None and thread is not threading.current_thread():
            thread.join()

    def get(self, timeout: Optional[float] = None) -> BoardEvent:
        """The next event, waiting at most timeout seconds (None: as long as it takes).
        TimeoutError when none came in time; WatchStoppedError once the watch is stopped
        (even while get() waits). TypeError for a watch with a callback: its events go
        there."""
        if self._callback is not None:
            raise TypeError("this watch hands its events to its callback")
        seconds = _seconds(timeout)
        try:
            item = self._events.get(timeout=seconds)
        except queue.Empty:
            raise TimeoutError(f"no board event within {timeout} s") from None
        if item is _STOP or self._stopping:
            # Left for the other readers, which end too.
            self._events.put(_STOP)
            raise WatchStoppedError("the velnor watch is stopped")
        return item

    def events(self, timeout: Optional[float] = None) -> Iterator[BoardEvent]:
        """Yields events until none comes within timeout seconds (None: for ever) or
        the watch is stopped; then ends, without an exception."""
        if self._callback is not None:
            raise TypeError("this watch hands its events to its callback")
        _seconds(timeout)
        return self._until_quiet(timeout)

    def _until_quiet(self, timeout: Optional[float]) -> Iterator[BoardEvent]:
        while True:
            try:
                yield self.get(timeout)
            except (TimeoutError, WatchStoppedError):
                return

    def __iter__(self) -> Iterator[BoardEvent]:
        return self.events()

    def _dispatch(self) -> None:
        callback = self._callback
        assert callback is not None
        while True:
            item = self._events.get()
            if item is _STOP or self._stopping:
                return
            try:
                callback(item)
            except BaseException:
                _report()


def _report() -> None:
    """The callback's exception, told as an exception that ends a thread is told:
    through threading.excepthook (the traceback on stderr by default)."""
    exc_type, exc_value, exc_traceback = sys.exc_info()
    try:
        threading.excepthook(threading.ExceptHookArgs(  # type: ignore[call-arg]
            (exc_type, exc_value, exc_traceback, threading.current_thread())))
    except BaseException:
        # A hook that fails is told by sys.excepthook, as threading does.
        sys.excepthook(*sys.exc_info())
    finally:
        del exc_value, exc_traceback


@atexit.register
def _stop_all() -> None:
    # The native threads must be gone before the interpreter is: they call into it.
    for watcher in list(_running.values()):
        try:
            watcher._stop(wait=False)
        except Exception:
            pass


def watch(present: bool = False,
          callback: Optional[Callable[[BoardEvent], object]] = None) -> Watcher:
    """Starts a watch on boards arriving and leaving and returns it running.

    present=True reports every board present now as ARRIVED before any later event.
    Without a callback, read the events from the watcher; with one, callback(event)
    is called on the package's dispatch thread (never the native watch thread), and
    an exception it raises goes to threading.excepthook while the watch goes on.
    Use it in a `with` block, or call stop(). A failed start raises the VelnorError
    of its code (FailedError when the system refuses the registration) with its
    Velnor.log line; LibraryNotFoundError when the watch library cannot be loaded."""
    return Watcher(bool(present), callback)

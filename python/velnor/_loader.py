"""Finds and loads the C library, once per process.

Order: the VELNOR_LIBRARY environment variable (a path; when set, nothing else is
tried), then, when VELNOR_RECORDING is set (to anything but "" or "0"), the recording
build inside the installed package (velnor/_libs/trace/) and nothing else, then a
library inside the installed package (velnor/_libs/), then the system's search. On Windows every load is by absolute path, with the library's folder
added through os.add_dll_directory so that its own DLLs (velnor_sim.dll beside the
simulation build) resolve there. Before the library, the virtual platform's library
is loaded from VELNOR_SIM_LIBRARY or from beside it when present, so that the
library binds to that very copy and velnor.sim steers the boards the library sees.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import platform
import struct
import sys
import threading
from typing import Any, List, NamedTuple, Optional, Tuple

from . import _native, _pe
from ._errors import LibraryNotFoundError

_windows = sys.platform == "win32"
LIBRARY_NAME = "Velnor.dll" if _windows else "libvelnor.so"
SIM_NAME = "velnor_sim.dll" if _windows else "libvelnor_sim.so"
BUNDLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_libs")
# The recording build, which writes every platform call to a trace: the wheels carry it
# in a folder of its own, beside the product.
RECORDING_VARIABLE = "VELNOR_RECORDING"
RECORDING_FOLDER = "trace"


class Loaded(NamedTuple):
    library: ctypes.CDLL
    path: str
    sim: Optional[ctypes.CDLL]
    sim_path: Optional[str]
    # Why velnor.sim is unavailable, when it is.
    sim_absent: str


_lock = threading.Lock()
_loaded: Optional[Loaded] = None
# Kept alive: a closed cookie would take the folder off the DLL search again.
_dll_directories: List[Any] = []


def bitness() -> str:
    return f"{struct.calcsize('P') * 8}-bit ({platform.machine() or 'unknown machine'})"


def loaded() -> Optional[Loaded]:
    return _loaded


def get() -> Loaded:
    """The loaded library, loading it on first use."""
    current = _loaded
    return current if current is not None else load()


def load(path: Optional[str] = None, *, simulation: bool = False) -> Loaded:
    """Loads the library now, from path or by the search order; a second call is a
    no-op when it would load the same library, else RuntimeError."""
    global _loaded
    with _lock:
        if _loaded is not None:
            if path is not None and not _same_file(path, _loaded.path):
                raise RuntimeError(f"velnor: {_loaded.path} is loaded already; "
                                   f"a process can use one Velnor library")
            return _loaded
        _loaded = _search(path, simulation)
        return _loaded


def candidates(explicit: Optional[str] = None, simulation: bool = False,
               environ: Optional[dict] = None) -> List[Tuple[str, str]]:
    """The places to try in order, as (kind, place) pairs."""
    env = os.environ if environ is None else environ
    if explicit is not None:
        return [("argument", explicit)]
    if env.get("VELNOR_LIBRARY"):
        return [("VELNOR_LIBRARY", env["VELNOR_LIBRARY"])]
    if env.get(RECORDING_VARIABLE, "0") not in ("", "0"):
        # Never the product in its place: a session the user means to record must not
        # run unrecorded without a word.
        return [(RECORDING_VARIABLE, os.path.join(BUNDLE, RECORDING_FOLDER, LIBRARY_NAME))]
    bundled = os.path.join(BUNDLE, "simulation", LIBRARY_NAME) if simulation and _windows else None
    places = []
    if bundled:
        places.append(("package", bundled))
    places.append(("package", os.path.join(BUNDLE, LIBRARY_NAME)))
    places.append(("system", LIBRARY_NAME))
    return places


class _BitnessError(OSError):
    """A library built for another bitness than this interpreter."""


def _search(explicit: Optional[str], simulation: bool) -> Loaded:
    tried: List[Tuple[str, str]] = []
    other_bitness = False
    for kind, place in candidates(explicit, simulation):
        label = f"{kind}: {place}" if kind != "system" else f"the system's search for {place}"
        if kind == "system":
            found = _system_find(place)
            if found is None:
                tried.append((label, "not found"))
                continue
            place = found
        elif os.path.isdir(place):
            inside = os.path.join(place, LIBRARY_NAME)
            tried.append((label, f"a directory, not the library file; name the file: {inside}"
                          if os.path.isfile(inside) else
                          f"a directory, not the library file (there is no {LIBRARY_NAME} in it)"))
            continue
        elif not os.path.isfile(place):
            tried.append((label, "no such file" if kind != RECORDING_VARIABLE else
                          "no such file: this copy of the package carries no recording build; "
                          "set VELNOR_LIBRARY to one (lib/trace/libvelnor.so.1 of a build)"))
            continue
        try:
            return _open(os.path.abspath(place) if os.path.isfile(place) else place)
        except (OSError, AttributeError, ValueError) as error:
            why = str(error) or type(error).__name__
            if (isinstance(error, _BitnessError) or "wrong ELF class" in why
                    or getattr(error, "winerror", None) == 193):
                other_bitness = True
                why += f" (built for another bitness than this {struct.calcsize('P') * 8}-bit Python)"
            tried.append((label, why))
    lines = [f"velnor: could not load the Velnor library ({LIBRARY_NAME}). Looked in:"]
    lines += [f"  {place}: {why}" for place, why in tried]
    if other_bitness:
        lines.append(f"This Python is {bitness()}; the library must be built for the same.")
    lines.append("Set VELNOR_LIBRARY to the library's path.")
    raise LibraryNotFoundError("\n".join(lines), tried)


def _system_find(name: str) -> Optional[str]:
    if _windows:
        # An absolute path from the folders of PATH (ctypes.util's search there).
        return ctypes.util.find_library(name)
    # The dynamic loader's own search: LD_LIBRARY_PATH, its cache, the default folders.
    return "libvelnor.so.1"


def _open(place: str) -> Loaded:
    sim_path = _sim_beside(place)
    sim: Optional[ctypes.CDLL] = None
    if _windows:
        info = _pe.read_pe(place)
        if info.bits != struct.calcsize("P") * 8:
            raise _BitnessError(f"built for {info.machine} ({info.bits}-bit)")
        _dll_directories.append(os.add_dll_directory(os.path.dirname(place)))
        virtual = any(name.lower() == SIM_NAME for name in info.imports)
        if virtual and not sim_path and not _loaded_module(SIM_NAME):
            # PATH is not searched for a DLL's imports: say what is missing and where.
            raise OSError(f"the simulation build needs {SIM_NAME}: put it beside the DLL "
                          f"or set VELNOR_SIM_LIBRARY to its path")
        if virtual and sim_path:
            _dll_directories.append(os.add_dll_directory(os.path.dirname(sim_path)))
            sim = ctypes.CDLL(sim_path)
    elif sim_path:
        sim = ctypes.CDLL(sim_path)
    library = ctypes.CDLL(place)
    if not hasattr(library, "vl_get_library_version") and hasattr(library, "vlsim_reset"):
        raise OSError(f"the virtual platform's library ({SIM_NAME}), not the Velnor library: "
                      f"name {LIBRARY_NAME}, which uses it")
    _native.bind(library)
    absent = ""
    if _windows:
        if not virtual:
            absent = f"{place} is the product library, not a virtual-platform build"
        elif sim is None:
            sim, sim_path = _loaded_module(SIM_NAME), SIM_NAME
    else:
        # The copy the library was bound to is the one its soname names now.
        bound = _loaded_module(SIM_NAME)
        if sim is not None and (bound is None or bound._handle != sim._handle):
            absent = f"{place} is bound to another {SIM_NAME} than {sim_path}"
            sim = None
        elif sim is None:
            sim, sim_path = bound, SIM_NAME
            if sim is None:
                absent = f"{place} does not use the virtual platform ({SIM_NAME})"
    if sim is None and not absent:
        absent = f"{SIM_NAME} is not loaded"
    return Loaded(library, place, sim, sim_path if sim is not None else None, absent)


def _sim_beside(library_path: str) -> Optional[str]:
    explicit = os.environ.get("VELNOR_SIM_LIBRARY")
    if explicit:
        if not os.path.isfile(explicit):
            raise OSError(f"VELNOR_SIM_LIBRARY={explicit}: no such file")
        return os.path.abspath(explicit)
    if not os.path.isabs(library_path):
        return None
    folder = os.path.dirname(library_path)
    places = [folder]
    if os.path.basename(folder) == RECORDING_FOLDER:
        # The recording build uses the platform of the product it sits beside.
        places.append(os.path.dirname(folder))
    for place in places:
        beside = os.path.join(place, SIM_NAME)
        if os.path.isfile(beside):
            return beside
    return None


def _loaded_module(name: str) -> Optional[ctypes.CDLL]:
    """The copy of name already in the process (the one the library was bound to)."""
    if _windows:
        from ._win32 import kernel32

        handle = kernel32().GetModuleHandleW(name)
        return ctypes.CDLL(name, handle=handle) if handle else None
    try:
        return ctypes.CDLL(name, mode=os.RTLD_NOLOAD | os.RTLD_LAZY)
    except OSError:
        return None


def _same_file(a: str, b: str) -> bool:
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False

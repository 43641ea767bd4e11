"""The two kernel32 calls the package makes on Windows, with their own prototypes
(never ctypes.windll's shared ones, whose default int result would cut a 64-bit
module handle)."""

from __future__ import annotations

import ctypes
import functools
from typing import Any


@functools.lru_cache(maxsize=None)
def kernel32() -> Any:
    library = ctypes.WinDLL("kernel32", use_last_error=True)  # type: ignore[attr-defined]
    library.GetModuleHandleW.argtypes = (ctypes.c_wchar_p,)
    library.GetModuleHandleW.restype = ctypes.c_void_p
    library.GetTempPathW.argtypes = (ctypes.c_uint32, ctypes.c_wchar_p)
    library.GetTempPathW.restype = ctypes.c_uint32
    return library

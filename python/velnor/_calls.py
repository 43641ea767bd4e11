"""Turns a failed call's result code into its exception."""

from __future__ import annotations

from typing import NoReturn, Optional

from ._errors import VelnorError
from ._log import reader


def fail(code: int, function: str, hint: Optional[str] = None) -> NoReturn:
    raise VelnorError.of(code, function, reader.detail(function, code, hint))

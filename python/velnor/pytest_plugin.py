"""The pytest plugin (entry point pytest11 "velnor"): the `velnor_sim` fixture.

    def test_led_blinks(velnor_sim):
        velnor_sim.add_board(serial="LAB-7")
        with velnor.open(serial="LAB-7") as board:
            board.led = velnor.Led.BLINK

The fixture is the velnor.sim module, reset before the test (no board is present:
add the ones the test needs) and again after it, so no board, fault or record
leaks from one test into the next. Close the boards a test opens. Importing this
plugin loads nothing; the library is loaded at the first use of the fixture (on
Windows the bundled simulation build, unless VELNOR_LIBRARY names one).
"""

from __future__ import annotations

from types import ModuleType
from typing import Iterator

import pytest


@pytest.fixture
def velnor_sim() -> Iterator[ModuleType]:
    import velnor

    velnor.load_library(simulation=True)
    try:
        import velnor.sim as sim
    except ImportError as error:
        pytest.fail(f"the velnor_sim fixture needs a virtual-platform build: {error}",
                    pytrace=False)
    sim.reset()
    try:
        yield sim
    finally:
        sim.reset()

"""board.trigger_status against a bare ctypes call of the same export, in one run.

    PYTHONPATH=python VELNOR_LIBRARY=build/host-release/lib/libvelnor.so \\
        /usr/bin/python3 -m pytest python/bench -q -s

prints the ratio of the medians (target: at most 1.3).
"""

import ctypes

import pytest

import velnor
from velnor import _loader

medians = {}
ROUNDS, ITERATIONS = 400, 500


@pytest.fixture(scope="module")
def board():
    with velnor.open() as opened:
        yield opened


def bare_call(board):
    function = _loader.get().library.vl_device_get_trigger_status
    handle = board._handle
    out = ctypes.c_uint32()
    pointer = ctypes.byref(out)

    def call():
        if function(handle, pointer) != 0:
            raise RuntimeError("failed")
        return out.value

    return call


def test_bare_ctypes_call(benchmark, board):
    call = bare_call(board)
    assert benchmark.pedantic(call, rounds=ROUNDS, iterations=ITERATIONS, warmup_rounds=20) == 0
    if getattr(benchmark, "stats", None):
        medians["bare"] = benchmark.stats.stats.median


def test_board_trigger_status(benchmark, board):
    def call():
        return board.trigger_status

    assert benchmark.pedantic(call, rounds=ROUNDS, iterations=ITERATIONS,
                              warmup_rounds=20) is velnor.TriggerStatus.DISARMED
    if getattr(benchmark, "stats", None):
        medians["board"] = benchmark.stats.stats.median


def test_ratio():
    if len(medians) < 2:
        pytest.skip("benchmarks disabled: nothing to compare")
    ratio = medians["board"] / medians["bare"]
    print(f"\nboard.trigger_status {medians['board'] * 1e9:.0f} ns, bare ctypes call "
          f"{medians['bare'] * 1e9:.0f} ns, ratio {ratio:.2f} (target <= 1.3)")

"""board.trigger_status against a bare ctypes call of the same export, in one run.

    PYTHONPATH=python VELNOR_LIBRARY=build/host-release/lib/libvelnor.so \\
        /usr/bin/python3 -m pytest python/bench -q -s -p no:cacheprovider \\
        --benchmark-timer=time.process_time

prints the ratio of the medians (target: at most 1.3). The two are measured in turns,
fifteen times each, so that a change of load on the machine falls on both alike.
"""

import ctypes
import statistics

import pytest

import velnor
from velnor import _loader

ROUNDS, ITERATIONS, TURNS = 300, 500, 15
medians = {"bare": [], "board": []}
minima = {"bare": [], "board": []}


@pytest.fixture(scope="module")
def board():
    with velnor.open() as opened:
        yield opened


def bare_call(board):
    function = _loader.get().library.vl_device_get_trigger_status
    handle = board._hobj.value
    out = ctypes.c_uint32()
    pointer = ctypes.byref(out)

    def call():
        if function(handle, pointer) != 0:
            raise RuntimeError("vl_device_get_trigger_status failed")
        return out.value

    return call


def property_read(board):
    def call():
        return board.trigger_status

    return call


@pytest.mark.parametrize("kind, turn", [(kind, turn) for turn in range(TURNS)
                                        for kind in ("bare", "board")])
def test_trigger_status(benchmark, board, kind, turn):
    call = bare_call(board) if kind == "bare" else property_read(board)
    benchmark.group = "trigger_status"
    result = benchmark.pedantic(call, rounds=ROUNDS, iterations=ITERATIONS, warmup_rounds=10)
    assert result == velnor.TriggerStatus.DISARMED
    if getattr(benchmark, "stats", None):
        medians[kind].append(benchmark.stats.stats.median)
        minima[kind].append(benchmark.stats.stats.min)


def test_ratio():
    if not medians["bare"] or not medians["board"]:
        pytest.skip("benchmarks disabled: nothing to compare")
    bare = statistics.median(medians["bare"])
    board = statistics.median(medians["board"])
    fastest = min(minima["board"]) / min(minima["bare"])
    print(f"\nboard.trigger_status {board * 1e9:.0f} ns, bare ctypes call {bare * 1e9:.0f} ns "
          f"(medians of {TURNS} turns); ratio {board / bare:.3f} (target <= 1.3); "
          f"ratio of the fastest rounds {fastest:.3f}; ratio per turn: "
          + ", ".join(f"{b / a:.2f}" for a, b in zip(medians["bare"], medians["board"])))

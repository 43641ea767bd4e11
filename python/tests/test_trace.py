"""Replaying a trace from pytest: a session recorded through the recording build (in
a fresh interpreter on lib/trace) replays with the recorded answers, and a call that
leaves the trace raises FailedError and is named by trace_divergence()."""

import os

import pytest

import velnor
from conftest import LIBRARY, run_python

PATH0 = "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"

SESSION = """
import threading, velnor, velnor.sim
print(threading.get_native_id())
velnor.sim.reset()
velnor.sim.add_board(serial="LAB-7")
with velnor.open() as board:
    board.led = velnor.Led.BLINK
    assert board.serial == "LAB-7"
"""


@pytest.fixture(scope="module")
def recorded(tmp_path_factory):
    folder = tmp_path_factory.mktemp("trace")
    recording = os.path.join(os.path.dirname(LIBRARY), "trace", os.path.basename(LIBRARY))
    sim = os.path.join(os.path.dirname(LIBRARY), "libvelnor_sim.so")
    if not os.path.exists(recording):
        pytest.skip(f"no recording build beside {LIBRARY}")
    result = run_python(SESSION, env={"VELNOR_LIBRARY": recording, "VELNOR_SIM_LIBRARY": sim,
                                      "TMPDIR": str(folder)})
    assert result.returncode == 0, result.stderr
    traces = [name for name in os.listdir(folder) if name.endswith(".pcapng")]
    assert len(traces) == 1, os.listdir(folder)
    return folder / traces[0], result.stdout.strip()


def test_load_trace_replays_and_names_the_call_that_left_it(velnor_sim, recorded):
    trace, thread = recorded
    assert velnor_sim.trace_records_left() == -1
    velnor_sim.load_trace(trace)
    assert velnor_sim.board_count() == 1
    assert velnor_sim.trace_records_left() == 6  # size, fetch, open, set_led, serial, close
    with velnor.open() as board:
        board.led = velnor.Led.BLINK
        assert board.serial == "LAB-7"  # the recorded answer; no board says it now
        assert velnor_sim.trace_divergence() == ""
        assert velnor_sim.trace_records_left() == 1
        with pytest.raises(velnor.FailedError):
            board.led = velnor.Led.ON
    assert velnor_sim.trace_divergence() == (
        f"board 0, handle of thread {thread}: expected record 6, CloseHandle; came "
        f"DeviceIoControl set_led on, reply capacity 4")
    velnor_sim.reset()
    assert velnor_sim.trace_divergence() == ""
    assert velnor_sim.trace_records_left() == -1
    assert velnor_sim.board_count() == 0


def test_load_trace_refuses_a_fifo_without_waiting(velnor_sim, tmp_path):
    fifo = tmp_path / "fifo.pcapng"
    os.mkfifo(fifo)
    with pytest.raises(velnor_sim.TraceError) as raised:
        velnor_sim.load_trace(fifo)
    assert str(raised.value) == f"trace {fifo} refused: is a FIFO (named pipe), not a trace file"


@pytest.mark.parametrize("path, error, text", [
    ("/no/such.pcapng", "TraceError",
     "trace /no/such.pcapng refused: cannot open it: No such file or directory"),
    (__file__, "TraceError", f"trace {__file__} refused: not a pcapng file"),
    ("/", "TraceError", "trace / refused: is a folder, not a trace file"),
    ("a\0b", "ValueError", "trace path holds a zero byte: 'a\\x00b'"),
    (7, "TypeError", "trace path must be a str, bytes or os.PathLike, not int"),
])
def test_load_trace_refuses_with_the_reason(velnor_sim, path, error, text):
    velnor_sim.add_board()
    with pytest.raises((velnor_sim.TraceError, ValueError, TypeError)) as raised:
        velnor_sim.load_trace(path)
    assert type(raised.value).__name__ == error
    assert str(raised.value) == text
    assert velnor_sim.board_count() == 1  # the platform is unchanged

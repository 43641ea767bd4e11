import os
import queue
import shutil
import textwrap
import threading
import time

import pytest

import velnor

from conftest import LIBRARY, log_suffix, run_python

ARRIVED, REMOVED = velnor.BoardEventKind.ARRIVED, velnor.BoardEventKind.REMOVED
needs_library = pytest.mark.skipif(not os.path.isfile(LIBRARY), reason="VELNOR_LIBRARY not set")


def path(board_id):
    return r"\\?\ROOT#VELNOR#" + f"{board_id:04d}" + "#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"


def dispatch_threads():
    return [thread for thread in threading.enumerate() if thread.name == "velnor-watch"]


@pytest.mark.parametrize("present", [False, True])
@pytest.mark.parametrize("form", ["get", "callback"])
def test_events_come_in_order_with_their_paths(velnor_sim, present, form):
    velnor_sim.add_board()
    velnor_sim.add_board()
    heard = queue.SimpleQueue()
    on_thread = []

    def callback(event):
        on_thread.append(threading.current_thread().name)
        heard.put(event)

    with velnor.watch(present=present, callback=callback if form == "callback" else None) as w:
        velnor_sim.add_board()
        velnor_sim.remove_board(0)
        velnor_sim.remove_board(2)
        velnor_sim.reset()  # board 1 leaves
        expected = [(ARRIVED, path(0)), (ARRIVED, path(1))] if present else []
        expected += [(ARRIVED, path(2)), (REMOVED, path(0)), (REMOVED, path(2)),
                     (REMOVED, path(1))]
        take = heard.get if form == "callback" else w.get
        got = [take(timeout=5) for _ in expected]
        assert [(type(event), type(event.kind)) for event in got] == (
            [(velnor.BoardEvent, velnor.BoardEventKind)] * len(expected))
        assert got == expected
        with pytest.raises(queue.Empty if form == "callback" else TimeoutError):
            take(timeout=0.1)
    assert on_thread == (["velnor-watch"] * len(expected) if form == "callback" else [])


def test_get_times_out_and_events_ends_when_quiet(velnor_sim):
    with velnor.watch() as w:
        with pytest.raises(TimeoutError, match=r"^no board event within 0\.05 s$"):
            w.get(timeout=0.05)
        assert list(w.events(timeout=0.05)) == []
        velnor_sim.add_board()
        assert list(w.events(timeout=0.5)) == [(ARRIVED, path(0))]


def test_stop_ends_the_native_watch_and_every_reader(velnor_sim):
    w = velnor.watch()
    assert velnor_sim.listener_count() == 1
    read = []
    reader = threading.Thread(target=lambda: read.extend(w))
    reader.start()
    velnor_sim.add_board()
    deadline = time.monotonic() + 5
    while not read and time.monotonic() < deadline:
        time.sleep(0.01)
    w.stop()
    reader.join(5)
    assert (reader.is_alive(), read) == (False, [(ARRIVED, path(0))])
    assert velnor_sim.listener_count() == 0
    with pytest.raises(velnor.WatchStoppedError, match="^the velnor watch is stopped$"):
        w.get(timeout=0)


def test_a_raising_callback_is_reported_and_the_watch_goes_on(velnor_sim, monkeypatch):
    reported = []
    monkeypatch.setattr(threading, "excepthook", lambda args: reported.append(
        (args.exc_type, str(args.exc_value), args.thread.name)))
    heard = queue.SimpleQueue()

    def callback(event):
        heard.put(event)
        if event.path == path(0):
            raise RuntimeError("no room for this board")

    velnor_sim.add_board()
    velnor_sim.add_board()
    with velnor.watch(present=True, callback=callback):
        assert [heard.get(timeout=5) for _ in range(2)] == [(ARRIVED, path(0)),
                                                            (ARRIVED, path(1))]
    assert reported == [(RuntimeError, "no room for this board", "velnor-watch")]


STOP_DURING_NATIVE_CALLBACK = textwrap.dedent("""
    import faulthandler, threading
    import velnor, velnor.sim
    from velnor import _watch

    entered, release, done = threading.Event(), threading.Event(), threading.Event()
    queue_event = _watch._queue_event

    def slow(*args):
        entered.set()
        release.wait()
        queue_event(*args)
        done.set()

    _watch._queue_event = slow
    w = velnor.watch(present=True)  # the board present at process start
    assert entered.wait(5)
    threading.Timer(0.2, release.set).start()
    faulthandler.dump_traceback_later(10, exit=True)
    w.stop()
    print(done.is_set(), velnor.sim.listener_count())
""")


@needs_library
def test_stop_waits_for_the_native_callback_that_needs_the_interpreter():
    # The native thread is inside the package's callback when stop() begins, and needs
    # the interpreter lock to finish it: stop() must not hold that lock while it waits.
    # A stop that did would stop every Python thread, so it runs in its own process,
    # watched by faulthandler's watchdog (no Python thread), which ends it with the stacks.
    result = run_python(STOP_DURING_NATIVE_CALLBACK)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "True 0\n"


EXIT_WHILE_WATCHING = textwrap.dedent("""
    import threading, time
    import velnor, velnor.sim as sim

    def churn():
        while True:
            sim.remove_board(sim.add_board())

    threading.Thread(target=churn, daemon=True).start()
    velnor.watch(callback=lambda event: None)
    velnor.watch()
    time.sleep(0.2)
    print("leaving")
""")


@needs_library
def test_a_process_may_end_with_watches_running():
    # Their native threads call into the interpreter: they are stopped before it ends.
    result = run_python(EXIT_WHILE_WATCHING)
    assert (result.returncode, result.stdout, result.stderr) == (0, "leaving\n", "")


def test_leaving_the_block_waits_for_the_running_callback_and_drops_the_rest(velnor_sim):
    velnor_sim.add_board()
    velnor_sim.add_board()
    entered, release, calls = threading.Event(), threading.Event(), []

    def callback(event):
        calls.append(event)
        entered.set()
        release.wait()

    with velnor.watch(present=True, callback=callback):
        assert entered.wait(5)
        threading.Timer(0.2, release.set).start()
    assert release.is_set()
    assert calls == [(ARRIVED, path(0))]
    assert dispatch_threads() == []


def test_stop_from_the_callback_returns_and_ends_the_watch(velnor_sim):
    for _ in range(3):
        velnor_sim.add_board()
    calls, bound, returned = [], threading.Event(), threading.Event()

    def callback(event):
        bound.wait(5)  # the first event may come before watch() has returned
        calls.append(event)
        watcher.stop()
        returned.set()

    watcher = velnor.watch(present=True, callback=callback)
    bound.set()
    assert returned.wait(5)
    watcher.stop()  # waits for the dispatch thread to end
    velnor_sim.add_board()
    assert calls == [(ARRIVED, path(0))]
    assert velnor_sim.listener_count() == 0
    assert dispatch_threads() == []


@pytest.mark.parametrize("callback", [None, print])
def test_a_refused_start_raises_failed_with_its_log_line(velnor_sim, callback):
    velnor_sim.fail_next_listen(8)
    with pytest.raises(velnor.FailedError) as caught:
        velnor.watch(callback=callback)
    assert (caught.value.code, caught.value.function) == (-5, "vl_watch_start")
    assert log_suffix(caught.value.detail) == (
        "[Velnor] [error] [vl_watch_start] Error: system:8, RegisterDeviceNotificationW "
        "failed: Not enough memory resources are available to process this command.")
    assert velnor_sim.listener_count() == 0
    assert dispatch_threads() == []


WATCH_ONCE = textwrap.dedent("""
    import velnor
    print([board.serial for board in velnor.boards()])
    try:
        with velnor.watch(present=True) as w:
            print(velnor.watch_library_path())
            event = w.get(timeout=5)
            print(event.kind.name, event.path)
    except velnor.LibraryNotFoundError as error:
        print(error)
""")


@needs_library
@pytest.mark.parametrize("case", ["beside", "variable", "variable missing", "system"])
def test_where_the_watch_library_is_looked_for(tmp_path, case):
    # The Velnor library and its platform in a folder without the watch library.
    folder = tmp_path / "lib"
    folder.mkdir()
    shutil.copy(os.path.realpath(LIBRARY), folder / "libvelnor.so")
    shutil.copy(os.path.join(os.path.dirname(LIBRARY), "libvelnor_sim.so"), folder)
    real = os.path.join(os.path.dirname(LIBRARY), "libvelnor_watch.so.1")
    env = {"VELNOR_LIBRARY": str(folder / "libvelnor.so"), "VELNOR_SIM_LIBRARY": None,
           "VELNOR_WATCH_LIBRARY": None, "LD_LIBRARY_PATH": None}
    # the environment, and the place the watch library is (a str) or why it is not (a list)
    extra, said = {
        "beside": ({}, [f"beside the Velnor library: {folder}/libvelnor_watch.so.1: "
                        "no such file"]),
        "variable": ({"VELNOR_WATCH_LIBRARY": real}, real),
        "variable missing": ({"VELNOR_WATCH_LIBRARY": f"{tmp_path}/none"},
                             [f"VELNOR_WATCH_LIBRARY: {tmp_path}/none: no such file"]),
        "system": ({"VELNOR_LIBRARY": None, "LD_LIBRARY_PATH": os.path.dirname(LIBRARY)},
                   "libvelnor_watch.so.1"),
    }[case]
    result = run_python(WATCH_ONCE, {**env, **extra})
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["['VLN-SIM-0000']"] + (
        [said, f"ARRIVED {path(0)}"] if isinstance(said, str) else
        ["velnor: could not load the watch library (libvelnor_watch.so.1). Looked in:"]
        + [f"  {why}" for why in said] + ["Set VELNOR_WATCH_LIBRARY to the watch library's path."])

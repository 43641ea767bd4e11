import copy
import functools
import gc
import pickle
import threading

import pytest

import velnor


def test_open_by_serial_picks_the_matching_board_and_closes_the_others(velnor_sim):
    for serial in ("A-1", "B-2", "C-3"):
        velnor_sim.add_board(serial=serial)
    with velnor.open(serial="B-2") as board:
        assert board.index == 1 and board.serial == "B-2"
        assert velnor_sim.open_handle_count() == 1


def test_open_by_serial_without_a_match_names_what_is_present(velnor_sim):
    velnor_sim.add_board(serial="A-1")
    velnor_sim.add_board(serial="B-2")
    with pytest.raises(velnor.BoardNotFound) as caught:
        velnor.open(serial="Z-9")
    assert str(caught.value) == "no board with serial 'Z-9'; present: 0: 'A-1', 1: 'B-2'"
    assert caught.value.present == [(0, "A-1"), (1, "B-2")]
    assert isinstance(caught.value, LookupError)
    assert velnor_sim.open_handle_count() == 0


def test_open_by_serial_with_no_board_at_all(velnor_sim):
    with pytest.raises(velnor.BoardNotFound, match="present: no board$"):
        velnor.open(serial="A-1")


def test_open_by_serial_with_two_matches_refuses_the_ambiguity(velnor_sim):
    for serial in ("TWIN", "OTHER", "TWIN"):
        velnor_sim.add_board(serial=serial)
    with pytest.raises(velnor.AmbiguousSerial) as caught:
        velnor.open(serial="TWIN")
    assert str(caught.value) == "2 boards have serial 'TWIN', at indices 0, 2"
    assert caught.value.indices == [0, 2]
    assert caught.value.present == [(0, "TWIN"), (1, "OTHER"), (2, "TWIN")]
    assert isinstance(caught.value, LookupError)
    assert velnor_sim.open_handle_count() == 0


def test_open_takes_an_index_or_a_serial_not_both(velnor_sim):
    velnor_sim.add_board()
    with pytest.raises(TypeError):
        velnor.open(0, serial="VLN-SIM-0000")


def test_failure_reading_a_serial_closes_the_board_it_opened(velnor_sim):
    velnor_sim.add_board()
    velnor_sim.set_request_status(velnor_sim.Request.GET_SERIAL, -7)
    with pytest.raises(velnor.InvalidDeviceTypeError):
        velnor.open(serial="X")
    assert velnor_sim.open_handle_count() == 0


# how a board would be duplicated: each must be refused, with one text
DUPLICATES = [("copy.copy", copy.copy), ("copy.deepcopy", copy.deepcopy)] + [
    (f"pickle protocol {protocol}", functools.partial(pickle.dumps, protocol=protocol))
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1)]


@pytest.mark.parametrize("duplicate", [row[1] for row in DUPLICATES],
                         ids=[row[0] for row in DUPLICATES])
def test_a_board_cannot_be_copied_or_pickled(velnor_sim, duplicate):
    velnor_sim.add_board()
    velnor_sim.add_board()
    with velnor.open() as board:
        board.led = velnor.Led.BLINK
        calls = [velnor_sim.call_count(call) for call in velnor_sim.Call]
        with pytest.raises(TypeError) as caught:
            duplicate(board)
        assert type(caught.value) is TypeError
        assert str(caught.value) == ("a velnor.Board owns an open board handle and cannot be "
                                     "copied or pickled; open the board again instead")
        gc.collect()
        # No copy lived to close the handle: the platform saw no call, and the board
        # still talks to board 0 while board 1 is opened beside it.
        assert [velnor_sim.call_count(call) for call in velnor_sim.Call] == calls
        assert velnor_sim.board_count() == 2 and velnor_sim.open_handle_count() == 1
        with velnor.open(1) as other:
            other.led = velnor.Led.ON
            assert velnor_sim.open_handle_count() == 2
            assert not board.closed and board.led is velnor.Led.BLINK
    assert velnor_sim.open_handle_count() == 0


def test_threads_sharing_a_board(velnor_sim):
    board_id = velnor_sim.add_board()
    errors = []
    with velnor.open() as board:
        def work(seed):
            try:
                for i in range(300):
                    board.trigger_polarity = (seed + i) % 2
                    assert board.trigger_polarity in (0, 1)
                    assert board.serial == "VLN-SIM-0000"
                    with pytest.raises(velnor.InvalidDataError) as caught:
                        board.led = 9
                    assert caught.value.detail is None or caught.value.detail.endswith(
                        "[vl_device_set_id_led_state] Error: Velnor:-9, IOCTL failed: invalid_data")
            except BaseException as error:  # reported below, on the main thread
                errors.append(error)

        threads = [threading.Thread(target=work, args=(n,)) for n in range(6)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    assert errors == []
    assert velnor_sim.open_handle_count() == 0
    assert board_id == 0


def test_close_while_other_threads_use_the_board_never_touches_a_released_handle(velnor_sim):
    velnor_sim.add_board()
    board = velnor.open()
    outcomes = []
    go = threading.Event()

    def work():
        go.wait()
        for _ in range(2000):
            try:
                board.trigger_status
            except velnor.BoardClosedError:
                outcomes.append("closed")
                return
        outcomes.append("done")

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    go.set()
    board.close()
    for thread in threads:
        thread.join()
    assert sorted(set(outcomes)) <= ["closed", "done"] and len(outcomes) == 4
    # Every request reached the board on an open handle: none failed in the platform.
    assert velnor_sim.open_handle_count() == 0


def test_close_waits_until_a_call_in_another_thread_has_left_the_library():
    # A stand-in library whose trigger read sleeps 0.3 s inside C (nanosleep on the
    # handle, which points at a timespec), and whose close notes when it is called.
    import ctypes
    import time

    from velnor._board import Board

    class timespec(ctypes.Structure):
        _fields_ = [("tv_sec", ctypes.c_long), ("tv_nsec", ctypes.c_long)]

    nanosleep = ctypes.CDLL(None).nanosleep
    # The second argument (the remainder) is written only when a signal interrupts.
    nanosleep.argtypes = (ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint32))
    nanosleep.restype = ctypes.c_int
    pause = timespec(0, 300_000_000)
    closed_at = []

    class library:
        vl_device_get_trigger_status = nanosleep

        @staticmethod
        def vl_device_close(handle):
            closed_at.append((time.monotonic(), handle))
            return 0

    board = Board(library, ctypes.addressof(pause), 0)
    results = []
    started = time.monotonic()
    reader = threading.Thread(target=lambda: results.append(board.trigger_status))
    reader.start()
    time.sleep(0.05)
    board.close()
    reader.join()
    assert results == [velnor.TriggerStatus.DISARMED]
    (when, handle), = closed_at
    assert when - started >= 0.29 and handle == ctypes.addressof(pause)
    with pytest.raises(velnor.BoardClosedError):
        board.trigger_status

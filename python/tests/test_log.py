import datetime
import os
import subprocess
import sys
import textwrap

import pytest

import velnor
from velnor._log import LogReader

from conftest import log_suffix

NOW = datetime.datetime(2026, 12, 8, 14, 41, 57, 0)


def line(stamp, function, code, message, category="Velnor"):
    return (f"[{stamp}] [Velnor] [error] [{function}] Error: {category}:{code}, "
            f"{message}\r\n")


@pytest.fixture
def log(tmp_path):
    path = tmp_path / "Velnor.log"
    path.write_bytes(b"")
    return path, LogReader(path_of=lambda: str(path), now=lambda: NOW)


def append(path, *lines):
    with open(path, "ab") as file:
        file.write("".join(lines).encode())


OURS = line("2026-12-08 14:41:56.902", "vl_device_set_id_led_state", -9,
            "IOCTL failed: invalid_data")


def test_the_one_new_line_of_this_failure_is_its_detail(log):
    path, reader = log
    append(path, line("2026-12-08 14:41:56.800", "vl_device_open", -3, "x: invalid_device"), OURS)
    assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")
    # Claimed once: the same line is nobody's detail a second time.
    assert reader.detail("vl_device_set_id_led_state", -9) is None


@pytest.mark.parametrize("other, expected", [
    # another process failed the same export with the same code but other words
    (line("2026-12-08 14:41:56.950", "vl_device_set_id_led_state", -9, "other text"), None),
    # the same words: whichever line was ours, the text is the same
    (OURS, OURS.rstrip("\r\n")),
    # the same export with another code is not a candidate
    (line("2026-12-08 14:41:56.950", "vl_device_set_id_led_state", -8, "x"), OURS.rstrip("\r\n")),
])
def test_lines_of_other_processes_make_the_detail_unknown_when_they_could_be_ours(log, other,
                                                                                expected):
    path, reader = log
    append(path, OURS, other)
    assert reader.detail("vl_device_set_id_led_state", -9) == expected


def test_a_line_older_than_the_window_is_not_this_failures(log):
    path, reader = log
    append(path, line("2026-12-08 14:41:54.000", "vl_device_set_id_led_state", -9, "old"))
    assert reader.detail("vl_device_set_id_led_state", -9) is None


@pytest.mark.parametrize("read_between", [False, True])
def test_identical_lines_of_one_millisecond_are_one_detail_each(log, read_between):
    path, reader = log
    for _ in range(3):
        append(path, OURS)
        if read_between:
            assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")
    for _ in range(0 if read_between else 3):
        assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")
    assert reader.detail("vl_device_set_id_led_state", -9) is None


def test_every_failure_of_a_burst_gets_its_own_line(board):
    details = []
    for _ in range(100):
        with pytest.raises(velnor.InvalidDataError) as caught:
            board.led = 5
        details.append(caught.value.detail)
    assert [log_suffix(detail) for detail in details] == 100 * [
        "[Velnor] [error] [vl_device_set_id_led_state] Error: Velnor:-9, IOCTL failed: "
        "invalid_data"]
    # Every line was handed out once: the claims follow the file line by line.
    with open(velnor.log_path(), "rb") as file:
        tail = file.read().decode().splitlines()[-100:]
    assert details == tail


def test_lines_read_before_stay_in_the_file_reader_and_lines_seen_are_not_read_again(log):
    path, reader = log
    append(path, OURS)
    assert reader.detail("vl_device_open", -3) is None
    assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")
    second = line("2026-12-08 14:41:56.990", "vl_device_open", -3, "y: invalid_device")
    append(path, second)
    assert reader.detail("vl_device_open", -3) == second.rstrip("\r\n")


def test_a_file_emptied_by_another_process_is_read_from_its_start(log):
    path, reader = log
    append(path, OURS)
    assert reader.detail("vl_device_set_id_led_state", -9) is not None
    fresh = line("2026-12-08 14:41:56.995", "vl_device_get_clock", -5, "DeviceIoControl failed",
                 category="system")
    path.write_bytes(fresh.encode())
    # The new first line is shorter than the old offset: emptied, read again.
    assert reader.detail("vl_device_get_clock", -5) == fresh.rstrip("\r\n")


def test_the_hint_picks_this_failures_line_among_the_same_exports(log):
    path, reader = log
    a = line("2026-12-08 14:41:56.900", "vl_device_set_clock", -13, "Invalid clock frequency: 5Hz.")
    b = line("2026-12-08 14:41:56.901", "vl_device_set_clock", -13, "Invalid clock frequency: 7Hz.")
    append(path, a, b)
    assert reader.detail("vl_device_set_clock", -13, "7Hz") == b.rstrip("\r\n")
    assert reader.detail("vl_device_set_clock", -13, "5Hz") == a.rstrip("\r\n")


def test_half_written_line_waits_for_its_end(log):
    path, reader = log
    append(path, OURS[:40])
    assert reader.detail("vl_device_set_id_led_state", -9) is None
    append(path, OURS[40:])
    assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")


def test_missing_log_file_gives_no_detail(tmp_path):
    reader = LogReader(path_of=lambda: str(tmp_path / "none" / "Velnor.log"), now=lambda: NOW)
    assert reader.detail("vl_device_open", -3) is None


def test_the_path_is_the_librarys(monkeypatch):
    for name in ("TMPDIR", "TMP", "TEMP", "TEMPDIR"):
        monkeypatch.delenv(name, raising=False)
    assert velnor.log_path() == "/tmp/Velnor.log"
    monkeypatch.setenv("TEMP", "/b")
    assert velnor.log_path() == "/b/Velnor.log"
    monkeypatch.setenv("TMP", "/a")
    assert velnor.log_path() == "/a/Velnor.log"
    monkeypatch.setenv("TMPDIR", "/z")
    assert velnor.log_path() == "/z/Velnor.log"


OTHER_PROCESS = textwrap.dedent("""
    import sys, velnor
    board = velnor.open()
    print("ready", flush=True)
    for _ in range(400):
        try:
            board.clock = velnor.Clock(0, 123456789)
        except velnor.InvalidFrequencyError:
            pass
        try:
            board.led = 9
        except velnor.InvalidDataError:
            pass
""")


def test_failures_of_another_process_on_the_shared_file_are_never_taken_for_ours(board):
    other = subprocess.Popen([sys.executable, "-c", OTHER_PROCESS], stdout=subprocess.PIPE,
                             env=dict(os.environ), text=True)
    try:
        assert other.stdout.readline() == "ready\n"
        seen = {"ours": 0, "unknown": 0}
        rounds = 0
        while other.poll() is None or rounds < 100:
            rounds += 1
            try:
                board.clock = velnor.Clock(0, 800000000)
            except velnor.InvalidFrequencyError as error:
                if error.detail is None:
                    seen["unknown"] += 1
                else:
                    assert log_suffix(error.detail) == (
                        "[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, Invalid clock "
                        "frequency: 800000000Hz. Try 730000000Hz or 900000000Hz: invalid_frequency")
                    seen["ours"] += 1
            with pytest.raises(velnor.InvalidDataError) as caught:
                board.trigger_polarity = 9
            assert caught.value.detail is None or "[vl_device_set_trigger_polarity]" in (
                caught.value.detail)
    finally:
        other.wait(60)
    assert other.returncode == 0
    assert seen["ours"] > 0


def test_a_claimed_line_is_not_handed_out_again_when_the_file_is_read_from_its_start(log):
    path, reader = log
    append(path, OURS)
    assert reader.detail("vl_device_set_id_led_state", -9) == OURS.rstrip("\r\n")
    # The file replaced by one with the same start (a new identity): read again from 0.
    fresh = path.with_name("fresh.log")
    append(fresh, OURS, line("2026-12-08 14:41:56.990", "vl_device_open", -3, "x"))
    os.replace(fresh, path)
    assert reader.detail("vl_device_open", -3) is not None
    assert reader.detail("vl_device_set_id_led_state", -9) is None


def test_a_fifo_under_the_logs_name_gives_no_detail_and_does_not_hang(tmp_path):
    path = tmp_path / "Velnor.log"
    os.mkfifo(path)
    reader = LogReader(path_of=lambda: str(path), now=lambda: NOW)
    assert reader.detail("vl_device_open", -3) is None

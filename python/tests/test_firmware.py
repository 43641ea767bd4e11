import struct

import pytest

import velnor

from conftest import log_suffix


def header(major, minor, patch, text, length, crc):
    """The 64-byte image header written out field by field, independently of
    pack_firmware."""
    return (b"VLFW" + (1).to_bytes(4, "little") + major.to_bytes(4, "little")
            + minor.to_bytes(4, "little") + patch.to_bytes(4, "little")
            + text + bytes(32 - len(text)) + length.to_bytes(4, "little")
            + crc.to_bytes(4, "little") + bytes(4))


def test_pack_firmware_writes_the_container_with_the_crc_of_the_payload():
    # 0xCBF43926 is the published CRC-32 check value of "123456789".
    image = velnor.pack_firmware(b"123456789", "2.0.1-beta")
    assert image == header(2, 0, 1, b"2.0.1-beta", 9, 0xCBF43926) + b"123456789"
    assert velnor.check_firmware(image) == (2, 0, 1, "2.0.1-beta")


def test_pack_firmware_takes_a_32_byte_version_text_and_refuses_a_longer_one():
    text = "1.2.3" + "x" * 27
    assert velnor.pack_firmware(b"x", text)[20:52] == text.encode()
    with pytest.raises(ValueError, match="longer than 32 bytes"):
        velnor.pack_firmware(b"x", text + "y")
    with pytest.raises(ValueError, match="major.minor.patch"):
        velnor.pack_firmware(b"x", "one.two")


# version, the text kept, or the refusal
VERSIONS = [
    (velnor.Version(1, 4, 0, "1.4.0-rc1"), "1.4.0-rc1"),
    (velnor.Version(1, 4, 0, "01.4.0"), "01.4.0"),
    (velnor.Version(1, 4, 0, "1.4.0.7"), "1.4.0.7"),
    (velnor.Version(1, 4, 0, "nightly"), "nightly"),
    (velnor.Version(1, 4, 0, "v2.0.0"), "v2.0.0"),
    (velnor.Version(1, 4, 0, "2.0"), "2.0"),
    (velnor.Version(1, 4, 0, ""), ""),
    (velnor.Version(1, 4, 0, "2.0.0"), "'2.0.0' names another version than 1.4.0"),
    (velnor.Version(1, 4, 0, "1.4.1-beta"), "'1.4.1-beta' names another version than 1.4.0"),
    (velnor.Version(4, 0, 0, "4.0.4294967296"),
     "'4.0.4294967296' names another version than 4.0.0"),
]


@pytest.mark.parametrize("version, outcome", VERSIONS)
def test_a_version_text_that_starts_with_another_version_is_refused(version, outcome):
    if " names another version than " in outcome:
        with pytest.raises(ValueError) as caught:
            velnor.pack_firmware(b"x", version)
        assert str(caught.value) == f"firmware version text {outcome}"
        # An image packed elsewhere with that header is refused as well.
        image = header(version.major, version.minor, version.patch, version.text.encode(), 1,
                       0xE8B7BE43) + b"a"
        with pytest.raises(velnor.FirmwareImageError) as caught:
            velnor.check_firmware(image)
        assert caught.value.reason == "version text " + outcome.replace(" than ",
                                                                       " than the header's ")
    else:
        image = velnor.pack_firmware(b"a", version)
        assert image[20:52] == outcome.encode().ljust(32, b"\0")
        assert velnor.check_firmware(image) == (1, 4, 0, outcome)


def test_an_empty_payload_is_refused():
    with pytest.raises(ValueError) as caught:
        velnor.pack_firmware(b"", "1.0.0")
    assert str(caught.value) == "the payload is empty; a firmware payload holds at least 1 byte"


GOOD = velnor.pack_firmware(bytes(range(256)) * 10, "3.4.5")


def corrupt(offset, value):
    data = bytearray(GOOD)
    data[offset:offset + len(value)] = value
    return bytes(data)


@pytest.mark.parametrize("image, reason", [
    (GOOD[:63], "63 bytes, shorter than the 64-byte header"),
    (corrupt(0, b"VLFX"), "magic b'VLFX' is not b'VLFW'"),
    (corrupt(4, struct.pack("<I", 2)), "header version 2, not 1"),
    (corrupt(60, b"\x01"), "reserved header field is 0x1, not 0"),
    (corrupt(52, struct.pack("<I", 16 * 1024 * 1024)), "payload length 16777216 is above 16777152"),
    (GOOD + b"\0", "image is 2625 bytes, the header says 2624"),
    (corrupt(100, b"\xff"), None),
    (header(1, 0, 0, b"1.0.0", 0, 0), "the payload is empty"),
    (header(1, 0, 0, b"1.0.0", 0, 0) + b"\0", "the payload is empty"),
])
def test_check_firmware_says_what_the_board_would_refuse(image, reason):
    with pytest.raises(velnor.FirmwareImageError) as caught:
        velnor.check_firmware(image)
    if reason is None:
        assert caught.value.reason.startswith("payload CRC-32 is 0x")
    else:
        assert caught.value.reason == reason
    assert isinstance(caught.value, ValueError)


def test_update_firmware_sends_every_block_reports_progress_and_returns_the_new_version(
        board, tmp_path):
    image = velnor.pack_firmware(b"\xab" * 2500, "2.0.0")
    path = tmp_path / "fw.vlfw"
    path.write_bytes(image)
    calls = []
    version = board.update_firmware(path, progress=lambda sent, total: calls.append((sent, total)))
    assert version == (2, 0, 0, "2.0.0")
    assert board.firmware_version == (2, 0, 0, "2.0.0")
    assert calls == [(1024, 2564), (2048, 2564), (2564, 2564)]
    assert board.update_status() == (velnor.UpdateState.DONE, 2564)


@pytest.mark.parametrize("image", [
    corrupt(100, b"\xff"), header(1, 0, 0, b"1.0.0", 0, 0),
    header(1, 4, 0, b"2.0.0", 1, 0xE8B7BE43) + b"a"], ids=["crc", "empty", "text"])
def test_refused_image_is_refused_before_anything_is_sent(board, velnor_sim, image):
    before = velnor_sim.request_count()
    with pytest.raises(velnor.FirmwareImageError):
        board.update_firmware(image)
    assert velnor_sim.request_count() == before
    assert board.firmware_version == (1, 3, 0, "1.3.0")


def test_corrupted_image_sent_by_the_raw_calls_is_refused_by_the_board(board):
    image = corrupt(100, b"\xff")
    board.update_start()
    while board.update_status()[0] != velnor.UpdateState.READY:
        pass
    for offset in range(0, len(image), 1024):
        board.update_write(velnor.update_block(offset, image[offset:offset + 1024]))
    with pytest.raises(velnor.InvalidDataError) as caught:
        board.update_complete()
    assert caught.value.function == "vl_device_update_complete"
    assert board.update_status() == (velnor.UpdateState.FAILED, len(image))
    board.update_reset()
    assert board.update_status() == (velnor.UpdateState.IDLE, 0)


@pytest.mark.parametrize("interruption", [KeyboardInterrupt, RuntimeError])
def test_interrupted_update_sends_the_reset_before_re_raising(board, velnor_sim, interruption):
    def progress(sent, total):
        if sent == 2048:
            raise interruption()

    with pytest.raises(interruption):
        board.update_firmware(velnor.pack_firmware(b"\1" * 5000, "9.9.9"), progress=progress)
    # Without the reset the board would still be ready with 2048 bytes received.
    assert board.update_status() == (velnor.UpdateState.IDLE, 0)
    assert board.firmware_version == (1, 3, 0, "1.3.0")


def test_board_fault_during_the_update_raises_it_after_the_reset(board, velnor_sim):
    velnor_sim.set_request_status(velnor_sim.Request.UPDATE_WRITE, -10)
    with pytest.raises(velnor.DriverTimeoutError) as caught:
        board.update_firmware(GOOD)
    assert caught.value.function == "vl_device_update_write"
    velnor_sim.clear_faults()
    assert board.update_status() == (velnor.UpdateState.IDLE, 0)


def test_failed_reset_is_noted_on_the_first_error(board, velnor_sim):
    velnor_sim.set_request_status(velnor_sim.Request.UPDATE_WRITE, -10)
    velnor_sim.set_request_status(velnor_sim.Request.UPDATE_RESET, -8)
    with pytest.raises(velnor.DriverTimeoutError) as caught:
        board.update_firmware(GOOD)
    assert caught.value.__notes__ == [
        "velnor: the update reset after it failed too: "
        "vl_device_update_reset failed: update_invalid_status (-8); Velnor.log: "
        + caught.value.__notes__[0].split("Velnor.log: ", 1)[1]]
    assert "[vl_device_update_reset] Error: Velnor:-8" in caught.value.__notes__[0]


def test_board_that_never_gets_ready_times_out_and_is_reset(board, velnor_sim):
    velnor_sim.set_request_status_with_payload(velnor_sim.Request.UPDATE_STATUS, 0)
    velnor_sim.set_request_reply_length(velnor_sim.Request.UPDATE_STATUS, 4)
    with pytest.raises(TimeoutError, match="for 0.05 s"):
        board.update_firmware(GOOD, timeout=0.05)
    velnor_sim.clear_faults()
    assert board.update_status() == (velnor.UpdateState.IDLE, 0)


# the arguments, the exception, its text
BAD_ARGUMENTS = [
    (dict(timeout=float("nan")), ValueError,
     "timeout must be a finite number of seconds above 0, not nan"),
    (dict(timeout=float("inf")), ValueError,
     "timeout must be a finite number of seconds above 0, not inf"),
    (dict(timeout=-1), ValueError, "timeout must be a finite number of seconds above 0, not -1"),
    (dict(timeout=0), ValueError, "timeout must be a finite number of seconds above 0, not 0"),
    (dict(timeout=-0.5), ValueError,
     "timeout must be a finite number of seconds above 0, not -0.5"),
    (dict(timeout="5"), TypeError,
     "timeout must be a number of seconds (an int or a float), not str '5'"),
    (dict(timeout=None), TypeError,
     "timeout must be a number of seconds (an int or a float), not NoneType None"),
    (dict(timeout=True), TypeError,
     "timeout must be a number of seconds (an int or a float), not bool True"),
    (dict(progress="bar"), TypeError,
     "progress must be None or a callable taking (sent, total), not str 'bar'"),
]


@pytest.mark.parametrize("arguments, error, text", BAD_ARGUMENTS)
def test_a_bad_argument_is_refused_before_anything_is_sent(board, velnor_sim, arguments, error,
                                                           text):
    before = velnor_sim.request_count()
    with pytest.raises(error) as caught:
        board.update_firmware(GOOD, **arguments)
    assert type(caught.value) is error and str(caught.value) == text
    assert velnor_sim.request_count() == before
    assert board.update_status() == (velnor.UpdateState.IDLE, 0)
    assert board.firmware_version == (1, 3, 0, "1.3.0")


@pytest.mark.parametrize("block", [b"", bytes(1031), bytes(1033)])
def test_update_write_takes_exactly_one_block(board, velnor_sim, block):
    before = velnor_sim.request_count()
    with pytest.raises(ValueError, match=f"an update block is 1032 bytes, not {len(block)}"):
        board.update_write(block)
    assert velnor_sim.request_count() == before


def test_update_block_layout():
    block = velnor.update_block(2048, b"abc")
    assert block == (2048).to_bytes(4, "little") + (3).to_bytes(4, "little") + b"abc" + bytes(1021)
    for bad in (b"", bytes(1025)):
        with pytest.raises(ValueError):
            velnor.update_block(0, bad)


SLOW = velnor.pack_firmware(b"\7" * 40 * 1024, "5.0.0")


@pytest.mark.parametrize("closer", ["another thread", "the progress callback"])
def test_close_during_an_update_waits_until_the_update_has_reset(velnor_sim, closer):
    import threading
    import time

    velnor_sim.add_board()
    board = velnor.open()
    writing = threading.Event()
    outcome = []

    def progress(sent, total):
        writing.set()
        if closer == "the progress callback" and sent == 2048:
            board.close()
            assert not board.closed  # it takes effect when the update has reset
        time.sleep(0.01)  # a slowed update: 40 blocks, 0.4 s

    def update():
        try:
            board.update_firmware(SLOW, progress=progress)
            outcome.append("finished")
        except velnor.BoardClosedError as error:
            outcome.append(str(error))

    worker = threading.Thread(target=update)
    worker.start()
    if closer == "another thread":
        assert writing.wait(10)
        board.close()
    worker.join()
    assert outcome == ["the velnor.Board is being closed: its firmware update was stopped "
                       "and is reset"]
    assert board.closed and velnor_sim.open_handle_count() == 0
    with velnor.open() as again:
        assert again.update_status() == (velnor.UpdateState.IDLE, 0)
        assert again.firmware_version == (1, 3, 0, "1.3.0")
    with pytest.raises(velnor.BoardClosedError):
        board.update_firmware(SLOW)


def test_a_start_the_board_refuses_says_its_update_state_and_how_to_recover(board, velnor_sim):
    # An update left unfinished (a killed program): the board is ready, 2048 bytes in.
    board.update_start()
    while board.update_status()[0] != velnor.UpdateState.READY:
        pass
    for offset in (0, 1024):
        board.update_write(velnor.update_block(offset, GOOD[offset:offset + 1024]))
    with pytest.raises(velnor.UpdateInvalidStatusError) as caught:
        board.update_firmware(GOOD)
    error = caught.value
    assert str(error) == (
        "vl_device_update_start_async failed: update_invalid_status (-8): the board is in the "
        "middle of an update (update state READY, 2048 bytes received): another one is "
        "running or was stopped half-way; when none is running, Board.update_reset() "
        "(velnorctl firmware reset) abandons it and a new update can start; "
        f"Velnor.log: {error.detail}")
    assert log_suffix(error.detail) == (
        "[Velnor] [error] [vl_device_update_start_async] Error: Velnor:-8, IOCTL failed: "
        "update_invalid_status")
    # The unfinished update is not this call's to end: the board is as it was.
    assert board.update_status() == (velnor.UpdateState.READY, 2048)
    board.update_reset()
    assert board.update_firmware(GOOD) == (3, 4, 5, "3.4.5")
    # A board that refuses from another state is not said to be in the middle of one.
    velnor_sim.set_request_status(velnor_sim.Request.UPDATE_START, -8)
    with pytest.raises(velnor.UpdateInvalidStatusError) as caught:
        board.update_start()
    assert str(caught.value).split("; Velnor.log: ")[0] == (
        "vl_device_update_start_async failed: update_invalid_status (-8): the board refuses to "
        "start an update (update state DONE, 2624 bytes received); when none is running, "
        "Board.update_reset() (velnorctl firmware reset) returns it to idle")

import pytest

import velnor

from conftest import log_suffix

# property, values the board accepts, named values read back
SETTABLE = [
    ("led", [(0, velnor.Led.OFF), (1, velnor.Led.ON), (2, velnor.Led.BLINK)],
     "vl_device_set_id_led_state"),
    ("trigger_polarity", [(0, velnor.TriggerPolarity.RISING),
                          (1, velnor.TriggerPolarity.FALLING)], "vl_device_set_trigger_polarity"),
    ("trigger_status", [(1, velnor.TriggerStatus.ARMED), (0, velnor.TriggerStatus.DISARMED)],
     "vl_device_set_trigger_status"),
]


@pytest.mark.parametrize("name, values, setter", SETTABLE)
def test_property_keeps_what_was_set_and_reads_it_as_the_named_value(board, name, values, setter):
    for raw, named in values:
        setattr(board, name, raw)
        got = getattr(board, name)
        assert got == raw and type(got) is type(named) and got is named


@pytest.mark.parametrize("name, values, setter", SETTABLE)
def test_value_the_board_refuses_reaches_it_and_raises_invalid_data(board, name, values, setter,
                                                                    velnor_sim):
    before = velnor_sim.request_count()
    with pytest.raises(velnor.InvalidDataError) as caught:
        setattr(board, name, 7)
    assert velnor_sim.request_count() == before + 1
    error = caught.value
    assert (error.code, error.name, error.function) == (-9, "invalid_data", setter)
    assert log_suffix(error.detail) == (
        f"[Velnor] [error] [{setter}] Error: Velnor:-9, IOCTL failed: invalid_data")


@pytest.mark.parametrize("name", ["led", "trigger_polarity", "trigger_status"])
@pytest.mark.parametrize("value", [-1, 1 << 32, 1 << 40])
def test_value_outside_32_bits_is_refused_before_anything_is_sent(board, velnor_sim, name, value):
    before = velnor_sim.request_count()
    with pytest.raises(ValueError, match="does not fit in 32 bits"):
        setattr(board, name, value)
    assert velnor_sim.request_count() == before


def test_triggered_is_read_after_the_armed_trigger_fires(velnor_sim):
    board_id = velnor_sim.add_board()
    with velnor.open() as board:
        board.trigger_status = velnor.TriggerStatus.ARMED
        velnor_sim.fire_trigger(board_id)
        assert board.trigger_status is velnor.TriggerStatus.TRIGGERED


def test_versions_and_serial_are_those_of_the_board(velnor_sim):
    velnor_sim.add_board(serial="S" * 32, firmware="7.8.9-rc1", driver=(4, 5, 6))
    with velnor.open() as board:
        assert board.serial == "S" * 32
        assert board.firmware_version == (7, 8, 9, "7.8.9-rc1")
        assert board.driver_version == velnor.Version(4, 5, 6, "4.5.6")
        assert str(board.firmware_version) == "7.8.9-rc1"


def test_library_version_and_boards(velnor_sim):
    assert velnor.library_version() == (1, 0, 2, "1.0.2")
    assert velnor.boards() == []
    velnor_sim.add_board()
    velnor_sim.add_board(serial="SECOND", firmware="1.0.0", driver="2.0.0")
    assert velnor.device_count() == 2
    assert velnor.boards() == [
        (0, "VLN-SIM-0000", (1, 3, 0, "1.3.0"), (2, 4, 1, "2.4.1")),
        (1, "SECOND", (1, 0, 0, "1.0.0"), (2, 0, 0, "2.0.0")),
    ]
    assert velnor_sim.open_handle_count() == 0


# mode, frequency, reserved
ACCEPTED = [
    (velnor.ClockMode.INTERNAL, 100_000_000, 0),
    (velnor.ClockMode.INTERNAL, 1_100_000_000, 0),
    (velnor.ClockMode.INTERNAL, 9_375_000, 0xDEADBEEF),
    (velnor.ClockMode.EXTERNAL, 10_000_000, 0),
    (velnor.ClockMode.EXTERNAL, 1, 1),
]


@pytest.mark.parametrize("mode, frequency, reserved", ACCEPTED)
def test_clock_accepted_is_read_back_with_its_reserved_bytes(board, mode, frequency, reserved):
    board.clock = velnor.Clock(mode, frequency, reserved)
    got = board.clock
    assert got == (mode, frequency, reserved) and got.mode is mode


# frequency, message the library logs (the two neighbours, or the bound)
REFUSED = [
    (123_456_789, "Invalid clock frequency: 123456789Hz. Try 123125000Hz or 123750000Hz",
     (123_125_000, 123_750_000)),
    (800_000_000, "Invalid clock frequency: 800000000Hz. Try 730000000Hz or 900000000Hz",
     (730_000_000, 900_000_000)),
    (1_100_000_001, "Invalid clock frequency: 1100000001Hz. Max frequency is 1100000000Hz",
     (1_100_000_000,)),
    (-5, "Invalid clock frequency: -5Hz. Min frequency is 9375000Hz", (9_375_000,)),
]


@pytest.mark.parametrize("frequency, message, nearest", REFUSED)
def test_clock_refused_names_the_neighbours_in_its_detail(board, velnor_sim, frequency, message,
                                                          nearest):
    board.clock = (velnor.ClockMode.EXTERNAL, 5_000_000)
    before = velnor_sim.request_count()
    with pytest.raises(velnor.InvalidFrequencyError) as caught:
        board.clock = velnor.Clock(velnor.ClockMode.INTERNAL, frequency)
    assert velnor_sim.request_count() == before  # refused before the board is asked
    error = caught.value
    assert (error.code, error.name, error.function) == (-13, "invalid_frequency",
                                                         "vl_device_set_clock")
    assert log_suffix(error.detail) == (
        f"[Velnor] [error] [vl_device_set_clock] Error: Velnor:-13, {message}: invalid_frequency")
    assert str(error) == f"vl_device_set_clock failed: invalid_frequency (-13); Velnor.log: {error.detail}"
    assert error.nearest == nearest
    assert board.clock == (velnor.ClockMode.EXTERNAL, 5_000_000, 0)


def test_clock_mode_the_board_does_not_know_is_sent_and_refused(board):
    with pytest.raises(velnor.InvalidDataError):
        board.clock = velnor.Clock(9, 100_000_000)


@pytest.mark.parametrize("clock, error", [
    ((0, 1 << 63), ValueError), ((1 << 32, 10), ValueError), ((1, 10, -1), ValueError),
    ((1, 10.5), TypeError), ((1,), TypeError)])
def test_clock_that_does_not_fit_the_record_is_refused_here(board, velnor_sim, clock, error):
    before = velnor_sim.request_count()
    with pytest.raises(error):
        board.clock = clock
    assert velnor_sim.request_count() == before


def test_register_written_is_read_back_and_seen_by_the_board(board, velnor_sim):
    board.write_register(0x0F0, 0xA5)
    assert board.read_register(0x0F0) == 0xA5
    assert velnor_sim.read_register(0, 0x0F0) == 0xA5


@pytest.mark.parametrize("address, value, function", [
    (0x233, 1, "vl_device_ad9516_reg_write"),
    (0x010, 0x100, "vl_device_ad9516_reg_write"),  # not cut to its low byte
    (0x010, 0xFFFFFFFF, "vl_device_ad9516_reg_write"),
])
def test_register_write_the_board_refuses_raises_invalid_data(board, velnor_sim, address, value,
                                                              function):
    before = velnor_sim.read_register(0, 0x010)
    with pytest.raises(velnor.InvalidDataError) as caught:
        board.write_register(address, value)
    assert caught.value.function == function
    assert velnor_sim.read_register(0, 0x010) == before


def test_register_read_outside_the_map_raises_invalid_data(board):
    with pytest.raises(velnor.InvalidDataError) as caught:
        board.read_register(0x233)
    assert caught.value.function == "vl_device_ad9516_reg_read"


def test_closed_board_refuses_every_operation_and_close_is_idempotent(velnor_sim):
    velnor_sim.add_board()
    board = velnor.open()
    assert not board.closed and velnor_sim.open_handle_count() == 1
    board.close()
    board.close()
    assert board.closed and velnor_sim.open_handle_count() == 0
    with open(velnor.log_path(), "a"):
        pass
    log_before = open(velnor.log_path(), "rb").read()
    for use in (lambda: board.led, lambda: board.serial, lambda: board.clock,
                lambda: board.trigger_status, lambda: board.update_status(),
                lambda: setattr(board, "led", 1),
                lambda: setattr(board, "clock", (1, 10_000_000))):
        with pytest.raises(velnor.BoardClosedError):
            use()
    # Refused here: the library was not asked, so it logged nothing.
    assert open(velnor.log_path(), "rb").read() == log_before


def test_refused_close_keeps_the_board_open_for_a_retry(velnor_sim):
    velnor_sim.add_board()
    board = velnor.open()
    velnor_sim.fail_next(velnor_sim.Call.CLOSE_HANDLE, velnor_sim.WinError.INVALID_HANDLE)
    with pytest.raises(velnor.FailedError) as caught:
        board.close()
    assert caught.value.function == "vl_device_close"
    assert not board.closed and board.led is velnor.Led.OFF
    board.close()
    assert board.closed and velnor_sim.open_handle_count() == 0


def test_a_board_collected_open_warns_as_an_unclosed_file_and_releases_its_handle(velnor_sim):
    import gc

    velnor_sim.add_board()
    closed = velnor.open()
    closed.close()
    retried = velnor.open()
    velnor_sim.fail_next(velnor_sim.Call.CLOSE_HANDLE, velnor_sim.WinError.INVALID_HANDLE)
    with pytest.raises(velnor.FailedError):
        retried.close()
    retried.close()
    dropped = velnor.open()
    assert velnor_sim.open_handle_count() == 1
    with pytest.warns(ResourceWarning) as caught:
        del closed, retried, dropped
        gc.collect()
    # Only the board dropped open warns, in the words of an unclosed file.
    assert [(warning.category, str(warning.message)) for warning in caught] == [
        (ResourceWarning, "unclosed <velnor.Board index=0 open>")]
    assert velnor_sim.open_handle_count() == 0


def test_context_manager_closes_on_exit_even_after_an_exception(velnor_sim):
    velnor_sim.add_board()
    with pytest.raises(RuntimeError):
        with velnor.open() as board:
            raise RuntimeError("inside")
    assert board.closed and velnor_sim.open_handle_count() == 0

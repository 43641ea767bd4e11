import pickle

import pytest

import velnor

from conftest import log_suffix

# status word the board answers, class, the library's name for it
CODES = [
    (-1, velnor.InternalError, "internal_error"),
    (-2, velnor.Ad9516CommunicationError, "ad9516_communication_error"),
    (-3, velnor.InvalidDeviceError, "invalid_device"),
    (-4, velnor.NullParameterError, "null_parameter"),
    (-5, velnor.FailedError, "failed"),
    (-6, velnor.OutOfMemoryError, "no_memory"),
    (-7, velnor.InvalidDeviceTypeError, "invalid_device_type"),
    (-8, velnor.UpdateInvalidStatusError, "update_invalid_status"),
    (-9, velnor.InvalidDataError, "invalid_data"),
    (-10, velnor.DriverTimeoutError, "timeout"),
    (-11, velnor.PllNotLockedError, "pll_not_locked"),
    (-13, velnor.InvalidFrequencyError, "invalid_frequency"),
    (-12, velnor.VelnorError, "invalid_rc"),
    (-14, velnor.VelnorError, "invalid_rc"),
    (7, velnor.VelnorError, "invalid_rc"),
    (2**31 - 1, velnor.VelnorError, "invalid_rc"),
]


@pytest.mark.parametrize("status, cls, name", CODES)
def test_driver_status_raises_its_own_subclass_with_its_log_line(board, velnor_sim, status, cls,
                                                                  name):
    velnor_sim.set_request_status(velnor_sim.Request.GET_TRIGGER_STATUS, status)
    with pytest.raises(velnor.VelnorError) as caught:
        board.trigger_status
    error = caught.value
    assert type(error) is cls
    assert (error.code, error.name, error.function) == (
        status, name, "vl_device_get_trigger_status")
    assert log_suffix(error.detail) == (
        f"[Velnor] [error] [vl_device_get_trigger_status] Error: Velnor:{status}, "
        f"IOCTL failed: {name}")


def test_every_named_subclass_is_a_velnor_error_and_distinct():
    classes = [cls for _, cls, _ in CODES[:12]]
    assert len(set(classes)) == 12
    assert all(issubclass(cls, velnor.VelnorError) and cls is not velnor.VelnorError
               for cls in classes)


def test_failed_system_call_raises_failed_naming_the_system_error(board, velnor_sim):
    velnor_sim.fail_next(velnor_sim.Call.DEVICE_IO_CONTROL,
                         velnor_sim.WinError.DEVICE_NOT_CONNECTED)
    with pytest.raises(velnor.FailedError) as caught:
        board.serial
    assert caught.value.code == -5
    assert log_suffix(caught.value.detail).startswith(
        "[Velnor] [error] [vl_device_get_serial] Error: system:1167, DeviceIoControl failed")


def test_removed_board_fails_its_requests(velnor_sim):
    board_id = velnor_sim.add_board()
    with velnor.open() as board:
        velnor_sim.remove_board(board_id)
        with pytest.raises(velnor.FailedError):
            board.led = velnor.Led.ON
    with pytest.raises(ValueError, match="no virtual board with id 5"):
        velnor_sim.remove_board(5)


@pytest.mark.parametrize("fault, cls, function", [
    ("index", velnor.InvalidDeviceError, "vl_device_open"),
    ("create_file", velnor.FailedError, "vl_device_open"),
    ("null_handle", velnor.InternalError, "vl_device_open"),
    ("list_size", velnor.FailedError, "vl_device_open"),
])
def test_open_failures_raise_their_subclass(velnor_sim, fault, cls, function):
    velnor_sim.add_board()
    index = 0
    if fault == "index":
        index = 1
    elif fault == "create_file":
        velnor_sim.fail_next(velnor_sim.Call.CREATE_FILE, 5)
    elif fault == "null_handle":
        velnor_sim.next_open_returns_null()
    else:
        velnor_sim.fail_next(velnor_sim.Call.LIST_SIZE, 0x13)
    with pytest.raises(velnor.VelnorError) as caught:
        velnor.open(index)
    assert type(caught.value) is cls and caught.value.function == function
    assert velnor_sim.open_handle_count() == 0


def test_device_count_failure_is_reported_from_its_export(velnor_sim):
    velnor_sim.fail_next(velnor_sim.Call.LIST_SIZE, 0x13)
    with pytest.raises(velnor.FailedError) as caught:
        velnor.device_count()
    assert caught.value.function == "vl_get_device_count"


def test_error_text_pickling_and_factory():
    error = velnor.VelnorError.of(-9, "vl_device_set_id_led_state", None)
    assert type(error) is velnor.InvalidDataError
    assert str(error) == "vl_device_set_id_led_state failed: invalid_data (-9)"
    copy = pickle.loads(pickle.dumps(error))
    assert type(copy) is velnor.InvalidDataError
    assert (copy.code, copy.name, copy.function, copy.detail) == (
        -9, "invalid_data", "vl_device_set_id_led_state", None)
    assert velnor.rc_name(-12) == "invalid_rc" and velnor.rc_name(0) == "success"


def test_negative_index_is_refused_here(velnor_sim):
    with pytest.raises(ValueError):
        velnor.open(-1)

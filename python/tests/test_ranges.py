import pytest

import velnor

# ctypes keeps only the low bits of an int: each value below, cut to its field, names a
# board, a register, a fault or a count that exists, so a call that let it through would
# act on the wrong one instead of refusing.
BIG = 2**64
CUT_TO_1 = 2**32 + 1

# call, the out-of-range values; board 0 and board 1 are present, board 0 open
CALLS = [
    ("velnor.open", lambda sim, board, v: velnor.open(v), [-1, BIG, BIG + 1]),
    ("board.read_register", lambda sim, board, v: board.read_register(v), [-1, 2**32 + 0xF0]),
    ("board.write_register address", lambda sim, board, v: board.write_register(v, 1),
     [-1, 2**32 + 0xF0]),
    ("board.write_register value", lambda sim, board, v: board.write_register(0xF0, v),
     [-1, 2**32 + 1]),
    ("board.led", lambda sim, board, v: setattr(board, "led", v), [-1, CUT_TO_1]),
    ("board.clock mode", lambda sim, board, v: setattr(board, "clock", (v, 10_000_000)),
     [-1, CUT_TO_1]),
    ("board.clock frequency", lambda sim, board, v: setattr(board, "clock", (1, v)),
     [2**63, -(2**63) - 1, BIG + 10_000_000]),
    ("sim.remove_board", lambda sim, board, v: sim.remove_board(v), [-1, 2**31, CUT_TO_1]),
    ("sim.fire_trigger", lambda sim, board, v: sim.fire_trigger(v), [-1, 2**32]),
    ("sim.read_register id", lambda sim, board, v: sim.read_register(v, 0xF0), [-1, 2**32]),
    ("sim.read_register address", lambda sim, board, v: sim.read_register(0, v),
     [-1, 2**32 + 0xF0]),
    ("sim.fail_next", lambda sim, board, v: sim.fail_next(sim.Call.DEVICE_IO_CONTROL, v),
     [-1, 2**32 + 87]),
    ("sim.fail_call_at n", lambda sim, board, v: sim.fail_call_at(v, 87), [-1, BIG + 1]),
    ("sim.fail_call_at error", lambda sim, board, v: sim.fail_call_at(1, v), [2**32 + 87]),
    ("sim.set_request_status",
     lambda sim, board, v: sim.set_request_status(sim.Request.GET_TRIGGER_STATUS, v),
     [2**31, -(2**31) - 1, 2**32 - 9]),
    ("sim.set_request_reply_length",
     lambda sim, board, v: sim.set_request_reply_length(sim.Request.GET_TRIGGER_STATUS, v),
     [-1, 2**32 + 4]),
    ("sim.add_board firmware", lambda sim, board, v: sim.add_board(firmware=(v, 0, 0)),
     [-1, 2**32 + 2]),
]


def what_the_platform_saw(sim):
    return (sim.request_count(), [sim.call_count(call) for call in sim.Call],
            sim.board_count(), sim.open_handle_count(),
            [sim.read_register(board_id, 0xF0) for board_id in (0, 1)])


@pytest.mark.parametrize("name, call, values", CALLS, ids=[row[0] for row in CALLS])
def test_an_int_that_does_not_fit_is_refused_before_anything_is_sent(velnor_sim, name, call,
                                                                     values):
    velnor_sim.add_board()
    velnor_sim.add_board()
    with velnor.open() as board:
        board.trigger_status = velnor.TriggerStatus.ARMED
        with velnor.open(1) as other:
            other.trigger_status = velnor.TriggerStatus.ARMED
        before = what_the_platform_saw(velnor_sim)
        for value in values:
            with pytest.raises(ValueError, match=f"^.* {value} does not fit in "):
                call(velnor_sim, board, value)
        assert what_the_platform_saw(velnor_sim) == before
        # No fault was left armed and no trigger fired: the next requests read as before.
        assert board.trigger_status is velnor.TriggerStatus.ARMED
        assert board.clock == (velnor.ClockMode.INTERNAL, 100_000_000, 0)
        with velnor.open(1) as other:
            assert other.trigger_status is velnor.TriggerStatus.ARMED


# call, a text with a zero byte, the refusal: the board's text fields end at a zero byte
TEXTS_WITH_A_ZERO_BYTE = [
    ("sim.add_board serial", lambda sim, v: sim.add_board(serial=v), "LAB-7\0spare",
     "serial 'LAB-7\\x00spare' holds a zero byte: the board would keep only 'LAB-7'"),
    ("sim.add_board firmware", lambda sim, v: sim.add_board(firmware=v), "1.4.0\0junk",
     "firmware version text '1.4.0\\x00junk' holds a zero byte: the board would keep only "
     "'1.4.0'"),
    ("sim.add_board driver", lambda sim, v: sim.add_board(driver=v),
     velnor.Version(2, 4, 1, "2.4.1\0"),
     "driver version text '2.4.1\\x00' holds a zero byte: the board would keep only '2.4.1'"),
    ("velnor.pack_firmware", lambda sim, v: velnor.pack_firmware(b"x", v), "1.4.0\0junk",
     "firmware version text '1.4.0\\x00junk' holds a zero byte: the board would keep only "
     "'1.4.0'"),
    ("velnor.pack_firmware Version", lambda sim, v: velnor.pack_firmware(b"x", v),
     velnor.Version(1, 4, 0, "\0"),
     "firmware version text '\\x00' holds a zero byte: the board would keep only ''"),
]


@pytest.mark.parametrize("name, call, value, text", TEXTS_WITH_A_ZERO_BYTE,
                         ids=[row[0] for row in TEXTS_WITH_A_ZERO_BYTE])
def test_a_text_with_a_zero_byte_is_refused_rather_than_cut(velnor_sim, name, call, value, text):
    velnor_sim.add_board()
    velnor_sim.add_board()
    before = what_the_platform_saw(velnor_sim)
    with pytest.raises(ValueError) as caught:
        call(velnor_sim, value)
    assert type(caught.value) is ValueError and str(caught.value) == text
    assert what_the_platform_saw(velnor_sim) == before

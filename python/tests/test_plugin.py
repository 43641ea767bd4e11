import os
import subprocess
import sys
import textwrap

import velnor

PACKAGE = os.path.dirname(os.path.dirname(os.path.abspath(velnor.__file__)))

USER_TESTS = textwrap.dedent("""
    import velnor

    def test_first(velnor_sim):
        assert velnor_sim.board_count() == 0
        velnor_sim.add_board(serial="LAB-1")
        velnor_sim.add_board(serial="LAB-2")
        velnor_sim.fail_next(velnor_sim.Call.LIST_SIZE, 0x13)

    def test_second_sees_nothing_of_the_first(velnor_sim):
        assert velnor_sim.board_count() == 0
        assert velnor.device_count() == 0
        velnor_sim.add_board(serial="LAB-3")

    def test_after_the_fixture_the_platform_is_reset_again():
        import velnor.sim
        assert velnor.sim.board_count() == 0
""")

# The examples of docs/python.md, as a user's suite would hold them.
GUIDE_TESTS = textwrap.dedent("""
    import pytest
    import velnor


    def test_blinks(velnor_sim):
        velnor_sim.add_board(serial="LAB-7")
        with velnor.open(serial="LAB-7") as board:
            board.led = velnor.Led.BLINK
            assert board.led is velnor.Led.BLINK


    def test_board_unplugged(velnor_sim):
        board_id = velnor_sim.add_board()
        with velnor.open() as board:
            velnor_sim.remove_board(board_id)
            with pytest.raises(velnor.FailedError):
                board.trigger_status


    def test_pll_does_not_lock(velnor_sim):
        velnor_sim.add_board()
        velnor_sim.set_request_status(velnor_sim.Request.SET_CLOCK, -11)
        with velnor.open() as board, pytest.raises(velnor.PllNotLockedError):
            board.clock = velnor.Clock(velnor.ClockMode.INTERNAL, 100_000_000)
""")


def test_velnor_sim_fixture_resets_before_and_after_each_test(tmp_path):
    (tmp_path / "test_user.py").write_text(USER_TESTS)
    (tmp_path / "test_guide.py").write_text(GUIDE_TESTS)
    result = subprocess.run(
        [sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
         "-p", "velnor.pytest_plugin", str(tmp_path)],
        capture_output=True, text=True, timeout=120, env=dict(os.environ, PYTHONPATH=PACKAGE), cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr
    assert "6 passed" in result.stdout

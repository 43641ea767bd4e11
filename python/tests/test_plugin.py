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


def test_velnor_sim_fixture_resets_before_and_after_each_test(tmp_path):
    (tmp_path / "test_user.py").write_text(USER_TESTS)
    result = subprocess.run(
        [sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
         "-p", "velnor.pytest_plugin", str(tmp_path / "test_user.py")],
        capture_output=True, text=True, timeout=120, env=dict(os.environ, PYTHONPATH=PACKAGE), cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr
    assert "3 passed" in result.stdout

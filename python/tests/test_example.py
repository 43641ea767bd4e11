import os

from conftest import run_python

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python", "board_tour.py")


def test_the_example_tours_the_virtual_board():
    result = run_python(f"import runpy; runpy.run_path({EXAMPLE!r}, run_name='__main__')")
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0].startswith("library 1.0.2 (")
    assert lines[1:5] == [
        "board 0: serial VLN-SIM-0000, firmware 1.3.0, driver 2.4.1",
        "LED BLINK, trigger RISING",
        "clock 125000000 Hz",
        lines[4],
    ]
    assert lines[4].startswith("refused: invalid_frequency; [20") and lines[4].endswith(
        "[vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. "
        "Try 123125000Hz or 123750000Hz: invalid_frequency")
    # The progress line is rewritten in place ("\r"), read here as lines of its own.
    assert lines[5:] == ["trigger ARMED", "", "firmware 1024/3064 bytes",
                         "firmware 2048/3064 bytes", "firmware 3064/3064 bytes",
                         "firmware now 1.4.0"]

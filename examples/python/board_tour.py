#!/usr/bin/env python3
"""A short tour of a board from Python: list the boards, open one, blink its LED,
set the clock (one refused, with the library's reason), arm the trigger, and update
the firmware with a progress line.

    PYTHONPATH=python VELNOR_LIBRARY=build/host-debug/lib/libvelnor.so \\
        python3 examples/python/board_tour.py [SERIAL]
"""

import sys

import velnor


def main() -> int:
    print(f"library {velnor.library_version()} ({velnor.library_path()})")
    for info in velnor.boards():
        print(f"board {info.index}: serial {info.serial}, firmware {info.firmware}, "
              f"driver {info.driver}")
    try:
        board = velnor.open(serial=sys.argv[1]) if len(sys.argv) > 1 else velnor.open()
    except (LookupError, velnor.VelnorError) as error:
        print(f"no board to open: {error}", file=sys.stderr)
        return 1

    with board:
        board.led = velnor.Led.BLINK
        print(f"LED {board.led.name}, trigger {board.trigger_polarity.name}")

        board.clock = velnor.Clock(velnor.ClockMode.INTERNAL, 125_000_000)
        print(f"clock {board.clock.frequency_hz} Hz")
        try:
            board.clock = velnor.Clock(velnor.ClockMode.INTERNAL, 123_456_789)
        except velnor.InvalidFrequencyError as error:
            print(f"refused: {error.name}; {error.detail}")

        board.trigger_status = velnor.TriggerStatus.ARMED
        print(f"trigger {board.trigger_status.name}")

        image = velnor.pack_firmware(b"\x00" * 3000, "1.4.0")

        def progress(sent: int, total: int) -> None:
            print(f"\rfirmware {sent}/{total} bytes", end="", flush=True)

        version = board.update_firmware(image, progress=progress)
        print(f"\nfirmware now {version}")
        board.led = velnor.Led.OFF
    return 0


if __name__ == "__main__":
    sys.exit(main())

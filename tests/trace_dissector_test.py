#!/usr/bin/python3
"""Decodes a trace made of chosen records with tshark and the Velnor dissector,
and checks each record's fields and summary line exactly.

    trace_dissector_test.py TSHARK DISSECTOR BOARD_PROTOCOL_HEADER WORK_DIR

The request names expected are the board protocol header's enumerators
(VLB_REQ_SET_LED = 8 is "set_led"), read from the header itself, so a name the
dissector gives the wrong number fails here.
"""

import os
import re
import struct
import subprocess
import sys

FIRST_CODE = 0x222000


def option(code, value):
    return struct.pack("<HH", code, len(value)) + value + b"\0" * (-len(value) % 4)


def block(kind, body):
    body += b"\0" * (-len(body) % 4)
    length = len(body) + 12
    return struct.pack("<II", kind, length) + body + struct.pack("<I", length)


def record(kind, p=(0, 0, 0, 0), data_in=b"", data_out=b"", header_size=64, sizes=None):
    """A record whose call succeeded: CR_SUCCESS (0) for the list calls, TRUE otherwise."""
    in_size, out_size = sizes if sizes else (len(data_in), len(data_out))
    result = 0 if kind in (0, 1) else 1
    header = struct.pack("<HBBIQQQII4III", header_size, kind, 0, 7, 1, 0, 0x40, result, 0, *p,
                         in_size, out_size)
    return header + data_in + data_out


def trace(records):
    section = block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1) + option(0, b""))
    interface = block(1, struct.pack("<HHI", 147, 0, 0) + option(9, b"\x09") + option(0, b""))
    packets = b""
    for number, packet in enumerate(records, 1):
        packets += block(6, struct.pack("<IIIII", 0, 0, number, len(packet), len(packet)) + packet)
    return section + interface + packets


def request_names(header):
    text = open(header, encoding="utf-8").read()
    return {int(n): name.lower() for name, n in re.findall(r"VLB_REQ_(\w+) = (\d+)", text)}


def utf16_list(paths):
    return "".join(path + "\0" for path in paths).encode("utf-16-le") + b"\0\0"


def main():
    tshark, dissector, header, work = sys.argv[1:5]
    names = request_names(header)
    if len(names) != 18:
        sys.exit(f"expected 18 requests in {header}, found {len(names)}")
    # (record, velnor.request, listed paths, expert message, summary line)
    cases = [(record(4, (FIRST_CODE + 4 * n, 0, 4, 4), data_out=b"\0" * 4), str(n), "", "",
              f"DeviceIoControl {name} -> success") for n, name in sorted(names.items())]
    cases += [
        (record(4, (FIRST_CODE + 2, 0, 4, 4), data_out=b"\0" * 4), "", "", "",
         "DeviceIoControl 0x222002 -> success"),
        (record(4, (FIRST_CODE - 4, 0, 4, 4), data_out=b"\0" * 4), "", "", "",
         "DeviceIoControl 0x221FFC -> success"),
        (record(1, (0, 9, 0, 0), data_in=b"\0" * 16, data_out=utf16_list(["\\\\?\\A", "B"])),
         "", "\\\\?\\A,B", "", "CM_Get_Device_Interface_ListW -> 0, 9 characters"),
        (record(1, (0, 1, 0, 0), data_in=b"\0" * 16, data_out=utf16_list([])), "", "", "",
         "CM_Get_Device_Interface_ListW -> 0, 1 characters"),
        (record(4, header_size=60), "", "", "record header of the wrong size",
         "Velnor record with a header of the wrong size"),
        (record(4, sizes=(8, 0)), "", "", "record data sizes do not add up to the packet",
         "DeviceIoControl [malformed]"),
        (record(9), "", "", "unknown call kind 9", "call 9"),
    ]
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, "chosen_records.pcapng")
    with open(path, "wb") as out:
        out.write(trace([case[0] for case in cases]))
    fields = ["velnor.request", "velnor.list.path", "_ws.expert.message", "_ws.col.Info"]
    command = [tshark, "-X", f"lua_script:{dissector}", "-r", path, "-T", "fields",
               "-E", "separator=/t"] + [arg for field in fields for arg in ("-e", field)]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0 or "Lua Error" in run.stdout + run.stderr:
        sys.exit(f"tshark failed ({run.returncode}): {run.stderr}{run.stdout}")
    lines = run.stdout.splitlines()
    if len(lines) != len(cases):
        sys.exit(f"expected {len(cases)} records, tshark gave {len(lines)}:\n{run.stdout}")
    failures = []
    for number, (case, line) in enumerate(zip(cases, lines), 1):
        expected = list(case[1:])
        got = line.split("\t")
        if got != expected:
            failures.append(f"record {number}: expected {expected}, got {got}")
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()

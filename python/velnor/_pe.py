"""Reads what a Windows DLL is built for and which DLLs it imports, from the file.

The loader uses it to tell a 32/64-bit mismatch before loading, and to tell the
simulation build of Velnor.dll (it imports velnor_sim.dll) from the product; the
wheel script uses it to check what it bundles. Plain file reading: it runs anywhere.
"""

from __future__ import annotations

import struct
from typing import List, NamedTuple

MACHINES = {0x8664: "x64", 0x14C: "x86", 0xAA64: "arm64"}


class PeInfo(NamedTuple):
    machine: str
    bits: int
    imports: List[str]
    exports: List[str]


def read_pe(path: str) -> PeInfo:
    """Machine, bitness, imported DLL names and exported names of a PE file;
    ValueError when it is not one."""
    with open(path, "rb") as file:
        data = file.read()
    if data[:2] != b"MZ" or len(data) < 64:
        raise ValueError(f"{path} is not a Windows DLL")
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError(f"{path} is not a Windows DLL")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe_offset + 4)
    optional = pe_offset + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    bits = {0x10B: 32, 0x20B: 64}.get(magic)
    if bits is None:
        raise ValueError(f"{path}: unknown optional header")
    directories = optional + (96 if bits == 32 else 112)
    export_rva, _ = struct.unpack_from("<II", data, directories)
    import_rva, _ = struct.unpack_from("<II", data, directories + 8)
    table = optional + optional_size
    section_list = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(rva: int) -> int:
        for virtual_size, address, raw_size, raw_pointer in section_list:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError(f"{path}: address {rva:#x} is in no section")

    def text(rva: int) -> str:
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii", "replace")

    imports = []
    if import_rva:
        entry = offset(import_rva)
        while True:
            fields = struct.unpack_from("<IIIII", data, entry)
            if not any(fields):
                break
            imports.append(text(fields[3]))
            entry += 20
    exports = []
    if export_rva:
        directory = offset(export_rva)
        (count,) = struct.unpack_from("<I", data, directory + 24)
        (names_rva,) = struct.unpack_from("<I", data, directory + 32)
        names = offset(names_rva)
        for i in range(count):
            (name_rva,) = struct.unpack_from("<I", data, names + 4 * i)
            exports.append(text(name_rva))
    return PeInfo(MACHINES.get(machine, hex(machine)), bits, imports, exports)


def imports_dll(path: str, name: str) -> bool:
    return name.lower() in (entry.lower() for entry in read_pe(path).imports)

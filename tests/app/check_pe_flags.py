#!/usr/bin/python3
"""Reads the protections and the address-space flag from the PE headers of the shipped programs:
every one keeps ASLR (dynamic base, with its relocations) and DEP (NX compatible) and is
large-address-aware; a 64-bit one also takes high-entropy addresses.

usage: check_pe_flags.py PROGRAM.exe...
"""
import struct
import sys


def missing_flags(image):
    header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[header:header + 4] != b"PE\0\0":
        return ["a PE header"]
    field = lambda offset, form="<H": struct.unpack_from(form, image, header + offset)[0]
    pe32_plus = field(24) == 0x20B  # the optional header's magic
    dll = field(24 + 70)  # its DLL characteristics
    # The size of the base relocations, entry 5 of the data directories.
    relocations = field(24 + (112 if pe32_plus else 96) + 8 * 5 + 4, "<I")
    wanted = {"large-address-aware": field(22) & 0x0020, "dynamic base (ASLR)": dll & 0x0040,
              "relocations for ASLR": relocations, "NX compatible (DEP)": dll & 0x0100,
              "high-entropy addresses": dll & 0x0020 or not pe32_plus}
    return [name for name, present in wanted.items() if not present]


failed = False
for program in sys.argv[1:]:
    with open(program, "rb") as f:
        missing = missing_flags(f.read(4096))
    print("%s: %s" % (program, "missing " + ", ".join(missing) if missing else "all flags set"))
    failed = failed or bool(missing)
sys.exit(1 if failed else 0)

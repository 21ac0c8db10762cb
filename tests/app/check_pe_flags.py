#!/usr/bin/python3
"""Reads the protections and the address-space flag from the PE headers of the shipped programs:
every one keeps ASLR (dynamic base, with its relocations) and DEP (NX compatible) and is
large-address-aware; a 64-bit one also takes high-entropy addresses.

usage: check_pe_flags.py PROGRAM.exe...
"""
import struct
import sys

LARGE_ADDRESS_AWARE = 0x0020  # file header characteristics
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100  # optional header
PE32_PLUS = 0x20B
BASE_RELOCATIONS = 5  # data directory index


def missing_flags(image):
    header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[header:header + 4] != b"PE\0\0":
        return ["a PE header"]
    characteristics = struct.unpack_from("<H", image, header + 22)[0]
    optional = header + 24
    magic, dll_characteristics = (struct.unpack_from("<H", image, optional)[0],
                                  struct.unpack_from("<H", image, optional + 70)[0])
    directories = optional + (112 if magic == PE32_PLUS else 96)
    relocations_size = struct.unpack_from("<I", image, directories + 8 * BASE_RELOCATIONS + 4)[0]
    wanted = [("large-address-aware", characteristics & LARGE_ADDRESS_AWARE),
              ("dynamic base (ASLR)", dll_characteristics & DYNAMIC_BASE),
              ("relocations for ASLR", relocations_size),
              ("NX compatible (DEP)", dll_characteristics & NX_COMPAT)]
    if magic == PE32_PLUS:
        wanted.append(("high-entropy addresses", dll_characteristics & HIGH_ENTROPY_VA))
    return [name for name, present in wanted if not present]


def main(programs):
    failed = False
    for program in programs:
        with open(program, "rb") as f:
            missing = missing_flags(f.read(4096))
        print("%s: %s" % (program, "missing " + ", ".join(missing) if missing else "all flags set"))
        failed = failed or bool(missing)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""The shipped programs' PE files as Windows reads them: protections, oldest Windows, version."""
import argparse
import os
import re
import struct
import subprocess
import sys

# Imports that 32-bit Windows XP (5.1) lacks and Vista (6.0) has: the runtime's (the clock, the
# stack guarantee, the thread primitives), whose use makes Vista the oldest Windows that runs it.
VISTA_IMPORT = re.compile(
    r"GetTickCount64|SetThreadStackGuarantee|\w*(SRWLock|ConditionVariable|Fls)\w*")
OBJDUMP = "x86_64-w64-mingw32-objdump"  # reads 32-bit and 64-bit PE files alike


def version_string(data, key):
    # The value follows its UTF-16 key, wValueLength units long.
    at = data.find(key.encode("utf-16-le") + b"\0\0")
    if at < 0:
        return None
    units = struct.unpack_from("<H", data, at - 4)[0]
    value = (at + 2 * len(key) + 2 + 3) & ~3
    return data[value:value + 2 * units].decode("utf-16-le").rstrip("\0")


def problems_of(program, version, build_folder):
    text = subprocess.run([OBJDUMP, "-p", program], capture_output=True, text=True, check=True,
                          env=dict(os.environ, TZ="UTC")).stdout
    fields = dict(re.findall(r"^(\w+)\s+(\S+)", text, re.M))
    flags = set(re.findall(r"^\t+([A-Z_]+|large address aware)$", text, re.M))
    imports = re.findall(r"^\t[0-9a-f]+\s+\d+\s+(\w+)$", text, re.M)
    wanted = {"large-address-aware": "large address aware" in flags,
              "dynamic base (ASLR)": "DYNAMIC_BASE" in flags,
              "relocations for ASLR": "Base Relocation Directory [.reloc]" in text,
              "NX compatible (DEP)": "NX_COMPAT" in flags,
              "high-entropy addresses": "HIGH_ENTROPY_VA" in flags or fields["Magic"] != "020b"}
    problems = ["missing " + name for name, present in wanted.items() if not present]
    vista_imports = sorted(name for name in imports if VISTA_IMPORT.fullmatch(name))
    needed = (6, 0) if vista_imports else (5, 1)
    for what in ("OSystem", "Subsystem"):
        stated = (int(fields["Major%sVersion" % what]), int(fields["Minor%sVersion" % what]))
        if stated != needed:
            problems.append("states %s version %d.%d, its imports need %d.%d %s" % (
                what, *stated, *needed, vista_imports))
    data = open(program, "rb").read()
    if "Jan  1 00:00:00 1970" not in text.split("Time/Date", 1)[1].splitlines()[0]:
        problems.append("a link time in the header")
    if os.fsencode(build_folder) in data:
        problems.append("the build folder %s in its bytes" % build_folder)
    strings = {"FileVersion": version, "ProductVersion": version, "ProductName": "Vantrel",
               "OriginalFilename": os.path.basename(program),
               "LegalCopyright": "Copyright (c) The Vantrel authors"}
    problems += ["version resource: %s is %r, not %r" % (name, version_string(data, name), value)
                 for name, value in strings.items() if version_string(data, name) != value]
    if not version_string(data, "FileDescription"):
        problems.append("version resource: no FileDescription")
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    numbers = [n >> shift & 0xFFFF for n in struct.unpack_from("<4I", data, fixed + 8)
               for shift in (16, 0)] if fixed >= 0 else None
    if numbers != ([int(part) for part in version.split(".")] + [0]) * 2:
        problems.append("version resource: the fixed file and product versions are %s" % numbers)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True, help="the project's version, as 1.0.0")
    parser.add_argument("--source", required=True, help="the checkout's folder, the build's in it")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    found = {p: problems_of(p, args.version, os.path.realpath(args.source)) for p in args.programs}
    for program, problems in found.items():
        print("%s: %s" % (program, "; ".join(problems) if problems else "all as they should be"))
    sys.exit(1 if any(found.values()) else 0)


if __name__ == "__main__":
    main()

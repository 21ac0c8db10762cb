#!/usr/bin/python3
"""Reads the shipped programs' PE files as Windows and Explorer read them:
- the protections and the address-space flag: every program keeps ASLR (dynamic base, with its
  relocations) and DEP (NX compatible) and is large-address-aware; a 64-bit one also takes
  high-entropy addresses;
- the oldest Windows it states (operating system and subsystem version) is the oldest that has
  every function it imports;
- nothing of the build in it: no link time, no build folder;
- its version resource (what Properties shows): file and product version VERSION, the product
  name, a description, its own file name, the copyright.

usage: check_pe_flags.py --version VERSION --source DIR PROGRAM.exe...
"""
import argparse
import os
import struct
import sys

# Imported functions that Windows XP (5.1) lacks, with the version that first has them (the
# 32-bit editions: SetThreadStackGuarantee came to 64-bit XP earlier). Any other import is
# taken to be in XP.
NEWER_FUNCTIONS = {
    (6, 0): "GetTickCount64 SetThreadStackGuarantee InitializeConditionVariable "
            "SleepConditionVariableCS SleepConditionVariableSRW WakeConditionVariable "
            "WakeAllConditionVariable InitializeSRWLock AcquireSRWLockExclusive "
            "AcquireSRWLockShared ReleaseSRWLockExclusive ReleaseSRWLockShared InitOnceExecuteOnce "
            "GetFileInformationByHandleEx SetFileInformationByHandle GetFinalPathNameByHandleW "
            "GetFinalPathNameByHandleA CreateSymbolicLinkW CreateSymbolicLinkA CancelIoEx "
            "GetLocaleInfoEx CompareStringEx LCMapStringEx FlsAlloc FlsGetValue FlsSetValue "
            "FlsFree QueryFullProcessImageNameW QueryFullProcessImageNameA",
    (6, 1): "TryAcquireSRWLockExclusive TryAcquireSRWLockShared",
    (6, 2): "GetSystemTimePreciseAsFileTime CreateFile2",
    (10, 0): "SetThreadDescription GetThreadDescription",
}
OLDEST_OF = {name: version for version, names in NEWER_FUNCTIONS.items() for name in names.split()}
XP = (5, 1)
COPYRIGHT = "Copyright (c) The Vantrel authors"


class Image:
    def __init__(self, data):
        self.data = data
        self.header = self.u32(0x3C)
        if data[self.header:self.header + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        self.optional = self.header + 24
        self.pe32_plus = self.u16(self.optional) == 0x20B
        self.directories = self.optional + (112 if self.pe32_plus else 96)
        sections = self.optional + self.u16(self.header + 20)
        self.sections = [struct.unpack_from("<IIII", data, sections + 40 * i + 8)
                         for i in range(self.u16(self.header + 6))]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, index):
        """The address and size of data directory `index`."""
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def offset(self, address):
        """The file offset of a relative virtual address."""
        for virtual_size, virtual_address, raw_size, raw_offset in self.sections:
            if virtual_address <= address < virtual_address + max(virtual_size, raw_size):
                return address - virtual_address + raw_offset
        raise ValueError("address %#x outside every section" % address)

    def c_string(self, address):
        start = self.offset(address)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """The names of the imported functions."""
        names, descriptor = [], self.offset(self.directory(1)[0])
        thunk_size, by_ordinal = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        while self.u32(descriptor + 12):  # the DLL's name
            lookup = self.u32(descriptor) or self.u32(descriptor + 16)
            at = self.offset(lookup)
            while True:
                thunk = int.from_bytes(self.data[at:at + thunk_size], "little")
                if thunk == 0:
                    break
                if not thunk & by_ordinal:
                    names.append(self.c_string((thunk & 0x7FFFFFFF) + 2))
                at += thunk_size
            descriptor += 20
        return names

    def resource(self, kind):
        """The bytes of the first resource of a type (first name, first language)."""
        root = self.offset(self.directory(2)[0])
        table, wanted = root, kind
        while True:
            count = self.u16(table + 12) + self.u16(table + 14)
            entries = [struct.unpack_from("<II", self.data, table + 16 + 8 * i) for i in range(count)]
            found = [target for ident, target in entries if wanted is None or ident == wanted]
            if not found:
                return None
            if not found[0] & 0x80000000:
                address, size = struct.unpack_from("<II", self.data, root + found[0])
                return self.data[self.offset(address):self.offset(address) + size]
            table, wanted = root + (found[0] & 0x7FFFFFFF), None


def version_blocks(data, start=0, end=None):
    """The blocks of a version resource: (key, value bytes, text value?, children's span)."""
    end = len(data) if end is None else end
    while start + 6 <= end:
        length, value_length, text = struct.unpack_from("<HHH", data, start)
        if length == 0:
            break
        key_end = start + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[start + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        value_end = value + value_length * (2 if text else 1)
        yield key, data[value:value_end], text, ((value_end + 3) & ~3, start + length)
        start = (start + length + 3) & ~3


def version_resource(image):
    """The fixed version numbers and the strings of the version resource (RT_VERSION, 16)."""
    data = image.resource(16)
    if data is None:
        return None, {}
    key, fixed, _, children = next(version_blocks(data))
    numbers = struct.unpack_from("<6I", fixed) if key == "VS_VERSION_INFO" and len(fixed) >= 52 else ()
    strings = {}
    for key, _, _, span in version_blocks(data, *children):
        if key == "StringFileInfo":
            for _, _, _, table in version_blocks(data, *span):
                for name, value, _, _ in version_blocks(data, *table):
                    strings[name] = value.decode("utf-16-le").rstrip("\0")
    if len(numbers) != 6 or numbers[0] != 0xFEEF04BD:
        return None, strings
    # The file version and the product version, each as four numbers.
    return [n >> shift & 0xFFFF for n in numbers[2:] for shift in (16, 0)], strings


def flag_problems(image):
    field = image.u16
    dll = field(image.optional + 70)  # the DLL characteristics
    wanted = {"large-address-aware": field(image.header + 22) & 0x0020,
              "dynamic base (ASLR)": dll & 0x0040, "relocations for ASLR": image.directory(5)[1],
              "NX compatible (DEP)": dll & 0x0100,
              "high-entropy addresses": dll & 0x0020 or not image.pe32_plus}
    return ["missing " + name for name, present in wanted.items() if not present]


def windows_version_problems(image):
    imports = image.imports()
    needed = max([OLDEST_OF.get(name, XP) for name in imports])
    newest = sorted(name for name in imports if OLDEST_OF.get(name, XP) == needed)
    stated = {"operating system": (image.u16(image.optional + 40), image.u16(image.optional + 42)),
              "subsystem": (image.u16(image.optional + 48), image.u16(image.optional + 50))}
    return ["states %s version %d.%d, its imports need %d.%d (%s)" % (what, *version, *needed,
            ", ".join(newest) if needed != XP else "none newer than XP")
            for what, version in stated.items() if version != needed]


def build_problems(image, build_folder):
    problems = []
    if image.u32(image.header + 8):
        problems.append("a link time in the header")
    if os.fsencode(build_folder) in image.data:
        problems.append("the build folder %s in its bytes" % build_folder)
    return problems


def version_problems(image, program, version):
    numbers, strings = version_resource(image)
    expected = [int(part) for part in version.split(".")] + [0]
    wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": "Vantrel",
              "OriginalFilename": os.path.basename(program), "LegalCopyright": COPYRIGHT}
    problems = ["version resource: %s is %r, not %r" % (name, strings.get(name), value)
                for name, value in wanted.items() if strings.get(name) != value]
    if not strings.get("FileDescription"):
        problems.append("version resource: no FileDescription")
    if numbers != expected * 2:
        problems.append("version resource: the fixed file and product versions are %s" % numbers)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True, help="the project's version, as 1.0.0")
    parser.add_argument("--source", required=True, help="the checkout's folder, the build's in it")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    failed = False
    for program in args.programs:
        with open(program, "rb") as f:
            image = Image(f.read())
        problems = (flag_problems(image) + windows_version_problems(image) +
                    build_problems(image, os.path.realpath(args.source)) +
                    version_problems(image, program, args.version))
        print("%s: %s" % (program, "; ".join(problems) if problems else "all as they should be"))
        failed = failed or bool(problems)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Checks the Windows programs a release ships, read from their PE files with the standard library alone.

    release_exe_check.py [--company NAME] [--version FILE=VERSION]... [--uninstall NAME VERSION PUBLISHER]
                         FOLDER_OR_FILE...

Every .exe of each folder (and each file named) must be stripped: no COFF symbol table and no debug
section (the debug information stays in the build folder). Each must carry a version resource whose
fixed part and strings agree: CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
OriginalFilename (the file's own name), ProductName and ProductVersion all given, the file and product
versions the same in the strings and in the fixed numbers (1.630 is 1.630.0.0), and an application
manifest, where there is one, naming the same version. --company: every CompanyName; --version: the
ProductVersion of that file, and every file checked must have one. --uninstall, the Add/Remove Programs
entry's DisplayName, DisplayVersion and Publisher: the Publisher is every CompanyName, the DisplayVersion
letrana.exe's ProductVersion, and the DisplayName names every program by its ProductName and
ProductVersion. Prints each file's strings and every fault; exits 1 when there is one.
"""

import argparse
import os
import re
import struct
import sys

FIELDS = ["CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
          "OriginalFilename", "ProductName", "ProductVersion"]
RT_VERSION, RT_MANIFEST = 16, 24


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[:2] != b"MZ" or self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        (_, count, _, self.symbol_table, self.symbols, optional_size, _) = struct.unpack_from(
            "<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        directories = optional + (96 if struct.unpack_from("<H", self.data, optional)[0] == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", self.data, directories + 2 * 8)[0]
        self.sections = []
        for i in range(count):
            name, _, rva, raw_size, raw = struct.unpack_from("<8sIIII", self.data, optional + optional_size + 40 * i)
            self.sections.append((self.section_name(name.rstrip(b"\0").decode("latin-1")), rva, raw_size, raw))

    def section_name(self, name):
        # A long name is "/offset" into the string table behind the symbols, which a stripped file lacks.
        if name.startswith("/") and self.symbol_table:
            start = self.symbol_table + 18 * self.symbols + int(name[1:])
            return self.data[start:self.data.index(b"\0", start)].decode("latin-1")
        return name

    def at(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"no section holds the address {rva:#x}")

    def resources(self, wanted_type):
        """The data of every resource of the type, in any name and language."""
        if not self.resource_rva:
            return []
        base = self.at(self.resource_rva)

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)

        def leaves(offset):
            for _, target in entries(offset):
                if target & 0x80000000:
                    yield from leaves(target & 0x7FFFFFFF)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    yield self.data[self.at(rva):self.at(rva) + size]

        return [leaf for kind, target in entries(0) if kind == wanted_type and target & 0x80000000
                for leaf in leaves(target & 0x7FFFFFFF)]


def version_blocks(data, offset, end):
    """The blocks of a version resource between the offsets: (key, value bytes, children's range)."""
    while offset + 6 <= end:
        length, value_length, text = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            break
        key_end = offset + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[offset + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        value_end = min(value + value_length * (2 if text else 1), offset + length)
        yield key, data[value:value_end], ((value_end + 3) & ~3, offset + length)
        offset = (offset + length + 3) & ~3


def read_version(data):
    """The fixed file and product versions ("1.630.0.0") and the strings of every string table."""
    key, fixed, children = next(version_blocks(data, 0, len(data)))
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if key != "VS_VERSION_INFO" or signature != 0xFEEF04BD:
        raise ValueError("the version resource has no fixed file information")
    numbers = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    strings = {}
    for name, _, (start, end) in version_blocks(data, *children):
        if name == "StringFileInfo":
            for _, _, (table_start, table_end) in version_blocks(data, start, end):
                for field, value, _ in version_blocks(data, table_start, table_end):
                    strings[field] = value.decode("utf-16-le").split("\0")[0]
    return numbers(file_ms, file_ls), numbers(product_ms, product_ls), strings


def check(path, expected_versions, company):
    """The faults of one program, and its version strings."""
    name = os.path.basename(path)
    pe = PeFile(path)
    faults = []
    if pe.symbols:
        faults.append(f"a symbol table of {pe.symbols} symbols (not stripped)")
    debug = [section for section, *_ in pe.sections if section.startswith((".debug", "/"))]
    if debug:
        faults.append(f"debug sections {', '.join(debug)} (not stripped)")
    versions = pe.resources(RT_VERSION)
    if len(versions) != 1:
        return faults + [f"{len(versions)} version resources, not one"], {}
    file_numbers, product_numbers, strings = read_version(versions[0])
    faults += [f"no {field}" for field in FIELDS if not strings.get(field, "").strip()]
    if strings.get("OriginalFilename", "").lower() != name.lower():
        faults.append(f"OriginalFilename {strings.get('OriginalFilename')!r}, not {name!r}")
    version = strings.get("ProductVersion", "")
    for what, value in [("FileVersion", strings.get("FileVersion")), ("fixed file version", file_numbers),
                        ("fixed product version", product_numbers)]:
        if value not in (version, version + ".0.0"):
            faults.append(f"{what} {value!r} unlike the ProductVersion {version!r}")
    for manifest in pe.resources(RT_MANIFEST):
        identity = re.search(rb"<assemblyIdentity[^>]*\sversion=\"([^\"]*)\"", manifest)
        if identity and identity.group(1).decode() != product_numbers:
            faults.append(f"the manifest's version {identity.group(1).decode()} unlike {product_numbers}")
    if company is not None and strings.get("CompanyName") != company:
        faults.append(f"CompanyName {strings.get('CompanyName')!r}, not {company!r}")
    if expected_versions is not None and expected_versions.get(name.lower()) != version:
        faults.append(f"ProductVersion {version!r}, not {expected_versions.get(name.lower())!r}")
    return faults, strings


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--company")
    parser.add_argument("--version", action="append", default=None)
    parser.add_argument("--uninstall", nargs=3, metavar=("NAME", "VERSION", "PUBLISHER"))
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    expected = None if args.version is None else dict(
        (name.lower(), version) for name, version in (item.split("=", 1) for item in args.version))
    company = args.uninstall[2] if args.uninstall else args.company
    programs = []
    for path in args.paths:
        programs += sorted(os.path.join(path, name) for name in os.listdir(path)
                           if name.lower().endswith(".exe")) if os.path.isdir(path) else [path]
    failed = not programs
    found = {}
    for path in programs:
        try:
            faults, strings = check(path, expected, company)
        except (OSError, ValueError, struct.error) as error:
            faults, strings = [f"unreadable: {error}"], {}
        found[os.path.basename(path).lower()] = strings
        print(f"{path}: " + "; ".join(f"{field}={strings.get(field)!r}" for field in FIELDS))
        for fault in faults:
            print(f"FAIL: {path}: {fault}")
        failed |= bool(faults)
    if args.uninstall:
        display_name, display_version, _ = args.uninstall
        if found.get("letrana.exe", {}).get("ProductVersion") != display_version:
            print(f"FAIL: DisplayVersion {display_version!r} is not letrana.exe's ProductVersion")
            failed = True
        for name in ("letrana.exe", "snapora.exe"):
            strings = found.get(name, {})
            named = f"{strings.get('ProductName')} {strings.get('ProductVersion')}"
            if named not in display_name:
                print(f"FAIL: DisplayName {display_name!r} does not name {name} as {named!r}")
                failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

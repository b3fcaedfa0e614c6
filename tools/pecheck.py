#!/usr/bin/env python3
"""Checks that every built .exe and .dll loads on Windows 95/98: machine i386, subsystem and
OS version 4.0, and every import a function that the system DLLs of Windows 95/98 export.

With --absent NAME=TEXT, a binary of that file name must not hold TEXT (as ANSI or UTF-16
text): the shipped program carries none of the test variant's switches, which all read
variables named UNINST_*.

Usage: pecheck.py --allowed LIST [--max-size NAME=BYTES ...] [--absent NAME=TEXT ...] PATH [PATH...]
       (files, or directories searched for them)
LIST holds lines DLL!Function; a line "DLL!Function ; 98" marks an import that Windows 98
has and Windows 95 RTM lacks (reported, not refused)."""
import argparse
import os
import struct
import sys

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "COMCTL32.DLL",
               "OLE32.DLL", "SHELL32.DLL", "MSVCRT.DLL"}


def read_pe(path):
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise ValueError("not an MZ file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, nsections = struct.unpack_from("<HH", data, pe + 4)
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic != 0x10B:
        raise ValueError("not a PE32 optional header")
    os_major, os_minor = struct.unpack_from("<HH", data, opt + 40)
    sub_major, sub_minor = struct.unpack_from("<HH", data, opt + 48)
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    import_rva = struct.unpack_from("<I", data, opt + 96 + 8)[0]
    sections = []
    for i in range(nsections):
        s = opt + opt_size + i * 40
        vsize, vaddr, rsize, raddr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(rva):
        for vaddr, size, raddr in sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("rva %#x outside every section" % rva)

    def cstring(off):
        end = data.index(b"\0", off)
        return data[off:end].decode("latin-1")

    imports = []
    if import_rva:
        d = offset(import_rva)
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", data, d)
            if name_rva == 0:
                break
            dll = cstring(offset(name_rva)).upper()
            t = offset(lookup or thunk)
            while True:
                entry = struct.unpack_from("<I", data, t)[0]
                if entry == 0:
                    break
                if entry & 0x80000000:
                    imports.append((dll, "#%d" % (entry & 0xFFFF)))
                else:
                    imports.append((dll, cstring(offset(entry) + 2)))
                t += 4
            d += 20
    return machine, (os_major, os_minor), (sub_major, sub_minor), subsystem, imports + delayed_imports(
        data, sections, offset, cstring)


def delayed_imports(data, sections, offset, cstring):
    """The imports bound at their first call (delay-load descriptors, which the toolchain's
    linker leaves out of the header's directory): found by their shape, a 32-byte record with
    attributes 1 (addresses as RVAs), a DLL name ending in ".dll", and name and address tables
    of the same length."""
    found = []
    seen = set()

    def valid(rva):
        return any(vaddr <= rva < vaddr + size for vaddr, size, _ in sections)

    for vaddr, size, raddr in sections:
        for pos in range(raddr, min(raddr + size, len(data)) - 32, 4):
            attrs, name_rva, hmod, iat, int_rva, bound, unload, stamp = struct.unpack_from("<8I", data, pos)
            if attrs != 1 or stamp != 0 or not all(valid(r) for r in (name_rva, hmod, iat, int_rva)):
                continue
            try:
                dll = cstring(offset(name_rva)).upper()
            except ValueError:
                continue
            if not dll.endswith(".DLL") or len(dll) > 64 or (name_rva, int_rva) in seen:
                continue
            seen.add((name_rva, int_rva))
            t, a = offset(int_rva), offset(iat)
            while True:
                entry = struct.unpack_from("<I", data, t)[0]
                if entry == 0:
                    break
                if entry & 0x80000000:
                    found.append((dll, "#%d" % (entry & 0xFFFF)))
                else:
                    found.append((dll, cstring(offset(entry) + 2)))
                t += 4
                a += 4
    return found


def load_allowed(path):
    allowed, only98 = set(), set()
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        entry, _, note = line.partition(";")
        entry = entry.strip()
        allowed.add(entry)
        if note.strip() == "98":
            only98.add(entry)
    return allowed, only98


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--max-size", action="append", default=[], metavar="NAME=BYTES",
                        help="the largest size a binary of that file name may have")
    parser.add_argument("--absent", action="append", default=[], metavar="NAME=TEXT",
                        help="a text that a binary of that file name must not hold")
    parser.add_argument("dirs", nargs="+")
    args = parser.parse_args()
    allowed, only98 = load_allowed(args.allowed)
    limits = {}
    for item in args.max_size:
        name, _, size = item.partition("=")
        limits[name.lower()] = int(size)
    absent = {}
    for item in args.absent:
        name, _, text = item.partition("=")
        absent.setdefault(name.lower(), []).append(text)
    binaries = []
    for top in args.dirs:
        if os.path.isfile(top):
            binaries.append(top)
            continue
        for base, dirs, files in os.walk(top):
            dirs[:] = [d for d in dirs if d != "CMakeFiles"]
            binaries += [os.path.join(base, f) for f in files if f.lower().endswith((".exe", ".dll"))]
    if not binaries:
        print("no binaries found in", args.dirs)
        return 1
    failures = 0
    for path in sorted(binaries):
        problems, notes = [], []
        try:
            machine, osv, subv, subsystem, imports = read_pe(path)
        except (ValueError, struct.error) as error:
            problems.append(str(error))
            imports, machine, osv, subv, subsystem = [], 0x14C, (4, 0), (4, 0), 2
        if machine != 0x14C:
            problems.append("machine %#x, not i386" % machine)
        if osv != (4, 0):
            problems.append("OS version %d.%d, not 4.0" % osv)
        if subv != (4, 0):
            problems.append("subsystem version %d.%d, not 4.0" % subv)
        for dll, function in imports:
            entry = "%s!%s" % (dll, function)
            if dll not in SYSTEM_DLLS:
                problems.append("import from %s, which Windows 95/98 do not ship: %s" % (dll, function))
            elif entry not in allowed:
                problems.append("import not on the Windows 95/98 list: " + entry)
            elif entry in only98:
                notes.append(entry)
        size = os.path.getsize(path)
        limit = limits.get(os.path.basename(path).lower())
        if limit is not None and size > limit:
            problems.append("%d bytes, more than the %d allowed" % (size, limit))
        texts = absent.get(os.path.basename(path).lower(), [])
        if texts:
            data = open(path, "rb").read()
            for text in texts:
                if text.encode("latin-1") in data or text.encode("utf-16-le") in data:
                    problems.append("holds the text %s" % text)
        name = os.path.relpath(path)
        if problems:
            failures += 1
            print("FAIL %s" % name)
            for p in problems:
                print("     " + p)
        else:
            crt = [n for n in notes if n.startswith("MSVCRT.DLL!")]
            other = sorted(set(notes) - set(crt))
            extra = ""
            if crt:
                extra += "; msvcrt.dll (Windows 98, OSR2 or IE4)"
            if other:
                extra += "; Windows 98 only: " + ", ".join(other)
            print("ok   %s (%d bytes, %d imports, subsystem %d%s)" % (name, size, len(imports), subsystem, extra))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Counts, in each binary, the instructions that a Pentium (P5) lacks, and tells where they
come from: our own objects or the prebuilt runtime (by the link map when there is one).

Counted: CMOV, FCMOV, FCOMI/FUCOMI, the P6 system instructions (RDPMC, SYSENTER, FXSAVE, UD2,
...), the multi-byte NOP (0F 1F), and every MMX, SSE or later instruction (any use of an MM or
XMM register, and SFENCE, PREFETCH, MOVNTI, LDMXCSR, EMMS, POPCNT and the like). Every code
section of the file is disassembled, whatever object it came from.

With --strict, fails when any binary holds one: the program must run on a Pentium on every
path, the runtime's code included.

With --trap, runs a command (a test run) while every such instruction of the binary begins
with a breakpoint (INT3, which every x86 has): a run that reaches one of them stops there,
so a test run that passes shows that none of them lies on the paths it took. The binary is
put back afterwards.

Usage: cpucheck.py [--strict] BINARY[=MAP] ...
       cpucheck.py --trap BINARY[=MAP] -- COMMAND [ARGS...]"""
import argparse
import bisect
import collections
import re
import subprocess
import sys

# Instructions introduced after the P5 (Pentium Pro and later), without register operands of
# their own kind; and the MMX, SSE and later registers, whose use marks the rest.
LATER_MNEMONICS = re.compile(r"^(cmov\w+|fcmov\w+|fcomip?|fucomip?|rdpmc|sysenter|sysexit|syscall|sysret\w*"
                          r"|fxsave\w*|fxrstor\w*|ud2|nop[lw]|[slm]fence|prefetch\w*|clflush\w*|movnti"
                          r"|[ls]dmxcsr|v?emms|femms|popcnt|lzcnt|tzcnt|movbe|crc32\w*|xgetbv|rdtscp)$")
LATER_REGISTERS = re.compile(r"%([xyz]mm\d+|mm\d|k[0-7])\b")


def is_later(mnemonic, operands):
    return bool(LATER_MNEMONICS.match(mnemonic) or LATER_REGISTERS.search(operands))


def disassemble(path):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", path],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        m = re.match(r"\s+([0-9a-f]+):\s+(\S+)\s*(.*)", line)
        if m:
            yield int(m.group(1), 16), m.group(2), m.group(3)


def load_map(path):
    """Address ranges of the input sections and the object each came from; the data tables
    that the linker puts into .text (constructor lists, exception tables) are named so."""
    ranges = []
    pending = None
    for line in open(path, errors="replace"):
        m = re.match(r"^ (\.\S+)\s*$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^ (\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        section = m and (m.group(1) or pending)
        if section:
            start, size, origin = int(m.group(2), 16), int(m.group(3), 16), m.group(4).strip()
            if not section.startswith(".text"):
                origin += " (%s, data)" % section
            if size and start:
                ranges.append((start, start + size, origin))
        pending = None
    ranges.sort()
    return ranges


def origin_of(ranges, starts, address):
    i = bisect.bisect_right(starts, address) - 1
    if i >= 0 and ranges[i][0] <= address < ranges[i][1]:
        return ranges[i][2]
    return "unknown"


def classify(origin):
    if "uninst_core" in origin or "CMakeFiles/uninstall" in origin or "/product/" in origin:
        return "our code"
    return "runtime"


def sections(path):
    """(VMA, size, file offset) of every section, to turn addresses into file offsets."""
    out = subprocess.run(["i686-w64-mingw32-objdump", "-h", path], capture_output=True, text=True,
                         check=True).stdout
    found = []
    for line in out.splitlines():
        m = re.match(r"\s*\d+\s+\S+\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)", line)
        if m:
            found.append((int(m.group(2), 16), int(m.group(1), 16), int(m.group(3), 16)))
    return found


def later_instructions(binary):
    """(address, mnemonic) of every instruction of the binary that a Pentium (P5) lacks."""
    return [(address, mnemonic) for address, mnemonic, operands in disassemble(binary)
            if is_later(mnemonic, operands)]


def report(binary, mapfile):
    """Prints the count and the objects the instructions come from; returns the count."""
    ranges = load_map(mapfile) if mapfile else []
    starts = [r[0] for r in ranges]
    counts = collections.Counter()
    origins = collections.Counter()
    for address, mnemonic in later_instructions(binary):
        counts[mnemonic] += 1
        origin = origin_of(ranges, starts, address) if ranges else "no map"
        origins[(classify(origin) if ranges else "no map", origin)] += 1
    n = sum(counts.values())
    print("%s: %d instructions a Pentium lacks (%s)" % (
        binary, n, ", ".join("%s %d" % kv for kv in sorted(counts.items())) or "none"))
    for (kind, origin), c in sorted(origins.items(), key=lambda kv: -kv[1]):
        print("    %5d  %-8s  %s" % (c, kind, origin))
    return n


def trap(binary, command):
    """Runs `command` with INT3 at the start of every instruction of `binary` a Pentium lacks."""
    found = later_instructions(binary)
    table = sections(binary)
    original = open(binary, "rb").read()
    patched = bytearray(original)
    for address, mnemonic in found:
        for vma, size, offset in table:
            if vma <= address < vma + size:
                patched[offset + address - vma] = 0xCC
                break
        else:
            sys.exit("%s: no section holds 0x%x" % (binary, address))
    print("%s: %d instructions a Pentium lacks trapped; running %s" % (binary, len(found), " ".join(command)),
          flush=True)
    try:
        open(binary, "wb").write(patched)
        return subprocess.call(command)
    finally:
        open(binary, "wb").write(original)


def main():
    arguments = sys.argv[1:]
    command = []
    if "--" in arguments:
        command = arguments[arguments.index("--") + 1:]
        arguments = arguments[:arguments.index("--")]
    parser = argparse.ArgumentParser(usage=__doc__.splitlines()[-2].strip())
    parser.add_argument("binary", nargs="+", help="BINARY or BINARY=MAP")
    parser.add_argument("--trap", action="store_true")
    parser.add_argument("--strict", action="store_true")
    args = parser.parse_args(arguments)
    pairs = [(b.split("=", 1) + [None])[:2] for b in args.binary]
    if args.trap:
        if len(pairs) != 1 or not command:
            parser.error("--trap takes one binary and a command after --")
        return trap(pairs[0][0], command)
    found = 0
    for binary, mapfile in pairs:
        found += report(binary, mapfile)
    if args.strict and found:
        print("FAIL: %d instructions a Pentium lacks" % found)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

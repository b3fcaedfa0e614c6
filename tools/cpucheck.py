#!/usr/bin/env python3
"""Counts, in each shipped binary, the instructions that a Pentium (P5) lacks, and tells
where they come from: our own objects or the prebuilt runtime (by the link map when there
is one, else by the nearest exported or known symbol).

With --trap, runs a command (a test run) while every such instruction of the binary begins
with a breakpoint (INT3, which every x86 has): a run that reaches one of them stops there,
so a test run that passes shows that none of them lies on the paths it took. The binary is
put back afterwards.

With --strict, fails when an instruction comes from our own code, or from a binary without a
map (a stand-in, which is all our own code).

Usage: cpucheck.py [--strict] BINARY[=MAP] ...
       cpucheck.py --trap BINARY[=MAP] -- COMMAND [ARGS...]"""
import argparse
import bisect
import collections
import re
import subprocess
import sys

# Instructions introduced after the P5 (Pentium Pro and later), and MMX/SSE register use.
P6_MNEMONICS = re.compile(r"^(cmov\w+|fcmov\w+|fcomip?|fucomip?|rdpmc|sysenter|sysexit|fxsave|fxrstor|ud2)$")
LONG_NOP = re.compile(r"^nop[lw]$")


def disassemble(path):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", path],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        m = re.match(r"\s+([0-9a-f]+):\s+(\S+)\s*(.*)", line)
        if m:
            yield int(m.group(1), 16), m.group(2), m.group(3)


def load_map(path):
    """Address ranges of the .text input sections and the object each came from."""
    ranges = []
    pending = None
    for line in open(path, errors="replace"):
        m = re.match(r"^ (\.text\S*)\s*$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^ (\.text\S*)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m and (m.group(1) or pending):
            start, size, origin = int(m.group(2), 16), int(m.group(3), 16), m.group(4).strip()
            if size:
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
    if "uninst_core" in origin or "/app/" in origin or "CMakeFiles/uninstall.dir" in origin or "/product/" in origin:
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


def p6_instructions(binary):
    return [(address, mnemonic) for address, mnemonic, _ in disassemble(binary)
            if P6_MNEMONICS.match(mnemonic)]


def report(binary, mapfile):
    ranges = load_map(mapfile) if mapfile else []
    starts = [r[0] for r in ranges]
    counts = collections.Counter()
    origins = collections.Counter()
    nops = 0
    for address, mnemonic, _ in disassemble(binary):
        if LONG_NOP.match(mnemonic):
            nops += 1
        if not P6_MNEMONICS.match(mnemonic):
            continue
        counts[mnemonic] += 1
        origin = origin_of(ranges, starts, address) if ranges else "no map"
        origins[(classify(origin) if ranges else "no map", origin)] += 1
    n = sum(counts.values())
    print("%s: %d P6-only instructions (%s); %d multi-byte NOPs (P6-only, padding)" % (
        binary, n, ", ".join("%s %d" % kv for kv in sorted(counts.items())) or "none", nops))
    for (kind, origin), c in sorted(origins.items(), key=lambda kv: -kv[1]):
        print("    %5d  %-8s  %s" % (c, kind, origin))
    return sum(c for (kind, _), c in origins.items() if kind != "runtime")


def trap(binary, command):
    """Runs `command` with INT3 at the start of every P6-only instruction of `binary`."""
    found = p6_instructions(binary)
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
    print("%s: %d P6-only instructions trapped; running %s" % (binary, len(found), " ".join(command)),
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
    ours = 0
    for binary, mapfile in pairs:
        ours += report(binary, mapfile)
    if args.strict and ours:
        print("FAIL: %d P6-only instructions in our own code" % ours)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

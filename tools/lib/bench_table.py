#!/usr/bin/env python3
"""Turns the lines of bench_runner into the benchmark table (Markdown).

Arguments: RAW SHIP WINE ARCH CPU CORES ROUNDS [LANE MEASURED [OTHER_LABEL OTHER_SHIP]]; with
OTHER_LABEL, RAW holds the same measures of another build of uninstall.exe (other_*), whose
shipped i686 build lies in OTHER_SHIP, and its rows follow this build's."""
import os
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import cpucheck  # noqa: E402  (tools/cpucheck.py counts the instructions a Pentium lacks)
import pecheck  # noqa: E402  (tools/pecheck.py reads the delay-load tables)

raw, ship, wine, arch, cpu, cores, rounds = sys.argv[1:8]
lane = sys.argv[8] if len(sys.argv) > 8 else "i686"
measured = sys.argv[9] if len(sys.argv) > 9 else ship
other = sys.argv[10] if len(sys.argv) > 10 else ""
other_ship = sys.argv[11] if len(sys.argv) > 11 else ""
# A ratio of this build may exceed the other build's by this much.
SAME_RATIO = 0.03
samples = {}
for line in open(raw):
    parts = line.split()
    if len(parts) == 2:
        samples.setdefault(parts[0], []).append(float(parts[1]))
# Times: the median of the rounds; peaks: the largest seen.
m = {k: (max(v) if "peak" in k else statistics.median(v)) for k, v in samples.items()}


def verdict(ok):
    return "met" if ok else "NOT met"


def imports(path):
    """The DLLs loaded with the program, and those bound at the first call (delay-loaded)."""
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True, text=True).stdout
    loaded = [l.split(":")[1].strip().upper() for l in out.splitlines() if "DLL Name:" in l]
    every = []
    for dll, _ in pecheck.read_pe(path)[4]:
        if dll not in every:
            every.append(dll)
    return loaded, [d for d in every if d not in loaded]


def sections(path):
    """The sizes of the sections, as objdump -h gives them."""
    out = subprocess.run(["i686-w64-mingw32-objdump", "-h", path], capture_output=True, text=True).stdout
    found = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0].isdigit():
            found.append("%s %.1f KiB" % (parts[1], int(parts[2], 16) / 1024.0))
    return ", ".join(found)


def compared(this_label, other_label):
    """The target cell of a measure taken of both builds. Both ran in every round, against the
    same floor or trivial program, so this build's ratio over the other's is its time over the
    other's in the same round: the median of these per-round quotients, which a machine whose
    load changes from round to round disturbs far less than the quotient of two medians."""
    change = statistics.median(a / b for a, b in zip(samples[this_label], samples[other_label])) - 1
    return "this build's ratio at most %d%% above %s's: %+.1f%% (median of the rounds), %s" % (
        SAME_RATIO * 100, other, change * 100, verdict(change <= SAME_RATIO))


rows = []
files = int(m.get("deletion_files", 0))
u, f = m.get("deletion_uninstall_s"), m.get("deletion_floor_s")
if u is not None and f:
    rows.append(("Deletion of %d files: uninstall.exe beyond its pacing" % files, "%.2f s" % u,
                 "floor (FindFirstFileA/DeleteFileA loop) %.2f s; ratio %.2f" % (f, u / f),
                 "<= 1.10 x floor: " + verdict(u / f <= 1.10)))
o = m.get("deletion_other_s")
if other and o is not None and u and f:
    rows.append(("Same deletion: uninstall.exe of " + other, "%.2f s" % o, "floor ratio %.2f" % (o / f),
                 compared("deletion_uninstall_s", "deletion_other_s")))
lg = m.get("deletion_logged_s")
if lg is not None and u and f:
    rows.append(("Same removal with `/LOG` (%d bytes of log)" % m.get("deletion_log_bytes", 0), "%.2f s" % lg,
                 "floor ratio %.2f; without the log %.2f s, ratio %.2f" % (lg / f, u, lg / u),
                 "<= 1.10 x without the log: " + verdict(lg / u <= 1.10)))
if "deletion_del_s" in m:
    left = ["%d files left" % m.get("deletion_%s_left" % c, 0) for c in ("del", "rd")]
    rows.append(("Same tree: `cmd /c del /s /q`, `cmd /c rd /s /q`", "",
                 "%.1f s (%s), %.1f s (%s)" % (m["deletion_del_s"], left[0], m["deletion_rd_s"], left[1]),
                 "reference"))
t = m.get("startup_trivial_ms")
for label, text in (("empty", "empty command line"), ("nokolbex", "kolbex.dll absent")):
    v = m.get("startup_%s_ms" % label)
    if v is not None and t:
        rows.append(("Start-up, " + text, "%.0f ms" % v, "trivial program %.0f ms; ratio %.2f" % (t, v / t),
                     "<= 1.2 x: " + verdict(v / t <= 1.2)))
    w = m.get("startup_other_%s_ms" % label)
    if other and w is not None and v is not None and t:
        rows.append(("Same start-up: uninstall.exe of " + other, "%.0f ms" % w, "trivial program ratio %.2f" % (w / t),
                     compared("startup_%s_ms" % label, "startup_other_%s_ms" % label)))


def size_row(name, path, target):
    size = os.path.getsize(path)
    loaded, delayed = imports(path)
    text = "imports from " + ", ".join(loaded)
    if delayed:
        text += "; at first call from " + ", ".join(delayed)
    return ("Size of " + name, "%d bytes (%.1f KiB)" % (size, size / 1024.0), text, target)


# uninstall.exe as shipped (i686), and the other build's: size, sections, instructions.
builds = [("uninstall.exe", os.path.join(ship, "uninstall.exe"))]
if other and other_ship:
    builds.append(("uninstall.exe of " + other, os.path.join(other_ship, "uninstall.exe")))
for name, path in builds:
    rows.append(size_row(name, path, "<= 128 KiB: " + verdict(os.path.getsize(path) <= 128 * 1024)))
    rows.append(("Sections of " + name, sections(path), "objdump -h", ""))
    later = len(cpucheck.later_instructions(path))
    rows.append(("Instructions a Pentium (P5) lacks in " + name, "%d" % later,
                 "CMOV, FCMOV, FCOMI, MMX, SSE, ... (tools/cpucheck.py)", "none: " + verdict(later == 0)))
for name in ("kolbex", "qelsubs", "qeltask"):
    p = os.path.join(ship, "product", name, name + ".dll")
    if os.path.exists(p):
        rows.append(size_row(name + ".dll", p, ""))
if "deletion_peak_private_bytes" in m:
    rows.append(("Peak private bytes during the deletion", "%.1f MiB" % (m["deletion_peak_private_bytes"] / 2**20),
                 "trivial program %.1f MiB" % (m.get("startup_trivial_peak_private_bytes", 0) / 2**20), "reported"))

print("Machine: %s, %s cores, %s; %s. Medians of %s deletion rounds and %d start-up rounds." % (
    cpu, cores, arch, wine, rounds, len(samples.get("startup_trivial_ms", []))))
if other:
    print("Beside this build: the uninstall.exe of %s, in the same rounds." % other)
if lane == "i686":
    print("Lane: i686. Times of the shipped i686 binaries under 32-bit Wine; sizes of the same.")
else:
    print("Lane: x86_64. Times of the x86_64 test build (%s) under 64-bit Wine, each against a"
          " reference built with the same toolchain; sizes of the shipped i686 binaries (%s)." % (measured, ship))
print()
print("| measure | uninstall.exe | reference | target |")
print("|---|---|---|---|")
for r in rows:
    print("| %s | %s | %s | %s |" % r)

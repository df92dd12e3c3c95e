#!/usr/bin/env python3
"""The benchmarks side by side: the archive tool against unzip and 7-Zip and
against the floor under them, the silent re-install under Wine against an NSIS
installer of the same files, how extraction grows with the payload, and the
peak memory of each. The rows that are compared run interleaved, round by
round; the growth rows through hyperfine. Prints one table and the goals;
scripts/bench runs it.

    bench.py [--runs N] [--skip-wine] [--skip-native]
"""

import argparse
import json
import os
import random
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import wine  # noqa: E402

import settle  # noqa: E402  (beside this script)

TRIVIAL_C = "int __stdcall WinMain(void *a, void *b, char *c, int d) { return 0; }\n"

# Loads what the installer loads (advapi32, gdi32, imm32, user32, msvcrt) and
# ends: the part of the installer's peak memory that is Wine's and not its own.
SAME_DLLS_C = """#include <windows.h>
#include <imm.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
    GetStockObject(WHITE_BRUSH);
    ImmGetDefaultIMEWnd(NULL);
    return GetSystemMetrics(SM_CXSCREEN) > 0 ? 0 : 1;
}
"""

# Holds the prefix's desktop for the Wine rows. Wine closes a desktop a second
# after its last program has left it and starts its desktop process again for
# the next one, which a measured program would pay for or not by the timing of
# the runs before it; on a Windows session the desktop is always there.
DESKTOP_KEEPER_C = """#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) { GetDesktopWindow(); Sleep(INFINITE); return 0; }
"""

NSIS_SCRIPT = """Unicode true
SetCompressor zlib
Name "bench"
OutFile "{out}"
InstallDir "c:\\nsisbench"
RequestExecutionLevel admin
SilentInstall silent
Section
  SetOutPath "$INSTDIR"
  File "{files}/*"
SectionEnd
"""


class Row:
    def __init__(self, group, what, times, memory, reference=False):
        self.group, self.what, self.times, self.memory, self.reference = group, what, times, memory, reference

    @property
    def median(self):
        return statistics.median(self.times)


def hyperfine(command, runs, prepare=None, env=None):
    """The times in seconds of `runs` runs of command (a shell line)."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        args = ["hyperfine", "--style", "none", "--warmup", "1", "--runs", str(runs), "--export-json", out.name]
        if prepare:
            args += ["--prepare", prepare]
        subprocess.run(args + [command], check=True, env=env, stdout=subprocess.DEVNULL)
        return json.load(open(out.name))["results"][0]["times"]


def peak_memory(command, prepare=None, env=None):
    """The peak resident memory in KB of one run of command."""
    if prepare:
        subprocess.run(prepare, shell=True, check=True, env=env)
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "sh", "-c", command], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)
    return int(result.stderr.decode().strip().splitlines()[-1])


def peak_memory_of(program, command, prepare, env):
    """The peak resident memory in KB of the Windows process `program` of one
    run of command under Wine: the wine launcher that the shell waits for is
    not that process, so its high-water mark is read from /proc while it runs."""
    if prepare:
        subprocess.run(prepare, shell=True, check=True, env=env)
    process = subprocess.Popen(command, shell=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while process.poll() is None:
        for pid in settle.processes(env["WINEPREFIX"], [program]):
            try:
                status = Path(f"/proc/{pid}/status").read_text()
            except OSError:
                continue
            for line in status.splitlines():
                if line.startswith("VmHWM:"):
                    peak = max(peak, int(line.split()[1]))
        time.sleep(0.005)
    if peak == 0:
        sys.exit(f"bench.py: no process of {program} was seen while it ran")
    return peak


def measure(group, what, command, runs, prepare=None, env=None, reference=False, program=None):
    times = hyperfine(command, runs, prepare, env)
    memory = peak_memory_of(program, command, prepare, env) if program else peak_memory(command, prepare, env)
    return Row(group, what, times, memory, reference)


def build(root):
    subprocess.run(["cmake", "-S", str(root), "-B", str(root / "build" / "bench"), "-G", "Ninja",
                    "-DMORA_BENCH=ON", "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(root / "build" / "bench")], check=True, stdout=subprocess.DEVNULL)


def archive_rows(root, work, runs):
    bench = root / "build" / "bench"
    payload = root / "build" / "win32" / "payload" / "payload.moz"
    files = root / "build" / "win32" / "payload" / "files"
    archive = work / "payload.zip"
    subprocess.run(["zip", "-q", "-6", "-j", str(archive)] + sorted(str(p) for p in files.iterdir()), check=True)
    out = work / "out"
    fresh = f"rm -rf {out} && mkdir {out}"
    return measure_group("archive tool, native", [
        ("mozpack extract (84 files, digests checked)", f"{bench}/mozpack extract {payload} {out}", fresh, None),
        ("unzip of a zip -6", f"unzip -q -o {archive} -d {out}", fresh, None),
        ("7zz x of the zip", f"7zz x -y -bd -o{out} {archive}", fresh, None),
        ("floor: uncompress + MD5 in memory", f"{bench}/floor {payload}", "true", None),
        ("floor: uncompress + MD5, files written", f"{bench}/floor {payload} {out}", fresh, None),
    ], runs)


def standin_payload(work, megabytes, mozpack):
    """A payload of about `megabytes` MB of content in entries of at most 2 MB,
    compressible as text is."""
    folder = work / f"standin-{megabytes}"
    folder.mkdir()
    rng = random.Random(1)  # the same words at every size: the same work per MB
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(4000)]
    left, index = megabytes * 1024 * 1024, 0
    while left > 0:
        size = min(left, 2 * 1024 * 1024)
        text = bytearray()
        while len(text) < size:
            text += rng.choice(words) + b" "
        (folder / f"f{index:04d}.txt").write_bytes(bytes(text[:size]))
        left -= size
        index += 1
    archive = work / f"standin-{megabytes}.moz"
    subprocess.run([str(mozpack), "create", str(archive)] + sorted(str(p) for p in folder.iterdir()), check=True)
    shutil.rmtree(folder)
    return archive


def growth_rows(root, work, runs):
    mozpack = root / "build" / "bench" / "mozpack"
    out = work / "out"
    fresh = f"rm -rf {out} && mkdir {out} && sync"
    rows = []
    archives = {megabytes: standin_payload(work, megabytes, mozpack) for megabytes in (5, 50, 200)}
    os.sync()  # the stand-ins are not written back to the disk while they are measured
    for megabytes, archive in archives.items():
        rows.append(measure("growth", f"mozpack extract, {megabytes} MB", f"{mozpack} extract {archive} {out}",
                            runs, fresh, reference=megabytes == 5))
        rows[-1].megabytes = megabytes
    return rows


def wine_programs(root, work):
    """The programs of the Wine rows, built here: the NSIS installer of the
    payload's files, the trivial program, the one with the installer's DLLs,
    the desktop's keeper; and a copy of the installer."""
    # makensis cannot read names that are not UTF-8: the skins' GBK names are
    # given to it in UTF-8, which its Unicode installer writes as they were.
    files = work / "nsis-files"
    files.mkdir()
    for path in (root / "build" / "win32" / "payload" / "files").iterdir():
        shutil.copy(path, files / os.fsencode(path.name).decode("gbk"))
    programs = {"nsis": work / "nsis-setup.exe", "morasetup": work / "morasetup.exe"}
    script = work / "bench.nsi"
    script.write_text(NSIS_SCRIPT.format(out=programs["nsis"], files=files))
    subprocess.run(["makensis", "-V1", str(script)], check=True)
    for name, source, compiler, libraries in (("trivial", TRIVIAL_C, "i686", []),
                                              ("same-dlls", SAME_DLLS_C, "i686", ["-limm32"]),
                                              ("keeper", DESKTOP_KEEPER_C, "x86_64", [])):
        (work / f"{name}.c").write_text(source)
        programs[name] = work / f"{name}.exe"
        subprocess.run([f"{compiler}-w64-mingw32-gcc", "-O2", "-mwindows", "-o", str(programs[name]),
                        str(work / f"{name}.c")] + libraries, check=True)
    shutil.copy(root / "build" / "win32" / "morasetup.exe", programs["morasetup"])
    return programs


def interleaved(commands, runs, env):
    """The times in seconds of each command (what: (command, prepare)) over
    `runs` rounds after one to warm up, each round running every command once
    in turn after its prepare: what changes on the machine during the group
    reaches every command alike, as it would not one command's runs after
    another's."""
    times = {what: [] for what in commands}
    for round_number in range(runs + 1):
        for what, (command, prepare) in commands.items():
            subprocess.run(prepare, shell=True, check=True, env=env)
            start = time.perf_counter()
            subprocess.run(shlex.split(command), check=True, env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            if round_number > 0:
                times[what].append(time.perf_counter() - start)
    return times


def measure_group(group, specs, runs, env=None):
    """The rows of a group whose commands are compared with the first: specs
    of (what, command, prepare, program), timed interleaved; the peak memory
    of one more run of each, of the Windows process `program` under Wine."""
    times = interleaved({what: (command, prepare) for what, command, prepare, _ in specs}, runs, env)
    return [Row(group, what, times[what],
                peak_memory_of(program, command, prepare, env) if program else peak_memory(command, prepare, env),
                reference=index == 0) for index, (what, command, prepare, program) in enumerate(specs)]


def wine_rows(root, work, runs):
    templates = root / "build" / "wine" / "templates"
    template = wine.make_template(templates, "win7-64")
    prefix = work / "prefix"
    subprocess.run(["cp", "-a", str(template), str(prefix)], check=True)
    env = wine.base_env(prefix, 936)
    env["WINEDEBUG"] = "-all"
    programs = wine_programs(root, work)
    run = f"taskset -c 0 {wine.wine_for(prefix)}"
    drive = prefix / "drive_c"
    settle = f"{sys.executable} {root / 'bench' / 'settle.py'} {prefix} setupw64.exe icacls.exe"
    specs = [  # what, command, prepare, program
        ("NSIS installer /S (zlib, 84 files)", f"{run} {programs['nsis']} /S", f"rm -rf {drive}/nsisbench",
         "nsis-setup.exe"),
        ("morasetup.exe setmosrf32", f"{run} {programs['morasetup']} setmosrf32", f"rm -rf {drive}/morahu2",
         "morasetup.exe"),
        ("a trivial program's start", f"{run} {programs['trivial']}", "true", "trivial.exe"),
        ("a program loading the installer's DLLs", f"{run} {programs['same-dlls']}", "true", "same-dlls.exe"),
    ]
    holder = None
    try:
        subprocess.run([str(wine.WINE_BIN / "wineserver"), "-p"], env=env, check=True)
        holder = subprocess.Popen([wine.wine_for(prefix), str(programs["keeper"])], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rows = measure_group("installer, under Wine", [(what, command, f"{settle} && {prepare}", program)
                                                        for what, command, prepare, program in specs], runs, env)
    finally:
        wine.stop_server(prefix)
        if holder is not None:
            holder.wait(timeout=60)
        shutil.rmtree(prefix, ignore_errors=True)
    return rows


def print_table(rows, payload_bytes):
    print(f"{'group':<22} {'what':<46} {'median s':>9} {'min–max s':>15} {'ratio':>6} {'peak MB':>8}")
    reference = {}
    for row in rows:
        if row.reference:
            reference[row.group] = row
    for row in rows:
        ratio = row.median / reference[row.group].median
        span = f"{min(row.times):.3f}–{max(row.times):.3f}"
        print(f"{row.group:<22} {row.what:<46} {row.median:9.3f} {span:>15} {ratio:6.2f} {row.memory / 1024:8.1f}")
    growth = [r for r in rows if r.group == "growth"]
    if len(growth) == 3:
        small, middle, large = growth
        per_added = [(b.median - a.median) / (b.megabytes - a.megabytes) * 1000 for a, b in ((small, middle),
                                                                                          (middle, large))]
        print(f"\ngrowth: {per_added[0]:.2f} ms per added MB from 5 to 50 MB, {per_added[1]:.2f} from 50 to 200 MB; "
              f"the 50 MB run {linear_deviation(growth) * 100:+.0f} % off the line through the other two")
    print(f"payload: {payload_bytes / 1024 / 1024:.2f} MB")
    print_goals(rows, payload_bytes)


def linear_deviation(growth):
    """How far the middle run's time lies from the straight line through the
    smallest and the largest run, as a part of the middle run's time."""
    small, middle, large = growth
    slope = (large.median - small.median) / (large.megabytes - small.megabytes)
    predicted = small.median + slope * (middle.megabytes - small.megabytes)
    return (middle.median - predicted) / middle.median


def print_goals(rows, payload_bytes):
    """What the figures must show, each with its measure, its bound and whether it holds."""
    by_what = {row.what: row for row in rows}

    def ratio(what, to):
        return by_what[what].median / by_what[to].median if what in by_what and to in by_what else None

    mozpack = "mozpack extract (84 files, digests checked)"
    own = None
    if "morasetup.exe setmosrf32" in by_what and "a program loading the installer's DLLs" in by_what:
        own = (by_what["morasetup.exe setmosrf32"].memory - by_what["a program loading the installer's DLLs"].memory)
        own /= 1024
    growth = [r for r in rows if r.group == "growth"]
    spread = abs(linear_deviation(growth)) * 100 if len(growth) == 3 else None
    goals = [
        ("silent re-install / NSIS installer", ratio("morasetup.exe setmosrf32", "NSIS installer /S (zlib, 84 files)"),
         1.0, ""),
        ("mozpack extract / 7zz x", ratio(mozpack, "7zz x of the zip"), 1.0, ""),
        ("mozpack extract / floor with files written", ratio(mozpack, "floor: uncompress + MD5, files written"),
         1.3, ""),
        ("growth 5 to 200 MB, off a straight line", spread, 15.0, " %"),
        ("installer's own peak memory (above the same DLLs)", own, payload_bytes / 1024 / 1024 + 8, " MB"),
    ]
    print("\ngoals:")
    for what, value, bound, unit in goals:
        if value is None:
            continue
        mark = "met" if value <= bound else "NOT MET"
        print(f"  {what:<52} {value:7.2f}{unit} (at most {bound:.2f}{unit})  {mark}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--skip-wine", action="store_true")
    parser.add_argument("--skip-native", action="store_true")
    args = parser.parse_args()
    build(ROOT)
    with tempfile.TemporaryDirectory(prefix="bench.", dir="/var/tmp") as scratch:
        work = Path(scratch)
        rows = [] if args.skip_native else archive_rows(ROOT, work, args.runs) + growth_rows(ROOT, work, args.runs)
        if not args.skip_wine:
            rows += wine_rows(ROOT, work, args.runs)
    print_table(rows, (ROOT / "build" / "win32" / "payload" / "payload.moz").stat().st_size)


if __name__ == "__main__":
    main()

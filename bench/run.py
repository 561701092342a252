"""Builds the benchmark programs, runs Gorvin's and the peer library's side of the grid workload
several times per grid size, and prints one table of medians with the ratio Gorvin / peer and
whether the checksums agree; then the memory figures and the Python-level benchmark."""

import argparse
import os
import statistics
import subprocess
import sys
from collections import defaultdict
from pathlib import Path

from table import print_table

BENCH = Path(__file__).resolve().parent
ROOT = BENCH.parent
SIDES = ("gorvin", "cgal")


def build(build_dir):
    cmakedir = subprocess.check_output([sys.executable, "-m", "pybind11", "--cmakedir"], text=True).strip()
    subprocess.check_call(["cmake", "-S", str(BENCH), "-B", str(build_dir), "-G", "Ninja",
                           f"-DPython_EXECUTABLE={sys.executable}", f"-Dpybind11_DIR={cmakedir}"],
                          stdout=subprocess.DEVNULL)
    subprocess.check_call(["cmake", "--build", str(build_dir), "-j2"], stdout=subprocess.DEVNULL)


def run_side(build_dir, side, k):
    """One run of one side: {op: (seconds, checksum)} and {memory figure: bytes per dart}."""
    out = subprocess.check_output([str(build_dir / f"{side}_grid"), str(k)], text=True)
    ops, memory = {}, {}
    for line in out.splitlines():
        kind, name, *values = line.split("\t")
        if kind == "op":
            ops[name] = (float(values[0]), values[1])
        else:
            memory[name] = float(values[0])
    return ops, memory


def measure(build_dir, k, runs):
    """Runs both sides alternately; returns times[side][op], checksums[side][op], memory[side][fig]."""
    times = {side: defaultdict(list) for side in SIDES}
    checksums = {side: defaultdict(set) for side in SIDES}
    memory = {side: defaultdict(list) for side in SIDES}
    for _ in range(runs):
        for side in SIDES:
            ops, figures = run_side(build_dir, side, k)
            for op, (seconds, checksum) in ops.items():
                times[side][op].append(seconds)
                checksums[side][op].add(checksum)
            for name, value in figures.items():
                memory[side][name].append(value)
    return times, checksums, memory


def kernel_rows(k, times, checksums):
    rows = []
    for op in times["cgal"]:
        peer = statistics.median(times["cgal"][op])
        if op not in times["gorvin"]:
            rows.append([op, k, "-", f"{peer:.4f}", "-", "-"])
            continue
        ours = statistics.median(times["gorvin"][op])
        agree = len(checksums["gorvin"][op] | checksums["cgal"][op]) == 1
        rows.append([op, k, f"{ours:.4f}", f"{peer:.4f}", f"{ours / peer:.2f}", "yes" if agree else "NO"])
    return rows


def memory_rows(k, memory):
    return [[side, k, f"{statistics.median(memory[side]['build']):.1f}",
             f"{statistics.median(memory[side]['peak']):.1f}"] for side in SIDES]


def make_darts_memory(python_path):
    """Resident memory in MB of a Python process before make_darts(1_000_000) and at its peak."""
    code = ("import resource, gorvinpy_bin as g\n"
            "peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss\n"
            "gmap = g.Modeler3D().make_gmap()\n"
            "before = peak()\n"
            "darts = gmap.make_darts(1_000_000)\n"
            "print(before, peak())\n")
    env = dict(os.environ, PYTHONPATH=python_path)
    out = subprocess.check_output([sys.executable, "-c", code], text=True, env=env)
    return [int(kb) / 1024 for kb in out.split()]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ks", type=int, nargs="+", default=[100, 300, 1000], help="grid sizes")
    parser.add_argument("--runs", type=int, default=5, help="runs of each side per grid size")
    parser.add_argument("--python-ks", type=int, nargs="*", default=[100, 300],
                        help="grid sizes of the Python-level benchmark")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "bench")
    args = parser.parse_args()

    build(args.build_dir)
    kernel, memory_table = [], []
    for k in args.ks:
        times, checksums, memory = measure(args.build_dir, k, args.runs)
        kernel += kernel_rows(k, times, checksums)
        memory_table += memory_rows(k, memory)
    print(f"Kernel, median of {args.runs} runs (seconds; ratio = Gorvin / CGAL)")
    print_table(["operation", "k", "Gorvin s", "CGAL s", "ratio", "checksums agree"], kernel)
    print("\nResident memory per dart (bytes above the process's start): after the build, and the "
          "peak over all operations per dart at the end")
    print_table(["side", "k", "build", "peak"], memory_table)

    python_path = os.pathsep.join(p for p in [str(args.build_dir), os.environ.get("PYTHONPATH", "")] if p)
    before, peak = make_darts_memory(python_path)
    print(f"\nmake_darts(1_000_000) from Python: peak resident memory {peak:.0f} MB ({before:.0f} MB "
          "before the call; the result is a list of a million Dart3D objects)")
    if args.python_ks:
        print(flush=True)
        subprocess.check_call([sys.executable, str(BENCH / "python_api.py"), *map(str, args.python_ks)],
                              env=dict(os.environ, PYTHONPATH=python_path))


if __name__ == "__main__":
    main()

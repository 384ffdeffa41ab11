"""Side-by-side figures for the Python module, measured in one run:

  PYTHONPATH=build/release/python python3 python/benchmarks/module_benchmark.py

1. board.step(1) called in a Python loop against one board.step(N) call (the
   engine's own loop over the same kernel) and against cellarium-cli -g N
   (--cli), on equal 800 x 800 soups stepping the same generations; and
   run(until="cycle") against run() (the cost of the per-generation hash and
   check).
2. Two Python threads each stepping its own 800 x 800 board against one
   thread stepping both, one step thread per call (the boards step on step
   threads of their own, so the two threads run side by side).
3. cellarium-survey's soups per second serially (one process, a plain loop,
   no Dask) and on local clusters of 1 and 2 worker processes, same soups,
   and the installed launcher's start-up (a survey on a local
   cluster of 2 workers, one tiny soup, as a process of its own).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time

import cellarium
from cellarium import survey


def timed(f):
    t = time.perf_counter()
    f()
    return time.perf_counter() - t


def runner_per_step(cli, side, steps, rounds):
    """cellarium-cli on the same soup: (time for -g steps - time for -g 0) / steps."""
    def run(g):
        return timed(lambda: subprocess.run(
            [cli, "--soup", "0.5:1", "--size", f"{side}x{side}", "-g", str(g), "--threads", "1"],
            check=True, capture_output=True))
    return min(run(steps) - run(0) for _ in range(rounds)) / steps * 1e6


def step_figures(side, steps, rounds, cli):
    def fresh():
        return cellarium.soup(side, side, 0.5, 1)

    def loop(b):
        for _ in range(steps):
            b.step(threads=1)

    figures = {"loop": [], "call": [], "plain run": [], "cycle run": []}
    for _ in range(rounds):  # interleaved, best of each
        b = fresh()
        figures["loop"].append(timed(lambda: loop(b)))
        b = fresh()
        figures["call"].append(timed(lambda: b.step(steps, threads=1)))
        b = fresh()
        figures["plain run"].append(timed(lambda: b.run(steps, threads=1)))
        b = fresh()
        figures["cycle run"].append(timed(lambda: b.run(steps, until="cycle", threads=1)))
    best = {k: min(v) / steps * 1e6 for k, v in figures.items()}
    print(f"{side}x{side} soup, {steps} generations, best of {rounds}, kernel "
          f"{cellarium.step_kernel()}, one step thread:")
    print(f"  step(1) in a Python loop {best['loop']:8.1f} us/generation")
    print(f"  step({steps}) in one call  {best['call']:8.1f} us/generation"
          f"  (loop / call = {best['loop'] / best['call']:.3f})")
    print(f"  run() {best['plain run']:.1f}, run(until='cycle') {best['cycle run']:.1f} "
          f"us/generation: hash and check {best['cycle run'] - best['plain run']:.1f} us "
          f"({(best['cycle run'] / best['plain run'] - 1) * 100:.0f} % of the step)")
    if cli:
        runner = runner_per_step(cli, side, steps, rounds)
        print(f"  cellarium-cli -g {steps} on the same soup {runner:8.1f} us/generation"
              f"  (step({steps}) / runner = {best['call'] / runner:.3f})")


def thread_figures(side, steps, rounds):
    def fresh():
        return [cellarium.soup(side, side, 0.5, seed) for seed in (1, 2)]

    def one_thread(boards):
        for b in boards:
            b.step(steps, threads=1)

    def two_threads(boards):
        workers = [threading.Thread(target=b.step, args=(steps,), kwargs={"threads": 1})
                   for b in boards]
        for w in workers:
            w.start()
        for w in workers:
            w.join()

    one, two = [], []
    for _ in range(rounds):  # interleaved, best of each
        one.append(timed(lambda: one_thread(fresh())))
        two.append(timed(lambda: two_threads(fresh())))
    print(f"two {side}x{side} boards, {steps} generations each, best of {rounds}:")
    print(f"  one Python thread stepping both {min(one):.3f} s, two threads side by side "
          f"{min(two):.3f} s: {min(one) / min(two):.2f} x")


def launcher_start(launcher):
    """Seconds for the launcher to start a 2-worker local cluster, run one tiny soup
    and stop (best of three)."""
    with tempfile.TemporaryDirectory() as folder:
        best = None
        for i in range(3):
            out = os.path.join(folder, f"{i}.csv")
            t = timed(lambda: subprocess.run(
                [sys.executable, launcher, "--seeds", "0:1", "--size", "150x150", "--limit", "1",
                 "--workers", "2", "--out", out,
                 "--no-progress"], check=True, capture_output=True))
            best = t if best is None else min(best, t)
    return best


def survey_figures(size, seeds, limit):
    base = ["--seeds", seeds, "--size", size, "--limit", str(limit), "--no-progress"]
    rates, files = {}, {}
    with tempfile.TemporaryDirectory() as folder:
        for name, extra in (("serial", ["--serial"]), ("1 worker", ["--workers", "1"]),
                            ("2 workers", ["--workers", "2"])):
            out = os.path.join(folder, name + ".csv")
            stderr, sys.stderr = sys.stderr, open(os.devnull, "w")
            try:
                seconds = timed(lambda: survey.main(base + extra + ["--out", out]))
            finally:
                sys.stderr.close()
                sys.stderr = stderr
            with open(out) as f:
                files[name] = sorted(f.read().splitlines())
                rates[name] = (len(files[name]) - 1) / seconds
    print(f"survey of {seeds} soups {size}, limit {limit}:")
    for name, rate in rates.items():
        print(f"  {name:9s} {rate:7.2f} soups/s")
    print(f"  2 workers / 1 worker = {rates['2 workers'] / rates['1 worker']:.2f}; "
          f"1 worker against the plain loop: overhead "
          f"{(rates['serial'] / rates['1 worker'] - 1) * 100:.1f} %; "
          f"same rows: {files['serial'] == files['1 worker'] == files['2 workers']}")
    launcher = os.path.join(os.path.dirname(survey.__file__), "..", "cellarium-survey")
    if os.path.exists(launcher):
        print(f"  the launcher's start-up (2-worker local cluster, one tiny soup, stop): "
              f"{launcher_start(launcher):.2f} s")


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--steps", type=int, default=1000)
    p.add_argument("--rounds", type=int, default=5)
    p.add_argument("--size", default="400x400")
    p.add_argument("--seeds", default="0:48")
    p.add_argument("--limit", type=int, default=100000)
    p.add_argument("--cli", default=os.environ.get("CELLARIUM_CLI"),
                   help="cellarium-cli to compare with (default $CELLARIUM_CLI)")
    args = p.parse_args()
    step_figures(800, args.steps, args.rounds, args.cli)
    thread_figures(800, args.steps, args.rounds)
    survey_figures(args.size, args.seeds, args.limit)


if __name__ == "__main__":
    main()

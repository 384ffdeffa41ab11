"""cellarium-survey: what random soups become, tabulated, on Dask.

For each rule of --rules and each seed of --seeds (START:END, END left
out), a soup of --size WxH at --density D runs until its live cells repeat
or --limit generations pass, exactly as

    cellarium-cli --soup D:SEED --size WxH --rule R -g LIMIT --until-cycle

would run it. Each soup gives one CSV row

    rule,seed,size,density,first_repeat,period,population

first_repeat being the generation G at which the repeat was found, period
its period and population the live cells then (first_repeat and period are
empty when the limit came first). Rows are written as batches finish, so an
interrupted survey keeps what it wrote; --resume skips the soups already in
--out. A summary per rule (first_repeat's mean and quantiles, the periods'
histogram) goes to standard error at the end.

The soups are spread over Dask's distributed scheduler in batches: by
default a local cluster on the loopback interface with one worker process
per core (--workers N to choose), or an existing cluster with --scheduler
ADDRESS (its workers must be able to import cellarium). --serial runs them
in this process without Dask.
"""

import argparse
import csv
import io
import os
import statistics
import sys
import time

HEADER = ["rule", "seed", "size", "density", "first_repeat", "period", "population"]


def run_soup(rule, seed, width, height, density, limit):
    """One row for one soup (see the module's description)."""
    import cellarium

    board = cellarium.soup(width, height, density, seed)
    result = board.run(limit, rule=rule, until="cycle", threads=1)
    return [rule, seed, f"{width}x{height}", repr(density),
            result.first_repeat if result.period else "",
            result.period if result.period else "", result.population]


def run_batch(rule, seeds, width, height, density, limit):
    """The rows of several soups: one Dask task."""
    return [run_soup(rule, seed, width, height, density, limit) for seed in seeds]


def _seed_range(text):
    start, sep, end = text.partition(":")
    try:
        first, last = int(start), int(end)
    except ValueError:
        raise argparse.ArgumentTypeError(f"'{text}' is not START:END") from None
    if not sep or first < 0 or last < first:
        raise argparse.ArgumentTypeError(f"'{text}' is not START:END with 0 <= START <= END")
    return range(first, last)


def _size(text):
    w, sep, h = text.lower().partition("x")
    try:
        width, height = int(w), int(h)
    except ValueError:
        raise argparse.ArgumentTypeError(f"'{text}' is not WxH") from None
    if not sep or not (150 <= width <= 10000 and 150 <= height <= 10000):
        raise argparse.ArgumentTypeError(f"'{text}' is not WxH with each side 150..10000")
    return width, height


def _density(text):
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"'{text}' is not a number") from None
    if not 0.0 <= value <= 1.0:
        raise argparse.ArgumentTypeError(f"'{text}' is not in 0..1")
    return value


def _rules(text):
    import cellarium

    rules = [r for r in text.split(",") if r]
    if not rules:
        raise argparse.ArgumentTypeError("no rule given")
    for r in rules:
        try:
            cellarium.parse_rule(r)
        except ValueError as e:
            raise argparse.ArgumentTypeError(str(e)) from None
    return rules


def parse_args(argv=None):
    p = argparse.ArgumentParser(prog="cellarium-survey", description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--rules", type=_rules, default=["B3/S23"], help="comma-separated rules")
    p.add_argument("--seeds", type=_seed_range, default=range(0, 100), help="START:END")
    p.add_argument("--size", type=_size, default=(800, 800), help="WxH (default 800x800)")
    p.add_argument("--density", type=_density, default=0.5, help="0..1 (default 0.5)")
    p.add_argument("--limit", type=int, default=100000, help="generations (default 100000)")
    p.add_argument("--out", default="-", help="CSV file (default standard output)")
    p.add_argument("--resume", action="store_true", help="skip soups already in --out")
    p.add_argument("--workers", type=int, default=None,
                   help="worker processes of the local cluster (default: cores)")
    p.add_argument("--scheduler", default=None, help="address of an existing Dask scheduler")
    p.add_argument("--serial", action="store_true", help="no Dask: run in this process")
    p.add_argument("--batch", type=int, default=None, help="soups per task (default: automatic)")
    p.add_argument("--progress", dest="progress", action="store_true", default=None,
                   help="show the progress bar (default when standard error is a terminal)")
    p.add_argument("--no-progress", dest="progress", action="store_false")
    args = p.parse_args(argv)
    if args.limit < 0:
        p.error("--limit must not be negative")
    if args.workers is not None and args.workers < 1:
        p.error("--workers must be at least 1")
    if args.batch is not None and args.batch < 1:
        p.error("--batch must be at least 1")
    if args.resume and args.out == "-":
        p.error("--resume needs --out FILE")
    if args.serial and args.scheduler:
        p.error("give either --serial or --scheduler")
    if args.progress is None:
        args.progress = sys.stderr.isatty()
    return args


def _key(rule, seed, size, density):
    return (rule, int(seed), size, repr(float(density)))


def _read_done(path):
    """Rows already in a survey file, keyed by soup; a last line cut short by
    an interruption is dropped from the file."""
    with open(path, "r+b") as f:
        data = f.read()
        end = data.rfind(b"\n") + 1
        if end != len(data):
            f.truncate(end)
            data = data[:end]
    rows = list(csv.reader(io.StringIO(data.decode())))
    if rows and rows[0] == HEADER:
        rows = rows[1:]
    return {_key(*r[:4]): r for r in rows if len(r) == len(HEADER)}


class _Progress:
    def __init__(self, on, total):
        self.on, self.total, self.done = on, total, 0
        self.started = time.monotonic()

    def add(self, n):
        self.done += n
        if not self.on:
            return
        elapsed = max(time.monotonic() - self.started, 1e-9)
        filled = self.done * 30 // max(self.total, 1)
        sys.stderr.write(f"\r[{'#' * filled}{'.' * (30 - filled)}] {self.done}/{self.total} soups,"
                         f" {self.done / elapsed:.1f}/s ")
        sys.stderr.flush()

    def finish(self):
        if self.on:
            sys.stderr.write("\n")


def summary(rows):
    """Text of the per-rule summary of survey rows (lists as written)."""
    lines = []
    for rule in dict.fromkeys(r[0] for r in rows):
        mine = [r for r in rows if r[0] == rule]
        repeats = sorted(int(r[4]) for r in mine if str(r[4]) != "")
        periods = {}
        for r in mine:
            if str(r[5]) != "":
                periods[int(r[5])] = periods.get(int(r[5]), 0) + 1
        lines.append(f"{rule}: {len(mine)} soups, {len(mine) - len(repeats)} reached the limit")
        if repeats:
            q = statistics.quantiles(repeats, n=10, method="inclusive") if len(repeats) > 1 \
                else [repeats[0]] * 9
            lines.append(f"  first_repeat: mean {statistics.fmean(repeats):.1f}, min {repeats[0]},"
                         f" 10% {q[0]:g}, 50% {q[4]:g}, 90% {q[8]:g}, max {repeats[-1]}")
            lines.append("  periods: " + ", ".join(f"{p}: {n}" for p, n in sorted(periods.items())))
    return "\n".join(lines)


def _batches(todo, size):
    for i in range(0, len(todo), size):
        yield todo[i:i + size]


def _package_path():
    return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def survey(args, out, done_rows):
    """Runs every soup not in done_rows, writing rows to out; returns them."""
    width, height = args.size
    size = f"{width}x{height}"
    todo = [(rule, seed) for rule in args.rules for seed in args.seeds
            if _key(rule, seed, size, args.density) not in done_rows]
    writer = csv.writer(out, lineterminator="\n")
    progress = _Progress(args.progress, len(todo))
    rows = []

    def emit(batch_rows):
        writer.writerows(batch_rows)
        out.flush()
        rows.extend(batch_rows)
        progress.add(len(batch_rows))

    jobs = []  # (rule, [seeds])
    for rule in args.rules:
        seeds = [s for r, s in todo if r == rule]
        if args.serial:
            jobs += [(rule, [s]) for s in seeds]
        else:
            # About eight tasks per worker and rule, at most 64 soups each.
            workers = args.workers or os.cpu_count() or 1
            per = args.batch or max(1, min(64, len(seeds) // (8 * workers)))
            jobs += [(rule, b) for b in _batches(seeds, per)]

    if args.serial:
        for rule, seeds in jobs:
            emit(run_batch(rule, seeds, width, height, args.density, args.limit))
    else:
        from distributed import Client, LocalCluster, as_completed

        cluster = None
        if args.scheduler:
            client = Client(args.scheduler)
        else:
            # Worker processes import cellarium from where this one did.
            path = os.environ.get("PYTHONPATH", "")
            os.environ["PYTHONPATH"] = _package_path() + (os.pathsep + path if path else "")
            cluster = LocalCluster(n_workers=args.workers or os.cpu_count() or 1,
                                   threads_per_worker=1, processes=True, host="127.0.0.1",
                                   dashboard_address=None)
            client = Client(cluster)
        try:
            in_flight = max(4, 4 * len(client.scheduler_info()["workers"]))
            pending = iter(jobs)

            def submit(job):
                rule, seeds = job
                return client.submit(run_batch, rule, seeds, width, height, args.density,
                                     args.limit, pure=False)

            running = as_completed([submit(j) for _, j in zip(range(in_flight), pending)])
            for future in running:
                emit(future.result())
                future.release()
                nxt = next(pending, None)
                if nxt is not None:
                    running.add(submit(nxt))
        finally:
            client.close()
            if cluster is not None:
                cluster.close()
    progress.finish()
    return rows


def main(argv=None):
    args = parse_args(argv)
    done_rows = {}
    if args.out == "-":
        out = sys.stdout
        out.write(",".join(HEADER) + "\n")
    else:
        if args.resume and os.path.exists(args.out):
            done_rows = _read_done(args.out)
        fresh = not (args.resume and os.path.exists(args.out) and os.path.getsize(args.out) > 0)
        out = open(args.out, "w" if fresh else "a", newline="")
        if fresh:
            out.write(",".join(HEADER) + "\n")
    try:
        rows = survey(args, out, done_rows)
    finally:
        if out is not sys.stdout:
            out.close()
    width, height = args.size
    size = f"{width}x{height}"
    wanted = {_key(rule, seed, size, args.density) for rule in args.rules for seed in args.seeds}
    rows += [r for k, r in done_rows.items() if k in wanted]
    print(summary(rows), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""cellarium-survey: what random soups become, tabulated, on Dask.

For each rule of --rules and each seed of --seeds (START:END, END left
out), a soup of --size WxH at --density D runs until its live cells repeat
or --limit generations pass, exactly as

    cellarium-cli --soup D:SEED --size WxH --rule R -g LIMIT --until-cycle

would run it. Each soup gives one CSV row

    rule,seed,size,density,first_repeat,period,population,limit

rule in its canonical text (--rules takes every notation: B3/S23, s23/b3,
23/3, isotropic letters such as B2-a/S12, MAP), first_repeat the generation G at which the
repeat was found, period its period and population the live cells then
(first_repeat and period are empty when the limit came first). Rows are
appended as batches finish, so an interrupted survey keeps what it wrote;
once every soup is done the file is rewritten in the order of --rules and
the seeds. A summary per rule (first_repeat's mean and quantiles, the
periods' histogram) goes to standard error at the end.

An existing --out is never overwritten: --resume continues it (skipping the
soups already in it, after checking that it was made with the same size,
density and limit and only rules of --rules) and --force starts it again.
While a survey runs it holds an exclusive lock on --out, so a second survey
on the same file is refused.

The soups are spread over Dask's distributed scheduler in batches: by
default a local cluster of worker processes on the loopback interface
(nothing listens beyond it; one worker per core, --workers N to choose), or
an existing cluster with --scheduler ADDRESS (its workers must be able to
import cellarium). --serial runs them in this process without Dask.
"""

import argparse
import csv
import fcntl
import io
import os
import statistics
import sys
import tempfile
import time

# The columns of a survey file. The first four name the soup; limit, last so
# that readers of the older seven columns find theirs where they were, is the
# run's setting that --resume checks.
HEADER = ["rule", "seed", "size", "density", "first_repeat", "period", "population", "limit"]


class SurveyError(Exception):
    """A survey that cannot start or continue; its text is for the user."""


# --- What one soup gives ------------------------------------------------------------
#
# A mode names the columns after the soup's four and runs a batch of soups on a
# worker. run_batch is looked up by name on the worker, so a mode is a plain
# module-level function and its arguments are plain values.

def run_soup(rule, seed, width, height, density, limit, hash_seed=None):
    """One row for one soup (see the module's description); with hash_seed
    the soup is that root's census soup of index seed."""
    import cellarium

    if hash_seed is not None:
        board = cellarium.hashsoup(hash_seed, seed, width, height)
    else:
        board = cellarium.soup(width, height, density, seed)
    result = board.run(limit, rule=rule, until="cycle", threads=1)
    return [rule, seed, f"{width}x{height}", repr(density),
            result.first_repeat if result.period else "",
            result.period if result.period else "", result.population, limit]


def run_batch(rule, seeds, width, height, density, limit, hash_seed=None):
    """The rows of several soups: one Dask task."""
    return [run_soup(rule, seed, width, height, density, limit, hash_seed) for seed in seeds]


# --- Arguments ---------------------------------------------------------------------------

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
    """The rules of --rules in canonical form, each once, in the order given."""
    import cellarium

    rules = []
    for r in (r for r in text.split(",") if r):
        try:
            rules.append(cellarium.parse_rule(r))
        except ValueError as e:
            raise argparse.ArgumentTypeError(str(e)) from None
    if not rules:
        raise argparse.ArgumentTypeError("no rule given")
    return list(dict.fromkeys(rules))


def parse_args(argv=None):
    p = argparse.ArgumentParser(prog="cellarium-survey", description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--rules", type=_rules, default=["B3/S23"],
                   help="comma-separated rules in any notation: B3/S23, 23/3, B2-a/S12, MAP...")
    p.add_argument("--seeds", type=_seed_range, default=range(0, 100), help="START:END")
    p.add_argument("--size", type=_size, default=(800, 800), help="WxH (default 800x800)")
    p.add_argument("--density", type=_density, default=0.5, help="0..1 (default 0.5)")
    p.add_argument("--limit", type=int, default=100000, help="generations (default 100000)")
    p.add_argument("--out", default="-", help="CSV file (default standard output)")
    again = p.add_mutually_exclusive_group()
    again.add_argument("--resume", action="store_true",
                       help="continue --out, skipping the soups already in it")
    again.add_argument("--force", action="store_true", help="start --out again if it exists")
    p.add_argument("--workers", type=int, default=None,
                   help="worker processes of the local cluster (default: cores)")
    p.add_argument("--scheduler", default=None, help="address of an existing Dask scheduler")
    p.add_argument("--serial", action="store_true", help="no Dask: run in this process")
    p.add_argument("--batch", type=int, default=None, help="soups per task (default: automatic)")
    p.add_argument("--progress", dest="progress", action="store_true", default=None,
                   help="show the progress bar (default when standard error is a terminal)")
    p.add_argument("--no-progress", dest="progress", action="store_false")
    p.add_argument("--hash-seed", default=None, metavar="ROOT",
                   help="soups of --seeds are ROOT's 16x16 census soups (SHA-256 of ROOT+index)")
    p.add_argument("--census", action="store_true",
                   help="write the objects the soups leave as a census haul per rule "
                        "(needs --hash-seed); see cellarium.census_survey")
    args = p.parse_args(argv)
    if args.census and args.hash_seed is None:
        p.error("--census needs --hash-seed ROOT")
    if args.limit < 0:
        p.error("--limit must not be negative")
    if args.workers is not None and args.workers < 1:
        p.error("--workers must be at least 1")
    if args.batch is not None and args.batch < 1:
        p.error("--batch must be at least 1")
    if (args.resume or args.force) and args.out == "-":
        p.error(f"--{'resume' if args.resume else 'force'} needs --out FILE")
    if args.serial and args.scheduler:
        p.error("give either --serial or --scheduler")
    if args.progress is None:
        args.progress = sys.stderr.isatty()
    return args


# --- The survey file ---------------------------------------------------------------------

def _key(rule, seed, size, density):
    return (rule, int(seed), size, repr(float(density)))


def _settings_words(size, density, limit):
    return f"--size {size} --density {density} --limit {limit}"


class SurveyFile:
    """--out, opened without truncating and locked for the whole survey.

    done holds the rows already in it, keyed by soup. A last line cut short by
    an interruption is cut off; any other row that is not a survey row, or one
    made with other settings, refuses the file with its line number.
    """

    def __init__(self, path, args):
        self.path = path
        self.fd = self._open_locked(path)
        try:
            self.done = {}
            data = self._read_all()
            if data and not (args.resume or args.force):
                raise SurveyError(f"'{path}' already exists: give --resume to continue it "
                                  "or --force to start it again")
            if args.force:
                data = b""
                os.ftruncate(self.fd, 0)
            if data:
                self._take_rows(data, args)
            else:
                os.ftruncate(self.fd, 0)
                self._append((",".join(HEADER) + "\n").encode())
        except BaseException:
            os.close(self.fd)
            raise

    @staticmethod
    def _open_locked(path):
        # The lock is taken on the open file; should another survey have put a
        # new file in its place meanwhile (its final rewrite), lock that one.
        while True:
            try:
                fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o666)
            except OSError as e:
                raise SurveyError(f"cannot open '{path}': {e.strerror}") from None
            try:
                fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except BlockingIOError:
                os.close(fd)
                raise SurveyError(f"'{path}' is being written by another survey") from None
            try:
                same = os.path.samestat(os.fstat(fd), os.stat(path))
            except FileNotFoundError:
                same = False
            if same:
                return fd
            os.close(fd)

    def _read_all(self):
        os.lseek(self.fd, 0, os.SEEK_SET)
        chunks = []
        while chunk := os.read(self.fd, 1 << 20):
            chunks.append(chunk)
        return b"".join(chunks)

    def _take_rows(self, data, args):
        end = data.rfind(b"\n") + 1
        if end != len(data):  # a row cut short by an interruption
            os.ftruncate(self.fd, end)
            data = data[:end]
        width, height = args.size
        size = f"{width}x{height}"
        wanted = _settings_words(size, args.density, args.limit)
        bad = []
        lines = data.decode("utf-8", "replace").splitlines()
        for number, row in enumerate(csv.reader(lines), 1):
            if number == 1 and row == HEADER:
                continue
            if number == 1 and row == HEADER[:-1]:
                raise SurveyError(f"'{self.path}' was made by an older survey that did not "
                                  "keep its limit: give --force to start it again")
            try:
                rule, seed, row_size, density, _, _, _, limit = row
                key = _key(rule, seed, row_size, density)
                made = _settings_words(row_size, float(density), int(limit))
            except ValueError:
                bad.append(number)
                continue
            if made != wanted:
                raise SurveyError(f"'{self.path}' was made with {made} (line {number}), "
                                  f"not {wanted}: give those, or --force to start it again")
            if rule not in args.rules:
                raise SurveyError(f"'{self.path}' has soups of the rule {rule} (line {number}),"
                                  f" which --rules does not name: add it, or --force to start "
                                  "it again")
            self.done.setdefault(key, row)
        if bad:
            shown = ", ".join(map(str, bad[:10])) + (", ..." if len(bad) > 10 else "")
            raise SurveyError(f"'{self.path}' has lines that are not survey rows: {shown}")
        os.lseek(self.fd, 0, os.SEEK_END)

    def _append(self, data):
        view = memoryview(data)
        while view:
            view = view[os.write(self.fd, view):]

    def write_rows(self, rows):
        text = io.StringIO()
        csv.writer(text, lineterminator="\n").writerows(rows)
        self._append(text.getvalue().encode())

    def rewrite(self, rows):
        """Puts the file's rows in the given order: a complete new file beside
        it, renamed over it, so an interruption leaves one or the other."""
        text = io.StringIO()
        writer = csv.writer(text, lineterminator="\n")
        writer.writerow(HEADER)
        writer.writerows(rows)
        folder = os.path.dirname(os.path.abspath(self.path))
        fd, temp = tempfile.mkstemp(dir=folder, prefix=".cellarium-survey-")
        try:
            mode = os.fstat(self.fd).st_mode & 0o7777
            os.fchmod(fd, mode)
            # The new file is locked before it takes the name, so a survey
            # that opens it meanwhile is refused.
            fcntl.flock(fd, fcntl.LOCK_EX)
            data = memoryview(text.getvalue().encode())
            while data:
                data = data[os.write(fd, data):]
            os.fsync(fd)
            os.replace(temp, self.path)
        except BaseException:
            os.close(fd)
            try:
                os.unlink(temp)
            except OSError:
                pass
            raise
        os.close(self.fd)
        self.fd = fd

    def close(self):
        os.close(self.fd)


class _StandardOutput:
    """Rows to standard output in the order of --rules and the seeds: a row
    that comes before those ahead of it waits for them, so a pipe sees the
    survey's order while it runs."""

    done = {}

    def __init__(self):
        sys.stdout.write(",".join(HEADER) + "\n")
        self._order = []
        self._next = 0
        self._waiting = {}

    def expect(self, keys):
        self._order = list(keys)

    def write_rows(self, rows):
        ready = []
        for r in rows:
            self._waiting[_key(*r[:4])] = r
        while self._next < len(self._order) and self._order[self._next] in self._waiting:
            ready.append(self._waiting.pop(self._order[self._next]))
            self._next += 1
        if not self._order:  # no order given: as they come
            ready, self._waiting = list(self._waiting.values()), {}
        csv.writer(sys.stdout, lineterminator="\n").writerows(ready)
        sys.stdout.flush()

    def rewrite(self, rows):
        pass  # what was printed stays printed

    def close(self):
        # Rows of an unfinished survey (an interruption) still reach the
        # output, after those in order.
        if self._waiting:
            csv.writer(sys.stdout, lineterminator="\n").writerows(self._waiting.values())
            self._waiting = {}
        sys.stdout.flush()


# --- Progress ----------------------------------------------------------------------

def _clock(seconds):
    seconds = int(seconds + 0.5)
    h, m, s = seconds // 3600, seconds // 60 % 60, seconds % 60
    return f"{h}:{m:02d}:{s:02d}" if h else f"{m}:{s:02d}"


class Progress:
    """The bar on standard error: soups done, the rate since the first batch
    came back (the cluster's start-up left out), elapsed time and ETA."""

    def __init__(self, on, total, stream=None, clock=time.monotonic):
        self.on, self.total, self.done = on, total, 0
        self.stream = stream or sys.stderr
        self.clock = clock
        self.started = clock()
        self.first = None  # (time, soups done) at the first batch

    def line(self):
        now = self.clock()
        filled = self.done * 30 // max(self.total, 1)
        text = (f"[{'#' * filled}{'.' * (30 - filled)}] {self.done}/{self.total} soups, "
                f"elapsed {_clock(now - self.started)}")
        if self.first is not None and now > self.first[0] and self.done > self.first[1]:
            rate = (self.done - self.first[1]) / (now - self.first[0])
            text += f", {rate:.1f}/s, ETA {_clock((self.total - self.done) / rate)}"
        return text

    def add(self, n):
        self.done += n
        if self.first is None:
            self.first = (self.clock(), self.done)
        if self.on:
            self.stream.write("\r" + self.line() + " ")
            self.stream.flush()

    def finish(self):
        if self.on:
            self.stream.write("\n")


# --- The survey ----------------------------------------------------------------------

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


def local_cluster(workers):
    """A Dask cluster of worker processes on this machine whose every server
    (scheduler, workers, their HTTP endpoints and dashboard) listens on the
    loopback interface only, on ports the system picks."""
    from distributed import LocalCluster

    # Worker processes import cellarium from where this one did.
    path = os.environ.get("PYTHONPATH", "")
    os.environ["PYTHONPATH"] = _package_path() + (os.pathsep + path if path else "")
    return LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                        host="127.0.0.1", dashboard_address="127.0.0.1:0",
                        worker_dashboard_address="127.0.0.1:0")


def _jobs(args, todo):
    """(rule, [seeds]) per task."""
    jobs = []
    for rule in args.rules:
        seeds = [s for r, s in todo if r == rule]
        if args.serial:
            jobs += [(rule, [s]) for s in seeds]
        else:
            # About eight tasks per worker and rule, at most 64 soups each.
            workers = args.workers or os.cpu_count() or 1
            per = args.batch or max(1, min(64, len(seeds) // (8 * workers)))
            jobs += [(rule, b) for b in _batches(seeds, per)]
    return jobs


def _run_on_dask(args, jobs, emit):
    width, height = args.size
    run_tasks(args, [(run_batch, rule, seeds, width, height, args.density, args.limit,
                      args.hash_seed) for rule, seeds in jobs], emit)


def run_tasks(args, tasks, emit):
    """Runs each task, (function, *arguments), on the Dask cluster of args,
    calling emit with each result as it comes."""
    from distributed import Client, as_completed

    cluster = None
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = local_cluster(args.workers or os.cpu_count() or 1)
        client = Client(cluster)
    try:
        in_flight = max(4, 4 * len(client.scheduler_info()["workers"]))
        pending = iter(tasks)

        def submit(task):
            return client.submit(*task, pure=False)

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


def survey(args, out):
    """Runs every soup of args not yet in out.done, appending rows to out as
    they come; returns every row of the survey in the order of --rules and
    the seeds, those out held before included, and leaves out in that order."""
    width, height = args.size
    size = f"{width}x{height}"
    todo = [(rule, seed) for rule in args.rules for seed in args.seeds
            if _key(rule, seed, size, args.density) not in out.done]
    progress = Progress(args.progress, len(todo))
    rows = dict(out.done)
    if hasattr(out, "expect"):
        out.expect(_key(rule, seed, size, args.density) for rule, seed in todo)

    def emit(batch_rows):
        out.write_rows(batch_rows)
        for r in batch_rows:
            rows[_key(*r[:4])] = r
        progress.add(len(batch_rows))

    jobs = _jobs(args, todo)
    if args.serial:
        for rule, seeds in jobs:
            emit(run_batch(rule, seeds, width, height, args.density, args.limit, args.hash_seed))
    elif jobs:
        _run_on_dask(args, jobs, emit)
    progress.finish()

    def order(key):
        rule, seed = key[0], key[1]
        return (args.rules.index(rule) if rule in args.rules else len(args.rules), seed)

    every = [rows[k] for k in sorted(rows, key=order)]
    out.rewrite(every)
    wanted = {_key(rule, seed, size, args.density) for rule in args.rules for seed in args.seeds}
    return [r for r in every if _key(*r[:4]) in wanted]


def main(argv=None):
    args = parse_args(argv)
    if args.census:
        from . import census_survey

        return census_survey.run(args, lambda tasks, emit: run_tasks(args, tasks, emit))
    try:
        out = _StandardOutput() if args.out == "-" else SurveyFile(args.out, args)
    except SurveyError as e:
        print(f"cellarium-survey: {e}", file=sys.stderr)
        return 1
    try:
        rows = survey(args, out)
    finally:
        out.close()
    print(summary(rows), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The survey's census mode: the objects soups leave, as a census haul.

``cellarium-survey --census --hash-seed ROOT --seeds A:B --rules R`` runs
soups A..B-1 of ROOT (16 x 16 cells from SHA-256, as the online soup census
makes them) under each rule until they settle, separates what they leave into
objects named by apgcode, and writes one haul per rule in the public census
program's format:

    @ROOT, @RULE, @SYMMETRY C1, @NUM_SOUPS, @NUM_OBJECTS, a blank line,
    @CENSUS TABLE and its "apgcode count" lines, most common first, a blank
    line, @SAMPLE_SOUPIDS with up to ten soup indices an object.

Batches of soups run as Dask tasks (or in this process with --serial); each
finished batch is appended to the journal OUT.batches as a JSON line, so an
interrupted census keeps its work and --resume runs only the batches the
journal lacks. The haul is written when every batch is in, replacing OUT as
a whole.
"""

import hashlib
import json
import os
import sys

SAMPLES = 10


def census_batch(root, rule, first, last):
    """The census of soups first..last - 1: one Dask task."""
    from . import _census_soups

    counts, samples = _census_soups(root, first, last, rule)
    return {"root": root, "rule": rule, "first": first, "last": last, "counts": dict(counts),
            "samples": {k: list(v) for k, v in samples.items()}}


def merge(batches):
    """Counts and first sample soups over batches (dicts as census_batch gives)."""
    counts, samples = {}, {}
    for b in batches:
        for code, n in b["counts"].items():
            counts[code] = counts.get(code, 0) + int(n)
        for code, ids in b["samples"].items():
            samples[code] = sorted(set(samples.get(code, [])) | set(int(i) for i in ids))[:SAMPLES]
    return counts, samples


def rule_name(rule):
    """The rule as the census writes it: B3/S23 as b3s23; a MAP rule as map
    followed by its base64, whose letters keep their case."""
    if rule[:3].upper() == "MAP":
        return "map" + rule[3:]
    return rule.replace("/", "").lower()


def haul_text(root, rule, soups, counts, samples):
    """The haul of one rule in the public census program's format."""
    # Most common first; equal counts in reverse order of the codes.
    table = sorted(((n, code) for code, n in counts.items() if n > 0), reverse=True)
    lines = ["@VERSION cellarium", "@MD5 " + hashlib.md5(root.encode()).hexdigest(),
             "@ROOT " + root, "@RULE " + rule_name(rule), "@SYMMETRY C1",
             f"@NUM_SOUPS {soups}", f"@NUM_OBJECTS {sum(n for n, _ in table)}", "",
             "@CENSUS TABLE"]
    lines += [f"{code} {n}" for n, code in table]
    lines += ["", "@SAMPLE_SOUPIDS"]
    lines += [code + "".join(f" {i}" for i in samples[code]) for _, code in table
              if samples.get(code)]
    return "\n".join(lines) + "\n"


def _journal(path):
    """The batches already finished, from the journal; a line cut short by an
    interruption is dropped from the file."""
    if not os.path.exists(path):
        return []
    with open(path, "r+b") as f:
        data = f.read()
        end = data.rfind(b"\n") + 1
        if end != len(data):
            f.truncate(end)
            data = data[:end]
    done = []
    for line in data.decode().splitlines():
        try:
            done.append(json.loads(line))
        except ValueError:
            continue
    return done


def _replace(path, text):
    """The haul written whole over path, through the module's safe replace."""
    from . import _replace

    _replace(path, text.encode())


def run(args, run_tasks):
    """Runs the census survey; run_tasks(tasks, emit) runs each task,
    (function, *arguments), on Dask and calls emit with each result."""
    root = args.hash_seed
    first, last = args.seeds.start, args.seeds.stop
    per = args.batch or 1000
    journal_path = None if args.out == "-" else args.out + ".batches"
    done = []
    if journal_path and args.resume:
        done = [b for b in _journal(journal_path)
                if b.get("rule") in args.rules and b.get("root") == root]
    elif journal_path and (os.path.exists(journal_path) or os.path.exists(args.out)):
        if not getattr(args, "force", False):
            print(f"cellarium-survey: {args.out} exists: give --resume to go on with it or "
                  "--force to start it again", file=sys.stderr)
            return 1
        if os.path.exists(journal_path):
            os.unlink(journal_path)
    have = {(b["rule"], b["first"], b["last"]) for b in done}
    jobs = [(root, rule, a, min(a + per, last)) for rule in args.rules
            for a in range(first, last, per) if (rule, a, min(a + per, last)) not in have]
    journal = open(journal_path, "a") if journal_path else None
    results = list(done)

    def emit(batch):
        results.append(batch)
        if journal:
            journal.write(json.dumps(batch, separators=(",", ":")) + "\n")
            journal.flush()

    try:
        if args.serial:
            for job in jobs:
                emit(census_batch(*job))
        elif jobs:
            run_tasks([(census_batch, *job) for job in jobs], emit)
    finally:
        if journal:
            journal.close()
    text = ""
    for rule in args.rules:
        mine = [b for b in results if b["rule"] == rule and first <= b["first"] and b["last"] <= last]
        counts, samples = merge(mine)
        soups = sum(b["last"] - b["first"] for b in mine)
        text += ("\n" if text else "") + haul_text(root, rule, soups, counts, samples)
    if args.out == "-":
        sys.stdout.write(text)
    else:
        _replace(args.out, text)
    return 0

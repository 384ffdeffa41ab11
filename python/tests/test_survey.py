# The survey: on a local Dask cluster of two worker processes, serially, and
# resumed after an interruption, always the runner's rows; files it must not
# lose; the installed launcher as a program of its own.
import csv
import fcntl
import io
import os
import subprocess
import sys
import time

import pytest
from distributed import LocalCluster

from cellarium import survey
from conftest import run_cli, status

ARGS = ["--rules", "B3/S23,B36/S23", "--seeds", "100:120", "--size", "150x150",
        "--density", "0.35", "--limit", "3000", "--no-progress"]
ONE = ["--rules", "B3/S23"] + ARGS[2:] + ["--serial"]
LAUNCHER = os.path.join(os.path.dirname(survey.__file__), "..", "cellarium-survey")


def rows(path, ordered=False):
    with open(path, newline="") as f:
        lines = list(csv.reader(f))
    assert lines[0] == survey.HEADER
    return lines[1:] if ordered else sorted(lines[1:])


def test_clusters_and_a_plain_loop_give_the_runners_rows(tmp_path, capsys):
    serial, cluster, own = tmp_path / "serial.csv", tmp_path / "cluster.csv", tmp_path / "own.csv"
    assert survey.main(ARGS + ["--serial", "--out", str(serial)]) == 0
    # A cluster of two worker processes on loopback, reached by its address.
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as dask_cluster:
        assert survey.main(ARGS + ["--scheduler", dask_cluster.scheduler_address,
                                   "--batch", "3", "--out", str(cluster)]) == 0
    # The survey's own local cluster.
    assert survey.main(["--rules", "B36/S23", "--seeds", "100:106"] + ARGS[4:]
                       + ["--workers", "2", "--out", str(own)]) == 0
    got = rows(serial, ordered=True)
    # Every file ends in the order of --rules and the seeds, whatever order
    # the batches finished in.
    assert [(r[0], int(r[1])) for r in got] == [(rule, s) for rule in ("B3/S23", "B36/S23")
                                                for s in range(100, 120)]
    assert rows(cluster, ordered=True) == got
    assert rows(own, ordered=True) == [r for r in got if r[0] == "B36/S23" and int(r[1]) < 106]
    for rule, seed, size, density, first_repeat, period, population, limit in got:
        out = run_cli("--soup", f"{density}:{seed}", "--size", size, "--rule", rule,
                      "-g", limit, "--until-cycle")
        g, c = status(out[-1])[:2]
        if period:
            start = int(first_repeat) - int(period)
            assert out[0] == f"cycle: period {period} from generation {start}"
            assert (int(first_repeat), int(population)) == (g, c)
        else:
            assert len(out) == 1 and (g, c) == (3000, int(population))
    summary = capsys.readouterr().err
    assert "B3/S23: 20 soups" in summary and "B36/S23: 20 soups" in summary


def listening_addresses(pids):
    """The local addresses of the TCP sockets in LISTEN the processes hold."""
    inodes = set()
    for pid in pids:
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
                if target.startswith("socket:["):
                    inodes.add(target[8:-1])
        except OSError:
            continue
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                if fields[3] == "0A" and fields[9] in inodes:  # 0A: LISTEN
                    found.append(fields[1].split(":")[0])
    return found


def process_tree(root):
    tree, grew = {root}, True
    while grew:
        grew = False
        for entry in os.listdir("/proc"):
            if entry.isdigit() and int(entry) not in tree:
                try:
                    with open(f"/proc/{entry}/stat") as f:
                        parent = int(f.read().rsplit(")", 1)[1].split()[1])
                except OSError:
                    continue
                if parent in tree:
                    tree.add(int(entry))
                    grew = True
    return tree


def test_the_launcher_runs_a_local_cluster_listening_on_loopback_only(tmp_path):
    out = tmp_path / "launched.csv"
    launched = subprocess.Popen(
        [sys.executable, LAUNCHER] + ONE[:-1] + ["--workers", "2", "--out", str(out),
                                                  "--progress"],
        stderr=subprocess.PIPE, text=True)
    addresses, deadline = [], time.monotonic() + 120  # a hang is a failure, not a wait
    try:
        while launched.poll() is None and time.monotonic() < deadline:
            addresses += listening_addresses(process_tree(launched.pid))
            time.sleep(0.2)
        err = launched.communicate(timeout=max(1, deadline - time.monotonic()))[1]
    finally:
        launched.kill()
    assert launched.returncode == 0, err
    assert len(rows(out)) == 20 and "Traceback" not in err
    assert "elapsed" in err and "ETA" in err
    assert addresses, "no server of the cluster was seen"
    loopback = ("0100007F", "00000000000000000000000001000000")  # 127.0.0.1, ::1
    assert set(addresses) <= set(loopback), addresses
    serial = tmp_path / "serial.csv"
    survey.main(ONE + ["--out", str(serial)])
    assert rows(out) == rows(serial)


def test_files_are_never_truncated_nor_shared(tmp_path, capsys):
    out = tmp_path / "s.csv"
    assert survey.main(ONE + ["--seeds", "0:3", "--out", str(out)]) == 0
    before = out.read_bytes()
    assert survey.main(ONE + ["--out", str(out)]) == 1  # neither --resume nor --force
    assert "already exists" in capsys.readouterr().err and out.read_bytes() == before
    with open(out, "rb") as held:  # another survey writing it
        fcntl.flock(held, fcntl.LOCK_EX)
        assert survey.main(ONE + ["--resume", "--out", str(out)]) == 1
        assert "another survey" in capsys.readouterr().err and out.read_bytes() == before
    assert survey.main(ONE + ["--seeds", "5:7", "--force", "--out", str(out)]) == 0
    assert [int(r[1]) for r in rows(out)] == [5, 6]


def test_resume_continues_only_a_file_of_the_same_survey(tmp_path, capsys):
    full, cut = tmp_path / "full.csv", tmp_path / "cut.csv"
    survey.main(ONE + ["--out", str(full)])
    lines = full.read_text().splitlines(keepends=True)
    # A row cut short by a crash; the rule spelled another way.
    cut.write_text("".join(lines[:8]) + lines[8][:5])
    survey.main(["--rules", "23/3"] + ONE[2:] + ["--resume", "--out", str(cut)])
    assert cut.read_text() == full.read_text()  # no soup twice, in seed order
    before = cut.read_bytes()
    for changed, words in ((["--limit", "4000"], "--limit 3000"),
                           (["--size", "160x150"], "--size 150x150"),
                           (["--density", "0.4"], "--density 0.35"),
                           (["--rules", "B36/S23"], "B3/S23")):
        assert survey.main(ONE + changed + ["--resume", "--out", str(cut)]) == 1, changed
        assert words in capsys.readouterr().err
    assert cut.read_bytes() == before
    cut.write_text("".join(lines[:3]) + "B3/S23,x,150x150\n" + "".join(lines[3:6]) + "junk\n"
                   + "".join(lines[6:]))
    assert survey.main(ONE + ["--resume", "--out", str(cut)]) == 1
    assert "not survey rows: 4, 8" in capsys.readouterr().err


def test_progress_leaves_start_up_out_of_the_rate():
    now = [0.0]
    stream = io.StringIO()
    bar = survey.Progress(True, 100, stream=stream, clock=lambda: now[0])
    now[0] = 30.0  # the cluster took half a minute to start
    bar.add(10)
    assert "10/100 soups, elapsed 0:30" in bar.line() and "ETA" not in bar.line()
    now[0] = 40.0
    bar.add(10)  # 10 soups in 10 s: 80 more take 80 s
    assert bar.line().endswith("20/100 soups, elapsed 0:40, 1.0/s, ETA 1:20")


def test_summary_and_bad_arguments():
    text = survey.summary([["R", 1, "150x150", "0.5", "10", "2", "5"],
                           ["R", 2, "150x150", "0.5", "30", "1", "4"],
                           ["R", 3, "150x150", "0.5", "", "", "9"]])
    assert "R: 3 soups, 1 reached the limit" in text
    assert "mean 20.0" in text and "periods: 1: 1, 2: 1" in text
    # Every notation, each rule once in canonical text.
    assert survey.parse_args(["--rules", "B2-a/S12,12/2-a,b3s23"]).rules == ["B2-a/S12", "B3/S23"]
    for bad in (["--seeds", "5:2"], ["--size", "10x10"], ["--rules", "B9"], ["--resume"],
                ["--density", "2"], ["--force"], ["--resume", "--force", "--out", "x"]):
        with pytest.raises(SystemExit) as e:
            survey.parse_args(bad)
        assert e.value.code == 2, bad


def test_standard_output_gets_the_header_and_rows(capsys):
    survey.main(["--seeds", "0:2", "--size", "150x150", "--limit", "50", "--serial",
                 "--no-progress"])
    out = capsys.readouterr().out
    assert list(csv.reader(io.StringIO(out)))[0] == survey.HEADER and out.count("\n") == 3


def test_standard_output_keeps_the_surveys_order_as_batches_finish(capsys):
    out = survey._StandardOutput()
    out.expect(survey._key("B3/S23", seed, "150x150", 0.5) for seed in range(4))
    row = lambda seed: ["B3/S23", seed, "150x150", 0.5, "", "", 7, 50]
    for batch in ([row(2)], [row(1), row(3)], [row(0)]):  # as workers finish them
        out.write_rows(batch)
    out.close()
    printed = list(csv.reader(io.StringIO(capsys.readouterr().out)))
    assert [int(r[1]) for r in printed[1:]] == [0, 1, 2, 3]

# The survey: on a local Dask cluster of two worker processes, serially, and
# resumed after an interruption, always the runner's rows.
import csv
import io

from distributed import LocalCluster

from cellarium import survey
from conftest import run_cli, status

ARGS = ["--rules", "B3/S23,B36/S23", "--seeds", "100:120", "--size", "150x150",
        "--density", "0.35", "--limit", "3000", "--no-progress"]


def rows(path):
    with open(path, newline="") as f:
        lines = list(csv.reader(f))
    assert lines[0] == survey.HEADER
    return sorted(lines[1:])


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
    got = rows(serial)
    assert len(got) == 40 and rows(cluster) == got
    assert rows(own) == [r for r in got if r[0] == "B36/S23" and int(r[1]) < 106]
    for rule, seed, size, density, first_repeat, period, population in got:
        out = run_cli("--soup", f"{density}:{seed}", "--size", size, "--rule", rule,
                      "-g", 3000, "--until-cycle")
        g, c = status(out[-1])[:2]
        if period:
            start = int(first_repeat) - int(period)
            assert out[0] == f"cycle: period {period} from generation {start}"
            assert (int(first_repeat), int(population)) == (g, c)
        else:
            assert len(out) == 1 and (g, c) == (3000, int(population))
    summary = capsys.readouterr().err
    assert "B3/S23: 20 soups" in summary and "B36/S23: 20 soups" in summary


def test_resume_after_an_interrupted_file_keeps_what_was_written(tmp_path):
    full, cut = tmp_path / "full.csv", tmp_path / "cut.csv"
    args = ["--rules", "B3/S23"] + ARGS[2:] + ["--serial"]
    survey.main(args + ["--out", str(full)])
    text = full.read_text()
    lines = text.splitlines(keepends=True)
    cut.write_text("".join(lines[:8]) + lines[8][:5])  # a row cut short by a crash
    survey.main(args + ["--resume", "--out", str(cut)])
    assert rows(cut) == rows(full)
    assert cut.read_text().startswith("".join(lines[:8]))  # what was there stays


def test_summary_and_bad_arguments():
    text = survey.summary([["R", 1, "150x150", "0.5", "10", "2", "5"],
                           ["R", 2, "150x150", "0.5", "30", "1", "4"],
                           ["R", 3, "150x150", "0.5", "", "", "9"]])
    assert "R: 3 soups, 1 reached the limit" in text
    assert "mean 20.0" in text and "periods: 1: 1, 2: 1" in text
    for bad in (["--seeds", "5:2"], ["--size", "10x10"], ["--rules", "B9"], ["--resume"],
                ["--density", "2"]):
        try:
            survey.parse_args(bad)
        except SystemExit as e:
            assert e.code == 2
        else:
            raise AssertionError(bad)


def test_standard_output_gets_the_header_and_rows(capsys):
    survey.main(["--seeds", "0:2", "--size", "150x150", "--limit", "50", "--serial",
                 "--no-progress"])
    out = capsys.readouterr().out
    assert list(csv.reader(io.StringIO(out)))[0] == survey.HEADER and out.count("\n") == 3

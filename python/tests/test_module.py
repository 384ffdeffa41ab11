# The module against the runner: same soups, steps, runs, files and images.
import numpy as np
import pytest

import cellarium
from conftest import run_cli, status

def shape(board):
    live = board.cells != 0
    rows, cols = np.nonzero(live)
    return live[rows.min():rows.max() + 1, cols.min():cols.max() + 1]


SOUPS = [(0.5, 1, 200, 160, 37), (0.35, 9, 150, 150, 120), (0.8, 12345, 301, 199, 5)]


@pytest.mark.parametrize("density,seed,width,height,steps", SOUPS)
def test_soup_and_step_are_the_runners(density, seed, width, height, steps):
    out = run_cli("--soup", f"{density}:{seed}", "--size", f"{width}x{height}", "-g", steps,
                  "--cells")
    expected = np.zeros((height, width), np.uint8)
    for line in out[:-1]:
        x, y, v = map(int, line.split())
        expected[y, x] = v
    board = cellarium.soup(width, height, density, seed)
    board.step(steps - 1)
    births, deaths, live = board.step()
    assert (board.cells == expected).all()
    assert (board.generation, live, births, deaths) == status(out[-1])
    assert board.population == live


@pytest.mark.parametrize("density,seed,width,height,steps", SOUPS)
def test_runs_stop_where_the_runner_stops(density, seed, width, height, steps, tmp_path):
    soup = ["--soup", f"{density}:{seed}", "--size", f"{width}x{height}"]
    cycle = cellarium.soup(width, height, density, seed).run(20000, until="cycle")
    out = run_cli(*soup, "-g", 20000, "--until-cycle")
    assert out[0] == f"cycle: period {cycle.period} from generation {cycle.start}"
    assert status(out[1])[:2] == (cycle.first_repeat, cycle.population)

    stats = tmp_path / "s.csv"
    ran = cellarium.soup(width, height, density, seed).run(steps, until="stagnation", stats=True)
    run_cli(*soup, "-g", steps, "--until-stagnation", "--stats", stats,
            "--columns", "generation,total,births,deaths")
    rows = np.loadtxt(stats, delimiter=",", skiprows=1, dtype=np.int64, ndmin=2)
    table = np.stack([ran.stats[f] for f in ("generation", "total", "births", "deaths")], axis=1)
    assert (table == rows).all() and ran.generations == len(rows)


def test_cells_view_is_read_only_and_edits_keep_the_border_rule():
    board = cellarium.Board(150, 150)
    view = board.cells
    assert view.shape == (150, 150) and view.dtype == np.uint8
    with pytest.raises(ValueError):
        view[5, 5] = 1
    with board.edit() as cells:
        assert np.shares_memory(cells, view)  # the board's own bytes, no copy
        cells[0, 10:13] = 7  # three live border cells
        cells[60, 60:63] = 1  # a blinker
    assert board.population == 3 and board.bounds == (10, 0, 62, 60)
    board.step(1)
    cells = board.cells
    assert (cells[0, 10:13] == 7).all()  # never changed by the step
    assert cells[1, 11] == 1  # born of the three border cells
    assert board.population == 3 + 1 and cells[59:62, 61].all()
    assert board.identify()["kind"] == "oscillator"


def test_read_save_and_image_round_trips(sample, tmp_path):
    for name in ("acorn.lif", "glider_gun.rle", "pentadecathlon.txt", "spaceship.lif"):
        board, rule, _ = cellarium.read(sample(name))
        for ext in (".rle", ".cells", ".lif"):
            path = tmp_path / ("copy" + ext)
            board.save(path, rule="B36/S23")
            again, again_rule, _ = cellarium.read(str(path))
            if ext == ".cells":  # no position in the format: the shape must match
                assert (shape(again) == shape(board)).all(), name
            else:
                assert ((again.cells != 0) == (board.cells != 0)).all(), (name, ext)
            assert again_rule == ("B3/S23" if ext == ".cells" else "B36/S23")
        assert cellarium.read(board.to_rle(rule))[0].population == board.population
    board, rule, description = cellarium.read(sample("spaceship.lif"))
    assert rule == "B3/S23" and description.startswith(b"Lightweight spaceship")
    assert board.identify()["line"] == run_cli(sample("spaceship.lif"), "--identify")[1]

    board = cellarium.soup(210, 160, 0.35, 9)
    board.step(40)
    board.gif(tmp_path / "b.gif", palette="autumn")
    run_cli("--soup", "0.35:9", "--size", "210x160", "-g", 40, "--palette", "autumn",
            "--gif", tmp_path / "cli.gif")
    assert (tmp_path / "b.gif").read_bytes() == (tmp_path / "cli.gif").read_bytes()


def test_bad_sizes_rules_and_files_are_value_errors(tmp_path):
    for width, height in ((149, 800), (800, 10001), (0, 0)):
        with pytest.raises(ValueError, match="150..10000"):
            cellarium.Board(width, height)
    board = cellarium.Board(150, 150)
    with pytest.raises(ValueError, match="is not a rule"):
        board.step(1, rule="B9/S23")
    with pytest.raises(ValueError, match="until"):
        board.run(5, until="forever")
    with pytest.raises(ValueError, match="threads"):
        board.step(1, threads=0)
    with pytest.raises(ValueError, match="density"):
        cellarium.soup(150, 150, 1.5, 1)
    with pytest.raises(ValueError, match="palette"):
        board.gif(tmp_path / "x.gif", palette="plaid")
    big = tmp_path / "big.lif"
    big.write_text("#Life 1.06\n0 0\n500 500\n")
    with pytest.raises(ValueError, match=r"too big|does not fit|fit"):
        cellarium.read(big, 150, 150)
    with pytest.raises(FileNotFoundError):
        cellarium.read(tmp_path / "missing.lif")
    assert board.population == 0 and board.generation == 0  # nothing half done


def test_help_reads_as_a_manual():
    for item in (cellarium, cellarium.Board, cellarium.Board.step, cellarium.Board.run,
                 cellarium.Board.identify, cellarium.Board.edit, cellarium.Board.save,
                 cellarium.Board.to_rle, cellarium.Board.gif, cellarium.read, cellarium.soup,
                 cellarium.RunResult):
        assert item.__doc__ and len(item.__doc__) > 40, item

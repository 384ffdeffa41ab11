# The module against the runner: same soups, steps, runs, files and images;
# boards that keep what they are; threads, refusals and Ctrl-C.
import copy as copy_module
import os
import pickle
import signal
import threading
import time

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
        assert cellarium.parse(board.to_rle(rule))[0].population == board.population
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


CONWAY_MAP = "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA"


def test_rules_in_every_notation_come_back_canonical():
    board = cellarium.Board(150, 150)
    for given, kept in (("s23/b3", "B3/S23"), ("b3_s2-i34q", "B3/S2-i34q"),
                        ("S12/B2-a", "B2-a/S12"), (CONWAY_MAP, "B3/S23")):
        board.rule = given
        assert (board.rule, cellarium.parse_rule(given)) == (kept, kept)
    assert "rule = B2-a/S12" in cellarium.parse("x = 1, y = 1, rule = 12/2-a\no!")[0].to_rle()
    for bad, words in (("345/3/6", "cannot run"), ("B3/S23:T20,20", "leave out"),
                       ("B3/S2-x", "is not a rule")):
        with pytest.raises(ValueError, match=words):
            board.rule = bad
    assert board.rule == "B3/S23"  # as it was


def test_help_reads_as_a_manual():
    for item in (cellarium, cellarium.Board, cellarium.Board.step, cellarium.Board.run,
                 cellarium.Board.identify, cellarium.Board.edit, cellarium.Board.save,
                 cellarium.Board.to_rle, cellarium.Board.gif, cellarium.read, cellarium.soup,
                 cellarium.RunResult):
        assert item.__doc__ and len(item.__doc__) > 40, item


# --- Boards that keep what they are ---------------------------------------------

HIGHLIFE = "#N replicator\n#C A replicator of HighLife.\nx = 5, y = 5, rule = B36/S23\n" \
           "2b3o$bo2bo$o3bo$o2bo$3o!\n"


def same_board(a, b):
    return ((a.cells == b.cells).all() and a.generation == b.generation and a.rule == b.rule
            and a.name == b.name and a.description == b.description)


def test_boards_keep_rule_words_and_counter_through_every_operation(tmp_path):
    board, rule, description = cellarium.parse(HIGHLIFE, 200, 200)
    assert (rule, board.rule, board.name) == ("B36/S23", "B36/S23", "replicator")
    assert description == board.description == b"A replicator of HighLife."
    twin = cellarium.parse(HIGHLIFE, 200, 200)[0]
    twin.step(7, rule="B36/S23")
    board.step(3)
    board.run(4, until="stagnation", stats=True)
    assert same_board(board, twin) and board.generation == 7  # the board's own rule
    board.step(1, rule="B3/S23")  # for this call only
    assert board.rule == "B36/S23" and board.description == description
    for ext in (".rle", ".lif"):
        board.save(tmp_path / ("r" + ext))
        again = cellarium.read(tmp_path / ("r" + ext), 200, 200)[0]
        assert again.rule == "B36/S23" and again.description == description
    assert "rule = B36/S23" in board.to_rle()
    board.name, board.description, board.rule = "mine", b"words", "23/36"
    board.step(1)
    assert (board.name, board.description, board.rule) == ("mine", b"words", "B36/S23")
    # By value through pickling and copying, so through Dask and multiprocessing.
    for copy in (pickle.loads(pickle.dumps(board)), copy_module.deepcopy(board)):
        assert same_board(copy, board) and copy.population == board.population
        copy.step(5)
        assert copy.generation == board.generation + 5 and board.generation == 9
    assert np.array_equal(np.asarray(board), board.cells) and np.array(board).flags.writeable
    assert repr(board).startswith("<cellarium.Board 200x200, generation 9, population ")
    assert "rule B36/S23" in repr(board) and cellarium.__version__.count(".") == 2


def test_read_takes_paths_and_parse_takes_text(sample, tmp_path):
    from pathlib import Path
    by_str = cellarium.read(sample("glider_gun.rle"))[0]
    for path in (Path(sample("glider_gun.rle")), sample("glider_gun.rle").encode()):
        assert (cellarium.read(path)[0].cells == by_str.cells).all()
    text = Path(sample("glider_gun.rle")).read_bytes()
    for given in (text, text.decode("latin-1"), bytearray(text), memoryview(text)):
        assert (cellarium.parse(given)[0].cells == by_str.cells).all()
    assert cellarium.parse("***")[0].population == 3  # one line of text is text
    (tmp_path / "***").write_text("")
    assert cellarium.read(tmp_path / "***")[0].population == 0  # and a path is a path
    with pytest.raises(IsADirectoryError):
        cellarium.read(tmp_path)
    os.mkfifo(tmp_path / "pipe.rle")  # nobody writes it: must not hang
    for name, what in ((str(tmp_path / "pipe.rle"), "pipe"), ("/dev/zero", "device")):
        with pytest.raises(OSError, match=f"is a {what}, not a file"):
            cellarium.read(name)
    with pytest.raises(TypeError, match="parse"):
        cellarium.read(42)
    with pytest.raises(ValueError, match="does not fit a board of 150x150") as e:
        cellarium.parse("#Life 1.06\n0 0\n500 500\n", 150, 150)
    assert "Tools menu" not in str(e.value)


# --- Threads --------------------------------------------------------------------------

def test_two_threads_step_two_boards_as_one_thread_would():
    boards = [cellarium.soup(400, 300, 0.5, seed) for seed in (1, 2)]
    alone = [cellarium.soup(400, 300, 0.5, seed) for seed in (1, 2)]
    for b in alone:
        b.step(300, threads=2)
    workers = [threading.Thread(target=b.step, args=(300,), kwargs={"threads": 2})
               for b in boards]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert all(same_board(a, b) for a, b in zip(boards, alone))


def test_a_board_being_stepped_refuses_other_threads(tmp_path):
    board = cellarium.soup(800, 800, 0.5, 3)
    stop = threading.Event()
    calls = {"step": lambda: board.step(1), "edit": lambda: board.edit().__enter__(),
             "save": lambda: board.save(tmp_path / "x.rle"), "to_rle": board.to_rle,
             "gif": lambda: board.gif(tmp_path / "x.gif"), "identify": board.identify,
             "pickle": lambda: pickle.dumps(board)}
    raised = {}

    def run():
        try:
            board.run(3000, threads=1)
        finally:
            stop.set()

    stepping = threading.Thread(target=run)
    stepping.start()
    while board.generation == 0 and not stop.is_set():
        time.sleep(0.0005)
    for name, call in calls.items():
        try:
            call()
        except ValueError as e:
            raised[name] = str(e)
    done_early = stop.is_set()
    stepping.join()
    assert not done_early, "the run ended before every call was tried"
    assert set(raised) == set(calls), raised
    assert all("being stepped by another thread" in m for m in raised.values())
    assert not (tmp_path / "x.rle").exists() and not (tmp_path / "x.gif").exists()
    assert board.generation == 3000


def test_views_from_edit_are_read_only_after_the_block():
    board = cellarium.Board(150, 150)
    with board.edit() as cells:
        row = cells[60]
        cells[60, 60:63] = 1
    for view in (cells, row, cells[1:5, 1:5]):
        with pytest.raises(ValueError):
            view[10] = 1
        with pytest.raises(ValueError):
            view.setflags(write=True)
    assert board.population == 3 and board.cells.sum() == 3


def test_ctrl_c_stops_long_calls_at_a_whole_generation():
    # Boards big enough that no call settles into a cycle (and jumps to its
    # end) before the interrupt comes.
    board = cellarium.soup(2000, 2000, 0.5, 5)
    for call in (lambda: board.run(10 ** 9, threads=1), lambda: board.step(10 ** 9),
                 lambda: cellarium.soup(2000, 2000, 0.5, 6).identify(limit=10 ** 9)):
        timer = threading.Timer(0.3, signal.raise_signal, (signal.SIGINT,))
        started = time.monotonic()
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            call()
        assert time.monotonic() - started < 0.3 + 0.2
    again = cellarium.soup(2000, 2000, 0.5, 5)
    again.step(board.generation, threads=1)
    assert same_board(board, again)


@pytest.mark.parametrize("side", [150, 3000])
def test_cells_edited_in_a_block_are_what_the_step_reads(side):
    # The larger board runs on the liveness planes alone, brought up to date
    # from the bytes the block wrote.
    board = cellarium.Board(side, side)
    board.step(3)
    with board.edit() as cells:
        cells[10:13, 10:13] = [[0, 1, 0], [0, 0, 1], [1, 1, 1]]  # a glider
    assert board.run(8).population == 5
    assert (shape(board) == np.array([[0, 1, 0], [0, 0, 1], [1, 1, 1]], bool)).all()
    assert (board.cells[12:15, 12:15] != 0).sum() == 5  # two cells down and right

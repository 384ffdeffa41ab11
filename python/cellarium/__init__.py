"""Cellarium for scripts: Life-like cellular automata on numpy arrays.

The module runs the program's own engine: the same boards, step kernels and
threads, pattern readers and writers, GIF export, cycle detection and
Identify as the command-line runner ``cellarium-cli``, so a script and the
runner always agree.

A quick tour::

    import cellarium
    board = cellarium.soup(800, 800, density=0.5, seed=7)  # as --soup 0.5:7
    births, deaths, live = board.step(100)                 # as -g 100
    result = board.run(100000, until="cycle")              # as --until-cycle
    print(result.first_repeat, result.period, result.population)
    print(board.identify()["line"])                        # as --identify
    board.save("ash.rle")                                  # as --save ash.rle

    board, rule, description = cellarium.read("samples/acorn.lif")
    with board.edit() as cells:   # a writable numpy view, shape (height, width)
        cells[10, 10:13] = 1

Rules are given as text in the s23/b3, B3/S23 or 23/3 forms (default
Conway's B3/S23). Bad sizes, rules, densities and patterns raise ValueError
with the program's own message.

Soup surveys spread over Dask are run by ``cellarium-survey`` (also
``python3 -m cellarium.survey``); see cellarium.survey.
"""

import contextlib
import os

from ._cellarium import Board, RunResult, step_kernel
from ._cellarium import _census_soups, _hashsoup, _parse_rule, _read, _replace_file, _soup

__all__ = ["Board", "RunResult", "read", "soup", "hashsoup", "parse_rule", "step_kernel"]

# The longest pattern text the reader takes (the reader's own limit).
_MAX_PATTERN_BYTES = 13 * 10000 * 10000 + 20_000_000


def parse_rule(text):
    """Returns rule text in the B3/S23 form, or raises ValueError."""
    return _parse_rule(text)


def soup(width, height, density, seed):
    """A board of width x height whose interior is a random soup.

    Each interior cell is 1 with the given density (0..1), else 0; the bytes
    are exactly those of ``cellarium-cli --size WxH --soup DENSITY:SEED``.
    """
    return _soup(width, height, density, seed)


def hashsoup(root, index, width=800, height=800):
    """A board holding soup ``index`` of ``root`` as the online soup census makes it.

    The soup is 16 x 16 cells from the SHA-256 digest of the text ``root``
    followed by ``index`` in decimal, row y from bytes 2y and 2y + 1, most
    significant bit first; it is centred on a board of width x height, as
    ``cellarium-cli --hash-soup ROOT:INDEX`` places it.
    """
    if not isinstance(root, str):
        raise TypeError("root must be a str")
    if isinstance(index, bool) or not isinstance(index, int) or index < 0:
        raise ValueError("index must be a non-negative int")
    return _hashsoup(root, index, width, height)


def read(path_or_text, width=800, height=800):
    """Reads a pattern onto a new board of width x height.

    path_or_text is a path (str without a line end, or os.PathLike) or the
    pattern's text itself (str with a line end, or bytes). Every format the
    program reads is taken: Life 1.05 and 1.06, RLE, plaintext and bare
    pictures. Returns (board, rule, description): the rule in the B3/S23
    form as the pattern gives it (Conway's when it names none) and the
    description as bytes. A pattern that does not fit raises ValueError with
    the program's message; a missing file raises FileNotFoundError.
    """
    if isinstance(path_or_text, bytes):
        data = path_or_text
    elif isinstance(path_or_text, str) and ("\n" in path_or_text or "\r" in path_or_text):
        data = path_or_text.encode("latin-1")
    else:
        with open(os.fspath(path_or_text), "rb") as f:
            data = f.read(_MAX_PATTERN_BYTES + 1)
    return _read(data, width, height)


def _edit(self):
    """A context for changing cells: ``with board.edit() as cells: ...``.

    cells is a writable numpy view of the board's bytes. Any value may be
    written anywhere, the border included; border cells then keep the
    border rule (the step never changes them, they count as neighbours and
    are left out of the live count). When the block ends, the bounds and
    the live count are found again. The board cannot be stepped meanwhile.
    """
    cells = self._writable_cells()
    try:
        yield cells
    finally:
        self._cells_changed()


def _format_for(path):
    ext = os.path.splitext(os.fspath(path))[1].lower()
    return {".rle": "rle", ".cells": "cells"}.get(ext, "life105")


def _replace(path, data):
    # The runner's own safe replace: links followed as the system follows
    # them, a new file beside the target with its owner, group and mode,
    # flushed and renamed over it, or the target written in place where no
    # new file can stand for it. A failure raises OSError with the runner's
    # message and leaves the target as it was (unless written in place).
    _replace_file(os.fsencode(path), data)


def _save(self, path, rule="B3/S23"):
    """Saves the board by the file's extension, as cellarium-cli --save does:
    ".rle" RLE, ".cells" plaintext, anything else Life 1.05."""
    fmt = _format_for(path)
    title = os.path.splitext(os.path.basename(os.fspath(path)))[0]
    _replace(path, self._write(fmt, rule, title))


def _to_rle(self, rule="B3/S23"):
    """The board as RLE text, as Export as RLE writes it."""
    return self._write("rle", rule).decode("latin-1")


def _gif(self, path, palette="rainbow"):
    """Exports the whole board as a GIF image, one pixel per cell, through
    the palette autumn, blue, rainbow, sunshine or bw."""
    _replace(path, self._gif(palette))


Board.edit = contextlib.contextmanager(_edit)
Board.save = _save
Board.to_rle = _to_rle
Board.gif = _gif

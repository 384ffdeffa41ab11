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
    board, _, _ = cellarium.parse("x = 3, y = 1, rule = B36/S23\n3o!")
    print(board.rule, board.name, board.generation)        # kept by every step

Rules are given as text in any notation: B3/S23, s23/b3 or 23/3, isotropic
letters (B3/S2-i34q) and MAP; they come back in canonical text (B3/S23,
B2-a/S12, MAP...). A board keeps its own rule (Conway's B3/S23 unless its
pattern named another), which step, run, identify, save and to_rle use
unless given rule=. Bad sizes, rules,
densities and patterns raise ValueError saying what is wrong.

Boards pickle and deep-copy by value, and two threads step two boards at the
same time (each board has step threads of its own); a board being stepped
refuses other threads' calls with ValueError. Ctrl-C stops step, run,
identify and read after a whole generation.

Soup surveys spread over Dask are run by ``cellarium-survey`` (also
``python3 -m cellarium.survey``); see cellarium.survey.
"""

import contextlib
import os
import stat
import warnings
import weakref

import numpy as np

from ._cellarium import Board, RunResult, step_kernel, __version__
from ._cellarium import (_census_soups, _hashsoup, _parse, _parse_rule, _read_file,
                         _replace_file, _soup)

__all__ = ["Board", "RunResult", "read", "parse", "soup", "hashsoup", "parse_rule",
           "step_kernel", "__version__"]


def parse_rule(text):
    """Returns the canonical text of rule text in any notation (B3/S23, s23/b3,
    23/3, isotropic letters, MAP), or raises ValueError saying what is wrong."""
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


def read(path, width=800, height=800):
    """Reads the pattern file at path (str, bytes or os.PathLike) onto a new
    board of width x height.

    Every format the program reads is taken: Life 1.05 and 1.06, RLE,
    plaintext and bare pictures. The file is read in blocks as the reader
    goes, never held whole, so a huge file costs no memory; Ctrl-C stops the
    read. Only regular files are read: a pipe or a device raises OSError at
    once. Returns (board, rule,
    description): the board (which keeps the pattern's rule, description and
    name), the pattern's rule in canonical text (Conway's B3/S23 when it
    names none) and the description as bytes. A pattern that does not
    fit raises ValueError saying so; a missing file raises FileNotFoundError.
    Pattern text itself goes to parse().
    """
    if isinstance(path, str) and ("\n" in path or "\r" in path):
        # What read() took before parse() existed: text of several lines.
        warnings.warn("read() takes a path: give pattern text to parse()", DeprecationWarning,
                      stacklevel=2)
        return parse(path, width, height)
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError(f"read() takes a path (str, bytes or os.PathLike), not "
                        f"{type(path).__name__}: pattern text goes to parse()")
    # Opened without blocking, so a pipe nobody writes cannot hang the caller;
    # only a regular file is read.
    fd = os.open(path, os.O_RDONLY | os.O_CLOEXEC | os.O_NONBLOCK | os.O_NOCTTY)
    try:
        _refuse_unless_regular(os.fstat(fd), os.fsdecode(path))
        os.set_blocking(fd, True)
        return _read_file(fd, width, height)
    finally:
        os.close(fd)


def _refuse_unless_regular(st, name):
    if stat.S_ISREG(st.st_mode):
        return
    if stat.S_ISDIR(st.st_mode):
        raise IsADirectoryError(f"'{name}' is a folder, not a pattern file")
    if stat.S_ISFIFO(st.st_mode):
        raise OSError(f"{name} is a pipe, not a file.")
    raise OSError(f"{name} is a device, not a file.")


def parse(text, width=800, height=800):
    """Reads pattern text (str, bytes or any bytes-like object) onto a new
    board of width x height, as read() does with a file; returns (board,
    rule, description). A str is taken as its characters' low bytes
    (latin-1), as the program reads files."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return _parse(text, width, height)


class _EditCells(np.ndarray):
    """The array edit() gives: it and every view taken of it while the block
    runs become read-only when it ends."""

    def __array_finalize__(self, obj):
        views = getattr(obj, "_views", None)
        if views is not None and isinstance(obj, _EditCells):
            self._views = views
            views.append(weakref.ref(self))


def _edit(self):
    """A context for changing cells: ``with board.edit() as cells: ...``.

    cells is a writable numpy view of the board's bytes. Any value may be
    written anywhere, the border included; border cells then keep the
    border rule (the step never changes them, they count as neighbours and
    are left out of the live count). When the block ends, the bounds and
    the live count are found again, and cells (with every view sliced from
    it) turns read-only: writing to it afterwards raises ValueError. The
    board cannot be stepped, saved or exported meanwhile, from any thread.
    """
    raw = self._writable_cells()
    try:
        cells = raw.view(_EditCells)
        cells._views = [weakref.ref(cells)]
        try:
            yield cells
        finally:
            for ref in cells._views:
                view = ref()
                if view is not None:
                    view.setflags(write=False)
            raw.setflags(write=False)
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


def _save(self, path, rule=None):
    """Saves the board by the file's extension, as cellarium-cli --save does:
    ".rle" RLE, ".cells" plaintext, anything else Life 1.05; under the
    board's rule unless rule is given."""
    fmt = _format_for(path)
    title = os.path.splitext(os.path.basename(os.fspath(path)))[0]
    _replace(path, self._write(fmt, rule, title))


def _to_rle(self, rule=None):
    """The board as RLE text, as Export as RLE writes it (the board's rule
    unless rule is given)."""
    return self._write("rle", rule).decode("latin-1")


def _gif(self, path, palette="rainbow"):
    """Exports the whole board as a GIF image, one pixel per cell, through
    the palette autumn, blue, rainbow, sunshine or bw."""
    _replace(path, self._gif(palette))


Board.edit = contextlib.contextmanager(_edit)
Board.save = _save
Board.to_rle = _to_rle
Board.gif = _gif

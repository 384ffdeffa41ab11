"""The census from Python: board.census(), hashsoup() and the survey's census mode."""

import pathlib

import pytest

import cellarium
from cellarium import census_survey, survey

FIXTURES = pathlib.Path(__file__).resolve().parents[2] / "tests" / "data" / "census"
ROOT = "l_GD3QBkvVkTvp"


def haul(text):
    """(header, counts, samples) of a haul's text."""
    header, counts, samples, section = {}, {}, {}, None
    for line in text.splitlines():
        if line.startswith("@"):
            key, _, value = line.partition(" ")
            if key in ("@CENSUS", "@SAMPLE_SOUPIDS"):
                section = key
            else:
                header[key] = value
        elif line and section == "@CENSUS":
            code, n = line.split()
            counts[code] = int(n)
        elif line and section == "@SAMPLE_SOUPIDS":
            code, *ids = line.split()
            samples[code] = [int(i) for i in ids]
    return header, counts, samples


def test_hashsoup_and_board_census():
    board = cellarium.hashsoup(ROOT, 0, 150, 150)
    assert board.population == 123
    found = board.census()
    assert found == {"xs4_33": 12, "xp2_7": 9, "xs7_2596": 2, "xs5_253": 2, "xs6_696": 1,
                     "xq4_153": 1}
    assert list(found) == ["xs4_33", "xp2_7", "xs7_2596", "xs5_253", "xs6_696", "xq4_153"]
    assert board.population == 123 and board.generation == 0  # the board is left alone
    with pytest.raises(ValueError):
        cellarium.hashsoup(ROOT, -1)
    with pytest.raises(ValueError):
        board.census(rule="B0/S23")


def test_census_survey_resumes_and_agrees_with_the_public_haul(tmp_path, capsys):
    out = tmp_path / "haul.txt"
    args = ["--census", "--hash-seed", ROOT, "--seeds", "0:240", "--serial", "--batch", "60",
            "--out", str(out)]
    assert survey.main(args) == 0
    whole = out.read_text()
    header, counts, samples = haul(whole)
    assert header["@ROOT"] == ROOT and header["@RULE"] == "b3s23"
    assert header["@NUM_SOUPS"] == "240"
    assert int(header["@NUM_OBJECTS"]) == sum(counts.values())
    assert list(counts.values()) == sorted(counts.values(), reverse=True)
    # The public census's first soups of each object, up to soup 239, are ours.
    _, _, public = haul((FIXTURES / "b3s23-C1-l_GD3QBkvVkTvp.txt").read_text())
    for code, ids in public.items():
        theirs = [i for i in ids if i < 240]
        if theirs and len(theirs) < len(ids):
            assert samples.get(code, [])[:len(theirs)] == theirs, code

    # An interruption: the journal keeps two batches and half a line.
    journal = tmp_path / "haul.txt.batches"
    lines = journal.read_text().splitlines(keepends=True)
    journal.write_text("".join(lines[:2]) + lines[2][:20])
    out.unlink()
    assert survey.main(args + ["--resume"]) == 0
    assert out.read_text() == whole
    assert len(journal.read_text().splitlines()) == 4


def test_census_needs_a_root(capsys):
    with pytest.raises(SystemExit):
        survey.parse_args(["--census"])
    assert "--hash-seed" in capsys.readouterr().err
    assert census_survey.rule_name("B2n3/S23-q") == "b2n3s23-q"
    assert census_survey.rule_name("MAPARYXfhZofugWaH7o+/") == "mapARYXfhZofugWaH7o+/"

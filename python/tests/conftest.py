import os
import re
import subprocess

import pytest

CLI = os.environ.get("CELLARIUM_CLI", "cellarium-cli")
SAMPLES = os.environ.get("CELLARIUM_SAMPLES",
                         os.path.join(os.path.dirname(__file__), "..", "..", "samples"))


def run_cli(*args):
    """cellarium-cli's standard output, lines; it must succeed."""
    done = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, check=True)
    return done.stdout.splitlines()


def status(line):
    """G, C, B, D of a status line."""
    return tuple(int(v) for v in re.match(r"G:(\d+) C:(\d+) B:(\d+) D:(\d+)", line).groups())


@pytest.fixture
def sample():
    return lambda name: os.path.join(SAMPLES, name)

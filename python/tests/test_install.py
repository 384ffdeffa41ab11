# pip install from the source tree into a folder of its own: the module and
# cellarium-survey work from there, and mypy takes the README's examples with
# the package's type stubs.
import os
import re
import shutil
import subprocess
import sys

import pytest

SOURCE = os.environ.get("CELLARIUM_SOURCE",
                        os.path.join(os.path.dirname(__file__), "..", ".."))


def have(module):
    return subprocess.run([sys.executable, "-c", f"import {module}"],
                          capture_output=True).returncode == 0


@pytest.mark.skipif(not (have("pip") and have("setuptools") and have("pybind11")),
                    reason="needs pip, setuptools and pybind11 for this python")
def test_pip_install_gives_the_module_and_the_survey(tmp_path):
    target = tmp_path / "site"
    env = dict(os.environ, CELLARIUM_BUILD_JOBS=str(os.cpu_count() or 1))
    env.pop("PYTHONPATH", None)
    subprocess.run([sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-deps",
                    "--no-index", "--quiet", "--target", str(target), SOURCE],
                   check=True, env=env, cwd=tmp_path)
    env["PYTHONPATH"] = str(target)
    check = ("import cellarium, numpy; b = cellarium.soup(150, 150, 0.5, 1); b.step(10); "
             "print(cellarium.__version__, b.generation, numpy.asarray(b).shape, "
             "cellarium.__file__)")
    out = subprocess.run([sys.executable, "-c", check], check=True, env=env, cwd=tmp_path,
                         capture_output=True, text=True).stdout.split()
    assert out[1:3] == ["10", "(150,"] and out[-1].startswith(str(target))
    rows = subprocess.run([str(target / "bin" / "cellarium-survey"), "--seeds", "0:2",
                           "--size", "150x150", "--limit", "20", "--serial", "--no-progress"],
                          check=True, env=env, cwd=tmp_path, capture_output=True,
                          text=True).stdout.splitlines()
    assert rows[0].startswith("rule,seed,size") and len(rows) == 3
    assert (target / "cellarium" / "py.typed").exists()


@pytest.mark.skipif(shutil.which("mypy") is None and not have("mypy"),
                    reason="needs mypy (Debian's python3-mypy)")
def test_mypy_takes_the_readmes_examples(tmp_path):
    with open(os.path.join(SOURCE, "README.md")) as f:
        blocks = re.findall(r"```python\n(.*?)```", f.read(), flags=re.S)
    assert blocks, "the README has no Python examples"
    example = tmp_path / "example.py"
    example.write_text("\n".join(blocks))
    package = os.path.dirname(os.path.dirname(__import__("cellarium").__file__))
    done = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                           "--cache-dir", os.devnull, str(example)], capture_output=True,
                          text=True, env=dict(os.environ, MYPYPATH=package), cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr
    # And a wrong use is caught, so the stubs are really read.
    example.write_text("import cellarium\ncellarium.soup(150, 150, 0.5, 1).step('ten')\n")
    done = subprocess.run([sys.executable, "-m", "mypy", "--no-incremental", "--cache-dir",
                           os.devnull, str(example)], capture_output=True, text=True,
                          env=dict(os.environ, MYPYPATH=package), cwd=tmp_path)
    assert done.returncode == 1 and "step" in done.stdout, done.stdout

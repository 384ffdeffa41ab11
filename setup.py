"""pip install --no-build-isolation .  builds the cellarium module and
cellarium-survey from this source tree with Debian's setuptools and pybind11.

The C++ sources are those the CMake build lists: the add_library() lists of
the libraries python/CMakeLists.txt links the module with (the engine,
formats, colour and file layers) and the module's pybind11_add_module(),
read from their CMakeLists.txt, so there is one list of sources, not two.
The version is the one project() gives in the top CMakeLists.txt.
"""

import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))


def cmake_text(folder):
    with open(os.path.join(HERE, folder, "CMakeLists.txt")) as f:
        return re.sub(r"#[^\n]*", "", f.read())


def cmake_sources(folder, command, target):
    """The .cpp files of `command`(`target` ...) in folder/CMakeLists.txt."""
    match = re.search(rf"{command}\(\s*{target}\s([^)]*)\)", cmake_text(folder))
    if match is None:
        raise RuntimeError(f"no {command}({target} ...) in {folder}/CMakeLists.txt")
    words = match.group(1).split()
    return [os.path.join(folder, w) for w in words if w.endswith(".cpp")]


def layer_folders():
    """The folder of every library the module links, by its add_library()."""
    folders = {}
    for root, dirs, files in os.walk(HERE):
        dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]
        if "CMakeLists.txt" in files:
            folder = os.path.relpath(root, HERE)
            for target in re.findall(r"add_library\(\s*(\w+)", cmake_text(folder)):
                folders[target] = folder
    return folders


def module_sources():
    links = re.search(r"target_link_libraries\(\s*_cellarium\s([^)]*)\)", cmake_text("python"))
    folders = layer_folders()
    sources = []
    for target in links.group(1).split():
        if target in folders:
            sources += cmake_sources(folders[target], "add_library", target)
    return sources + cmake_sources("python", "pybind11_add_module", "_cellarium")


def version():
    match = re.search(r"project\(\s*Cellarium\s+VERSION\s+([0-9.]+)", cmake_text("."))
    return match.group(1)


SOURCES = module_sources()

ParallelCompile("CELLARIUM_BUILD_JOBS", default=0).install()

setup(
    version=version(),
    package_dir={"cellarium": "python/cellarium"},
    packages=["cellarium"],
    package_data={"cellarium": ["py.typed", "*.pyi"]},
    ext_modules=[Pybind11Extension(
        "cellarium._cellarium", SOURCES, include_dirs=[HERE], cxx_std=20,
        define_macros=[("CELLARIUM_VERSION", f'"{version()}"')],
        extra_compile_args=["-O2", "-pthread"], extra_link_args=["-pthread"],
        libraries=["z"])],  # the reader's gzip
    cmdclass={"build_ext": build_ext},
    # Everything setuptools makes stays under build/, beside the CMake trees.
    options={"build": {"build_base": "build/pip"}, "egg_info": {"egg_base": "build/pip"}},
)

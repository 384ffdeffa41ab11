# Shared by the scripts: installs missing Debian packages, as root or through sudo.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and running the program needs (./scripts/run); zlib reads
# gzip-compressed patterns.
BUILD_PACKAGES=(
  cmake
  g++
  ninja-build
  libcli11-dev
  zlib1g-dev
)
# What only the tests and benchmarks need on top (./scripts/test): GoogleTest
# (whose CMake package wants GoogleMock beside it), Google Benchmark, and
# giflib, the independent GIF decoder of the tests and the encoder the GIF
# benchmark compares against; strace, which shows the system calls of a save;
# golly, whose bgolly is the peer the reader's and the step's tests compare with;
# appstream and desktop-file-utils, which validate the software-centre metadata
# and the menu entry, and dpkg-dev, whose dpkg-shlibdeps finds the Debian
# package's dependencies.
TEST_PACKAGES=(
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libgif-dev
  strace
  golly
  appstream
  desktop-file-utils
  dpkg-dev
)
# The Python module and its tests: pybind11 and the headers of Debian's python3,
# numpy for the cell arrays, Dask's distributed scheduler for the survey, pytest;
# pip, setuptools and pybind11's Python half for pip install from the source
# tree, and mypy, which checks the package's type stubs.
PYTHON_PACKAGES=(
  python3-dev
  pybind11-dev
  python3-numpy
  python3-distributed
  python3-pytest
  python3-pip
  python3-setuptools
  python3-pybind11
  python3-mypy
)
# The desktop program: Qt 6 Widgets (its CMake files need the OpenGL and Vulkan
# headers, which qt6-base-dev brings along) and a font for its text.
DESKTOP_PACKAGES=(
  qt6-base-dev
  libgl-dev
  fonts-dejavu-core
)
# The fuzz stage: clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

"""Builds the C interface (libkaltra.so) with CMake and ships it inside the kaltra package.

The library is built from the Kaltra source tree this folder belongs to (its parent), or,
when building from an sdist, from the copy of the sources the sdist carries in
kaltra-source/. Only CMake and a C++ compiler are needed; nothing is downloaded.

    pip install --no-build-isolation ./python         # builds and installs
    python3 -m build --no-isolation python            # sdist and wheel in python/dist

KALTRA_CMAKE_BUILD_DIR names the CMake build folder (default: build-python in the source tree).
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.command.sdist import sdist
from setuptools.dist import Distribution

HERE = Path(__file__).resolve().parent
# The folders the library is built from, and the files at the top of the tree.
SOURCE_FOLDERS = ["capi", "cmake", "fluids", "shell", "thermo", "transport"]
SOURCE_FILES = ["CMakeLists.txt"]
LIBRARY = {"win32": "kaltra.dll", "darwin": "libkaltra.dylib"}.get(sys.platform, "libkaltra.so")


def source_root() -> Path:
    for root in (HERE.parent, HERE / "kaltra-source"):
        if (root / "capi" / "kaltra.h").is_file():
            return root
    raise RuntimeError("Kaltra's sources (capi/kaltra.h) are neither beside python/ nor in kaltra-source/")


def build_library() -> Path:
    root = source_root()
    build = Path(os.environ.get("KALTRA_CMAKE_BUILD_DIR") or root / "build-python")
    subprocess.check_call(
        ["cmake", "-S", str(root), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release", "-DKALTRA_LIBRARY_ONLY=ON"]
    )
    subprocess.check_call(["cmake", "--build", str(build), "--target", "kaltra_capi", "-j", str(os.cpu_count() or 1)])
    library = build / "capi" / LIBRARY
    if not library.is_file():
        raise RuntimeError(f"CMake did not make {library}")
    return library


class BuildWithLibrary(build_py):
    """Copies the freshly built library into the package."""

    def run(self):
        super().run()
        target = Path(self.build_lib) / "kaltra"
        target.mkdir(parents=True, exist_ok=True)
        shutil.copy2(build_library(), target / LIBRARY)


class SdistWithSources(sdist):
    """The sdist carries the C++ sources the library is built from."""

    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        root = source_root()
        copy = Path(base_dir) / "kaltra-source"
        for folder in SOURCE_FOLDERS:
            shutil.copytree(root / folder, copy / folder, ignore=shutil.ignore_patterns("build*", "__pycache__"))
        for name in SOURCE_FILES:
            shutil.copy2(root / name, copy / name)


class PlatformDistribution(Distribution):
    """The package holds a native library, so its wheel is for one platform (any Python 3)."""

    def has_ext_modules(self):
        return True


commands = {"build_py": BuildWithLibrary, "sdist": SdistWithSources}
try:
    from wheel.bdist_wheel import bdist_wheel

    class PlatformWheel(bdist_wheel):
        def get_tag(self):
            _, _, platform = super().get_tag()
            return "py3", "none", platform

    commands["bdist_wheel"] = PlatformWheel
except ImportError:
    pass

setup(cmdclass=commands, distclass=PlatformDistribution)

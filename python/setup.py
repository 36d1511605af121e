"""Builds the extension module with the project's own CMake build.

The package's Python files are in vantrel/; the module vantrel._vantrel is
the CMake target vantrel_python of the project one directory up, configured
with only what it needs and written straight into the wheel's directory.

An sdist carries that project's sources (the CMake files, the library, the
reference reader, the rules library, the tool's sources) in _project/, and
a build from the sdist uses them.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.sdist import sdist

HERE = Path(__file__).resolve().parent
BUNDLED = HERE / "_project"
PROJECT = BUNDLED if BUNDLED.is_dir() else HERE.parent

# What the CMake build of the module reads, beside this directory: the
# project's files and directories, less what only the tests and the
# fuzzers use.
PROJECT_FILES = ["CMakeLists.txt", "LICENSE"]
PROJECT_DIRS = ["cmake", "include", "src", "reference", "tools"]
LEFT_OUT = shutil.ignore_patterns("tests", "fuzz", "build", "__pycache__",
                                  "*.pyc")
# This directory's part of the build.
PYTHON_FILES = ["CMakeLists.txt", "module.cpp", "module.map"]


def project_version():
    text = (PROJECT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Vantrel\s+VERSION\s+([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        out = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(PROJECT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DVANTREL_PYTHON_OUTPUT_DIR={out}",
            "-DVANTREL_BUILD_PYTHON=ON", "-DVANTREL_BUILD_TOOLS=ON",
            "-DVANTREL_BUILD_TESTS=OFF", "-DVANTREL_BUILD_EXAMPLES=OFF",
            "-DVANTREL_INSTALL=OFF",
        ]
        if os.environ.get("CMAKE_GENERATOR") is None and _have("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target",
                        "vantrel_python", "-j", jobs], check=True)


class SdistWithSources(sdist):
    """An sdist that builds: the project's sources go into _project/, and
    LICENSE is a file, not the link this directory holds."""

    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        base = Path(base_dir)
        license_file = base / "LICENSE"
        if license_file.is_symlink() or not license_file.exists():
            license_file.unlink(missing_ok=True)
            shutil.copyfile(PROJECT / "LICENSE", license_file)
        target = base / "_project"
        if target.exists():
            shutil.rmtree(target)
        target.mkdir()
        for name in PROJECT_FILES:
            shutil.copyfile(PROJECT / name, target / name)
        for name in PROJECT_DIRS:
            shutil.copytree(PROJECT / name, target / name, ignore=LEFT_OUT)
        python = target / "python"
        python.mkdir()
        source = PROJECT / "python" if PROJECT != BUNDLED else BUNDLED / "python"
        for name in PYTHON_FILES:
            shutil.copyfile(source / name, python / name)
        shutil.copytree(source / "vantrel", python / "vantrel", ignore=LEFT_OUT)


def _have(program):
    return any((Path(p) / program).exists()
               for p in os.environ.get("PATH", "").split(os.pathsep))


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("vantrel._vantrel")],
    cmdclass={"build_ext": CMakeBuild, "sdist": SdistWithSources},
    zip_safe=False,
)

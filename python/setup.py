"""Builds the extension module with the project's own CMake build.

The package's Python files are in vantrel/; the module vantrel._vantrel is
the CMake target vantrel_python of the project one directory up, configured
with only what it needs and written straight into the wheel's directory.
"""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
PROJECT = HERE.parent


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


def _have(program):
    return any((Path(p) / program).exists()
               for p in os.environ.get("PATH", "").split(os.pathsep))


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("vantrel._vantrel")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)

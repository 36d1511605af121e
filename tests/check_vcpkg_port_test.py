#!/usr/bin/python3
"""The vcpkg port's static checks (manifest and portfile) against the port
itself (no error) and against copies of it with one fault each (that fault
reported). The build and install are check_vcpkg_port.py's own test.

    check_vcpkg_port_test.py <source dir>
"""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_vcpkg_port  # noqa: E402

SOURCE_DIR = None

# (fault, file, text replaced (first occurrence), replacement, error expected)
CASES = [
    ("an option the project does not have",
     "portfile.cmake", "-DVANTREL_BUILD_TESTS=OFF",
     "-DVANTREL_BUILD_TESTS=OFF\n    -DVANTREL_BUILD_DOCS=OFF",
     "passes -DVANTREL_BUILD_DOCS, which the project does not have"),
    ("an option of the project left to its default",
     "portfile.cmake", "    -DVANTREL_BUILD_BENCH=OFF\n", "",
     "does not decide the project's option VANTREL_BUILD_BENCH"),
    ("the Debug sub-build of a Windows release build left on",
     "portfile.cmake", "    -DVANTREL_DEBUG_CONFIGURATION=OFF\n", "",
     "does not decide the project's option VANTREL_DEBUG_CONFIGURATION"),
    ("static linkage allowed",
     "portfile.cmake", "vcpkg_check_linkage(ONLY_DYNAMIC_LIBRARY)",
     "# vcpkg_check_linkage(ONLY_DYNAMIC_LIBRARY)",
     "no vcpkg_check_linkage(ONLY_DYNAMIC_LIBRARY)"),
    ("the CMake package where the fixup does not look",
     "portfile.cmake", "-DVANTREL_INSTALL_CMAKEDIR=share/vantrel",
     "-DVANTREL_INSTALL_CMAKEDIR=lib/cmake/Vantrel",
     "installed in lib/cmake/Vantrel, the fixup reads share/vantrel"),
    ("no config fixup",
     "portfile.cmake", "vcpkg_cmake_config_fixup(PACKAGE_NAME vantrel)", "",
     "no vcpkg_cmake_config_fixup()"),
    ("a copyright file that does not exist",
     "portfile.cmake", '"${SOURCE_PATH}/LICENSE"', '"${SOURCE_PATH}/COPYING"',
     "copyright file COPYING does not exist"),
    ("the usage file not installed",
     "portfile.cmake", '"${CMAKE_CURRENT_LIST_DIR}/usage"', '"${CMAKE_CURRENT_LIST_DIR}/README"',
     "does not install the usage file"),
    ("usage naming a target that is not exported",
     "usage", "Vantrel::vantrel", "vantrel::vantrel",
     "usage: does not say Vantrel::vantrel"),
    ("a version that is not the project's",
     "vcpkg.json", '"version": "1.0.0"', '"version": "1.0.1"',
     "version 1.0.1, the project's is 1.0.0"),
    ("a name that is not the folder's",
     "vcpkg.json", '"name": "vantrel"', '"name": "Vantrel"',
     "name 'Vantrel' is not the port folder's 'vantrel'"),
    ("a licence that is not LICENSE's",
     "vcpkg.json", '"license": "MIT"', '"license": "BSD-3-Clause"',
     "license 'BSD-3-Clause', LICENSE says 'MIT'"),
    ("a helper that is not a host tool",
     "vcpkg.json", '{"name": "vcpkg-cmake", "host": true}', '{"name": "vcpkg-cmake"}',
     "vcpkg-cmake is not a host dependency"),
    ("no supports expression",
     "vcpkg.json", '"supports"', '"x-supports"',
     "vcpkg.json: no supports"),
    ("a manifest that does not parse",
     "vcpkg.json", '"license": "MIT",', '"license": "MIT"',
     "vcpkg.json: Expecting"),
]


def static_errors(port_dir):
    errors = []
    check_vcpkg_port.check_manifest(port_dir, SOURCE_DIR, errors)
    check_vcpkg_port.check_portfile(port_dir, SOURCE_DIR, errors)
    return errors


class PortCheck(unittest.TestCase):
    def test_the_port_passes(self):
        port_dir = os.path.join(SOURCE_DIR, "ports", check_vcpkg_port.PORT)
        self.assertEqual(static_errors(port_dir), [])

    def test_each_fault_is_reported(self):
        for fault, name, old, new, expected in CASES:
            with self.subTest(fault), tempfile.TemporaryDirectory() as scratch:
                port_dir = os.path.join(scratch, check_vcpkg_port.PORT)
                shutil.copytree(os.path.join(SOURCE_DIR, "ports", check_vcpkg_port.PORT), port_dir)
                path = os.path.join(port_dir, name)
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn(old, text, "the port no longer has what this case changes")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(old, new, 1))
                errors = static_errors(port_dir)
                self.assertTrue(any(expected in e for e in errors),
                                "expected %r among %s" % (expected, errors))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    SOURCE_DIR = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)

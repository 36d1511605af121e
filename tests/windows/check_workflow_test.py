#!/usr/bin/python3
"""The workflow check against the workflow itself (no error) and against
copies of it with one fault each (that fault reported).

    check_workflow_test.py <source dir> <workflow file>
"""
import os
import sys
import unittest

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_workflow  # noqa: E402

SOURCE_DIR = WORKFLOW_FILE = None

# (fault, text replaced (first occurrence), replacement, error expected)
CASES = [
    ("needs a job that does not exist",
     "needs: linux-zip", "needs: linux-zips",
     "needs linux-zips, which does not exist"),
    ("an upload that finds nothing passes",
     "if-no-files-found: error", "if-no-files-found: warn",
     "without if-no-files-found: error"),
    ("an upload of an expression's path",
     "path: build/windows-msvc/packages/*.zip",
     "path: ${{ env.VANTREL_ZIP_PREFIX }}/packages/*.zip",
     "not a path in the checkout"),
    ("a download nobody uploads",
     "name: vantrel-win64-msvc-zip\n          path: zip",
     "name: vantrel-win64-zip\n          path: zip",
     "downloads vantrel-win64-zip, which no job it needs uploads"),
    ("PowerShell that goes on after a failing program",
     "$PSNativeCommandUseErrorActionPreference = $true\n          cmake --install",
     "cmake --install",
     "does not begin with $PSNativeCommandUseErrorActionPreference"),
    ("a step in cmd",
     "      - name: Configure\n        run:",
     "      - name: Configure\n        shell: cmd\n        run:",
     "runs in cmd"),
    ("dumpbin that may examine nothing",
     "& .\\tests\\windows\\dumpbin_check.ps1 -Path build\\msvc-native\\prefix\\bin\\Vantrel.dll -Exports",
     "dumpbin /exports build\\msvc-native\\prefix\\bin\\Vantrel.dll",
     "dumpbin without dumpbin_check.ps1"),
    ("a test preset that does not exist",
     "ctest --preset msvc-native-release", "ctest --preset msvc-native-relase",
     "test preset msvc-native-relase does not exist"),
    ("a build preset that does not exist",
     "cmake --build --preset msvc-native-debug", "cmake --build --preset msvc-debug",
     "build preset msvc-debug does not exist"),
    ("a path that does not exist",
     "-S tests\\windows\\consumer", "-S tests\\windows\\consumers",
     "path tests/windows/consumers does not exist"),
    ("msvc-native on the moving image only",
     "image: [windows-2022, windows-latest]", "image: [windows-latest]",
     "needs a pinned Windows image and windows-latest"),
    ("a runner image GitHub does not have",
     "runs-on: windows-latest", "runs-on: windows-2019",
     "runs on windows-2019, not one of GitHub's images"),
    ("an action without a version",
     "uses: ilammy/msvc-dev-cmd@v1", "uses: ilammy/msvc-dev-cmd",
     "uses ilammy/msvc-dev-cmd without a version"),
    ("an overlay without the port",
     "--overlay-ports=ports", "--overlay-ports=port",
     "vcpkg port vantrel has no vcpkg.json in port"),
]


class WorkflowCheck(unittest.TestCase):
    def setUp(self):
        with open(WORKFLOW_FILE, encoding="utf-8") as f:
            self.text = f.read()

    def test_the_workflow_passes(self):
        errors, counts = check_workflow.check(SOURCE_DIR, yaml.safe_load(self.text))
        self.assertEqual(errors, [])
        self.assertGreater(counts["presets"], 0)
        self.assertGreater(counts["paths"], 0)
        self.assertGreater(counts["ports"], 0)

    def test_each_fault_is_reported(self):
        for fault, old, new, expected in CASES:
            with self.subTest(fault):
                self.assertIn(old, self.text, "the workflow no longer has what this case changes")
                faulty = yaml.safe_load(self.text.replace(old, new, 1))
                errors, _ = check_workflow.check(SOURCE_DIR, faulty)
                self.assertTrue(any(expected in e for e in errors),
                                "expected %r among %s" % (expected, errors))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    SOURCE_DIR, WORKFLOW_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)

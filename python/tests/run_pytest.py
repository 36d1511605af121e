"""Runs the package's tests with pytest, for CTest: exits 77 (which CTest
counts as skipped) with the reason when this interpreter has no pytest."""
import sys


def main():
    try:
        import pytest
    except ImportError:
        print(f"skipped: {sys.executable} has no pytest (configure with "
              "-DPython3_EXECUTABLE=/usr/bin/python3 for Debian's python3-pytest)")
        return 77
    return pytest.main(sys.argv[1:])


# The tests start processes that import this script again.
if __name__ == "__main__":
    sys.exit(main())

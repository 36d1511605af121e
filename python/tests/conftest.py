"""Shared fixtures: the tool built beside the package, the source tree."""

import os
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("VANTREL_SOURCE_DIR", Path(__file__).parents[2]))
EXAMPLES = SOURCE / "examples"


@pytest.fixture(scope="session")
def tool():
    """Runs the vantrel tool: tool(args..., input=bytes) -> stdout bytes."""
    path = os.environ.get("VANTREL_TOOL")
    if not path:
        pytest.skip("VANTREL_TOOL is not set (CTest sets it)")

    def run(*args, data=b""):
        return subprocess.run([path, *args], input=data, capture_output=True,
                              check=False).stdout

    return run


def example_texts():
    """(name, text, JSON path) of every bundled example."""
    for text in sorted(EXAMPLES.glob("*.txt")):
        if not text.with_suffix(".json").exists():
            continue  # CMakeLists.txt
        yield text.stem, text.read_text().rstrip("\n"), text.with_suffix(".json")

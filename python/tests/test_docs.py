"""The examples of the docs and docstrings run as written, and a user's
script type-checks under mypy --strict."""

import doctest
import os
import shutil
import subprocess
import sys

import pytest

import vantrel

from conftest import SOURCE


def test_docstrings():
    failures, tried = doctest.testmod(vantrel, extraglobs={"vantrel": vantrel})
    assert tried > 5 and failures == 0


def test_python_md(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    failures, tried = doctest.testfile(str(SOURCE / "docs" / "python.md"),
                                       module_relative=False,
                                       optionflags=doctest.ELLIPSIS)
    assert tried > 10 and failures == 0


def test_migration_example(tmp_path):
    script = SOURCE / "python" / "examples" / "migrate_store.py"
    store = tmp_path / "store.jsonl"
    rows = [{"id": "r1", "text": (SOURCE / "examples" / "average_response_time.txt").read_text().rstrip("\n")},
            {"id": 7, "text": "--#--Alert--#----{--old--}----{--Location_Name==London--}--"},
            {"id": "bad", "text": "--#--n--#----{--d--}----{--k--}--"}]
    store.write_text("".join(__import__("json").dumps(r) + "\n" for r in rows))
    out = subprocess.run([sys.executable, str(script), str(store)],
                         capture_output=True, text=True, check=True, env=dict(os.environ))
    lines = [__import__("json").loads(l) for l in out.stdout.splitlines()]
    assert [l["id"] for l in lines] == ["r1", 7, "bad"]
    assert "Site_Name" in lines[0]["text"] and "Location_Name" not in lines[0]["text"]
    assert lines[1]["text"] == rows[1]["text"]  # its detail does not ask for it
    assert lines[2]["text"] == rows[2]["text"]  # kept as it was
    assert "bad" in out.stderr


@pytest.mark.skipif(shutil.which("mypy") is None and
                    subprocess.run([sys.executable, "-m", "mypy", "--version"],
                                   capture_output=True).returncode != 0,
                    reason="mypy is not installed")
def test_mypy_strict(tmp_path):
    package = os.path.dirname(vantrel.__file__)
    env = dict(os.environ, MYPYPATH=os.path.dirname(package))
    run = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
         "--cache-dir", str(tmp_path),
         "-p", "vantrel"],
        capture_output=True, text=True, env=env, cwd=tmp_path)
    assert run.returncode == 0, run.stdout + run.stderr
    for script in sorted((SOURCE / "python" / "examples").glob("*.py")):
        run = subprocess.run(
            [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
             "--cache-dir", str(tmp_path), str(script)],
            capture_output=True, text=True, env=env, cwd=tmp_path)
        assert run.returncode == 0, run.stdout + run.stderr

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


needs_source = pytest.mark.skipif(
    not (SOURCE / "docs" / "python.md").exists(),
    reason="the source tree is not at hand (VANTREL_SOURCE_DIR)")


@needs_source
def test_python_md(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    failures, tried = doctest.testfile(str(SOURCE / "docs" / "python.md"),
                                       module_relative=False,
                                       optionflags=doctest.ELLIPSIS)
    assert tried > 10 and failures == 0


# The example script on a store of every kind of line: a rule it renames, a
# rule that does not ask for it, a lossy rule (both joiners), a rejected
# rule, a line that is not JSON, CRLF, and a last line without a line break.
MIGRATION_CASES = [
    # (line as stored, line expected out, named on standard error)
    ('{"id": "r1", "text": "--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}--", "owner": "ops"}\n',
     '{"id": "r1", "text": "--#--Average_ResponseTime--#----{--rt--}----{--Site_Name==London--}--", "owner": "ops"}\n',
     False),
    ('{"id": 7, "text": "--#--Alert--#----{--old--}----{--Location_Name==London--}--"}\n', None, False),
    ('{"id": 8, "text": "--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}-- @@AND@@ '
     '--#--Error_Rate--#----{--e--}----{--Times==3--}-- @@OR@@ --#--Max_ResponseTime--#----{--rt--}----{--Location_Name==Paris--}--"}\n',
     None, True),
    ('{"id": "bad", "text": "--#--n--#----{--d--}----{--k--}--"}\r\n', None, True),
    ("not a row\n", None, True),
    ('{"id":9,"text":"--#--Max_ResponseTime--#----{--caf\\u00e9--}----{--Location_Name==x--}--"}',
     '{"id": 9, "text": "--#--Max_ResponseTime--#----{--caf\\u00e9--}----{--Site_Name==x--}--"}',
     False),
]


@needs_source
def test_migration_example(tmp_path):
    script = SOURCE / "python" / "examples" / "migrate_store.py"
    store = tmp_path / "store.jsonl"
    store.write_bytes("".join(line for line, _, _ in MIGRATION_CASES).encode())
    out = subprocess.run([sys.executable, str(script), str(store)],
                         capture_output=True, check=False, env=dict(os.environ))
    assert out.returncode == 1, out.stderr  # some rule kept its old text
    expected = "".join(line if new is None else new for line, new, _ in MIGRATION_CASES)
    assert out.stdout.decode() == expected
    named = [n for n, (_, _, said) in enumerate(MIGRATION_CASES, 1) if said]
    assert [int(l.split()[1].rstrip(",:")) for l in out.stderr.decode().splitlines()] == named


@pytest.mark.skipif(shutil.which("mypy") is None and
                    subprocess.run([sys.executable, "-m", "mypy", "--version"],
                                   capture_output=True).returncode != 0,
                    reason="mypy is not installed")
def test_mypy_strict(tmp_path):
    # The package's typed files, copied beside nothing else: mypy refuses a
    # MYPYPATH that is a site-packages directory (an installed package),
    # and the copy is checked alike wherever the package is.
    package = os.path.dirname(vantrel.__file__)
    typed = tmp_path / "typed"
    shutil.copytree(package, typed / "vantrel",
                    ignore=shutil.ignore_patterns("*.so", "*.pyd", "__pycache__"))
    env = dict(os.environ, MYPYPATH=str(typed))
    run = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
         "--cache-dir", str(tmp_path / "cache"),
         "-p", "vantrel"],
        capture_output=True, text=True, env=env, cwd=tmp_path)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "2 source files" in run.stdout
    for script in sorted((SOURCE / "python" / "examples").glob("*.py")):
        run = subprocess.run(
            [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
             "--cache-dir", str(tmp_path / "cache"), str(script)],
            capture_output=True, text=True, env=env, cwd=tmp_path)
        assert run.returncode == 0, run.stdout + run.stderr

#!/usr/bin/env python3
"""Runs one command-line case of the vantrel tool and checks what it did.

A case is a text file in tests/cases/ (see tests/cases/README.md):

    # What the case shows.
    $ vantrel parse {data}/rejected_middle.txt
    ? 1
    --- stderr
    vantrel parse: piece 2 (at byte 79) is rejected: ...

usage: run_cli_case.py TOOL CASE_FILE EXAMPLES_DIR DATA_DIR SCRATCH_DIR
"""
import codecs
import os
import pwd
import stat
import shlex
import shutil
import subprocess
import sys


def parse_case(path):
    command, code, sections = None, None, []
    current = None
    with open(path, encoding="utf-8") as case:
        for line in case.read().split("\n"):
            if current is None and (line.startswith("#") or not line.strip()):
                continue
            if line.startswith("$ "):
                command = line[2:]
            elif line.startswith("? "):
                code = int(line[2:])
            elif line.startswith("--- "):
                words = line[4:].split()
                current = {"name": words[0], "args": words[1:], "lines": []}
                sections.append(current)
            elif current is not None:
                current["lines"].append(line)
            else:
                sys.exit(f"{path}: unexpected line: {line!r}")
    if command is None or code is None:
        sys.exit(f"{path}: needs a '$ command' line and a '? exit-code' line")
    return command, code, sections


def fill(text, places):
    for key, value in places.items():
        text = text.replace("{" + key + "}", value)
    return text


def section_bytes(section, places):
    """The bytes a section stands for, and how to compare them."""
    args = list(section["args"])
    if section["name"] in ("file", "given"):
        args = args[1:]  # the file name
    if args and args[0] == "file":
        with open(fill(args[1], places), "rb") as source:
            return source.read(), "exact"
    lines = section["lines"]
    while lines and lines[-1] == "":
        lines = lines[:-1]
    text = "\n".join(lines) + ("\n" if lines else "")
    if "noeol" in args:
        text = text[:-1] if text.endswith("\n") else text
    data = fill(text, places).encode("utf-8")
    if "escapes" in args:
        data = codecs.escape_decode(data)[0]
    return data, "contains" if "contains" in args else "exact"


# The exit code that tells CTest a case was skipped (SKIP_RETURN_CODE).
SKIPPED = 77


def set_up(sections, work, places):
    """Makes what the case's sections ask for before the run; returns the
    user to run as (None: the caller), or exits SKIPPED when it cannot."""
    user = None
    for section in sections:
        if section["name"] == "given":
            content, _ = section_bytes(section, places)
            with open(os.path.join(work, section["args"][0]), "wb") as given:
                given.write(content)
    for section in sections:
        name, args = section["name"], section["args"]
        if name == "symlink":
            os.symlink(fill(args[1], places), os.path.join(work, args[0]))
        elif name == "mode":
            os.chmod(os.path.join(work, args[0]), int(args[1], 8))
        elif name == "device":
            # A character device like /dev/null, made where mknod is allowed.
            try:
                os.mknod(os.path.join(work, args[0]), 0o666 | stat.S_IFCHR,
                         os.stat("/dev/null").st_rdev)
            except PermissionError:
                print("skipped: mknod is not permitted here")
                sys.exit(SKIPPED)
        elif name == "unprivileged" and os.geteuid() == 0:
            try:
                user = pwd.getpwnam("nobody")
            except KeyError:
                print("skipped: no user 'nobody' to run as")
                sys.exit(SKIPPED)
            os.chown(work, user.pw_uid, user.pw_gid)
    return user


def check_kept(sections, work):
    """What must still hold after the run: links stay links to the same
    target, modes stay, devices stay devices."""
    failures = []
    for section in sections:
        name, args = section["name"], section["args"]
        path = os.path.join(work, args[0]) if args else None
        if name == "symlink":
            if not os.path.islink(path):
                failures.append(f"{path} is no longer a symbolic link")
            elif os.readlink(path) != args[1]:
                failures.append(f"{path} now leads to {os.readlink(path)}")
        elif name == "mode":
            mode = stat.S_IMODE(os.lstat(path).st_mode)
            if mode != int(args[1], 8):
                failures.append(f"{path} has mode {mode:o}, not {args[1]}")
        elif name == "device":
            if not stat.S_ISCHR(os.lstat(path).st_mode):
                failures.append(f"{path} is no longer a character device")
    leftovers = [name for name in os.listdir(work) if ".vantrel-" in name]
    if leftovers:
        failures.append(f"temporary files left: {leftovers}")
    return failures


def matches(got, want, how):
    if how == "exact":
        return got == want
    return all(line in got for line in want.split(b"\n") if line)


def main():
    tool, case_path, examples, data, scratch = map(os.path.abspath, sys.argv[1:6])
    name = os.path.splitext(os.path.basename(case_path))[0]
    work = os.path.join(scratch, name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    places = {"examples": examples, "data": data, "tmp": work}
    command, want_code, sections = parse_case(case_path)

    user = set_up(sections, work, places)
    as_user = {} if user is None else {
        "user": user.pw_uid, "group": user.pw_gid, "extra_groups": []}
    stdin = b""
    for section in sections:
        if section["name"] == "stdin":
            stdin, _ = section_bytes(section, places)

    # "a | b": each stage reads the one before; all but the last must exit 0.
    out, err, code = stdin, b"", None
    for stage in fill(command, places).split(" | "):
        argv = shlex.split(stage)
        if argv[0] != "vantrel":
            sys.exit(f"{case_path}: a stage must start with 'vantrel': {stage}")
        if code not in (None, 0):
            break
        run = subprocess.run([tool] + argv[1:], input=out, capture_output=True,
                             cwd=work, check=False, **as_user)
        out, code = run.stdout, run.returncode
        err += run.stderr

    report = (f"$ {command}\n--- exit code: {code}\n--- stdout:\n"
              f"{out.decode('utf-8', 'backslashreplace')}\n--- stderr:\n"
              f"{err.decode('utf-8', 'backslashreplace')}")
    failures = check_kept(sections, work)
    if code != want_code:
        failures.append(f"exit code {code}, expected {want_code}")
    wanted = {"stdout": (b"", "exact"), "stderr": (b"", "exact")}
    for section in sections:
        if section["name"] in wanted:
            wanted[section["name"]] = section_bytes(section, places)
    for stream, got in (("stdout", out), ("stderr", err)):
        want, how = wanted[stream]
        if not matches(got, want, how):
            failures.append(f"{stream} is not as expected ({how}):\n"
                            f"{want.decode('utf-8', 'backslashreplace')}")
    for section in sections:
        if section["name"] == "file":
            path = os.path.join(work, section["args"][0])
            want, how = section_bytes(section, places)
            got = open(path, "rb").read() if os.path.exists(path) else None
            if section["args"][1:2] == ["absent"]:
                if got is not None:
                    failures.append(f"{path} should not exist")
            elif got is None or not matches(got, want, how):
                failures.append(f"{path} is not as expected ({how}):\n"
                                f"{want.decode('utf-8', 'backslashreplace')}")
    if failures:
        print(report)
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

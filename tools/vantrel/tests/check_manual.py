#!/usr/bin/env python3
"""The manual page names every option that `vantrel CMD --help` lists.

usage: check_manual.py VANTREL MANUAL
"""
import re
import subprocess
import sys


def main():
    tool, manual = sys.argv[1], sys.argv[2]
    with open(manual, encoding="utf-8") as page:
        text = page.read().replace("\\-", "-").replace("\\fB", "").replace("\\fR", "")
    missing = []
    for command in ("parse", "format", "check", "edit"):
        help_text = subprocess.run([tool, command, "--help"], check=True,
                                   capture_output=True, text=True).stdout
        for option in sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", help_text))):
            if not re.search(re.escape(option) + r"(?![a-z-])", text):
                missing.append(f"{command} {option}")
    if missing:
        print("not in the manual page: " + ", ".join(missing))
        return 1
    print("the manual page names every option of --help")
    return 0


if __name__ == "__main__":
    sys.exit(main())

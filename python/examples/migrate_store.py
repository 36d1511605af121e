#!/usr/bin/env python3
"""A migration of a rule store: rename a parameter key where another field
says so, and keep every rule, with its id and its place, whatever becomes
of it.

The store is JSON Lines, one {"id": ..., "text": ...} per rule (as
`vantrel parse --batch jsonl` reads them; other members are kept). Every
condition named *_ResponseTime gets its "Location_Name" key renamed to
"Site_Name". vantrel.rewrite_many decides what is written for each rule:
the new text only when the stored text reads back whole and the edited
records do too; otherwise the stored text, byte for byte, and the rule is
named on standard error. A line that is not such a JSON object is copied as
it is and named too.

Exit status: 0 when every rule was rewritten or unchanged, 1 when some rule
kept its old text (every rule is still in the output), 2 for a usage error.

usage: migrate_store.py STORE.jsonl > NEW.jsonl
"""
from __future__ import annotations

import json
import sys
from typing import Any, Dict, Iterator, List, Optional, Tuple

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, CheckResult, DefinitionParam

USAGE = "usage: migrate_store.py STORE.jsonl > NEW.jsonl"

# What rewrite_many carries as the id of each line: its number, the line as
# read, and the row it holds (None for a line that is not a rule's row).
Line = Tuple[int, str, Optional[Dict[str, Any]]]


def rename(defs: AlertDefinitions[str]) -> None:
    """The edit: renames the key in place."""
    for condition in defs.definitions:
        if condition.name.endswith("_ResponseTime"):
            for param in condition.params:
                if param.key == "Location_Name":
                    param.key = "Site_Name"


def read(path: str) -> Iterator[Tuple[Line, str]]:
    """(line, text) of every line of the store, in order; a line that holds
    no rule's row goes with an empty text, which no edit changes."""
    with open(path, encoding="utf-8", errors="surrogateescape", newline="\n") as store:
        for number, line in enumerate(store, 1):
            try:
                row = json.loads(line)
            except ValueError:
                row = None
            if not (isinstance(row, dict) and isinstance(row.get("text"), str)):
                yield (number, line, None), ""
                continue
            yield (number, line, row), row["text"]


def migrate(path: str, out: Any, log: Any) -> int:
    """Writes the migrated store to `out`, names on `log` every line that
    kept its old text; gives the exit status."""
    status = 0
    for result in vantrel.rewrite_many(read(path), rename):
        (number, line, row) = result.id
        if row is None:
            out.write(line)
            print(f"line {number}: not a rule's row, copied as it is", file=log)
            status = 1
            continue
        if result.status in ("kept", "refused"):
            print(f"line {number}, rule {json.dumps(row.get('id'))}: "
                  f"{result.status}: {result.reason}", file=log)
            status = 1
        if result.changed:
            row["text"] = result.text
            end = line[len(line.rstrip("\r\n")):]
            out.write(json.dumps(row) + end)
        else:
            out.write(line)  # byte for byte, as it was
    return status


def self_check() -> None:
    """The rest of the API, as a script might use it."""
    param: DefinitionParam[str] = DefinitionParam("Site_Name", ["Paris"])
    defs = AlertDefinitions([AlertDefinition("Average_ResponseTime", "response time", [param])])
    text: str = vantrel.format(defs, kind="func", strict=True)
    assert vantrel.parse(text, kind="func", whole=True) == defs
    raw: bytes = vantrel.format(vantrel.parse(text.encode()))
    assert raw == text.encode()
    results: List[CheckResult] = list(vantrel.check_many([text, defs]))
    assert all(r.ok for r in results)
    try:
        vantrel.parse(text.replace("==", ""))
    except vantrel.ParseError as error:
        assert error.piece == 1 and error.partial.definitions == []
    assert AlertDefinitions.from_dict(defs.to_dict()) == defs
    one: vantrel.Rewrite[str] = vantrel.rewrite(text, rename, id="r1")
    assert one.status == "unchanged" and one.text is text
    assert vantrel.__version__


def main(argv: List[str]) -> int:
    if len(argv) != 2:
        print(USAGE, file=sys.stderr)
        return 2
    self_check()
    # The store's bytes that are not UTF-8 go out as they came in.
    with open(sys.stdout.fileno(), "w", encoding="utf-8", errors="surrogateescape",
              newline="", closefd=False) as out:
        return migrate(argv[1], out, sys.stderr)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

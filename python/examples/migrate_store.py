#!/usr/bin/env python3
"""A migration of a rule store: rename a parameter key where another field
says so, and keep every rule, with its id, whatever becomes of it.

The store is JSON Lines, one {"id": ..., "text": ...} per rule (as
`vantrel parse --batch jsonl` reads them). Every condition named
*_ResponseTime gets its "Location_Name" key renamed to "Site_Name". A rule
whose new text would not come back unchanged, and a rule the library
rejects, keep their old text; each is named on standard error.

usage: migrate_store.py STORE.jsonl > NEW.jsonl
"""
from __future__ import annotations

import json
import sys
from typing import Iterator, List, Tuple, Union

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, CheckResult, DefinitionParam

Id = Union[str, int]


def rename(defs: AlertDefinitions[str]) -> bool:
    """Renames the key in place; True when anything changed."""
    changed = False
    for condition in defs.definitions:
        if not condition.name.endswith("_ResponseTime"):
            continue
        for param in condition.params:
            if param.key == "Location_Name":
                param.key = "Site_Name"
                changed = True
    return changed


def read(path: str) -> Iterator[Tuple[Id, str]]:
    with open(path, encoding="utf-8", errors="surrogateescape") as store:
        for line in store:
            row = json.loads(line)
            yield row["id"], row["text"]


def migrate(path: str) -> Iterator[Tuple[Id, str, str]]:
    """(id, text, what happened) of every rule, in the store's order."""
    rules = list(read(path))
    for (rule_id, text), defs in zip(
        rules, vantrel.parse_many((t for _, t in rules), partial=True)
    ):
        if not defs.complete:
            assert defs.rejection is not None
            yield rule_id, text, f"kept: {defs.rejection}"
            continue
        if not rename(defs):
            yield rule_id, text, "unchanged"
            continue
        verdict: CheckResult = vantrel.check(defs)
        if not verdict.ok:
            yield rule_id, text, f"kept: {verdict.problems[0]['path']}: {verdict.problems[0]['cause']}"
            continue
        yield rule_id, vantrel.format(defs), "renamed"


def self_check() -> None:
    """The rest of the API, as a script might use it."""
    param: DefinitionParam[str] = DefinitionParam("Site_Name", ["Paris"])
    defs = AlertDefinitions([AlertDefinition("Average_ResponseTime", "response time", [param])])
    text: str = vantrel.format(defs, kind="func")
    assert vantrel.parse(text, kind="func") == defs
    raw: bytes = vantrel.format(vantrel.parse(text.encode()))
    assert raw == text.encode()
    results: List[CheckResult] = list(vantrel.check_many([text, defs]))
    assert all(r.ok for r in results)
    try:
        vantrel.parse(text.replace("==", ""))
    except vantrel.ParseError as error:
        assert error.piece == 1 and error.partial.definitions == []
    assert AlertDefinitions.from_dict(defs.to_dict()) == defs
    assert vantrel.__version__


def main() -> int:
    self_check()
    for rule_id, text, what in migrate(sys.argv[1]):
        print(json.dumps({"id": rule_id, "text": text}))
        if what.startswith("kept"):
            print(f"rule {json.dumps(rule_id)}: {what}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

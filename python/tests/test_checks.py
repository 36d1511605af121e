"""Checks as the tool reports them, the round-trip property, threads and
large texts."""

import json
import os
import random
import threading
import time

from hypothesis import given, settings, strategies as st

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, DefinitionParam

from conftest import EXAMPLES, example_texts

# Field text drawn from the pieces of the marks and joiners, so that many
# record sets hold a mark, a joiner or half of one.
PIECES = ["-", "--", "#", "{", "}", ";", ",", "=", "==", "@@", "AND", "OR",
          " ", "x", "é", "--}--", "--,--", "--;--", "@@AND@@", "@@OR@@"]
fields = st.lists(st.sampled_from(PIECES), max_size=4).map("".join)
params = st.builds(DefinitionParam, fields, st.lists(fields, max_size=3))
records = st.builds(AlertDefinitions,
                    st.lists(st.builds(AlertDefinition, fields, fields,
                                       st.lists(params, max_size=3)), max_size=3),
                    st.sampled_from([0, 1, None]))


@settings(max_examples=400, deadline=None)
@given(records, st.sampled_from(["func", "filter"]))
def test_check_ok_is_exactly_the_round_trip(defs, kind):
    try:
        back = vantrel.parse(vantrel.format(defs, kind=kind), kind=kind)
        same = back == defs
    except vantrel.ParseError:
        same = False
    result = vantrel.check(defs, kind=kind)
    assert result.ok == same
    assert result.ok == (result.problems == [])
    if not result.ok:
        assert result.status == "lossy"
        assert all(p["path"] and p["cause"] for p in result.problems)


def random_texts(count, seed=7):
    """Texts of random records (many with marks in their fields), mangled
    now and then by a cut."""
    rng = random.Random(seed)
    texts = []
    for _ in range(count):
        defs = AlertDefinitions(
            [AlertDefinition("".join(rng.choices(PIECES, k=rng.randrange(3))),
                             "".join(rng.choices(PIECES, k=rng.randrange(3))),
                             [DefinitionParam("".join(rng.choices(PIECES, k=rng.randrange(3))),
                                              ["".join(rng.choices(PIECES, k=rng.randrange(3)))
                                               for _ in range(rng.randrange(3))])
                              for _ in range(rng.randrange(3))])
             for _ in range(rng.randrange(1, 4))],
            rng.choice([0, 1, None]))
        text = vantrel.format(defs)
        if rng.random() < 0.2:
            text = text[:rng.randrange(len(text) + 1)]
        texts.append(text)
    return texts


def tool_rows(tool, command, texts):
    out = tool(command, "--batch", "lines", "-",
               data="".join(t + "\n" for t in texts).encode())
    return [json.loads(line) for line in out.splitlines()]


def test_parse_equals_the_tools_parse(tool):
    texts = random_texts(600)
    rows = tool_rows(tool, "parse", texts)
    assert len(rows) == len(texts)
    for text, row, defs in zip(texts, rows, vantrel.parse_many(texts, partial=True)):
        if row["status"] == "rejected":
            assert not defs.complete and defs.rejection.piece == row["piece"]
            assert defs.rejection.offset == row["offset"]
        else:
            assert defs.complete
            assert defs.to_dict() == {"combination": row["combination"],
                                      "definitions": row["definitions"]}, text


def test_text_checks_are_the_tools_reports(tool):
    texts = random_texts(600, seed=11)
    rows = tool_rows(tool, "check", texts)
    statuses = set()
    for text, row, result in zip(texts, rows, vantrel.check_many(texts)):
        del row["id"]
        statuses.add(result.status)
        assert result.status == row["status"]
        if result.ok:
            assert result.report == {"status": "ok", "conditions": len(vantrel.parse(text).definitions)}
        else:
            assert result.report == row, text
    assert statuses == {"ok", "lossy", "rejected"}


def test_lines_are_the_tools(tool):
    text = (EXAMPLES / "average_response_time.txt").read_text().rstrip("\n") + " @@OR@@ x"
    result = vantrel.check(text)
    assert result.status == "lossy"
    assert str(result) == tool("check", "-", data=text.encode()).decode()
    assert result.report == json.loads(tool("check", "--json", "-", data=text.encode()))
    assert result.difference["offset"] == result.report["difference"]["offset"]
    assert [c["kind"] for c in result.causes] == [c["kind"] for c in result.report["causes"]]


def test_max_causes():
    text = " @@AND@@ ".join(["--#--a--#----{----}----}-- x"] * 30)
    assert len(vantrel.check(text).causes) == vantrel.DEFAULT_MAX_CAUSES
    limited = vantrel.check(text, max_causes=2)
    assert len(limited.causes) == 2 and limited.report["more_causes"] > 0


def test_records_problems_by_path():
    defs = AlertDefinitions([AlertDefinition("n", "d", [DefinitionParam("k", ["a--,--b"])])], 1)
    problem = vantrel.check(defs).problems[0]
    assert problem["path"] == "definitions[0].params[0].values[0]"
    assert problem["written"] == "a--,--b"


CONDITION = ("--#--Average_ResponseTime--#----{--response time--}----{--"
             "Transaction_Name==Login--,--Checkout--;--Location_Name==London--;--Times==3--}--")


def typical_store(count):
    texts = [text for _, text, _ in example_texts()]
    return [texts[i % len(texts)].replace("Login", f"Login{i}") for i in range(count)]


def test_many_in_order_and_alike():
    store = typical_store(1500) + ["x @@OR@@ y"]
    results = list(vantrel.check_many(iter(store)))
    assert [r.status for r in results] == [vantrel.check(t).status for t in store]
    assert [d.definitions[0].params for d in vantrel.parse_many(store[:600])] == \
        [vantrel.parse(t).definitions[0].params for t in store[:600]]
    mixed = list(vantrel.check_many([store[0], vantrel.parse(store[0]), store[0].encode()]))
    assert all(r.ok for r in mixed)


def test_two_threads_check_two_stores():
    stores = [typical_store(3000), [t + " " for t in typical_store(3000)]]
    expected = [[r.status for r in vantrel.check_many(s)] for s in stores]
    got = [None, None]

    def work(i):
        got[i] = [r.status for r in vantrel.check_many(stores[i])]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == expected and set(got[1]) == {"lossy"}


def test_the_library_works_without_the_gil():
    # One long check in a thread; this thread keeps running meanwhile only
    # if the module released the GIL (otherwise it would wait the whole
    # check through).
    text = " @@AND@@ ".join([CONDITION] * 150000)
    done = threading.Event()
    took = []

    def work():
        start = time.perf_counter()
        assert vantrel.check(text).ok
        took.append(time.perf_counter() - start)
        done.set()

    worker = threading.Thread(target=work)
    last, longest = time.perf_counter(), 0.0
    worker.start()
    while not done.is_set():
        now = time.perf_counter()
        longest, last = max(longest, now - last), now
    worker.join()
    assert took[0] > 0.05, "the text is too short to tell"
    assert longest < took[0] / 2


def test_a_one_megabyte_text():
    text = " @@AND@@ ".join(CONDITION.replace("Login", f"Login{i}") for i in range(8000))
    assert len(text) > 1 << 20
    defs = vantrel.parse(text)
    assert vantrel.format(defs) == text
    assert vantrel.check(text).ok and vantrel.check(defs).ok
    broken = text + " "
    assert vantrel.check(broken).difference["offset"] == len(text)
    assert vantrel.parse(text.encode()).definitions[-1].name.decode() == defs.definitions[-1].name

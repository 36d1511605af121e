"""rewrite and rewrite_many: the four answers, what is written for each, and
a property test on generated stores with random edits."""

import copy
import pickle

import pytest

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, DefinitionParam

hypothesis = pytest.importorskip("hypothesis")
from hypothesis import HealthCheck, given, settings  # noqa: E402
from hypothesis import strategies as st  # noqa: E402

BOTH_JOINERS = (
    "--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}-- @@AND@@ "
    "--#--Error_Rate--#----{--e--}----{--Times==3--}-- @@OR@@ "
    "--#--Max_ResponseTime--#----{--rt--}----{--Location_Name==Paris--}--")
PLAIN = "--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}--"


def rename_key(defs):
    for condition in defs.definitions:
        for param in condition.params:
            if param.key in ("Location_Name", b"Location_Name"):
                param.key = "Site" if isinstance(param.key, str) else b"Site"


def set_value(value):
    def edit(defs):
        defs.definitions[0].params[0].values = [value]
    return edit


def second_condition(combination):
    def edit(defs):
        defs.definitions.append(AlertDefinition("Other", "o"))
        defs.combination = combination
    return edit


def as_new(defs):
    out = copy.deepcopy(defs)
    out.definitions[0].name = "New"
    return out


# (text, edit, status, new text or None, words of the reason)
CASES = [
    (PLAIN, rename_key, "rewritten",
     "--#--Average_ResponseTime--#----{--rt--}----{--Site==London--}--", ""),
    (PLAIN, lambda defs: None, "unchanged", None, ""),
    (PLAIN, lambda defs: copy.deepcopy(defs), "unchanged", None, ""),
    (PLAIN, as_new, "rewritten",
     "--#--New--#----{--rt--}----{--Location_Name==London--}--", ""),
    (PLAIN.encode(), rename_key, "rewritten",
     b"--#--Average_ResponseTime--#----{--rt--}----{--Site==London--}--", ""),
    # The text loses its Error_Rate condition when read: never rewritten.
    (BOTH_JOINERS, rename_key, "kept", None, "both joiners"),
    (PLAIN + "\n", rename_key, "kept", None, "does not read back whole"),
    ("--#--n--#----{--d--}----{--k--}--", rename_key, "kept", None, "rejected"),
    (PLAIN, set_value("London--}--"), "refused", None,
     "definitions[0].params[0].values[0]"),
    (PLAIN, second_condition(None), "refused", None, "definitions"),
    (PLAIN, second_condition(1), "rewritten",
     PLAIN + " @@AND@@ --#--Other--#----{--o--}----}--", ""),
    # Non-UTF-8 bytes survive in a str through surrogateescape.
    ("--#--caf\udce9--#----{--d--}----{--Location_Name==x--}--", rename_key,
     "rewritten", "--#--caf\udce9--#----{--d--}----{--Site==x--}--", ""),
]


@pytest.mark.parametrize("text,edit,status,new,reason", CASES)
def test_rewrite(text, edit, status, new, reason):
    result = vantrel.rewrite(text, edit, id="r")
    assert (result.status, result.id) == (status, "r")
    assert result.changed == (status == "rewritten")
    if new is None:
        assert result.text is text  # the original object, byte for byte
    else:
        assert result.text == new and type(result.text) is type(text)
    assert reason in result.reason and (reason == "") == (result.reason == "")
    (many,) = vantrel.rewrite_many([("r", text)], edit)
    assert many == result


def test_single_line_refuses_a_line_break():
    edit = set_value("a\nb")
    assert vantrel.rewrite(PLAIN, edit).status == "rewritten"
    refused = vantrel.rewrite(PLAIN, edit, single_line=True)
    assert refused.status == "refused" and "line break" in refused.reason
    assert refused.text is PLAIN


@pytest.mark.parametrize("edit,error,message", [
    (lambda defs: 5, TypeError, "edit: expected to change"),
    (lambda defs: defs.definitions.append("x"), TypeError, r"definitions\[1\]"),
    (lambda defs: setattr(defs.definitions[0], "name", b"n"), TypeError, "all str or all bytes"),
    (lambda defs: {}["missing"], KeyError, "missing"),
])
def test_edit_errors_are_raised(edit, error, message):
    with pytest.raises(error, match=message):
        vantrel.rewrite(PLAIN, edit)
    # In a batch, the rules before it come out first.
    calls = []

    def second_fails(defs):
        calls.append(1)
        return None if len(calls) == 1 else edit(defs)

    results = vantrel.rewrite_many([PLAIN, "x", PLAIN, PLAIN], second_fails)
    assert [next(results).status, next(results).status] == ["unchanged", "kept"]
    with pytest.raises(error, match=message):
        next(results)


def test_rewrite_many_items():
    items = [PLAIN, (1, PLAIN), ("b", PLAIN.encode()), None, (1, 2, 3), (4, None)]
    out = list(vantrel.rewrite_many(items, rename_key, errors="return"))
    assert [getattr(r, "id", None) for r in out[:3]] == [None, 1, "b"]
    assert [type(e).__name__ for e in out[3:]] == ["TypeError", "ValueError", "TypeError"]
    assert [e.index for e in out[3:]] == [3, 4, 5]
    assert str(out[3]).startswith("item 3: ")
    with pytest.raises(TypeError, match="item 3: "):
        list(vantrel.rewrite_many(items, rename_key))
    with pytest.raises(TypeError, match="a single text"):
        vantrel.rewrite_many(PLAIN, rename_key)
    with pytest.raises(TypeError, match="edit: expected a callable"):
        vantrel.rewrite_many([PLAIN], None)


def test_results_pickle():
    result = vantrel.rewrite(BOTH_JOINERS, rename_key, id=("store", 3))
    assert pickle.loads(pickle.dumps(result)) == result
    assert copy.copy(result) == result


# --- the property test ------------------------------------------------------

# Pieces of fields: the marks, the joiners, TAB, CR, LF, a byte that is not
# UTF-8, and plain letters.
PIECES = ["--#--", "--{--", "--}--", "--,--", "--;--", "==", " @@AND@@ ",
          " @@OR@@ ", "@@AND@@", "\t", "\r", "\n", "\r\n", "\udcff", "é",
          "a", "b", "Location_Name", "x y"]
field = st.lists(st.sampled_from(PIECES), max_size=3).map("".join)
plain_field = st.sampled_from(["a", "b", "Location_Name", "London", "x y", "é"])


def records(fields):
    param = st.builds(DefinitionParam, fields, st.lists(fields, min_size=1, max_size=2))
    condition = st.builds(AlertDefinition, fields, fields, st.lists(param, max_size=2))
    return st.builds(AlertDefinitions, st.lists(condition, max_size=3),
                     st.sampled_from([None, 0, 1]))


def stored_text(data):
    """A stored text: written from records (mostly whole), or a run of
    marks and fields (often lossy or rejected), with a final line break
    now and then."""
    kind = data.draw(st.sampled_from(["written", "plain", "plain", "pieces"]))
    if kind == "pieces":
        text = data.draw(st.lists(st.sampled_from(PIECES + ["--#--n--#----{--d--}----}--"]),
                                  max_size=8).map("".join))
    else:
        text = vantrel.format(data.draw(records(plain_field if kind == "plain" else field)))
    return text + data.draw(st.sampled_from(["", "", "", "\n", "\r", "\r\n"]))


def make_edit(data):
    """A random edit, the same function of the records every time."""
    op = data.draw(st.sampled_from(["rename_key", "set_value", "rename", "combination", "none"]))
    new = data.draw(field)
    combination = data.draw(st.sampled_from([None, 0, 1]))

    def edit(defs):
        is_bytes = bool(defs.definitions) and isinstance(defs.definitions[0].name, bytes)
        to = as_bytes(new) if is_bytes else new
        for condition in defs.definitions:
            if op == "rename":
                condition.name = to
            for param in condition.params:
                if op == "rename_key" and param.key in ("a", "Location_Name", b"a", b"Location_Name"):
                    param.key = to
                if op == "set_value":
                    param.values[-1:] = [to]
        if op == "combination":
            defs.combination = combination
    return edit


def as_bytes(text):
    return text.encode("utf-8", "surrogateescape")


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.data())
def test_rewrite_many_keeps_every_rule(data):
    texts = [stored_text(data) for _ in range(data.draw(st.integers(0, 12)))]
    edit = make_edit(data)
    use_bytes = data.draw(st.booleans(), label="bytes")
    store = [(f"id{i}", as_bytes(t) if use_bytes else t) for i, t in enumerate(texts)]
    out = list(vantrel.rewrite_many(store, edit))
    # Exactly the inputs, in order, with their ids.
    assert [r.id for r in out] == [rule_id for rule_id, _ in store]
    counts = {}
    for (_, text), result in zip(store, out):
        counts[result.status] = counts.get(result.status, 0) + 1
        whole = vantrel.check(text).ok
        if result.status == "rewritten":
            # It was read whole, and the new text reads back to the edited
            # records.
            assert whole
            edited = vantrel.parse(text)
            returned = edit(edited)
            edited = returned if returned is not None else edited
            assert vantrel.parse(result.text, whole=True) == edited
            assert type(result.text) is type(text)
        else:
            assert result.text is text
            assert result.status == ("kept" if not whole else result.status)
            if result.status == "unchanged":
                edited = vantrel.parse(text)
                edit(edited)
                assert edited == vantrel.parse(text)
            if result.status == "refused":
                edited = vantrel.parse(text)
                edit(edited)
                assert not vantrel.check(edited).ok
    hypothesis.event(" ".join(f"{k}={v > 0}" for k, v in sorted(counts.items())))

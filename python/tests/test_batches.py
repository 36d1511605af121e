"""Errors that name their item and keep a batch going, results and errors
that cross process pools, whole reads and strict writes, and what the
constructors and batch functions refuse."""

import concurrent.futures
import copy
import multiprocessing
import pickle

import pytest

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, DefinitionParam

OK = "--#--a--#----{--d--}----{--k==v--}--"
REJECTED = "--#--n--#----{--d--}----{--k--}--"
REJECTED_LATER = "--#--a--#----{----}----}-- @@OR@@ --#--b--#----{----}----{--k--}--"
LOSSY = ("--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}-- @@AND@@ "
         "--#--Error_Rate--#----{--e--}----{--Times==3--}-- @@OR@@ "
         "--#--Max_ResponseTime--#----{--rt--}----{--Location_Name==Paris--}--")


def raise_parse_error(text):
    return vantrel.parse(text)


def partial_records(text):
    return vantrel.parse(text, partial=True)


def rejection_of(text):
    try:
        vantrel.parse(text)
    except vantrel.ParseError as error:
        return error
    return None


def parse_error(text=REJECTED_LATER):
    return rejection_of(text)


def lossy_error():
    try:
        vantrel.parse(LOSSY, whole=True)
    except vantrel.LossyError as error:
        return error
    raise AssertionError("not lossy")


# Everything a worker may return or raise, each copied every way.
VALUES = [
    ("ParseError", parse_error),
    ("partial records", lambda: vantrel.parse(REJECTED_LATER, partial=True)),
    ("LossyError", lossy_error),
    ("CheckResult", lambda: vantrel.check(LOSSY)),
    ("Rewrite", lambda: vantrel.rewrite(LOSSY, lambda d: None, id=3)),
    ("bytes records", lambda: vantrel.parse(OK.encode())),
]


def same(a, b, shallow=False):
    """Equal, with the members == leaves out; the cycle of an error and its
    records comes back whole but from a shallow copy."""
    assert type(a) is type(b)
    if isinstance(a, vantrel.ParseError):
        assert (str(a), a.piece, a.offset, a.index) == (str(b), b.piece, b.offset, b.index)
        assert a.partial == b.partial and (shallow or b.partial.rejection is b)
    elif isinstance(a, vantrel.LossyError):
        assert (str(a), a.result, a.records, a.index) == (str(b), b.result, b.records, b.index)
    elif isinstance(a, AlertDefinitions):
        assert a == b and a.complete == b.complete and a._bytes == b._bytes
        if not a.complete and not shallow:
            assert b.rejection.partial is b and b.rejection.piece == a.rejection.piece
    else:
        assert a == b


@pytest.mark.parametrize("name,make", VALUES)
@pytest.mark.parametrize("how", [
    lambda v: pickle.loads(pickle.dumps(v)),
    lambda v: pickle.loads(pickle.dumps(v, protocol=2)),
    copy.copy,
    copy.deepcopy,
])
def test_pickle_and_copy(name, make, how):
    value = make()
    same(value, how(value), shallow=how is copy.copy)


def test_process_pool_worker_raises_and_returns():
    with concurrent.futures.ProcessPoolExecutor(2) as pool:
        raised = pool.submit(raise_parse_error, REJECTED_LATER)
        with pytest.raises(vantrel.ParseError) as error:
            raised.result(timeout=60)
        assert error.value.piece == 2 and error.value.partial.definitions[0].name == "a"
        cut = pool.submit(partial_records, REJECTED_LATER).result(timeout=60)
        assert not cut.complete and cut.rejection.piece == 2
        # The pool still works after both.
        assert pool.submit(vantrel.parse, OK).result(timeout=60) == vantrel.parse(OK)


def test_multiprocessing_pool_does_not_hang():
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        found = pool.map_async(rejection_of, [OK, REJECTED_LATER]).get(timeout=60)
        assert found[0] is None and found[1].piece == 2
        with pytest.raises(vantrel.ParseError):
            pool.apply_async(raise_parse_error, (REJECTED,)).get(timeout=60)


# A batch with a bad item in the middle: (function, items, what each yields
# under errors="return", the error raised under "raise").
BATCHES = [
    (vantrel.parse_many, [OK, REJECTED, OK], ["AlertDefinitions", "ParseError", "AlertDefinitions"],
     "item 1: piece 1"),
    (vantrel.parse_many, [OK, None, b"x"], ["AlertDefinitions", "TypeError", "AlertDefinitions"],
     "item 1: text: expected str or bytes, found NoneType"),
    (lambda items, **kw: vantrel.parse_many(items, whole=True, **kw), [OK, LOSSY, OK],
     ["AlertDefinitions", "LossyError", "AlertDefinitions"],
     "item 1: the text does not read back whole: first difference at byte 76: the text holds both joiners"),
    (vantrel.check_many, [OK, None, OK], ["CheckResult", "TypeError", "CheckResult"],
     "item 1: expected a text .* or records .*, found NoneType"),
    (vantrel.check_many, [OK, {"combination": 1}], ["CheckResult", "TypeError"],
     "item 1: .*AlertDefinitions.from_dict"),
]


@pytest.mark.parametrize("function,items,kinds,message", BATCHES)
def test_bad_item_in_a_batch(function, items, kinds, message):
    out = list(function(items, errors="return"))
    assert [type(r).__name__ for r in out] == kinds
    for index, result in enumerate(out):
        if isinstance(result, Exception):
            assert result.index == index and str(result).startswith(f"item {index}: ")
    stream = function(items)
    assert type(next(stream)).__name__ == kinds[0]
    with pytest.raises((TypeError, ValueError), match=message):
        next(stream)


def test_index_counts_across_chunks():
    texts = [OK] * 1000 + [REJECTED] + [OK] * 30
    out = list(vantrel.parse_many(texts, errors="return"))
    assert len(out) == 1031
    assert [i for i, r in enumerate(out) if isinstance(r, Exception)] == [1000]
    assert out[1000].index == 1000 and str(out[1000]).startswith("item 1000: ")


def test_partial_errors_are_named_too():
    (cut,) = vantrel.parse_many([REJECTED_LATER], partial=True)
    assert cut.rejection.index == 0 and str(cut.rejection).startswith("item 0: piece 2")
    assert vantrel.parse(REJECTED_LATER, partial=True).rejection.index is None


class Index:
    """An integer type of a user's own."""

    def __init__(self, n):
        self.n = n

    def __index__(self):
        return self.n


def integers():
    yield Index(1)
    try:
        import numpy
    except ImportError:
        return
    yield numpy.int64(1)
    yield numpy.uint8(1)


@pytest.mark.parametrize("one", list(integers()), ids=lambda v: type(v).__name__)
def test_any_integer_type(one):
    two = [AlertDefinition("a"), AlertDefinition("b")]
    defs = AlertDefinitions(two, one)
    assert defs.combination == 1 and type(defs.combination) is int
    defs.combination = one  # set later: the module reads it alike
    assert vantrel.format(defs) == vantrel.format(AlertDefinitions(two, 1))
    assert vantrel.check(defs).ok
    assert len(vantrel.check(LOSSY, max_causes=one).causes) == 1
    assert vantrel.check_many([LOSSY], max_causes=one).__next__().causes[0]["kind"] == "both joiners"


# What the API refuses: (call, exception, message).
REFUSED = [
    (lambda: vantrel.check({}), TypeError, r"or records \(AlertDefinitions\), found dict.*from_dict"),
    (lambda: vantrel.check_many("one rule"), TypeError, "found one str"),
    (lambda: vantrel.check_many(b"one rule"), TypeError, "found one bytes"),
    (lambda: vantrel.parse_many("one rule"), TypeError, "found one str"),
    (lambda: vantrel.check_many(AlertDefinitions()), TypeError, "found one AlertDefinitions"),
    (lambda: vantrel.check_many(5), TypeError, "expected an iterable, found int"),
    (lambda: vantrel.parse(REJECTED, partial="no"), TypeError, "partial: expected True or False"),
    (lambda: vantrel.parse_many([OK], partial=1), TypeError, "partial"),
    (lambda: vantrel.parse(OK, whole="yes"), TypeError, "whole"),
    (lambda: vantrel.format(AlertDefinitions(), strict=None), TypeError, "strict"),
    (lambda: vantrel.parse_many([OK], errors="ignore"), ValueError, "errors"),
    (lambda: vantrel.parse_many([OK], kind="x"), ValueError, "kind"),
    (lambda: AlertDefinitions(None, 5), ValueError, "combination"),
    (lambda: AlertDefinitions("ab"), TypeError, "definitions: expected a list"),
    (lambda: AlertDefinitions([DefinitionParam()]), TypeError, r"definitions\[0\]: expected AlertDefinition"),
    (lambda: AlertDefinition(None), TypeError, "name: expected str or bytes"),
    (lambda: AlertDefinition("n", "d", [AlertDefinition()]), TypeError, r"params\[0\]: expected DefinitionParam"),
    (lambda: DefinitionParam("k", "v"), TypeError, "values: expected a list"),
    (lambda: DefinitionParam("k", [None]), TypeError, r"values\[0\]"),
    (lambda: vantrel.check(OK, max_causes=1.0), TypeError, "max_causes"),
    (lambda: vantrel.check(OK, max_causes=True), TypeError, "max_causes"),
]


@pytest.mark.parametrize("call,error,message", REFUSED)
def test_refused(call, error, message):
    with pytest.raises(error, match=message):
        call()


@pytest.mark.parametrize("text,whole_ok", [
    (OK, True), (LOSSY, False), (OK + " ", False), (OK + "\n", False),
    (OK.encode() + b"\xff", False), ("", False),
])
def test_parse_whole(text, whole_ok):
    plain = vantrel.parse(text)
    if whole_ok:
        assert vantrel.parse(text, whole=True) == plain
        return
    with pytest.raises(vantrel.LossyError) as error:
        vantrel.parse(text, whole=True)
    assert error.value.records == plain
    assert error.value.result == vantrel.check(text)
    # A rejection is a ParseError, whole or not.
    with pytest.raises(vantrel.ParseError):
        vantrel.parse(REJECTED, whole=True)


@pytest.mark.parametrize("defs,path", [
    (AlertDefinitions([AlertDefinition("n", "a--}--b")]), "definitions[0].detail"),
    (AlertDefinitions([AlertDefinition("a"), AlertDefinition("b")]), "definitions"),
    (AlertDefinitions([AlertDefinition("n", "d", [DefinitionParam("k", ["x\ty\r"])])]), None),
])
def test_format_strict(defs, path):
    text = vantrel.format(defs)
    if path is None:
        assert vantrel.format(defs, strict=True) == text
        return
    with pytest.raises(vantrel.LossyError, match="the records would not read back") as error:
        vantrel.format(defs, strict=True)
    assert error.value.result == vantrel.check(defs)
    assert path in str(error.value)


def test_emptied_bytes_records_stay_bytes():
    defs = vantrel.parse(OK.encode())
    defs.definitions.clear()
    assert vantrel.format(defs) == b""
    made = AlertDefinitions([AlertDefinition(b"n")])
    made.definitions.clear()
    assert vantrel.format(made) == b""
    assert vantrel.format(AlertDefinitions()) == ""


@pytest.mark.parametrize("function", [
    vantrel.parse_many, vantrel.check_many,
    lambda items: vantrel.rewrite_many(items, lambda defs: None),
])
def test_batches_take_their_input_a_chunk_at_a_time(function):
    pulled = []

    def store():
        for i in range(100_000):
            pulled.append(i)
            yield OK

    results = function(store())
    next(results)
    assert 0 < len(pulled) <= 512  # bounded by a chunk, not the store
    for _ in range(600):
        next(results)
    assert len(pulled) <= 1024

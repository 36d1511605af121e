"""The API: the worked example both ways, the bundled examples against the
tool's JSON, records as values, bytes and str, and every error path."""

import copy
import json

import pytest

import vantrel
from vantrel import AlertDefinition, AlertDefinitions, DefinitionParam

from conftest import example_texts

WORKED = ("--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
          "--#--Beta--#----{--y--}----{--k2==b1--}--")
WORKED_RECORDS = AlertDefinitions(
    [AlertDefinition("Alpha", "x", [DefinitionParam("k1", ["a1", "a2"])]),
     AlertDefinition("Beta", "y", [DefinitionParam("k2", ["b1"])])], 1)
REJECTED = "--#--a--#----{--d--}----}-- @@AND@@ --#--b--#----{--d--}----{--k==v--;--k4--}--"


class TestWorkedExample:
    def test_parse(self):
        defs = vantrel.parse(WORKED)
        assert defs == WORKED_RECORDS
        assert defs.complete and defs.rejection is None
        assert defs.definitions[0].params[0].values == ["a1", "a2"]

    def test_format(self):
        assert vantrel.format(WORKED_RECORDS) == WORKED
        assert vantrel.format(WORKED_RECORDS, kind="filter") == WORKED

    def test_filter_kind_reads_alike(self):
        assert vantrel.parse(WORKED, kind="filter") == WORKED_RECORDS

    def test_joiners(self):
        two = [AlertDefinition("a"), AlertDefinition("b")]
        assert vantrel.format(AlertDefinitions(two, 0)) == \
            "--#--a--#----{----}----}-- @@OR@@ --#--b--#----{----}----}--"
        assert vantrel.format(AlertDefinitions(two, None)) == \
            "--#--a--#----{----}----}--  --#--b--#----{----}----}--"
        assert vantrel.parse("--#--a--#----{----}----}--").combination is None

    def test_empty(self):
        assert vantrel.format(AlertDefinitions()) == ""
        assert vantrel.format(AlertDefinitions([], 1)) == ""

    @pytest.mark.parametrize("name,text,json_path", list(example_texts()))
    def test_examples_match_the_tools_json(self, name, text, json_path):
        defs = vantrel.parse(text)
        assert defs.to_dict() == json.loads(json_path.read_text())
        assert AlertDefinitions.from_dict(defs.to_dict()) == defs
        assert vantrel.format(defs) == text
        assert vantrel.check(text).ok and vantrel.check(defs).ok


class TestRecords:
    def test_value_semantics(self):
        a = copy.deepcopy(WORKED_RECORDS)
        assert a == WORKED_RECORDS and a is not WORKED_RECORDS
        a.definitions[1].params[0].values.append("b2")
        assert a != WORKED_RECORDS
        a.definitions[1].params[0].values.pop()
        a.combination = 0
        assert a != WORKED_RECORDS
        assert DefinitionParam("k") != AlertDefinition("k")
        assert AlertDefinition() == AlertDefinition("", "", [])

    def test_defaults_are_fresh_lists(self):
        a, b = DefinitionParam(), DefinitionParam()
        a.values.append("v")
        assert b.values == []

    def test_repr_round_trips(self):
        assert eval(repr(WORKED_RECORDS), vars(vantrel)) == WORKED_RECORDS

    def test_unhashable(self):
        with pytest.raises(TypeError):
            hash(DefinitionParam())

    def test_to_dict_shape(self):
        assert WORKED_RECORDS.to_dict() == {
            "combination": 1,
            "definitions": [
                {"name": "Alpha", "detail": "x",
                 "params": [{"key": "k1", "values": ["a1", "a2"]}]},
                {"name": "Beta", "detail": "y",
                 "params": [{"key": "k2", "values": ["b1"]}]}]}
        assert list(WORKED_RECORDS.to_dict()) == ["combination", "definitions"]

    def test_from_dict_takes_a_batch_line(self, tool):
        line = tool("parse", "--batch", "lines", "-", data=WORKED.encode() + b"\n")
        assert AlertDefinitions.from_dict(json.loads(line)) == WORKED_RECORDS

    def test_to_dict_feeds_the_tools_format(self, tool):
        out = tool("format", "-", data=json.dumps(WORKED_RECORDS.to_dict()).encode())
        assert out.decode().rstrip("\n") == WORKED

    @pytest.mark.parametrize("data,error,message", [
        ([], TypeError, "records: expected a dict"),
        ({"definitions": []}, ValueError, "combination: missing"),
        ({"combination": 1, "definitions": [], "extra": 1}, ValueError,
         "extra: unknown member"),
        ({"combination": 2, "definitions": []}, ValueError, "combination"),
        ({"combination": "1", "definitions": []}, TypeError, "combination"),
        ({"combination": 1, "definitions": {}}, TypeError, "definitions: expected a list"),
        ({"combination": 1, "definitions": [{"name": "", "detail": ""}]},
         ValueError, r"definitions\[0\].params: missing"),
        ({"combination": 1, "definitions": [
            {"name": "", "detail": "", "params": [], "paramz": []}]},
         ValueError, r"definitions\[0\].paramz: unknown member"),
        ({"combination": 1, "definitions": [
            {"name": "", "detail": 3, "params": []}]},
         TypeError, r"definitions\[0\].detail: expected str or bytes"),
        ({"combination": 1, "definitions": [
            {"name": "", "detail": "", "params": [{"key": "k", "values": "v"}]}]},
         TypeError, r"definitions\[0\].params\[0\].values: expected a list"),
        ({"combination": 1, "definitions": [
            {"name": "", "detail": "", "params": [{"key": "k", "values": [None]}]}]},
         TypeError, r"definitions\[0\].params\[0\].values\[0\]: expected str"),
    ])
    def test_from_dict_errors(self, data, error, message):
        with pytest.raises(error, match=message):
            AlertDefinitions.from_dict(data)


class TestBytesAndStr:
    def test_bytes_in_bytes_out(self):
        defs = vantrel.parse(WORKED.encode())
        assert defs.definitions[0].name == b"Alpha"
        assert defs.definitions[0].params[0].values == [b"a1", b"a2"]
        assert vantrel.format(defs) == WORKED.encode()

    @pytest.mark.parametrize("raw", [
        b"--#--\xff\xfe--#----{--caf\xe9--}----{--k==\x80--,--\xc3\xa9--}--",
        b"--#--\x00--#----{--\xed\xa0\x80--}----}--",
    ])
    def test_undecodable_bytes_survive_str(self, raw):
        text = raw.decode("utf-8", "surrogateescape")
        defs = vantrel.parse(text)
        assert isinstance(defs.definitions[0].name, str)
        assert vantrel.format(defs).encode("utf-8", "surrogateescape") == raw
        as_bytes = vantrel.parse(raw)
        assert [d.name.decode("utf-8", "surrogateescape") for d in as_bytes.definitions] == \
            [d.name for d in defs.definitions]
        assert vantrel.check(text).ok and vantrel.check(raw).ok

    def test_non_ascii_str(self):
        defs = AlertDefinitions([AlertDefinition("Zürich", "東京", [DefinitionParam("k", ["é"])])])
        text = vantrel.format(defs)
        assert text == "--#--Zürich--#----{--東京--}----{--k==é--}--"
        assert vantrel.parse(text).definitions == defs.definitions

    def test_mixing_is_a_type_error(self):
        defs = AlertDefinitions([AlertDefinition("a", "b", [DefinitionParam("k", ["v", b"w"])])])
        with pytest.raises(TypeError, match=r"definitions\[0\].params\[0\].values\[1\]: bytes in a record set of str"):
            vantrel.format(defs)
        with pytest.raises(TypeError, match=r"definitions\[0\].detail"):
            vantrel.check(AlertDefinitions([AlertDefinition(b"a", "b")]))

    def test_surrogate_that_stands_for_no_byte(self):
        with pytest.raises(ValueError, match="text: a str with a surrogate"):
            vantrel.parse("\ud800")
        with pytest.raises(ValueError, match=r"definitions\[0\].name"):
            vantrel.format(AlertDefinitions([AlertDefinition("\ud800")]))


class TestErrors:
    def test_parse_error(self):
        with pytest.raises(vantrel.ParseError) as caught:
            vantrel.parse(REJECTED)
        error = caught.value
        assert isinstance(error, ValueError)
        assert (error.piece, error.offset) == (2, 35)
        assert str(error).startswith("piece 2 (at byte 35) is rejected")
        assert error.partial.definitions == [AlertDefinition("a", "d")]
        assert error.partial.combination == 1
        assert error.partial.rejection is error

    def test_partial(self):
        defs = vantrel.parse(REJECTED, partial=True)
        assert not defs.complete
        assert defs.rejection.piece == 2
        assert defs.definitions == [AlertDefinition("a", "d")]
        # The error message is the tool's.
        assert str(defs.rejection) == vantrel.check(REJECTED).report["message"]

    @pytest.mark.parametrize("call", [
        lambda: vantrel.parse(WORKED, kind="rule"),
        lambda: vantrel.format(WORKED_RECORDS, kind="Func"),
        lambda: vantrel.check(WORKED, kind=""),
        lambda: list(vantrel.check_many([WORKED], kind="x")),
    ])
    def test_bad_kind(self, call):
        with pytest.raises(ValueError, match='kind: expected "func" or "filter"'):
            call()

    @pytest.mark.parametrize("value", [None, 1, ["x"], bytearray(b"x")])
    def test_text_of_the_wrong_type(self, value):
        with pytest.raises(TypeError, match="text: expected str or bytes"):
            vantrel.parse(value)

    @pytest.mark.parametrize("combination,error", [
        (2, ValueError), (-1, ValueError), (2**64, ValueError),
        ("1", TypeError), (True, TypeError), (1.0, TypeError)])
    def test_bad_combination(self, combination, error):
        with pytest.raises(error, match="combination"):
            AlertDefinitions([AlertDefinition("a")], combination)
        # Set after construction: the library's side refuses it alike.
        defs = AlertDefinitions([AlertDefinition("a")])
        defs.combination = combination
        with pytest.raises(error, match="combination"):
            vantrel.format(defs)
        with pytest.raises(error, match="combination"):
            vantrel.check(defs)

    @pytest.mark.parametrize("mutate,message", [
        (lambda d: setattr(d, "definitions", None), "definitions: expected a list"),
        (lambda d: d.definitions.append({"name": "x"}), r"definitions\[2\]: expected AlertDefinition"),
        (lambda d: setattr(d.definitions[1], "name", 5), r"definitions\[1\].name: expected str or bytes, found int"),
        (lambda d: setattr(d.definitions[0], "params", "k"), r"definitions\[0\].params: expected a list"),
        (lambda d: d.definitions[0].params.append(AlertDefinition()), r"definitions\[0\].params\[1\]: expected DefinitionParam"),
        (lambda d: setattr(d.definitions[0].params[0], "key", None), r"definitions\[0\].params\[0\].key"),
        (lambda d: setattr(d.definitions[0].params[0], "values", None), r"definitions\[0\].params\[0\].values: expected a list"),
    ])
    def test_wrong_field_types(self, mutate, message):
        defs = copy.deepcopy(WORKED_RECORDS)
        mutate(defs)
        for call in (vantrel.format, vantrel.check):
            with pytest.raises(TypeError, match=message):
                call(defs)

    def test_tuples_are_lists(self):
        defs = AlertDefinitions((AlertDefinition("a", "b", (DefinitionParam("k", ("v",)),)),), 1)
        assert vantrel.format(defs) == "--#--a--#----{--b--}----{--k==v--}--"

    def test_not_records(self):
        with pytest.raises(TypeError, match="records: expected AlertDefinitions"):
            vantrel.format(WORKED_RECORDS.to_dict())
        with pytest.raises(TypeError):
            vantrel.check(3)

    @pytest.mark.parametrize("limit,error", [(-1, ValueError), ("5", TypeError)])
    def test_bad_max_causes(self, limit, error):
        with pytest.raises(error, match="max_causes"):
            vantrel.check(WORKED, max_causes=limit)

    def test_batch_error_comes_in_its_turn(self):
        results = vantrel.check_many([WORKED, WORKED, 3, WORKED])
        assert next(results).ok and next(results).ok
        with pytest.raises(TypeError, match="item 2: expected a text"):
            next(results)
        texts = vantrel.parse_many([WORKED, REJECTED])
        assert next(texts) == WORKED_RECORDS
        with pytest.raises(vantrel.ParseError):
            next(texts)


def test_version(tool):
    assert tool("--version").decode().split()[-1] == vantrel.__version__

"""Vantrel: alert rule texts as plain records, and back.

An alert rule is a function or filter definition text: condition texts
joined by " @@AND@@ " or " @@OR@@ ". ``parse`` reads one into records,
``format`` writes records as text, and ``check`` says whether a text or a
set of records comes back unchanged through the library, with the same
verdict, difference and causes as the ``vantrel`` command-line tool.

>>> import vantrel
>>> text = ("--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
...         "--#--Beta--#----{--y--}----{--k2==b1--}--")
>>> defs = vantrel.parse(text)
>>> defs.combination, defs.definitions[0].name, defs.definitions[0].params[0]
(1, 'Alpha', DefinitionParam(key='k1', values=['a1', 'a2']))
>>> vantrel.format(defs) == text
True
>>> vantrel.check(text).status
'ok'

Fields are str when the text is str (UTF-8, with surrogateescape for
bytes that are not UTF-8) and bytes when it is bytes; a record set is all
one or all the other.
"""

from __future__ import annotations

import operator
from typing import (
    Any,
    AnyStr,
    Callable,
    Dict,
    Generic,
    Iterable,
    Iterator,
    List,
    Literal,
    Mapping,
    Optional,
    Tuple,
    Union,
    overload,
)

from . import _vantrel

__version__: str = _vantrel.__version__

__all__ = [
    "AlertDefinition",
    "AlertDefinitions",
    "CheckResult",
    "DefinitionParam",
    "LossyError",
    "ParseError",
    "Rewrite",
    "__version__",
    "check",
    "check_many",
    "format",
    "parse",
    "parse_many",
    "rewrite",
    "rewrite_many",
]

#: How many causes (or problems) a check keeps, as the tool's --max-causes.
DEFAULT_MAX_CAUSES: int = _vantrel.DEFAULT_MAX_CAUSES

# The batch functions hand the library this many rules at a time: enough to
# make the switches between Python and the library cheap, few enough that a
# batch holds little memory whatever the size of the store.
_CHUNK = 512


class DefinitionParam(Generic[AnyStr]):
    """One key with its values, in text order."""

    __slots__ = ("key", "values")
    key: AnyStr
    values: List[AnyStr]

    @overload
    def __init__(
        self: DefinitionParam[str], key: str = "", values: Optional[List[str]] = None
    ) -> None: ...
    @overload
    def __init__(
        self: DefinitionParam[bytes], key: bytes, values: Optional[List[bytes]] = None
    ) -> None: ...
    def __init__(self, key: Any = "", values: Any = None) -> None:
        self.key = _field(key, "key")
        self.values = _list_of(values, "values", _field)

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, DefinitionParam):
            return NotImplemented
        return bool(self.key == other.key and self.values == other.values)

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        return f"DefinitionParam(key={self.key!r}, values={self.values!r})"

    def to_dict(self) -> Dict[str, Any]:
        """``{"key": ..., "values": [...]}``, as in the tool's JSON."""
        return {"key": self.key, "values": list(self.values)}

    @classmethod
    def from_dict(cls, data: Mapping[str, Any]) -> DefinitionParam[Any]:
        """The inverse of ``to_dict``; both members are required."""
        return _param_from(data, "params[0]")


class AlertDefinition(Generic[AnyStr]):
    """One condition: its name, the text of its detail block and its
    parameters."""

    __slots__ = ("name", "detail", "params")
    name: AnyStr
    detail: AnyStr
    params: List[DefinitionParam[AnyStr]]

    @overload
    def __init__(
        self: AlertDefinition[str],
        name: str = "",
        detail: str = "",
        params: Optional[List[DefinitionParam[str]]] = None,
    ) -> None: ...
    @overload
    def __init__(
        self: AlertDefinition[bytes],
        name: bytes,
        detail: bytes,
        params: Optional[List[DefinitionParam[bytes]]] = None,
    ) -> None: ...
    def __init__(self, name: Any = "", detail: Any = "", params: Any = None) -> None:
        self.name = _field(name, "name")
        self.detail = _field(detail, "detail")
        self.params = _list_of(params, "params", _instance_of(DefinitionParam))

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, AlertDefinition):
            return NotImplemented
        return bool(
            self.name == other.name
            and self.detail == other.detail
            and self.params == other.params
        )

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        return (
            f"AlertDefinition(name={self.name!r}, detail={self.detail!r}, "
            f"params={self.params!r})"
        )

    def to_dict(self) -> Dict[str, Any]:
        """``{"name": ..., "detail": ..., "params": [...]}``."""
        return {
            "name": self.name,
            "detail": self.detail,
            "params": [p.to_dict() for p in self.params],
        }

    @classmethod
    def from_dict(cls, data: Mapping[str, Any]) -> AlertDefinition[Any]:
        """The inverse of ``to_dict``; every member is required."""
        return _definition_from(data, "definitions[0]")


class AlertDefinitions(Generic[AnyStr]):
    """One whole function or filter definition.

    ``combination`` is 1 for conditions joined by "@@AND@@", 0 for
    "@@OR@@", and None for a text without a joiner (one condition, or
    conditions written with no joiner word between them).

    ``combination`` takes any integer type (``operator.index``: numpy
    scalars too) and keeps it as an int.

    ``rejection`` is None, except on what ``parse(..., partial=True)`` read
    from a text it had to cut short: there it is the ``ParseError`` that a
    plain ``parse`` raises. It takes no part in ``==``, ``repr`` or
    ``to_dict``.
    """

    # _bytes: whether the fields are bytes, so that a record set emptied of
    # every field still formats as bytes.
    __slots__ = ("definitions", "combination", "rejection", "_bytes")
    definitions: List[AlertDefinition[AnyStr]]
    combination: Optional[int]
    rejection: Optional[ParseError]
    _bytes: bool

    @overload
    def __init__(
        self: AlertDefinitions[str],
        definitions: Optional[List[AlertDefinition[str]]] = None,
        combination: Optional[int] = None,
    ) -> None: ...
    @overload
    def __init__(
        self: AlertDefinitions[bytes],
        definitions: List[AlertDefinition[bytes]],
        combination: Optional[int] = None,
    ) -> None: ...
    def __init__(self, definitions: Any = None, combination: Any = None) -> None:
        self.definitions = _list_of(
            definitions, "definitions", _instance_of(AlertDefinition)
        )
        self.combination = _combination(combination)
        self.rejection = None
        self._bytes = bool(self.definitions) and isinstance(
            self.definitions[0].name, bytes
        )

    @property
    def complete(self) -> bool:
        """False when the text was cut short at a rejected piece."""
        return self.rejection is None

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, AlertDefinitions):
            return NotImplemented
        return bool(
            self.combination == other.combination
            and self.definitions == other.definitions
        )

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        return (
            f"AlertDefinitions(definitions={self.definitions!r}, "
            f"combination={self.combination!r})"
        )

    def to_dict(self) -> Dict[str, Any]:
        """The records in the shape of the tool's JSON::

        {"combination": 1, "definitions": [{"name": ..., "detail": ...,
          "params": [{"key": ..., "values": [...]}]}]}

        Fields keep their type: str fields make a dict that ``json.dumps``
        writes for ``vantrel format``; bytes fields stay bytes.
        """
        return {
            "combination": self.combination,
            "definitions": [d.to_dict() for d in self.definitions],
        }

    @classmethod
    def from_dict(cls, data: Mapping[str, Any]) -> AlertDefinitions[Any]:
        """Records from the tool's JSON (``json.loads`` of ``vantrel
        parse``, or of a line of ``vantrel parse --batch``, whose "id" and
        report members are passed over). "combination" and "definitions"
        are required, and the records' members are exactly theirs, so that
        a misspelt key is an error, not an empty field."""
        _require_mapping(data, "records")
        _check_members(data, "", ("combination", "definitions"), _LINE_MEMBERS)
        combination = _combination(data["combination"])
        records = data["definitions"]
        _require_list(records, "definitions")
        out: AlertDefinitions[Any] = AlertDefinitions(
            [_definition_from(d, f"definitions[{i}]") for i, d in enumerate(records)],
            combination,
        )
        return out


# The members a batch line of the tool carries beside the records.
_LINE_MEMBERS = frozenset(
    (
        "id", "text", "status", "conditions", "difference", "causes",
        "more_causes", "piece", "offset", "item", "item_offset", "message",
        "problems", "more_problems",
    )
)


def _require_mapping(data: object, path: str) -> None:
    if not isinstance(data, Mapping):
        raise TypeError(f"{path}: expected a dict, found {type(data).__name__}")


def _require_list(data: object, path: str) -> None:
    if not isinstance(data, list):
        raise TypeError(f"{path}: expected a list, found {type(data).__name__}")


def _check_members(
    data: Mapping[str, Any], path: str, required: Iterable[str],
    allowed: Iterable[str] = (),
) -> None:
    prefix = f"{path}." if path else ""
    required = tuple(required)
    for name in required:
        if name not in data:
            raise ValueError(f"{prefix}{name}: missing")
    extra = set(data) - set(required) - set(allowed)
    if extra:
        raise ValueError(f"{prefix}{sorted(map(str, extra))[0]}: unknown member")


def _field(value: object, path: str) -> Any:
    if not isinstance(value, (str, bytes)):
        raise TypeError(f"{path}: expected str or bytes, found {type(value).__name__}")
    return value


def _instance_of(cls: type) -> Any:
    def check(value: object, path: str) -> Any:
        if not isinstance(value, cls):
            raise TypeError(
                f"{path}: expected {cls.__name__}, found {type(value).__name__}"
            )
        return value

    return check


def _list_of(value: object, path: str, item: Any) -> List[Any]:
    """None as a new list, a list as it is (the caller's own), a tuple as a
    list; the items checked by ``item``."""
    if value is None:
        return []
    if not isinstance(value, (list, tuple)):
        raise TypeError(f"{path}: expected a list, found {type(value).__name__}")
    for i, v in enumerate(value):
        item(v, f"{path}[{i}]")
    return value if isinstance(value, list) else list(value)


def _integer(value: object, what: str) -> int:
    """``operator.index`` of anything but a bool: int, numpy and pandas
    integer scalars, any class with ``__index__``."""
    if not isinstance(value, bool):
        try:
            return operator.index(value)  # type: ignore[arg-type]
        except TypeError:
            pass
    raise TypeError(f"{what}, found {type(value).__name__}")


def _combination(value: object) -> Optional[int]:
    if value is None:
        return None
    number = _integer(value, "combination: expected 0, 1 or None")
    if number not in (0, 1):
        raise ValueError(
            'combination: expected 0 ("@@OR@@"), 1 ("@@AND@@") or None (no '
            f"joiner), found {value!r}"
        )
    return number


def _flag(value: object, name: str) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{name}: expected True or False, found {value!r}")
    return value


def _errors(value: object) -> bool:
    """errors="raise" (False) or "return" (True)."""
    if value not in ("raise", "return"):
        raise ValueError(f'errors: expected "raise" or "return", found {value!r}')
    return value == "return"


def _iterable(items: object, what: str) -> Iterable[Any]:
    """The items of a batch: an iterable, but not one text (whose characters
    would each be taken for a rule) nor one record set."""
    if isinstance(items, (str, bytes, bytearray, memoryview)):
        raise TypeError(
            f"{what}: expected an iterable of texts, found one "
            f"{type(items).__name__} (a single text: use parse or check)"
        )
    if isinstance(items, AlertDefinitions):
        raise TypeError(
            f"{what}: expected an iterable of texts or records, found one "
            "AlertDefinitions (use check)"
        )
    try:
        iter(items)  # type: ignore[call-overload]
    except TypeError:
        raise TypeError(
            f"{what}: expected an iterable, found {type(items).__name__}"
        ) from None
    return items  # type: ignore[return-value]


def _param_from(data: object, path: str) -> DefinitionParam[Any]:
    _require_mapping(data, path)
    assert isinstance(data, Mapping)
    _check_members(data, path, ("key", "values"))
    values = data["values"]
    _require_list(values, f"{path}.values")
    param: DefinitionParam[Any] = DefinitionParam(
        _field(data["key"], f"{path}.key"),
        [_field(v, f"{path}.values[{i}]") for i, v in enumerate(values)],
    )
    return param


def _definition_from(data: object, path: str) -> AlertDefinition[Any]:
    _require_mapping(data, path)
    assert isinstance(data, Mapping)
    _check_members(data, path, ("name", "detail", "params"))
    params = data["params"]
    _require_list(params, f"{path}.params")
    record: AlertDefinition[Any] = AlertDefinition(
        _field(data["name"], f"{path}.name"),
        _field(data["detail"], f"{path}.detail"),
        [_param_from(p, f"{path}.params[{i}]") for i, p in enumerate(params)],
    )
    return record


class ParseError(ValueError):
    """A text the library rejects: a piece (counted from 1, starting at
    byte ``offset``) has a parameter item without an "==" of its own.
    ``partial`` holds the records of the pieces before it. ``index`` is
    the item's place in the input of ``parse_many`` (counted from 0), None
    for ``parse``.

    It pickles and copies (a worker of a process pool may raise it)."""

    piece: int
    offset: int
    partial: AlertDefinitions[Any]
    index: Optional[int]

    def __init__(
        self,
        message: str,
        piece: int,
        offset: int,
        partial: Optional[AlertDefinitions[Any]] = None,
        index: Optional[int] = None,
    ) -> None:
        super().__init__(message)
        self.piece = piece
        self.offset = offset
        self.partial = AlertDefinitions() if partial is None else partial
        self.index = index

    def __reduce__(self) -> Tuple[Any, ...]:
        # partial.rejection is this error again: the records go in the state,
        # after the error itself is made, so that the cycle comes back whole.
        return (
            type(self),
            (self.args[0], self.piece, self.offset, None, self.index),
            {"partial": self.partial},
        )


class LossyError(ValueError):
    """A text that does not read back whole (``parse(..., whole=True)``),
    or records that would not (``format(..., strict=True)``). ``result`` is
    the ``CheckResult`` that says where and why (its ``difference`` and
    ``causes``, or its ``problems``); ``records`` what the text was read
    into (None for ``format``); ``index`` the item's place in the input of
    a batch function, None otherwise."""

    result: CheckResult
    records: Optional[AlertDefinitions[Any]]
    index: Optional[int]

    def __init__(
        self,
        message: str,
        result: CheckResult,
        records: Optional[AlertDefinitions[Any]] = None,
        index: Optional[int] = None,
    ) -> None:
        super().__init__(message)
        self.result = result
        self.records = records
        self.index = index

    def __reduce__(self) -> Tuple[Any, ...]:
        return (
            type(self),
            (self.args[0], self.result, self.records, self.index),
        )


class CheckResult:
    """What ``check`` found, as the tool reports it.

    ``status`` is "ok", "lossy" (the text or the records do not come back
    unchanged) or "rejected" (a text the library refuses). ``report`` is
    the tool's JSON report (``vantrel check --json``) as a dict, ``lines``
    its report for people; ``str(result)`` is ``lines``.
    """

    __slots__ = ("status", "report", "lines")
    status: str
    report: Dict[str, Any]
    lines: str

    def __init__(self, status: str, report: Dict[str, Any], lines: str) -> None:
        self.status = status
        self.report = report
        self.lines = lines

    def __reduce__(self) -> Tuple[Any, ...]:
        return (type(self), (self.status, self.report, self.lines))
    @property
    def ok(self) -> bool:
        """True when the text or records come back unchanged."""
        return self.status == "ok"

    @property
    def difference(self) -> Optional[Dict[str, Any]]:
        """A lossy text: the first byte that differs, with the text and
        what is written back around it; None otherwise."""
        value: Optional[Dict[str, Any]] = self.report.get("difference")
        return value

    @property
    def causes(self) -> List[Dict[str, Any]]:
        """A lossy text: why it does not come back ("cause", "kind",
        "offset", "size" each)."""
        value: List[Dict[str, Any]] = self.report.get("causes", [])
        return value

    @property
    def problems(self) -> List[Dict[str, Any]]:
        """Records: every field that changes, by its "path"
        ("definitions[1].params[0].values[2]"), with "cause", "kind" and
        the field as "written" and as "read_back"."""
        value: List[Dict[str, Any]] = self.report.get("problems", [])
        return value

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, CheckResult):
            return NotImplemented
        return self.report == other.report and self.lines == other.lines

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        return f"CheckResult(status={self.status!r}, report={self.report!r})"

    def __str__(self) -> str:
        return self.lines


class Rewrite(Generic[AnyStr]):
    """What ``rewrite`` decided for one stored rule, and what to store.

    ``status`` is one of:

    - "rewritten": the text reads back whole, the edit changed its records,
      and the edited records read back as themselves: ``text`` is the new
      text;
    - "unchanged": the text reads back whole and the edit changed nothing;
    - "kept": the text does not read back whole (lossy or rejected), so the
      edit was not applied: ``reason`` says where it differs or why it is
      rejected;
    - "refused": the edited records would not read back (a new value
      holding a mark, two conditions and no joiner...): ``reason`` names
      the field and the mark.

    ``text`` is always safe to store: the new text when rewritten, else the
    original text object itself, byte for byte. ``reason`` is "" when
    rewritten or unchanged. ``id`` is the id given with the text (None when
    none was).
    """

    __slots__ = ("status", "text", "reason", "id")
    status: str
    text: AnyStr
    reason: str
    id: Any

    def __init__(self, status: str, text: AnyStr, reason: str = "", id: Any = None) -> None:
        self.status = status
        self.text = text
        self.reason = reason
        self.id = id

    @property
    def changed(self) -> bool:
        """True when ``text`` is a new text (status "rewritten")."""
        return self.status == "rewritten"

    def __reduce__(self) -> Tuple[Any, ...]:
        return (type(self), (self.status, self.text, self.reason, self.id))

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Rewrite):
            return NotImplemented
        return bool(
            self.status == other.status
            and self.text == other.text
            and self.reason == other.reason
            and self.id == other.id
        )

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        return (
            f"Rewrite(status={self.status!r}, text={self.text!r}, "
            f"reason={self.reason!r}, id={self.id!r})"
        )


_vantrel._register(
    AlertDefinitions, AlertDefinition, DefinitionParam, CheckResult, Rewrite
)


def _first_line(lines: str) -> str:
    return lines.split("\n", 1)[0]


def _lossy_text(result: CheckResult) -> str:
    """The first difference and the first cause of a lossy text."""
    difference = result.difference or {}
    causes = result.causes
    return (
        f"first difference at byte {difference.get('offset')}"
        + (f": {causes[0]['cause']}" if causes else "")
    )


def _records(
    result: Union[
        AlertDefinitions[Any],
        Tuple[
            AlertDefinitions[Any], Optional[Tuple[int, int, str]], Optional[CheckResult]
        ],
    ],
    partial: bool,
    index: Optional[int] = None,
) -> AlertDefinitions[Any]:
    if not isinstance(result, tuple):
        return result
    defs, rejection, lossy = result
    prefix = "" if index is None else f"item {index}: "
    if lossy is not None:
        raise LossyError(
            f"{prefix}the text does not read back whole: {_lossy_text(lossy)}",
            lossy, defs, index,
        )
    if rejection is None:
        return defs
    piece, offset, message = rejection
    error = ParseError(prefix + message, piece, offset, defs, index)
    defs.rejection = error
    if partial:
        return defs
    raise error


@overload
def parse(
    text: str, kind: str = "func", partial: bool = False, *, whole: bool = False
) -> AlertDefinitions[str]: ...
@overload
def parse(
    text: bytes, kind: str = "func", partial: bool = False, *, whole: bool = False
) -> AlertDefinitions[bytes]: ...
def parse(
    text: Union[str, bytes],
    kind: str = "func",
    partial: bool = False,
    *,
    whole: bool = False,
) -> Any:
    """Reads a definition text into records.

    ``kind`` is "func" or "filter". A text the library rejects raises
    ``ParseError``; with ``partial=True`` the records read before the
    rejected piece are returned instead, with ``rejection`` set.

    With ``whole=True``, a text that the library reads but would not write
    back byte for byte (a lossy text: some of it is not in the records)
    raises ``LossyError``: use it whenever the records are to be written
    back in the text's place.

    >>> vantrel.parse(b"--#--n--#----{--d--}----}--")
    AlertDefinitions(definitions=[AlertDefinition(name=b'n', detail=b'd', params=[])], combination=None)
    >>> vantrel.parse("--#--n--#----{--d--}----{--k--}--")
    Traceback (most recent call last):
    ...
    vantrel.ParseError: piece 1 (at byte 0) is rejected: its parameter item 1 (at byte 27) has no "==" of its own: "k"
    >>> vantrel.parse("--#--n--#----{--d--}----}-- ", whole=True)  # doctest: +ELLIPSIS
    Traceback (most recent call last):
    ...
    vantrel.LossyError: the text does not read back whole: first difference at byte 27: ...
    """
    return _records(
        _vantrel.parse(text, kind, _flag(whole, "whole"), DEFAULT_MAX_CAUSES),
        _flag(partial, "partial"),
    )


@overload
def format(
    defs: AlertDefinitions[str], kind: str = "func", *, strict: bool = False
) -> str: ...
@overload
def format(
    defs: AlertDefinitions[bytes], kind: str = "func", *, strict: bool = False
) -> bytes: ...
def format(  # noqa: A001
    defs: AlertDefinitions[Any], kind: str = "func", *, strict: bool = False
) -> Any:
    """Writes records as a definition text: str for str fields, bytes for
    bytes fields (for a record set without fields: bytes when it was read
    from bytes or made of bytes fields, else str).

    With ``strict=True``, records that would not read back as themselves
    (a field holding a mark, two records and no joiner...) raise
    ``LossyError`` instead of being written.

    >>> vantrel.format(vantrel.AlertDefinitions(
    ...     [vantrel.AlertDefinition("n", "d", [vantrel.DefinitionParam("k", ["v"])])]))
    '--#--n--#----{--d--}----{--k==v--}--'
    """
    text = _vantrel.format(defs, kind, _flag(strict, "strict"), DEFAULT_MAX_CAUSES)
    if isinstance(text, CheckResult):
        raise LossyError(
            f"the records would not read back: {_first_line(text.lines)}", text
        )
    return text


def check(
    item: Union[str, bytes, AlertDefinitions[Any]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
) -> CheckResult:
    """Does a text, or a set of records, come back unchanged?

    For a text: parsed and written back by the library, "ok" only when it
    comes back byte for byte. For records: written and read back, "ok" only
    when the same records and combination come back. ``max_causes`` takes
    any integer type.

    >>> r = vantrel.check("--#--n--#----{--d--}----}-- ")
    >>> r.status, r.difference["offset"], r.causes[0]["kind"]
    ('lossy', 27, 'text outside the marks')
    >>> r = vantrel.check(vantrel.AlertDefinitions(
    ...     [vantrel.AlertDefinition("n", "a--}--b")]))
    >>> r.ok, r.problems[0]["path"]
    (False, 'definitions[0].detail')
    """
    return _vantrel.check(item, kind, max_causes)  # type: ignore[no-any-return]


def _chunks(items: Iterable[Any]) -> Iterator[List[Any]]:
    chunk: List[Any] = []
    for item in items:
        chunk.append(item)
        if len(chunk) == _CHUNK:
            yield chunk
            chunk = []
    if chunk:
        yield chunk


def _at(error: BaseException, index: int) -> BaseException:
    """The error of a bad item, its message led by the item's index and
    its ``index`` set."""
    if not isinstance(error, (TypeError, ValueError)):
        return error
    message = str(error)
    if message.startswith("item: "):
        message = message[len("item: "):]
    named = type(error)(f"item {index}: {message}")
    setattr(named, "index", index)
    return named


def _kind(kind: object) -> None:
    if kind not in ("func", "filter"):
        raise ValueError(f'kind: expected "func" or "filter", found {kind!r}')


def _same(result: Any, index: int) -> Any:
    return result


def _stream(
    items: Iterable[Any],
    chunk_of: Callable[[List[Any]], Any],
    convert: Callable[[Any, int], Any],
    keep_going: bool,
) -> Iterator[Any]:
    """The results of a batch function, in order: each chunk's from the
    library, each result made by ``convert`` as its turn comes; an error
    named by its item's index, raised or (keep_going) yielded."""
    base = 0
    for chunk in _chunks(items):
        results = chunk_of(chunk)
        for i in range(len(results)):
            result = results.take(i)
            if isinstance(result, BaseException):
                result = _at(result, base + i)
            else:
                try:
                    result = convert(result, base + i)
                except (ParseError, LossyError) as error:
                    result = error
            if isinstance(result, BaseException) and not keep_going:
                raise result
            yield result
        base += len(chunk)


@overload
def check_many(
    items: Iterable[Union[str, bytes, AlertDefinitions[Any]]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
    *,
    errors: Literal["raise"] = "raise",
) -> Iterator[CheckResult]: ...
@overload
def check_many(
    items: Iterable[Union[str, bytes, AlertDefinitions[Any]]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
    *,
    errors: Literal["return"],
) -> Iterator[Union[CheckResult, Exception]]: ...
def check_many(
    items: Iterable[Union[str, bytes, AlertDefinitions[Any]]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
    *,
    errors: str = "raise",
) -> Iterator[Any]:
    """``check`` of every item, in order, a few hundred at a time with the
    GIL released while the library works.

    An item that is neither a text nor records (None, a dict...) is an
    error whose message starts with "item N: " and whose ``index`` is N
    (counted from 0): with ``errors="raise"`` it is raised when its turn
    comes, which ends the iteration; with ``errors="return"`` the
    exception is yielded in the item's place and the rest are checked."""
    keep_going = _errors(errors)
    items = _iterable(items, "items")
    _kind(kind)
    return _stream(
        items, lambda chunk: _vantrel.CheckChunk(chunk, kind, max_causes),
        _same, keep_going,
    )


@overload
def parse_many(
    texts: Iterable[str],
    kind: str = "func",
    partial: bool = False,
    *,
    whole: bool = False,
    errors: Literal["raise"] = "raise",
) -> Iterator[AlertDefinitions[str]]: ...
@overload
def parse_many(
    texts: Iterable[bytes],
    kind: str = "func",
    partial: bool = False,
    *,
    whole: bool = False,
    errors: Literal["raise"] = "raise",
) -> Iterator[AlertDefinitions[bytes]]: ...
@overload
def parse_many(
    texts: Iterable[Union[str, bytes]],
    kind: str = "func",
    partial: bool = False,
    *,
    whole: bool = False,
    errors: Literal["return"],
) -> Iterator[Union[AlertDefinitions[Any], Exception]]: ...
def parse_many(
    texts: Iterable[Union[str, bytes]],
    kind: str = "func",
    partial: bool = False,
    *,
    whole: bool = False,
    errors: str = "raise",
) -> Iterator[Any]:
    """``parse`` of every text, in order, as ``check_many`` runs.

    Every error (``ParseError``, ``LossyError`` with ``whole=True``, or
    the TypeError of an item that is not a text) names the item: its
    message starts with "item N: " and its ``index`` is N. With
    ``errors="raise"`` the first one is raised and ends the iteration;
    with ``errors="return"`` each is yielded in its item's place and the
    rest are read."""
    keep_going = _errors(errors)
    keep_partial = _flag(partial, "partial")
    whole = _flag(whole, "whole")
    texts = _iterable(texts, "texts")
    _kind(kind)
    return _parse_stream(texts, kind, keep_partial, whole, keep_going)


def _parse_stream(
    texts: Iterable[Any], kind: str, partial: bool, whole: bool, keep_going: bool
) -> Iterator[Any]:
    # _stream, with the way of a text that reads well kept short: this is
    # most of the time parse_many takes beside the library's own.
    base = 0
    for chunk in _chunks(texts):
        take = _vantrel.ParseChunk(chunk, kind, whole, DEFAULT_MAX_CAUSES).take
        for i in range(len(chunk)):
            result = take(i)
            if type(result) is AlertDefinitions:
                yield result
                continue
            if isinstance(result, BaseException):
                result = _at(result, base + i)
            else:
                try:
                    result = _records(result, partial, base + i)
                except (ParseError, LossyError) as error:
                    result = error
            if isinstance(result, BaseException) and not keep_going:
                raise result
            yield result
        base += len(chunk)


#: An edit: changes the records in place (and returns None), or returns a
#: new record set.
Edit = Callable[[AlertDefinitions[Any]], Optional[AlertDefinitions[Any]]]


@overload
def rewrite(
    text: str, edit: Edit, *, kind: str = "func", id: Any = None,
    single_line: bool = False,
) -> Rewrite[str]: ...
@overload
def rewrite(
    text: bytes, edit: Edit, *, kind: str = "func", id: Any = None,
    single_line: bool = False,
) -> Rewrite[bytes]: ...
def rewrite(
    text: Union[str, bytes],
    edit: Edit,
    *,
    kind: str = "func",
    id: Any = None,
    single_line: bool = False,
) -> Any:
    """Applies ``edit`` to the records of one stored rule text, and says
    what may be stored in its place (see ``Rewrite``).

    ``edit`` is called with the records (an ``AlertDefinitions`` with str
    fields for a str text, bytes for bytes) only when the text reads back
    whole; it changes them in place, or returns a new record set. What it
    raises is raised. ``single_line=True`` refuses an edit whose new text
    would hold an LF (a store of one rule per line, where a text ending in
    CR is written with CR LF).

    >>> def rename(defs):
    ...     for d in defs.definitions:
    ...         for p in d.params:
    ...             if p.key == "Location_Name":
    ...                 p.key = "Site"
    >>> vantrel.rewrite("--#--n--#----{--d--}----{--Location_Name==Paris--}--", rename)
    Rewrite(status='rewritten', text='--#--n--#----{--d--}----{--Site==Paris--}--', reason='', id=None)
    >>> vantrel.rewrite("--#--n--#----{--d--}----}-- ", rename).status
    'kept'
    """
    return _vantrel.rewrite(text, edit, kind, id, _flag(single_line, "single_line"))


@overload
def rewrite_many(
    items: Iterable[Union[str, bytes, Tuple[Any, Union[str, bytes]]]],
    edit: Edit,
    *,
    kind: str = "func",
    single_line: bool = False,
    errors: Literal["raise"] = "raise",
) -> Iterator[Rewrite[Any]]: ...
@overload
def rewrite_many(
    items: Iterable[Union[str, bytes, Tuple[Any, Union[str, bytes]]]],
    edit: Edit,
    *,
    kind: str = "func",
    single_line: bool = False,
    errors: Literal["return"],
) -> Iterator[Union[Rewrite[Any], Exception]]: ...
def rewrite_many(
    items: Iterable[Union[str, bytes, Tuple[Any, Union[str, bytes]]]],
    edit: Edit,
    *,
    kind: str = "func",
    single_line: bool = False,
    errors: str = "raise",
) -> Iterator[Any]:
    """``rewrite`` of every item, in order: one ``Rewrite`` per item, its
    ``id`` the id of an ``(id, text)`` pair (None for a bare text). A few
    hundred rules at a time, with the GIL released but while ``edit`` runs,
    so memory stays bounded whatever the size of the store.

    An item that is neither a text nor an (id, text) tuple is an error
    named "item N: " with ``index`` N: raised in its turn with
    ``errors="raise"`` (ending the iteration), yielded in its place with
    ``errors="return"``. An exception of ``edit`` is always raised: a
    migration that stops must not replace the old store."""
    keep_going = _errors(errors)
    single_line = _flag(single_line, "single_line")
    items = _iterable(items, "items")
    if not callable(edit):
        raise TypeError(f"edit: expected a callable, found {type(edit).__name__}")
    _kind(kind)
    return _stream(
        items, lambda chunk: _vantrel.RewriteChunk(chunk, edit, kind, single_line),
        _same, keep_going,
    )

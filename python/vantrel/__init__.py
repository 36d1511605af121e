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

from typing import (
    Any,
    AnyStr,
    Dict,
    Generic,
    Iterable,
    Iterator,
    List,
    Mapping,
    Optional,
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
    "ParseError",
    "__version__",
    "check",
    "check_many",
    "format",
    "parse",
    "parse_many",
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
        self.key = key
        self.values = [] if values is None else values

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
        self.name = name
        self.detail = detail
        self.params = [] if params is None else params

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

    ``rejection`` is None, except on what ``parse(..., partial=True)`` read
    from a text it had to cut short: there it is the ``ParseError`` that a
    plain ``parse`` raises. It takes no part in ``==``, ``repr`` or
    ``to_dict``.
    """

    __slots__ = ("definitions", "combination", "rejection")
    definitions: List[AlertDefinition[AnyStr]]
    combination: Optional[int]
    rejection: Optional[ParseError]

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
        self.definitions = [] if definitions is None else definitions
        self.combination = combination
        self.rejection = None

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
        combination = data["combination"]
        if combination is not None and (
            isinstance(combination, bool) or not isinstance(combination, int)
        ):
            raise TypeError(
                f"combination: expected 0, 1 or None, found {type(combination).__name__}"
            )
        if combination not in (None, 0, 1):
            raise ValueError(f"combination: expected 0, 1 or None, found {combination!r}")
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
    ``partial`` holds the records of the pieces before it."""

    piece: int
    offset: int
    partial: AlertDefinitions[Any]

    def __init__(
        self, message: str, piece: int, offset: int, partial: AlertDefinitions[Any]
    ) -> None:
        super().__init__(message)
        self.piece = piece
        self.offset = offset
        self.partial = partial


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


_vantrel._register(AlertDefinitions, AlertDefinition, DefinitionParam, CheckResult)


def _records(
    result: "tuple[AlertDefinitions[Any], Optional[tuple[int, int, str]]]",
    partial: bool,
) -> AlertDefinitions[Any]:
    defs, rejection = result
    if rejection is None:
        return defs
    piece, offset, message = rejection
    error = ParseError(message, piece, offset, defs)
    defs.rejection = error
    if partial:
        return defs
    raise error


@overload
def parse(text: str, kind: str = "func", partial: bool = False) -> AlertDefinitions[str]: ...
@overload
def parse(
    text: bytes, kind: str = "func", partial: bool = False
) -> AlertDefinitions[bytes]: ...
def parse(text: Union[str, bytes], kind: str = "func", partial: bool = False) -> Any:
    """Reads a definition text into records.

    ``kind`` is "func" or "filter". A text the library rejects raises
    ``ParseError``; with ``partial=True`` the records read before the
    rejected piece are returned instead, with ``rejection`` set.

    >>> vantrel.parse(b"--#--n--#----{--d--}----}--")
    AlertDefinitions(definitions=[AlertDefinition(name=b'n', detail=b'd', params=[])], combination=None)
    >>> vantrel.parse("--#--n--#----{--d--}----{--k--}--")
    Traceback (most recent call last):
    ...
    vantrel.ParseError: piece 1 (at byte 0) is rejected: its parameter item 1 (at byte 27) has no "==" of its own: "k"
    """
    return _records(_vantrel.parse(text, kind), partial)


@overload
def format(defs: AlertDefinitions[str], kind: str = "func") -> str: ...
@overload
def format(defs: AlertDefinitions[bytes], kind: str = "func") -> bytes: ...
def format(defs: AlertDefinitions[Any], kind: str = "func") -> Any:  # noqa: A001
    """Writes records as a definition text: str for str fields, bytes for
    bytes fields (str for a record set without fields).

    >>> vantrel.format(vantrel.AlertDefinitions(
    ...     [vantrel.AlertDefinition("n", "d", [vantrel.DefinitionParam("k", ["v"])])]))
    '--#--n--#----{--d--}----{--k==v--}--'
    """
    return _vantrel.format(defs, kind)


def check(
    item: Union[str, bytes, AlertDefinitions[Any]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
) -> CheckResult:
    """Does a text, or a set of records, come back unchanged?

    For a text: parsed and written back by the library, "ok" only when it
    comes back byte for byte. For records: written and read back, "ok" only
    when the same records and combination come back.

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


def check_many(
    items: Iterable[Union[str, bytes, AlertDefinitions[Any]]],
    kind: str = "func",
    max_causes: int = DEFAULT_MAX_CAUSES,
) -> Iterator[CheckResult]:
    """``check`` of every item, in order, a few hundred at a time with the
    GIL released while the library works; an item of the wrong type raises
    its TypeError or ValueError when its turn comes."""
    for chunk in _chunks(items):
        for result in _vantrel.check_chunk(chunk, kind, max_causes):
            if isinstance(result, BaseException):
                raise result
            yield result


@overload
def parse_many(
    texts: Iterable[str], kind: str = "func", partial: bool = False
) -> Iterator[AlertDefinitions[str]]: ...
@overload
def parse_many(
    texts: Iterable[bytes], kind: str = "func", partial: bool = False
) -> Iterator[AlertDefinitions[bytes]]: ...
def parse_many(
    texts: Iterable[Union[str, bytes]], kind: str = "func", partial: bool = False
) -> Iterator[Any]:
    """``parse`` of every text, in order, as ``check_many`` runs."""
    for chunk in _chunks(texts):
        for result in _vantrel.parse_chunk(chunk, kind):
            if isinstance(result, BaseException):
                raise result
            yield _records(result, partial)

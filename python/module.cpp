// vantrel._vantrel: the Python package's extension module.
//
// It converts between Python objects and the library's records and leaves
// every verdict to the rules library: the parse is the library's own, a
// check is rules::CheckText or rules::CheckRecords with the reports the
// command-line tool prints, and what a migration may write back is
// rules::Rewrite alone (the Python edit only changes the records it is
// handed). The record classes are plain Python classes of the package
// (vantrel/__init__.py), which hands them over at import; the module fills
// their instances directly, without running their __init__.
//
// Field bytes: a record set is either all str or all bytes. str fields are
// UTF-8 with surrogateescape both ways, so that every byte string survives
// bytes -> str -> bytes.
//
// The batch functions take a chunk of inputs from the package and work each
// item with the GIL released; parse and check items one at a time as the
// caller takes them, rewrite the whole chunk (taking the GIL for each edit).
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "library.h"
#include "records_check.h"
#include "records_json.h"
#include "reports.h"
#include "rewrite.h"
#include "text.h"
#include "text_check.h"

namespace py = pybind11;

namespace vantrel {
namespace python {
namespace {

using rules::Combination;
using rules::Kind;
using rules::Report;
using rules::Status;

// Texts above this size are parsed and written with the GIL released, so
// that another thread runs meanwhile; below it the release costs more than
// it gives.
constexpr std::size_t kReleaseAbove = std::size_t{64} * 1024;

// Whether a record set's fields are str or bytes.
enum class Strings { kStr, kBytes };

// The package's classes and the interned attribute names. Handles, not
// objects: they are set once at import and keep their references for the
// life of the process, so that nothing is released after the interpreter.
struct Classes {
  py::handle definitions, definition, param, check_result, rewrite;
  py::handle a_definitions, a_combination, a_rejection, a_name, a_detail,
      a_params, a_key, a_values, a_status, a_report, a_lines, a_bytes, a_text,
      a_reason, a_id;
};
Classes classes;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

py::handle Keep(py::handle object) { return object.inc_ref(); }
py::handle Name(const char* name) {
  return py::str(name).release();  // interned once, kept
}

void Register(py::handle definitions, py::handle definition, py::handle param,
              py::handle check_result, py::handle rewrite) {
  classes.definitions = Keep(definitions);
  classes.definition = Keep(definition);
  classes.param = Keep(param);
  classes.check_result = Keep(check_result);
  classes.rewrite = Keep(rewrite);
  classes.a_definitions = Name("definitions");
  classes.a_combination = Name("combination");
  classes.a_rejection = Name("rejection");
  classes.a_name = Name("name");
  classes.a_detail = Name("detail");
  classes.a_params = Name("params");
  classes.a_key = Name("key");
  classes.a_values = Name("values");
  classes.a_status = Name("status");
  classes.a_report = Name("report");
  classes.a_lines = Name("lines");
  classes.a_bytes = Name("_bytes");
  classes.a_text = Name("text");
  classes.a_reason = Name("reason");
  classes.a_id = Name("id");
}

void CheckRegistered() {
  if (!classes.definitions) {
    throw std::logic_error(
        "vantrel._vantrel is used through the vantrel package");
  }
}

Kind KindOf(py::handle kind) {
  if (py::isinstance<py::str>(kind)) {
    const auto name = kind.cast<std::string>();
    if (name == "func") return Kind::Func;
    if (name == "filter") return Kind::Filter;
  }
  throw py::value_error(R"(kind: expected "func" or "filter", found )" +
                        py::repr(kind).cast<std::string>());
}

std::string TypeName(py::handle object) {
  return py::str(py::type::handle_of(object).attr("__name__"))
      .cast<std::string>();
}

// --- Python to bytes --------------------------------------------------------

// Reads the str or bytes fields of one record set, all of one kind.
class FieldReader {
 public:
  FieldReader() = default;

  Strings strings() const { return strings_; }
  // The kind of a record set that holds no field at all.
  void Default(Strings strings) {
    if (!known_) strings_ = strings;
  }

  void Read(py::handle field, const std::string& path, std::string& out) {
    const bool is_bytes = PyBytes_Check(field.ptr()) != 0;
    if (!is_bytes && PyUnicode_Check(field.ptr()) == 0) {
      throw py::type_error(path + ": expected str or bytes, found " +
                           TypeName(field));
    }
    const Strings found = is_bytes ? Strings::kBytes : Strings::kStr;
    if (!known_) {
      strings_ = found;
      known_ = true;
      first_ = path;
    } else if (found != strings_) {
      throw py::type_error(
          path + ": " + (is_bytes ? "bytes" : "str") + " in a record set of " +
          (is_bytes ? "str" : "bytes") +
          (first_.empty()
               ? std::string()
               : " (" + first_ + " is " + (is_bytes ? "str" : "bytes") + ")") +
          ": a record set is all str or all bytes");
    }
    if (is_bytes) {
      char* data = nullptr;
      Py_ssize_t size = 0;
      PyBytes_AsStringAndSize(field.ptr(), &data, &size);
      out.assign(data, static_cast<std::size_t>(size));
      return;
    }
    Py_ssize_t size = 0;
    if (const char* data = PyUnicode_AsUTF8AndSize(field.ptr(), &size)) {
      out.assign(data, static_cast<std::size_t>(size));
      return;
    }
    // Not UTF-8 as it is: the bytes it came from, escaped as surrogates.
    PyErr_Clear();
    PyObject* encoded =
        PyUnicode_AsEncodedString(field.ptr(), "utf-8", "surrogateescape");
    if (encoded == nullptr) {
      PyErr_Clear();
      throw py::value_error(path +
                            ": a str with a surrogate that stands for no byte "
                            "(only U+DC80 to U+DCFF do)");
    }
    const auto bytes = py::reinterpret_steal<py::bytes>(encoded);
    out = static_cast<std::string>(bytes);
  }

 private:
  Strings strings_ = Strings::kStr;
  bool known_ = false;
  std::string first_;
};

// A list or tuple, as a sequence of borrowed items; TypeError otherwise.
py::sequence ListOf(py::handle object, const std::string& path,
                    const char* what) {
  if (!py::isinstance<py::list>(object) && !py::isinstance<py::tuple>(object)) {
    throw py::type_error(path + ": expected a list of " + what + ", found " +
                         TypeName(object));
  }
  return py::reinterpret_borrow<py::sequence>(object);
}

void Expect(py::handle object, py::handle cls, const std::string& path) {
  if (!py::isinstance(object, cls)) {
    throw py::type_error(path + ": expected " +
                         py::str(cls.attr("__name__")).cast<std::string>() +
                         ", found " + TypeName(object));
  }
}

// An integer of any type that has one (int, numpy and pandas scalars: what
// operator.index takes), bool excepted; TypeError naming `what` otherwise.
py::int_ IndexOf(py::handle value, const std::string& what) {
  if (PyBool_Check(value.ptr()) == 0 && PyIndex_Check(value.ptr()) != 0) {
    PyObject* number = PyNumber_Index(value.ptr());
    if (number != nullptr) return py::reinterpret_steal<py::int_>(number);
    PyErr_Clear();
  }
  throw py::type_error(what + ", found " + TypeName(value));
}

Combination CombinationOf(py::handle value) {
  if (value.is_none()) return std::nullopt;
  const py::int_ index = IndexOf(value, "combination: expected 0, 1 or None");
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0 || (number != 0 && number != 1)) {
    throw py::value_error(
        "combination: expected 0 (\"@@OR@@\"), 1 (\"@@AND@@\") or None (no "
        "joiner), found " +
        py::repr(value).cast<std::string>());
  }
  return static_cast<std::uint32_t>(number);
}

// The records of an AlertDefinitions into `target` (empty); gives their
// combination.
Combination ReadRecords(py::handle defs, FieldReader& fields,
                        AlertDefinitions& target) {
  Expect(defs, classes.definitions, "records");
  const Combination combination =
      CombinationOf(defs.attr(classes.a_combination));
  const py::sequence records = ListOf(defs.attr(classes.a_definitions),
                                      "definitions", "AlertDefinition");
  std::size_t r = 0;
  for (const py::handle record : records) {
    const std::string path = rules::RecordPath(r);
    Expect(record, classes.definition, path);
    AlertDefinition& out = target.definitions.emplace_back();
    fields.Read(record.attr(classes.a_name), path + ".name", out.name);
    fields.Read(record.attr(classes.a_detail), path + ".detail", out.detail);
    const py::sequence params = ListOf(record.attr(classes.a_params),
                                       path + ".params", "DefinitionParam");
    std::size_t p = 0;
    for (const py::handle param : params) {
      const std::string param_path = rules::ParamPath(r, p);
      Expect(param, classes.param, param_path);
      DefinitionParam& param_out = out.params.emplace_back();
      fields.Read(param.attr(classes.a_key), param_path + ".key",
                  param_out.key);
      const py::sequence values = ListOf(
          param.attr(classes.a_values), param_path + ".values", "str or bytes");
      std::size_t v = 0;
      for (const py::handle value : values) {
        fields.Read(value, rules::ValuePath(r, p, v),
                    param_out.values.emplace_back());
        ++v;
      }
      ++p;
    }
    ++r;
  }
  // A record set that was read from bytes, or made of bytes, and then
  // emptied still writes bytes.
  if (PyObject_IsTrue(
          py::getattr(defs, classes.a_bytes, py::bool_(false)).ptr()) == 1) {
    fields.Default(Strings::kBytes);
  }
  return combination;
}

// A text argument: its bytes and whether it was str or bytes.
Strings ReadText(py::handle text, std::string& out) {
  if (PyBytes_Check(text.ptr()) == 0 && PyUnicode_Check(text.ptr()) == 0) {
    throw py::type_error("text: expected str or bytes, found " +
                         TypeName(text));
  }
  FieldReader fields;
  fields.Read(text, "text", out);
  return fields.strings();
}

// --- bytes to Python --------------------------------------------------------

py::object Field(const std::string& bytes, Strings strings) {
  const auto size = static_cast<Py_ssize_t>(bytes.size());
  PyObject* field =
      strings == Strings::kBytes
          ? PyBytes_FromStringAndSize(bytes.data(), size)
          : PyUnicode_DecodeUTF8(bytes.data(), size, "surrogateescape");
  if (field == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(field);
}

// An instance of one of the package's classes, its __init__ not run: the
// caller sets every attribute.
py::object Instance(py::handle cls) {
  // A class object is a PyTypeObject.
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
  auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  const py::tuple no_arguments;
  PyObject* object = type->tp_new(type, no_arguments.ptr(), nullptr);
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

void Set(py::handle object, py::handle name, py::handle value) {
  if (PyObject_SetAttr(object.ptr(), name.ptr(), value.ptr()) != 0) {
    throw py::error_already_set();
  }
}

template <typename Container, typename Convert>
py::list ListFrom(const Container& items, Convert convert) {
  py::list list(items.size());
  Py_ssize_t i = 0;
  for (const auto& item : items) {
    PyList_SET_ITEM(list.ptr(), i++, convert(item).release().ptr());
  }
  return list;
}

py::object CombinationObject(const Combination& combination) {
  if (!combination) return py::none();
  return py::int_(*combination);
}

py::object Records(const AlertDefinitions& defs, const Combination& combination,
                   Strings strings) {
  py::object out = Instance(classes.definitions);
  Set(out, classes.a_definitions,
      ListFrom(defs.definitions, [&](const AlertDefinition& record) {
        py::object item = Instance(classes.definition);
        Set(item, classes.a_name, Field(record.name, strings));
        Set(item, classes.a_detail, Field(record.detail, strings));
        Set(item, classes.a_params,
            ListFrom(record.params, [&](const DefinitionParam& param) {
              py::object p = Instance(classes.param);
              Set(p, classes.a_key, Field(param.key, strings));
              Set(p, classes.a_values,
                  ListFrom(param.values, [&](const std::string& value) {
                    return Field(value, strings);
                  }));
              return p;
            }));
        return item;
      }));
  Set(out, classes.a_combination, CombinationObject(combination));
  Set(out, classes.a_rejection, py::none());
  Set(out, classes.a_bytes, py::bool_(strings == Strings::kBytes));
  return out;
}

// A report (UTF-8 strings, numbers, arrays, objects) as Python objects.
py::object FromReport(const Report& report) {
  switch (report.type()) {
    case Report::value_t::object: {
      py::dict dict;
      for (const auto& [key, value] : report.items()) {
        dict[py::str(key)] = FromReport(value);
      }
      return std::move(dict);
    }
    case Report::value_t::array:
      return ListFrom(report,
                      [](const Report& item) { return FromReport(item); });
    case Report::value_t::string:
      return py::str(report.get_ref<const std::string&>());
    case Report::value_t::boolean:
      return py::bool_(report.get<bool>());
    case Report::value_t::number_unsigned:
      return py::int_(report.get<std::uint64_t>());
    case Report::value_t::number_integer:
      return py::int_(report.get<std::int64_t>());
    case Report::value_t::number_float:
      return py::float_(report.get<double>());
    default:
      return py::none();
  }
}

// --- the work, without the GIL ----------------------------------------------

// One input of a check or a parse, converted.
struct Input {
  bool is_text = true;
  Strings strings = Strings::kStr;
  std::string text;
  AlertDefinitions defs{};
  Combination combination;
  py::object error;  // the conversion failed: the exception to raise
};

// What a check found, as the tool reports it. (The check finds that its
// implicit move may throw: nlohmann's move constructor is noexcept, and what
// it calls is an assertion of its invariant.)
// NOLINTNEXTLINE(bugprone-exception-escape)
struct CheckOutcome {
  Status status = Status::kOk;
  Report report;
  std::string lines;
};

CheckOutcome TextOutcome(const rules::TextCheck& check,
                         const std::string& text) {
  CheckOutcome out;
  out.status = check.status;
  out.report =
      rules::TextReport(check, text, rules::ByteMode::Utf8, Report::object());
  out.lines = rules::TextReportLines(check, text);
  return out;
}

CheckOutcome RecordsOutcome(const rules::RecordsCheck& check,
                            std::size_t records) {
  CheckOutcome out;
  out.status = check.status;
  out.report =
      rules::RecordsReport(check, rules::ByteMode::Utf8, Report::object());
  out.lines = rules::RecordsReportLines(check, records);
  return out;
}

CheckOutcome RunCheck(Kind kind, Input& input, std::size_t max_causes) {
  if (input.is_text) {
    return TextOutcome(rules::CheckText(kind, input.text, max_causes),
                       input.text);
  }
  return RecordsOutcome(
      rules::CheckRecords(kind, input.defs, input.combination, max_causes),
      input.defs.definitions.size());
}

py::object CheckResult(const CheckOutcome& outcome) {
  py::object result = Instance(classes.check_result);
  Set(result, classes.a_status, py::str(rules::StatusName(outcome.status)));
  Set(result, classes.a_report, FromReport(outcome.report));
  Set(result, classes.a_lines, py::str(outcome.lines));
  return result;
}

// What a parse read, and where it stopped; with `whole`, whether the text
// reads back byte for byte. (As for CheckOutcome, the check finds that the
// implicit move of the report may throw.)
// NOLINTNEXTLINE(bugprone-exception-escape)
struct ParseOutcome {
  AlertDefinitions defs{};
  Combination combination;
  bool rejected = false;
  rules::Rejection rejection;
  std::string message;
  bool lossy = false;
  CheckOutcome check;  // lossy: the check that says where and why
};

void RunParse(Kind kind, const std::string& text, bool whole,
              std::size_t max_causes, ParseOutcome& out) {
  out.rejected = !rules::ParseText(kind, text, out.defs, out.combination);
  if (out.rejected) {
    // Only a rejected text pays for the located reader, which says where.
    const rules::TextCheck check = rules::CheckText(kind, text, 0);
    out.rejection = check.rejection;
    out.message = rules::Describe(check.rejection, text);
    return;
  }
  if (!whole) return;
  std::string written;
  rules::WriteRecords(kind, written, out.defs, out.combination);
  if (written == text) return;
  // Only a lossy text pays for the explanation.
  out.lossy = true;
  out.check = TextOutcome(rules::CheckText(kind, text, max_causes), text);
}

// The records, or (records, (piece, offset, message), None) for a rejected
// text, or (records, None, CheckResult) for a text that does not read back
// whole.
py::object ParseResult(const ParseOutcome& outcome, Strings strings) {
  py::object records = Records(outcome.defs, outcome.combination, strings);
  if (outcome.rejected) {
    return py::make_tuple(
        std::move(records),
        py::make_tuple(outcome.rejection.piece, outcome.rejection.offset,
                       outcome.message),
        py::none());
  }
  if (outcome.lossy) {
    return py::make_tuple(std::move(records), py::none(),
                          CheckResult(outcome.check));
  }
  return records;
}

std::size_t MaxCauses(py::handle max_causes) {
  const py::int_ index = IndexOf(max_causes, "max_causes: expected an int");
  int overflow = 0;
  long long number = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow > 0) number = std::numeric_limits<long long>::max();
  if (number < 0 || overflow < 0) {
    throw py::value_error("max_causes: expected 0 or more, found " +
                          py::repr(max_causes).cast<std::string>());
  }
  return static_cast<std::size_t>(number);
}

// The exception of a bad item, taken out of the error indicator so that it
// is raised when the item's turn comes; other failures (MemoryError,
// KeyboardInterrupt) pass on at once.
template <typename Convert>
py::object Caught(Convert convert) {
  try {
    convert();
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_TypeError) && !error.matches(PyExc_ValueError)) {
      throw;
    }
    return error.value();
  } catch (py::builtin_exception& error) {
    // pybind11's own (type_error, value_error): turned into the Python
    // exception now, while the item is at hand.
    error.set_error();
    const py::error_already_set raised;
    return raised.value();
  }
  return {};
}

// What a check or a parse takes: a text, or (for a check) records.
void ReadItem(py::handle item, bool records_too, Input& input) {
  if (records_too && py::isinstance(item, classes.definitions)) {
    input.is_text = false;
    FieldReader fields;
    input.combination = ReadRecords(item, fields, input.defs);
    input.strings = fields.strings();
    return;
  }
  if (PyBytes_Check(item.ptr()) == 0 && PyUnicode_Check(item.ptr()) == 0) {
    std::string message = records_too ? "item: expected a text (str or bytes) "
                                        "or records (AlertDefinitions)"
                                      : "text: expected str or bytes";
    message += ", found " + TypeName(item);
    if (PyDict_Check(item.ptr()) != 0) {
      message +=
          " (records in the tool's JSON form: AlertDefinitions.from_dict)";
    }
    throw py::type_error(message);
  }
  input.strings = ReadText(item, input.text);
}

// --- the module's functions -------------------------------------------------

py::object Parse(py::handle text, py::handle kind_name, bool whole,
                 py::handle max_causes) {
  CheckRegistered();
  const Kind kind = KindOf(kind_name);
  const std::size_t limit = MaxCauses(max_causes);
  Input input;
  ReadItem(text, false, input);
  ParseOutcome outcome;
  if (input.text.size() > kReleaseAbove) {
    const py::gil_scoped_release release;
    RunParse(kind, input.text, whole, limit, outcome);
  } else {
    RunParse(kind, input.text, whole, limit, outcome);
  }
  return ParseResult(outcome, input.strings);
}

// The text, or with `strict` the CheckResult of records that would not read
// back.
py::object Format(py::handle defs, py::handle kind_name, bool strict,
                  py::handle max_causes) {
  CheckRegistered();
  const Kind kind = KindOf(kind_name);
  const std::size_t limit = MaxCauses(max_causes);
  FieldReader fields;
  AlertDefinitions records{};
  const Combination combination = ReadRecords(defs, fields, records);
  std::string text;
  CheckOutcome refused;
  bool ok = true;
  {
    const py::gil_scoped_release release;
    if (strict) {
      const rules::RecordsCheck check =
          rules::CheckRecords(kind, records, combination, limit);
      ok = check.status == Status::kOk;
      if (!ok) refused = RecordsOutcome(check, records.definitions.size());
    }
    if (ok) rules::WriteRecords(kind, text, records, combination);
  }
  if (!ok) return CheckResult(refused);
  return Field(text, fields.strings());
}

py::object Check(py::handle item, py::handle kind_name, py::handle max_causes) {
  CheckRegistered();
  const Kind kind = KindOf(kind_name);
  const std::size_t limit = MaxCauses(max_causes);
  Input input;
  ReadItem(item, true, input);
  CheckOutcome outcome;
  {
    const py::gil_scoped_release release;
    outcome = RunCheck(kind, input, limit);
  }
  return CheckResult(outcome);
}

// One chunk of a batch function: the items as given, each converted, worked
// out with the GIL released and made a Python object when the caller takes
// it. One at a time keeps the library's records of an item hot in the cache
// while they become Python objects, and keeps few new objects alive
// together (a chunk's results all built at once set the cyclic collector
// going again and again).
class Chunk {
 public:
  explicit Chunk(py::list items) : items_(std::move(items)) {
    CheckRegistered();
  }
  std::size_t size() const { return items_.size(); }

 protected:
  py::handle Item(std::size_t i) const {
    if (i >= items_.size()) throw py::index_error();
    return PyList_GET_ITEM(items_.ptr(), static_cast<Py_ssize_t>(i));
  }

 private:
  py::list items_;
};

class CheckChunk : public Chunk {
 public:
  CheckChunk(const py::list& items, py::handle kind_name, py::handle max_causes)
      : Chunk(items), kind_(KindOf(kind_name)), limit_(MaxCauses(max_causes)) {}

  // A CheckResult, or the exception of a bad item.
  py::object Take(std::size_t i) const {
    Input input;
    py::object error = Caught([&] { ReadItem(Item(i), true, input); });
    if (error) return error;
    CheckOutcome outcome;
    {
      const py::gil_scoped_release release;
      outcome = RunCheck(kind_, input, limit_);
    }
    return CheckResult(outcome);
  }

 private:
  Kind kind_;
  std::size_t limit_;
};

class ParseChunk : public Chunk {
 public:
  ParseChunk(const py::list& items, py::handle kind_name, bool whole,
             py::handle max_causes)
      : Chunk(items),
        kind_(KindOf(kind_name)),
        whole_(whole),
        limit_(MaxCauses(max_causes)) {}

  // As Parse gives it, or the exception of a bad item.
  py::object Take(std::size_t i) const {
    Input input;
    py::object error = Caught([&] { ReadItem(Item(i), false, input); });
    if (error) return error;
    ParseOutcome outcome;
    {
      const py::gil_scoped_release release;
      RunParse(kind_, input.text, whole_, limit_, outcome);
    }
    return ParseResult(outcome, input.strings);
  }

 private:
  Kind kind_;
  bool whole_;
  std::size_t limit_;
};

// --- rewrite ----------------------------------------------------------------

// One rule to rewrite: its id (None when none was given), the text object
// as given (written back as it is whenever the text is not rewritten), its
// bytes.
struct RewriteInput {
  py::object id;
  py::object original;
  Strings strings = Strings::kStr;
  std::string text;
  py::object error;  // the conversion failed: the exception to raise
};

void ReadRewriteItem(py::handle item, bool pairs_too, RewriteInput& input) {
  if (pairs_too && PyTuple_Check(item.ptr()) != 0) {
    if (PyTuple_GET_SIZE(item.ptr()) != 2) {
      throw py::value_error(
          "expected a text or an (id, text) pair, found a "
          "tuple of " +
          std::to_string(PyTuple_GET_SIZE(item.ptr())));
    }
    input.id =
        py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(item.ptr(), 0));
    item = PyTuple_GET_ITEM(item.ptr(), 1);
  } else {
    input.id = py::none();
  }
  if (PyBytes_Check(item.ptr()) == 0 && PyUnicode_Check(item.ptr()) == 0) {
    throw py::type_error(
        std::string(pairs_too ? "expected a text (str or bytes) or an (id, "
                                "text) pair"
                              : "text: expected str or bytes") +
        ", found " + TypeName(item));
  }
  input.original = py::reinterpret_borrow<py::object>(item);
  input.strings = ReadText(item, input.text);
}

// Raised through the rules library when the Python edit fails; the Python
// exception itself waits in Editor::failure.
struct EditFailed {};

// The Python edit as the rules library calls it, from a thread that has
// released the GIL: it takes the GIL, hands the edit the records as Python
// objects, and reads back what the edit left (the same records changed in
// place, or the new record set it returned).
class Editor {
 public:
  explicit Editor(py::handle edit) : edit_(edit) {}

  void Call(AlertDefinitions& defs, Combination& combination, Strings strings) {
    const py::gil_scoped_acquire gil;
    try {
      py::object records = Records(defs, combination, strings);
      py::object returned = edit_(records);
      if (!returned.is_none()) {
        if (!py::isinstance(returned, classes.definitions)) {
          throw py::type_error(
              "edit: expected to change the AlertDefinitions in place and "
              "return None, or to return an AlertDefinitions; returned " +
              TypeName(returned));
        }
        records = std::move(returned);
      }
      AlertDefinitions edited{};
      FieldReader fields;
      combination = ReadRecords(records, fields, edited);
      defs = std::move(edited);
    } catch (py::error_already_set& error) {
      failure_.emplace(std::move(error));
      throw EditFailed{};
    } catch (py::builtin_exception& error) {
      error.set_error();
      failure_.emplace();
      throw EditFailed{};
    }
  }

  // With the GIL: raises the edit's exception.
  [[noreturn]] void Raise() { throw std::move(*failure_); }

 private:
  py::handle edit_;
  std::optional<py::error_already_set> failure_;
};

rules::RewriteResult RunRewrite(Kind kind, const RewriteInput& input,
                                Editor& editor, rules::RewriteLimits limits) {
  return rules::Rewrite(
      kind, input.text,
      [&](AlertDefinitions& defs, Combination& combination) {
        editor.Call(defs, combination, input.strings);
      },
      limits);
}

// A vantrel.Rewrite: the original text object itself unless rewritten.
py::object RewriteObject(const RewriteInput& input,
                         const rules::RewriteResult& result) {
  py::object out = Instance(classes.rewrite);
  Set(out, classes.a_status, py::str(rules::RewriteStatusName(result.status)));
  Set(out, classes.a_text,
      result.status == rules::RewriteStatus::kRewritten
          ? Field(result.text, input.strings)
          : input.original);
  PyObject* reason = PyUnicode_DecodeUTF8(
      result.reason.data(), static_cast<Py_ssize_t>(result.reason.size()),
      "backslashreplace");
  if (reason == nullptr) throw py::error_already_set();
  Set(out, classes.a_reason, py::reinterpret_steal<py::object>(reason));
  Set(out, classes.a_id, input.id);
  return out;
}

py::object RewriteOne(py::handle text, py::handle edit, py::handle kind_name,
                      py::handle id, bool single_line) {
  CheckRegistered();
  const Kind kind = KindOf(kind_name);
  RewriteInput input;
  ReadRewriteItem(text, false, input);
  input.id = py::reinterpret_borrow<py::object>(id);
  Editor editor(edit);
  rules::RewriteResult result;
  bool failed = false;
  {
    const py::gil_scoped_release release;
    try {
      result = RunRewrite(kind, input, editor, {single_line});
    } catch (const EditFailed&) {
      failed = true;
    }
  }
  if (failed) editor.Raise();
  return RewriteObject(input, result);
}

// One chunk of rewrite_many, worked out with the GIL released but for the
// edits. When an edit fails, the rules before it are done and its turn
// raises the edit's exception.
class RewriteChunk {
 public:
  RewriteChunk(const py::list& items, py::handle edit, py::handle kind_name,
               bool single_line)
      : editor_(edit) {
    CheckRegistered();
    const Kind kind = KindOf(kind_name);
    inputs_.resize(items.size());
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      RewriteInput& input = inputs_[i];
      input.error = Caught([&] { ReadRewriteItem(items[i], true, input); });
    }
    results_.resize(inputs_.size());
    failed_at_ = inputs_.size();
    const py::gil_scoped_release release;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      if (inputs_[i].error) continue;
      try {
        results_[i] = RunRewrite(kind, inputs_[i], editor_, {single_line});
      } catch (const EditFailed&) {
        failed_at_ = i;
        break;
      }
    }
  }

  std::size_t size() const { return inputs_.size(); }

  // A vantrel.Rewrite, or the exception of a bad item; raises the edit's
  // exception in its turn.
  py::object Take(std::size_t i) {
    if (i >= inputs_.size()) throw py::index_error();
    if (i == failed_at_) editor_.Raise();
    if (i > failed_at_) throw py::index_error();
    if (inputs_[i].error) return inputs_[i].error;
    py::object out = RewriteObject(inputs_[i], results_[i]);
    results_[i] = rules::RewriteResult();
    inputs_[i] = RewriteInput();
    return out;
  }

 private:
  Editor editor_;
  std::vector<RewriteInput> inputs_;
  std::vector<rules::RewriteResult> results_;
  std::size_t failed_at_ = 0;
};

}  // namespace
}  // namespace python
}  // namespace vantrel

PYBIND11_MODULE(_vantrel, module) {
  namespace vp = vantrel::python;
  module.doc() = "The extension module of the vantrel package; use vantrel.";
  module.attr("__version__") = VANTREL_VERSION;
  module.attr("DEFAULT_MAX_CAUSES") = vantrel::rules::kDefaultMaxCauses;
  module.def("_register", &vp::Register);
  module.def("parse", &vp::Parse, py::arg("text"), py::arg("kind"),
             py::arg("whole"), py::arg("max_causes"));
  module.def("format", &vp::Format, py::arg("defs"), py::arg("kind"),
             py::arg("strict"), py::arg("max_causes"));
  module.def("check", &vp::Check, py::arg("item"), py::arg("kind"),
             py::arg("max_causes"));
  py::class_<vp::CheckChunk>(module, "CheckChunk")
      .def(py::init<const py::list&, py::handle, py::handle>(),
           py::arg("items"), py::arg("kind"), py::arg("max_causes"))
      .def("__len__", &vp::CheckChunk::size)
      .def("take", &vp::CheckChunk::Take);
  py::class_<vp::ParseChunk>(module, "ParseChunk")
      .def(py::init<const py::list&, py::handle, bool, py::handle>(),
           py::arg("items"), py::arg("kind"), py::arg("whole"),
           py::arg("max_causes"))
      .def("__len__", &vp::ParseChunk::size)
      .def("take", &vp::ParseChunk::Take);
  module.def("rewrite", &vp::RewriteOne, py::arg("text"), py::arg("edit"),
             py::arg("kind"), py::arg("id"), py::arg("single_line"));
  py::class_<vp::RewriteChunk>(module, "RewriteChunk")
      .def(py::init<const py::list&, py::handle, py::handle, bool>(),
           py::arg("items"), py::arg("edit"), py::arg("kind"),
           py::arg("single_line"))
      .def("__len__", &vp::RewriteChunk::size)
      .def("take", &vp::RewriteChunk::Take);
}

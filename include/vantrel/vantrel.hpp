// Vantrel's C++ layer on the C interface: the records of
// alert_definitions.h read and written through libvantrel_c / VantrelC.dll.
//
// Header-only and C++11. Everything of the C++ standard library here is
// compiled in the host, with the host's compiler, standard library,
// runtime, debug level and operator new; only the C interface's pointers
// and sizes cross into the library. A C++ host that cannot match Vantrel.dll
// (another compiler or STL, a /MT or differently debugged build, a replaced
// global operator new, a DLL loaded at run time) uses this header instead of
// the four functions and gets the same records and texts:
//
//   #include "vantrel/vantrel.hpp"   // link libvantrel_c / VantrelC.lib
//
//   AlertDefinitions defs{};
//   bool ok = vantrel::ParseFunc(text, defs);    // as GetFuncDefinition
//   std::string out;
//   vantrel::WriteFunc(defs, out);               // as SetFuncDefinition
//   // out == text when vantrel::TextSurvives(vantrel::Kind::kFunc, text)
//
// Parse appends to `defs` as GetFuncDefinition does: the records of the
// pieces before a rejected one are kept, and the combination is set when the
// text holds a joiner. Write replaces `text` with the definition text. An
// allocation that fails, in the library or in the host, throws
// std::bad_alloc; `defs` and `text` are then as they were. Other statuses
// mean a misuse and throw std::invalid_argument or std::out_of_range.
//
// vantrel::Definitions owns one handle of the C interface, for a host that
// wants the rejected piece's place or reads fields without copying them.
//
// Including this header declares the records but not the four functions of
// Vantrel.dll, so a host does not link that library; a host that wants both
// includes alert_definitions.h as well, in any order.

#ifndef VANTREL_VANTREL_HPP_
#define VANTREL_VANTREL_HPP_

#include <cstddef>
#include <cstdint>
#include <list>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#if defined(VANTREL_RECORDS_ONLY)
#include "vantrel/alert_definitions.h"
#else
#define VANTREL_RECORDS_ONLY
#include "vantrel/alert_definitions.h"
#undef VANTREL_RECORDS_ONLY
#endif
#include "vantrel/vantrel.h"

namespace vantrel {

// The two kinds of definition, read and written alike.
enum class Kind { kFunc = VANTREL_FUNC, kFilter = VANTREL_FILTER };

namespace c_layer {

inline vantrel_kind ToC(Kind kind) {
  return kind == Kind::kFilter ? VANTREL_FILTER : VANTREL_FUNC;
}

// Throws for every status but VANTREL_OK.
inline void Check(vantrel_status status) {
  switch (status) {
    case VANTREL_OK:
      return;
    case VANTREL_OUT_OF_MEMORY:
      throw std::bad_alloc();
    case VANTREL_OUT_OF_RANGE:
      throw std::out_of_range(vantrel_status_name(status));
    default:
      throw std::invalid_argument(vantrel_status_name(status));
  }
}

inline std::string StringOf(vantrel_text text) {
  return text.size == 0 ? std::string() : std::string(text.data, text.size);
}

}  // namespace c_layer

// One handle of the C interface: a definition held by libvantrel_c.
class Definitions {
 public:
  // An empty definition with the given combination.
  explicit Definitions(std::uint32_t combination = 0) : defs_(nullptr) {
    c_layer::Check(vantrel_new(combination, &defs_));
  }
  // A definition holding copies of `source`'s records and combination.
  explicit Definitions(const AlertDefinitions& source)
      : Definitions(source.combination) {
    for (std::list<AlertDefinition>::const_iterator record =
             source.definitions.begin();
         record != source.definitions.end(); ++record) {
      c_layer::Check(
          vantrel_add_condition(defs_, record->name.data(), record->name.size(),
                                record->detail.data(), record->detail.size()));
      for (std::list<DefinitionParam>::const_iterator param =
               record->params.begin();
           param != record->params.end(); ++param) {
        c_layer::Check(
            vantrel_add_param(defs_, param->key.data(), param->key.size()));
        for (std::list<std::string>::const_iterator value =
                 param->values.begin();
             value != param->values.end(); ++value) {
          c_layer::Check(
              vantrel_add_value(defs_, value->data(), value->size()));
        }
      }
    }
  }
  Definitions(Definitions&& other) noexcept : defs_(other.defs_) {
    other.defs_ = nullptr;
  }
  Definitions& operator=(Definitions&& other) noexcept {
    std::swap(defs_, other.defs_);
    return *this;
  }
  Definitions(const Definitions&) = delete;
  Definitions& operator=(const Definitions&) = delete;
  ~Definitions() { vantrel_free(defs_); }

  // The C handle, still owned by this object.
  vantrel_definitions* get() const noexcept { return defs_; }

  // Appends the conditions of `text` (vantrel_parse). False when a piece
  // was rejected; then `*rejection`, when given, says which and where.
  bool Parse(Kind kind, const char* data, std::size_t size,
             vantrel_rejection* rejection = nullptr) {
    const vantrel_status status =
        vantrel_parse(defs_, c_layer::ToC(kind), data, size, rejection);
    if (status == VANTREL_REJECTED) return false;
    c_layer::Check(status);
    return true;
  }
  bool Parse(Kind kind, const std::string& text,
             vantrel_rejection* rejection = nullptr) {
    return Parse(kind, text.data(), text.size(), rejection);
  }

  std::size_t size() const noexcept { return vantrel_condition_count(defs_); }
  std::uint32_t combination() const noexcept {
    return vantrel_combination(defs_);
  }
  void set_combination(std::uint32_t combination) {
    c_layer::Check(vantrel_set_combination(defs_, combination));
  }

  // Appends copies of the conditions to `target.definitions` and sets
  // `target.combination`; on std::bad_alloc `target` is as it was.
  void AppendTo(AlertDefinitions& target) const {
    std::list<AlertDefinition> read;
    const std::size_t count = size();
    for (std::size_t c = 0; c < count; ++c) {
      vantrel_text name, detail;
      std::size_t params = 0;
      c_layer::Check(vantrel_condition(defs_, c, &name, &detail, &params));
      read.push_back(AlertDefinition());
      AlertDefinition& record = read.back();
      record.name = c_layer::StringOf(name);
      record.detail = c_layer::StringOf(detail);
      for (std::size_t p = 0; p < params; ++p) {
        vantrel_text key;
        std::size_t values = 0;
        c_layer::Check(vantrel_param(defs_, c, p, &key, &values));
        record.params.push_back(DefinitionParam());
        DefinitionParam& param = record.params.back();
        param.key = c_layer::StringOf(key);
        for (std::size_t v = 0; v < values; ++v) {
          vantrel_text value;
          c_layer::Check(vantrel_value(defs_, c, p, v, &value));
          param.values.push_back(c_layer::StringOf(value));
        }
      }
    }
    target.definitions.splice(target.definitions.end(), read);
    target.combination = combination();
  }

  // Replaces `text` with the definition text; on std::bad_alloc `text` is
  // as it was. When `text` has the capacity, its buffer is reused.
  void Write(Kind kind, std::string& text) const {
    std::size_t size = 0;
    const vantrel_status status =
        vantrel_write(defs_, c_layer::ToC(kind), nullptr, 0, &size);
    if (status != VANTREL_BUFFER_TOO_SMALL) c_layer::Check(status);
    std::string fresh;
    std::string& out = size <= text.capacity() ? text : fresh;
    out.resize(size);
    if (size != 0) {
      c_layer::Check(
          vantrel_write(defs_, c_layer::ToC(kind), &out[0], size, &size));
    }
    if (&out == &fresh) text.swap(fresh);
  }

  // Whether the records, written and read back, come back the same.
  bool RecordsSurvive(Kind kind) const {
    int survives = 0;
    c_layer::Check(
        vantrel_records_survive(defs_, c_layer::ToC(kind), &survives));
    return survives != 0;
  }

 private:
  vantrel_definitions* defs_;
};

// GetFuncDefinition / GetFilterDefinition through the C interface.
inline bool Parse(Kind kind, const std::string& text, AlertDefinitions& defs) {
  Definitions read(defs.combination);
  const bool accepted = read.Parse(kind, text);
  read.AppendTo(defs);
  return accepted;
}
inline bool ParseFunc(const std::string& text, AlertDefinitions& defs) {
  return Parse(Kind::kFunc, text, defs);
}
inline bool ParseFilter(const std::string& text, AlertDefinitions& defs) {
  return Parse(Kind::kFilter, text, defs);
}

// SetFuncDefinition / SetFilterDefinition through the C interface.
inline void Write(Kind kind, const AlertDefinitions& defs, std::string& text) {
  Definitions(defs).Write(kind, text);
}
inline void WriteFunc(const AlertDefinitions& defs, std::string& text) {
  Write(Kind::kFunc, defs, text);
}
inline void WriteFilter(const AlertDefinitions& defs, std::string& text) {
  Write(Kind::kFilter, defs, text);
}

// The verdicts: whether a text is accepted and written back byte for byte,
// and whether records written and read back are the same.
inline bool TextSurvives(Kind kind, const std::string& text) {
  int survives = 0;
  c_layer::Check(vantrel_text_survives(c_layer::ToC(kind), text.data(),
                                       text.size(), &survives));
  return survives != 0;
}
inline bool RecordsSurvive(Kind kind, const AlertDefinitions& defs) {
  return Definitions(defs).RecordsSurvive(kind);
}

}  // namespace vantrel

#endif  // VANTREL_VANTREL_HPP_

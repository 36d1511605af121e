// The C interface (vantrel/vantrel.h) seen with the C++ records: a handle
// read back into an AlertDefinitions, records put into a handle, and parse
// and write with the four C++ functions' signatures, so that one suite can
// run the same comparisons through either library. Needs Vantrel::vantrel_c
// linked. Failures of the C calls other than a rejection throw
// std::runtime_error with the status's name, which fails the test.

#ifndef VANTREL_TESTING_SUPPORT_C_RECORDS_H_
#define VANTREL_TESTING_SUPPORT_C_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.h"

namespace vantrel_test {

struct CHandleFree {
  void operator()(vantrel_definitions* defs) const noexcept {
    vantrel_free(defs);
  }
};
using CHandle = std::unique_ptr<vantrel_definitions, CHandleFree>;

inline void CheckStatus(vantrel_status status, const char* call) {
  if (status != VANTREL_OK) {
    throw std::runtime_error(std::string(call) + ": " +
                             vantrel_status_name(status));
  }
}

inline CHandle NewCHandle(std::uint32_t combination) {
  vantrel_definitions* defs = nullptr;
  CheckStatus(vantrel_new(combination, &defs), "vantrel_new");
  return CHandle(defs);
}

inline std::string StringOf(vantrel_text text) {
  return text.size == 0 ? std::string() : std::string(text.data, text.size);
}

// Appends the conditions of `defs` to `target.definitions`, field by field
// through the index accessors, and sets `target.combination`.
inline void AppendRecordsOf(const vantrel_definitions* defs,
                            AlertDefinitions& target) {
  const std::size_t count = vantrel_condition_count(defs);
  for (std::size_t c = 0; c < count; ++c) {
    vantrel_text name{};
    vantrel_text detail{};
    std::size_t params = 0;
    CheckStatus(vantrel_condition(defs, c, &name, &detail, &params),
                "vantrel_condition");
    AlertDefinition& record = target.definitions.emplace_back();
    record.name = StringOf(name);
    record.detail = StringOf(detail);
    for (std::size_t p = 0; p < params; ++p) {
      vantrel_text key{};
      std::size_t values = 0;
      CheckStatus(vantrel_param(defs, c, p, &key, &values), "vantrel_param");
      DefinitionParam& param = record.params.emplace_back();
      param.key = StringOf(key);
      for (std::size_t v = 0; v < values; ++v) {
        vantrel_text value{};
        CheckStatus(vantrel_value(defs, c, p, v, &value), "vantrel_value");
        param.values.push_back(StringOf(value));
      }
    }
  }
  target.combination = vantrel_combination(defs);
}

inline AlertDefinitions RecordsOf(const vantrel_definitions* defs) {
  AlertDefinitions out{};
  AppendRecordsOf(defs, out);
  return out;
}

// A new handle holding `source`'s records, built with vantrel_add_*.
inline CHandle HandleOf(const AlertDefinitions& source) {
  CHandle defs = NewCHandle(source.combination);
  for (const AlertDefinition& record : source.definitions) {
    CheckStatus(vantrel_add_condition(defs.get(), record.name.data(),
                                      record.name.size(), record.detail.data(),
                                      record.detail.size()),
                "vantrel_add_condition");
    for (const DefinitionParam& param : record.params) {
      CheckStatus(
          vantrel_add_param(defs.get(), param.key.data(), param.key.size()),
          "vantrel_add_param");
      for (const std::string& value : param.values) {
        CheckStatus(vantrel_add_value(defs.get(), value.data(), value.size()),
                    "vantrel_add_value");
      }
    }
  }
  return defs;
}

// GetFuncDefinition through the C interface: `target`'s combination goes
// into a new handle, the text is parsed there, and the conditions read are
// appended to `target`, whose combination becomes the handle's.
inline bool CGetFuncDefinition(const std::string& text,
                               AlertDefinitions& target,
                               vantrel_rejection* rejection = nullptr) {
  CHandle defs = NewCHandle(target.combination);
  const vantrel_status status = vantrel_parse(
      defs.get(), VANTREL_FUNC, text.data(), text.size(), rejection);
  if (status != VANTREL_REJECTED) CheckStatus(status, "vantrel_parse");
  AppendRecordsOf(defs.get(), target);
  return status == VANTREL_OK;
}

// SetFuncDefinition through the C interface: the records are built into a
// handle and written into a buffer of exactly the size asked for.
inline bool CSetFuncDefinition(std::string& text,
                               const AlertDefinitions& source) {
  CHandle defs = HandleOf(source);
  std::size_t size = 0;
  const vantrel_status status =
      vantrel_write(defs.get(), VANTREL_FUNC, nullptr, 0, &size);
  if (status != VANTREL_BUFFER_TOO_SMALL) CheckStatus(status, "vantrel_write");
  std::string out(size, '\0');
  CheckStatus(
      vantrel_write(defs.get(), VANTREL_FUNC, &out[0], out.size(), &size),
      "vantrel_write");
  text = std::move(out);
  return true;
}

}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_C_RECORDS_H_

// Test helpers for the record types: terse construction, equality and
// readable printing in GoogleTest failure messages. The fuzz targets use
// the equality without GoogleTest.

#ifndef VANTREL_TESTING_SUPPORT_RECORDS_H_
#define VANTREL_TESTING_SUPPORT_RECORDS_H_

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

#include "vantrel/alert_definitions.h"

namespace vantrel_test {

inline DefinitionParam Param(std::string key,
                             std::initializer_list<std::string> values) {
  DefinitionParam param;
  param.key = std::move(key);
  param.values.assign(values);
  return param;
}

inline AlertDefinition Record(std::string name, std::string detail,
                              std::initializer_list<DefinitionParam> params) {
  AlertDefinition record;
  record.name = std::move(name);
  record.detail = std::move(detail);
  record.params.assign(params);
  return record;
}

inline AlertDefinitions Definitions(
    std::initializer_list<AlertDefinition> records, std::uint32_t combination) {
  AlertDefinitions defs{};
  defs.definitions.assign(records);
  defs.combination = combination;
  return defs;
}

// Escapes bytes that would garble a failure message.
inline std::string Quoted(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace vantrel_test

// Equality and printing live in the global namespace, next to the types, so
// that GoogleTest finds them by argument-dependent lookup.
inline bool operator==(const DefinitionParam& a, const DefinitionParam& b) {
  return a.key == b.key && a.values == b.values;
}
inline bool operator==(const AlertDefinition& a, const AlertDefinition& b) {
  return a.name == b.name && a.detail == b.detail && a.params == b.params;
}
inline bool operator!=(const DefinitionParam& a, const DefinitionParam& b) {
  return !(a == b);
}
inline bool operator!=(const AlertDefinition& a, const AlertDefinition& b) {
  return !(a == b);
}

namespace vantrel_test {

// The same records in the same order, whatever the combinations.
inline bool SameRecords(const AlertDefinitions& a, const AlertDefinitions& b) {
  return a.definitions == b.definitions;
}

// The same records and the same combination.
inline bool SameSet(const AlertDefinitions& a, const AlertDefinitions& b) {
  return a.combination == b.combination && SameRecords(a, b);
}

}  // namespace vantrel_test

inline void PrintTo(const DefinitionParam& param, std::ostream* os) {
  *os << "{key " << vantrel_test::Quoted(param.key) << ", values [";
  const char* sep = "";
  for (const std::string& value : param.values) {
    *os << sep << vantrel_test::Quoted(value);
    sep = ", ";
  }
  *os << "]}";
}

inline void PrintTo(const AlertDefinition& record, std::ostream* os) {
  *os << "{name " << vantrel_test::Quoted(record.name) << ", detail "
      << vantrel_test::Quoted(record.detail) << ", params [";
  const char* sep = "";
  for (const DefinitionParam& param : record.params) {
    *os << sep;
    PrintTo(param, os);
    sep = ", ";
  }
  *os << "]}";
}

#endif  // VANTREL_TESTING_SUPPORT_RECORDS_H_

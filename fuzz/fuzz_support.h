// Shared pieces of the fuzz targets: failing loudly and decoding a record set
// from arbitrary bytes. Record comparison is the tests' own
// (support/records.h).

#ifndef VANTREL_FUZZ_FUZZ_SUPPORT_H_
#define VANTREL_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/records.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_fuzz {

// A failed check prints what failed and aborts, which libFuzzer reports as a
// crash (and saves the input) and which fails the replay under CTest.
[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

#define VANTREL_FUZZ_CHECK(condition)                       \
  do {                                                      \
    if (!(condition)) {                                     \
      ::vantrel_fuzz::Fail(__FILE__, __LINE__, #condition); \
    }                                                       \
  } while (false)

// Decodes a record set from fuzz bytes.
//
// Byte 0 picks the combination: its low two bits select 0, 1 or 2, and 3
// takes the next four bytes as any 32-bit value. The remaining bytes are
// field content, except for five control bytes:
//   0xF0  start a new record (the next content goes to its name)
//   0xF1  move from the name to the detail of the current record
//   0xF2  start a new param of the current record (content goes to its key)
//   0xF3  start a new value of the current param
//   0xF4  take the next byte as content, whatever it is
// so that every byte value can reach every field, and texts spliced in from
// the dictionary land in fields unchanged. Content before any control byte
// starts a record of its own; a value before any param starts a param.
inline AlertDefinitions DecodeRecords(const std::uint8_t* data,
                                      std::size_t size) {
  AlertDefinitions defs{};
  std::size_t i = 0;
  if (size == 0) return defs;
  const std::uint8_t selector = data[i++];
  if ((selector & 3u) == 3u) {
    std::uint32_t value = 0;
    for (int n = 0; n < 4 && i < size; ++n) {
      value = (value << 8) | data[i++];
    }
    defs.combination = value;
  } else {
    defs.combination = selector & 3u;
  }

  // The field that content goes to; std::list keeps it in place while
  // further elements are appended.
  std::string* target = nullptr;
  auto record = [&]() -> AlertDefinition& {
    if (defs.definitions.empty()) defs.definitions.emplace_back();
    return defs.definitions.back();
  };
  auto param = [&]() -> DefinitionParam& {
    AlertDefinition& r = record();
    if (r.params.empty()) r.params.emplace_back();
    return r.params.back();
  };
  auto current = [&]() -> std::string& {
    if (target == nullptr) target = &record().name;
    return *target;
  };

  while (i < size) {
    const std::uint8_t byte = data[i++];
    switch (byte) {
      case 0xF0:
        defs.definitions.emplace_back();
        target = &defs.definitions.back().name;
        break;
      case 0xF1:
        target = &record().detail;
        break;
      case 0xF2: {
        AlertDefinition& r = record();
        r.params.emplace_back();
        target = &r.params.back().key;
        break;
      }
      case 0xF3: {
        DefinitionParam& p = param();
        p.values.emplace_back();
        target = &p.values.back();
        break;
      }
      case 0xF4:
        if (i < size) current().push_back(static_cast<char>(data[i++]));
        break;
      default:
        current().push_back(static_cast<char>(byte));
        break;
    }
  }
  return defs;
}

}  // namespace vantrel_fuzz

#endif  // VANTREL_FUZZ_FUZZ_SUPPORT_H_

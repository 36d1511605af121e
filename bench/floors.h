// The floors of the benchmarks: building the records of a text, and writing
// the text of records, with nothing of the codec's own work.
//
//   parse floor  the same records built straight from field texts cut out
//                beforehand (a tape of views into one prepared buffer), with
//                the same list nodes and strings and no scanning
//   write floor  one walk over the records for the size of the text, one
//                buffer of that size, and every output byte copied into it
//                once; WriteFloor given the size alone is the pre-sized
//                variant
//
// Shared by the benchmark suite and the instruction-count driver.

#ifndef VANTREL_BENCH_FLOORS_H_
#define VANTREL_BENCH_FLOORS_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vantrel/alert_definitions.h"

namespace vantrel_bench {

// ---------------------------------------------------------------------------
// The floors
// ---------------------------------------------------------------------------

// The fields of parsed records as a flat tape of views into one prepared
// buffer: the parse floor replays it.
struct Field {
  enum Kind : unsigned char { kRecord, kDetail, kParam, kValue } kind;
  const char* data;
  std::size_t size;
};

struct Tape {
  std::string buffer;
  std::vector<Field> fields;
  std::uint32_t combination = 0;
  bool has_joiner = false;
};

inline Tape MakeTape(const AlertDefinitions& defs, bool has_joiner) {
  Tape tape;
  tape.combination = defs.combination;
  tape.has_joiner = has_joiner;
  struct Pending {
    Field::Kind kind;
    std::size_t offset, size;
  };
  std::vector<Pending> pending;
  auto add = [&](Field::Kind kind, const std::string& s) {
    pending.push_back({kind, tape.buffer.size(), s.size()});
    tape.buffer += s;
  };
  for (const AlertDefinition& record : defs.definitions) {
    add(Field::kRecord, record.name);
    add(Field::kDetail, record.detail);
    for (const DefinitionParam& param : record.params) {
      add(Field::kParam, param.key);
      for (const std::string& value : param.values) add(Field::kValue, value);
    }
  }
  for (const Pending& p : pending) {
    tape.fields.push_back({p.kind, tape.buffer.data() + p.offset, p.size});
  }
  return tape;
}

inline bool ParseFloor(const Tape& tape, AlertDefinitions& target) {
  if (tape.has_joiner) target.combination = tape.combination;
  AlertDefinition* record = nullptr;
  DefinitionParam* param = nullptr;
  for (const Field& f : tape.fields) {
    switch (f.kind) {
      case Field::kRecord:
        record = &target.definitions.emplace_back();
        record->name.assign(f.data, f.size);
        break;
      case Field::kDetail:
        record->detail.assign(f.data, f.size);
        break;
      case Field::kParam:
        param = &record->params.emplace_back();
        param->key.assign(f.data, f.size);
        break;
      case Field::kValue:
        param->values.emplace_back(f.data, f.size);
        break;
    }
  }
  return true;
}

inline char* Put(char* dst, std::string_view bytes) {
  std::memcpy(dst, bytes.data(), bytes.size());
  return dst + bytes.size();
}

inline std::string_view SeparatorFor(std::uint32_t combination) {
  return combination == 1 ? " @@AND@@ " : combination == 0 ? " @@OR@@ " : "  ";
}

// The size of the text, from the sizes of the fields alone.
inline std::size_t TextSize(const AlertDefinitions& source) {
  std::size_t size = 0;
  for (const AlertDefinition& record : source.definitions) {
    size += 25 + record.name.size() + record.detail.size();
    if (record.params.empty()) continue;
    size += 5 * record.params.size();  // the opening mark and the "--;--"s
    for (const DefinitionParam& param : record.params) {
      size += param.key.size() + 2;
      for (const std::string& value : param.values) size += value.size();
      if (!param.values.empty()) size += 5 * (param.values.size() - 1);
    }
  }
  if (!source.definitions.empty()) {
    size += (source.definitions.size() - 1) *
            SeparatorFor(source.combination).size();
  }
  return size;
}

// Copies every output byte once into a buffer of `size` bytes, the size of
// the text.
inline std::unique_ptr<char[]> WriteFloor(const AlertDefinitions& source,
                                          std::size_t size) {
  std::unique_ptr<char[]> out(new char[size]);
  const std::string_view joiner = SeparatorFor(source.combination);
  char* dst = out.get();
  bool first = true;
  for (const AlertDefinition& record : source.definitions) {
    if (!first) dst = Put(dst, joiner);
    first = false;
    dst = Put(dst, "--#--");
    dst = Put(dst, record.name);
    dst = Put(dst, "--#----{--");
    dst = Put(dst, record.detail);
    dst = Put(dst, "--}--");
    if (!record.params.empty()) {
      dst = Put(dst, "--{--");
      bool first_param = true;
      for (const DefinitionParam& param : record.params) {
        if (!first_param) dst = Put(dst, "--;--");
        first_param = false;
        dst = Put(dst, param.key);
        dst = Put(dst, "==");
        bool first_value = true;
        for (const std::string& value : param.values) {
          if (!first_value) dst = Put(dst, "--,--");
          first_value = false;
          dst = Put(dst, value);
        }
      }
    }
    dst = Put(dst, "--}--");
  }
  if (static_cast<std::size_t>(dst - out.get()) != size) std::abort();
  return out;
}

}  // namespace vantrel_bench

#endif  // VANTREL_BENCH_FLOORS_H_

// The C interface (vantrel/vantrel.h) over the codec.
//
// A handle holds one AlertDefinitions and a flat index of it, so that every
// field is reached by number in O(1): the conditions in order, the params of
// all conditions in order (each condition knows where its params begin), and
// the values of all params in order (each param knows where its values
// begin). Appending keeps the order, because only the last condition gains
// params and only the last param gains values. The index holds pointers to
// the records' strings, which std::list keeps in place.
//
// No exception leaves a function here: each body runs inside Guard(), which
// turns std::bad_alloc (and std::length_error, a size no allocation can
// serve, the only other exception of the code it calls) into
// VANTREL_OUT_OF_MEMORY. Every change of a handle allocates all it needs
// first and then commits with operations that cannot throw, so a failed
// call leaves the handle as it was.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <list>
#include <memory>
#include <new>
#include <numeric>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/definition_text.h"
#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.h"

namespace vantrel {
namespace {

// A vector of trivially copyable entries that keeps its first N in place
// and moves to the heap beyond them, so that a small definition's index
// costs no allocation of its own. reserve() is the only call that
// allocates; push_back() needs the room reserve() made.
template <typename T, std::size_t N>
class SmallVector {
 public:
  std::size_t size() const noexcept { return on_heap_ ? heap_.size() : size_; }
  bool empty() const noexcept { return size() == 0; }
  const T* data() const noexcept {
    return on_heap_ ? heap_.data() : inline_.data();
  }
  T* data() noexcept { return on_heap_ ? heap_.data() : inline_.data(); }
  const T& operator[](std::size_t i) const noexcept { return data()[i]; }
  T& back() noexcept { return data()[size() - 1]; }

  std::size_t capacity() const noexcept {
    return on_heap_ ? heap_.capacity() : N;
  }

  // Storage for `n` entries, growing geometrically so that appending one
  // entry at a time stays linear; empty when there is room already. Leaves
  // this vector as it is, so that several can be prepared before any is
  // changed.
  std::vector<T> Prepare(std::size_t n) const {
    std::vector<T> room;
    if (n > capacity()) room.reserve(std::max(n, 2 * capacity()));
    return room;
  }
  // Moves the entries into storage from Prepare(); allocates nothing.
  void Adopt(std::vector<T>&& room) noexcept {
    if (room.capacity() == 0) return;
    room.insert(room.end(), data(), data() + size());  // within capacity
    heap_.swap(room);
    on_heap_ = true;
  }
  // Room for `n` entries; on std::bad_alloc the entries are as they were.
  void reserve(std::size_t n) { Adopt(Prepare(n)); }

  void push_back(const T& entry) {
    if (on_heap_) {
      heap_.push_back(entry);
    } else {
      inline_[size_++] = entry;
    }
  }

 private:
  std::array<T, N> inline_{};
  std::size_t size_ = 0;
  bool on_heap_ = false;
  std::vector<T> heap_;
};

// (cppcheck does not see the members read through SmallVector.)
struct ConditionEntry {
  const AlertDefinition* record;
  // cppcheck-suppress unusedStructMember
  std::size_t first_param;
  std::size_t param_count;
};
struct ParamEntry {
  const std::string* key;
  std::size_t first_value;
  std::size_t value_count;
};

}  // namespace
}  // namespace vantrel

// Room in place for a small rule's index (a few conditions, params and
// values, as in the worked example). The handle stays small too: a block of
// over a kilobyte would leave the allocators' fast per-thread caches (glibc
// serves only blocks up to about a kilobyte from them) and cost more than
// the allocations it saves.
struct vantrel_definitions {
  AlertDefinitions defs{};
  vantrel::SmallVector<vantrel::ConditionEntry, 4> conditions;
  vantrel::SmallVector<vantrel::ParamEntry, 8> params;
  vantrel::SmallVector<const std::string*, 16> values;
};

namespace vantrel {
namespace {

using Handle = vantrel_definitions;

template <typename Body>
vantrel_status Guard(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    // The codec and the standard containers it uses throw std::bad_alloc,
    // and std::length_error for a size no allocation can serve: both are
    // out of memory. Nothing may cross the C boundary.
    return VANTREL_OUT_OF_MEMORY;
  }
}

bool ValidKind(vantrel_kind kind) noexcept {
  return kind == VANTREL_FUNC || kind == VANTREL_FILTER;
}

bool ValidBytes(const char* data, std::size_t size) noexcept {
  return data != nullptr || size == 0;
}

std::string_view View(const char* data, std::size_t size) noexcept {
  return size == 0 ? std::string_view() : std::string_view(data, size);
}

vantrel_text TextOf(const std::string& s) noexcept {
  return vantrel_text{s.data(), s.size()};
}

// The numbers of params and values in `records`.
void CountFields(const std::list<AlertDefinition>& records, std::size_t& params,
                 std::size_t& values) noexcept {
  params = 0;
  values = 0;
  for (const AlertDefinition& record : records) {
    params += record.params.size();
    values = std::accumulate(record.params.begin(), record.params.end(), values,
                             [](std::size_t sum, const DefinitionParam& param) {
                               return sum + param.values.size();
                             });
  }
}

// Reserves room in `handle`'s index for `records`, which IndexReserved()
// then indexes without allocating; a failure leaves the index as it was.
void ReserveIndex(Handle& handle, const std::list<AlertDefinition>& records) {
  std::size_t params = 0;
  std::size_t values = 0;
  CountFields(records, params, values);
  // All three allocated before any is moved, so that a failure leaves the
  // index as it was.
  auto conditions =
      handle.conditions.Prepare(handle.conditions.size() + records.size());
  auto param_room = handle.params.Prepare(handle.params.size() + params);
  auto value_room = handle.values.Prepare(handle.values.size() + values);
  handle.conditions.Adopt(std::move(conditions));
  handle.params.Adopt(std::move(param_room));
  handle.values.Adopt(std::move(value_room));
}

void IndexReserved(Handle& handle,
                   std::list<AlertDefinition>::const_iterator from,
                   std::list<AlertDefinition>::const_iterator to) noexcept {
  for (; from != to; ++from) {
    const AlertDefinition& record = *from;
    handle.conditions.push_back(
        {&record, handle.params.size(), record.params.size()});
    for (const DefinitionParam& param : record.params) {
      handle.params.push_back(
          {&param.key, handle.values.size(), param.values.size()});
      for (const std::string& value : param.values) {
        handle.values.push_back(&value);
      }
    }
  }
}

bool SameRecords(const AlertDefinitions& a, const AlertDefinitions& b) {
  if (a.combination != b.combination ||
      a.definitions.size() != b.definitions.size()) {
    return false;
  }
  auto other = b.definitions.begin();
  for (const AlertDefinition& record : a.definitions) {
    if (record.name != other->name || record.detail != other->detail ||
        record.params.size() != other->params.size()) {
      return false;
    }
    auto other_param = other->params.begin();
    for (const DefinitionParam& param : record.params) {
      if (param.key != other_param->key ||
          param.values != other_param->values) {
        return false;
      }
      ++other_param;
    }
    ++other;
  }
  return true;
}

// The size of the text of `defs`; std::length_error when it is too long to
// count.
std::size_t CheckedSize(const AlertDefinitions& defs) {
  const std::size_t needed = DefinitionTextSize(defs);
  // The count saturates at the largest size_t; no buffer has that many
  // bytes plus a NUL, and no allocation serves it.
  if (needed == static_cast<std::size_t>(-1)) throw std::length_error("text");
  return needed;
}

}  // namespace
}  // namespace vantrel

using vantrel::Guard;

extern "C" {

const char* VANTREL_C_CALL vantrel_version(void) { return "1.0.0"; }

unsigned VANTREL_C_CALL vantrel_abi_version(void) {
  return VANTREL_C_ABI_VERSION;
}

const char* VANTREL_C_CALL vantrel_status_name(vantrel_status status) {
  switch (status) {
    case VANTREL_OK:
      return "ok";
    case VANTREL_REJECTED:
      return "rejected";
    case VANTREL_OUT_OF_MEMORY:
      return "out of memory";
    case VANTREL_INVALID_ARGUMENT:
      return "invalid argument";
    case VANTREL_BUFFER_TOO_SMALL:
      return "buffer too small";
    case VANTREL_OUT_OF_RANGE:
      return "out of range";
  }
  return "unknown";
}

vantrel_status VANTREL_C_CALL vantrel_new(uint32_t combination,
                                          vantrel_definitions** out) {
  if (out == nullptr) return VANTREL_INVALID_ARGUMENT;
  *out = nullptr;
  return Guard([&] {
    auto handle = std::make_unique<vantrel_definitions>();
    handle->defs.combination = combination;
    *out = handle.release();
    return VANTREL_OK;
  });
}

void VANTREL_C_CALL vantrel_free(vantrel_definitions* defs) {
  std::default_delete<vantrel_definitions>()(defs);
}

vantrel_status VANTREL_C_CALL vantrel_parse(vantrel_definitions* defs,
                                            vantrel_kind kind, const char* text,
                                            size_t size,
                                            vantrel_rejection* rejection) {
  if (defs == nullptr || !vantrel::ValidKind(kind) ||
      !vantrel::ValidBytes(text, size)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    // Read into records of their own, index them, and only then move them
    // to the handle, so that a failed allocation leaves the handle as it
    // was. Reading starts from the handle's combination, which the text
    // changes only when it holds a joiner.
    AlertDefinitions read{};
    read.combination = defs->defs.combination;
    std::size_t rejected_at = 0;
    const bool accepted = vantrel::ParseDefinitionText(
        vantrel::View(text, size), read, &rejected_at);
    vantrel::ReserveIndex(*defs, read.definitions);
    // Nothing below throws.
    const std::size_t read_count = read.definitions.size();
    std::list<AlertDefinition>& records = defs->defs.definitions;
    records.splice(records.end(), read.definitions);
    vantrel::IndexReserved(
        *defs,
        std::prev(records.cend(), static_cast<std::ptrdiff_t>(read_count)),
        records.cend());
    defs->defs.combination = read.combination;
    if (accepted) return VANTREL_OK;
    if (rejection != nullptr) {
      rejection->piece = read_count + 1;
      rejection->offset = rejected_at;
    }
    return VANTREL_REJECTED;
  });
}

size_t VANTREL_C_CALL vantrel_condition_count(const vantrel_definitions* defs) {
  return defs == nullptr ? 0 : defs->conditions.size();
}

uint32_t VANTREL_C_CALL vantrel_combination(const vantrel_definitions* defs) {
  return defs == nullptr ? 0 : defs->defs.combination;
}

vantrel_status VANTREL_C_CALL vantrel_set_combination(vantrel_definitions* defs,
                                                      uint32_t combination) {
  if (defs == nullptr) return VANTREL_INVALID_ARGUMENT;
  defs->defs.combination = combination;
  return VANTREL_OK;
}

vantrel_status VANTREL_C_CALL vantrel_condition(const vantrel_definitions* defs,
                                                size_t condition,
                                                vantrel_text* name,
                                                vantrel_text* detail,
                                                size_t* param_count) {
  if (defs == nullptr) return VANTREL_INVALID_ARGUMENT;
  if (condition >= defs->conditions.size()) return VANTREL_OUT_OF_RANGE;
  const vantrel::ConditionEntry& entry = defs->conditions[condition];
  if (name != nullptr) *name = vantrel::TextOf(entry.record->name);
  if (detail != nullptr) *detail = vantrel::TextOf(entry.record->detail);
  if (param_count != nullptr) *param_count = entry.param_count;
  return VANTREL_OK;
}

vantrel_status VANTREL_C_CALL vantrel_param(const vantrel_definitions* defs,
                                            size_t condition, size_t param,
                                            vantrel_text* key,
                                            size_t* value_count) {
  if (defs == nullptr) return VANTREL_INVALID_ARGUMENT;
  if (condition >= defs->conditions.size() ||
      param >= defs->conditions[condition].param_count) {
    return VANTREL_OUT_OF_RANGE;
  }
  const vantrel::ParamEntry& entry =
      defs->params[defs->conditions[condition].first_param + param];
  if (key != nullptr) *key = vantrel::TextOf(*entry.key);
  if (value_count != nullptr) *value_count = entry.value_count;
  return VANTREL_OK;
}

vantrel_status VANTREL_C_CALL vantrel_value(const vantrel_definitions* defs,
                                            size_t condition, size_t param,
                                            size_t value, vantrel_text* out) {
  if (defs == nullptr) return VANTREL_INVALID_ARGUMENT;
  if (condition >= defs->conditions.size() ||
      param >= defs->conditions[condition].param_count) {
    return VANTREL_OUT_OF_RANGE;
  }
  const vantrel::ParamEntry& entry =
      defs->params[defs->conditions[condition].first_param + param];
  if (value >= entry.value_count) return VANTREL_OUT_OF_RANGE;
  if (out != nullptr) {
    *out = vantrel::TextOf(*defs->values[entry.first_value + value]);
  }
  return VANTREL_OK;
}

vantrel_status VANTREL_C_CALL vantrel_add_condition(vantrel_definitions* defs,
                                                    const char* name,
                                                    size_t name_size,
                                                    const char* detail,
                                                    size_t detail_size) {
  if (defs == nullptr || !vantrel::ValidBytes(name, name_size) ||
      !vantrel::ValidBytes(detail, detail_size)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    std::list<AlertDefinition> added(1);
    added.front().name.assign(vantrel::View(name, name_size));
    added.front().detail.assign(vantrel::View(detail, detail_size));
    defs->conditions.reserve(defs->conditions.size() + 1);
    // Nothing below throws.
    defs->defs.definitions.splice(defs->defs.definitions.end(), added);
    defs->conditions.push_back(
        {&defs->defs.definitions.back(), defs->params.size(), 0});
    return VANTREL_OK;
  });
}

vantrel_status VANTREL_C_CALL vantrel_add_param(vantrel_definitions* defs,
                                                const char* key,
                                                size_t key_size) {
  if (defs == nullptr || defs->conditions.empty() ||
      !vantrel::ValidBytes(key, key_size)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    std::list<DefinitionParam> added(1);
    added.front().key.assign(vantrel::View(key, key_size));
    defs->params.reserve(defs->params.size() + 1);
    // Nothing below throws.
    std::list<DefinitionParam>& params = defs->defs.definitions.back().params;
    params.splice(params.end(), added);
    defs->params.push_back({&params.back().key, defs->values.size(), 0});
    ++defs->conditions.back().param_count;
    return VANTREL_OK;
  });
}

vantrel_status VANTREL_C_CALL vantrel_add_value(vantrel_definitions* defs,
                                                const char* value,
                                                size_t value_size) {
  if (defs == nullptr || defs->conditions.empty() ||
      defs->conditions.back().param_count == 0 ||
      !vantrel::ValidBytes(value, value_size)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    std::list<std::string> added(1);
    added.front().assign(vantrel::View(value, value_size));
    defs->values.reserve(defs->values.size() + 1);
    // Nothing below throws.
    std::list<std::string>& values =
        defs->defs.definitions.back().params.back().values;
    values.splice(values.end(), added);
    defs->values.push_back(&values.back());
    ++defs->params.back().value_count;
    return VANTREL_OK;
  });
}

vantrel_status VANTREL_C_CALL vantrel_write(const vantrel_definitions* defs,
                                            vantrel_kind kind, char* buffer,
                                            size_t capacity, size_t* size) {
  if (defs == nullptr || size == nullptr || !vantrel::ValidKind(kind) ||
      !vantrel::ValidBytes(buffer, capacity)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    const std::size_t needed = vantrel::CheckedSize(defs->defs);
    *size = needed;
    if (needed > capacity) return VANTREL_BUFFER_TOO_SMALL;
    if (needed != 0) vantrel::PutDefinitionTextAt(buffer, defs->defs);
    if (capacity > needed) buffer[needed] = '\0';
    return VANTREL_OK;
  });
}

vantrel_status VANTREL_C_CALL
vantrel_write_alloc(const vantrel_definitions* defs, vantrel_kind kind,
                    char** text, size_t* size) {
  if (text == nullptr) return VANTREL_INVALID_ARGUMENT;
  *text = nullptr;
  if (defs == nullptr || size == nullptr || !vantrel::ValidKind(kind)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    const std::size_t needed = vantrel::CheckedSize(defs->defs);
    // Not make_unique, which would fill the buffer with zeros first.
    std::unique_ptr<char[]> out(new char[needed + 1]);
    if (needed != 0) vantrel::PutDefinitionTextAt(out.get(), defs->defs);
    out[needed] = '\0';
    *text = out.release();
    *size = needed;
    return VANTREL_OK;
  });
}

void VANTREL_C_CALL vantrel_free_text(char* text) {
  std::default_delete<char[]>()(text);
}

vantrel_status VANTREL_C_CALL vantrel_text_survives(vantrel_kind kind,
                                                    const char* text,
                                                    size_t size,
                                                    int* survives) {
  if (survives == nullptr || !vantrel::ValidKind(kind) ||
      !vantrel::ValidBytes(text, size)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    const std::string_view original = vantrel::View(text, size);
    AlertDefinitions read{};
    bool same = vantrel::ParseDefinitionText(original, read, nullptr);
    if (same) {
      std::string written;
      vantrel::WriteDefinitionText(written, read);
      same = written == original;
    }
    *survives = same ? 1 : 0;
    return VANTREL_OK;
  });
}

vantrel_status VANTREL_C_CALL vantrel_records_survive(
    const vantrel_definitions* defs, vantrel_kind kind, int* survives) {
  if (defs == nullptr || survives == nullptr || !vantrel::ValidKind(kind)) {
    return VANTREL_INVALID_ARGUMENT;
  }
  return Guard([&] {
    std::string written;
    vantrel::WriteDefinitionText(written, defs->defs);
    AlertDefinitions read{};
    read.combination = defs->defs.combination;
    const bool same = vantrel::ParseDefinitionText(written, read) &&
                      vantrel::SameRecords(defs->defs, read);
    *survives = same ? 1 : 0;
    return VANTREL_OK;
  });
}

}  // extern "C"

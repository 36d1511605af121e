// Does a definition text come back unchanged through the library?
//
// The verdict is the library's own: the text is parsed into a fresh target
// and written back, and it is "ok" only when the parse accepts it and the
// written text equals it byte for byte. Only then, for a text that does not
// come back, the located reader (reference/) says where and why: the first
// byte that differs, and the causes it finds (text the reader passes over,
// conditions lost to the other joiner, a rejected item).
//
// Every step is linear in the text, so one hostile stored rule cannot stall
// the check of a whole export.
#ifndef VANTREL_TOOLS_RULES_TEXT_CHECK_H_
#define VANTREL_TOOLS_RULES_TEXT_CHECK_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "causes.h"
#include "library.h"

namespace vantrel::rules {

inline constexpr std::size_t kDefaultMaxCauses = 20;

enum class Status { kOk, kLossy, kRejected };
// "ok", "lossy", "rejected".
const char* StatusName(Status status);

// A rejected piece: its number (from 1) and offset, and the first parameter
// item with no "==" of its own (number from 1, 0 when the reader found none
// to blame; offset and size in the whole text).
struct Rejection {
  std::size_t piece = 0;
  std::size_t offset = 0;
  std::size_t item = 0;
  std::size_t item_offset = 0;
  std::size_t item_size = 0;
};

struct TextCheck {
  Status status = Status::kOk;
  std::size_t conditions = 0;  // the records the library read
  Rejection rejection;         // kRejected
  std::size_t difference = 0;  // kLossy: the first byte that differs
  std::string written;         // kLossy: what the library writes back
  Causes causes{kDefaultMaxCauses};
};

// Checks `text`, keeping at most `max_causes` causes. When `records` is
// given (empty), it receives what the library read, and `combination` the
// combination the text set.
TextCheck CheckText(Kind kind, const std::string& text,
                    std::size_t max_causes = kDefaultMaxCauses,
                    AlertDefinitions* records = nullptr,
                    Combination* combination = nullptr);

// "piece 2 (at byte 79) is rejected: its parameter item 1 (at byte 89) has
// no "==" of its own: "k4"".
std::string Describe(const Rejection& rejection, std::string_view text);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_TEXT_CHECK_H_

#include "causes.h"

#include <utility>

namespace vantrel::rules {

const char* CauseKindName(CauseKind kind) {
  static constexpr std::array<const char*, kCauseKinds> kNames = {
      R"(parameter item without "==")",
      "text outside the marks",
      "both joiners",
      "conditions without a joiner",
      "mark inside a field",
      "joiner inside a field",
      "missing marks",
      "blanks around a joiner",
      "empty key",
      "parameter without values",
      "number of conditions",
      "combination",
      "other difference",
  };
  return kNames.at(static_cast<std::size_t>(kind));
}

bool Causes::Add(Cause cause) {
  ++total_;
  ++counts_.at(static_cast<std::size_t>(cause.kind));
  if (kept_.size() >= limit_) return false;
  kept_.push_back(std::move(cause));
  return true;
}

}  // namespace vantrel::rules

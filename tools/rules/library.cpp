#include "library.h"

namespace vantrel::rules {
namespace {

// A target primed with this combination, which the library never sets,
// shows after a parse whether the text held a joiner. Written, it stands
// for "no joiner": only 0 and 1 select one.
constexpr std::uint32_t kNoJoiner = 2;

}  // namespace

bool Parse(Kind kind, const std::string& text, AlertDefinitions& target) {
  return kind == Kind::Func ? GetFuncDefinition(text, target)
                            : GetFilterDefinition(text, target);
}

void Write(Kind kind, std::string& text, AlertDefinitions& source) {
  if (kind == Kind::Func) {
    SetFuncDefinition(text, source);
  } else {
    SetFilterDefinition(text, source);
  }
}

bool ParseText(Kind kind, const std::string& text, AlertDefinitions& target,
               Combination& combination) {
  target.combination = kNoJoiner;
  const bool ok = Parse(kind, text, target);
  combination.reset();
  if (target.combination <= 1) combination = target.combination;
  return ok;
}

void WriteRecords(Kind kind, std::string& text, AlertDefinitions& defs,
                  Combination combination) {
  const std::uint32_t kept = defs.combination;
  defs.combination = combination ? *combination : kNoJoiner;
  Write(kind, text, defs);
  defs.combination = kept;
}

}  // namespace vantrel::rules

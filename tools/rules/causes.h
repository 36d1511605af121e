// The causes named for one rule that does not come back unchanged: at most
// a given number of them kept, every one counted by its kind, so that one
// hostile rule cannot make a report of megabytes, and a batch summary can
// still say how often each kind of cause occurred.
#ifndef VANTREL_TOOLS_RULES_CAUSES_H_
#define VANTREL_TOOLS_RULES_CAUSES_H_

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vantrel::rules {

// The kinds of cause, in the order a summary lists them.
enum class CauseKind {
  kRejectedItem,    // a parameter item without an "==" of its own
  kDroppedText,     // text outside the marks, which the writer drops
  kBothJoiners,     // conditions lost because the text holds both joiners
  kRunTogether,     // a condition following another without a joiner
  kMarkInField,     // a mark inside a field ends or splits it
  kJoinerInField,   // a joiner inside a field cuts the definition there
  kMissingMarks,    // marks the writer adds, which the text lacks
  kBlanks,          // no blank on a side of a joiner
  kEmptyKey,        // an empty key, which the reader cannot find
  kNoValues,        // a parameter without values reads back with one
  kConditionCount,  // the number of conditions changes
  kCombination,     // the combination changes
  kOther,           // a difference with no cause found
};
inline constexpr std::size_t kCauseKinds = 13;
// "text outside the marks", for summaries.
const char* CauseKindName(CauseKind kind);

struct Cause {
  CauseKind kind = CauseKind::kOther;
  std::string what;
  // For a text: `size` bytes at `offset` of the text. For records: the path
  // of the field, and the field as written and as it comes back (nullopt-
  // like empty `path` when the cause is about the whole definition).
  std::size_t offset = 0;
  std::size_t size = 0;
};

// A bounded list of causes.
class Causes {
 public:
  explicit Causes(std::size_t limit) : limit_(limit) {}
  // True when the cause was kept (there was room), false when only counted.
  bool Add(Cause cause);
  const std::vector<Cause>& kept() const { return kept_; }
  std::size_t total() const { return total_; }
  std::size_t more() const { return total_ - kept_.size(); }
  const std::array<std::size_t, kCauseKinds>& counts() const { return counts_; }

 private:
  std::size_t limit_;
  std::size_t total_ = 0;
  std::vector<Cause> kept_;
  std::array<std::size_t, kCauseKinds> counts_{};
};

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_CAUSES_H_

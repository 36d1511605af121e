// The one place that decides what a migration may write back.
//
// A migration changes exactly the rules that were edited and still read back
// exactly; every other rule keeps its bytes. For one stored rule text and an
// edit of its records, Rewrite gives one of four answers:
//
//   rewritten  the text reads back whole (the library accepts it and writes
//              it back byte for byte), the edit changed the records, and the
//              edited records read back to themselves, combination included:
//              the new text is written.
//   unchanged  the text reads back whole and the edit changed nothing: the
//              original bytes are written.
//   kept       the text does not read back whole (lossy or rejected): the
//              edit is not applied, the original bytes are written, and the
//              reason is the first difference or the rejection.
//   refused    the edited records would not read back (a new value holds a
//              mark, two records with no joiner, a line break the framing
//              cannot carry): the original bytes are written, and the reason
//              names the field path and the mark to blame.
//
// Example, renaming the key Location_Name to Site:
//
//   auto edit = [](AlertDefinitions& defs, Combination&) {
//     for (auto& def : defs.definitions)
//       for (auto& param : def.params)
//         if (param.key == "Location_Name") param.key = "Site";
//   };
//   RewriteResult r = Rewrite(Kind::Func, stored_text, edit);
//   store(r.text);  // always safe to write: new text or the original bytes
//
// The verdicts are the library's own round trips (library.h); the reasons
// come from the text and records checks.
#ifndef VANTREL_TOOLS_RULES_REWRITE_H_
#define VANTREL_TOOLS_RULES_REWRITE_H_

#include <vantrel/alert_definitions.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library.h"

namespace vantrel::rules {

enum class RewriteStatus { kRewritten, kUnchanged, kKept, kRefused };
// "rewritten", "unchanged", "kept", "refused".
const char* RewriteStatusName(RewriteStatus status);

struct RewriteResult {
  RewriteStatus status = RewriteStatus::kUnchanged;
  // What to write back: the new text when rewritten, else the original
  // bytes.
  std::string text;
  // Empty when rewritten or unchanged; else one line saying why (safe to
  // print: every piece of input in it is excerpted).
  std::string reason;
};

// Changes the records (and the combination: nullopt means the text held no
// joiner) in place.
using Edit =
    std::function<void(AlertDefinitions& defs, Combination& combination)>;

// What the framing of the output cannot carry in a rewritten text.
struct RewriteLimits {
  // One line of a "lines" or "tsv" batch: no LF. (A CR is carried: a line
  // whose text ends in one is ended by CR LF.)
  bool single_line = false;
};

// Parses `text`, applies `edit` when the text reads back whole, and decides.
RewriteResult Rewrite(Kind kind, const std::string& text, const Edit& edit,
                      RewriteLimits limits = {});

// The same decision for records that were edited elsewhere (a JSON line
// changed by jq): `original` is the stored text they were read from,
// `edited` and `combination` what is to be written instead. `edited` is only
// read (the exports take it by modifiable reference).
RewriteResult Decide(Kind kind, const std::string& original,
                     AlertDefinitions& edited, Combination combination,
                     RewriteLimits limits = {});

// The edits a migration most often needs, as data, so that every front end
// (`vantrel edit`, the Python module) applies them alike. Applied in order,
// each to every record.
struct EditStep {
  enum class Op {
    kRenameKey,        // every parameter key `from` becomes `to`
    kReplaceValue,     // every value `from` of key `key` (kAnyKey: of any
                       // key) becomes `to`
    kRenameCondition,  // every condition named `from` is named `to`
  };
  Op op = Op::kRenameKey;
  std::string key;
  std::string from;
  std::string to;
};
inline constexpr std::string_view kAnyKey = "*";

// Applies `steps` in order to `defs`; the combination is left alone.
void ApplySteps(const std::vector<EditStep>& steps, AlertDefinitions& defs);
// The steps as an Edit for Rewrite.
Edit StepsEdit(std::vector<EditStep> steps);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_REWRITE_H_

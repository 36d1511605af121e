// `vantrel check`: which records and fields of an AlertDefinitions come back
// unchanged when they are written as text and read again through the
// library, and which mark or joiner is to blame for those that do not.
#ifndef VANTREL_TOOLS_ROUND_TRIP_H_
#define VANTREL_TOOLS_ROUND_TRIP_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <vantrel/alert_definitions.h>

namespace vantrel_cli {

enum class Kind { Func, Filter };

// The library's calls for one kind of definition.
bool Parse(Kind kind, const std::string& text, AlertDefinitions& target);
void Write(Kind kind, std::string& text, const AlertDefinitions& source);

// The combination a parse leaves: 0 or 1 when the text held a joiner,
// nullopt when it held none. The target is primed with 2, a value that the
// library never sets, so an untouched combination is recognised from the
// library's own behaviour.
constexpr std::uint32_t kNoJoiner = 2;

struct Problem {
  std::string path;   // "definitions[1].params[0].values[2]", "combination"
  std::string cause;  // what the text form does to it
  // The field as written and as it comes back, when the problem is about
  // one field; nullopt where it does not come back at all.
  std::optional<std::string> written;
  std::optional<std::string> read_back;
};

struct CheckReport {
  std::vector<Problem> problems;
  bool survives() const { return problems.empty(); }
};

// Writes `defs` with `combination` (nullopt: no joiner), reads the text
// back and reports what does not survive. Each record is also written and
// read on its own, so that the loss inside one condition is told apart from
// the loss caused by the joining. `defs.combination` is used during the
// call and restored; the records are only read.
CheckReport CheckRoundTrip(Kind kind, AlertDefinitions& defs,
                           std::optional<std::uint32_t> combination);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_ROUND_TRIP_H_

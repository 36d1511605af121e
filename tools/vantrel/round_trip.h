// `vantrel check`: does a rule come back unchanged when the library reads
// and writes it?
//
// For a definition text the check is exact: the text must come back byte
// for byte (write(parse(text)) == text, with the parse accepted). For
// records (the JSON form) the records are written, read back and compared,
// field by field, and the mark or joiner to blame is named.
#ifndef VANTREL_TOOLS_ROUND_TRIP_H_
#define VANTREL_TOOLS_ROUND_TRIP_H_

#include <vantrel/alert_definitions.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "locate.h"
#include "records_json.h"

namespace vantrel_cli {

enum class Kind { Func, Filter };

// The library's calls for one kind of definition.
bool Parse(Kind kind, const std::string& text, AlertDefinitions& target);
void Write(Kind kind, std::string& text, AlertDefinitions& source);

// A target primed with this combination, which the library never sets,
// shows after a parse whether the text held a joiner.
constexpr std::uint32_t kNoJoiner = 2;

// Parses `text` into an empty `target` and gives its combination (nullopt:
// no joiner); false when the library rejects a piece.
bool ParseText(Kind kind, const std::string& text, AlertDefinitions& target,
               std::optional<std::uint32_t>& combination);

// One known reason why a text does not come back: `size` bytes at `offset`
// of the text.
struct Cause {
  std::string what;
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct TextCheck {
  enum class Status { Ok, Lossy, Rejected } status = Status::Ok;
  std::size_t conditions = 0;
  Rejection rejection;         // Rejected
  std::size_t difference = 0;  // Lossy: the first byte that differs
  std::string written;         // Lossy: what the library writes back
  std::vector<Cause> causes;   // Lossy: the reasons found
};

TextCheck CheckText(Kind kind, const std::string& text);

struct Problem {
  std::string path;   // "definitions[1].params[0].values[2]", "combination"
  std::string cause;  // what the text form does to it
  // The field as written and as it comes back, when the problem is about
  // one field; nullopt where it does not come back at all.
  std::optional<std::string> written;
  std::optional<std::string> read_back;
};

// Writes `defs` with `combination` (nullopt: no joiner), reads the text back
// and reports what does not survive. Each record is also written and read on
// its own, so that the loss inside one condition is told apart from the loss
// caused by the joining. `defs.combination` is used during the call and
// restored; the records are only read.
std::vector<Problem> CheckRecords(Kind kind, AlertDefinitions& defs,
                                  std::optional<std::uint32_t> combination);

// The reports of both checks, as lines for people and as JSON. `head`
// holds the members that come first (a batch line's "id").
std::string TextReportLines(const TextCheck& check, std::string_view text);
Report TextReport(const TextCheck& check, std::string_view text, ByteMode mode,
                  Report head);
std::string RecordsReportLines(const std::vector<Problem>& problems,
                               std::size_t records);
Report RecordsReport(const std::vector<Problem>& problems, ByteMode mode,
                     Report head);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_ROUND_TRIP_H_

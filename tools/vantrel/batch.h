// Many rules in one process: one rule per input line, one answer per rule,
// in input order, streaming (one line in memory at a time).
//
// Input forms: lines (a rule text per line; its line number is its id),
// tsv (an id, a TAB, the rule text), jsonl (a JSON object per line with
// "id", a string or an integer, and "text"; for format, the records).
// Answers are JSON lines with "id" and "status" ("ok", "lossy", "rejected",
// or "error" for a line that cannot be read), or for format under --to
// lines / tsv the texts themselves.
#ifndef VANTREL_TOOLS_BATCH_H_
#define VANTREL_TOOLS_BATCH_H_

#include <ostream>

#include "io.h"
#include "records_json.h"
#include "round_trip.h"

namespace vantrel_cli {

enum class Form { Lines, Tsv, Jsonl };
enum class Command { Check, Parse, Format };

struct BatchOptions {
  Command command = Command::Check;
  Kind kind = Kind::Func;
  ByteMode mode = ByteMode::Utf8;
  Form input = Form::Lines;   // check, parse
  Form output = Form::Jsonl;  // format
  bool partial = false;       // parse: the records read before a rejection
  bool strict = false;        // format: write no lossy rule
};

// Runs the batch; `messages` gets the warnings and errors that are not in
// the output, and the one-line summary (counts per status). Exit code 0 when
// every rule is ok, 1 when any is lossy or rejected, 2 when any line was an
// error.
int RunBatch(const BatchOptions& options, Input& input, Output& output,
             std::ostream& messages);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_BATCH_H_

// The framing of a batch: rules one per line in one of three forms, read
// row by row, each answered in its place.
//
//   lines  each line is a rule; its id is its line number
//   tsv    the id, the first TAB, and the rest of the line is the rule (which
//          may hold TABs of its own)
//   jsonl  one JSON object per line: "id", and "text" and/or the records
//
// Every row of the input has its row in the output, in its place: a row
// that cannot be read (bad JSON, no TAB, bytes --bytes utf8 cannot carry)
// is an error row, counted and named, and where the output has the input's
// framing its bytes are passed through as they are. A rule that cannot be
// written in the output's form is left out and counted; then the command
// ends with exit code 2 and a file named by -o is not replaced.
#ifndef VANTREL_TOOLS_VANTREL_BATCH_H_
#define VANTREL_TOOLS_VANTREL_BATCH_H_

#include <ostream>

#include "commands.h"
#include "files.h"
#include "options.h"

namespace vantrel::cli {

Result RunBatch(const Options& o, Input& input, Output& output,
                std::ostream& messages);

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_BATCH_H_

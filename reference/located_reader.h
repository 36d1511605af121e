// The definition text read as the library reads it, with where every piece,
// mark and field lies.
//
// This is the format's second description, next to the codec's fast one: it
// follows the rules step by step, like the literal model beside it, but
// every search is bounded by the mark that ends what is being read, so a
// whole text is read in time linear in its length. It copies nothing: a
// located condition holds offsets, and RecordOf() builds the record that the
// library would append for it.
//
// The tests hold it to the library's own answers on every exhaustive and
// random input; the `vantrel` tool explains with it why a rule does not come
// back unchanged. It never decides that: the verdict is always the library's
// own round trip.
//
// Example, the worked example of docs/format.md (99 bytes):
//
//   --#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ --#--Beta...
//
//   Joiner(text)            == "@@AND@@"
//   Pieces: [0, 50) and [57, 99)
//   LocateCondition(text, {0, 50}):
//     name_open 0, name_close 10, detail_open 15, detail_close 21,
//     params_open 26, params_close 44,
//     params[0]: item [31, 44), key [31, 33), key_separator 33,
//                values [35, 37) and [42, 44), last
#ifndef VANTREL_REFERENCE_LOCATED_READER_H_
#define VANTREL_REFERENCE_LOCATED_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "vantrel/alert_definitions.h"

namespace vantrel_reference {

inline constexpr std::size_t kNone = std::string_view::npos;

// Bytes [offset, offset + size) of the whole definition text.
struct Span {
  std::size_t offset = 0;
  std::size_t size = 0;
  std::size_t end() const { return offset + size; }
  friend bool operator==(Span a, Span b) {
    return a.offset == b.offset && a.size == b.size;
  }
};

// One parameter item of a params block. Offsets are of the whole text.
struct LocatedParam {
  // From the item's first byte to the mark that ends it; empty when the
  // block's closing mark begins inside its opening one ("--{--}--"), which
  // rejects the item.
  Span item;
  // Where its "==" begins; kNone for the rejected item (no "==" of its own).
  std::size_t key_separator = kNone;
  Span key;                  // the key's bytes (empty span when rejected)
  std::vector<Span> values;  // each value's bytes, in order (at least one)
  // True when the item is ended by the params block's closing mark, false
  // when by "--;--" (which then begins at item.end()).
  bool last = false;
};

// One piece as the condition reader reads it. A mark's offset is that of
// its first byte in the whole text, kNone where the reader does not find
// it (an opening mark may be found without its closing one). The name is
// set when both name marks are found, the detail when both detail marks
// are, and the params block is read when both of its marks are.
struct LocatedCondition {
  Span piece;
  std::size_t name_open = kNone, name_close = kNone;
  std::size_t detail_open = kNone, detail_close = kNone;
  std::size_t params_open = kNone, params_close = kNone;
  // The items read, in order. When the piece is rejected the last element
  // is the rejected item (key_separator == kNone, values empty).
  std::vector<LocatedParam> params;
  bool rejected = false;

  bool has_name() const { return name_close != kNone; }
  bool has_detail() const { return detail_close != kNone; }
  bool has_params() const { return params_close != kNone; }

  // The bytes of the name and of the detail as the reader cuts them (empty
  // spans when not set): from the end of the opening mark to the closing
  // one, or to the end of the piece when the closing mark begins inside
  // the opening one ("--#--#--" closes the name at offset 3).
  Span name() const;
  Span detail() const;
};

// "@@OR@@" when the text holds it anywhere, else "@@AND@@" when it holds
// that, else the empty view (the whole text is one piece).
std::string_view Joiner(std::string_view text);

// The combination a parse sets: 0 for "@@OR@@", 1 for "@@AND@@", nullopt
// when the text holds neither (the target's combination is left alone).
std::optional<std::uint32_t> CombinationOf(std::string_view text);

// The pieces of a text, cut as a parse cuts it, one at a time and in
// constant memory:
//
//   Pieces pieces(text);
//   for (Span piece; pieces.Next(piece);) { ... }
struct SearchCount;

class Pieces {
 public:
  explicit Pieces(std::string_view text);
  // The same, adding the bytes its searches look at to `*count`.
  Pieces(std::string_view text, SearchCount* count);
  // The next piece; false after the last one.
  bool Next(Span& piece);
  // The joiner the text is cut at (as Joiner() gives it).
  std::string_view joiner() const { return joiner_; }
  // Offset of the joiner occurrence that ended the piece last returned,
  // kNone when that piece was the last.
  std::size_t joiner_after() const { return joiner_after_; }

 private:
  std::string_view text_;
  std::string_view joiner_;
  std::size_t start_ = 0;
  std::size_t joiner_after_ = kNone;
  bool done_ = false;
  SearchCount* count_ = nullptr;
};

// Reads `piece` of `text` as the condition reader does.
LocatedCondition LocateCondition(std::string_view text, Span piece);

// The whole text: every piece up to and including the first rejected one,
// as a parse reads them. Memory grows with the number of pieces and items;
// explain long texts piece by piece instead.
struct LocatedDefinition {
  std::string_view joiner;
  std::vector<LocatedCondition> conditions;
  bool ok() const { return conditions.empty() || !conditions.back().rejected; }
};
LocatedDefinition Locate(std::string_view text);

// How many bytes of the text the searches of a reading looked at: each
// search from its start to the end of its match, or to the end of its
// window when it finds nothing. The tests hold it to a small multiple of
// the text's length on the inputs that make an unbounded search quadratic,
// which a slow machine cannot make flaky.
struct SearchCount {
  std::size_t bytes = 0;
};
std::string_view Joiner(std::string_view text, SearchCount* count);
LocatedCondition LocateCondition(std::string_view text, Span piece,
                                 SearchCount* count);
LocatedDefinition Locate(std::string_view text, SearchCount* count);

// The record that the library appends for an accepted condition (for a
// rejected one: what the reader had filled in before it gave up).
AlertDefinition RecordOf(std::string_view text, const LocatedCondition& c);

}  // namespace vantrel_reference

#endif  // VANTREL_REFERENCE_LOCATED_READER_H_

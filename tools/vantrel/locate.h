// Where the library's reader finds the pieces and marks of a definition
// text. The library only says whether a text was read; to say where a text
// goes wrong, the tool repeats the reader's searches (the tests hold them to
// the library's own answers).
#ifndef VANTREL_TOOLS_LOCATE_H_
#define VANTREL_TOOLS_LOCATE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel_cli {

inline constexpr std::string_view kOrJoiner = "@@OR@@";
inline constexpr std::string_view kAndJoiner = "@@AND@@";
inline constexpr std::string_view kNameMark = "--#--";
inline constexpr std::string_view kOpenMark = "--{--";
inline constexpr std::string_view kCloseMark = "--}--";
inline constexpr std::string_view kItemSeparator = "--;--";
inline constexpr std::string_view kValueSeparator = "--,--";
inline constexpr std::string_view kKeySeparator = "==";
inline constexpr std::size_t kNone = std::string_view::npos;

struct Span {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// The joiner a parse splits on: "@@OR@@" when the text holds it anywhere,
// else "@@AND@@" when it holds that, else the empty view (one piece).
std::string_view JoinerOf(std::string_view text);

// The pieces, cut as a parse cuts the text.
std::vector<Span> Pieces(std::string_view text);

// The marks the reader uses in one piece (offsets of each mark's first
// byte), kNone where it finds none. The name is read when both name marks
// are found, the detail when both detail marks are, the params block when
// both of its marks are.
struct ConditionMarks {
  std::size_t name_open = kNone, name_close = kNone;
  std::size_t detail_open = kNone, detail_close = kNone;
  std::size_t params_open = kNone, params_close = kNone;
};
ConditionMarks FindMarks(std::string_view piece);

// A rejected piece: its number and offset, and the first parameter item
// with no "==" of its own (number from 1, offset in the whole text).
struct Rejection {
  std::size_t piece = 0;
  std::size_t offset = 0;
  std::size_t item = 0;
  Span item_span;
};

// The rejection of a text whose parse into an empty target stopped after
// `records_read` records.
Rejection LocateRejection(std::string_view text, std::size_t records_read);

// "piece 2 (at byte 79) is rejected: its parameter item 2 (at byte 137)
// has no "==" of its own: "k4"".
std::string Describe(const Rejection& rejection, std::string_view text);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_LOCATE_H_

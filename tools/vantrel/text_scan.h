// Helpers of the vantrel tool that look at a definition text the way the
// library's reader does, and that move field bytes in and out of JSON.
//
// The library only says whether a text was read; to tell the user where a
// rejected text goes wrong the tool finds the pieces and the failing
// parameter item itself, with the same searches the reader makes. The tests
// hold these helpers to the library's own answers.
#ifndef VANTREL_TOOLS_TEXT_SCAN_H_
#define VANTREL_TOOLS_TEXT_SCAN_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel_cli {

inline constexpr std::string_view kOrJoiner = "@@OR@@";
inline constexpr std::string_view kAndJoiner = "@@AND@@";

struct Span {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// The joiner a parse splits on: "@@OR@@" when the text holds it anywhere,
// else "@@AND@@" when it holds that, else the empty view (one piece).
std::string_view JoinerOf(std::string_view text);

// The piece with the 0-based `index`, cut as a parse cuts the text; nullopt
// when the text has fewer pieces.
std::optional<Span> PieceAt(std::string_view text, std::size_t index);

// The first parameter item of one piece that holds no "==" of its own, as
// the reader sees it. `number` counts the items of the params block from 1;
// `span` is relative to the piece. nullopt when the reader accepts the piece.
struct RejectedItem {
  std::size_t number = 0;
  Span span;
};
std::optional<RejectedItem> FindRejectedItem(std::string_view piece);

// The offset of the first byte that does not belong to a well-formed UTF-8
// sequence (no overlong forms, no surrogates, nothing above U+10FFFF);
// nullopt when all of `bytes` is UTF-8.
std::optional<std::size_t> FirstNonUtf8(std::string_view bytes);

// Under --bytes latin1 every byte stands for the code point of the same
// number (U+0000 to U+00FF). Decodes a UTF-8 JSON string to those bytes in
// place; false, with `text` unspecified, when it holds a code point above
// U+00FF.
bool DecodeLatin1InPlace(std::string& text);

// Appends `bytes` as a quoted JSON string. Quote, backslash and bytes below
// 0x20 are escaped. With `latin1`, every byte from 0x80 up is written as
// \u00XX; without, such bytes are copied (the caller has checked that they
// are UTF-8).
void AppendJsonString(std::string& out, std::string_view bytes, bool latin1);

// A short, printable rendering of `bytes` for messages: JSON-style escapes,
// \xNN for bytes that are not UTF-8, and at most `limit` bytes of input
// followed by "..." when it is longer.
std::string Display(std::string_view bytes, std::size_t limit = 80);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_TEXT_SCAN_H_

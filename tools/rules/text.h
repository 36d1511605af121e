// Field bytes as JSON strings, and pieces of input shown in messages.
//
// Two rules hold for everything the tool prints about its input:
//   - bytes map to JSON strings in one of two documented ways (ByteMode);
//   - a piece of input inside a message is always quoted, escaped to
//     printable ASCII and cut to kExcerptBytes, with its full length stated,
//     so that no rule, member name or id can forge a line or drive a
//     terminal, and no message outgrows a few hundred bytes.
#ifndef VANTREL_TOOLS_RULES_TEXT_H_
#define VANTREL_TOOLS_RULES_TEXT_H_

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantrel::rules {

// A failure that ends the command, or the batch line, with an error:
// unreadable input, bad JSON, bytes the ByteMode cannot carry. Its message
// is safe to print as it is (every piece of input in it is excerpted).
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How field bytes map to JSON strings. Utf8: a field must be UTF-8 and is
// its JSON string as it is. Latin1: each byte is the code point of the same
// number, U+0000 to U+00FF, so every byte string has a JSON form.
enum class ByteMode { Utf8, Latin1 };

// The JSON string (with quotes) of a field's bytes; InputError naming
// `path` and the first bad byte when the bytes are not UTF-8 under Utf8.
//   JsonString("caf\xC3\xA9", Utf8, "name")  == "\"caf\xC3\xA9\""
//   JsonString("caf\xE9", Latin1, "name")    == "\"caf\\u00e9\""
std::string JsonString(std::string_view bytes, ByteMode mode,
                       std::string_view path);

// The bytes of a JSON string's text (UTF-8, as the JSON reader gives it);
// InputError naming `path` when it holds a character above U+00FF under
// Latin1.
std::string FieldBytes(std::string text, ByteMode mode, std::string_view path);

// The position of the first byte that is not part of a UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF included),
// npos when `bytes` is UTF-8.
std::size_t FirstNonUtf8(std::string_view bytes);

// The bytes as UTF-8 text for a report: as JsonString's content, but under
// Utf8 a byte that is not UTF-8 becomes U+FFFD instead of an error.
std::string ReportText(std::string_view bytes, ByteMode mode);

// Bytes shown in a message: a JSON-style quoted string, printable ASCII only
// (control characters and everything above 0x7E escaped, bytes that are not
// UTF-8 shown as U+FFFD).
//   Quote("a\x1B[31m\n") == "\"a\\u001b[31m\\n\""
inline constexpr std::size_t kExcerptBytes = 60;
std::string Quote(std::string_view bytes);
// Quote, cut after kExcerptBytes bytes with the full length stated:
//   Excerpt(std::string(100, 'a')) == "\"aaa...a\"... (100 bytes)"
std::string Excerpt(std::string_view bytes);

// The bytes of a message window around offset `at`: from a little before it,
// kExcerptBytes long (empty when `at` is past the end).
std::string_view Around(std::string_view bytes, std::size_t at);

// The text of a whole file without its line ending: one final LF or CRLF is
// dropped, nothing else. A final CR alone is part of the rule and stays.
std::string_view WithoutFinalLineBreak(std::string_view text);

// A member name inside a path: as it is when it is a plain identifier
// ("name", "Location_Name"), else excerpted ("\"a b\"").
std::string MemberName(std::string_view name);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_TEXT_H_

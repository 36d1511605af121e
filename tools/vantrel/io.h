// Showing pieces of input in messages (and, through files.h, the input and
// output themselves).
#ifndef VANTREL_TOOLS_IO_H_
#define VANTREL_TOOLS_IO_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "files.h"  // InputError, Input, Output

namespace vantrel_cli {

// Bytes shown in a message: a JSON-style quoted string, ASCII only (control
// characters and everything above 0x7E escaped, bytes that are not UTF-8
// shown as U+FFFD), cut after kExcerptBytes bytes with the full length
// stated: "abc..." (5000 bytes).
inline constexpr std::size_t kExcerptBytes = 60;
std::string Quote(std::string_view bytes);
std::string Excerpt(std::string_view bytes);

// The bytes of a message window around offset `at`: from a little before it,
// kExcerptBytes long.
std::string_view Around(std::string_view bytes, std::size_t at);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_IO_H_

#include "text.h"

#include <nlohmann/json.hpp>

namespace vantrel::rules {
namespace {

using Json = nlohmann::json;

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0U | (byte >> 6U));
      text += static_cast<char>(0x80U | (byte & 0x3FU));
    }
  }
  return text;
}

// The length of the UTF-8 sequence at `i`, 0 when none starts there.
std::size_t SequenceAt(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) {
    return static_cast<unsigned char>(bytes[k]);
  };
  const unsigned char lead = at(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((at(i + k) & 0xC0U) != 0x80U) return 0;
  }
  return length;
}

}  // namespace

std::size_t FirstNonUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceAt(bytes, i);
    if (length == 0) return i;
    i += length;
  }
  return std::string_view::npos;
}

std::string JsonString(std::string_view bytes, ByteMode mode,
                       std::string_view path) {
  // Under latin1 every character above 0x7F is written as \u00XX.
  if (mode == ByteMode::Latin1) {
    return Json(Latin1ToUtf8(bytes)).dump(-1, ' ', true);
  }
  const std::size_t bad = FirstNonUtf8(bytes);
  if (bad != std::string_view::npos) {
    throw InputError(std::string(path) +
                     " holds bytes that are not UTF-8 (first at byte " +
                     std::to_string(bad) +
                     " of the field); the latin1 byte mode carries every "
                     "byte as U+0000 to U+00FF");
  }
  return Json(std::string(bytes)).dump(-1, ' ', false);
}

std::string FieldBytes(std::string text, ByteMode mode, std::string_view path) {
  if (mode == ByteMode::Utf8) return text;
  // The JSON reader has checked the UTF-8, so U+0080 to U+00FF can only be
  // the two-byte forms starting 0xC2 or 0xC3.
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size()) {
        throw InputError(std::string(path) +
                         ": holds a character above U+00FF, which stands for "
                         "no byte in the latin1 byte mode");
      }
      const auto next = static_cast<unsigned char>(text[++i]);
      text[out++] = static_cast<char>(((byte & 0x03U) << 6U) | (next & 0x3FU));
    } else {
      text[out++] = text[i];
    }
  }
  text.resize(out);
  return text;
}

std::string ReportText(std::string_view bytes, ByteMode mode) {
  if (mode == ByteMode::Latin1) return Latin1ToUtf8(bytes);
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceAt(bytes, i);
    if (length == 0) {
      text += "\xEF\xBF\xBD";
      ++i;
    } else {
      text.append(bytes.substr(i, length));
      i += length;
    }
  }
  return text;
}

std::string Quote(std::string_view bytes) {
  return Json(ReportText(bytes, ByteMode::Utf8)).dump(-1, ' ', true);
}

std::string Excerpt(std::string_view bytes) {
  if (bytes.size() <= kExcerptBytes) return Quote(bytes);
  return Quote(bytes.substr(0, kExcerptBytes)) + "... (" +
         std::to_string(bytes.size()) + " bytes)";
}

std::string_view Around(std::string_view bytes, std::size_t at) {
  constexpr std::size_t kBefore = 16;
  const std::size_t from = at > kBefore ? at - kBefore : 0;
  return from < bytes.size() ? bytes.substr(from, kExcerptBytes)
                             : std::string_view();
}

std::string MemberName(std::string_view name) {
  const bool plain =
      !name.empty() && name.size() <= kExcerptBytes &&
      name.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyz"
          "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string_view::npos;
  return plain ? std::string(name) : Excerpt(name);
}

std::string_view WithoutFinalLineBreak(std::string_view text) {
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") {
    text.remove_suffix(2);
  } else if (!text.empty() && text.back() == '\n') {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace vantrel::rules

#include "text_scan.h"


namespace vantrel_cli {
namespace {

constexpr std::string_view kNameMark = "--#--";
constexpr std::string_view kOpenMark = "--{--";
constexpr std::string_view kCloseMark = "--}--";
constexpr std::string_view kItemSeparator = "--;--";
constexpr std::string_view kKeySeparator = "==";
constexpr std::size_t kNone = std::string_view::npos;

// Length of the UTF-8 sequence at `bytes[i]`, 0 when it is malformed.
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t i) {
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
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() - i < length) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  }
  return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (byte) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    default: break;
  }
  out += "\\u00";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace

std::string_view JoinerOf(std::string_view text) {
  if (text.find(kOrJoiner) != kNone) return kOrJoiner;
  if (text.find(kAndJoiner) != kNone) return kAndJoiner;
  return {};
}

std::optional<Span> PieceAt(std::string_view text, std::size_t index) {
  const std::string_view joiner = JoinerOf(text);
  if (joiner.empty()) {
    if (index == 0) return Span{0, text.size()};
    return std::nullopt;
  }
  std::size_t start = 0;
  for (std::size_t i = 0;; ++i) {
    const std::size_t found = text.find(joiner, start);
    const std::size_t end = found == kNone ? text.size() : found;
    if (i == index) return Span{start, end - start};
    if (found == kNone) return std::nullopt;
    start = found + joiner.size();
  }
}

std::optional<RejectedItem> FindRejectedItem(std::string_view piece) {
  // The name, then the detail block: they only decide where the params
  // block is looked for.
  std::size_t start = 0;
  const std::size_t h1 = piece.find(kNameMark);
  if (h1 != kNone) {
    const std::size_t h2 = piece.find(kNameMark, h1 + 1);
    if (h2 != kNone) start = h2 + 1;
  }
  const std::size_t d1 = piece.find(kOpenMark, start);
  if (d1 != kNone) {
    const std::size_t d2 = piece.find(kCloseMark, d1 + 1);
    start = d2 != kNone ? d2 + 1 : 0;
  }
  const std::size_t p1 = piece.find(kOpenMark, start);
  if (p1 == kNone) return std::nullopt;
  const std::size_t p2 = piece.find(kCloseMark, p1 + 1);
  if (p2 == kNone) return std::nullopt;

  // Each item runs to the next item separator that starts before the
  // closing mark, or to the closing mark; its "==" must start at its second
  // byte or later and end within it.
  std::size_t b = p1 + kOpenMark.size();
  for (std::size_t number = 1;; ++number) {
    const std::size_t s = piece.find(kItemSeparator, b + 1);
    const bool last = s == kNone || s >= p2;
    const std::size_t x = last ? p2 : s;
    const std::size_t e = piece.find(kKeySeparator, b + 1);
    if (e == kNone || e + kKeySeparator.size() > x) {
      return RejectedItem{number, Span{b, x > b ? x - b : 0}};
    }
    if (last) return std::nullopt;
    b = s + kItemSeparator.size();
  }
}

std::optional<std::size_t> FirstNonUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceAt(bytes, i);
    if (length == 0) return i;
    i += length;
  }
  return std::nullopt;
}

bool DecodeLatin1InPlace(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      text[out++] = text[i];
      continue;
    }
    // JSON text reaches us as UTF-8 that the JSON reader has checked, so
    // only the two-byte forms of U+0080 to U+00FF can occur here.
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size()) return false;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    text[out++] = static_cast<char>(((byte & 0x03U) << 6) | (next & 0x3FU));
    ++i;
  }
  text.resize(out);
  return true;
}

void AppendJsonString(std::string& out, std::string_view bytes, bool latin1) {
  out += '"';
  std::size_t run = 0;  // start of the bytes not yet copied
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const bool plain =
        byte >= 0x20 && byte != '"' && byte != '\\' && (byte < 0x80 || !latin1);
    if (plain) continue;
    out.append(bytes.data() + run, i - run);
    AppendEscaped(out, byte);
    run = i + 1;
  }
  out.append(bytes.data() + run, bytes.size() - run);
  out += '"';
}

std::string Display(std::string_view bytes, std::size_t limit) {
  const bool cut = bytes.size() > limit;
  const std::string_view shown = cut ? bytes.substr(0, limit) : bytes;
  std::string out = "\"";
  for (std::size_t i = 0; i < shown.size();) {
    const auto byte = static_cast<unsigned char>(shown[i]);
    if (byte >= 0x80) {
      const std::size_t length = Utf8SequenceAt(shown, i);
      if (length > 0) {
        out.append(shown.data() + i, length);
        i += length;
      } else {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
        ++i;
      }
      continue;
    }
    if (byte < 0x20 || byte == '"' || byte == '\\' || byte == 0x7F) {
      if (byte == 0x7F) {
        out += "\\u007f";
      } else {
        AppendEscaped(out, byte);
      }
    } else {
      out += static_cast<char>(byte);
    }
    ++i;
  }
  out += cut ? "\"..." : "\"";
  return out;
}

}  // namespace vantrel_cli

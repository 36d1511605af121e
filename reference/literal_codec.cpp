#include "reference/literal_codec.h"

#include "reference/marks.h"

namespace vantrel_reference {
namespace literal {
namespace {

const std::string::size_type npos = std::string::npos;

}  // namespace

bool ReadConditionText(const std::string& text, AlertDefinition& record) {
  // 1. Name.
  std::string::size_type next = 0;
  const std::string::size_type h1 = text.find(kNameMark, 0);
  if (h1 != npos) {
    const std::string::size_type h2 = text.find(kNameMark, h1 + 1);
    if (h2 != npos) {
      record.name =
          text.substr(h1 + kNameMark.size(), h2 - h1 - kNameMark.size());
      next = h2 + 1;
    }
  }
  // 2. Detail. With no opening mark at all, the params block is looked for
  // from where the detail block was.
  const std::string::size_type d1 = text.find(kOpenMark, next);
  if (d1 != npos) {
    const std::string::size_type d2 = text.find(kCloseMark, d1 + 1);
    if (d2 != npos) {
      record.detail =
          text.substr(d1 + kOpenMark.size(), d2 - d1 - kOpenMark.size());
      next = d2 + 1;
    } else {
      next = 0;
    }
  }
  // 3. Params block.
  const std::string::size_type p1 = text.find(kOpenMark, next);
  if (p1 == npos) return true;
  const std::string::size_type p2 = text.find(kCloseMark, p1 + 1);
  if (p2 == npos) return true;
  std::string::size_type b = p1 + kOpenMark.size();
  for (;;) {
    // 4. Item end.
    const std::string::size_type s = text.find(kItemSeparator, b + 1);
    const bool last = !(s != npos && s < p2);
    const std::string::size_type x = last ? p2 : s;
    // 5. Key.
    const std::string::size_type e = text.find(kKeySeparator, b + 1);
    if (e == npos || e + kKeySeparator.size() > x) return false;
    DefinitionParam param;
    param.key = text.substr(b, e - b);
    // 6. Values.
    std::string::size_type v = e + kKeySeparator.size();
    for (;;) {
      const std::string::size_type m = text.find(kValueSeparator, v);
      if (m == npos || m + kValueSeparator.size() > x) break;
      param.values.push_back(text.substr(v, m - v));
      v = m + kValueSeparator.size();
    }
    param.values.push_back(text.substr(v, x - v));
    // 7.
    record.params.push_back(param);
    if (last) return true;
    b = s + kItemSeparator.size();
  }
}

void AppendConditionText(std::string& out, const AlertDefinition& record) {
  out += kNameMark;
  out += record.name;
  out += kNameMark;
  out += kOpenMark;
  out += record.detail;
  out += kCloseMark;
  if (!record.params.empty()) {
    out += kOpenMark;
    bool first_param = true;
    for (const DefinitionParam& param : record.params) {
      if (!first_param) out += kItemSeparator;
      first_param = false;
      out += param.key;
      out += kKeySeparator;
      bool first_value = true;
      for (const std::string& value : param.values) {
        if (!first_value) out += kValueSeparator;
        first_value = false;
        out += value;
      }
    }
  }
  out += kCloseMark;
}

bool ParseDefinition(const std::string& text, AlertDefinitions& target) {
  std::string_view joiner;
  if (text.find(kOrJoiner, 0) != npos) {
    joiner = kOrJoiner;
    target.combination = 0;
  } else if (text.find(kAndJoiner, 0) != npos) {
    joiner = kAndJoiner;
    target.combination = 1;
  } else {
    AlertDefinition record;
    if (!ReadConditionText(text, record)) return false;
    target.definitions.push_back(record);
    return true;
  }
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type f = text.find(joiner, start);
    const std::string piece =
        f == npos ? text.substr(start) : text.substr(start, f - start);
    AlertDefinition record;
    if (!ReadConditionText(piece, record)) return false;
    target.definitions.push_back(record);
    if (f == npos) return true;
    start = f + joiner.size();
  }
}

bool WriteDefinition(std::string& text, const AlertDefinitions& source) {
  std::string_view joiner;
  if (source.combination == 1) {
    joiner = kAndJoiner;
  } else if (source.combination == 0) {
    joiner = kOrJoiner;
  }
  std::string working;
  for (const AlertDefinition& record : source.definitions) {
    AppendConditionText(working, record);
    working += ' ';
    working += joiner;
    working += ' ';
  }
  const std::string::size_type cut = joiner.size() + 2;
  working = working.size() < cut ? std::string()
                                 : working.substr(0, working.size() - cut);
  text = working;
  return true;
}

}  // namespace literal
}  // namespace vantrel_reference

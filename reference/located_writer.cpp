#include "reference/located_writer.h"

#include "reference/marks.h"

namespace vantrel_reference {
namespace {

Span Append(std::string& out, std::string_view bytes) {
  const Span span{out.size(), bytes.size()};
  out.append(bytes);
  return span;
}

}  // namespace

WrittenDefinition LayOut(const AlertDefinitions& defs) {
  WrittenDefinition written;
  std::string& out = written.text;
  written.joiner = defs.combination == 1   ? kAndJoiner
                   : defs.combination == 0 ? kOrJoiner
                                           : std::string_view();
  for (const AlertDefinition& record : defs.definitions) {
    if (!written.conditions.empty()) {
      out += ' ';
      written.joiners.push_back(out.size());
      out.append(written.joiner);
      out += ' ';
    }
    WrittenCondition& condition = written.conditions.emplace_back();
    condition.condition.offset = out.size();
    out.append(kNameMark);
    condition.name = Append(out, record.name);
    out.append(kNameMark);
    out.append(kOpenMark);
    condition.detail = Append(out, record.detail);
    out.append(kCloseMark);
    if (!record.params.empty()) out.append(kOpenMark);
    for (const DefinitionParam& param : record.params) {
      if (!condition.params.empty()) out.append(kItemSeparator);
      WrittenParam& laid = condition.params.emplace_back();
      laid.key = Append(out, param.key);
      laid.key_separator = out.size();
      out.append(kKeySeparator);
      for (const std::string& value : param.values) {
        if (!laid.values.empty()) out.append(kValueSeparator);
        laid.values.push_back(Append(out, value));
      }
    }
    out.append(kCloseMark);
    condition.condition.size = out.size() - condition.condition.offset;
  }
  return written;
}

}  // namespace vantrel_reference

// What writing a record set and reading the text back is guaranteed to give.
//
// The text form has no escaping, so a field that holds (part of) a mark can
// change when it is written and read back. This header states exactly which
// record sets come back unchanged (RoundTrips) and a precise set of record
// sets for which writing what was read back reproduces the first text
// (RewriteIsStable). The fuzzers and the exhaustive tests check both
// against the library on every input they make, in both directions for the
// round trip.
//
// Everything here is written from the format's rules, with plain
// std::string::find; it shares no code with the library or with the model.

#ifndef VANTREL_TESTING_SUPPORT_TEXT_PROPERTIES_H_
#define VANTREL_TESTING_SUPPORT_TEXT_PROPERTIES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vantrel/alert_definitions.h"

namespace vantrel_test {
namespace text_properties {

inline const std::string& NameMark() {
  static const std::string s = "--#--";
  return s;
}
inline const std::string& OpenMark() {
  static const std::string s = "--{--";
  return s;
}
inline const std::string& CloseMark() {
  static const std::string s = "--}--";
  return s;
}
inline const std::string& ItemMark() {
  static const std::string s = "--;--";
  return s;
}
inline const std::string& KeyMark() {
  static const std::string s = "==";
  return s;
}
inline const std::string& ValueMark() {
  static const std::string s = "--,--";
  return s;
}
inline const std::string& OrJoiner() {
  static const std::string s = "@@OR@@";
  return s;
}
inline const std::string& AndJoiner() {
  static const std::string s = "@@AND@@";
  return s;
}

// True when `mark` begins somewhere in [from, to) of `text` (it may run on
// past `to`).
inline bool BeginsIn(const std::string& text, const std::string& mark,
                     std::size_t from, std::size_t to) {
  const std::size_t at = text.find(mark, from);
  return at != std::string::npos && at < to;
}

inline bool Contains(const std::string& text, const std::string& mark) {
  return text.find(mark) != std::string::npos;
}

// The params block body as the writer lays it out: the items joined by
// "--;--", each item its key, "==" and its values joined by "--,--".
inline std::string ItemText(const DefinitionParam& param) {
  std::string item = param.key + KeyMark();
  bool first = true;
  for (const std::string& value : param.values) {
    if (!first) item += ValueMark();
    first = false;
    item += value;
  }
  return item;
}

inline std::string ParamsBody(const AlertDefinition& record) {
  std::string body;
  bool first = true;
  for (const DefinitionParam& param : record.params) {
    if (!first) body += ItemMark();
    first = false;
    body += ItemText(param);
  }
  return body;
}

// --- The three block boundaries -------------------------------------------
//
// Each block is written as an opening mark, its text and a closing mark, and
// the reader takes the first closing mark that begins at or after the
// opening mark's second byte. The block is read back whole exactly when no
// closing mark begins earlier than the written one: not inside the text, not
// overlapping the opening mark (a text starting with "#--" or "-#--" after
// "--#--"), and not straddling the end of the text and the closing mark (a
// name ending in "--#" or "--#-").

// The name N: no "--#--" begins in [1, 5 + |N|) of "--#--" N "--#--".
inline bool NameBoundaryHolds(const std::string& name) {
  const std::string written = NameMark() + name + NameMark();
  return !BeginsIn(written, NameMark(), 1, NameMark().size() + name.size());
}

// The detail D: no "--}--" begins in [1, 5 + |D|) of "--{--" D "--}--".
// (The opening "--{--" of the detail is always found where it was written:
// nothing before it but the name's closing mark lies in its search.)
inline bool DetailBoundaryHolds(const std::string& detail) {
  const std::string written = OpenMark() + detail + CloseMark();
  return !BeginsIn(written, CloseMark(), 1, OpenMark().size() + detail.size());
}

// The params body P (only when there are params): no "--}--" begins in
// [1, 5 + |P|) of "--{--" P "--}--". A record without params is written
// with the closing mark alone and always reads back without params.
inline bool ParamsBoundaryHolds(const AlertDefinition& record) {
  if (record.params.empty()) return true;
  const std::string body = ParamsBody(record);
  const std::string written = OpenMark() + body + CloseMark();
  return !BeginsIn(written, CloseMark(), 1, OpenMark().size() + body.size());
}

// --- Inside the params block ------------------------------------------------

// Item I followed by the mark written after it (F = "--;--", or "--}--" for
// the last item): the reader looks for "--;--" from the item's second byte,
// and a hit that begins before the end of the item ends it early. So no
// "--;--" may begin in [1, |I|) of I F.
inline bool ItemBoundaryHolds(const DefinitionParam& param, bool last) {
  const std::string item = ItemText(param);
  const std::string written = item + (last ? CloseMark() : ItemMark());
  return !BeginsIn(written, ItemMark(), 1, item.size());
}

// Key K: the reader takes the first "==" from the item's second byte. So K
// must not be empty (its "==" would begin at the first byte and be skipped)
// and no "==" may begin in [1, |K|) of K "==": K holds no "==" and does not
// end in "=" (except the key "=" itself, whose "===" has its second "==" at
// position 1, just where it is expected).
inline bool KeyHolds(const std::string& key) {
  if (key.empty()) return false;
  const std::string written = key + KeyMark();
  return !BeginsIn(written, KeyMark(), 1, key.size());
}

// Values: the reader cuts at every "--,--" that lies wholly inside the item,
// searching from the value's first byte. A value V followed by another: no
// "--,--" begins in [0, |V|) of V "--,--" (so V holds none and does not
// end in "--," or "--,-"). The last value of an item: V holds no "--,--"
// (one that runs into the following mark is not wholly inside the item).
inline bool ValuesHold(const DefinitionParam& param) {
  std::size_t left = param.values.size();
  for (const std::string& value : param.values) {
    --left;
    if (left == 0) {
      if (Contains(value, ValueMark())) return false;
    } else if (BeginsIn(value + ValueMark(), ValueMark(), 0, value.size())) {
      return false;
    }
  }
  return true;
}

// --- Joiners
// ------------------------------------------------------------------

// Which joiner texts no field may hold, for `count` records written with
// `combination`. The parse splits on "@@OR@@" when the text holds it
// anywhere, else on "@@AND@@". A joiner consists of '@' and capitals only and
// every field is bounded by marks of '-', '#', '{', '}', ';', ',', '=', so a
// joiner can never straddle a field and a mark: only a joiner inside one
// field can add a cut. With several or-joined records, "@@AND@@" inside a
// field is harmless; otherwise neither joiner may appear.
inline std::vector<std::string> ForbiddenJoiners(std::size_t count,
                                                 std::uint32_t combination) {
  if (count >= 2 && combination == 0) return {OrJoiner()};
  return {OrJoiner(), AndJoiner()};
}

inline bool FieldsFreeOf(const AlertDefinition& record,
                         const std::vector<std::string>& joiners) {
  for (const std::string& joiner : joiners) {
    if (Contains(record.name, joiner) || Contains(record.detail, joiner)) {
      return false;
    }
    for (const DefinitionParam& param : record.params) {
      if (Contains(param.key, joiner)) return false;
      for (const std::string& value : param.values) {
        if (Contains(value, joiner)) return false;
      }
    }
  }
  return true;
}

// Several records come back as several only when a joiner word was written
// between them: combination 0 or 1. An empty definitions is written as the
// empty text, which reads back as one empty record. One record is written
// without a joiner whatever the combination, and its parse leaves the
// target's combination as it was.
inline bool CountSurvives(const AlertDefinitions& defs) {
  const std::size_t count = defs.definitions.size();
  if (count == 0) return false;
  if (count == 1) return true;
  return defs.combination == 0 || defs.combination == 1;
}

// --- The two properties -----------------------------------------------------

// The exact round-trip condition. Writing `defs` and parsing the text into
// an empty target gives true, back the records of `defs` with every empty
// `values` read as one empty value (Normalized), and, when there are several
// records, the same combination, if and only if:
//   - CountSurvives(defs), and for every record:
//   - no field holds a joiner of ForbiddenJoiners,
//   - NameBoundaryHolds, DetailBoundaryHolds, ParamsBoundaryHolds,
//   - for every param: ItemBoundaryHolds, KeyHolds, ValuesHold.
// In words: a name may hold "--{--", "--}--", "--;--", "--,--" and "==" but
// not "--#--"; a detail anything but "--}--"; a key anything but "==",
// "--;--" and "--}--" and it must be non-empty; a value anything but
// "--,--", "--;--" and "--}--"; plus the straddling rules above, which keep
// a field's last bytes from forming a mark with the mark written after it.
inline bool RoundTrips(const AlertDefinitions& defs) {
  if (!CountSurvives(defs)) return false;
  const std::vector<std::string> joiners =
      ForbiddenJoiners(defs.definitions.size(), defs.combination);
  for (const AlertDefinition& record : defs.definitions) {
    if (!FieldsFreeOf(record, joiners) || !NameBoundaryHolds(record.name) ||
        !DetailBoundaryHolds(record.detail) || !ParamsBoundaryHolds(record)) {
      return false;
    }
    std::size_t left = record.params.size();
    for (const DefinitionParam& param : record.params) {
      --left;
      if (!ItemBoundaryHolds(param, left == 0) || !KeyHolds(param.key) ||
          !ValuesHold(param)) {
        return false;
      }
    }
  }
  return true;
}

// `defs` as a round trip gives it back: a param without values has one empty
// value.
inline AlertDefinitions Normalized(AlertDefinitions defs) {
  for (AlertDefinition& record : defs.definitions) {
    for (DefinitionParam& param : record.params) {
      if (param.values.empty()) param.values.emplace_back();
    }
  }
  return defs;
}

// When is write(parse(write(x))) == write(x)? Not for every x:
//   - empty definitions: "" reads as one empty record, which is written as
//     "--#----#----{----}----}--";
//   - several records with a combination other than 0 or 1: "A  B" reads as
//     one condition;
//   - a block boundary that moves: the name "#--" gives "--#--#----#--...",
//     whose name mark closes inside its opening mark, so the name read back
//     runs to the end of the text and grows on every rewrite; a value
//     holding "--}--" ends the params block early and the rest is lost;
//   - a joiner inside a field cuts the text there;
//   - a parse that fails drops the rejected condition (an empty key).
// What the rewrite does preserve are the cuts inside a params block: a
// value holding "--,--" comes back as two values, a key holding "==" is cut
// and its rest joins the first value, a value holding "--;--" starts a new
// item, and in every case the cut lies on the very bytes of a mark that the
// writer puts back. So the rewrite reproduces the text when:
//   - CountSurvives(defs) and no field holds a joiner of ForbiddenJoiners,
//   - every record's name, detail and params block boundaries hold, and
//   - the parse of the first text succeeds (every item, as the reader cuts
//     the block, has an "==" of its own).
// This condition is sufficient, not necessary: a name holding "--#----{--"
// shifts text from the name into the detail and still rewrites identically.
// RewriteIsStable is its first two parts; the caller adds the third.
inline bool RewriteIsStable(const AlertDefinitions& defs) {
  if (!CountSurvives(defs)) return false;
  const std::vector<std::string> joiners =
      ForbiddenJoiners(defs.definitions.size(), defs.combination);
  for (const AlertDefinition& record : defs.definitions) {
    if (!FieldsFreeOf(record, joiners) || !NameBoundaryHolds(record.name) ||
        !DetailBoundaryHolds(record.detail) || !ParamsBoundaryHolds(record)) {
      return false;
    }
  }
  return true;
}

}  // namespace text_properties
}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_TEXT_PROPERTIES_H_

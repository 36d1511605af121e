#include "text_check.h"

#include <algorithm>
#include <utility>

#include "reference/located_reader.h"
#include "reference/marks.h"
#include "text.h"

namespace vantrel::rules {
namespace {

namespace ref = vantrel_reference;
using ref::kNone;

// The marks as the reference readers spell them (reference/marks.h), never
// spelled again here.
using ref::kAndJoiner;
using ref::kCloseMark;
using ref::kItemSeparator;
using ref::kKeySeparator;
using ref::kNameMark;
using ref::kOpenMark;
using ref::kOrJoiner;
using ref::kValueSeparator;
// Every condition mark but the key separator has this size.
constexpr std::size_t kMarkSize = kNameMark.size();

// A mark in a message: "--}--".
std::string Shown(std::string_view mark) {
  return "\"" + std::string(mark) + "\"";
}

bool Holds(std::string_view text, std::size_t from, std::size_t to,
           std::string_view what) {
  return text.substr(from, to - from).find(what) != std::string_view::npos;
}

// What the reader makes of bytes [from, to) after the last mark it used in
// a piece: the cause named for dropping them.
Cause DroppedTail(std::string_view text, std::size_t from, std::size_t to,
                  std::string_view joiner, bool params,
                  const std::string& condition) {
  Cause cause{CauseKind::kDroppedText, "", from, to - from};
  if (joiner == kOrJoiner && Holds(text, from, to, kAndJoiner)) {
    cause.kind = CauseKind::kBothJoiners;
    cause.what = "the text holds both joiners and is cut at " +
                 Shown(kOrJoiner) + " only, so the conditions joined by " +
                 Shown(kAndJoiner) + " after " + condition + " are lost";
  } else if (Holds(text, from, to, kNameMark)) {
    cause.kind = CauseKind::kRunTogether;
    cause.what = "another condition follows " + condition +
                 " without a joiner and is lost";
    if (Holds(text, from, to, "\n")) {
      cause.what +=
          " (the text holds a line break, and a batch of lines reads one "
          "rule per line)";
    }
  } else if (params && (Holds(text, from, to, kCloseMark) ||
                        Holds(text, from, to, kKeySeparator) ||
                        Holds(text, from, to, kItemSeparator) ||
                        Holds(text, from, to, kValueSeparator))) {
    cause.kind = CauseKind::kMarkInField;
    cause.what = "a parameter or value after a closing mark " +
                 Shown(kCloseMark) + " inside a field of " + condition +
                 " is lost";
  } else {
    cause.what = "text after the last mark of " + condition + " is dropped";
  }
  return cause;
}

// The causes of one piece, as they are found.
struct PieceContext {
  std::string_view text;
  const ref::LocatedCondition& c;
  std::string condition;  // "condition 3"
  Causes& causes;

  void Add(CauseKind kind, std::size_t from, std::size_t to,
           std::string what) const {
    causes.Add(Cause{kind, std::move(what), from, to - from});
  }
};

// A piece in which the reader finds no mark at all.
void EmptyPieceCause(const PieceContext& p) {
  const ref::Span piece = p.c.piece;
  p.Add(CauseKind::kMissingMarks, piece.offset, piece.end(),
        piece.size == 0
            ? p.condition +
                  " is empty: it reads as an empty condition, written back "
                  "as " +
                  Shown(std::string(kNameMark) + std::string(kNameMark) +
                        std::string(kOpenMark) + std::string(kCloseMark) +
                        std::string(kCloseMark))
            : p.condition +
                  " holds no complete name, detail or params marks: it "
                  "reads as an empty condition, and its " +
                  std::to_string(piece.size) +
                  (piece.size == 1 ? " byte is" : " bytes are") + " dropped");
}

// The marks missing before the params block, and the bytes dropped before
// the first mark and between the blocks; `lead` is where the condition
// starts once the blank after a joiner is passed.
void LeadingCauses(const PieceContext& p, std::size_t lead) {
  const ref::LocatedCondition& c = p.c;
  if (!c.has_name()) {
    p.Add(CauseKind::kMissingMarks, lead, lead,
          p.condition + " has no name marks; " +
              Shown(std::string(kNameMark) + std::string(kNameMark)) +
              " is written");
  }
  if (!c.has_detail()) {
    p.Add(CauseKind::kMissingMarks, lead, lead,
          p.condition + " has no detail block; " +
              Shown(std::string(kOpenMark) + std::string(kCloseMark)) +
              " is written");
  }
  const std::size_t start = c.has_name()     ? c.name_open
                            : c.has_detail() ? c.detail_open
                                             : c.params_open;
  if (start > lead) {
    p.Add(CauseKind::kDroppedText, lead, start,
          "text before the first mark of " + p.condition + " is dropped");
  }
  if (c.has_name() && c.has_detail() &&
      c.detail_open > c.name_close + kMarkSize) {
    p.Add(CauseKind::kDroppedText, c.name_close + kMarkSize, c.detail_open,
          "text between the name and the detail block of " + p.condition +
              " is dropped (a name holding " + Shown(kNameMark) +
              " ends there)");
  }
  if (c.has_detail() && c.has_params() &&
      c.params_open > c.detail_close + kMarkSize) {
    p.Add(CauseKind::kDroppedText, c.detail_close + kMarkSize, c.params_open,
          "text between the detail and the params block of " + p.condition +
              " is dropped (a detail holding " + Shown(kCloseMark) +
              " ends there)");
  }
}

// The bytes after the last mark the reader used, up to `tail` (where the
// condition ends before the blank of a joiner).
void TrailingCauses(const PieceContext& p, std::size_t tail,
                    std::string_view joiner) {
  const ref::LocatedCondition& c = p.c;
  std::size_t end = c.has_params()   ? c.params_close + kMarkSize
                    : c.has_detail() ? c.detail_close + kMarkSize
                                     : c.name_close + kMarkSize;
  // A record without parameters is written with a second closing mark.
  if (!c.has_params() && end + kMarkSize <= tail &&
      p.text.substr(end, kMarkSize) == kCloseMark) {
    end += kMarkSize;
  } else if (!c.has_params() && c.has_detail()) {
    p.Add(CauseKind::kMissingMarks, end, end,
          p.condition + " has no params block and no second " +
              Shown(kCloseMark) +
              " after its detail block; a condition without parameters is "
              "written with " +
              Shown(kCloseMark) + " twice");
  }
  if (end < tail) {
    p.causes.Add(
        DroppedTail(p.text, end, tail, joiner, c.has_params(), p.condition));
  }
}

// The causes in piece `index` (from 0) of a text that does not come back:
// the bytes the reader passes over, which are not written back, and the
// blanks and marks that the writer adds.
void PieceCauses(std::string_view text, std::string_view joiner,
                 std::size_t index, bool last, const ref::LocatedCondition& c,
                 Causes& causes) {
  const PieceContext p{text, c, "condition " + std::to_string(index + 1),
                       causes};
  if (!c.has_name() && !c.has_detail() && !c.has_params()) {
    EmptyPieceCause(p);
    return;
  }
  const ref::Span piece = c.piece;
  const bool blank_before = index > 0 && text[piece.offset] == ' ';
  const bool blank_after = !last && text[piece.end() - 1] == ' ';
  const std::string each_side = "; the writer puts one on each side";
  if (index > 0 && !blank_before) {
    p.Add(CauseKind::kBlanks, piece.offset, piece.offset,
          "no blank after the joiner before " + p.condition + each_side);
  }
  if (!last && !blank_after) {
    p.Add(CauseKind::kBlanks, piece.end(), piece.end(),
          "no blank before the joiner after " + p.condition + each_side);
  }
  LeadingCauses(p, piece.offset + (blank_before ? 1 : 0));
  TrailingCauses(p, piece.end() - (blank_after ? 1 : 0), joiner);
}

}  // namespace

const char* StatusName(Status status) {
  switch (status) {
    case Status::kOk:
      return "ok";
    case Status::kLossy:
      return "lossy";
    case Status::kRejected:
      return "rejected";
  }
  return "ok";
}

TextCheck CheckText(Kind kind, const std::string& text, std::size_t max_causes,
                    AlertDefinitions* records, Combination* combination) {
  TextCheck check;
  check.causes = Causes(max_causes);
  AlertDefinitions own{};
  AlertDefinitions& defs = records != nullptr ? *records : own;
  Combination own_combination;
  const bool accepted =
      ParseText(kind, text, defs,
                combination != nullptr ? *combination : own_combination);
  check.conditions = defs.definitions.size();
  if (accepted) {
    Write(kind, check.written, defs);
    if (check.written == text) {
      check.written = std::string();
      return check;
    }
    check.status = Status::kLossy;
    check.difference = static_cast<std::size_t>(
        std::mismatch(text.begin(), text.end(), check.written.begin(),
                      check.written.end())
            .first -
        text.begin());
  } else {
    check.status = Status::kRejected;
    // The library appended one record per piece before the rejected one.
    check.rejection.piece = check.conditions + 1;
  }
  own.definitions.clear();  // the records are not needed any more

  // One reading of the text by the located reader explains both: the
  // pieces as a parse cuts them, each located once.
  ref::Pieces pieces(text);
  const std::string_view joiner = pieces.joiner();
  ref::Span piece;
  for (std::size_t i = 0; pieces.Next(piece); ++i) {
    if (!accepted && i < check.conditions) continue;
    const ref::LocatedCondition c = ref::LocateCondition(text, piece);
    if (!accepted) {
      Rejection& rejection = check.rejection;
      rejection.offset = piece.offset;
      if (c.rejected && !c.params.empty()) {
        rejection.item = c.params.size();
        rejection.item_offset = c.params.back().item.offset;
        rejection.item_size = c.params.back().item.size;
      }
      check.causes.Add(
          Cause{CauseKind::kRejectedItem, Describe(rejection, text),
                rejection.item != 0 ? rejection.item_offset : rejection.offset,
                rejection.item_size});
      return check;
    }
    PieceCauses(text, joiner, i, pieces.joiner_after() == kNone, c,
                check.causes);
  }
  if (check.causes.total() == 0) {
    check.causes.Add(Cause{CauseKind::kOther,
                           "the text differs from what the library writes "
                           "back, and the reader names no cause",
                           check.difference, 0});
  }
  return check;
}

std::string Describe(const Rejection& rejection, std::string_view text) {
  std::string message = "piece " + std::to_string(rejection.piece) +
                        " (at byte " + std::to_string(rejection.offset) +
                        ") is rejected";
  if (rejection.item == 0) return message;
  return message + ": its parameter item " + std::to_string(rejection.item) +
         " (at byte " + std::to_string(rejection.item_offset) + ") has no " +
         Shown(kKeySeparator) + " of its own: " +
         Excerpt(text.substr(rejection.item_offset, rejection.item_size));
}

}  // namespace vantrel::rules

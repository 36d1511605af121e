#include "condition_text.h"

#include <list>

#include "mark_search.h"
#include "vocabulary/vocabulary.h"

namespace vantrel {
namespace {

using codec_internal::FindMark;
using codec_internal::kNotFound;

// The marks' properties that the readers below rely on, checked on their
// compile-time texts (the bytes read are the constants', which hold the
// same texts).
using Name = decltype(ConditionMarks::name);
using DetailOpen = decltype(ConditionMarks::detail_open);
using DetailClose = decltype(ConditionMarks::detail_close);
using ParamsOpen = decltype(ConditionMarks::params_open);
using Close = decltype(ConditionMarks::params_close);
using ItemSep = decltype(ConditionMarks::item_sep);
using KeySep = decltype(ConditionMarks::key_sep);
using ValueSep = decltype(ConditionMarks::value_sep);

static_assert(Name::kSize == 5 && DetailOpen::kSize == 5 &&
                  DetailClose::kSize == 5 && ParamsOpen::kSize == 5 &&
                  Close::kSize == 5 && ItemSep::kSize == 5 &&
                  KeySep::kSize == 2 && ValueSep::kSize == 5,
              "the marks are five bytes long, the key separator two");
static_assert(DetailOpen::kText == ParamsOpen::kText &&
                  DetailClose::kText == Close::kText,
              "the two blocks open and close with the same texts");
// Every search scans for its mark's middle byte; a '-' there would stop it
// at every byte of a run of '-' (mark_search.h).
static_assert(Name::kMiddle != '-' && DetailOpen::kMiddle != '-' &&
                  DetailClose::kMiddle != '-' && ParamsOpen::kMiddle != '-' &&
                  Close::kMiddle != '-' && ItemSep::kMiddle != '-' &&
                  KeySep::kMiddle != '-' && ValueSep::kMiddle != '-',
              "no mark has '-' as its middle byte");

// Whether `byte` occurs in `text`.
constexpr bool Holds(std::string_view text, char byte) {
  return text.find(byte) != std::string_view::npos;
}

// The text from `from` up to `to`. When `to` lies before `from`, which
// happens where a closing mark begins inside its opening mark (as in
// "--#--#--"), the field runs to the end of the text.
std::string_view Cut(std::string_view text, std::size_t from,
                     std::size_t to) noexcept {
  return to >= from ? text.substr(from, to - from) : text.substr(from);
}

// The reading of a params block in one forward walk.
//
// The block runs from the end of its opening mark, at `open`, to its
// closing mark: the first "--}--" that begins at or after open + 1. An item
// runs from `b` to the first item separator that begins at or after b + 1
// and before the closing mark, or to the closing mark; call that end x. Its
// key runs from b to its first key separator at or after b + 1, which must
// end by x; its values are cut at the value separators that follow, each
// searched for from the end of the one before and counted only when it ends
// by x.
//
// Rather than searching for the closing mark and then searching each item
// for each mark, the walk visits, in order, every byte that is the middle
// byte (the anchor) of a closing mark, an item, key or value separator,
// checks whether the mark is really there, and keeps the state of the item
// it is in. Three things about the marks make one walk enough:
//   - a mark that begins before x has its anchor before x's anchor, so by
//     the time the walk reaches x it has seen every mark of the item;
//   - x is the start of an item separator or of the closing mark, which
//     begin with '-', so a key separator ("==") that begins before x also
//     ends by x; a value separator can run past x, so the last one found is
//     held until the item's end is known;
//   - the closing mark begins with two '-', so the walk sees no other
//     anchor between the closing mark's start and its anchor: it stops at
//     the closing mark having seen what a walk bounded by it would see.
// A block without a closing mark has no parameters: what the walk read is
// dropped. The walk tells the four marks apart by their anchors alone.
//
// Each of these properties is checked below, on the marks' texts.
static_assert(Close::kMiddle != ItemSep::kMiddle &&
                  Close::kMiddle != KeySep::kMiddle &&
                  Close::kMiddle != ValueSep::kMiddle &&
                  ItemSep::kMiddle != KeySep::kMiddle &&
                  ItemSep::kMiddle != ValueSep::kMiddle &&
                  KeySep::kMiddle != ValueSep::kMiddle,
              "the walk tells the marks apart by their middle bytes");
static_assert(KeySep::kAnchor <= ItemSep::kAnchor &&
                  ValueSep::kAnchor <= ItemSep::kAnchor &&
                  KeySep::kAnchor <= Close::kAnchor &&
                  ValueSep::kAnchor <= Close::kAnchor &&
                  ItemSep::kAnchor <= Close::kAnchor,
              "a mark that begins before an item's end has its anchor before "
              "the anchor of the mark there");
static_assert(ItemSep::kText[0] == '-' && Close::kText[0] == '-' &&
                  !Holds(KeySep::kText, '-'),
              "a key separator that begins before an item's end also ends "
              "by it");
static_assert(Close::kText.substr(0, Close::kAnchor) == "--" &&
                  ItemSep::kMiddle != '-' && KeySep::kMiddle != '-' &&
                  ValueSep::kMiddle != '-',
              "no anchor lies between the closing mark's start and its own");
// No mark tested runs further past its anchor than the closing mark does,
// and anchors that lie further on than the last one a closing mark can have
// do not matter, so every mark tested lies inside the text.
static_assert(
    ItemSep::kSize - ItemSep::kAnchor <= Close::kSize - Close::kAnchor &&
        KeySep::kSize - KeySep::kAnchor <= Close::kSize - Close::kAnchor &&
        ValueSep::kSize - ValueSep::kAnchor <= Close::kSize - Close::kAnchor,
    "every mark ends by the end of a closing mark at its anchor");
class ParamsWalk {
 public:
  ParamsWalk(std::string_view text, const ConditionMarks& marks,
             std::size_t open, std::list<DefinitionParam>& params)
      : text_(text),
        marks_(marks),
        params_(params),
        open_(open),
        item_(open + marks.params_open.size()) {}

  // Reads the block into `params`, which is empty. False when an item has
  // no key separator of its own; then `params` keeps the items before it.
  bool Run() {
    // Anchors lie at or after open + 1 + Close::kAnchor, at least each
    // mark's own anchor offset, so no start below wraps.
    const std::size_t size = text_.size();
    if (size - open_ < 1 + marks_.params_close.size()) {
      return true;  // no room for a closing mark
    }
    std::size_t stop = kNotFound;  // where the walk stopped
    codec_internal::ForEachOf<Close::kMiddle, ItemSep::kMiddle, KeySep::kMiddle,
                              ValueSep::kMiddle>(
        text_, open_ + 1 + Close::kAnchor, size - kCloseTail + 1,
        [&](std::size_t anchor) {
          const char byte = text_[anchor];
          if (byte == Close::kMiddle) {
            if (!MarkAround(anchor, marks_.params_close)) return true;
          } else if (byte == ItemSep::kMiddle) {
            if (ItemSeparatorAt(anchor)) return true;
          } else {
            if (byte == KeySep::kMiddle && param_ == nullptr) {
              KeySeparatorAt(anchor);
            } else if (byte == ValueSep::kMiddle && param_ != nullptr) {
              ValueSeparatorAt(anchor);
            }
            return true;
          }
          stop = anchor;
          return false;
        });
    return Finish(stop);
  }

 private:
  // How many bytes of the closing mark lie at or after its anchor.
  static constexpr std::size_t kCloseTail = Close::kSize - Close::kAnchor;

  // Ends the walk that stopped at the anchor `stop`: at the closing mark,
  // at an item without a key separator, or nowhere (kNotFound).
  bool Finish(std::size_t stop) {
    if (stop != kNotFound && text_[stop] != ItemSep::kMiddle) {
      return EndItem(stop - Close::kAnchor);
    }
    // Every closing mark whose anchor lies before `stop` has been seen, so
    // the first one, if any, begins at or after stop + 1 - Close::kAnchor.
    const bool closed =
        stop != kNotFound && FindMark(text_, stop + 1 - Close::kAnchor,
                                      marks_.params_close) != kNotFound;
    if (closed) return false;
    params_.clear();
    return true;
  }

  // Whether `mark`, whose anchor is at `anchor`, lies there.
  template <typename M>
  bool MarkAround(std::size_t anchor, M mark) const {
    return mark.At(text_.data() + anchor - M::kAnchor);
  }

  // An item separator ends the item, and the next one begins after it.
  bool ItemSeparatorAt(std::size_t anchor) {
    const std::size_t sep = anchor - ItemSep::kAnchor;
    if (sep <= item_ || !MarkAround(anchor, marks_.item_sep)) return true;
    if (!EndItem(sep)) return false;
    item_ = sep + marks_.item_sep.size();
    return true;
  }

  // The item's first key separator ends its key and begins its parameter.
  void KeySeparatorAt(std::size_t anchor) {
    const std::size_t sep = anchor - KeySep::kAnchor;
    if (sep <= item_ || !MarkAround(anchor, marks_.key_sep)) return;
    param_ = &params_.emplace_back();
    param_->key.assign(text_.data() + item_, sep - item_);
    value_ = sep + marks_.key_sep.size();
  }

  // A value separator is held until the next one shows that it ends inside
  // the item.
  void ValueSeparatorAt(std::size_t anchor) {
    const std::size_t sep = anchor - ValueSep::kAnchor;
    if (sep < value_ || !MarkAround(anchor, marks_.value_sep)) return;
    if (held_ == kNotFound) {
      held_ = sep;
    } else if (sep >= held_ + marks_.value_sep.size()) {
      AddValue(held_);
      held_ = sep;
    }
  }

  // Ends the current item at `x`. False when it has no key separator.
  bool EndItem(std::size_t x) {
    if (param_ == nullptr) return false;
    if (held_ != kNotFound && held_ + marks_.value_sep.size() <= x) {
      AddValue(held_);
    }
    param_->values.emplace_back(text_.data() + value_, x - value_);
    param_ = nullptr;
    held_ = kNotFound;
    return true;
  }

  // Adds the value that ends at the value separator at `sep`.
  void AddValue(std::size_t sep) {
    param_->values.emplace_back(text_.data() + value_, sep - value_);
    value_ = sep + marks_.value_sep.size();
  }

  std::string_view text_;
  const ConditionMarks& marks_;
  std::list<DefinitionParam>& params_;
  std::size_t open_;                  // where the opening mark begins
  std::size_t item_;                  // where the current item begins
  DefinitionParam* param_ = nullptr;  // its parameter, once its key is read
  std::size_t value_ = 0;             // where its current value begins
  std::size_t held_ = kNotFound;      // a value separator not yet counted
};

}  // namespace

ConditionMarks CurrentMarks() noexcept {
  namespace d = vocabulary::delimiters;
  return ConditionMarks{
      {d::kNameMark.data()},          {d::kDetailOpen.data()},
      {d::kDetailClose.data()},       {d::kParamsOpen.data()},
      {d::kParamsClose.data()},       {d::kItemSeparator.data()},
      {d::kKeyValueSeparator.data()}, {d::kValueSeparator.data()}};
}

bool ReadConditionText(std::string_view text, AlertDefinition& record) {
  const ConditionMarks marks = CurrentMarks();

  // Name: between the first two name marks. Without the second one, the
  // blocks are looked for from the start of the text.
  std::size_t start = 0;
  const std::size_t h1 = FindMark(text, 0, marks.name);
  if (h1 != kNotFound) {
    const std::size_t h2 = FindMark(text, h1 + 1, marks.name);
    if (h2 != kNotFound) {
      record.name.assign(Cut(text, h1 + marks.name.size(), h2));
      start = h2 + 1;
    }
  }

  // Detail block. Without its closing mark, the params block is looked for
  // from the start of the text. Without its opening mark, the params block
  // is looked for from the same place; its opening mark has the same text,
  // so none is found and the record has no parameters.
  const std::size_t d1 = FindMark(text, start, marks.detail_open);
  if (d1 != kNotFound) {
    const std::size_t d2 = FindMark(text, d1 + 1, marks.detail_close);
    if (d2 != kNotFound) {
      record.detail.assign(Cut(text, d1 + marks.detail_open.size(), d2));
      start = d2 + 1;
    } else {
      start = 0;
    }
  }

  // Params block: absent, or without its closing mark, means no parameters.
  const std::size_t p1 = FindMark(text, start, marks.params_open);
  if (p1 == kNotFound) return true;
  return ParamsWalk(text, marks, p1, record.params).Run();
}

}  // namespace vantrel

// The marks of the condition text and the sinks the writers put them into.

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "codec/condition_text.h"
#include "codec/mark.h"
#include "codec/text_sink.h"
#include "support/records.h"
#include "vocabulary/vocabulary.h"

namespace {

using vantrel::codec_internal::Mark;
using vantrel::codec_internal::SizeSink;
using vantrel::codec_internal::WriteSink;

inline constexpr std::string_view kHash = "--#--";
inline constexpr std::string_view kEq = "==";
inline constexpr std::string_view kOne = "=";
inline constexpr std::string_view kJoiner = "@@AND@@";

TEST(Mark, LengthAndMiddleByteComeFromTheText) {
  static_assert(Mark<kHash>::kSize == 5 && Mark<kHash>::kAnchor == 2 &&
                Mark<kHash>::kMiddle == '#');
  static_assert(Mark<kEq>::kSize == 2 && Mark<kEq>::kAnchor == 1 &&
                Mark<kEq>::kMiddle == '=');
  static_assert(Mark<kJoiner>::kSize == 7 && Mark<kJoiner>::kMiddle == 'N');
  const std::string bytes = "--#--";
  EXPECT_EQ(std::string_view(Mark<kHash>{bytes.data()}), "--#--");
}

// Copies exactly the mark's bytes, whatever its length, and nothing past
// them; the bytes are those the mark points at.
template <const std::string_view& Text>
void ExpectCopiesExactly() {
  const std::string bytes(Text);
  char buffer[16] = "xxxxxxxxxxxxxxx";
  const char* const end = Mark<Text>{bytes.data()}.CopyTo(buffer);
  EXPECT_EQ(end, buffer + Text.size());
  EXPECT_EQ(std::string_view(buffer, Text.size()), Text);
  EXPECT_EQ(buffer[Text.size()], 'x') << "wrote past the mark " << Text;
}

TEST(Mark, CopiesMarksOfEveryLength) {
  ExpectCopiesExactly<kOne>();
  ExpectCopiesExactly<kEq>();
  ExpectCopiesExactly<kHash>();
  ExpectCopiesExactly<kJoiner>();
}

TEST(Mark, ComparesTheBytesItPointsAt) {
  const std::string bytes = "--#--";
  const Mark<kHash> mark{bytes.data()};
  EXPECT_TRUE(mark.At("--#--x"));
  EXPECT_FALSE(mark.At("--#-x"));
  EXPECT_FALSE(mark.At("x-#--"));
}

// Each mark of the condition text reads the bytes of its own constant, and
// its compile-time text is that constant's. The detail block and the params
// block have equal texts, so a mark wired to the other block's constant
// would read and write the same texts: only the constants' addresses tell
// the wiring apart.
TEST(ConditionMarks, EachMarkIsItsOwnConstant) {
  namespace d = vantrel::vocabulary::delimiters;
  const vantrel::ConditionMarks marks = vantrel::CurrentMarks();
  const struct {
    const char* name;
    const char* data;
    std::string_view compile_time;
    const std::string& constant;
  } kWiring[] = {
      {"name", marks.name.data, marks.name.kText, d::kNameMark},
      {"detail_open", marks.detail_open.data, marks.detail_open.kText,
       d::kDetailOpen},
      {"detail_close", marks.detail_close.data, marks.detail_close.kText,
       d::kDetailClose},
      {"params_open", marks.params_open.data, marks.params_open.kText,
       d::kParamsOpen},
      {"params_close", marks.params_close.data, marks.params_close.kText,
       d::kParamsClose},
      {"item_sep", marks.item_sep.data, marks.item_sep.kText,
       d::kItemSeparator},
      {"key_sep", marks.key_sep.data, marks.key_sep.kText,
       d::kKeyValueSeparator},
      {"value_sep", marks.value_sep.data, marks.value_sep.kText,
       d::kValueSeparator},
  };
  for (const auto& mark : kWiring) {
    SCOPED_TRACE(mark.name);
    EXPECT_EQ(static_cast<const void*>(mark.data),
              static_cast<const void*>(mark.constant.data()));
    EXPECT_EQ(mark.compile_time, mark.constant);
  }
  EXPECT_NE(marks.detail_open.data, marks.params_open.data);
  EXPECT_NE(marks.detail_close.data, marks.params_close.data);
}

// --- The sinks
// ----------------------------------------------------------------

TEST(TextSink, SizeSaturatesInsteadOfWrapping) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  const std::string bytes = "--#--";
  SizeSink size;
  size.Put("abc");
  size.Put(std::string_view(nullptr, 0));
  EXPECT_EQ(size.size(), 3u);
  size.Put(std::string_view("x", 1));
  EXPECT_EQ(size.size(), 4u);
  size.PutMark(Mark<kHash>{bytes.data()});
  EXPECT_EQ(size.size(), 9u);
  // A size that no string can hold: the sum stops at the largest value, so
  // sizing a string with it throws instead of allocating a short buffer.
  SizeSink huge;
  huge.Add(kMax - 2);
  EXPECT_EQ(huge.size(), kMax - 2);
  huge.PutMark(Mark<kHash>{bytes.data()});
  EXPECT_EQ(huge.size(), kMax);
  huge.Put("x");
  EXPECT_EQ(huge.size(), kMax);
}

TEST(TextSink, SizeSinkNotesTheWatchedString) {
  const std::string watched = "abc";
  const std::string equal = "abc";
  SizeSink size(watched.data());
  size.Put(equal);
  EXPECT_FALSE(size.saw_watched());
  size.Put(watched);
  EXPECT_TRUE(size.saw_watched());
}

TEST(TextSink, WriteSinkPutsPiecesInOrder) {
  const std::string hash = "--#--";
  const std::string eq = "==";
  char buffer[32] = {};
  WriteSink sink(buffer);
  sink.PutMark(Mark<kHash>{hash.data()});
  sink.Put("");
  sink.Put(std::string_view("a\0b", 3));
  sink.PutMark(Mark<kEq>{eq.data()});
  EXPECT_EQ(sink.end(), buffer + 10);
  EXPECT_EQ(std::string_view(buffer, 10), std::string_view("--#--a\0b==", 10));
}

// The writers size their string with one walk and write it with another:
// a size walk that counted fewer bytes than the write walk puts would write
// past the string, one that counted more would leave bytes unwritten.
TEST(TextSink, SizeWalkCountsWhatTheWriteWalkPuts) {
  using vantrel_test::Param;
  using vantrel_test::Record;
  const vantrel::ConditionMarks marks = vantrel::CurrentMarks();
  const AlertDefinition records[] = {
      Record("", "", {}),
      Record("n", "detail", {Param("k", {"a", "", "b"}), Param("", {})}),
      Record("name", "", {Param("k1", {}), Param("k2", {"v"})}),
  };
  for (const AlertDefinition& record : records) {
    SizeSink size;
    vantrel::PutConditionText(size, record, marks);
    std::string text(size.size() + 1, '!');
    WriteSink sink(&text[0]);
    vantrel::PutConditionText(sink, record, marks);
    EXPECT_EQ(sink.end(), &text[0] + size.size());
    EXPECT_EQ(text.find('!'), size.size()) << "counted bytes left unwritten";
  }
}

}  // namespace

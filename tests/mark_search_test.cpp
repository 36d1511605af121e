// The mark search and the mark cursor against std::string_view::find,
// exhaustively over short texts made of the bytes that marks are built from.

#include "codec/mark_search.h"

#include "codec/mark_copy.h"
#include "codec/mark_cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vantrel::codec_internal::CopyMark;
using vantrel::codec_internal::FindMark;
using vantrel::codec_internal::FoundMark;
using vantrel::codec_internal::MarkCursor;
using vantrel::codec_internal::MarkSet;
using vantrel::codec_internal::kNotFound;

// Every text of length 0 to `max_length` over `alphabet`.
std::vector<std::string> AllTexts(std::string_view alphabet,
                                  std::size_t max_length) {
  std::vector<std::string> texts{""};
  std::size_t begin = 0;
  for (std::size_t length = 1; length <= max_length; ++length) {
    const std::size_t end = texts.size();
    for (std::size_t i = begin; i < end; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    begin = end;
  }
  return texts;
}

TEST(MarkSearch, ExamplesOfOverlap) {
  EXPECT_EQ(FindMark("a--#--#--b", 0, "--#--"), 1u);
  EXPECT_EQ(FindMark("a--#--#--b", 2, "--#--"), 4u);
  EXPECT_EQ(FindMark("a--#--#--b", 5, "--#--"), kNotFound);
}

TEST(MarkSearch, StartAtOrPastTheEndFindsNothing) {
  EXPECT_EQ(FindMark("--#--", 5, "--#--"), kNotFound);
  EXPECT_EQ(FindMark("--#--", 6, "--#--"), kNotFound);
  EXPECT_EQ(FindMark("--#-", 0, "--#--"), kNotFound);
  EXPECT_EQ(FindMark("", 0, "=="), kNotFound);
}

TEST(MarkSearch, BytesAreComparedExactly) {
  EXPECT_EQ(FindMark("@@and@@@@AND@@", 0, "@@AND@@"), 7u);
  const std::string with_nul("\0==\xff==", 6);
  EXPECT_EQ(FindMark(with_nul, 0, std::string_view("\0==", 3)), 0u);
  EXPECT_EQ(FindMark(with_nul, 1, "\xff=="), 3u);
}

TEST(MarkSearch, AgreesWithStringFindOnEveryShortText) {
  const std::vector<std::string> texts = AllTexts("-#=,x", 7);
  for (std::string_view mark : {"--#--", "==", "--,--", "-#-", "#"}) {
    for (const std::string& text : texts) {
      for (std::size_t from = 0; from <= text.size() + 1; ++from) {
        ASSERT_EQ(FindMark(text, from, mark),
                  std::string_view(text).find(mark, from))
            << "text " << text << " from " << from << " mark " << mark;
      }
    }
  }
}

// The marks of the condition text that the cursor tests use, one role bit
// each; "--{--" stands in for an opening mark that two roles share.
struct CursorMarks {
  std::string_view text;
  unsigned roles;
};
constexpr CursorMarks kCursorMarks[] = {
    {"--;--", 1u}, {"==", 2u}, {"--,--", 4u}, {"--{--", 8u | 16u}};

MarkSet CursorSet() {
  MarkSet set;
  for (const CursorMarks& m : kCursorMarks) {
    EXPECT_TRUE(set.Add(m.text, m.roles & 8u ? 8u : m.roles));
  }
  EXPECT_TRUE(set.Add("--{--", 16u));  // the same text in a second role
  return set;
}

// Every mark of `text` that begins at or after `from`, in the order of
// their starts, from std::string_view::find.
std::vector<FoundMark> MarksByFind(std::string_view text, std::size_t from) {
  std::vector<FoundMark> found;
  for (std::size_t at = from; at < text.size(); ++at) {
    unsigned roles = 0;
    for (const CursorMarks& m : kCursorMarks) {
      if (text.find(m.text, at) == at) roles |= m.roles;
    }
    if (roles != 0) found.push_back({at, roles});
  }
  return found;
}

TEST(MarkCursor, WalksEveryMarkInOrderOfItsStart) {
  const MarkSet set = CursorSet();
  for (const std::string& text : AllTexts("-;=,{x", 7)) {
    for (std::size_t from = 0; from <= text.size(); ++from) {
      MarkCursor cursor(set, text);
      cursor.Seek(from);
      for (const FoundMark& want : MarksByFind(text, from)) {
        ASSERT_EQ(cursor.Peek().at, want.at) << text << " from " << from;
        const FoundMark got = cursor.Next();
        ASSERT_EQ(got.at, want.at) << text << " from " << from;
        ASSERT_EQ(got.roles, want.roles) << text << " at " << got.at;
      }
      ASSERT_EQ(cursor.Next().at, kNotFound) << text << " from " << from;
    }
  }
}

// A sequence of Find calls with starts that go forward and back, as the
// reader makes them, against std::string_view::find for each call.
TEST(MarkCursor, FindAgreesWithStringFindWhereverItStarts) {
  const MarkSet set = CursorSet();
  for (const std::string& text : AllTexts("-;=,{", 7)) {
    const std::string_view view(text);
    MarkCursor cursor(set, text);
    std::size_t from = 0;
    for (int step = 0; step < 12; ++step) {
      const CursorMarks& m = kCursorMarks[static_cast<std::size_t>(step) % 4];
      std::size_t want = view.find(m.text, from);
      if (from >= view.size()) want = kNotFound;
      const std::size_t got = cursor.Find(m.roles, from);
      ASSERT_EQ(got, want) << text << " from " << from << " mark " << m.text;
      // Forward from the hit most of the time, back to an earlier start on
      // every third step.
      from = step % 3 == 2 ? from / 2 : (got == kNotFound ? 0 : got + 1);
    }
  }
}

TEST(MarkCursor, SetRejectsMarksItCannotWalk) {
  MarkSet set;
  EXPECT_TRUE(set.Add("--#--", 1u));
  EXPECT_TRUE(set.Add("--#--", 2u));   // equal text: one entry, two roles
  EXPECT_FALSE(set.Add("a#b", 4u));    // '#' anchors "--#--" already
  EXPECT_FALSE(set.Add("", 4u));
  EXPECT_FALSE(set.Add("=", 4u));
  EXPECT_FALSE(set.Add("@@AND@@", 4u));  // anchored three bytes in
  for (const char* mark : {"--a--", "--b--", "--c--", "--d--", "--e--",
                           "--f--", "--g--"}) {
    EXPECT_TRUE(set.Add(mark, 8u)) << mark;
  }
  EXPECT_FALSE(set.Add("--h--", 8u));  // a ninth mark
  MarkCursor cursor(set, "x--#--#--g--");
  EXPECT_EQ(cursor.Find(2u, 0), 1u);
  const FoundMark second = cursor.Next();
  EXPECT_EQ(second.at, 4u);
  EXPECT_EQ(second.roles, 3u);
  EXPECT_EQ(cursor.Next().at, 7u);
  EXPECT_EQ(cursor.Next().at, kNotFound);
}

// Texts longer than the stretch that is scanned byte by byte, so that the
// memchr path and the switch between the two paths are both exercised.
TEST(MarkSearch, AgreesWithStringFindOnLongTexts) {
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  const std::string_view alphabet = "-#=,;x";
  for (int round = 0; round < 300; ++round) {
    std::string text(next() % 120, 'x');
    for (char& c : text) c = alphabet[next() % alphabet.size()];
    for (std::string_view mark : {"--#--", "==", "--,--", "--;--"}) {
      for (std::size_t from = 0; from <= text.size(); ++from) {
        ASSERT_EQ(FindMark(text, from, mark),
                  std::string_view(text).find(mark, from))
            << "text " << text << " from " << from << " mark " << mark;
      }
    }
  }
}

TEST(MarkCopy, CopiesMarksOfEveryLength) {
  for (std::string_view mark : {"", "=", "==", "-#-", "--#--", "@@AND@@"}) {
    char buffer[16] = "xxxxxxxxxxxxxxx";
    const char* const end = CopyMark(buffer, mark);
    EXPECT_EQ(end, buffer + mark.size());
    EXPECT_EQ(std::string_view(buffer, mark.size()), mark);
    EXPECT_EQ(buffer[mark.size()], 'x') << "wrote past the mark";
  }
}

}  // namespace

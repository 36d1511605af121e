// The mark search against std::string_view::find, exhaustively over short
// texts made of the bytes that marks are built from.

#include "codec/mark_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "codec/condition_text.h"
#include "codec/mark_copy.h"
#include "codec/text_sink.h"
#include "support/sequences.h"

namespace {

using vantrel::codec_internal::CopyMark;
using vantrel::codec_internal::FindMark;
using vantrel::codec_internal::FindMarkEndingBy;
using vantrel::codec_internal::kNotFound;
using vantrel::codec_internal::Mark;
using vantrel::codec_internal::SizeSink;
using vantrel::codec_internal::WriteSink;

// Every text of length 0 to `max_length` over `alphabet`.
std::vector<std::string> AllTexts(std::string_view alphabet,
                                  std::size_t max_length) {
  std::vector<std::string> texts;
  vantrel_test::ForEachSequence(
      alphabet.size(), 0, max_length,
      [&](const std::vector<std::size_t>& digits) {
        texts.push_back(vantrel_test::Concatenate(alphabet, digits));
      });
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

TEST(MarkSearch, BoundedSearchesCountOnlyHitsInsideTheirStretch) {
  const std::vector<std::string> texts = AllTexts("-;x", 8);
  const std::string_view mark = "--;--";
  for (const std::string& text : texts) {
    const std::string_view view(text);
    for (std::size_t from = 0; from <= text.size(); ++from) {
      const std::size_t hit = view.find(mark, from);
      for (std::size_t end = 0; end <= text.size(); ++end) {
        const std::size_t within =
            hit != std::string_view::npos && hit + mark.size() <= end
                ? hit
                : kNotFound;
        ASSERT_EQ(FindMarkEndingBy(view, from, end, mark), within)
            << text << " " << from << " " << end;
      }
    }
  }
}

// Texts longer than the first window of sixteen bytes, so that the memchr
// path and the switch from the window to it are both exercised.
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

// Random texts of every length from 0 to 80 over the bytes of the marks, so
// that the scans that look at sixteen bytes at a time meet texts shorter
// than a window, windows cut short by the end of a stretch or of the text,
// and hits in every position of a window.
std::vector<std::string> RandomTexts(std::string_view alphabet,
                                     int copies = 3) {
  std::uint32_t state = 99;
  std::vector<std::string> texts;
  for (std::size_t length = 0; length <= 80; ++length) {
    for (int copy = 0; copy < copies; ++copy) {
      std::string text(length, 'x');
      for (char& c : text) {
        state = state * 1103515245u + 12345u;
        c = alphabet[(state >> 16) % alphabet.size()];
      }
      texts.push_back(text);
    }
  }
  return texts;
}

TEST(MarkSearch, ForEachOfVisitsEveryMatchingByteOnceInOrder) {
  using vantrel::codec_internal::ForEachOf;
  for (const std::string& text : RandomTexts("-;=,}x", 1)) {
    for (std::size_t from = 0; from <= text.size(); ++from) {
      for (std::size_t to = from; to <= text.size(); ++to) {
        std::vector<std::size_t> expected;
        for (std::size_t i = from; i < to; ++i) {
          if (text[i] == ';' || text[i] == '=' || text[i] == ',' ||
              text[i] == '}') {
            expected.push_back(i);
          }
        }
        std::vector<std::size_t> visited;
        EXPECT_TRUE(
            ForEachOf(text, from, to, ';', '=', ',', '}', [&](std::size_t i) {
              visited.push_back(i);
              return true;
            }));
        ASSERT_EQ(visited, expected) << text << " " << from << " " << to;
      }
    }
  }
}

TEST(MarkSearch, ForEachOfStopsWhereTheVisitSays) {
  using vantrel::codec_internal::ForEachOf;
  const std::string text(40, ',');
  for (std::size_t stop = 0; stop < text.size(); ++stop) {
    std::size_t last = kNotFound;
    EXPECT_FALSE(
        ForEachOf(text, 0, text.size(), ',', ',', ',', ',', [&](std::size_t i) {
          last = i;
          return i != stop;
        }));
    EXPECT_EQ(last, stop);
  }
}

TEST(MarkSearch, FarByteAgreesWithStringFindFromEveryStart) {
  using vantrel::codec_internal::FindFarByte;
  for (const std::string& text : RandomTexts("@-x", 1)) {
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      ASSERT_EQ(FindFarByte(text, from, '@'), text.find('@', from))
          << text << " " << from;
    }
  }
}

TEST(MarkSearch, MarksOfCompileTimeLengthAgreeWithStringFind) {
  for (const std::string& text : RandomTexts("-#=x")) {
    const std::string_view view(text);
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      ASSERT_EQ(FindMark(view, from, Mark<5, '#'>{"--#--"}),
                view.find("--#--", from))
          << text << " " << from;
      ASSERT_EQ(FindMark(view, from, Mark<2, '='>{"=="}), view.find("==", from))
          << text << " " << from;
    }
  }
}

TEST(MarkSearch, AnyAnchorFindsTheSameHits) {
  using vantrel::codec_internal::FindMarkAnchoredAt;
  const std::string_view joiner = "@@AND@@";
  for (const std::string& text : RandomTexts("@AND")) {
    const std::string_view view(text);
    for (std::size_t anchor = 0; anchor < joiner.size(); ++anchor) {
      for (std::size_t from = 0; from <= text.size(); ++from) {
        ASSERT_EQ(FindMarkAnchoredAt(view, from, view.size(), joiner, anchor),
                  view.find(joiner, from))
            << text << " " << from << " anchor " << anchor;
      }
    }
  }
}

// Copies exactly the mark's N bytes, whatever N, and nothing past them.
template <std::size_t N, char Middle>
void ExpectCopiesExactly(const char (&literal)[N + 1]) {
  char buffer[16] = "xxxxxxxxxxxxxxx";
  const char* const end = CopyMark(buffer, Mark<N, Middle>{literal});
  EXPECT_EQ(end, buffer + N);
  EXPECT_EQ(std::string_view(buffer, N), std::string_view(literal, N));
  EXPECT_EQ(buffer[N], 'x') << "wrote past the mark " << literal;
}

TEST(MarkCopy, CopiesMarksOfEveryLength) {
  ExpectCopiesExactly<0, '\0'>("");
  ExpectCopiesExactly<1, '='>("=");
  ExpectCopiesExactly<2, '='>("==");
  ExpectCopiesExactly<3, '#'>("-#-");
  ExpectCopiesExactly<5, '#'>("--#--");
  ExpectCopiesExactly<7, 'D'>("@@AND@@");
}

// The marks of the condition text carry the lengths and the middle bytes of
// their vocabulary constants, and their bytes are the constants' own.
TEST(MarkCopy, ConditionMarksMatchTheirConstants) {
  namespace d = vantrel::vocabulary::delimiters;
  const vantrel::ConditionMarks marks = vantrel::CurrentMarks();
  EXPECT_EQ(std::string_view(marks.name), d::kNameMark);
  EXPECT_EQ(std::string_view(marks.detail_open), d::kDetailOpen);
  EXPECT_EQ(std::string_view(marks.detail_close), d::kDetailClose);
  EXPECT_EQ(std::string_view(marks.params_open), d::kParamsOpen);
  EXPECT_EQ(std::string_view(marks.params_close), d::kParamsClose);
  EXPECT_EQ(std::string_view(marks.item_sep), d::kItemSeparator);
  EXPECT_EQ(std::string_view(marks.key_sep), d::kKeyValueSeparator);
  EXPECT_EQ(std::string_view(marks.value_sep), d::kValueSeparator);
  EXPECT_EQ(marks.name.data, d::kNameMark.data());
  EXPECT_EQ(marks.key_sep.data, d::kKeyValueSeparator.data());

  // The readers scan for a mark's middle byte, known at compile time, and
  // then compare the whole mark with its constant.
  const auto middle = [](auto mark) { return mark.data[mark.size() / 2]; };
  EXPECT_EQ(middle(marks.name), marks.name.kMiddle);
  EXPECT_EQ(middle(marks.detail_open), marks.detail_open.kMiddle);
  EXPECT_EQ(middle(marks.detail_close), marks.detail_close.kMiddle);
  EXPECT_EQ(middle(marks.params_open), marks.params_open.kMiddle);
  EXPECT_EQ(middle(marks.params_close), marks.params_close.kMiddle);
  EXPECT_EQ(middle(marks.item_sep), marks.item_sep.kMiddle);
  EXPECT_EQ(middle(marks.key_sep), marks.key_sep.kMiddle);
  EXPECT_EQ(middle(marks.value_sep), marks.value_sep.kMiddle);
}

TEST(TextSink, SizeSaturatesInsteadOfWrapping) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  SizeSink size;
  size.Put("abc");
  size.Put(std::string_view(nullptr, 0));
  EXPECT_EQ(size.size(), 3u);
  size.Put(std::string_view("x", 1));
  EXPECT_EQ(size.size(), 4u);
  // A size that no string can hold: the sum stops at the largest value, so
  // sizing a string with it throws instead of allocating a short buffer.
  SizeSink huge;
  huge.Add(kMax - 2);
  EXPECT_EQ(huge.size(), kMax - 2);
  huge.PutMark(Mark<5, '#'>{"--#--"});
  EXPECT_EQ(huge.size(), kMax);
  huge.Put("x");
  EXPECT_EQ(huge.size(), kMax);
}

TEST(TextSink, WriteSinkPutsPiecesInOrder) {
  char buffer[32] = {};
  WriteSink sink(buffer);
  sink.PutMark(Mark<5, '#'>{"--#--"});
  sink.Put("");
  sink.Put(std::string_view("a\0b", 3));
  sink.PutMark(Mark<2, '='>{"=="});
  sink.PutMark(Mark<0, '\0'>{""});
  EXPECT_EQ(sink.end(), buffer + 10);
  EXPECT_EQ(std::string_view(buffer, 10), std::string_view("--#--a\0b==", 10));
}

// The size walk and the writing walk are one template: the size they count
// is the number of bytes they write, for records of every shape.
TEST(TextSink, SizeAndTextComeFromTheSameWalk) {
  const vantrel::ConditionMarks marks = vantrel::CurrentMarks();
  AlertDefinition empty;
  AlertDefinition full;
  full.name = "n";
  full.detail = "detail";
  full.params.push_back(DefinitionParam{"k", {"a", "", "b"}});
  full.params.push_back(DefinitionParam{"", {}});
  for (const AlertDefinition* record : {&empty, &full}) {
    SizeSink size;
    vantrel::PutConditionText(size, *record, marks);
    std::string text(size.size() + 1, '!');
    WriteSink sink(&text[0]);
    vantrel::PutConditionText(sink, *record, marks);
    EXPECT_EQ(sink.end(), &text[0] + size.size());
    EXPECT_EQ(text.back(), '!') << "wrote past the counted size";
  }
}

}  // namespace

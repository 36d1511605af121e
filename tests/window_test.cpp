// The sixteen-byte window and the searches written on it, against plain
// loops and std::string_view::find. Built twice: with the window's form for
// the machine (SSE2 on x86-64) and with its portable form
// (VANTREL_WINDOW16_PORTABLE), so that both are checked on every machine.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/mark.h"
#include "codec/mark_search.h"
#include "codec/window16.h"
#include "support/sequences.h"

namespace {

using vantrel::codec_internal::FindFarByte;
using vantrel::codec_internal::FindMark;
using vantrel::codec_internal::ForEachOf;
using vantrel::codec_internal::kNotFound;
using vantrel::codec_internal::Mark;
using vantrel::codec_internal::Window16;

#if VANTREL_WINDOW16_SSE2
constexpr bool kPortable = false;
#else
constexpr bool kPortable = true;
#endif

TEST(Window16, FormIsTheOneAskedFor) {
#if defined(VANTREL_WINDOW16_PORTABLE)
  EXPECT_TRUE(kPortable);
#elif defined(__x86_64__) || defined(_M_X64)
  EXPECT_FALSE(kPortable);
#endif
}

// Compile-time texts for the marks searched for; each Mark reads its bytes
// from a copy elsewhere, as the codec's marks read their constants.
inline constexpr std::string_view kHash = "--#--";
inline constexpr std::string_view kEq = "==";
inline constexpr std::string_view kComma = "--,--";
inline constexpr std::string_view kSemi = "--;--";
inline constexpr std::string_view kShort = "-#-";
inline constexpr std::string_view kOne = "#";
inline constexpr std::string_view kNulEq("\0==", 3);
inline constexpr std::string_view kFfEq = "\xff==";

template <const std::string_view& Text>
struct OwnedMark {
  std::string bytes{Text};
  Mark<Text> mark{bytes.data()};
};

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

// Random texts of every length from 0 to `max_length` over `alphabet`, so
// that the windows meet texts shorter than a window, windows moved back to
// the end of the text, stretches that end inside a window and hits in
// every position of one.
std::vector<std::string> RandomTexts(std::string_view alphabet, int copies,
                                     std::size_t max_length = 80) {
  std::uint32_t state = 99;
  std::vector<std::string> texts;
  for (std::size_t length = 0; length <= max_length; ++length) {
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

// --- The window -------------------------------------------------------------

TEST(Window16, PlacedAtFromOrMovedBackToTheTextsEnd) {
  const std::string text(40, 'x');
  EXPECT_EQ((Window16::At<'x'>(text, 0).start()), 0u);
  EXPECT_EQ((Window16::At<'x'>(text, 24).start()), 24u);
  EXPECT_EQ((Window16::At<'x'>(text, 25).start()), 24u);
  EXPECT_EQ((Window16::At<'x'>(text, 39).start()), 24u);
  EXPECT_EQ((Window16::At<'x'>(text, 39).end()), 40u);
  // A short text: the window begins at 0 and holds it all.
  EXPECT_EQ((Window16::At<'x'>(std::string_view("xx"), 1).start()), 0u);
}

// The bits of every window equal a byte-by-byte comparison, clipped to the
// stretch asked for, for one to four bytes.
TEST(Window16, BitsAreTheMatchingBytesOfTheStretch) {
  for (const std::string& text : RandomTexts("ab;=,}", 2, 40)) {
    for (std::size_t from = 0; from < text.size(); ++from) {
      const Window16 one = Window16::At<';'>(text, from);
      const Window16 four = Window16::At<';', '=', ',', '}'>(text, from);
      ASSERT_EQ(one.start(), four.start());
      ASSERT_LE(one.start(), from);
      ASSERT_GT(one.end(), from);
      for (std::size_t to = from; to <= text.size(); ++to) {
        unsigned expected_one = 0;
        unsigned expected_four = 0;
        for (std::size_t i = from; i < to && i < one.end(); ++i) {
          const char c = text[i];
          const unsigned bit = 1U << (i - one.start());
          if (c == ';') expected_one |= bit;
          if (c == ';' || c == '=' || c == ',' || c == '}') {
            expected_four |= bit;
          }
        }
        ASSERT_EQ(one.Within(from, to), expected_one)
            << text << " " << from << " " << to;
        ASSERT_EQ(four.Within(from, to), expected_four)
            << text << " " << from << " " << to;
        if (to == text.size()) {
          ASSERT_EQ(four.From(from), expected_four) << text << " " << from;
        }
      }
    }
  }
}

TEST(Window16, LowestSetBit) {
  for (unsigned i = 0; i < 16; ++i) {
    EXPECT_EQ(Window16::LowestSetBit(1U << i), i);
    EXPECT_EQ(Window16::LowestSetBit(0xFFFFU << i), i);
  }
}

// --- The mark search --------------------------------------------------------

template <const std::string_view& Text>
void ExpectAgreesWithFind(const std::vector<std::string>& texts) {
  const OwnedMark<Text> owned;
  for (const std::string& text : texts) {
    const std::string_view view(text);
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      ASSERT_EQ(FindMark(view, from, owned.mark), view.find(Text, from))
          << "text " << text << " from " << from << " mark " << Text;
    }
  }
}

TEST(MarkSearch, ExamplesOfOverlap) {
  const OwnedMark<kHash> hash;
  EXPECT_EQ(FindMark("a--#--#--b", 0, hash.mark), 1u);
  EXPECT_EQ(FindMark("a--#--#--b", 2, hash.mark), 4u);
  EXPECT_EQ(FindMark("a--#--#--b", 5, hash.mark), kNotFound);
}

TEST(MarkSearch, StartAtOrPastTheEndFindsNothing) {
  const OwnedMark<kHash> hash;
  const OwnedMark<kEq> eq;
  EXPECT_EQ(FindMark("--#--", 5, hash.mark), kNotFound);
  EXPECT_EQ(FindMark("--#--", 6, hash.mark), kNotFound);
  EXPECT_EQ(FindMark("--#-", 0, hash.mark), kNotFound);
  EXPECT_EQ(FindMark("", 0, eq.mark), kNotFound);
}

TEST(MarkSearch, BytesAreComparedExactly) {
  const std::string with_nul("\0==\xff==", 6);
  const OwnedMark<kNulEq> nul;
  const OwnedMark<kFfEq> ff;
  EXPECT_EQ(FindMark(with_nul, 0, nul.mark), 0u);
  EXPECT_EQ(FindMark(with_nul, 1, ff.mark), 3u);
  EXPECT_EQ(FindMark(with_nul, 1, nul.mark), kNotFound);
}

// The bytes compared are the mark's own, not its compile-time text.
TEST(MarkSearch, ComparesTheBytesTheMarkPointsAt) {
  const std::string same_middle = "-x#x-";
  const Mark<kHash> mark{same_middle.data()};
  EXPECT_EQ(FindMark("--#---x#x-", 0, mark), 5u);
}

TEST(MarkSearch, AgreesWithStringFindOnEveryShortText) {
  const std::vector<std::string> texts = AllTexts("-#=,x", 7);
  ExpectAgreesWithFind<kHash>(texts);
  ExpectAgreesWithFind<kEq>(texts);
  ExpectAgreesWithFind<kComma>(texts);
  ExpectAgreesWithFind<kShort>(texts);
  ExpectAgreesWithFind<kOne>(texts);
}

// Texts longer than a window: hits in later windows, in the last window
// moved back to the text's end, and anchors there past the last hit.
TEST(MarkSearch, AgreesWithStringFindOnLongTexts) {
  const std::vector<std::string> texts = RandomTexts("-#=,;x", 3, 120);
  ExpectAgreesWithFind<kHash>(texts);
  ExpectAgreesWithFind<kEq>(texts);
  ExpectAgreesWithFind<kComma>(texts);
  ExpectAgreesWithFind<kSemi>(texts);
}

// --- The anchor walk --------------------------------------------------------

TEST(AnchorWalk, VisitsEveryMatchingByteOnceInOrder) {
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
            (ForEachOf<';', '=', ',', '}'>(text, from, to, [&](std::size_t i) {
              visited.push_back(i);
              return true;
            })));
        ASSERT_EQ(visited, expected) << text << " " << from << " " << to;
      }
    }
  }
}

TEST(AnchorWalk, StopsWhereTheVisitSays) {
  const std::string text(40, ',');
  for (std::size_t stop = 0; stop < text.size(); ++stop) {
    std::size_t last = kNotFound;
    std::size_t calls = 0;
    EXPECT_FALSE(ForEachOf<','>(text, 0, text.size(), [&](std::size_t i) {
      last = i;
      ++calls;
      return i != stop;
    }));
    EXPECT_EQ(last, stop);
    EXPECT_EQ(calls, stop + 1);
  }
}

// --- The far byte search ----------------------------------------------------

TEST(FarByte, AgreesWithStringFindFromEveryStart) {
  for (const std::string& text : RandomTexts("@-x", 1)) {
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      ASSERT_EQ(FindFarByte(text, from, '@'), text.find('@', from))
          << text << " " << from;
    }
  }
}

}  // namespace

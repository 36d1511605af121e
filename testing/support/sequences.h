// The one generator behind every exhaustive loop: every sequence of indices
// into an alphabet, from a shortest to a longest length.
//
// An exhaustive test picks an alphabet (marks, mark halves, bytes, field
// texts) and a length, and checks the library on every sequence: text
// tests concatenate the tokens (Concatenate), record tests put one token
// into each field of a record set.

#ifndef VANTREL_TESTING_SUPPORT_SEQUENCES_H_
#define VANTREL_TESTING_SUPPORT_SEQUENCES_H_

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel_test {

// Calls `visit(digits)` with every sequence of `min_length` to `max_length`
// indices into an alphabet of `alphabet_size` elements: shorter sequences
// first, and within one length the first index varies fastest. An empty
// alphabet has only the empty sequence.
template <typename Visit>
void ForEachSequence(std::size_t alphabet_size, std::size_t min_length,
                     std::size_t max_length, Visit&& visit) {
  for (std::size_t length = min_length; length <= max_length; ++length) {
    if (alphabet_size == 0 && length > 0) break;
    std::vector<std::size_t> digits(length, 0);
    for (;;) {
      visit(static_cast<const std::vector<std::size_t>&>(digits));
      std::size_t i = 0;
      while (i < length && ++digits[i] == alphabet_size) digits[i++] = 0;
      if (i == length) break;
    }
  }
}

// How many sequences ForEachSequence visits.
inline std::size_t SequenceCount(std::size_t alphabet_size,
                                 std::size_t min_length,
                                 std::size_t max_length) {
  std::size_t total = 0, power = 1;
  for (std::size_t length = 0; length <= max_length; ++length) {
    if (length >= min_length) total += power;
    power *= alphabet_size;
  }
  return total;
}

// The tokens that `digits` names, one after another. `tokens` is any
// indexable sequence of strings or characters.
template <typename Tokens>
std::string Concatenate(const Tokens& tokens,
                        const std::vector<std::size_t>& digits) {
  std::string text;
  for (std::size_t d : digits) text += tokens[d];
  return text;
}

}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_SEQUENCES_H_

// Definitions of the vocabulary constants.
//
// Dynamic initialisation of namespace-scope objects within one translation
// unit runs in order of definition, and each object's destructor is
// registered as soon as it is constructed; destruction runs in reverse. This
// is what gives the constants their order of creation and destruction, so
// they must all stay in this file, in list order.

#include "vocabulary.h"

namespace vantrel {
namespace vocabulary {

#define VANTREL_WORD(group, identifier, text) \
  const std::string group::identifier(text);
#include "vocabulary_list.inc"
#undef VANTREL_WORD

namespace {

#define VANTREL_WORD(group, identifier, text) +1
constexpr std::size_t kListed = 0
#include "vocabulary_list.inc"
    ;
#undef VANTREL_WORD
static_assert(kListed == kCount, "vocabulary_list.inc must hold kCount words");

}  // namespace

}  // namespace vocabulary
}  // namespace vantrel

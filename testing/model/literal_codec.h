// The literal model lives in the reference library now.
#include "reference/literal_codec.h"  // IWYU pragma: export

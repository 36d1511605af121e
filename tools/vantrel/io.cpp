#include "io.h"

#include <nlohmann/json.hpp>

namespace vantrel_cli {

std::string Quote(std::string_view bytes) {
  return nlohmann::json(std::string(bytes))
      .dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::string Excerpt(std::string_view bytes) {
  if (bytes.size() <= kExcerptBytes) return Quote(bytes);
  return Quote(bytes.substr(0, kExcerptBytes)) + "... (" +
         std::to_string(bytes.size()) + " bytes)";
}

std::string_view Around(std::string_view bytes, std::size_t at) {
  constexpr std::size_t kBefore = 16;
  const std::size_t from = at > kBefore ? at - kBefore : 0;
  return from < bytes.size() ? bytes.substr(from, kExcerptBytes)
                             : std::string_view();
}

}  // namespace vantrel_cli

// Compiled as C++11: what an old host does with the public header.

#include "vantrel/alert_definitions.h"

namespace {

// Aggregate initialisation, as C++11 hosts write it.
AlertDefinitions MakeDefinitions() {
  DefinitionParam param = {"k", {"v"}};
  AlertDefinition record = {"n", "d", {param}};
  AlertDefinitions defs = {{record}, 1};
  return defs;
}

// The four functions bind with exactly these types.
bool (*const kGetFunc)(const std::string&,
                       AlertDefinitions&) = GetFuncDefinition;
bool (*const kGetFilter)(const std::string&,
                         AlertDefinitions&) = GetFilterDefinition;
bool (*const kSetFunc)(std::string&, AlertDefinitions&) = SetFuncDefinition;
bool (*const kSetFilter)(std::string&, AlertDefinitions&) = SetFilterDefinition;

}  // namespace

bool VantrelHeaderCxx11Check() {
  AlertDefinitions defs = MakeDefinitions();
  std::string text;
  return kSetFunc(text, defs) && kSetFilter(text, defs) &&
         kGetFunc(text, defs) && kGetFilter(text, defs);
}

// The library's four exported functions. They are the only symbols the
// library exports; everything else is hidden.

#include "definition_text.h"
#include "vantrel/alert_definitions.h"

bool VANTREL_CALL GetFuncDefinition(const std::string& text,
                                    AlertDefinitions& target) {
  return vantrel::ParseDefinitionText(text, target);
}

bool VANTREL_CALL GetFilterDefinition(const std::string& text,
                                      AlertDefinitions& target) {
  return vantrel::ParseDefinitionText(text, target);
}

bool VANTREL_CALL SetFuncDefinition(std::string& text,
                                    AlertDefinitions& source) {
  return vantrel::WriteDefinitionText(text, source);
}

bool VANTREL_CALL SetFilterDefinition(std::string& text,
                                      AlertDefinitions& source) {
  return vantrel::WriteDefinitionText(text, source);
}

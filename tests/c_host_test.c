/* A host written in C99, built with -std=c99 -Wall -Wextra -pedantic
 * -Werror, against libvantrel_c and vantrel/vantrel.h only: the header
 * must be valid C, and a C host gets the worked example's records, its
 * text back, a rejection with its piece and offset, and the checks of
 * values that only C can pass (an enum value out of range). Exits 0 when
 * every check holds and prints each failed one. */

#include <stdio.h>
#include <string.h>

#include "vantrel/vantrel.h"

static int failures = 0;

#define CHECK(condition)                                        \
  do {                                                          \
    if (!(condition)) {                                         \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, \
              #condition);                                      \
      ++failures;                                               \
    }                                                           \
  } while (0)

static int Equals(vantrel_text text, const char* expected) {
  return text.size == strlen(expected) &&
         (text.size == 0 || memcmp(text.data, expected, text.size) == 0);
}

static const char kWorked[] =
    "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
    "--#--Beta--#----{--y--}----{--k2==b1--}--";

static void WorkedExample(void) {
  vantrel_definitions* defs = NULL;
  vantrel_rejection rejection = {0, 0};
  vantrel_text name, detail, key, value;
  size_t params = 0, values = 0, size = 0;
  char buffer[sizeof kWorked];
  char small[8];

  CHECK(vantrel_new(0, &defs) == VANTREL_OK && defs != NULL);
  CHECK(vantrel_parse(defs, VANTREL_FUNC, kWorked, sizeof kWorked - 1,
                      &rejection) == VANTREL_OK);
  CHECK(vantrel_condition_count(defs) == 2);
  CHECK(vantrel_combination(defs) == 1);
  CHECK(vantrel_condition(defs, 0, &name, &detail, &params) == VANTREL_OK);
  CHECK(Equals(name, "Alpha") && Equals(detail, "x") && params == 1);
  CHECK(vantrel_param(defs, 0, 0, &key, &values) == VANTREL_OK);
  CHECK(Equals(key, "k1") && values == 2);
  CHECK(vantrel_value(defs, 0, 0, 0, &value) == VANTREL_OK &&
        Equals(value, "a1"));
  CHECK(vantrel_value(defs, 0, 0, 1, &value) == VANTREL_OK &&
        Equals(value, "a2"));
  CHECK(vantrel_condition(defs, 1, &name, &detail, &params) == VANTREL_OK);
  CHECK(Equals(name, "Beta") && Equals(detail, "y") && params == 1);
  CHECK(vantrel_value(defs, 1, 0, 0, &value) == VANTREL_OK &&
        Equals(value, "b1"));
  CHECK(vantrel_value(defs, 1, 0, 1, &value) == VANTREL_OUT_OF_RANGE);

  CHECK(vantrel_write(defs, VANTREL_FUNC, small, sizeof small, &size) ==
        VANTREL_BUFFER_TOO_SMALL);
  CHECK(size == sizeof kWorked - 1);
  CHECK(vantrel_write(defs, VANTREL_FUNC, buffer, sizeof buffer, &size) ==
        VANTREL_OK);
  CHECK(size == sizeof kWorked - 1 && strcmp(buffer, kWorked) == 0);
  vantrel_free(defs);
}

static void RejectedText(void) {
  static const char kBad[] =
      "--#--a--#----{----}----}-- @@OR@@ --#--b--#----{----}----{--k--}--";
  vantrel_definitions* defs = NULL;
  vantrel_rejection rejection = {0, 0};
  vantrel_text name;
  int survives = -1;

  CHECK(vantrel_new(7, &defs) == VANTREL_OK);
  CHECK(vantrel_parse(defs, VANTREL_FILTER, kBad, sizeof kBad - 1,
                      &rejection) == VANTREL_REJECTED);
  CHECK(rejection.piece == 2 && rejection.offset == 33);
  CHECK(vantrel_condition_count(defs) == 1);
  CHECK(vantrel_combination(defs) == 0);
  CHECK(vantrel_condition(defs, 0, &name, NULL, NULL) == VANTREL_OK &&
        Equals(name, "a"));
  CHECK(vantrel_text_survives(VANTREL_FUNC, kBad, sizeof kBad - 1,
                              &survives) == VANTREL_OK &&
        survives == 0);
  CHECK(strcmp(vantrel_status_name(VANTREL_REJECTED), "rejected") == 0);
  vantrel_free(defs);
}

/* Values of the enums that a C host can pass but the library does not
 * know: rejected as invalid arguments, not read as some kind. */
static void UnknownValues(void) {
  vantrel_definitions* defs = NULL;
  size_t size = 0;
  char* text = NULL;
  int survives = 0;
  CHECK(vantrel_new(0, &defs) == VANTREL_OK);
  CHECK(vantrel_parse(defs, (vantrel_kind)2, "", 0, NULL) ==
        VANTREL_INVALID_ARGUMENT);
  CHECK(vantrel_write(defs, (vantrel_kind)-1, NULL, 0, &size) ==
        VANTREL_INVALID_ARGUMENT);
  CHECK(vantrel_write_alloc(defs, (vantrel_kind)5, &text, &size) ==
            VANTREL_INVALID_ARGUMENT &&
        text == NULL);
  CHECK(vantrel_text_survives((vantrel_kind)9, "", 0, &survives) ==
        VANTREL_INVALID_ARGUMENT);
  CHECK(vantrel_records_survive(defs, (vantrel_kind)3, &survives) ==
        VANTREL_INVALID_ARGUMENT);
  CHECK(strcmp(vantrel_status_name((vantrel_status)42), "unknown") == 0);
  vantrel_free(defs);
}

int main(void) {
  CHECK(vantrel_abi_version() == VANTREL_C_ABI_VERSION);
  CHECK(strcmp(vantrel_version(), "1.0.0") == 0);
  WorkedExample();
  RejectedText();
  UnknownValues();
  if (failures == 0) printf("C host: all checks passed\n");
  return failures == 0 ? 0 : 1;
}

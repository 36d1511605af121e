/* A Windows host of VantrelC.dll written in C, built in several runtime
 * configurations that all link the same release VantrelC.dll: the worked
 * example read, every field checked, written back and compared; a rejected
 * text with its piece, offset and the records before it; and the verdicts.
 *
 * Built with VANTREL_HOST_NO_CRT it uses no C runtime at all (kernel32
 * only, its own entry point), standing in for a /MT host: a program whose
 * runtime and heap are its own, which shares nothing with the DLL's. The
 * others print with printf. Exits 0 when every check passed. */

#include <stddef.h>

#include "vantrel/vantrel.h"

#ifdef VANTREL_HOST_NO_CRT
#include <windows.h>

static void Say(const char* text) {
  DWORD written = 0;
  DWORD size = 0;
  while (text[size] != '\0') ++size;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, size, &written, NULL);
}
#else
#include <stdio.h>

static void Say(const char* text) { printf("%s", text); }
#endif

static int failures = 0;

static size_t Length(const char* text) {
  size_t size = 0;
  while (text[size] != '\0') ++size;
  return size;
}

static int SameBytes(const char* a, size_t a_size, const char* b,
                     size_t b_size) {
  size_t i;
  if (a_size != b_size) return 0;
  for (i = 0; i < a_size; ++i) {
    if (a[i] != b[i]) return 0;
  }
  return 1;
}

static void Expect(int ok, const char* what) {
  if (!ok) {
    ++failures;
    Say("FAILED: ");
    Say(what);
    Say("\n");
  }
}

static void ExpectText(vantrel_text got, const char* expected,
                       const char* what) {
  Expect(SameBytes(got.data, got.size, expected, Length(expected)), what);
}

#define ALPHA "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}--"
#define BETA "--#--Beta--#----{--y--}----{--k2==b1--}--"
/* Delta's parameter item "k4" has no "==": the reader rejects it. */
#define DELTA "--#--Delta--#----{--w--}----{--k4--}--"

static const char kWorkedExample[] = ALPHA " @@AND@@ " BETA;
static const char kRejected[] = ALPHA " @@AND@@ " DELTA;

static void CheckAlpha(const vantrel_definitions* defs) {
  vantrel_text name, detail, key, value;
  size_t params = 0, values = 0;
  Expect(vantrel_condition(defs, 0, &name, &detail, &params) == VANTREL_OK,
         "condition 0");
  ExpectText(name, "Alpha", "condition 0 is named Alpha");
  ExpectText(detail, "x", "Alpha's detail is x");
  Expect(params == 1, "Alpha has one parameter");
  Expect(vantrel_param(defs, 0, 0, &key, &values) == VANTREL_OK,
         "Alpha's param");
  ExpectText(key, "k1", "Alpha's key is k1");
  Expect(values == 2, "k1 has two values");
  Expect(vantrel_value(defs, 0, 0, 0, &value) == VANTREL_OK, "k1's value 0");
  ExpectText(value, "a1", "k1's value 0 is a1");
  Expect(vantrel_value(defs, 0, 0, 1, &value) == VANTREL_OK, "k1's value 1");
  ExpectText(value, "a2", "k1's value 1 is a2");
  Expect(vantrel_value(defs, 0, 0, 2, &value) == VANTREL_OUT_OF_RANGE,
         "k1 has no value 2");
}

static void WorkedExample(void) {
  vantrel_definitions* defs = NULL;
  vantrel_text name, detail, key, value;
  size_t params = 0, values = 0, size = 0;
  char buffer[256];
  int survives = 0;

  Expect(vantrel_new(0, &defs) == VANTREL_OK && defs != NULL, "vantrel_new");
  if (defs == NULL) return;
  Expect(vantrel_parse(defs, VANTREL_FUNC, kWorkedExample,
                       Length(kWorkedExample), NULL) == VANTREL_OK,
         "the worked example is accepted");
  Expect(vantrel_condition_count(defs) == 2, "two conditions");
  Expect(vantrel_combination(defs) == 1, "joined by @@AND@@");
  CheckAlpha(defs);
  Expect(vantrel_condition(defs, 1, &name, &detail, &params) == VANTREL_OK,
         "condition 1");
  ExpectText(name, "Beta", "condition 1 is named Beta");
  ExpectText(detail, "y", "Beta's detail is y");
  Expect(params == 1, "Beta has one parameter");
  Expect(vantrel_param(defs, 1, 0, &key, &values) == VANTREL_OK,
         "Beta's param");
  ExpectText(key, "k2", "Beta's key is k2");
  Expect(values == 1, "k2 has one value");
  Expect(vantrel_value(defs, 1, 0, 0, &value) == VANTREL_OK, "k2's value");
  ExpectText(value, "b1", "k2's value is b1");

  /* Too small a buffer says how much is needed; then the text itself. */
  Expect(vantrel_write(defs, VANTREL_FUNC, buffer, 4, &size) ==
             VANTREL_BUFFER_TOO_SMALL,
         "a buffer of 4 bytes is too small");
  Expect(size == Length(kWorkedExample), "the size needed is the text's");
  Expect(vantrel_write(defs, VANTREL_FUNC, buffer, sizeof buffer, &size) ==
             VANTREL_OK,
         "written");
  Expect(SameBytes(buffer, size, kWorkedExample, Length(kWorkedExample)),
         "written back as read");
  vantrel_free(defs);

  Expect(
      vantrel_text_survives(VANTREL_FILTER, kWorkedExample,
                            Length(kWorkedExample), &survives) == VANTREL_OK &&
          survives == 1,
      "the worked example survives");
}

static void Rejected(void) {
  vantrel_definitions* defs = NULL;
  vantrel_rejection rejection = {0, 0};
  int survives = 1;

  Expect(vantrel_new(0, &defs) == VANTREL_OK && defs != NULL, "vantrel_new");
  if (defs == NULL) return;
  Expect(vantrel_parse(defs, VANTREL_FUNC, kRejected, Length(kRejected),
                       &rejection) == VANTREL_REJECTED,
         "Delta is rejected");
  Expect(rejection.piece == 2, "the second piece is rejected");
  /* Delta's piece starts just after the joiner (its blank is the piece's). */
  Expect(rejection.offset == Length(ALPHA " @@AND@@"), "at Delta's offset");
  Expect(vantrel_condition_count(defs) == 1, "Alpha is kept");
  CheckAlpha(defs);
  vantrel_free(defs);
  Expect(vantrel_text_survives(VANTREL_FUNC, kRejected, Length(kRejected),
                               &survives) == VANTREL_OK &&
             survives == 0,
         "a rejected text does not survive");
  Expect(vantrel_parse(NULL, VANTREL_FUNC, kRejected, 1, NULL) ==
             VANTREL_INVALID_ARGUMENT,
         "a null handle is an invalid argument");
}

#ifdef VANTREL_HOST_NO_CRT
int mainCRTStartup(void);
int mainCRTStartup(void) {
  WorkedExample();
  Rejected();
  Say(failures == 0 ? "c host (no C runtime): all checks passed\n"
                    : "c host (no C runtime): failed\n");
  ExitProcess(failures == 0 ? 0 : 1);
  return 1;
}
#else
int main(void) {
  WorkedExample();
  Rejected();
  printf("c host: %s, VantrelC %s: %s\n",
#if defined(_MSC_VER) && defined(_DEBUG)
         "debug runtime",
#elif defined(_MSC_VER)
         "release runtime",
#else
         "MinGW",
#endif
         vantrel_version(), failures == 0 ? "all checks passed" : "failed");
  return failures == 0 ? 0 : 1;
}
#endif

/* Example C host: parses the definition text in FILE through the C
 * interface, prints its records, writes them back and says whether the
 * text came back unchanged. docs/c-api.md walks through it.
 *
 *   vantrel_c_example examples/average_response_time.txt
 */

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vantrel/vantrel.h>

/* The whole file, without a trailing line break; NULL on failure. */
static char* ReadFile(const char* path, size_t* size) {
  FILE* in = fopen(path, "rb");
  char* text = NULL;
  long length;
  if (in == NULL) return NULL;
  if (fseek(in, 0, SEEK_END) == 0 && (length = ftell(in)) >= 0 &&
      fseek(in, 0, SEEK_SET) == 0) {
    text = (char*)malloc((size_t)length + 1);
    if (text != NULL && fread(text, 1, (size_t)length, in) != (size_t)length) {
      free(text);
      text = NULL;
    }
    *size = (size_t)length;
  }
  fclose(in);
  while (text != NULL && *size > 0 &&
         (text[*size - 1] == '\n' || text[*size - 1] == '\r')) {
    --*size;
  }
  return text;
}

static const char* Joiner(uint32_t combination) {
  return combination == 0 ? "@@OR@@" : combination == 1 ? "@@AND@@" : "(none)";
}

/* Prints the records of `defs`, reading each field by its number. */
static void PrintRecords(const vantrel_definitions* defs) {
  size_t c, p, v, params, values;
  vantrel_text name, detail, key, value;
  for (c = 0; c < vantrel_condition_count(defs); ++c) {
    vantrel_condition(defs, c, &name, &detail, &params);
    printf("condition %u: name \"%.*s\", detail \"%.*s\"\n", (unsigned)(c + 1),
           (int)name.size, name.data, (int)detail.size, detail.data);
    for (p = 0; p < params; ++p) {
      vantrel_param(defs, c, p, &key, &values);
      printf("  %.*s =", (int)key.size, key.data);
      for (v = 0; v < values; ++v) {
        vantrel_value(defs, c, p, v, &value);
        printf(" \"%.*s\"", (int)value.size, value.data);
      }
      printf("\n");
    }
  }
}

int main(int argc, char** argv) {
  vantrel_definitions* defs = NULL;
  vantrel_rejection rejection;
  vantrel_status status;
  char* text;
  char* back = NULL;
  size_t size = 0, back_size = 0;
  int identical;

  if (argc != 2) {
    fprintf(stderr, "usage: vantrel_c_example FILE\n");
    return 2;
  }
  text = ReadFile(argv[1], &size);
  if (text == NULL) {
    fprintf(stderr, "vantrel_c_example: cannot read %s\n", argv[1]);
    return 2;
  }

  /* combination 2 stays 2 when the text holds no joiner */
  if (vantrel_new(2, &defs) != VANTREL_OK) {
    free(text);
    return 2;
  }
  status = vantrel_parse(defs, VANTREL_FUNC, text, size, &rejection);
  if (status == VANTREL_REJECTED) {
    printf("parse: rejected at piece %u, byte %u\n", (unsigned)rejection.piece,
           (unsigned)rejection.offset);
  } else {
    printf("parse: %s\n", vantrel_status_name(status));
  }
  printf("joiner: %s\n", Joiner(vantrel_combination(defs)));
  PrintRecords(defs);

  identical = 0;
  if (status == VANTREL_OK &&
      vantrel_write_alloc(defs, VANTREL_FUNC, &back, &back_size) ==
          VANTREL_OK) {
    identical = back_size == size && memcmp(back, text, size) == 0;
    printf("round trip: %s\n", identical ? "identical" : "changed");
  }
  vantrel_free_text(back);
  vantrel_free(defs);
  free(text);
  return identical ? 0 : 1;
}

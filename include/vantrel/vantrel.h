/* Vantrel's C interface: alert definition texts read into records and
 * written back, for every host that cannot share Vantrel.dll's C++ types.
 *
 * libvantrel_c (libvantrel_c.so.1, VantrelC.dll) holds its own copy of the
 * codec. Only C types cross its boundary: pointers, sizes, integers and the
 * opaque handle below, so a host built with any compiler, standard library,
 * runtime or language can use it. It does what the C++ library's four
 * functions do (alert_definitions.h explains the text format); read that
 * header for what a parse keeps and how a record is written.
 *
 * Example: read a rule, look at it, write it back.
 *
 *   static const char kRule[] =
 *       "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
 *       "--#--Beta--#----{--y--}----{--k2==b1--}--";
 *   vantrel_definitions* defs = NULL;
 *   if (vantrel_new(0, &defs) != VANTREL_OK) return;   // out of memory
 *   vantrel_rejection rejection;
 *   vantrel_status status = vantrel_parse(defs, VANTREL_FUNC, kRule,
 *                                         sizeof kRule - 1, &rejection);
 *   // status == VANTREL_OK, vantrel_combination(defs) == 1,
 *   // vantrel_condition_count(defs) == 2
 *   vantrel_text name, detail;
 *   size_t params;
 *   vantrel_condition(defs, 0, &name, &detail, &params);
 *   // name = {"Alpha", 5}, detail = {"x", 1}, params == 1
 *   vantrel_text key, value;
 *   size_t values;
 *   vantrel_param(defs, 0, 0, &key, &values);   // key "k1", values == 2
 *   vantrel_value(defs, 0, 0, 1, &value);       // value "a2"
 *
 *   char buffer[256];
 *   size_t size;
 *   status = vantrel_write(defs, VANTREL_FUNC, buffer, sizeof buffer, &size);
 *   // status == VANTREL_OK, the size bytes at buffer are kRule again
 *   vantrel_free(defs);
 *
 * A rejected text (the second piece's param item "k" has no "=="):
 *
 *   static const char kBad[] =
 *       "--#--a--#----{----}----}-- @@OR@@ --#--b--#----{----}----{--k--}--";
 *   status = vantrel_parse(defs, VANTREL_FUNC, kBad, sizeof kBad - 1,
 *                          &rejection);
 *   // status == VANTREL_REJECTED; the condition of piece 1 was appended,
 *   // rejection.piece == 2, rejection.offset == 33 (just after "@@OR@@")
 *
 * Building records and writing them:
 *
 *   vantrel_new(1, &defs);                        // combination 1: @@AND@@
 *   vantrel_add_condition(defs, "n", 1, "d", 1);
 *   vantrel_add_param(defs, "k", 1);              // to the last condition
 *   vantrel_add_value(defs, "v", 1);              // to its last param
 *   char* text;
 *   vantrel_write_alloc(defs, VANTREL_FUNC, &text, &size);
 *   // text "--#--n--#----{--d--}----{--k==v--}--", NUL-terminated
 *   vantrel_free_text(text);
 *   vantrel_free(defs);
 *
 * Errors are status codes; no function lets an exception or a signal out.
 * Text is bytes: every byte value is ordinary, NUL included, and every text
 * goes in and out as a pointer and a length. A pointer may be NULL when its
 * length is 0.
 *
 * Memory: the library allocates the handle, its records and the text of
 * vantrel_write_alloc; the host frees them only with vantrel_free and
 * vantrel_free_text. When an allocation fails, the call returns
 * VANTREL_OUT_OF_MEMORY, has released what it allocated and left the
 * handle as it was.
 *
 * Threads: calls may run concurrently on different threads as long as no
 * handle that one call changes (parse, set_combination, add_*, free) is used
 * by another call at the same time; calls that only read a handle may share
 * it. The library keeps no state between calls.
 *
 * ABI: VANTREL_C_ABI_VERSION is the version of this interface the header
 * describes, vantrel_abi_version() that of the library loaded; a host may
 * refuse a library whose version differs. Functions are only ever added
 * within one ABI version. On Windows every function is __cdecl
 * (VANTREL_C_CALL), whatever the host's default convention.
 */

#ifndef VANTREL_VANTREL_H_
#define VANTREL_VANTREL_H_

#include <stddef.h>
#include <stdint.h>

/* VANTREL_C_API marks the exported functions. The library's build defines
 * VANTREL_C_BUILDING; a host that links the library's objects statically
 * defines VANTREL_C_STATIC. */
#if defined(VANTREL_C_STATIC)
#define VANTREL_C_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(VANTREL_C_BUILDING)
#define VANTREL_C_API __declspec(dllexport)
#else
#define VANTREL_C_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define VANTREL_C_API __attribute__((visibility("default")))
#else
#define VANTREL_C_API
#endif

#if defined(_WIN32)
#define VANTREL_C_CALL __cdecl
#else
#define VANTREL_C_CALL
#endif

/* Bumped on any incompatible change of this interface. */
#define VANTREL_C_ABI_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

typedef enum vantrel_status {
  VANTREL_OK = 0,
  /* vantrel_parse: a piece was rejected; the records before it are kept. */
  VANTREL_REJECTED = 1,
  /* An allocation failed: nothing leaked, the handle is unchanged. */
  VANTREL_OUT_OF_MEMORY = 2,
  /* A null pointer with a non-zero size, a null handle or out pointer that
   * is needed, an unknown kind, vantrel_add_param with no condition or
   * vantrel_add_value with no param. */
  VANTREL_INVALID_ARGUMENT = 3,
  /* vantrel_write: *size says how many bytes are needed. */
  VANTREL_BUFFER_TOO_SMALL = 4,
  /* An index past the end. */
  VANTREL_OUT_OF_RANGE = 5
} vantrel_status;

/* The two kinds of definition. They are read and written alike; the kind
 * keeps them apart as GetFuncDefinition and GetFilterDefinition do. */
typedef enum vantrel_kind { VANTREL_FUNC = 0, VANTREL_FILTER = 1 } vantrel_kind;

/* One whole definition (the C++ library's AlertDefinitions): a list of
 * conditions, each with a name, a detail and params, each param a key with
 * values; and the combination (0 "@@OR@@", 1 "@@AND@@", any other value no
 * joiner word). Opaque; created by vantrel_new, freed by vantrel_free. */
typedef struct vantrel_definitions vantrel_definitions;

/* A view of bytes inside a handle: `size` bytes at `data`, any byte value
 * allowed, not NUL-terminated. Valid until the handle is freed or changed.
 * An empty field may have a data pointer to no bytes. */
typedef struct vantrel_text {
  const char* data;
  size_t size;
} vantrel_text;

/* Where a parse stopped: the rejected piece's number, counted from 1, and
 * the byte offset in the text where that piece starts (0 for the first,
 * else just after the joiner before it). */
typedef struct vantrel_rejection {
  size_t piece;
  size_t offset;
} vantrel_rejection;

/* The library's version, "1.0.0", a static string. */
VANTREL_C_API const char* VANTREL_C_CALL vantrel_version(void);
/* VANTREL_C_ABI_VERSION of the library loaded. */
VANTREL_C_API unsigned VANTREL_C_CALL vantrel_abi_version(void);
/* "ok", "rejected", "out of memory", "invalid argument", "buffer too
 * small", "out of range"; "unknown" for any other value. Static strings. */
VANTREL_C_API const char* VANTREL_C_CALL
vantrel_status_name(vantrel_status status);

/* A new, empty handle with the given combination in *out. On failure *out
 * is set to NULL. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_new(uint32_t combination, vantrel_definitions** out);
/* Frees a handle and all its records. NULL is fine. */
VANTREL_C_API void VANTREL_C_CALL vantrel_free(vantrel_definitions* defs);

/* Reads the definition text `size` bytes at `text` as GetFuncDefinition
 * does: appends one condition per piece after those already in `defs`
 * (nothing is removed) and sets the combination to 0 or 1 when the text
 * holds a joiner. Every text is accepted except one whose condition has a
 * param item without its own "==": then VANTREL_REJECTED, the conditions
 * of the pieces before it kept, those after it not read, and *rejection
 * (when not NULL) filled. To get all or nothing, parse into a new handle.
 * On VANTREL_OUT_OF_MEMORY `defs` is unchanged. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_parse(vantrel_definitions* defs, vantrel_kind kind, const char* text,
              size_t size, vantrel_rejection* rejection);

/* Read access, each O(1). Any out pointer may be NULL when not wanted. */
/* The number of conditions; 0 for NULL. */
VANTREL_C_API size_t VANTREL_C_CALL
vantrel_condition_count(const vantrel_definitions* defs);
/* The combination; 0 for NULL. */
VANTREL_C_API uint32_t VANTREL_C_CALL
vantrel_combination(const vantrel_definitions* defs);
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_set_combination(vantrel_definitions* defs, uint32_t combination);
/* Condition number `condition` (from 0): its name, detail and number of
 * params. */
VANTREL_C_API vantrel_status VANTREL_C_CALL vantrel_condition(
    const vantrel_definitions* defs, size_t condition, vantrel_text* name,
    vantrel_text* detail, size_t* param_count);
/* Its param number `param`: the key and the number of values. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_param(const vantrel_definitions* defs, size_t condition, size_t param,
              vantrel_text* key, size_t* value_count);
/* That param's value number `value`. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_value(const vantrel_definitions* defs, size_t condition, size_t param,
              size_t value, vantrel_text* out);

/* Building: each appends at the end, of the conditions, of the last
 * condition's params, of the last param's values. The bytes are copied. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_add_condition(vantrel_definitions* defs, const char* name,
                      size_t name_size, const char* detail, size_t detail_size);
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_add_param(vantrel_definitions* defs, const char* key, size_t key_size);
VANTREL_C_API vantrel_status VANTREL_C_CALL vantrel_add_value(
    vantrel_definitions* defs, const char* value, size_t value_size);

/* Writes the definition text of `defs` as SetFuncDefinition does, into the
 * caller's `capacity` bytes at `buffer`. On VANTREL_OK *size is the number
 * of bytes written, and a NUL follows them (not counted) when capacity >
 * *size. On VANTREL_BUFFER_TOO_SMALL *size is the number of bytes needed
 * and the buffer is untouched; call again with at least that many. Writing
 * into the caller's buffer allocates nothing. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_write(const vantrel_definitions* defs, vantrel_kind kind, char* buffer,
              size_t capacity, size_t* size);
/* The same into a buffer the library allocates: *text holds *size bytes and
 * a NUL after them; free it with vantrel_free_text. On failure *text is
 * NULL. */
VANTREL_C_API vantrel_status VANTREL_C_CALL
vantrel_write_alloc(const vantrel_definitions* defs, vantrel_kind kind,
                    char** text, size_t* size);
/* Frees a text of vantrel_write_alloc. NULL is fine. */
VANTREL_C_API void VANTREL_C_CALL vantrel_free_text(char* text);

/* Verdicts, by the library's own round trip.
 * *survives = 1 when the text is accepted and writing what it reads (into a
 * new handle) gives the very same bytes; 0 otherwise. */
VANTREL_C_API vantrel_status VANTREL_C_CALL vantrel_text_survives(
    vantrel_kind kind, const char* text, size_t size, int* survives);
/* *survives = 1 when the text written from `defs`, read into a new handle
 * with the same combination, is accepted and gives the same records and the
 * same combination; 0 otherwise (a field holding a mark or a joiner, a
 * param without values...). */
VANTREL_C_API vantrel_status VANTREL_C_CALL vantrel_records_survive(
    const vantrel_definitions* defs, vantrel_kind kind, int* survives);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif /* VANTREL_VANTREL_H_ */

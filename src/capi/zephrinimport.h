/* zephrinimport.h: the C interface of the zephrinimport import engine.
 *
 * A host creates a service object, sets its settings and calls its methods,
 * either by name with JSON parameters (the same answers, messages and
 * outcomes as `zephrinimport call` gives for one request) or through the
 * typed read functions below.
 *
 * Texts are UTF-8 and NUL-terminated. Every text the library returns
 * belongs to the caller and is released with zephrinimport_free; a NULL
 * pointer is returned only when nothing could be allocated.
 *
 * Threads: a service object is used by one thread at a time (the library
 * serialises calls on one object, but its settings and template store are
 * shared by every call on it). Separate service objects are independent and
 * may be used in parallel threads.
 *
 * No function lets an exception out: a failure inside the engine is
 * answered with ZEPHRINIMPORT_INTERNAL_ERROR (-32603), the code the host
 * protocol uses for it, and the object stays usable.
 */
#ifndef ZEPHRINIMPORT_H
#define ZEPHRINIMPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define ZEPHRINIMPORT_EXPORT __attribute__((visibility("default")))
#else
#define ZEPHRINIMPORT_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define ZEPHRINIMPORT_VERSION_MAJOR 1
#define ZEPHRINIMPORT_VERSION_MINOR 0

/* Results of zephrinimport_call and the read functions: 0, or a JSON-RPC
 * error code of the host protocol. */
enum {
  ZEPHRINIMPORT_OK = 0,
  ZEPHRINIMPORT_PARSE_ERROR = -32700,      /* the parameters are not JSON */
  ZEPHRINIMPORT_INVALID_REQUEST = -32600,  /* a missing service object or argument */
  ZEPHRINIMPORT_METHOD_NOT_FOUND = -32601, /* no method of that name */
  ZEPHRINIMPORT_INVALID_PARAMS = -32602,   /* wrong count or type of parameters */
  ZEPHRINIMPORT_INTERNAL_ERROR = -32603    /* a failure inside the engine */
};

/* What a read's text is. */
typedef enum zephrinimport_outcome {
  ZEPHRINIMPORT_DOCUMENT = 0,       /* the records: a result document */
  ZEPHRINIMPORT_ERROR = 1,          /* an error document with a message */
  ZEPHRINIMPORT_EMPTY = 2,          /* an empty text */
  ZEPHRINIMPORT_UNKNOWN_FORMAT = 3  /* the text for a file name of no known format (not XML) */
} zephrinimport_outcome;

typedef struct zephrinimport_service zephrinimport_service;

/* A new service object (message boxes are recorded, file dialogs answered
 * from a call's "answers"); NULL when it could not be made. */
ZEPHRINIMPORT_EXPORT zephrinimport_service* zephrinimport_create(void);
/* Destroys a service object; NULL is allowed. */
ZEPHRINIMPORT_EXPORT void zephrinimport_destroy(zephrinimport_service* service);
/* Releases a text returned by this library; NULL is allowed. */
ZEPHRINIMPORT_EXPORT void zephrinimport_free(char* text);
/* "1.0". Static: not to be freed. */
ZEPHRINIMPORT_EXPORT const char* zephrinimport_version(void);

/* Calls a method by name. `params_json` is what a request's "params" holds:
 * the array of inputs in order, or {"args":[...],"answers":[...]} with the
 * user's replies to the file dialogs the call opens (a path, or null for
 * cancel); NULL means no parameters. On ZEPHRINIMPORT_OK, *result_json
 * receives the request's "result" object, as `zephrinimport call` prints it:
 *   {"value":V,"status":S,"messages":[{"caption":..,"text":..,"icon":..}],"outcome":O}
 * ("outcome" on reads only). Otherwise the code is returned and *result_json
 * receives the "error" object: {"code":C,"message":"..."}. */
ZEPHRINIMPORT_EXPORT int zephrinimport_call(zephrinimport_service* service, const char* method,
                                            const char* params_json, char** result_json);

/* ReadImportFile: imports `import_file` through the template. On
 * ZEPHRINIMPORT_OK, *xml receives the read's text and *outcome what it is.
 * `more_info` may be NULL (no extra text). */
ZEPHRINIMPORT_EXPORT int zephrinimport_read_import_file(zephrinimport_service* service, const char* import_file,
                                                        const char* template_name, const char* import_type,
                                                        const char* id, const char* more_info, char** xml,
                                                        zephrinimport_outcome* outcome);
/* ReadIntlImportFile: an international import of kind `intl_type` (0 to 99)
 * for the year `intl_param`. */
ZEPHRINIMPORT_EXPORT int zephrinimport_read_intl_import_file(zephrinimport_service* service, const char* import_file,
                                                             const char* template_name, const char* import_type,
                                                             const char* id, short intl_param, short intl_type,
                                                             char** xml, zephrinimport_outcome* outcome);
/* The message boxes the last typed read showed, as the JSON array a call's
 * "messages" holds. */
ZEPHRINIMPORT_EXPORT int zephrinimport_read_messages(zephrinimport_service* service, char** messages_json);

#ifdef __cplusplus
}
#endif

#endif /* ZEPHRINIMPORT_H */

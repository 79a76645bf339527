/* zephrinimport.h: the C interface of the zephrinimport import engine, the
 * one stable binary interface of libzephrinimport.
 *
 * A host creates a service object, gives it its settings, and calls its
 * methods: by name with JSON parameters (zephrinimport_call: the answers,
 * messages and outcomes `zephrinimport call` gives for one request), by name
 * with typed arguments (zephrinimport_invoke), or through the typed read
 * functions, which return the whole text or hand it to the host in pieces.
 *
 * Results. Every function that can fail returns an int: ZEPHRINIMPORT_OK (0)
 * or one of the codes below; zephrinimport_strerror tells what a code means.
 * No function lets an exception out, and a failure inside the engine leaves
 * the service object usable.
 *
 * Texts are UTF-8 and NUL-terminated. What a function returns through a
 * char** belongs to the caller and is released with zephrinimport_free; a
 * zephrinimport_reply is released with zephrinimport_reply_free. Texts passed
 * to a callback belong to the library and last until the callback returns.
 *
 * Threads. The library serialises the calls on one service object: a call
 * made while another thread's call runs on the same object waits for it. The
 * object's settings, template store and messages are shared by every call on
 * it, so a host that uses one object from several threads must order its own
 * calls (zephrinimport_read_messages tells the messages of the last typed
 * read, whichever thread made it). Separate service objects are independent
 * and run in parallel. A callback runs on the thread of the call that invoked
 * it, and must not call functions on the same service object (such a call
 * returns ZEPHRINIMPORT_BUSY).
 *
 * Versions. Hosts built against 1.x link and run with every later 1.y
 * (symbols are versioned; nothing is removed or changed within a major
 * version). */
#ifndef ZEPHRINIMPORT_H
#define ZEPHRINIMPORT_H

#include <stddef.h>

#include "zephrinimport_version.h"

#if defined(__GNUC__) || defined(__clang__)
#define ZEPHRINIMPORT_EXPORT __attribute__((visibility("default")))
#else
#define ZEPHRINIMPORT_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ---------------------------------------------------------
 * The JSON-RPC codes are those the host protocol answers with; the others are
 * this library's own. */
enum {
  ZEPHRINIMPORT_OK = 0,
  ZEPHRINIMPORT_PARSE_ERROR = -32700,      /* the parameters are not JSON */
  ZEPHRINIMPORT_INVALID_REQUEST = -32600,  /* a missing service object or argument */
  ZEPHRINIMPORT_METHOD_NOT_FOUND = -32601, /* no method of that name */
  ZEPHRINIMPORT_INVALID_PARAMS = -32602,   /* wrong count or type of parameters or answers */
  ZEPHRINIMPORT_INTERNAL_ERROR = -32603,   /* a failure inside the engine */
  ZEPHRINIMPORT_BUSY = -32001,             /* the object is in a call already (a callback called it again) */
  ZEPHRINIMPORT_WRITE_STOPPED = -32010,    /* the host's write callback stopped a streamed read */
  ZEPHRINIMPORT_NO_MEMORY = -32011,        /* the result could not be allocated */
  ZEPHRINIMPORT_BAD_FOLDER = -32012        /* the folder cannot be made or written */
};

/* What a read's text is. */
typedef enum zephrinimport_outcome {
  ZEPHRINIMPORT_DOCUMENT = 0,       /* the records: a result document */
  ZEPHRINIMPORT_ERROR = 1,          /* an error document with a message */
  ZEPHRINIMPORT_EMPTY = 2,          /* an empty text */
  ZEPHRINIMPORT_UNKNOWN_FORMAT = 3  /* the text for a file name of no known format (not XML) */
} zephrinimport_outcome;

/* The icon of a message box. */
typedef enum zephrinimport_icon {
  ZEPHRINIMPORT_ICON_NONE = 0,
  ZEPHRINIMPORT_ICON_ERROR = 1,
  ZEPHRINIMPORT_ICON_WARNING = 2,
  ZEPHRINIMPORT_ICON_INFORMATION = 3
} zephrinimport_icon;

typedef struct zephrinimport_service zephrinimport_service;

/* ---- The library ------------------------------------------------------------ */

/* The library's version, "MAJOR.MINOR.PATCH". Static: not to be freed. */
ZEPHRINIMPORT_EXPORT const char* zephrinimport_version(void);
/* The library's version as MAJOR * 10000 + MINOR * 100 + PATCH (10000 for
 * 1.0.0); compare it with ZEPHRINIMPORT_VERSION_NUMBER. */
ZEPHRINIMPORT_EXPORT int zephrinimport_version_number(void);
/* What a result code means, in one English sentence without a final period;
 * "Unknown result code" for a code this library does not return. Static:
 * not to be freed. */
ZEPHRINIMPORT_EXPORT const char* zephrinimport_strerror(int code);
/* Releases a text returned by this library; NULL is allowed. */
ZEPHRINIMPORT_EXPORT void zephrinimport_free(char* text);

/* ---- The service object ---------------------------------------------------- */

/* A new service object; NULL only when there is no memory for it. Message
 * boxes are recorded (and given to the message callback, when set), file
 * dialogs answered from a call's answers or by the file callback. Its
 * writable folder is the environment's (ZEPHRINIMPORT_HOME, ...) until
 * zephrinimport_set_writable_folder gives it one. The caller owns it and
 * ends it with zephrinimport_destroy. */
ZEPHRINIMPORT_EXPORT zephrinimport_service* zephrinimport_create(void);
/* Destroys a service object, with the settings, open files and answers it
 * holds; NULL is allowed. No call on it may be running. */
ZEPHRINIMPORT_EXPORT void zephrinimport_destroy(zephrinimport_service* service);

/* Gives the object a writable folder of its own: the folder that holds its
 * template store (import.ini) and the files of the file methods, in place of
 * the environment's. It is made (mode 0700) when missing. NULL returns to the
 * environment's folder. Call it before the first GetTemplateInfo or
 * BrowseForImport, which establish the store. Returns ZEPHRINIMPORT_BAD_FOLDER
 * (and changes nothing) when the folder cannot be made or is not a writable
 * folder. Two objects with two folders keep two separate stores. */
ZEPHRINIMPORT_EXPORT int zephrinimport_set_writable_folder(zephrinimport_service* service, const char* folder);

/* ---- Message boxes and file dialogs -------------------------------------------
 * By default a call's message boxes are only recorded (its result's
 * "messages") and its file dialogs are answered from the call's "answers"
 * (none left: cancelled). A host that shows its own sets callbacks: */

/* A message box with one OK button, to be shown before the callback returns. */
typedef void (*zephrinimport_message_fn)(void* user_data, const char* caption, const char* text,
                                         zephrinimport_icon icon);

/* What a file dialog asks for. The library owns it; it lasts until the
 * callback returns. */
typedef struct zephrinimport_file_dialog {
  int save;                       /* 0: choose a file to open; 1: a file to save */
  const char* title;              /* "Select Import File" */
  const char* filter;             /* "Comma Delimited(*.csv)|*.csv|..." caption|pattern pairs */
  int filter_index;               /* the filter selected at first, counted from 1 */
  const char* initial_folder;     /* "" when none */
  const char* initial_file_name;  /* "" when none */
  int must_exist;                 /* 1: only an existing file may be chosen */
  int overwrite_prompt;           /* 1: ask before an existing file is chosen to save */
} zephrinimport_file_dialog;

/* Where the host puts the user's choice (see zephrinimport_choose). */
typedef struct zephrinimport_file_choice zephrinimport_file_choice;

/* A file dialog: the host shows it and, unless the user cancelled, calls
 * zephrinimport_choose(choice, path, filter_index) before returning. */
typedef void (*zephrinimport_choose_file_fn)(void* user_data, const zephrinimport_file_dialog* dialog,
                                             zephrinimport_file_choice* choice);

/* Sets the callbacks of the object's message boxes and file dialogs (either
 * may be NULL: recorded only, or answered from "answers"). A call that
 * carries its own answers (zephrinimport_call with {"args":..,"answers":..},
 * zephrinimport_invoke with answers) takes its dialogs' answers from them,
 * not from the file callback. Message boxes are recorded in the results as
 * well. */
ZEPHRINIMPORT_EXPORT int zephrinimport_set_callbacks(zephrinimport_service* service, zephrinimport_message_fn message,
                                                     zephrinimport_choose_file_fn choose_file, void* user_data);
/* The user's choice in a file dialog: the path (copied) and the filter entry
 * selected (counted from 1; 0 keeps the dialog's). Only inside the file
 * callback that received `choice`: once it has returned, the choice is gone,
 * and ZEPHRINIMPORT_INVALID_REQUEST says so. */
ZEPHRINIMPORT_EXPORT int zephrinimport_choose(zephrinimport_file_choice* choice, const char* path, int filter_index);

/* ---- Methods by name, with JSON ----------------------------------------------- */

/* Calls a method by name. `params_json` is what a request's "params" holds:
 * the array of inputs in order, or {"args":[...],"answers":[...]} with the
 * user's replies to the file dialogs the call opens (a path, or null for
 * cancel); NULL means no parameters. On ZEPHRINIMPORT_OK, *result_json
 * receives the request's "result" object, as `zephrinimport call` prints it:
 *   {"value":V,"status":S,"messages":[{"caption":..,"text":..,"icon":..}],"outcome":O}
 * ("outcome" on reads only). Otherwise the code is returned and *result_json
 * receives the "error" object: {"code":C,"message":"..."} (NULL when even
 * that could not be allocated). The caller frees *result_json. */
ZEPHRINIMPORT_EXPORT int zephrinimport_call(zephrinimport_service* service, const char* method,
                                            const char* params_json, char** result_json);

/* ---- Methods by name, typed ----------------------------------------------------- */

/* The kind of an argument or of a result value. */
typedef enum zephrinimport_kind {
  ZEPHRINIMPORT_NULL = 0,    /* no value */
  ZEPHRINIMPORT_STRING = 1,  /* UTF-8 text */
  ZEPHRINIMPORT_INTEGER = 2, /* a number */
  ZEPHRINIMPORT_BYTES = 3,   /* a byte array (of ConvertByteArrayToFile, ConvertFileToByteArray) */
  ZEPHRINIMPORT_JSON = 4     /* a result object (of ReviewImport, SuggestTemplates) as JSON text; since 1.1 */
} zephrinimport_kind;

/* One argument of zephrinimport_invoke. */
typedef struct zephrinimport_arg {
  zephrinimport_kind kind;
  const char* data;  /* STRING, BYTES: the text or bytes (NULL only with size 0) */
  size_t size;       /* STRING, BYTES: their length in bytes */
  long long integer; /* INTEGER: the number */
} zephrinimport_arg;

/* The result of zephrinimport_invoke: read it with the functions below. */
typedef struct zephrinimport_reply zephrinimport_reply;

/* Calls a method by name with `count` typed arguments in the method's order
 * (`zephrinimport call --describe` lists them); an argument whose data is NULL
 * with a size above 0, or whose size is above PTRDIFF_MAX (more than any
 * memory holds), is ZEPHRINIMPORT_INVALID_REQUEST. `answers` is NULL, or
 * `answer_count` replies to the file dialogs the call opens (a path, or NULL
 * for cancel). *reply receives the result, also for an error code other than
 * ZEPHRINIMPORT_INVALID_REQUEST and ZEPHRINIMPORT_NO_MEMORY (then its error
 * message tells what was wrong); the caller frees it with
 * zephrinimport_reply_free. */
ZEPHRINIMPORT_EXPORT int zephrinimport_invoke(zephrinimport_service* service, const char* method,
                                              const zephrinimport_arg* args, size_t count, const char* const* answers,
                                              size_t answer_count, zephrinimport_reply** reply);
/* The kind of the returned value: NULL (the method returns nothing, or left
 * it unset), STRING, INTEGER, BYTES or JSON (an extension's result object). */
ZEPHRINIMPORT_EXPORT zephrinimport_kind zephrinimport_reply_kind(const zephrinimport_reply* reply);
/* A STRING, BYTES or JSON value, NUL-terminated, its length in *size (when not
 * NULL); NULL for another kind. Owned by the reply. */
ZEPHRINIMPORT_EXPORT const char* zephrinimport_reply_text(const zephrinimport_reply* reply, size_t* size);
/* An INTEGER value; 0 for another kind. */
ZEPHRINIMPORT_EXPORT long long zephrinimport_reply_integer(const zephrinimport_reply* reply);
/* 0: success; 1: success with a false outcome ("status"). */
ZEPHRINIMPORT_EXPORT int zephrinimport_reply_status(const zephrinimport_reply* reply);
/* What a read's text is; -1 for a method that does not read. */
ZEPHRINIMPORT_EXPORT int zephrinimport_reply_outcome(const zephrinimport_reply* reply);
/* How many message boxes the call showed. */
ZEPHRINIMPORT_EXPORT size_t zephrinimport_reply_message_count(const zephrinimport_reply* reply);
/* Message box `index` (from 0): its caption, text and icon, owned by the
 * reply. ZEPHRINIMPORT_INVALID_REQUEST past the last one. */
ZEPHRINIMPORT_EXPORT int zephrinimport_reply_message(const zephrinimport_reply* reply, size_t index,
                                                     const char** caption, const char** text, zephrinimport_icon* icon);
/* The error's message ("Invalid params: ...") when the call failed, else
 * NULL. Owned by the reply. */
ZEPHRINIMPORT_EXPORT const char* zephrinimport_reply_error(const zephrinimport_reply* reply);
/* Releases a reply; NULL is allowed. */
ZEPHRINIMPORT_EXPORT void zephrinimport_reply_free(zephrinimport_reply* reply);

/* ---- Typed reads, the whole text ------------------------------------------------- */

/* ReadImportFile: imports `import_file` through the template. On
 * ZEPHRINIMPORT_OK, *xml receives the read's text (the caller frees it) and
 * *outcome (when not NULL) what it is. `more_info` may be NULL (no extra text). */
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
/* The message boxes the last typed read (whole or streamed) showed, as the
 * JSON array a call's "messages" holds. The caller frees *messages_json. */
ZEPHRINIMPORT_EXPORT int zephrinimport_read_messages(zephrinimport_service* service, char** messages_json);
/* The same as a reply: the last typed read's message boxes and outcome (-1
 * before the first read; its value is NULL). The caller frees *reply with
 * zephrinimport_reply_free. */
ZEPHRINIMPORT_EXPORT int zephrinimport_last_read(zephrinimport_service* service, zephrinimport_reply** reply);

/* ---- Typed reads, streamed ----------------------------------------------------------
 * The text is handed to `write` in pieces as it is made, so that a large file
 * is read in little more memory than the file itself takes.
 *
 * `write` receives each piece (not NUL-terminated) and returns 0 to go on;
 * any other value stops the read, which then returns
 * ZEPHRINIMPORT_WRITE_STOPPED, and what was handed is void.
 *
 * Whole or nothing: the pieces make the document only when the read ends with
 * ZEPHRINIMPORT_DOCUMENT. A read that fails after its first piece calls
 * write(user_data, NULL, 0) once, meaning "discard everything received", and
 * then hands its final text (the error document, say). So what `write`
 * received since the last discard is always the read's whole text, as
 * zephrinimport_read_import_file would return it.
 *
 * `progress` (may be NULL) is told the bytes of the data file read so far and
 * the file's size, now and then and once at the end; returning 0 cancels the
 * read, which then ends with the error document
 * "<Error>The import was cancelled.</Error>" (outcome ZEPHRINIMPORT_ERROR)
 * and changes nothing: the object reads again as before. */
typedef int (*zephrinimport_write_fn)(void* user_data, const char* piece, size_t size);
typedef int (*zephrinimport_progress_fn)(void* user_data, unsigned long long done, unsigned long long total);

/* ReadImportFile, streamed. */
ZEPHRINIMPORT_EXPORT int zephrinimport_stream_import_file(zephrinimport_service* service, const char* import_file,
                                                          const char* template_name, const char* import_type,
                                                          const char* id, const char* more_info,
                                                          zephrinimport_write_fn write,
                                                          zephrinimport_progress_fn progress, void* user_data,
                                                          zephrinimport_outcome* outcome);
/* ReadIntlImportFile, streamed. */
ZEPHRINIMPORT_EXPORT int zephrinimport_stream_intl_import_file(zephrinimport_service* service, const char* import_file,
                                                               const char* template_name, const char* import_type,
                                                               const char* id, short intl_param, short intl_type,
                                                               zephrinimport_write_fn write,
                                                               zephrinimport_progress_fn progress, void* user_data,
                                                               zephrinimport_outcome* outcome);

#ifdef __cplusplus
}
#endif

#endif /* ZEPHRINIMPORT_H */

/* The C interface's binary interface as a library of its own, for abidiff:
 * one variable of each public type, and one of each function's pointer type
 * (so that a changed signature shows as a changed variable). Built from the
 * header alone; tests/abi/check compares it with interface.abi, the 1.0.0
 * interface. The result codes and enum values are checked as they compile. */
#include <zephrinimport.h>

#define PROBE(function) __typeof__(&function) probe_##function = 0;

PROBE(zephrinimport_version)
PROBE(zephrinimport_version_number)
PROBE(zephrinimport_strerror)
PROBE(zephrinimport_free)
PROBE(zephrinimport_create)
PROBE(zephrinimport_destroy)
PROBE(zephrinimport_set_writable_folder)
PROBE(zephrinimport_set_callbacks)
PROBE(zephrinimport_choose)
PROBE(zephrinimport_call)
PROBE(zephrinimport_invoke)
PROBE(zephrinimport_reply_kind)
PROBE(zephrinimport_reply_text)
PROBE(zephrinimport_reply_integer)
PROBE(zephrinimport_reply_status)
PROBE(zephrinimport_reply_outcome)
PROBE(zephrinimport_reply_message_count)
PROBE(zephrinimport_reply_message)
PROBE(zephrinimport_reply_error)
PROBE(zephrinimport_reply_free)
PROBE(zephrinimport_read_import_file)
PROBE(zephrinimport_read_intl_import_file)
PROBE(zephrinimport_read_messages)
PROBE(zephrinimport_last_read)
PROBE(zephrinimport_stream_import_file)
PROBE(zephrinimport_stream_intl_import_file)

zephrinimport_outcome probe_outcome;
zephrinimport_icon probe_icon;
zephrinimport_kind probe_kind;
zephrinimport_arg probe_arg;
zephrinimport_file_dialog probe_file_dialog;
zephrinimport_message_fn probe_message_fn;
zephrinimport_choose_file_fn probe_choose_file_fn;
zephrinimport_write_fn probe_write_fn;
zephrinimport_progress_fn probe_progress_fn;

#define SAME(name, value) _Static_assert(name == value, #name " keeps its value");
SAME(ZEPHRINIMPORT_OK, 0)
SAME(ZEPHRINIMPORT_PARSE_ERROR, -32700)
SAME(ZEPHRINIMPORT_INVALID_REQUEST, -32600)
SAME(ZEPHRINIMPORT_METHOD_NOT_FOUND, -32601)
SAME(ZEPHRINIMPORT_INVALID_PARAMS, -32602)
SAME(ZEPHRINIMPORT_INTERNAL_ERROR, -32603)
SAME(ZEPHRINIMPORT_BUSY, -32001)
SAME(ZEPHRINIMPORT_WRITE_STOPPED, -32010)
SAME(ZEPHRINIMPORT_NO_MEMORY, -32011)
SAME(ZEPHRINIMPORT_BAD_FOLDER, -32012)
SAME(ZEPHRINIMPORT_DOCUMENT, 0)
SAME(ZEPHRINIMPORT_ERROR, 1)
SAME(ZEPHRINIMPORT_EMPTY, 2)
SAME(ZEPHRINIMPORT_UNKNOWN_FORMAT, 3)
SAME(ZEPHRINIMPORT_ICON_NONE, 0)
SAME(ZEPHRINIMPORT_ICON_INFORMATION, 3)
SAME(ZEPHRINIMPORT_NULL, 0)
SAME(ZEPHRINIMPORT_BYTES, 3)

// Default visibility for a declaration of the engine. The engine is built
// with hidden visibility; the shared library libzephrinimport exports the C
// interface (zephrinimport.h) alone, as its version script
// (packaging/libzephrinimport.map) says, whatever carries ZEPHRIN_API. The
// program and the tests link the engine's static archive.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define ZEPHRIN_API __attribute__((visibility("default")))
#else
#define ZEPHRIN_API
#endif

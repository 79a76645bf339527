// Which symbols the shared library libzephrinimport exports. It is built
// with hidden visibility, so a declaration is reachable from outside the
// library only when it carries ZEPHRIN_API.
//
// Exported: the C interface (zephrinimport.h) and the C++ facade CxmlWrapper
// with the types its signatures use. A few more classes and functions are
// exported because the zephrinimport program's front ends (the command line
// and the web server) link the same library; their headers are not
// installed, and hosts should not rely on them.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define ZEPHRIN_API __attribute__((visibility("default")))
#else
#define ZEPHRIN_API
#endif

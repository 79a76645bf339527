// The method table of the service object's interface, in slot order: what the
// host protocol dispatches on.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/export.h"

namespace zephrin {

enum class ParamType : uint8_t { String, Int16, Int32, Bytes };
// What a method's result value can be: nothing (null), a string, an integer,
// base64 text, or one of those or null (the method may leave it unset).
enum class ReturnType : uint8_t { None, String, Long, Bytes, OptionalString, OptionalLong };

struct MethodInfo {
  int id;
  const char* name;
  uint8_t paramCount;
  std::array<ParamType, 6> params;
  // The parameters' names, as the facade (CxmlWrapper) calls them.
  std::array<const char*, 6> paramNames;
  ReturnType ret;
  // The name of what the method returns (nullptr: nothing).
  const char* resultName;
};

// 33 methods, ended by an entry whose name is nullptr.
ZEPHRIN_API extern const MethodInfo kMethods[];
ZEPHRIN_API const MethodInfo* FindMethod(std::string_view name);

}  // namespace zephrin

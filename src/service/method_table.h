// The method table of the service object's interface, in slot order: what the
// host protocol dispatches on.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zephrin {

enum class ParamType : uint8_t { String, Int16, Int32, Bytes };
enum class ReturnType : uint8_t { None, String, Long, Bytes, OptionalString };

struct MethodInfo {
  int id;
  const char* name;
  uint8_t paramCount;
  std::array<ParamType, 6> params;
  ReturnType ret;
};

// 33 methods, ended by an entry whose name is nullptr.
extern const MethodInfo kMethods[];
const MethodInfo* FindMethod(std::string_view name);

}  // namespace zephrin

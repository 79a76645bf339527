// The method table of the service object's interface, in slot order: what the
// host protocol dispatches on, and what describes the protocol to hosts (the
// OpenRPC document of `zephrinimport call --describe` and docs/protocol.md).
// Each method says in words what the host passes and gets back.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/export.h"

namespace zephrin {

enum class ParamType : uint8_t { String, Int16, Int32, Bytes };
// What a method's result value can be: nothing (null), a string, an integer,
// base64 text, or one of those or null (the method may leave it unset).
// An extension may return a JSON object, whose shape it gives.
enum class ReturnType : uint8_t { None, String, Long, Bytes, OptionalString, OptionalLong, Object };

struct MethodInfo {
  int id;
  const char* name;
  // One line: what the method does.
  const char* summary;
  // What the host passes and gets back, and what the call changes.
  const char* description;
  uint8_t paramCount;
  std::array<ParamType, 6> params;
  // The parameters' names (in the positional order of "params") and what
  // each one is.
  std::array<const char*, 6> paramNames;
  std::array<const char*, 6> paramDescriptions;
  ReturnType ret;
  // The name of what the method returns and what it is (nullptr: nothing).
  const char* resultName;
  const char* resultDescription;
  // A method beyond the service object's 33, which this engine adds.
  bool extension = false;
  // How many of the last parameters a request may leave out.
  uint8_t optionalParams = 0;
  // The JSON schema of an Object result (JSON text).
  const char* resultSchema = nullptr;
};

// The 33 methods, then the extensions, ended by an entry whose name is nullptr.
ZEPHRIN_API extern const MethodInfo kMethods[];
ZEPHRIN_API const MethodInfo* FindMethod(std::string_view name);

}  // namespace zephrin

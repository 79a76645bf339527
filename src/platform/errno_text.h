// The system's words for an error number, as messages quote them
// ("No such file or directory").
#pragma once

#include <string>
#include <system_error>

namespace zephrin {

inline std::string ErrnoText(int err) { return std::error_code(err, std::generic_category()).message(); }

}  // namespace zephrin

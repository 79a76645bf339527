#include "platform/memory.h"

namespace zephrin {

Done SizeText(std::string& text, std::size_t size) {
  try {
    text.assign(size, '\0');
  } catch (const std::exception& e) {
    return ErrorOfException(e);
  }
  return {};
}

}  // namespace zephrin

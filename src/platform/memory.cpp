#include "platform/memory.h"

#include <cstdint>

#include <sys/mman.h>

namespace zephrin {

void AdviseHugePages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < 4 * kHuge) return;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (start + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

Done SizeText(std::string& text, std::size_t size) {
  try {
    text.assign(size, '\0');
  } catch (const std::exception& e) {
    return ErrorOfException(e);
  }
  return {};
}

}  // namespace zephrin

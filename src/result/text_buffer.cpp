#include "result/text_buffer.h"

namespace zephrin {

void TextBuffer::Grow(std::size_t extra) {
  std::size_t capacity = m_capacity < 4096 ? 4096 : m_capacity * 2;
  if (capacity - m_size < extra) capacity = m_size + extra;
  void* grown = std::realloc(m_data, capacity + 1);  // one more byte for Release's terminator
  if (!grown) throw std::bad_alloc();
  m_data = static_cast<char*>(grown);
  m_capacity = capacity;
}

char* TextBuffer::Release() {
  Room(0);
  if (!m_data) Grow(1);
  m_data[m_size] = '\0';
  char* data = m_data;
  m_data = nullptr;
  m_size = m_capacity = 0;
  return data;
}

}  // namespace zephrin

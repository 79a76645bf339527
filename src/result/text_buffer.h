// The output text of a read, and where finished pieces of it go.
//
// TextBuffer is a growable byte buffer that is written through a pointer into
// room made beforehand: nothing is zero-filled, and growing a large buffer
// moves its pages instead of copying them (the C library remaps large blocks).
// A read that keeps its whole text (the host protocol, standard output) holds
// one; a streamed read keeps only the record being written and hands finished
// pieces to an OutputSink.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/byte_scan.h"
#include "platform/export.h"

namespace zephrin {

class ZEPHRIN_API TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() { std::free(m_data); }
  TextBuffer(TextBuffer&& other) noexcept
      : m_data(std::exchange(other.m_data, nullptr)),
        m_size(std::exchange(other.m_size, 0)),
        m_capacity(std::exchange(other.m_capacity, 0)) {}
  TextBuffer& operator=(TextBuffer&& other) noexcept {
    if (this != &other) {
      std::free(m_data);
      m_data = std::exchange(other.m_data, nullptr);
      m_size = std::exchange(other.m_size, 0);
      m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
  }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  char* data() { return m_data; }
  const char* data() const { return m_data; }
  std::size_t size() const { return m_size; }
  std::size_t capacity() const { return m_capacity; }
  bool empty() const { return m_size == 0; }
  std::string_view view() const { return {m_data ? m_data : "", m_size}; }

  // At least `n` bytes of room after the end; returns the end. Write into it
  // and then Commit the new end.
  char* Room(std::size_t n) {
    if (m_capacity - m_size < n) Grow(n);
    return m_data + m_size;
  }
  void Commit(const char* end) { m_size = static_cast<std::size_t>(end - m_data); }
  void Reserve(std::size_t capacity) {
    if (capacity > m_capacity) Grow(capacity - m_size);
  }

  void Append(std::string_view text) {
    char* p = Room(text.size());
    CopyShort(p, text.data(), text.size());
    m_size += text.size();
  }
  void Append(char c) {
    *Room(1) = c;
    ++m_size;
  }
  // Replaces [pos, pos + removed) by `insert`.
  void Replace(std::size_t pos, std::size_t removed, std::string_view insert) {
    if (insert.size() > removed) Room(insert.size() - removed);
    std::memmove(m_data + pos + insert.size(), m_data + pos + removed, m_size - pos - removed);
    if (!insert.empty()) std::memcpy(m_data + pos, insert.data(), insert.size());
    m_size = m_size - removed + insert.size();
  }
  void Truncate(std::size_t size) {
    if (size < m_size) m_size = size;
  }
  void clear() { m_size = 0; }

  // The text as a string (a copy), the buffer emptied and its memory freed.
  std::string TakeString() {
    std::string out(view());
    *this = TextBuffer();
    return out;
  }
  // Hands the memory over: a NUL-terminated text of size() bytes, to be
  // released with std::free. The buffer is empty afterwards.
  char* Release();

 private:
  void Grow(std::size_t extra);

  char* m_data = nullptr;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// Where a streamed read hands the finished pieces of its text.
class ZEPHRIN_API OutputSink {
 public:
  virtual ~OutputSink() = default;
  // False when the piece could not be written; the read then stops.
  virtual bool Write(std::string_view piece) = 0;
};

// A sink that appends every piece to a string of its own (a response or a
// document collected whole), counting the pieces.
class StringSink : public OutputSink {
 public:
  bool Write(std::string_view piece) override {
    m_text.append(piece);
    ++m_pieces;
    return true;
  }
  const std::string& text() const { return m_text; }
  std::string TakeText() { return std::move(m_text); }
  std::size_t pieces() const { return m_pieces; }

 private:
  std::string m_text;
  std::size_t m_pieces = 0;
};

// A sink that drops every piece: a read whose document nobody wants (a
// review, a suggestion) still runs streamed, in little memory.
class DroppingSink : public OutputSink {
 public:
  bool Write(std::string_view) override { return true; }
};

}  // namespace zephrin

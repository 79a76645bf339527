// The engine's one way of saying that something could not be done: a
// function that can fail returns an Expected<T>, which holds either its value
// or an Error (what kind of failure, in a code callers can act on, and the
// words a person reads). Neither an exception nor an errno, a bool with a
// message on the side, or an empty text that means success crosses a
// function of the engine.
#pragma once

#include <cerrno>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/errno_text.h"

namespace zephrin {

enum class ErrorCode {
  kNotFound,      // no such file, folder, template, key, ...
  kDenied,        // the system or a rule refuses it (rights, a link, a path outside the allowed folders)
  kExists,        // something of that name is already there
  kInvalid,       // the input is not of the form asked for
  kTooLarge,      // larger than it may be
  kIo,            // the system failed to read, write or flush
  kBusy,          // held by someone else
  kCancelled,     // stopped at the caller's request
  kOutOfMemory,
  kInternal,      // a failure inside the engine
};

struct Error {
  ErrorCode code = ErrorCode::kInternal;
  std::string message;  // a person's words (engine text)
  int sysErrno = 0;     // the system's error number behind it, when there is one

  // The error of a failed system call, in the system's own words.
  static Error FromErrno(int err, std::string_view what = {});
  // The same as a sentence of its own: "WHAT: the system's words."
  static Error SentenceFromErrno(int err, std::string_view what);
};

// What an errno says, as an error code.
ErrorCode CodeOfErrno(int err);

// The error an exception stands for, where an interface of the engine (or a
// step that allocates a size it was given) catches one: a failure to get
// memory is kOutOfMemory, "out of memory"; a size larger than a container
// can hold is kTooLarge; any other is kInternal, in the exception's words.
Error ErrorOfException(const std::exception& e);

template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
  Expected(Error error) : m_v(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return m_v.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(m_v); }
  const T& value() const& { return std::get<0>(m_v); }
  T&& value() && { return std::get<0>(std::move(m_v)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  const Error& error() const { return std::get<1>(m_v); }
  Error&& TakeError() { return std::get<1>(std::move(m_v)); }

 private:
  std::variant<T, Error> m_v;
};

// A step that gives nothing but may fail.
template <>
class [[nodiscard]] Expected<void> {
 public:
  Expected() = default;
  Expected(Error error) : m_error(std::move(error)), m_failed(true) {}

  bool ok() const { return !m_failed; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return m_error; }
  Error&& TakeError() { return std::move(m_error); }

 private:
  Error m_error;
  bool m_failed = false;
};

using Done = Expected<void>;

inline ErrorCode CodeOfErrno(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return ErrorCode::kNotFound;
    case EACCES: case EPERM: case ELOOP: case EROFS: return ErrorCode::kDenied;
    case EEXIST: case ENOTEMPTY: return ErrorCode::kExists;
    case EINVAL: case EISDIR: case ENAMETOOLONG: return ErrorCode::kInvalid;
    case EFBIG: case EOVERFLOW: return ErrorCode::kTooLarge;
    case EBUSY: case EAGAIN: return ErrorCode::kBusy;
    case ENOMEM: return ErrorCode::kOutOfMemory;
    default: return ErrorCode::kIo;
  }
}

inline Error Error::FromErrno(int err, std::string_view what) {
  std::string message(what);
  if (!message.empty()) message += ": ";
  message += ErrnoText(err);
  return Error{CodeOfErrno(err), std::move(message), err};
}

inline Error Error::SentenceFromErrno(int err, std::string_view what) {
  Error error = FromErrno(err, what);
  error.message += '.';
  return error;
}

inline Error ErrorOfException(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return Error{ErrorCode::kOutOfMemory, "out of memory"};
  if (dynamic_cast<const std::length_error*>(&e) != nullptr) return Error{ErrorCode::kTooLarge, e.what()};
  return Error{ErrorCode::kInternal, e.what()};
}

}  // namespace zephrin

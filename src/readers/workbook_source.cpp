#include "readers/workbook_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/workbook_kinds.h"
#include "readers/workbook_zip.h"

namespace zephrin {

namespace {

constexpr std::array<unsigned char, 8> kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::string_view kZipSignature = "PK\x03\x04";

// The first `n` bytes of a regular file (fewer when it is shorter); empty
// when it cannot be read or is not a regular file.
std::string Head(const std::string& osPath, std::size_t n) {
  const int fd = ::open(osPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::string head;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    head.resize(n);
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = ::read(fd, head.data() + got, n - got);
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    head.resize(got);
  }
  ::close(fd);
  return head;
}

// A path that names no regular file, in the words of the refusal.
std::optional<Error> NotReadable(const std::string& osPath) {
  struct stat st {};
  if (::stat(osPath.c_str(), &st) != 0) return Error::FromErrno(errno);
  if (!S_ISREG(st.st_mode)) return Error{ErrorCode::kInvalid, "it is not a regular file"};
  return std::nullopt;
}

// Upper-cases the letters of engine text: ASCII, and the accented letters
// of Windows-1252.
void UpperEngineText(std::string& text) {
  for (char& ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c != 0xF7 && c != 0xFF))
      ch = static_cast<char>(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E)
      ch = static_cast<char>(c - 0x10);
    else if (c == 0xFF)
      ch = static_cast<char>(0x9F);
  }
}

}  // namespace

namespace workbook {

Error Unreadable(std::string_view displayName, const Error& reason) {
  std::string message = "The workbook ";
  message.append(displayName).append(" cannot be read: ").append(reason.message).append(".");
  return Error{reason.code == ErrorCode::kNotFound ? ErrorCode::kInvalid : reason.code, std::move(message),
               reason.sysErrno};
}

Error NoSheet(std::string_view displayName, std::string_view sheet) {
  std::string message = "The workbook ";
  message.append(displayName).append(" has no sheet named ").append(sheet).append(".");
  return Error{ErrorCode::kNotFound, std::move(message)};
}

std::string SheetKey(std::string_view name) {
  std::string key = IsValidUtf8(name) ? Utf8ToAnsi(name) : std::string(name);
  UpperEngineText(key);
  return key;
}

int FindSheet(const std::vector<std::string>& names, std::string_view sheet) {
  if (sheet.empty()) return names.empty() ? -1 : 0;
  const std::string wanted = SheetKey(sheet);
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < names.size(); ++i) {
    keys.push_back(names[i]);
    UpperEngineText(keys.back());
    if (keys.back() == wanted) return static_cast<int>(i);
  }
  // A template keeps its sheet's name without the blanks at its ends (a
  // sheet named "Balances " is kept as "Balances"): the one sheet whose name
  // is the same without them is the sheet meant.
  int found = -1;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (Trim(keys[i]) != Trim(wanted)) continue;
    if (found >= 0) return -1;
    found = static_cast<int>(i);
  }
  return found;
}

}  // namespace workbook

WorkbookKind SniffWorkbook(const std::string& osPath) {
  const std::string head = Head(osPath, 8);
  if (head.size() == 8 && std::memcmp(head.data(), kCompoundSignature.data(), 8) == 0) return WorkbookKind::kXls;
  // Any zip archive is read as a workbook, whatever it holds: read as text,
  // its compressed bytes would only give records of noise. One that is not
  // a workbook, or too damaged to open (a copy cut short), then says so.
  return head.starts_with(kZipSignature) ? WorkbookKind::kXlsx : WorkbookKind::kNone;
}

Expected<std::unique_ptr<WorkbookSource>> OpenWorkbookSheet(WorkbookKind kind, const std::string& osPath,
                                                            std::string_view displayName, std::string_view sheet) {
  if (std::optional<Error> refusal = NotReadable(osPath)) return workbook::Unreadable(displayName, *refusal);
  switch (kind) {
    case WorkbookKind::kXlsx: return workbook::OpenXlsx(osPath, displayName, sheet);
    case WorkbookKind::kXls: return workbook::OpenXls(osPath, displayName, sheet);
    case WorkbookKind::kNone: break;
  }
  return workbook::Unreadable(displayName, Error{ErrorCode::kInvalid, "it is not a workbook"});
}

Expected<std::unique_ptr<RowSource>> OpenWorkbook(WorkbookKind kind, const std::string& osPath,
                                                  std::string_view displayName, std::string_view sheet) {
  auto source = OpenWorkbookSheet(kind, osPath, displayName, sheet);
  if (!source) return source.TakeError();
  return std::unique_ptr<RowSource>(std::move(*source));
}

Expected<std::vector<std::string>> WorkbookSheets(WorkbookKind kind, const std::string& osPath,
                                                   std::string_view displayName) {
  if (std::optional<Error> refusal = NotReadable(osPath)) return workbook::Unreadable(displayName, *refusal);
  switch (kind) {
    case WorkbookKind::kXlsx: return workbook::XlsxSheets(osPath, displayName);
    case WorkbookKind::kXls: return workbook::XlsSheets(osPath, displayName);
    case WorkbookKind::kNone: break;
  }
  return workbook::Unreadable(displayName, Error{ErrorCode::kInvalid, "it is not a workbook"});
}

}  // namespace zephrin

// The files a page hands the server (a file dropped on the import page or
// chosen with the browser's file picker), kept in the folder "uploads" of
// the writable folder so that they can be imported from there, listed and
// removed.
//
// An upload is written to a hidden temporary file in that folder, flushed,
// and only then given its name, so the folder never holds half a file under
// an upload's name; an upload that is broken off or refused leaves nothing.
// A name is a plain file name: it cannot name another folder or a hidden
// file, and an existing upload is replaced only when that is asked for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "platform/signal_cleanup.h"
#include "platform/unique_fd.h"

namespace zephrin {

// The longest upload name, in bytes.
inline constexpr std::size_t kMaxUploadName = 200;
// A temporary upload file unchanged this long was left by a program that
// ended without removing it, and the next upload removes it.
inline constexpr long kStaleUploadSeconds = 600;

// Whether `name` may name an upload; the refusal (kInvalid) says why in words.
[[nodiscard]] Done CheckUploadName(std::string_view name);

struct UploadEntry {
  std::string name;
  std::uint64_t size = 0;
  std::string path;  // where the engine reads it
};

class UploadFolder {
 public:
  // The uploads of the writable folder `writableFolder`.
  explicit UploadFolder(std::string writableFolder);

  // The folder itself, and the path of an upload in it.
  const std::string& path() const { return m_path; }
  std::string PathOf(std::string_view name) const { return m_path + "/" + std::string(name); }

  // The uploads by name (hidden and other than plain files left out); none
  // while the folder does not exist.
  [[nodiscard]] Expected<std::vector<UploadEntry>> List() const;
  // Removes an upload; kNotFound when there is none of that name.
  [[nodiscard]] Done Remove(std::string_view name) const;
  // Opens the folder, making it when it is missing.
  [[nodiscard]] Expected<UniqueFd> Open() const;

 private:
  std::string m_path;
};

// One upload under way. Nothing of it has a name until Commit; destroying an
// uncommitted writer removes what it wrote.
class UploadWriter {
 public:
  UploadWriter() = default;
  ~UploadWriter();
  UploadWriter(const UploadWriter&) = delete;
  UploadWriter& operator=(const UploadWriter&) = delete;

  // Starts an upload named `name`. An upload of that name already there is
  // refused (kExists) unless `replace` is set.
  [[nodiscard]] Done Begin(const UploadFolder& folder, std::string_view name, bool replace);
  [[nodiscard]] Done Write(std::string_view piece);
  // Flushes the content and gives it its name, then flushes the folder. The
  // path of the upload.
  [[nodiscard]] Expected<std::string> Commit();

 private:
  void Abandon();
  UniqueFd m_folder;
  UniqueFd m_fd;
  std::string m_temp, m_name, m_path;
  bool m_replace = false;
  RemovedOnSignal m_onSignal;
};

}  // namespace zephrin

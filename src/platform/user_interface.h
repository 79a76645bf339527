// The user-interface layer: every message box and file dialog of the engine goes
// through one object of this interface, so that each front end can show them in
// its own way (printed on standard error, recorded in a protocol response, or
// shown as a dialog of a web page). All texts here are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/export.h"

namespace zephrin {

enum class MessageIcon { None, Error, Warning, Information };
ZEPHRIN_API std::string_view MessageIconName(MessageIcon icon);  // "error", "warning", ...

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::None;
};

// A file dialog as the engine asks for it.
struct FileDialogRequest {
  enum class Kind { Open, Save } kind = Kind::Open;
  std::string title;            // "Select Import File"
  std::string filter;           // "Comma Delimited(*.csv)|*.csv|..." as the engine builds it
  int filterIndex = 1;          // 1-based, as the dialog starts
  std::string initialFolder;
  std::string initialFileName;
  bool mustExist = false;
  bool overwritePrompt = false;
};
struct FileDialogResult {
  std::string path;             // the chosen path
  int filterIndex = 1;          // the filter entry selected when the user chose
};

class ZEPHRIN_API UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal message box with one OK button.
  virtual void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
  // A file dialog; nullopt when the user cancelled.
  virtual std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) = 0;
};

// Records message boxes and answers file dialogs from a queue of prepared
// answers (nullopt in the queue, or an empty queue, means the user cancelled).
// Used by the host protocol and by tests.
class ZEPHRIN_API RecordingUserInterface : public UserInterface {
 public:
  void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
  std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) override;

  void SetAnswers(std::vector<std::optional<std::string>> answers);
  std::vector<MessageBoxRecord> TakeMessages();
  const std::vector<MessageBoxRecord>& messages() const { return m_messages; }

 private:
  std::vector<MessageBoxRecord> m_messages;
  std::vector<std::optional<std::string>> m_answers;
  std::size_t m_nextAnswer = 0;
};

// Prints message boxes to standard error as "CAPTION: TEXT"; cancels dialogs.
class ZEPHRIN_API ConsoleUserInterface : public UserInterface {
 public:
  void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
  std::optional<FileDialogResult> ChooseFile(const FileDialogRequest& request) override;
};

}  // namespace zephrin

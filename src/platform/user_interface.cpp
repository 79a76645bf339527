#include "platform/user_interface.h"

#include <cstdio>

namespace zephrin {

std::string_view MessageIconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return "error";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Information: return "information";
    case MessageIcon::None: break;
  }
  return "none";
}

void RecordingUserInterface::ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
  m_messages.push_back({std::string(caption), std::string(text), icon});
}

std::optional<FileDialogResult> RecordingUserInterface::ChooseFile(const FileDialogRequest& request) {
  if (m_nextAnswer >= m_answers.size()) return std::nullopt;
  const auto& answer = m_answers[m_nextAnswer++];
  if (!answer) return std::nullopt;
  return FileDialogResult{*answer, request.filterIndex};
}

void RecordingUserInterface::SetAnswers(std::vector<std::optional<std::string>> answers) {
  m_answers = std::move(answers);
  m_nextAnswer = 0;
}

std::vector<MessageBoxRecord> RecordingUserInterface::TakeMessages() {
  std::vector<MessageBoxRecord> out;
  out.swap(m_messages);
  return out;
}

void ConsoleUserInterface::ShowMessage(std::string_view caption, std::string_view text, MessageIcon) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
}

std::optional<FileDialogResult> ConsoleUserInterface::ChooseFile(const FileDialogRequest&) {
  return std::nullopt;
}

}  // namespace zephrin

#include "result/error_document.h"

#include <charconv>

#include "platform/codepage.h"
#include "result/result_document.h"

namespace zephrin {

ErrorDocument ErrorDocument::Line(long line) {
  ErrorDocument doc("<Error Line='", "</Error>");
  doc.Number(line);
  doc.m_text.append("'>");
  return doc;
}

ErrorDocument& ErrorDocument::Text(std::string_view fixed) {
  m_text.append(AnsiToUtf8(fixed));
  return *this;
}

ErrorDocument& ErrorDocument::Value(std::string_view value) {
  AppendXmlEscaped(m_text, value, /*attribute=*/false);
  return *this;
}

ErrorDocument& ErrorDocument::Number(long long value) {
  char buf[24];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  m_text.append(buf, end);
  return *this;
}

std::string ErrorDocument::Take() {
  m_text.append(m_close);
  return std::move(m_text);
}

void ErrorEntries::Add(int32_t line, std::string_view text) {
  char buf[16];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, line);
  m_body.append("<Err Line=\"");
  m_body.append(buf, end);
  m_body.append("\">");
  AppendXmlEscaped(m_body, text, /*attribute=*/false);
  m_body.append("</Err>");
}

std::string ErrorEntries::Document() const {
  if (m_body.empty()) return {};
  std::string doc = "<Error>";
  doc.append(m_body);
  doc.append("</Error>");
  return doc;
}

}  // namespace zephrin

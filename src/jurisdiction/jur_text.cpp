#include "jurisdiction/jur_text.h"

#include <cstring>

#include "platform/codepage.h"
#include "readers/data_file.h"
#include "result/result_document.h"

namespace zephrin {

LoadStatus LoadJurisdictionSource(const std::string& osPath, std::string& text, std::size_t& rawSize) {
  rawSize = 0;
  if (const LoadStatus status = LoadDataFileText(osPath, text, &rawSize); status != LoadStatus::kLoaded) return status;
  LineSource dropCarriageReturns(text);  // removes CR before LF in place
  return LoadStatus::kLoaded;
}

bool JurLineSource::Next(std::string_view& line, bool& hadLineEnd) {
  if (m_pos >= m_text.size()) return false;
  const std::size_t remaining = m_text.size() - m_pos;
  const std::size_t window = remaining < m_limit ? remaining : m_limit;
  const char* start = m_text.data() + m_pos;
  const void* nl = std::memchr(start, '\n', window);
  std::size_t len;
  if (nl) {
    len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
    m_pos += len + 1;
    hadLineEnd = true;
  } else {
    len = window;
    m_pos += len;
    hadLineEnd = false;
  }
  if (const void* nul = std::memchr(start, '\0', len)) len = static_cast<std::size_t>(static_cast<const char*>(nul) - start);
  line = std::string_view(start, len);
  return true;
}

void AssignLower(std::string& out, std::string_view text) {
  out.assign(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void AssignJurisdictionKey(std::string& out, std::string_view text) {
  AssignLower(out, TrimRight(text));
  if (out == "0") out = "00000000";
}

void AppendEngineEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '&') out.append("&amp;");
    else if (c == '<') out.append("&lt;");
    else if (c == '>') out.append("&gt;");
    else out.push_back(c);
  }
}

void XmlStream::Start(std::string_view name) {
  CloseTag();
  m_out.push_back('<');
  m_out.append(name);
  if (m_depth < static_cast<int>(m_stack.size())) m_stack[static_cast<std::size_t>(m_depth)] = name;
  ++m_depth;
  m_tagOpen = true;
}

void XmlStream::Attr(std::string_view name, std::string_view value) {
  if (!m_tagOpen) return;
  m_out.push_back(' ');
  m_out.append(name);
  m_out.append("=\"");
  AppendXmlEscaped(m_out, value, true);
  m_out.push_back('"');
}

void XmlStream::Text(std::string_view text, bool engineEscape) {
  if (text.empty()) return;
  CloseTag();
  if (engineEscape && text.find_first_of("&<>") != std::string_view::npos) {
    m_scratch.clear();
    AppendEngineEscaped(m_scratch, text);
    AppendXmlEscaped(m_out, m_scratch, false);
  } else {
    AppendXmlEscaped(m_out, text, false);
  }
}

void XmlStream::Raw(std::string_view xml) {
  if (xml.empty()) return;
  CloseTag();
  m_out.append(xml);
}

void XmlStream::End() {
  if (m_depth == 0) return;
  --m_depth;
  if (m_tagOpen) {
    m_out.append("/>");
    m_tagOpen = false;
    return;
  }
  m_out.append("</");
  if (m_depth < static_cast<int>(m_stack.size())) m_out.append(m_stack[static_cast<std::size_t>(m_depth)]);
  m_out.push_back('>');
}

}  // namespace zephrin

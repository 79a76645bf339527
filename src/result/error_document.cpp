#include "result/error_document.h"

#include <charconv>
#include <utility>

#include <pugixml.hpp>

#include "result/xml_writer.h"

namespace zephrin {

namespace {
const XmlTag kError("Error"), kErr("Err");

std::string_view Decimal(char (&buf)[24], long long value) {
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string_view(buf, static_cast<std::size_t>(end - buf));
}
}  // namespace

ErrorDocument::ErrorDocument() : m_w(std::make_unique<XmlWriter>()) {}
ErrorDocument::ErrorDocument(ErrorDocument&&) noexcept = default;
ErrorDocument::~ErrorDocument() = default;

ErrorDocument ErrorDocument::Request() {
  ErrorDocument doc;
  doc.m_w->Start(kError);
  doc.m_w->Start(kErr);
  doc.m_w->OpenContent(2);
  return doc;
}

ErrorDocument ErrorDocument::Reader() {
  ErrorDocument doc;
  doc.m_w->Start(kError);
  doc.m_w->OpenContent(1);
  return doc;
}

ErrorDocument ErrorDocument::Line(long line) {
  ErrorDocument doc;
  char buf[24];
  doc.m_w->Start(kError);
  doc.m_w->Attr("Line", Decimal(buf, line), '\'');
  doc.m_w->OpenContent(1);
  return doc;
}

ErrorDocument& ErrorDocument::Text(std::string_view text) {
  m_w->Text(text, xml::kText);
  return *this;
}

ErrorDocument& ErrorDocument::Number(long long value) {
  char buf[24];
  return Text(Decimal(buf, value));
}

std::string ErrorDocument::Take() { return m_w->Take().TakeString(); }

ErrorEntries::ErrorEntries() : m_entries(std::make_unique<XmlWriter>()) {}
ErrorEntries::~ErrorEntries() = default;

void ErrorEntries::Add(int32_t line, std::string_view text) {
  // Past the listed entries only a count: a file of a million bad lines
  // must not hold a document of a million errors in memory.
  if (m_count++ >= kMaxListed) return;
  char buf[24];
  m_entries->Start(kErr);
  m_entries->Attr("Line", Decimal(buf, line));
  m_entries->OpenContent(1);
  m_entries->Text(text, xml::kText);
  m_entries->End();
}

void ErrorEntries::clear() {
  m_entries->Clear();
  m_count = 0;
}

std::string ErrorEntries::Document() const {
  if (m_count == 0) return {};
  XmlWriter doc;
  doc.Start(kError);
  doc.Append(*m_entries);
  if (m_count > kMaxListed) {
    char buf[24];
    doc.Start(kErr);
    doc.OpenContent(1);
    doc.Text("There are ", xml::kText);
    doc.Text(Decimal(buf, static_cast<long long>(m_count - kMaxListed)), xml::kText);
    doc.Text(" more errors, not listed.", xml::kText);
    doc.End();
  }
  return doc.Take().TakeString();
}

namespace {

// The engine escapes the texts it writes once more than XML needs, and a
// host undoes that; a reference it does not know stays as it is. Line ends
// become blanks, so that an entry is one line.
std::string HostText(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t taken = 0;
    for (const auto& [name, c] : kNamed)
      if (text.substr(i).starts_with(name)) {
        out.push_back(c);
        taken = name.size();
        break;
      }
    if (taken == 0) {
      out.push_back(text[i] == '\n' || text[i] == '\r' ? ' ' : text[i]);
      taken = 1;
    }
    i += taken;
  }
  return out;
}

}  // namespace

std::vector<ErrorEntry> ErrorEntriesOf(std::string_view document) {
  std::vector<ErrorEntry> entries;
  pugi::xml_document doc;
  if (!doc.load_buffer(document.data(), document.size())) return entries;
  const pugi::xml_node root = doc.document_element();
  const long rootLine = root.attribute("Line").as_int();
  const auto add = [&](const pugi::xml_node& node) {
    std::string text = HostText(node.text().get());
    if (text.empty()) return;
    const long line = node.attribute("Line").as_int();
    entries.push_back({line != 0 ? line : rootLine, std::move(text)});
  };
  if (root.first_child().type() != pugi::node_element) add(root);
  for (const pugi::xml_node& entry : root.children())
    if (entry.type() == pugi::node_element) add(entry);
  return entries;
}

}  // namespace zephrin

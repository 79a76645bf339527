// The check a host's loader makes of a returned text: a namespace-aware XML
// parser (expat) must take it whole. Shared by the fuzz targets and the tests.
#pragma once

#include <expat.h>

#include <string>
#include <string_view>

namespace zephrin::fuzz {

// "" when `text` is a well-formed, namespace-well-formed XML document, else
// the parser's reason with its line and column.
inline std::string XmlProblem(std::string_view text) {
  XML_Parser parser = XML_ParserCreateNS("UTF-8", '\x01');
  if (!parser) return "the parser could not be created";
  std::string problem;
  if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), /*isFinal=*/1) == XML_STATUS_ERROR) {
    problem = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
              std::to_string(XML_GetCurrentColumnNumber(parser));
  }
  XML_ParserFree(parser);
  return problem;
}

// What a read may return: a well-formed document, an empty text (a DIF file
// without a usable header, as hosts know it) or the text for a file name of
// no known format; nothing else.
inline std::string ReadOutcomeProblem(std::string_view text) {
  if (text.empty() || text.starts_with("NOT A CSV,DIF, TXT or PRN FILE-")) return {};
  return XmlProblem(text);
}

}  // namespace zephrin::fuzz

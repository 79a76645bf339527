#include "jurisdiction/jurisdiction_read.h"

#include <algorithm>
#include <cstdarg>

#include "jurisdiction/jur_messages.h"
#include "jurisdiction/jurisdiction_sources.h"
#include "platform/format.h"
#include "platform/text.h"
#include "readers/plain_reader.h"

namespace zephrin {

bool JurisdictionSettings::LessNoCase::operator()(std::string_view a, std::string_view b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = AsciiLower(a[i]), y = AsciiLower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

int JurisdictionSettings::FindCategoryType(std::string_view text) const {
  const auto it = categoryTypes.find(text);
  return it == categoryTypes.end() ? 0 : it->second;
}

JurisdictionRead::JurisdictionRead(JurisdictionSettings& settings, const Tracer* trace,
                                   const JurisdictionRequest& request)
    : m_s(settings),
      m_trace(trace),
      m_req(request),
      m_traits(FindJurisdictionTraits(request.importType)),
      m_record(request.recordElement) {}

void JurisdictionRead::TraceF(const char* format, ...) const {
  if (!m_trace || !m_trace->on()) return;
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  m_trace->Line(line);
}

ReadResult JurisdictionRead::Run(const ReadHooks& hooks) {
  ReadResult result;
  TraceLine("ReadImportFile: calling AnalyzeSource()");
  SourceShape shape;
  if (Analyze(shape, result)) {
    TraceLine("ReadImportFile: back from AnalyzeSource");
    m_xml.SetSink(hooks.sink);
    switch (shape.layout) {
      case JurisdictionShape::kTabular: {
        JurisdictionLineSource source(m_text);
        result = ReadColumns(source, /*dif=*/false, hooks);
        break;
      }
      case JurisdictionShape::kDif: {
        JurisdictionDifSource source(m_text, shape.difDataPos, shape.totalCols);
        result = ReadColumns(source, /*dif=*/true, hooks);
        break;
      }
      case JurisdictionShape::kListed: result = ReadListed(hooks); break;
    }
  }
  // A file that shrank under the read gave zeros for what it lost.
  if (m_text.lost()) result = ChangedFailure(m_req.dataFile);
  return result;
}

void JurisdictionRead::SplitCatassnKey(std::string_view key, std::string& name, std::string& kind) {
  const std::size_t blank = key.rfind(' ');
  if (blank == std::string_view::npos) {
    name.assign(key);
    kind.clear();
  } else {
    name.assign(key.substr(0, blank));
    kind.assign(key.substr(blank + 1));
  }
  if (name == "all states") name = "allstate";
  if (kind != "prov" && name.size() == 2) name += "000000";
}

// ---- The document --------------------------------------------------------------------

void JurisdictionRead::StartRoot(JurisdictionShape shape) {
  m_xml.Start(m_req.rootElement);
  m_xml.Attr("OBJID", m_req.id);
  if (m_traits.yearAndType[static_cast<int>(shape)]) {
    m_xml.Attr("YEAR", jur::Decimal(m_req.currentYear).view());
    m_xml.Attr("TYPE", m_s.provincial ? "PROV" : "TAX");
  }
  if (m_req.batch) m_xml.Attr("CONUM", "");
  if (shape == JurisdictionShape::kListed) m_xml.Attr("listed", "X");
}

void JurisdictionRead::StartRecord(Record& record, int32_t line) {
  m_xml.MaybeFlush();
  m_xml.Start(m_record);
  m_xml.Attr("Line", jur::Decimal(line).view());
  record = Record{};
  record.open = true;
}

void JurisdictionRead::EndRecord(Record& record) {
  if (!record.open) return;
  if (record.jurs) m_xml.End();
  m_xml.End();
  record = Record{};
}

void JurisdictionRead::AddLineError(std::string_view message, int32_t line) {
  m_scratch.assign(message);
  m_scratch.append(" Jurisdiction - ");
  xml::AppendEngineEscaped(m_scratch, m_field);
  m_errors.Add(line, m_scratch);
}

std::string_view JurisdictionRead::LogicCode(std::string_view cell) {
  m_scratch = UpperAscii(cell);
  if (m_scratch == "X") m_scratch = "1";
  else if (m_scratch == "N") m_scratch = "2";
  else if (m_scratch == "D") m_scratch = "3";
  else if (m_scratch == "B") m_scratch = "4";
  return m_scratch;
}

ReadResult JurisdictionRead::Finish(ProgressTicker& progress, const RowSource& source) {
  m_xml.EndAll();
  if (!progress.Done(source.size())) return CancelledRead();
  if (!m_errors.empty()) return ReadResult::Error(m_errors.Document());
  ReadResult result;
  result.outcome = ReadOutcome::kDocument;
  result.valuesWritten = m_valuesWritten;
  result.splitAmounts = m_listedSplits.lines.empty() ? m_splitWatch.Finish(m_headerCells) : std::move(m_listedSplits);
  result.splitAmounts.reviewed = false;
  // A value past the header's last column that a split amount moved there
  // is told of as that amount.
  const auto& splits = result.splitAmounts.lines;
  if (std::none_of(splits.begin(), splits.end(), [&](const SplitAmount& s) { return s.line == m_beyondHeaderLine; }))
    result.valueBeyondHeaderLine = m_beyondHeaderLine;
  // A DIF file cut short (a copy broken off) ends without its end mark.
  result.endMarkMissing = source.endMarkMissing();
  // A streamed document's rest goes to the sink; the text is then empty.
  result.text = m_xml.Take();
  return result;
}

}  // namespace zephrin

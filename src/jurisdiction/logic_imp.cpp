#include "jurisdiction/logic_imp.h"

#include "platform/text.h"

namespace zephrin {

void LogicImp::FillJurisdictionCaption(std::string_view list) {
  if (m_trace && m_trace->on()) {
    TokenizeList(list, [&](int pos, std::string_view token) {
      if (pos == 0) m_trace->Line("FillJurisdictionCaption: ii=0, strTemp=" + LowerAscii(token));
    });
  }
  if (m_settings.tables.LoadList(list, /*logicSubstitutions=*/true)) m_settings.provincial = true;
}

void LogicImp::PutCategoryTypes(std::string_view text) {
  // Kept as the host gives them and compared without regard to case, so a
  // type sent in capitals matches the cell text whatever its case. A type
  // given twice (in any case) keeps its later position. The types replace
  // those given before: one left over would share a position with a new one.
  m_settings.categoryTypes.clear();
  TokenizeList(text, [&](int pos, std::string_view token) {
    const auto it = m_settings.categoryTypes.find(token);
    if (it != m_settings.categoryTypes.end()) it->second = pos + 1;
    else m_settings.categoryTypes.emplace(std::string(token), pos + 1);
  });
}

void LogicImp::SetCountryOfOperation(std::string_view id, std::string_view abbrev, std::string_view name) {
  m_settings.countryId.assign(id);
  m_settings.countryAbbrev = LowerAscii(abbrev);
  m_settings.countryName.assign(name);
}

ReadResult LogicImp::Read(const JurisdictionRequest& request, const ReadHooks& hooks) {
  JurisdictionRead read(m_settings, m_trace, request);
  return read.Run(hooks);
}

Expected<SourceShape> LogicImp::AnalyzeSource(const JurisdictionRequest& request, ReadResult* failure) {
  JurisdictionRead read(m_settings, m_trace, request);
  SourceShape shape;
  ReadResult ended;
  if (read.Analyze(shape, ended)) return shape;
  Error error{ended.outcome == ReadOutcome::kEmpty ? ErrorCode::kInvalid : ErrorCode::kNotFound,
              std::string(ended.text.view()), 0};
  if (failure) *failure = std::move(ended);
  return error;
}

}  // namespace zephrin

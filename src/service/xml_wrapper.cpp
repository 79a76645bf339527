#include "service/xml_wrapper.h"

#include <cstdio>

#include "files/writable_folder.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "templates/store_location.h"

namespace zephrin {

CxmlWrapper::CxmlWrapper(UserInterface* ui) : m_trace(TraceSink::FromEnvironment()) {
  SetUserInterface(ui);
  m_logicImp.SetTrace([this](std::string_view line) { Trace(line); });
}

CxmlWrapper::~CxmlWrapper() = default;

void CxmlWrapper::SetUserInterface(UserInterface* ui) {
  if (ui) {
    m_ui = ui;
    return;
  }
  if (!m_ownUi) m_ownUi = std::make_unique<ConsoleUserInterface>();
  m_ui = m_ownUi.get();
}

// ---- Trace ------------------------------------------------------------------

void CxmlWrapper::Trace(std::string_view line) {
  if (m_trace) m_trace->Write(line);
}

void CxmlWrapper::Trace() {
  if (m_trace) m_trace->Write(m_strTrace);
}

void CxmlWrapper::TraceF(const char* format, ...) {
  if (!m_trace) return;
  va_list args;
  va_start(args, format);
  m_strTrace = FormatV(format, args);
  va_end(args);
  Trace();
}

void CxmlWrapper::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  m_ui->ShowMessage(AnsiToUtf8(caption), AnsiToUtf8(text), icon);
}

void CxmlWrapper::SetResultText(std::string_view ansiText) { m_bstrXML = AnsiToUtf8(ansiText); }

// ---- Setters ------------------------------------------------------------------

Status CxmlWrapper::GetTemplateNames() { return kOk; }

Status CxmlWrapper::SetImportRights(int, int32_t) { return kOk; }

Status CxmlWrapper::PutCategoryTypes(std::string_view value) {
  m_logicImp.PutCategoryTypes(Utf8ToAnsi(value));
  return kOk;
}

Status CxmlWrapper::SetBatchIndicator(int32_t) {
  // Any value turns batch mode on; nothing turns it off again.
  m_bDoingBatch = true;
  return kOk;
}

Status CxmlWrapper::FillJurisdictionCaptions(std::string_view value) {
  std::string text = Utf8ToAnsi(value);
  const std::string lower = LowerAscii(std::string_view(text).substr(0, 5));
  if (lower.starts_with("state") || lower.starts_with("logic")) m_strStateJurisdictions = std::move(text);
  else if (lower.starts_with("ti")) m_strTIJurisdictions = std::move(text);
  else if (lower.starts_with("prov")) m_strProvJurisdictions = std::move(text);
  return kOk;
}

Status CxmlWrapper::SetCurrentYear(int16_t value) {
  m_nCurrentYear = value;
  return kOk;
}

Status CxmlWrapper::TaxReturnType(std::string_view value) {
  m_strTaxReturnType = Utf8ToAnsi(value);
  return kOk;
}

Status CxmlWrapper::SetMiscItems(int WhichItem, int Item) {
  if (WhichItem == 1) m_bSaveTemplatePath = Item == 1;
  else if (WhichItem == 2 && Item >= 1 && Item <= 4) m_bMiscOption[static_cast<std::size_t>(Item - 1)] = true;
  return kOk;
}

Status CxmlWrapper::SetCountryOfOperation(std::string_view pCountryID, std::string_view pCountryAbbrev,
                                          std::string_view pCountryName) {
  m_strCountryID = Utf8ToAnsi(pCountryID);
  m_strCountryAbbrev = Utf8ToAnsi(pCountryAbbrev);
  m_strCountryName = Utf8ToAnsi(pCountryName);
  m_logicImp.SetCountryOfOperation(m_strCountryID, m_strCountryAbbrev, m_strCountryName);
  return kOk;
}

Status CxmlWrapper::SetCountryJurisdictions(std::string_view CountryJurXML) {
  // Kept as UTF-8: it is XML text, parsed by the reader that needs it.
  m_strCountryJurXML.assign(CountryJurXML);
  return kOk;
}

Status CxmlWrapper::InitInsurWPTemplate(std::string_view insurwptemplate) {
  const std::string text = Utf8ToAnsi(insurwptemplate);
  m_insurWPNames.clear();
  m_insurWPElements.clear();
  // Every ";" ends an item; a last piece without ";" is an item when not empty.
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t semi = text.find(';', start);
    if (semi == std::string::npos) {
      if (start < text.size()) m_insurWPNames.push_back(text.substr(start));
      break;
    }
    m_insurWPNames.push_back(text.substr(start, semi - start));
    start = semi + 1;
  }
  // The lists hold at most 19 items of at most 59 characters; more is cut.
  if (m_insurWPNames.size() > 19) m_insurWPNames.resize(19);
  for (auto& name : m_insurWPNames) {
    if (name.size() > 59) name.resize(59);
    std::string element = name;
    for (std::size_t i = 0; i < element.size(); ++i) {
      const char c = element[i];
      const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
      const bool later = letter || (c >= '0' && c <= '9') || c == '-' || c == '.';
      if (i == 0 ? !letter : !later) element[i] = '_';
    }
    m_insurWPElements.push_back(std::move(element));
  }
  m_insurWPNamePtrs.clear();
  m_insurWPElementPtrs.clear();
  for (const auto& n : m_insurWPNames) m_insurWPNamePtrs.push_back(n.c_str());
  for (const auto& e : m_insurWPElements) m_insurWPElementPtrs.push_back(e.c_str());
  m_insurWPNamePtrs.push_back("");
  m_insurWPElementPtrs.push_back("");
  return kOk;
}

// ---- Writable folder and template store -------------------------------------

Status CxmlWrapper::GetWriteableFolderPath(std::string& pLocalLowLocation) {
  const WriteableFolderResult folder = FindWriteableFolder(*m_ui);
  if (!folder.ok) return kFalse;
  if (folder.usingTempFolder) m_bUsingTempFolder = true;
  pLocalLowLocation = folder.path;
  return kOk;
}

bool CxmlWrapper::EstablishTemplateStore() {
  const auto location = EstablishStoreLocation(*m_ui, m_bSaveTemplatePath);
  if (!location) return false;
  if (location->usingTempFolder) m_bUsingTempFolder = true;
  m_szWriteableFolder = location->writeableFolder;
  m_szTemplateFile = location->templateFile;
  return true;
}

}  // namespace zephrin

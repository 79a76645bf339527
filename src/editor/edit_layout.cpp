// EditLayout: opens the layout editor for a data file and returns the name of
// the template the user ends it with.
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "editor/editor_host.h"
#include "platform/codepage.h"
#include "service/xml_wrapper.h"

namespace zephrin {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

Status CxmlWrapper::EditLayout(std::string_view pTemplateName, int16_t IntlType, std::string_view pImportType,
                               std::string_view pImportFileName, std::optional<std::string>& pReturnedTemplateName) {
  Trace("EditLayout: top");
  pReturnedTemplateName.reset();
  m_szImportFileOs.assign(pImportFileName);
  m_szImportFile = Utf8ToAnsi(pImportFileName);
  DeriveFormat(m_szImportFile);

  LayoutEditorInputs in;
  in.templateName = Utf8ToAnsi(pTemplateName);
  in.hostCode = Utf8ToAnsi(pImportType);
  in.dataFileName = m_szImportFile;
  in.dataFilePath = m_szImportFileOs;
  in.taxReturnType = m_strTaxReturnType;
  in.intlKind = in.hostCode == "INTL" ? IntlType : 0;
  in.layoutLetter = m_cFormat == 'S' || m_cFormat == 'I' ? m_cFormat : 'R';
  in.batchMode = m_bDoingBatch;
  in.options = m_bMiscOption;
  if (!m_insurWPNamePtrs.empty()) in.insurWPItems = m_insurWPNamePtrs.data();
  // The template folder is the store's: find it now if the host has not
  // asked for it yet, rather than write a store in an unknown place.
  if (m_szTemplateFile.empty()) EstablishTemplateStore();
  in.iniPath = m_szTemplateFile;
  TraceF("EditLayout: ImportType=%s, template=%s, file=%s, format=%c", in.hostCode.c_str(), in.templateName.c_str(),
         m_szImportFile.c_str(), in.layoutLetter);

  // The data file stays open while the editor runs.
  struct stat st {};
  std::unique_ptr<std::FILE, FileCloser> file;
  if (::stat(m_szImportFileOs.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    file.reset(std::fopen(m_szImportFileOs.c_str(), "rb"));
  if (!file) {
    MessageBox("Error opening/reading " + m_szImportFile, "Import", MessageIcon::None);
    return kOk;
  }
  if (m_editorHost == nullptr) {
    MessageBox("The layout editor cannot be shown: this front end has no window for it.", "Import",
               MessageIcon::None);
    return kOk;
  }
  const std::string name = m_editorHost->RunEditor(in, [this](std::string_view line) { Trace(line); });
  pReturnedTemplateName = AnsiToUtf8(name);
  TraceF("EditLayout: returned %s", name.c_str());
  return kOk;
}

}  // namespace zephrin

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
  const std::string osPath(pImportFileName);
  const std::string ansiPath = Utf8ToAnsi(pImportFileName);
  const std::optional<SourceFormat> format = ReadService::FormatOfName(ansiPath);

  LayoutEditorInputs in;
  in.templateName = Utf8ToAnsi(pTemplateName);
  in.hostCode = Utf8ToAnsi(pImportType);
  in.dataFileName = ansiPath;
  in.dataFilePath = osPath;
  in.taxReturnType = m_settings.taxReturnType();
  in.intlKind = in.hostCode == "INTL" ? IntlType : 0;
  in.layoutLetter = format == SourceFormat::kCsv ? 'S' : format == SourceFormat::kDif ? 'I' : 'R';
  in.batchMode = m_settings.batch();
  in.options = m_settings.editorOptions();
  in.insurWPItems = m_settings.insuranceNameList();
  // The template folder is the store's: find it now if the host has not
  // asked for it yet, rather than write a store in an unknown place.
  if (!m_store.located()) (void)EstablishTemplateStore();
  in.iniPath = m_store.path();
  TraceF("EditLayout: ImportType=%s, template=%s, file=%s, format=%c", in.hostCode.c_str(), in.templateName.c_str(),
         ansiPath.c_str(), in.layoutLetter);

  // The data file stays open while the editor runs.
  struct stat st {};
  std::unique_ptr<std::FILE, FileCloser> file;
  if (::stat(osPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) file.reset(std::fopen(osPath.c_str(), "rb"));
  if (!file) {
    MessageBox("Error opening/reading " + ansiPath, "Import", MessageIcon::None);
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

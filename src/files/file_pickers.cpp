// The file pickers: the data file to import, where an export goes, and a PDF
// file. The dialogs are the user-interface layer's; the folders last used are
// remembered in the template store.
#include <array>

#include "files/file_services.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "templates/store.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

constexpr const char* kDataFilter = "Comma Delimited(*.csv)|*.csv|Data Interchange Format(*.dif)|*.dif|";
constexpr const char* kDataFilterWithText =
    "Comma Delimited(*.csv)|*.csv|Data Interchange Format(*.dif)|*.dif|Text Files(*.txt;*.prn)|*.txt;*.prn|";
constexpr const char* kPdfFilter = "PDF File(*.pdf)|*.pdf|";

// Import types whose data never comes as fixed-width text.
constexpr std::array<std::string_view, 15> kNoTextFileTypes = {
    "CAT", "ENTITY", "TICAT", "TIBAL", "INTL", "APPORT", "LOSS", "CREDIT",
    "AMTACE", "CURSTI", "CURFEDTI", "AMT", "M3CODE", "TIMAP", "CTPRCN"};

constexpr std::string_view kImportCurDir = "Import:CurDir";
constexpr std::string_view kExportCurDir = "Export:CurDir";
constexpr std::string_view kCurDirKey = "CurDir";

// The last folder separator of a chosen path: "/", or "\\" in a path written
// the Windows way (as some front ends hand them); npos when there is none.
std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

// The folder part of a chosen path, "" when it names none.
std::string FolderOf(std::string_view path) {
  const std::size_t sep = LastSeparator(path);
  if (sep == std::string_view::npos) return {};
  if (sep == 0) return std::string(path.substr(0, 1));
  return std::string(path.substr(0, sep));
}

// The extensions of a "csv,txt" list, lower-cased, blanks around each
// removed, empty ones skipped.
std::vector<std::string> SplitFileTypes(std::string_view list) {
  std::vector<std::string> types;
  for (const std::string_view piece : SplitText(list, ',')) {
    const std::string_view item = Trim(piece);
    if (!item.empty()) types.push_back(LowerAscii(item));
  }
  return types;
}

// Gives the chosen name the extension of the selected filter entry: a name
// without one gets it, and so does a name whose extension is three
// characters and another one, or of any other length.
void ApplyExtensionRule(std::string& path, std::string_view extension) {
  if (extension.empty()) return;  // no entry selected: the name stays as chosen
  const std::size_t sep = LastSeparator(path);
  const std::string_view name = std::string_view(path).substr(sep == std::string::npos ? 0 : sep + 1);
  const std::size_t dot = name.rfind('.');
  bool append = true;
  if (dot != std::string_view::npos) {
    const std::string_view current = name.substr(dot + 1);
    append = current.size() != 3 || !EqualsIgnoringCase(current, extension);
  }
  if (append) path.append(".").append(extension);
}

std::string StoredFolder(const std::string& iniPath, std::string_view section) {
  std::string value;
  ReadStoreValue(iniPath, section, kCurDirKey, value);
  return AnsiToUtf8(value);
}

// Remembers the folder of a chosen data file, and the file itself in the
// associations: one entry per data file (an entry of the same file, with or
// without its template, keeps its place; otherwise the first free number).
// Texts that would break the file's lines are left out.
void RememberDataFile(ProfileDocument& doc, const std::string& folder, const std::string& upper) {
  if (!folder.empty() && CheckProfileTexts(kImportCurDir, kCurDirKey, folder)) doc.Set(kImportCurDir, kCurDirKey, folder);
  if (!CheckProfileTexts(kFileNameSection, std::nullopt, upper)) return;
  const ListSlot slot = FindListSlot(doc, kFileNameSection, [&](std::string_view value) { return FilePart(value) == upper; });
  if (!slot.found) doc.Set(kFileNameSection, slot.key, upper);
}

}  // namespace

Status FileServices::BrowseForImport(std::string_view pImportType, std::string& pImportFileName) {
  m_locateStore();

  FileDialogRequest request;
  request.kind = FileDialogRequest::Kind::Open;
  request.title = "Select Import File";
  bool noText = false;
  for (std::string_view code : kNoTextFileTypes) noText = noText || code == pImportType;
  request.filter = noText ? kDataFilter : kDataFilterWithText;
  request.filterIndex = 1;
  request.initialFolder = StoredFolder(m_store.path(), kImportCurDir);
  request.mustExist = true;

  pImportFileName.clear();
  const std::optional<FileDialogResult> chosen = m_ui->ChooseFile(request);
  // Cancelled: nothing is remembered.
  if (!chosen || chosen->path.empty()) return kOk;
  const std::string& path = chosen->path;
  // A path with a NUL byte names no file. One with a line break or a "^" is
  // a file's but cannot be remembered (see RememberableFileName).
  if (path.find('\0') != std::string::npos) {
    m_trace.Line("BrowseForImport: the chosen path holds a NUL byte and names no file");
    return kOk;
  }
  if (!m_store.path().empty() && RememberableFileName(path)) {
    const std::string ansi = Utf8ToAnsi(path);
    const std::string folder = FolderOf(ansi);
    const std::string upper = UpperAscii(ansi);
    const Done stored =
        UpdateProfileFile(m_store.path(), [&](ProfileDocument& doc) { RememberDataFile(doc, folder, upper); });
    if (!stored)
      m_trace.Format("BrowseForImport: the template store could not be updated: %s", stored.error().message.c_str());
  }
  pImportFileName = path;
  RememberPickedPath(path);
  return kOk;
}

Status FileServices::SelectExportFile(std::string_view pFileTypes, std::string_view pDefaultExportFileName,
                                     std::string& pExportFileName) {
  // The writable folder is looked for (it is made when missing), but the
  // template store is left as it is known: the remembered folder is read
  // from, and kept in, the store only once BrowseForImport or GetTemplateInfo
  // has established where it lives, so that this call changes nothing about
  // what a later read finds.
  if (m_store.path().empty()) {
    std::string writable;
    GetWriteableFolderPath(writable);
  }

  const std::vector<std::string> types = SplitFileTypes(pFileTypes);
  FileDialogRequest request;
  request.kind = FileDialogRequest::Kind::Save;
  request.title = "Select Export File";
  for (const std::string& ext : types) {
    request.filter.append(UpperAscii(ext)).append(" File (*.").append(ext).append(")|*.").append(ext).append("|");
  }
  request.filterIndex = 1;
  request.initialFolder = StoredFolder(m_store.path(), kExportCurDir);
  request.initialFileName.assign(pDefaultExportFileName);
  request.overwritePrompt = true;

  pExportFileName.clear();
  const std::optional<FileDialogResult> chosen = m_ui->ChooseFile(request);
  // Cancelled: an empty path, and the remembered folder stays as it was.
  if (!chosen || chosen->path.empty()) return kOk;
  std::string path = chosen->path;

  const std::string folder = FolderOf(path);
  if (!folder.empty() && !m_store.path().empty()) {
    if (const Done kept = WriteStoreValue(m_store.path(), kExportCurDir, kCurDirKey, Utf8ToAnsi(folder), false); !kept)
      m_trace.Format("SelectExportFile: the folder could not be remembered: %s", kept.error().message.c_str());
  }
  const int index = chosen->filterIndex;
  const std::string_view extension =
      index >= 1 && static_cast<std::size_t>(index) <= types.size() ? std::string_view(types[index - 1]) : "";
  ApplyExtensionRule(path, extension);

  pExportFileName = path;
  RememberPickedPath(path);
  return kOk;
}

Status FileServices::SelectExportPDFFile(std::string& pExportPDFPath) {
  FileDialogRequest request;
  request.kind = FileDialogRequest::Kind::Open;
  request.title = "Select PDF Export File";
  request.filter = kPdfFilter;
  request.filterIndex = 1;
  request.overwritePrompt = true;
  const std::optional<FileDialogResult> chosen = m_ui->ChooseFile(request);
  pExportPDFPath = chosen ? chosen->path : std::string();
  RememberPickedPath(pExportPDFPath);
  return kOk;
}

}  // namespace zephrin

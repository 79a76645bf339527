// What the import page asks of the server beside the host protocol: the
// uploads it may import from (listed and removed; files/upload_folder.h),
// a line of a data file with an item's cell marked, and the captions of the
// items a read's records hold. Each answer is JSON for the page, and a
// failure is {"error": reason in words}.
//
//   {"action":"uploads"}                          -> {"uploads":[{"name","size","path"},...]}
//   {"action":"removeUpload","name":N}            -> the same, after removing N
//   {"action":"dataLine","file":F,"line":L,"template":T,"item":K}
//       -> {"line":L,"before":B,"marked":M,"after":A,"cut":bool}: line L of
//          data file F, the cell (or the characters) that template T reads
//          for item K marked; all of it in "before" when nothing is marked.
//          A UTF-16 line is shown as text; a workbook's line L is row L of
//          the template's sheet, its cells parted by tabs.
//   {"action":"captions","type":CODE,"intlKind":K} -> {"captions":{ELEMENT:CAPTION,...}}
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace zephrin {

// Whether `action` is one of the above.
bool IsPageFilesAction(const std::string& action);

// Answers one of the above. `writableFolder` holds the template store and the
// uploads; empty: there are neither.
nlohmann::json PageFilesAction(const std::string& action, const nlohmann::json& request,
                               const std::string& writableFolder);

}  // namespace zephrin

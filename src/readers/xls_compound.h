// Inside the .xls source: a check of the compound document (the little file
// system inside an .xls) made before FreeXL opens it.
//
// FreeXL walks the document's allocation table, directory and streams
// trusting what the file says: a name length past its field, a chain that
// loops, a stream longer than the file or a sector past its end make it read
// past its buffers, loop without end, take memory without bound or lose
// what it took. The check walks the document as FreeXL will, with every
// read and every length checked, and refuses a document that would lead
// FreeXL astray. A document FreeXL refuses cleanly by itself is left to it,
// so its refusal reads as before.
#pragma once

#include <string>

#include "platform/expected.h"
#include "readers/xls_records.h"

namespace zephrin::workbook {

// Fails (kInvalid, "its compound document is damaged") for a document that
// FreeXL must not be given. For any other file, a compound document or not,
// gives the sheets whose cells FreeXL cannot give.
[[nodiscard]] Expected<SheetLosses> CheckCompoundDocument(const std::string& osPath);

}  // namespace zephrin::workbook

// Drafts: the unsaved work of a layout editor that ended because its page
// went away. A draft is kept in the "drafts" folder beside the template store
// (never in the store itself), one file per data file and import type, until
// it is restored, saved over by a later draft, or its template is saved.
//
// A draft file is JSON text (UTF-8):
//   {"dataFile": PATH, "importType": CODE, "intlKind": N, "template": NAME,
//    "newTemplate": B, "current": I, "positions": {"KEY": "COL LEN CODE", ...},
//    "keys": {"Sheet": NAME, "Amounts": STYLE, "KEY.Credit": "COL LEN CODE", ...}}
// with a position for every item of the editor, placed or not, as the store
// writes them, and the template's other keys as OK would save them (how the
// file is read, and the credit columns). A draft written before drafts kept
// those keys has no "keys": restoring it leaves them as the editor has them.
#pragma once

#include "platform/expected.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/layout_editor.h"
#include "platform/export.h"

namespace zephrin {

struct EditorDraft {
  std::string dataFile;       // as the file system names it
  std::string importType;     // the host import type code
  int intlKind = 0;
  std::string templateName;   // Windows-1252 text; "" for a new template not named yet
  bool newTemplate = true;
  int current = -1;           // the item that was selected
  std::vector<std::pair<std::string, FieldInfo>> positions;  // by item key, in the editor's order
  // The template's keys beside the positions; nullopt when the draft has none.
  std::optional<std::vector<std::pair<std::string, std::string>>> keys;
};

// The draft of an editor as it stands.
ZEPHRIN_API EditorDraft DraftOf(const CCLayout& e);

// The draft file of the editor's data file and import type, in the folder
// "drafts" beside the template store; "" when the store's place is unknown.
ZEPHRIN_API std::string DraftPath(const LayoutEditorInputs& in);

ZEPHRIN_API std::string DraftText(const EditorDraft& draft);
// nullopt for a text that is not a whole draft.
ZEPHRIN_API std::optional<EditorDraft> ParseDraft(std::string_view text);

// Writes the draft file whole or not at all, making its folder when missing.
[[nodiscard]] ZEPHRIN_API Done WriteDraft(const std::string& path, const EditorDraft& draft);
// The draft in a file; nullopt when there is none or it cannot be read whole.
ZEPHRIN_API std::optional<EditorDraft> ReadDraft(const std::string& path);

// Whether the draft is the work of this editor: the same data file, import
// type and international kind, and the same template (both new, or the same
// name, compared without case).
ZEPHRIN_API bool DraftFits(const EditorDraft& draft, const CCLayout& e);

// The draft's positions for the editor's items. An item the draft does not
// name, or a grid column the data file no longer has, is not placed.
ZEPHRIN_API FieldInfoArray DraftPositions(const EditorDraft& draft, const CCLayout& e);

// Chooses the draft's sheet of a workbook, or separator of separated text,
// so that its positions fall on the grid they were made on. False when the
// workbook no longer has the draft's sheet: the sheet stays as it is, and the
// positions made on the other sheet fit no grid here.
[[nodiscard]] ZEPHRIN_API bool RestoreDraftReading(const EditorDraft& draft, CCLayout& e);
// The draft's credit columns and amounts style; nullopt when it keeps none.
ZEPHRIN_API std::optional<FieldInfoArray> DraftCredits(const EditorDraft& draft, const CCLayout& e);
ZEPHRIN_API std::optional<AmountStyle> DraftAmounts(const EditorDraft& draft);

// Whether the editor holds all of the draft's work: every item the draft
// places where the draft has it, and the same template keys.
ZEPHRIN_API bool HoldsDraft(const EditorDraft& draft, const CCLayout& e);

}  // namespace zephrin

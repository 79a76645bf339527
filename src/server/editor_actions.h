// The layout editor's actions as the hub applies them to the editor model: one
// short handler per action, found by name in a table, and the editor's state
// as the page draws it. Used by EditorHub under its lock.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor/editor_draft.h"
#include "editor/layout_editor.h"
#include "platform/user_interface.h"

namespace zephrin::hub {

using Json = nlohmann::json;

// The positions of every item as a step of the undo list.
// The credit columns and the amounts choice come back too when the step
// holds them.
struct Step {
  FieldInfoArray fields{};
  int current = -1;
  std::optional<FieldInfoArray> credits{};
  std::optional<AmountStyle> amounts{};
};

// The editor's positions, credit columns and amounts as a step.
Step StepOf(const CCLayout& e);
// Whether the editor's positions, credit columns or amounts differ from the step's.
bool Differs(const CCLayout& e, const Step& step);

// Puts every item back where `saved` has it, through the model's own
// operations, so that the grid's headers follow.
void RestorePositions(CCLayout& e, const Step& saved);

// The editor's whole state, as the page draws it.
Json StateJson(const CCLayout& e, unsigned session);

// Integer and text members of a request, with their fallbacks.
long GetLong(const Json& j, const char* key, long fallback = 0);
std::string GetString(const Json& j, const char* key);

Json TakeMessagesJson(RecordingUserInterface& ui);

// What one action works on, and what it leaves for the answer.
struct ActionContext {
  CCLayout& e;
  const Json& request;
  RecordingUserInterface& ui;
  std::vector<Step>& undo;
  const Step before;                        // the positions before the action
  std::function<Json()> preview;            // runs the live preview's read
  const EditorDraft* draft = nullptr;       // the draft the editor may restore
  bool draftRestored = false;               // the action restored it
  bool draftWhole = false;                  // ... and all of it
  bool recordStep = true;                   // the action is a step Undo can take back
  Json extra = Json::object();              // members of the answer beside the state
  std::optional<Json> reply{};              // an answer of its own, without the state
};

struct ActionEntry {
  std::string_view name;
  void (*handler)(ActionContext&);
  // A placement the model may refuse: the item then gets its position back.
  bool placing = false;
};

// The entry of an editor action; nullptr for an unknown name.
const ActionEntry* FindAction(std::string_view name);

// After a placing action: when the model refused the value, the item gets the
// position it had and the answer names the box and its range.
void ApplyRefusal(ActionContext& c);

// The answer to an editing action, but for the editor's state: the refusal
// handled, the step recorded for Undo, and the messages the action showed.
Json FinishAction(ActionContext& c, const ActionEntry& entry);

}  // namespace zephrin::hub

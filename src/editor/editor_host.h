// EditorHost: how the service object's EditLayout reaches a front end that can
// show the layout editor. The front end installs one on the service object;
// EditLayout hands it the editor's inputs and blocks until the user has ended
// the editor.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "editor/layout_editor.h"
#include "platform/export.h"

namespace zephrin {

class ZEPHRIN_API EditorHost {
 public:
  virtual ~EditorHost() = default;
  // Creates the editor with the user interface its message boxes go to, runs
  // its set-up, shows it, and returns when the user has pressed OK (after a
  // save) or Cancel. Returns the editor's template name at that point.
  virtual std::string RunEditor(const LayoutEditorInputs& inputs,
                                const std::function<void(std::string_view)>& trace) = 0;
};

}  // namespace zephrin

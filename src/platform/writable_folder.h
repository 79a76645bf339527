// The writable folder: where the template store and the host's files live.
//
// The folder is the calling service object's own when it has one (see
// WritableFolderScope), else $ZEPHRINIMPORT_HOME when set, else $XDG_DATA_HOME/zephrinimport,
// else ~/.local/share/zephrinimport, created when missing. When it cannot be
// had, a private folder serves and `usingTempFolder` is set:
// $XDG_RUNTIME_DIR/zephrinimport, else zephrinimport-UID in the temporary
// folder ($TMPDIR, else /tmp), made with mode 0700 and used only when it is a
// folder of the user's own that no one else may write (not a link). When
// neither can be had, the message box "Program was unable to find writeable
// folder path." (caption "Error", error icon) is shown, and that is the error.
#pragma once

#include <string>

#include "platform/expected.h"
#include "platform/user_interface.h"

namespace zephrin {

struct WriteableFolder {
  std::string path;              // UTF-8, without a trailing "/"
  bool usingTempFolder = false;
  // The preferred folder did not exist when this call began (whether or not
  // it could then be created).
  bool folderWasMissing = false;
  // The preferred folder was created by this call.
  bool created = false;
  // The system's text for the error that stopped the creation of the
  // preferred folder ("" when none); the private folder then serves.
  std::string createError;
  // When the private folder serves: the preferred folder it stands in for,
  // and why that one could not be had ("Permission denied", "it is not a
  // folder"), so that a front end can say where the templates went.
  std::string passedOver, passedOverReason;
};

[[nodiscard]] Expected<WriteableFolder> FindWriteableFolder(UserInterface& ui);

// A service object's own folder, which stands in for the environment's
// preferred folder in the calls the current thread makes while the scope
// lives (the C interface holds one around each call of an object). An empty
// folder stands for the environment's, and hides the folder of any scope
// around it.
class WritableFolderScope {
 public:
  explicit WritableFolderScope(const std::string& folder);
  ~WritableFolderScope();
  WritableFolderScope(const WritableFolderScope&) = delete;
  WritableFolderScope& operator=(const WritableFolderScope&) = delete;

 private:
  const std::string* m_previous;
};

}  // namespace zephrin

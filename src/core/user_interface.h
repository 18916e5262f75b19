// Everything a command asks or tells the user goes through this interface:
// message boxes and the file and folder choosers. The application implements
// it with real dialogs; tests implement it with a scripted fake. All texts are
// CP932 bytes; paths are the file system's bytes (UTF-8 on Linux).
#pragma once

#include <optional>
#include <string>

namespace qv {

enum class MsgIcon { kNone, kInformation, kWarning, kQuestion, kError };
enum class MsgButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel };
enum class MsgResult { kOk, kCancel, kYes, kNo, kRetry };

struct Message {
  std::string text;
  std::string caption;
  MsgIcon icon = MsgIcon::kNone;
  MsgButtons buttons = MsgButtons::kOk;
  // The button a plain Enter chooses; empty means the first button.
  std::optional<MsgResult> defaultButton;
};

struct FileDialogRequest {
  std::string title;              // CP932; empty for the system's default title
  std::string filter;             // CP932, "Name (*.ext)|*.ext|" pairs
  std::string defaultExtension;   // e.g. ".qd1", added to a name typed without one
  std::string proposedName;       // file name offered in the name field
  std::string startDirectory;     // folder the dialog opens in
  bool confirmOverwrite = false;  // save choosers: ask before replacing a file
};

struct FolderDialogRequest {
  std::string title;  // CP932
  std::string startDirectory;
};

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;

  virtual MsgResult ShowMessage(const Message& message) = 0;
  // The chosen file's full path, or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) = 0;

  // A notice that asks nothing and does not wait: the program goes on while
  // it is shown (a non-modal box in the window, one line on stderr in the
  // command-line tool). May be called on any thread. By default it is shown
  // as a message with its OK button.
  virtual void Notify(const Message& message) { ShowMessage(message); }

  // Shorthand for a message with one OK button.
  void Tell(std::string text, std::string caption, MsgIcon icon) {
    ShowMessage({std::move(text), std::move(caption), icon, MsgButtons::kOk, std::nullopt});
  }
};

}  // namespace qv

// The user interface port with real Qt dialogs: message boxes owned by the
// main window, and file and folder choosers.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/user_interface.h"

namespace qv::ui {

class QtUserInterface : public IUserInterface {
 public:
  explicit QtUserInterface(QWidget* owner = nullptr) : owner_(owner) {}

  void SetOwner(QWidget* owner) { owner_ = owner; }
  QWidget* Owner() const { return owner_; }

  MsgResult ShowMessage(const Message& message) override;
  // A non-modal box owned by the main window (object name kNoticeName),
  // shown without waiting; called off the user-interface thread it is posted
  // there.
  void Notify(const Message& message) override;
  static constexpr char kNoticeName[] = "notice";
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) override;

  // The message box a message is shown in (not yet shown).
  static std::unique_ptr<QMessageBox> BuildMessageBox(const Message& message, QWidget* owner);
  static MsgResult ResultOf(int standardButton);

  // "Name (*.ext)|*.ext|..." pairs as Qt name filters ("Name (*.ext)").
  static QStringList ConvertFilter(const std::string& cp932Filter);
  // A configured file dialog for the request.
  static std::unique_ptr<QFileDialog> BuildFileDialog(const FileDialogRequest& request, bool save,
                                                      QWidget* owner);
  // A typed name with the default extension added when it has none.
  static QString WithDefaultExtension(const QString& path, const std::string& defaultExtension);

  // Called with every box and chooser just before it runs modally; tests use
  // it to look at it and answer it.
  std::function<void(QDialog&)> beforeExec;

 private:
  // The window a box or chooser belongs to.
  QWidget* Parent() const;
  std::optional<std::string> RunFileDialog(const FileDialogRequest& request, bool save);

  QPointer<QWidget> owner_;
};

}  // namespace qv::ui

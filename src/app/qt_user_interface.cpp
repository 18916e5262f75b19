#include "app/qt_user_interface.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QPushButton>
#include <QThread>
#include <QTreeView>

#include "views/qt_text.h"

namespace qv::ui {

namespace {

QMessageBox::Icon IconOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kInformation:
      return QMessageBox::Information;
    case MsgIcon::kWarning:
      return QMessageBox::Warning;
    case MsgIcon::kQuestion:
      return QMessageBox::Question;
    case MsgIcon::kError:
      return QMessageBox::Critical;
    case MsgIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ButtonOf(MsgResult r) {
  switch (r) {
    case MsgResult::kOk:
      return QMessageBox::Ok;
    case MsgResult::kCancel:
      return QMessageBox::Cancel;
    case MsgResult::kYes:
      return QMessageBox::Yes;
    case MsgResult::kNo:
      return QMessageBox::No;
    case MsgResult::kRetry:
      return QMessageBox::Retry;
  }
  return QMessageBox::Ok;
}

// The buttons of a set, in the order they stand in the box.
std::vector<MsgResult> ButtonsOf(MsgButtons b) {
  switch (b) {
    case MsgButtons::kOk:
      return {MsgResult::kOk};
    case MsgButtons::kOkCancel:
      return {MsgResult::kOk, MsgResult::kCancel};
    case MsgButtons::kYesNo:
      return {MsgResult::kYes, MsgResult::kNo};
    case MsgButtons::kYesNoCancel:
      return {MsgResult::kYes, MsgResult::kNo, MsgResult::kCancel};
    case MsgButtons::kRetryCancel:
      return {MsgResult::kRetry, MsgResult::kCancel};
  }
  return {MsgResult::kOk};
}

QString ButtonText(MsgResult r) {
  switch (r) {
    case MsgResult::kOk:
      return QStringLiteral("OK");
    case MsgResult::kCancel:
      return QString::fromUtf8("キャンセル");
    case MsgResult::kYes:
      return QString::fromUtf8("はい(&Y)");
    case MsgResult::kNo:
      return QString::fromUtf8("いいえ(&N)");
    case MsgResult::kRetry:
      return QString::fromUtf8("再試行(&R)");
  }
  return {};
}

// The folder a chooser opens in: the folder itself, or the folder of a file
// path (the remembered PATH is the full path of the last file).
QString StartFolder(const std::string& start) {
  if (start.empty()) return {};
  QFileInfo info(QString::fromStdString(start));
  if (info.isDir()) return info.absoluteFilePath();
  QDir parent = info.absoluteDir();
  if (parent.exists()) return parent.absolutePath();
  return {};
}

// A chooser's size, type and date columns in the application's locale (set
// Japanese at start-up): the file system model writes sizes and dates in the
// system's locale and names a folder only in English.
class LocaleFileColumns final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || index.column() < 1 || index.column() > 3)
      return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    const QLocale locale;
    switch (index.column()) {
      case 1:
        return files->isDir(source) ? QString() : locale.formattedDataSize(files->size(source));
      case 2:
        if (files->isDir(source)) return QString::fromUtf8("フォルダー");
        return QIdentityProxyModel::data(index, role);
      default:
        return locale.toString(files->lastModified(source), QLocale::ShortFormat);
    }
  }
};

// Settings every chooser shares: Qt's own dialog, with its detail columns
// in the application's locale.
void PrepareChooser(QFileDialog& dlg) {
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setProxyModel(new LocaleFileColumns(&dlg));
}

}  // namespace

std::unique_ptr<QMessageBox> QtUserInterface::BuildMessageBox(const Message& message,
                                                              QWidget* owner) {
  auto box = std::make_unique<QMessageBox>(owner);
  box->setWindowTitle(ToQt(message.caption));
  box->setText(ToQt(message.text));
  box->setIcon(IconOf(message.icon));
  box->setTextFormat(Qt::PlainText);
  const auto buttons = ButtonsOf(message.buttons);
  for (MsgResult r : buttons) {
    QPushButton* b = box->addButton(ButtonOf(r));
    b->setText(ButtonText(r));
  }
  MsgResult def = message.defaultButton.value_or(buttons.front());
  if (QAbstractButton* b = box->button(ButtonOf(def))) {
    box->setDefaultButton(static_cast<QPushButton*>(b));
    b->setFocus();
  }
  // Escape answers as the window's close box does: Cancel, else No, else the
  // only button.
  for (MsgResult r : {MsgResult::kCancel, MsgResult::kNo}) {
    if (QAbstractButton* b = box->button(ButtonOf(r))) {
      box->setEscapeButton(b);
      break;
    }
  }
  return box;
}

MsgResult QtUserInterface::ResultOf(int standardButton) {
  switch (standardButton) {
    case QMessageBox::Ok:
      return MsgResult::kOk;
    case QMessageBox::Yes:
      return MsgResult::kYes;
    case QMessageBox::No:
      return MsgResult::kNo;
    case QMessageBox::Retry:
      return MsgResult::kRetry;
    default:
      return MsgResult::kCancel;
  }
}

QWidget* QtUserInterface::Parent() const {
  // Above an open dialog (a refusal inside the registration dialog), else
  // above the main window.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return owner_;
}

MsgResult QtUserInterface::ShowMessage(const Message& message) {
  auto box = BuildMessageBox(message, Parent());
  if (beforeExec) beforeExec(*box);
  box->exec();
  QAbstractButton* clicked = box->clickedButton();
  if (!clicked) {
    // Closed without a button (Escape with no escape button): the only button.
    return message.buttons == MsgButtons::kOk ? MsgResult::kOk : MsgResult::kCancel;
  }
  return ResultOf(box->standardButton(clicked));
}

void QtUserInterface::Notify(const Message& message) {
  // Owned by the main window, not above a dialog: it stays while the user
  // goes on, and goes when it is closed.
  auto show = [message, owner = owner_] {
    QMessageBox* box = BuildMessageBox(message, owner).release();
    box->setObjectName(QString::fromLatin1(kNoticeName));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
  };
  if (QThread::currentThread() == qApp->thread()) {
    show();
  } else {
    QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
  }
}

QStringList QtUserInterface::ConvertFilter(const std::string& cp932Filter) {
  const QStringList parts = ToQt(cp932Filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (name.isEmpty() && patterns.isEmpty()) continue;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the last parentheses of the name; add them
    // when the name shows none, so the pattern column of the pair still holds.
    if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1Char('(')))
      out << name;
    else
      out << QStringLiteral("%1 (%2)").arg(name, patterns);
  }
  return out;
}

QString QtUserInterface::WithDefaultExtension(const QString& path,
                                              const std::string& defaultExtension) {
  if (defaultExtension.empty() || path.isEmpty()) return path;
  if (!QFileInfo(path).suffix().isEmpty()) return path;
  QString ext = QString::fromStdString(defaultExtension);
  if (!ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
  return path + ext;
}

std::unique_ptr<QFileDialog> QtUserInterface::BuildFileDialog(const FileDialogRequest& request,
                                                              bool save, QWidget* owner) {
  auto dlg = std::make_unique<QFileDialog>(owner);
  PrepareChooser(*dlg);
  dlg->resize(760, 460);
  // Size, type and date columns as wide as their texts once a folder is read.
  if (auto* tree = dlg->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    if (auto* model = dlg->findChild<QFileSystemModel*>()) {
      QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, [tree] {
        for (int c = 1; c < 4; ++c)
          tree->resizeColumnToContents(c);
      });
    }
  }
  dlg->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.title.empty()) dlg->setWindowTitle(ToQt(request.title));
  const QStringList filters = ConvertFilter(request.filter);
  if (!filters.isEmpty()) dlg->setNameFilters(filters);
  QString ext = QString::fromStdString(request.defaultExtension);
  while (ext.startsWith(QLatin1Char('.')))
    ext.remove(0, 1);
  if (!ext.isEmpty()) dlg->setDefaultSuffix(ext);
  dlg->setOption(QFileDialog::DontConfirmOverwrite, !(save && request.confirmOverwrite));
  const QString start = StartFolder(request.startDirectory);
  if (!start.isEmpty()) dlg->setDirectory(start);
  if (!request.proposedName.empty())
    dlg->selectFile(QFileInfo(QString::fromStdString(request.proposedName)).fileName());
  return dlg;
}

std::optional<std::string> QtUserInterface::RunFileDialog(const FileDialogRequest& request,
                                                          bool save) {
  auto dlg = BuildFileDialog(request, save, Parent());
  if (beforeExec) beforeExec(*dlg);
  if (dlg->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dlg->selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  QString path = files.front();
  if (save) path = WithDefaultExtension(path, request.defaultExtension);
  return QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
}

std::optional<std::string> QtUserInterface::ChooseOpenFile(const FileDialogRequest& request) {
  return RunFileDialog(request, false);
}

std::optional<std::string> QtUserInterface::ChooseSaveFile(const FileDialogRequest& request) {
  return RunFileDialog(request, true);
}

std::optional<std::string> QtUserInterface::ChooseFolder(const FolderDialogRequest& request) {
  QFileDialog dlg(Parent());
  PrepareChooser(dlg);
  dlg.setFileMode(QFileDialog::Directory);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  if (!request.title.empty()) dlg.setWindowTitle(ToQt(request.title));
  const QString start = StartFolder(request.startDirectory);
  if (!start.isEmpty()) dlg.setDirectory(start);
  if (beforeExec) beforeExec(dlg);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList dirs = dlg.selectedFiles();
  if (dirs.isEmpty() || dirs.front().isEmpty()) return std::nullopt;
  return QFile::encodeName(QFileInfo(dirs.front()).absoluteFilePath()).toStdString();
}

}  // namespace qv::ui

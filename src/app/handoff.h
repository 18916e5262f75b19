// The running window's side of a later start in the same working folder:
// the local socket that start hands its files to (core/open_request.h), and
// the queue that opens them in the window as 開く would.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CMainFrame;

// Listens at a hand-off address for as long as it exists (or until Close).
// Connections of another user, and requests that do not parse, are closed
// unanswered; a connection that sends nothing whole within a few seconds is
// dropped.
class HandOffServer : public QObject {
  Q_OBJECT
 public:
  explicit HandOffServer(std::string address, QObject* parent = nullptr);
  ~HandOffServer() override;
  // False when the socket could not be made: later starts then say that the
  // window does not take requests.
  bool IsListening() const { return server_.isListening(); }
  // Stops listening and removes the socket file.
  void Close();

 signals:
  // A whole request arrived (and was answered); `files` may be empty (the
  // start only wants the window in front).
  void FilesHanded(const std::vector<std::string>& files);

 private:
  void OnConnection();

  std::string address_;
  QLocalServer server_;
};

// Brings the window to the front: shown, not minimised, raised and active.
void BringToFront(QWidget& window);

// The files handed to the window, opened one after the other as 開く opens a
// chosen file (asking first when the data has unsaved changes). They wait
// while `ready` is false (start-up has not ended) and while a modal window is
// open. During a run nothing is opened: the window tells the user at once
// (RunActiveMessage) and forgets the files.
class HandedFiles : public QObject {
  Q_OBJECT
 public:
  // A child of `frame`.
  HandedFiles(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui, std::function<bool()> ready);

  // Brings the window to the front and takes the files.
  void Take(const std::vector<std::string>& files);
  size_t Pending() const { return pending_.size(); }

 signals:
  // After each file's open (`read`: the file was loaded).
  void Opened(const std::string& path, bool read);

 private:
  void OpenWhenFree();

  CMainFrame& frame_;
  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  std::function<bool()> ready_;
  std::deque<std::string> pending_;
  QTimer retry_;
};

}  // namespace qv::ui

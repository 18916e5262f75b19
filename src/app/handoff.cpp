#include "app/handoff.h"

#include <unistd.h>
#include <QApplication>
#include <QLocalSocket>
#include <QPointer>
#include <memory>

#include "app/main_frame.h"
#include "core/open_request.h"
#include "data/codec.h"
#include "data/doc_commands.h"

namespace qv::ui {
namespace {

// A connection that has not sent a whole request by then is dropped.
constexpr int kRequestMs = 5000;
// How often waiting files look for a free window.
constexpr int kRetryMs = 100;

}  // namespace

HandOffServer::HandOffServer(std::string address, QObject* parent)
    : QObject(parent), address_(std::move(address)) {
  const int fd = ListenForHandOffs(address_);
  if (fd < 0) return;
  if (!server_.listen(fd)) {
    ::close(fd);
    RemoveHandOffSocket(address_);
    return;
  }
  connect(&server_, &QLocalServer::newConnection, this, &HandOffServer::OnConnection);
}

HandOffServer::~HandOffServer() {
  Close();
}

void HandOffServer::Close() {
  if (!server_.isListening()) return;
  server_.close();
  RemoveHandOffSocket(address_);
}

void HandOffServer::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!PeerIsThisUser(static_cast<int>(socket->socketDescriptor()))) {
      socket->abort();
      continue;
    }
    auto received = std::make_shared<std::string>();
    QPointer<QLocalSocket> guard(socket);
    QTimer::singleShot(kRequestMs, socket, [guard] {
      if (guard && guard->state() == QLocalSocket::ConnectedState) guard->abort();
    });
    auto read = [this, socket, received] {
      const QByteArray bytes = socket->readAll();
      received->append(bytes.constData(), static_cast<size_t>(bytes.size()));
      std::vector<std::string> files;
      switch (ParseOpenRequest(*received, files)) {
        case RequestState::kIncomplete:
          return;
        case RequestState::kInvalid:
          socket->abort();
          return;
        case RequestState::kComplete:
          socket->write(kOpenReply);
          socket->flush();
          socket->disconnectFromServer();
          emit FilesHanded(files);
          return;
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    if (socket->bytesAvailable() > 0) read();
  }
}

void BringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
}

HandedFiles::HandedFiles(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui,
                         std::function<bool()> ready)
    : QObject(&frame), frame_(frame), doc_(doc), ui_(ui), ready_(std::move(ready)) {
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, &HandedFiles::OpenWhenFree);
}

void HandedFiles::Take(const std::vector<std::string>& files) {
  BringToFront(frame_);
  if (files.empty()) return;
  if (doc_.App().runActive.load()) {
    ui_.Notify(RunActiveMessage(Sj("データファイルを開く")));
    return;
  }
  pending_.insert(pending_.end(), files.begin(), files.end());
  // From the event loop: the caller (a socket's signal) returns first.
  QTimer::singleShot(0, this, &HandedFiles::OpenWhenFree);
}

void HandedFiles::OpenWhenFree() {
  if (pending_.empty()) {
    retry_.stop();
    return;
  }
  if ((ready_ && !ready_()) || QApplication::activeModalWidget() ||
      QApplication::activePopupWidget()) {
    if (!retry_.isActive()) retry_.start();
    return;
  }
  retry_.stop();
  while (!pending_.empty()) {
    if (doc_.App().runActive.load()) {
      pending_.clear();
      ui_.Notify(RunActiveMessage(Sj("データファイルを開く")));
      break;
    }
    const std::string path = pending_.front();
    pending_.pop_front();
    const bool read = OpenNamedFile(doc_, ui_, path);
    emit Opened(path, read);
  }
  frame_.UpdateCommandStates();
}

}  // namespace qv::ui

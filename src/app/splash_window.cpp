#include "app/splash_window.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace qv::ui {

CSplashWindow::CSplashWindow(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(QStringLiteral(":/quorvex/images/splash.png")) {
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(image_.isNull() ? QSize(420, 240) : image_.size());
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CSplashWindow::Finish);
}

CSplashWindow::~CSplashWindow() {
  qApp->removeEventFilter(this);
}

void CSplashWindow::Start() {
  if (QWidget* owner = parentWidget()) {
    const QRect r = owner->frameGeometry();
    move(r.center() - QPoint(width() / 2, height() / 2));
  }
  qApp->installEventFilter(this);
  show();
  raise();
  timer_.start(kShowMs);
}

void CSplashWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (image_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  p.drawPixmap(0, 0, image_);
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
      Finish();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void CSplashWindow::Finish() {
  if (finished_) return;
  finished_ = true;
  timer_.stop();
  qApp->removeEventFilter(this);
  if (QWidget* owner = parentWidget()) owner->update();
  // Gone before start-up goes on, so its messages are not shown over it (the
  // deletion waits for the event loop).
  close();
  emit Finished();
}

}  // namespace qv::ui

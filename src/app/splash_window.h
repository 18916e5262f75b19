// The start-up splash: a borderless window over the main window showing the
// program's image. It closes itself after 1.5 s, or at once when the user
// presses a key or a mouse button anywhere in the application.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace qv::ui {

class CSplashWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kShowMs = 1500;

  explicit CSplashWindow(QWidget* owner);
  ~CSplashWindow() override;

  // Shows the splash centred over its owner and starts the timer.
  void Start();
  const QPixmap& Image() const { return image_; }

 signals:
  void Finished();

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Finish();

  QPixmap image_;
  QTimer timer_;
  bool finished_ = false;
};

}  // namespace qv::ui

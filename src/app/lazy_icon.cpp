#include "app/lazy_icon.h"

#include <QIconEngine>
#include <QPainter>

namespace qv::ui {

namespace {

class LazyIconEngine final : public QIconEngine {
 public:
  explicit LazyIconEngine(QString path) : path_(std::move(path)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Loaded().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    return Loaded().pixmap(size, scale, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Loaded().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Loaded().availableSizes(mode, state);
  }
  bool isNull() override { return Loaded().isNull(); }
  QString key() const override { return QStringLiteral("qv-lazy"); }
  QIconEngine* clone() const override { return new LazyIconEngine(*this); }

 private:
  const QIcon& Loaded() {
    if (!loaded_) {
      icon_ = QIcon(path_);
      loaded_ = true;
    }
    return icon_;
  }

  QString path_;
  QIcon icon_;
  bool loaded_ = false;
};

}  // namespace

QIcon LazyIcon(const QString& path) {
  return QIcon(new LazyIconEngine(path));
}

}  // namespace qv::ui

#include "app/catalog_retry.h"

#include <QMetaObject>
#include <algorithm>

namespace qv::ui {

CCatalogRetry::CCatalogRetry(QObject* parent, std::function<catalog::CatalogTarget()> target,
                             std::function<void(int64_t)> show)
    : QObject(parent), target_(std::move(target)), show_(std::move(show)) {
  setObjectName(QStringLiteral("catalogRetry"));
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] {
    const catalog::CatalogTarget now = target_();
    if (!now.server) {
      // The catalogue is a file now: nothing waits for it.
      retrier_->Waiting(0);
      show_(0);
    } else if (!retrier_->Tick(now)) {
      Arm();
    }
  });
  // The count comes from the retrier's thread; the sign is set on the window's.
  retrier_ = std::make_shared<catalog::QueueRetrier>([this](int64_t waiting) {
    QMetaObject::invokeMethod(
        this,
        [this, waiting] {
          show_(waiting);
          Arm();
        },
        Qt::QueuedConnection);
  });
}

CCatalogRetry::~CCatalogRetry() {
  // A save may hold the retrier longer: no try may tell this object after it.
  retrier_->WaitIdle();
}

void CCatalogRetry::Arm() {
  if (const auto until = retrier_->UntilDue())
    timer_.start(static_cast<int>(std::min<int64_t>(until->count(), 24 * 3600 * 1000)));
  else
    timer_.stop();
}

void CCatalogRetry::SetIntervals(const catalog::RetryIntervals& intervals) {
  retrier_->SetIntervals(intervals);
  Arm();
}

}  // namespace qv::ui

// The window's own tries to send the data files waiting for the catalogue's
// server: while files wait, a single-shot timer set to when the schedule
// (catalog/queue_retry.h) makes the next try due starts it on the retrier's
// thread, so neither the window nor a save nor a run waits for it; the count
// after each try goes to the status bar's sign.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "catalog/queue_retry.h"

namespace qv::ui {

class CCatalogRetry : public QObject {
  Q_OBJECT
 public:
  // `target` gives the catalogue named now (read on the window's thread);
  // `show` gets the number of files waiting after each try, on it too.
  CCatalogRetry(QObject* parent, std::function<catalog::CatalogTarget()> target,
                std::function<void(int64_t)> show);
  // Waits for a try in progress to end.
  ~CCatalogRetry() override;

  // The retrier, for a save's count of files waiting (any thread).
  const std::shared_ptr<catalog::QueueRetrier>& Retrier() const { return retrier_; }
  // After a count reached the window: the timer set for the next try, or
  // stopped while none waits.
  void Arm();
  // Other pauses between tries (tests shorten them).
  void SetIntervals(const catalog::RetryIntervals& intervals);

 private:
  std::function<catalog::CatalogTarget()> target_;
  std::function<void(int64_t)> show_;
  QTimer timer_;
  std::shared_ptr<catalog::QueueRetrier> retrier_;
};

}  // namespace qv::ui

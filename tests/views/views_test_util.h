// Shared by the view tests: a document in a temporary folder and records
// with points.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "data/document.h"
#include "support/test_support.h"

namespace qv::test {

// A document whose settings file lives in a fresh temporary folder.
struct DocFixture {
  DocFixture() : doc(app) { app.settings.SetDirectory(dir.path()); }
  TempDir dir;
  CAppState app;
  CBrenlowDoc doc;
};

inline std::unique_ptr<CMeasureData> MakeRecord(int id1, int id2, int id3, int lastTime,
                                                double voltage, double capacity, int cells = 6) {
  auto r = std::make_unique<CMeasureData>();
  r->id1 = id1;
  r->id2 = id2;
  r->id3 = id3;
  r->cells = cells;
  r->dateTime = COleDateTime::FromParts({2015, 6, 30, 12, 34, id3 % 60});
  for (int t = 0; t <= lastTime; ++t) {
    CMeasurePoint p;
    p.time = t;
    p.current = 1.0;
    p.voltage = voltage;
    p.capacity = lastTime > 0 ? capacity * t / lastTime : capacity;
    p.avgVoltage = voltage;
    r->AppendPoint(p);
  }
  return r;
}

// A double-click as the window system delivers it: press, release, double
// click, release (QTest's own double click does not reach item views here).
inline void DoubleClickAt(QWidget* w, const QPoint& pos) {
  const QPointF local(pos);
  const QPointF global = w->mapToGlobal(local);
  auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent e(type, local, global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
}

// Shows a top-level widget and makes it the active window, so that keyboard
// focus (and with it the in-place editors) behaves as on a desktop.
inline void ShowActive(QWidget& w) {
  w.show();
  w.activateWindow();
  (void)QTest::qWaitForWindowActive(&w, 2000);
  QApplication::processEvents();
}

}  // namespace qv::test

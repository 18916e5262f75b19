// A polite request to end (SIGTERM, as `kill` or the end of a session sends
// it) closes the main window as its close command does, so that the program
// ends through its ordinary shutdown. Where closing would ask or refuse (a
// run is active, the data is modified, a modal window is open) the process
// ends at once as it would without the handler: a running measurement keeps
// its journal for the next start.
#pragma once

#include <QObject>

#include "core/app_state.h"
#include "data/document.h"

class QSocketNotifier;

namespace qv::ui {

class CMainFrame;

class TerminationRequest : public QObject {
  Q_OBJECT
 public:
  // Installs the handler for the life of this object; only one may exist.
  // When the handler cannot be installed, SIGTERM keeps its default action.
  TerminationRequest(CMainFrame& frame, const CAppState& state, const CBrenlowDoc& doc);
  ~TerminationRequest() override;
  TerminationRequest(const TerminationRequest&) = delete;
  TerminationRequest& operator=(const TerminationRequest&) = delete;

 private:
  void OnRequest();

  CMainFrame& frame_;
  const CAppState& state_;
  const CBrenlowDoc& doc_;
  QSocketNotifier* notifier_ = nullptr;
};

// Once the program's own objects are gone (the data is saved or given up,
// its threads joined), the libraries' teardown (the window system's
// connection, D-Bus, fonts, printing) gets kTeardownGraceMs; a process still
// alive then ends with `exitCode` without waiting for it. Standard streams
// are flushed first.
inline constexpr int kTeardownGraceMs = 200;
void LimitTeardown(int exitCode);

}  // namespace qv::ui

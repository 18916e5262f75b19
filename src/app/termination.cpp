#include "app/termination.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "app/main_frame.h"

namespace qv::ui {

namespace {

// The write end the handler signals through, and the read end the event loop
// watches (a signal handler may only write to a descriptor).
int g_fds[2] = {-1, -1};

void OnSigterm(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
  errno = saved;
}

void EndAtOnce() {
  std::signal(SIGTERM, SIG_DFL);
  std::raise(SIGTERM);
}

}  // namespace

TerminationRequest::TerminationRequest(CMainFrame& frame, const CAppState& state,
                                       const CBrenlowDoc& doc)
    : frame_(frame), state_(state), doc_(doc) {
  if (g_fds[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) {
    g_fds[0] = g_fds[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationRequest::OnRequest);
  struct sigaction sa = {};
  sa.sa_handler = OnSigterm;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
}

TerminationRequest::~TerminationRequest() {
  if (!notifier_) return;
  std::signal(SIGTERM, SIG_DFL);
  delete notifier_;
  ::close(g_fds[0]);
  ::close(g_fds[1]);
  g_fds[0] = g_fds[1] = -1;
}

void TerminationRequest::OnRequest() {
  char buf[16];
  while (::read(g_fds[1], buf, sizeof buf) > 0) {
  }
  const bool wouldAsk =
      state_.runActive.load() || doc_.IsModified() || QApplication::activeModalWidget() != nullptr;
  if (wouldAsk) {
    EndAtOnce();
    return;
  }
  frame_.close();
  // Closing may still have been refused; the request must not be lost.
  if (frame_.isVisible()) EndAtOnce();
}

void LimitTeardown(int exitCode) {
  std::fflush(nullptr);
  std::thread([exitCode] {
    std::this_thread::sleep_for(std::chrono::milliseconds(kTeardownGraceMs));
    ::_exit(exitCode);
  }).detach();
}

}  // namespace qv::ui

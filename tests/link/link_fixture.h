// A scripted instrument on a pseudo-terminal inside the test process, and a
// document whose settings folder publishes it as ports/COM<n>.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/document.h"
#include "link/analyzer_link.h"
#include "support/test_support.h"

namespace qv::test {

class ScriptedInstrument {
 public:
  // Creates the terminal and the link <portsDir>/COM<com>.
  ScriptedInstrument(const std::string& portsDir, int com);
  ~ScriptedInstrument();

  // Answers per command: 'D' currents, 'F' conditions, 'P' probe; each
  // command takes the next scripted answer, then the default ("" = silence).
  void Answers(char kind, std::vector<std::string> answers);
  void Default(char kind, std::string answer);

  // Frames: one chunk of bytes is sent each time a frame read begins.
  void Frames(std::vector<std::string> chunks);
  // For CAnalyzerLink::SetFrameHook.
  std::function<void()> FrameHook();
  // Extra action at a frame read (index from 0), before its chunk is sent.
  std::map<int, std::function<void()>> atFrame;

  // Every byte the computer sent, once the line has been quiet a moment.
  std::string Received();
  void Unpublish();

  const std::string& DevicePath() const { return name_; }
  const std::string& LinkPath() const { return link_; }

 private:
  void Loop();

  int master_ = -1;
  int slave_ = -1;
  std::string name_, link_;
  std::mutex mu_;
  std::string log_;
  std::string line_;
  std::map<char, std::deque<std::string>> answers_;
  std::map<char, std::string> defaults_;
  std::deque<std::string> frames_;
  int frameIndex_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> polling_{false};
  std::atomic<long long> lastByteUs_{0};
  std::thread thread_;
};

// A framed "LOAD"/"STOP" line.
std::string FrameText(const std::string& status, int t, double amps, const std::string& volts,
                      double mah = 0.0, double avg1 = 0.0, double avg = 0.0, double pir = 0.0,
                      double ir = 0.0);

// A sink of a run that notes its events as text: "p<time>/<points>" for a
// frame (the points of the current measurement at that moment, read under
// the document's lock) and "end", as the window's refreshes see the run;
// with `tag` also "start" and "missed", each event prefixed by the tag.
class SinkNotes : public IFrameSink {
 public:
  SinkNotes(const CBrenlowDoc& doc, std::vector<std::string>& events, std::string tag = {})
      : doc_(doc), events_(events), tag_(std::move(tag)) {}
  void OnRunStart() override {
    if (!tag_.empty()) events_.push_back(tag_ + "start");
  }
  void OnStartMissed() override {
    if (!tag_.empty()) events_.push_back(tag_ + "missed");
  }
  void OnFrame(const FrameValues& v) override;
  void OnRunEnd() override { events_.push_back(tag_ + "end"); }

 private:
  const CBrenlowDoc& doc_;
  std::vector<std::string>& events_;
  std::string tag_;
};

// Runs `body` in a child process as an unprivileged user (nobody when the
// tests run as root); its exit code. Other threads must be idle when it
// forks (the instruments' are, once constructed): the child only has this
// one, and a lock another thread held at the fork (the sanitizer's
// allocator) stays locked there for good.
int AsNobody(const std::function<int()>& body);

// True when `utf8` is `message`, a blank line and one line that names
// `device` and the remedy (the dialout group, then logging in again).
bool IsPermissionHinted(const std::string& utf8, const std::string& message,
                        const std::string& device);

// Settings folder with Dis.ini, an empty device folder, app state and
// document; waits are recorded, not slept.
class LinkTest : public ::testing::Test {
 protected:
  LinkTest();
  ~LinkTest() override;

  // Writes KEY=value into Dis.ini.
  void Set(const std::string& key, const std::string& value);
  std::string PortsDir() const { return dir.path() + "/ports"; }
  // A link with the settings of Dis.ini as they are now and the recording
  // sleeper.
  std::unique_ptr<CAnalyzerLink> MakeLink();
  LinkSleeper Recorder();

  TempDir dir;
  CAppState app;
  std::unique_ptr<CBrenlowDoc> doc;
  std::mutex waitsMu;
  std::vector<int> waits;
};

}  // namespace qv::test

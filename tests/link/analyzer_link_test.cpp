// The analyzer protocol: encodings, acknowledgements and retries, tokens and
// frames, and whole runs against a scripted instrument.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "link/analyzer_link.h"
#include "link/run_recorder.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

// ------------------------------------------------------------------ encoding

TEST(Encoding, TenthsAreDigitOffsets) {
  EXPECT_EQ(EncodeTenths(5.5), "55");
  EXPECT_EQ(EncodeTenths(0.8), "08");
  EXPECT_EQ(EncodeTenths(12.5),
            "\x3C"
            "5");
  EXPECT_EQ(EncodeTenths(35.0), "S0");
  // Rounded by the formatting first: 9.96 is 10.0.
  EXPECT_EQ(EncodeTenths(9.96), ":0");
  EXPECT_EQ(EncodeTenths(0.0), "00");
}

TEST(Encoding, TenthsFollowThePrintfText) {
  // Every value of the input range, also between tenths and at ties: the
  // bytes come from the "%04.1f" text (two digits read as a number, then the
  // tenths digit).
  for (int i = 0; i <= 3600; ++i) {
    const double v = i / 100.0;
    char text[16];
    std::snprintf(text, sizeof text, "%04.1f", v);
    const int whole = (text[0] - '0') * 10 + (text[1] - '0');
    std::string want;
    want += static_cast<char>(0x30 + whole);
    want += text[3];
    ASSERT_EQ(EncodeTenths(v), want) << text;
  }
  EXPECT_EQ(EncodeTenths(0.25), "02");  // a tie rounds as printf does
  EXPECT_EQ(EncodeTenths(0.45), "05");
}

TEST(Encoding, CurrentsCommandBytes) {
  EXPECT_EQ(CurrentsCommand(12.5, 0.5, 0.0), std::string("D\x3C"
                                                         "505000\r"));
  EXPECT_EQ(ProbeCommand(), "D0000000\r");
  EXPECT_EQ(CurrentsCommand(0.0, 0.0, 0.0), ProbeCommand());
}

TEST(Encoding, ConditionsCommandBytes) {
  EXPECT_EQ(ConditionsCommand(6, 5.4, 300), "F6055403\r");
  EXPECT_EQ(ConditionsCommand(1, 1.0, 100), "F1051001\r");
  EXPECT_EQ(ConditionsCommand(8, 8.0, 3600), "F8058036\r");
}

// -------------------------------------------------------- tokens and frames

// Feeds the bytes of a string; no data once they run out.
struct Feed {
  explicit Feed(std::string s) : bytes(std::move(s)) {}
  std::function<bool(unsigned char&)> Fn() {
    return [this](unsigned char& c) {
      if (pos >= bytes.size()) return false;
      c = static_cast<unsigned char>(bytes[pos++]);
      return true;
    };
  }
  std::string bytes;
  size_t pos = 0;
};

TEST(Token, SpacesSkippedSpaceEnds) {
  Feed f("   ab cd");
  std::string t;
  EXPECT_EQ(ReadTokenFrom(f.Fn(), t), TokenStatus::kOk);
  EXPECT_EQ(t, "ab");
  EXPECT_EQ(ReadTokenFrom(f.Fn(), t), TokenStatus::kNoData);  // "cd" never ends
}

TEST(Token, LfThenCrEndsTheToken) {
  Feed f("30\n\rLOAD");
  std::string t;
  EXPECT_EQ(ReadTokenFrom(f.Fn(), t), TokenStatus::kOk);
  EXPECT_EQ(t, "30");
  EXPECT_EQ(f.pos, 4u);
}

TEST(Token, CrWithoutLfIsPartOfTheToken) {
  Feed f("1\r2 ");
  std::string t;
  EXPECT_EQ(ReadTokenFrom(f.Fn(), t), TokenStatus::kOk);
  EXPECT_EQ(t, "1\r2");
  // A CR alone begins a token.
  Feed g(" \r ");
  EXPECT_EQ(ReadTokenFrom(g.Fn(), t), TokenStatus::kOk);
  EXPECT_EQ(t, "\r");
}

TEST(Token, ThirtyTwoBytesBeforeTheEndAreTheLimit) {
  std::string t;
  Feed ok(std::string(32, 'x') + " ");
  EXPECT_EQ(ReadTokenFrom(ok.Fn(), t), TokenStatus::kOk);
  EXPECT_EQ(t.size(), 32u);
  Feed tooLong(std::string(33, 'x') + " ");
  EXPECT_EQ(ReadTokenFrom(tooLong.Fn(), t), TokenStatus::kTooLong);
  EXPECT_EQ(tooLong.pos, 33u);
  // Skipped spaces and LFs count too.
  Feed spaces(std::string(31, ' ') + "a ");
  EXPECT_EQ(ReadTokenFrom(spaces.Fn(), t), TokenStatus::kOk);
  Feed spaces2(std::string(32, ' ') + "a ");
  EXPECT_EQ(ReadTokenFrom(spaces2.Fn(), t), TokenStatus::kTooLong);
}

TEST(Frame, RestartOnLoadTakesTheRealigningFrame) {
  Feed f("12 LOAD 5 1.00 1.234 10 1.3 1.2 0.5 30\n\r");
  FrameValues v;
  EXPECT_EQ(ReadFrameFrom(f.Fn(), 1, v), FrameResult::kLoad);
  EXPECT_EQ(v.point.time, 5);
  EXPECT_DOUBLE_EQ(v.point.current, 1.0);
  EXPECT_DOUBLE_EQ(v.point.voltage, 1.234);
  EXPECT_DOUBLE_EQ(v.point.capacity, 10.0);
  EXPECT_DOUBLE_EQ(v.avgVoltage1, 1.3);
  EXPECT_DOUBLE_EQ(v.point.avgVoltage, 1.2);
  EXPECT_DOUBLE_EQ(v.pir, 0.5);
  EXPECT_DOUBLE_EQ(v.internalResistance, 30.0);
}

TEST(Frame, StopStatusAndFirstTokenNeverTested) {
  FrameValues v;
  Feed stop("STOP 1 0 0 0 0 0 0 0\n\r");
  EXPECT_EQ(ReadFrameFrom(stop.Fn(), 1, v), FrameResult::kStop);
  // Whatever comes first is the status: not "STOP", so discharging.
  Feed odd("xyz 7 0 0 0 0 0 0 0\n\r");
  EXPECT_EQ(ReadFrameFrom(odd.Fn(), 1, v), FrameResult::kLoad);
  EXPECT_EQ(v.point.time, 7);
}

TEST(Frame, CellCountDigitRule) {
  FrameValues v;
  Feed four("LOAD 1 1 5.2345 0 0 0 0 0\n\r");
  EXPECT_EQ(ReadFrameFrom(four.Fn(), 4, v), FrameResult::kLoad);
  EXPECT_DOUBLE_EQ(v.point.voltage, 5.234);
  Feed one("LOAD 1 1 5.2345 0 0 0 0 0\n\r");
  EXPECT_EQ(ReadFrameFrom(one.Fn(), 1, v), FrameResult::kLoad);
  EXPECT_DOUBLE_EQ(v.point.voltage, 5.2345);
  Feed shortTok("LOAD 1 1 52 0 0 0 0 0\n\r");
  EXPECT_EQ(ReadFrameFrom(shortTok.Fn(), 6, v), FrameResult::kLoad);
  EXPECT_DOUBLE_EQ(v.point.voltage, 52.0);
}

TEST(Frame, HundredRestartsAllowedTheHundredAndFirstFails) {
  std::string restarts;
  for (int i = 0; i < 100; ++i)
    restarts += "LOAD ";
  FrameValues v;
  Feed ok("LOAD " + restarts + "1 2 3 4 5 6 7 8\n\r");
  EXPECT_EQ(ReadFrameFrom(ok.Fn(), 1, v), FrameResult::kLoad);
  EXPECT_EQ(v.point.time, 1);
  Feed bad("LOAD LOAD " + restarts + "1 2 3 4 5 6 7 8\n\r");
  EXPECT_EQ(ReadFrameFrom(bad.Fn(), 1, v), FrameResult::kFail);
}

TEST(Frame, NonNumericValuesReadAsZeroAndMissingDataFails) {
  FrameValues v;
  Feed junk("LOAD a b c d e f g h\n\r");
  EXPECT_EQ(ReadFrameFrom(junk.Fn(), 1, v), FrameResult::kLoad);
  EXPECT_EQ(v.point.time, 0);
  EXPECT_DOUBLE_EQ(v.point.voltage, 0.0);
  Feed cut("LOAD 1 2 3 4");
  EXPECT_EQ(ReadFrameFrom(cut.Fn(), 1, v), FrameResult::kFail);
}

// --------------------------------------------------------- input values

class LinkProtocol : public LinkTest {};

TEST_F(LinkProtocol, InputValuesSentAndAcknowledged) {
  ScriptedInstrument inst(PortsDir(), 2);
  {
    std::lock_guard<std::mutex> g(doc->Lock());
    CMeasureData& r = doc->Current();
    r.currentA = 12.5;
    r.currentB = 0.5;
    r.currentC = 0.0;
    r.cells = 6;
    r.endVoltage = 5.4;
    r.v1Point = 300;
  }
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(2));
  EXPECT_EQ(link->Port(), 2);
  EXPECT_TRUE(link->SendInputValues(doc->Current().Inputs()));
  link->CloseLink();
  EXPECT_EQ(inst.Received(), std::string("D\x3C"
                                         "505000\rF6055403\r"));
  EXPECT_THAT(waits, ElementsAre(100, 100));
}

TEST_F(LinkProtocol, WrongCurrentsAnswerRetriedThenFlushed) {
  Set("COM_RETRY_C1", "3");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('D', "x");
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_FALSE(link->SendInputValues(doc->Current().Inputs()));
  link->CloseLink();
  const std::string d = CurrentsCommand(1.0, 0.5, 0.1);
  EXPECT_EQ(inst.Received(), d + d + d + "\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(100, 100, 100, 100, 100));
}

TEST_F(LinkProtocol, CurrentsAcceptedOnSecondTry) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Answers('D', {"q"});
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_TRUE(link->SendInputValues(doc->Current().Inputs()));
  link->CloseLink();
  const std::string d = CurrentsCommand(1.0, 0.5, 0.1);
  EXPECT_EQ(inst.Received(), d + d + ConditionsCommand(1, 1.0, 100));
}

TEST_F(LinkProtocol, ConditionsNeverAcknowledged) {
  Set("COM_RETRY_C1", "2");
  Set("COM_TIMEOUT_MS", "30");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('F', "");
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_FALSE(link->SendInputValues(doc->Current().Inputs()));
  link->CloseLink();
  const std::string f = ConditionsCommand(1, 1.0, 100);
  EXPECT_EQ(inst.Received(), CurrentsCommand(1.0, 0.5, 0.1) + f + f + "\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(100, 100, 100, 100, 100));
}

TEST_F(LinkProtocol, RetryLimitReadAtEachOperation) {
  Set("COM_RETRY_C1", "45");  // taken as 30
  Set("COM_TIMEOUT_MS", "5");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('D', "");
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_FALSE(link->SendInputValues(doc->Current().Inputs()));
  link->CloseLink();
  const std::string got = inst.Received();
  const std::string d = CurrentsCommand(1.0, 0.5, 0.1);
  size_t count = 0;
  for (size_t p = got.find(d); p != std::string::npos; p = got.find(d, p + 1))
    ++count;
  EXPECT_EQ(count, 30u);
}

TEST_F(LinkProtocol, LimitsAreTheOnesTheLinkWasGivenNotTheSettingsFiles) {
  // Dis.ini allows five tries of the currents; this link was given two.
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('D', "x");
  LinkSettings settings = LinkSettingsOf(app);
  ASSERT_EQ(settings.comm.retryC1, 5);
  settings.comm.retryC1 = 2;
  CAnalyzerLink link(settings);
  link.SetSleeper(Recorder());
  ASSERT_TRUE(link.OpenLink(1));
  const InputConditions inputs{6, 5.4, 12.5, 0.5, 0.0, 300};
  EXPECT_FALSE(link.SendInputValues(inputs));
  link.CloseLink();
  const std::string d = CurrentsCommand(12.5, 0.5, 0.0);
  EXPECT_EQ(inst.Received(), d + d + "\r\r\r\r\r\r");
}

TEST_F(LinkProtocol, ProbeWithRetriesNoAnswer) {
  Set("COM_TIMEOUT_MS", "20");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('P', "");
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_FALSE(link->ProbeWithRetries());
  link->CloseLink();
  const std::string p = ProbeCommand();
  EXPECT_EQ(inst.Received(), p + p + p + "\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(200, 200, 200, 100, 100));
}

TEST_F(LinkProtocol, ProbeAnsweredSecondTimeStillFlushes) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Answers('P', {"f"});
  auto link = MakeLink();
  ASSERT_TRUE(link->OpenLink(1));
  EXPECT_TRUE(link->ProbeWithRetries());
  link->CloseLink();
  EXPECT_EQ(inst.Received(), ProbeCommand() + ProbeCommand() + "\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(200, 200, 100, 100));
}

TEST_F(LinkProtocol, ReadTokenOverTheLine) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({"  LOAD 12\n\r"});
  auto link = MakeLink();
  link->SetFrameHook(inst.FrameHook());
  ASSERT_TRUE(link->OpenLink(1));
  inst.FrameHook()();
  std::string t;
  EXPECT_TRUE(link->ReadToken(t));
  EXPECT_EQ(t, "LOAD");
  EXPECT_TRUE(link->ReadToken(t));
  EXPECT_EQ(t, "12");
  EXPECT_FALSE(link->ReadToken(t));  // silence: no data after the time-out
  link->CloseLink();
}

// ---------------------------------------------------------------- runs

class LinkRun : public LinkTest {
 protected:
  RunResult Run(ScriptedInstrument& inst) {
    auto link = MakeLink();
    link->SetFrameHook(inst.FrameHook());
    CRunRecorder recorder(doc->Current(), doc->Lock());
    SinkNotes notes(*doc, events);
    EXPECT_TRUE(link->OpenLink(1));
    const std::atomic<bool> flag(measuring);
    const RunResult r = link->RunMeasurement(doc->Current().cells, flag, {&recorder, &notes});
    link->CloseLink();
    return r;
  }
  bool measuring = true;
  std::vector<std::string> events;
};

TEST_F(LinkRun, InstrumentEndsTheRun) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300", 0, 1.3, 1.3, 0.0, 0.0),
               FrameText("LOAD", 1, 1.0, "1.290", 0.3, 1.29, 1.295, 0.0, 0.0),
               FrameText("STOP", 2, 1.0, "0.990", 6, 1.28, 1.19, 7.5, 21.0)});
  {
    std::lock_guard<std::mutex> g(doc->Lock());
    doc->Current().AppendPoint(CMeasurePoint{99, 1, 1, 1, 1});  // old points go
  }
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_EQ(inst.Received(), "S\rG\rG\rG\r\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(100, 100, 100, 700, 100, 100));
  EXPECT_THAT(events, ElementsAre("p0/1", "p1/2", "p2/3", "end"));
  const CMeasureData& r = doc->Current();
  ASSERT_EQ(r.Points().size(), 3u);
  EXPECT_DOUBLE_EQ(r.Points()[2].voltage, 0.99);
  EXPECT_DOUBLE_EQ(r.Points()[2].capacity, 6.0);
  EXPECT_DOUBLE_EQ(r.avgVoltage1, 1.28);
  EXPECT_DOUBLE_EQ(r.internalResistance, 21.0);
  // A run of 120 s or less keeps no PIR.
  EXPECT_DOUBLE_EQ(r.pir, 0.0);
  EXPECT_TRUE(r.IsMeasured());
}

TEST_F(LinkRun, PirKeptAfterTheWindow) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 120, 1.0, "1.200"),
               FrameText("STOP", 121, 1.0, "1.000", 50, 1.2, 1.2, 31.5, 5.0)});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_DOUBLE_EQ(doc->Current().pir, 31.5);
}

TEST_F(LinkRun, PirResetAtOneHundredTwenty) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 119, 1.0, "1.200"),
               FrameText("STOP", 120, 1.0, "1.000", 50, 1.2, 1.2, 31.5, 5.0)});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_DOUBLE_EQ(doc->Current().pir, 0.0);
  EXPECT_DOUBLE_EQ(doc->Current().internalResistance, 5.0);
}

TEST_F(LinkRun, StartFailsAfterRetryC2Attempts) {
  Set("COM_RETRY_C2", "3");
  Set("COM_TIMEOUT_MS", "20");
  ScriptedInstrument inst(PortsDir(), 1);
  {
    std::lock_guard<std::mutex> g(doc->Lock());
    doc->Current().avgVoltage1 = 1.1;
    doc->Current().pir = 2.0;
    doc->Current().internalResistance = 3.0;
  }
  EXPECT_EQ(Run(inst), RunResult::kCommFailure);
  EXPECT_EQ(inst.Received(), "S\rS\rS\r\r\r\r\r\r\r");
  EXPECT_THAT(waits, ElementsAre(100, 100, 100, 700, 100, 100));
  EXPECT_THAT(events, ElementsAre("end"));
  EXPECT_DOUBLE_EQ(doc->Current().avgVoltage1, 0.0);
  EXPECT_DOUBLE_EQ(doc->Current().pir, 0.0);
  EXPECT_DOUBLE_EQ(doc->Current().internalResistance, 0.0);
  EXPECT_TRUE(doc->Current().IsMeasured());
}

TEST_F(LinkRun, RetryC3FailedFramesEndTheRun) {
  Set("COM_RETRY_C3", "4");
  Set("COM_TIMEOUT_MS", "20");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.300"), "", "",
               "LOAD 1 2", "", FrameText("LOAD", 2, 1.0, "1.300")});
  EXPECT_EQ(Run(inst), RunResult::kCommFailure);
  // Two good frames, then four failures in a row (the broken one counts).
  EXPECT_THAT(events, ElementsAre("p0/1", "p1/2", "end"));
  EXPECT_THAT(waits, ElementsAre(100, 100, 100, 100, 100, 700, 100, 100));
  EXPECT_EQ(inst.Received(), "S\r\r\r\r\r\r\r");
  EXPECT_TRUE(doc->Current().IsMeasured());
}

TEST_F(LinkRun, ErrorCountReturnsToZeroAfterAGoodFrame) {
  Set("COM_RETRY_C3", "2");
  Set("COM_TIMEOUT_MS", "20");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), "", FrameText("LOAD", 1, 1.0, "1.300"), "",
               FrameText("STOP", 2, 1.0, "1.000")});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_EQ(doc->Current().Points().size(), 3u);
}

TEST_F(LinkRun, EndCommandAfterEveryFrameFrom9999Seconds) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 9998, 1.0, "1.100"), FrameText("LOAD", 9999, 1.0, "1.100"),
               FrameText("LOAD", 9999, 1.0, "1.100"), FrameText("STOP", 10000, 1.0, "1.100")});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_EQ(inst.Received(), "S\rE\rE\rG\rG\rG\r\r\r\r\r\r\r");
}

TEST_F(LinkRun, UserStopSendsEndEveryPass) {
  measuring = false;
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.300"),
               FrameText("STOP", 2, 1.0, "1.300")});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_EQ(inst.Received(), "S\rE\rE\rG\rG\rG\r\r\r\r\r\r\r");
}

TEST_F(LinkRun, AStopInTheFirstFrameIsAcknowledgedOnlyAfterPolling) {
  Set("COM_RETRY_C3", "3");
  Set("COM_TIMEOUT_MS", "20");
  {
    // The stop reported again while polling is acknowledged: two points.
    ScriptedInstrument inst(PortsDir(), 1);
    inst.Frames({FrameText("STOP", 0, 0.0, "0.000"), FrameText("STOP", 1, 0.0, "0.000")});
    EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
    EXPECT_EQ(inst.Received(), "S\rG\rG\rG\r\r\r\r\r\r\r");
    EXPECT_THAT(events, ElementsAre("p0/1", "p1/2", "end"));
  }
  events.clear();
  waits.clear();
  {
    // Silence after it: the run ends on COM_RETRY_C3 failed frames, no "G".
    ScriptedInstrument inst(PortsDir(), 1);
    inst.Frames({FrameText("STOP", 0, 0.0, "0.000")});
    EXPECT_EQ(Run(inst), RunResult::kCommFailure);
    EXPECT_EQ(inst.Received(), "S\r\r\r\r\r\r\r");
    EXPECT_THAT(events, ElementsAre("p0/1", "end"));
    EXPECT_THAT(waits, ElementsAre(100, 100, 100, 100, 700, 100, 100));
  }
}

TEST_F(LinkRun, EverySinkGetsEveryEventOfTheRunInTheOrderGiven) {
  Set("COM_TIMEOUT_MS", "20");
  ScriptedInstrument inst(PortsDir(), 1);
  // The first start attempt brings nothing.
  inst.Frames({"", FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 1, 1.0, "1.000")});
  auto link = MakeLink();
  link->SetFrameHook(inst.FrameHook());
  CRunRecorder recorder(doc->Current(), doc->Lock());
  SinkNotes before(*doc, events, "a:"), after(*doc, events, "b:");
  ASSERT_TRUE(link->OpenLink(1));
  const std::atomic<bool> flag(true);
  EXPECT_EQ(link->RunMeasurement(1, flag, {&before, &recorder, &after}),
            RunResult::kInstrumentStopped);
  link->CloseLink();
  // A sink before the recorder sees the frame before it is in the record.
  EXPECT_THAT(events, ElementsAre("a:start", "b:start", "a:missed", "b:missed", "a:p0/0", "b:p0/1",
                                  "a:p1/1", "b:p1/2", "a:end", "b:end"));
  EXPECT_EQ(inst.Received(), "S\rS\rG\rG\rG\r\r\r\r\r\r\r");
}

TEST_F(LinkRun, GarbageAndSplitFramesRealign) {
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({"#~? 7 " + FrameText("LOAD", 0, 1.0, "1.300"),
               "1.2 " + FrameText("LOAD", 1, 1.0, "1.29\r9"), FrameText("STOP", 2, 1.0, "1.250")});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  const auto& pts = doc->Current().Points();
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_EQ(pts[0].time, 0);
  EXPECT_EQ(pts[1].time, 1);
  // "1.29\r9": the CR belongs to the token; atof stops there.
  EXPECT_DOUBLE_EQ(pts[1].voltage, 1.29);
}

TEST_F(LinkRun, MultiCellVoltageLosesItsLastDigit) {
  {
    std::lock_guard<std::mutex> g(doc->Lock());
    doc->Current().cells = 4;
  }
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "5.2345"), FrameText("STOP", 1, 1.0, "52")});
  EXPECT_EQ(Run(inst), RunResult::kInstrumentStopped);
  EXPECT_DOUBLE_EQ(doc->Current().Points()[0].voltage, 5.234);
  EXPECT_DOUBLE_EQ(doc->Current().Points()[1].voltage, 52.0);
}

}  // namespace
}  // namespace qv::test

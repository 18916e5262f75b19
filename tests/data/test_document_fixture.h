// A document over a temporary working folder, with a scripted user interface
// and a record of the view refreshes it asked for.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/codec.h"
#include "data/doc_commands.h"
#include "data/document.h"
#include "support/test_support.h"

namespace qv::test {

inline DateParts Dt(int y, int mo, int d, int h = 10, int mi = 11, int s = 12) {
  DateParts p;
  p.year = y;
  p.month = mo;
  p.day = d;
  p.hour = h;
  p.minute = mi;
  p.second = s;
  return p;
}

// Fills a record with `n` points one second apart and a measurement time.
inline void Measure(CMeasureData& r, const DateParts& when, int n = 3, double v0 = 1.2) {
  for (int i = 0; i < n; ++i) {
    CMeasurePoint p;
    p.time = i;
    p.current = 1.0;
    p.voltage = v0 - 0.001 * i;
    p.capacity = i * 0.3;
    p.avgVoltage = v0;
    r.AppendPoint(p);
  }
  r.dateTime = COleDateTime::FromParts(when);
  r.avgVoltage1 = v0;
}

class DocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.settings.SetDirectory(dir.path());
    doc = std::make_unique<CBrenlowDoc>(app);
    doc->SetRefreshHandler([this](int flags) { refreshes.push_back(flags); });
  }

  // A registered record made directly (not through the register command).
  CMeasureData* Add(int a, int b, int c, const DateParts& when, const std::string& remark = {}) {
    auto r = std::make_unique<CMeasureData>(app.inputs);
    Measure(*r, when);
    r->id1 = a;
    r->id2 = b;
    r->id3 = c;
    r->remark = remark;
    return doc->InsertRegistered(std::move(r));
  }

  // Measures the current measurement and registers it through the command.
  CMeasureData* RegisterNow(int a, int b, int c, const DateParts& when) {
    Measure(doc->Current(), when);
    return RegisterAccepted(*doc, {a, b, c});
  }

  std::vector<std::string> Ids() const {
    std::vector<std::string> out;
    for (const auto& r : doc->Registered())
      out.push_back(r->GetIdText() + " " + r->GetDateTimeText());
    return out;
  }

  // Gives every registered record its position as row key, as the data
  // view's rebuild does.
  void NumberRows() {
    int k = 0;
    for (auto& r : doc->Registered())
      doc->SetRowKey(*r, k++);
  }

  std::string Utf8(const std::string& cp932) const { return Cp932ToUtf8(cp932); }

  TempDir dir;
  CAppState app;
  std::unique_ptr<CBrenlowDoc> doc;
  FakeUi ui;
  std::vector<int> refreshes;
};

}  // namespace qv::test

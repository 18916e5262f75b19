// Records and a document over a temporary folder for the analysis tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/codec.h"
#include "data/document.h"
#include "support/test_support.h"

namespace qv::test {

inline CMeasurePoint Pt(int t, double v, double current = 20.0, double capacity = 0.0) {
  CMeasurePoint p;
  p.time = t;
  p.current = current;
  p.voltage = v;
  p.capacity = capacity;
  p.avgVoltage = v;
  return p;
}

// A constant-current source record: currents `a` A, R mOhm, PIR 1.5.
inline std::unique_ptr<CMeasureData> Source(double a = 20.0, double r = 10.0) {
  auto rec = std::make_unique<CMeasureData>();
  rec->currentA = rec->currentB = rec->currentC = a;
  rec->internalResistance = r;
  rec->pir = 1.5;
  rec->cells = 6;
  rec->endVoltage = 6.0;
  rec->v1Point = 100;
  rec->dateTime = COleDateTime::FromParts({2015, 5, 1, 12, 34, 56});
  return rec;
}

class AnalysisDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.settings.SetDirectory(dir.path());
    doc = std::make_unique<CBrenlowDoc>(app);
    doc->SetRefreshHandler([this](int flags) { refreshes.push_back(flags); });
  }

  // Registers a record directly and gives it a list row key.
  CMeasureData* Register(std::unique_ptr<CMeasureData> r, int a, int b, int c) {
    r->id1 = a;
    r->id2 = b;
    r->id3 = c;
    CMeasureData* raw = doc->InsertRegistered(std::move(r));
    int key = 0;
    for (auto& rec : doc->Registered())
      doc->SetRowKey(*rec, key++);
    app.modified = false;
    return raw;
  }

  TempDir dir;
  CAppState app;
  std::unique_ptr<CBrenlowDoc> doc;
  std::vector<int> refreshes;
  FakeUi ui;
};

}  // namespace qv::test

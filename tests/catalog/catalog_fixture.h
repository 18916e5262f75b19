// Records, data files and a catalogue in a temporary folder for the
// catalogue tests (real SQLite files, no mock).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "data/codec.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace qv::test {

struct CellSpec {
  int id1, id2, id3;
  int day = 1;              // of December 2026
  double capacity = 4000;   // mAh at the last point
  double ir = 5.0;          // mOhm
  std::string remark = {};  // UTF-8
  int points = 30;
};

// A registered record: `points` points one second apart, the capacity rising
// to `capacity`, the average voltage falling from 1.25 V.
inline std::unique_ptr<CMeasureData> CellRecord(const CellSpec& s) {
  auto r = std::make_unique<CMeasureData>();
  r->id1 = s.id1;
  r->id2 = s.id2;
  r->id3 = s.id3;
  r->dateTime = COleDateTime::FromParts({2026, 12, s.day, 10, 0, 0});
  r->remark = Utf8ToCp932(s.remark);
  r->internalResistance = s.ir;
  r->pir = 1.5;
  r->avgVoltage1 = 1.24;
  r->currentA = 10.0;
  for (int t = 0; t < s.points; ++t) {
    const double f = s.points > 1 ? static_cast<double>(t) / (s.points - 1) : 1.0;
    r->AppendPoint({t, 10.0, 1.3 - 0.3 * f, s.capacity * f, 1.25 - 0.05 * f});
  }
  return r;
}

// The bytes of a full data file of an empty current measurement and the
// records.
inline std::string FileOf(const std::vector<CellSpec>& cells) {
  RecordList list;
  for (const CellSpec& c : cells)
    list.push_back(CellRecord(c));
  return DataFileBytes(CMeasureData(), list, DataFileForm::kFull);
}

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    cat = catalog::Catalog::Open(dir.File("cat.sqlite"), &why);
    ASSERT_TRUE(cat) << Cp932ToUtf8(why);
  }

  catalog::ImportCounts Import(const std::string& name, const std::vector<CellSpec>& cells) {
    WriteFile(dir.File(name), FileOf(cells));
    catalog::ImportCounts counts;
    EXPECT_TRUE(cat->ImportFile(dir.File(name), "st1", Avg3Range{0, 0}, counts))
        << Cp932ToUtf8(cat->LastMessage());
    return counts;
  }

  std::vector<std::string> Ids(const catalog::CellQuery& q) {
    std::vector<std::string> out;
    auto found = cat->Search(q);
    if (!found) return {"error: " + Cp932ToUtf8(cat->LastMessage())};
    for (const auto& c : *found)
      out.push_back(c.idText);
    return out;
  }

  TempDir dir;
  std::unique_ptr<catalog::Catalog> cat;
};

}  // namespace qv::test

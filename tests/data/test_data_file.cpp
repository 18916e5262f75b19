// The data file: byte layout, versions, text-length forms, reading rules and
// malformed input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "data/archive.h"
#include "data/codec.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace qv {
namespace {

// Little-endian values written out by hand, independently of the archive.
std::string I32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}
std::string F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  std::string s(8, '\0');
  for (int i = 0; i < 8; ++i)
    s[static_cast<size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return s;
}
std::string Hex(std::string_view h) {
  std::string s;
  for (size_t i = 0; i + 1 < h.size(); i += 2)
    s += static_cast<char>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16));
  return s;
}

std::unique_ptr<CMeasureData> MakeRecord(int id, int points, const std::string& remark = "") {
  auto r = std::make_unique<CMeasureData>(InputConditions{6, 6.0, 20.0, 5.0, 10.0, 300});
  r->id1 = id;
  r->id2 = 2;
  r->id3 = 3;
  r->dateTime = COleDateTime::FromParts({2015, 3, 4, 10, 11, id % 60});
  r->remark = remark;
  r->avgVoltage1 = 7.1;
  r->pir = 12.3;
  r->internalResistance = 25.5;
  for (int t = 0; t < points; ++t)
    r->AppendPoint({t, 20.0, 8.0 - t * 0.001, t * 5.5, 7.5 + id * 0.01});
  return r;
}

struct ReadOut {
  DataFileReadResult result;
  CMeasureData current;
  RecordList list;
};

void ReadBytesInto(const std::string& bytes, ReadOut& out, Avg3Range range = {100, 200}) {
  ArchiveReader ar(bytes.data(), bytes.size());
  out.result = ReadDataFile(ar, out.current, out.list, range);
}

std::string EmptyRecordBytes() {
  InputConditions d;
  return I32(-1) + I32(-1) + I32(-1) + I32(0) + F64(-657434.0) + F64(d.currentA) + F64(d.currentB) +
         F64(d.currentC) + I32(d.cells) + F64(d.endVoltage) + I32(d.v1Point) + F64(0) + F64(0) +
         F64(0) + std::string(1, '\0') + I32(0);
}

// --- Layout -------------------------------------------------------------------

TEST(DataFile, EmptyDocumentIs105Bytes) {
  CMeasureData current;
  RecordList none;
  const std::string bytes = DataFileBytes(current, none, DataFileForm::kFull);
  ASSERT_EQ(bytes.size(), 105u);
  EXPECT_EQ(bytes, std::string("\x03"
                               "101") +
                       I32(1) + EmptyRecordBytes() + I32(0));
  // A few fields checked against hand-computed bytes: the unmeasured date at
  // offset 16 of the record and the default current B at offset 32.
  EXPECT_EQ(bytes.substr(8 + 16, 8), Hex("00000000341024c1"));
  EXPECT_EQ(bytes.substr(8 + 32, 8), Hex("000000000000e03f"));
  EXPECT_EQ(bytes.substr(8 + 88, 1), std::string(1, '\0'));
}

TEST(DataFile, RecordLayoutOffsets) {
  CMeasureData r;
  r.id1 = 1;
  r.id2 = 2;
  r.id3 = 3;
  r.dateTime = {42067.5, 1};
  r.currentA = 20.0;
  r.currentB = 5.0;
  r.currentC = 10.0;
  r.cells = 6;
  r.endVoltage = 6.0;
  r.v1Point = 300;
  r.avgVoltage1 = 7.1;
  r.pir = 12.3;
  r.internalResistance = 25.5;
  r.remark = "ab";
  r.AppendPoint({7, 1.5, 2.5, 3.5, 4.5});
  std::string s;
  ArchiveWriter ar(&s);
  r.Write(ar);
  const std::string expected = I32(1) + I32(2) + I32(3) + I32(1) + F64(42067.5) + F64(20.0) +
                               F64(5.0) + F64(10.0) + I32(6) + F64(6.0) + I32(300) + F64(7.1) +
                               F64(12.3) + F64(25.5) +
                               "\x02"
                               "ab" +
                               I32(1) + I32(7) + F64(1.5) + F64(2.5) + F64(3.5) + F64(4.5);
  EXPECT_EQ(s, expected);
  EXPECT_EQ(s.size(), 88u + 3 + 4 + 36);
}

// --- Texts --------------------------------------------------------------------

std::string RemarkPrefixOf(size_t length) {
  CMeasureData r;
  r.remark.assign(length, 'x');
  std::string s;
  ArchiveWriter ar(&s);
  r.Write(ar);
  return s.substr(88, s.size() - 88 - length - 4);
}

TEST(DataFile, TextLengthPrefixes) {
  EXPECT_EQ(RemarkPrefixOf(0), Hex("00"));
  EXPECT_EQ(RemarkPrefixOf(254), Hex("fe"));
  EXPECT_EQ(RemarkPrefixOf(255), Hex("ffff00"));
  EXPECT_EQ(RemarkPrefixOf(300), Hex("ff2c01"));
  EXPECT_EQ(RemarkPrefixOf(65533), Hex("fffdff"));
  EXPECT_EQ(RemarkPrefixOf(65534), Hex("ffffff"
                                       "feff0000"));
  EXPECT_EQ(RemarkPrefixOf(70000), Hex("ffffff"
                                       "70110100"));
}

TEST(DataFile, RemarksOfEveryPrefixFormReadBack) {
  for (size_t len : {0u, 1u, 254u, 255u, 300u, 65533u, 65534u, 65535u, 70000u}) {
    CMeasureData current;
    current.remark.assign(len, 'r');
    if (len > 2) current.remark.replace(1, 2, Sj("Ω"));
    RecordList list;
    list.push_back(MakeRecord(1, 3, std::string(len, 'q')));
    ReadOut out;
    ReadBytesInto(DataFileBytes(current, list, DataFileForm::kFull), out);
    ASSERT_TRUE(out.result.ok()) << len;
    EXPECT_EQ(out.current.remark, current.remark) << len;
    ASSERT_EQ(out.list.size(), 1u);
    EXPECT_EQ(out.list[0]->remark, std::string(len, 'q'));
    EXPECT_EQ(out.list[0]->Points().size(), 3u);
  }
}

// A file whose current record's remark is stored in the wide form.
std::string FileWithWideRemark(const std::string& widePrefix, const std::u16string& units) {
  std::string rec = EmptyRecordBytes();
  rec.resize(88);  // everything before the remark
  rec += widePrefix;
  for (char16_t u : units) {
    rec += static_cast<char>(u & 0xFF);
    rec += static_cast<char>(u >> 8);
  }
  rec += I32(0);
  return std::string(
             "\x03"
             "101") +
         I32(1) + rec + I32(0);
}

TEST(DataFile, WideTextMarkerReadsUtf16) {
  const std::u16string units = u"A内Ω\u2126";
  // FF FFFE, then a one-byte count of code units.
  ReadOut a;
  ReadBytesInto(FileWithWideRemark(Hex("fffeff") + "\x04", units), a);
  ASSERT_TRUE(a.result.ok()) << Cp932ToUtf8(a.result.error);
  EXPECT_EQ(a.current.remark, "A" + Sj("内Ω") + Sj("Ω"));
  // The second prefix may take the three-byte form too.
  ReadOut b;
  ReadBytesInto(FileWithWideRemark(Hex("fffeff") + Hex("ff0400"), units), b);
  ASSERT_TRUE(b.result.ok());
  EXPECT_EQ(b.current.remark, a.current.remark);
  // An empty wide text.
  ReadOut c;
  ReadBytesInto(FileWithWideRemark(Hex("fffeff") + Hex("00"), u""), c);
  ASSERT_TRUE(c.result.ok());
  EXPECT_EQ(c.current.remark, "");
  // A wide marker where the count of code units should stand is damage.
  ReadOut d;
  ReadBytesInto(FileWithWideRemark(Hex("fffeff") + Hex("fffeff") + "\x04", units), d);
  EXPECT_EQ(d.result.error, DataFileCorruptText());
  // More code units claimed than the file holds.
  ReadOut e;
  ReadBytesInto(FileWithWideRemark(Hex("fffeff") + Hex("ffffff") + Hex("ffffff7f"), units), e);
  EXPECT_EQ(e.result.error, DataFileCorruptText());
}

// --- Versions -----------------------------------------------------------------

TEST(DataFile, Version100ReadsLike101) {
  CMeasureData current(InputConditions{6, 6.0, 20.0, 5.0, 10.0, 300});
  current.remark = Sj("現在の測定");
  current.AppendPoint({0, 20, 8, 0, 8});
  RecordList list;
  list.push_back(MakeRecord(7, 130, Sj("登録済み")));
  const std::string v101 = DataFileBytes(current, list, DataFileForm::kFull);
  // "100": the version text, then the current record without a count.
  const std::string v100 = std::string(
                               "\x03"
                               "100") +
                           v101.substr(8);
  ReadOut a, b;
  ReadBytesInto(v101, a);
  ReadBytesInto(v100, b);
  ASSERT_TRUE(a.result.ok());
  ASSERT_TRUE(b.result.ok()) << Cp932ToUtf8(b.result.error);
  EXPECT_EQ(a.result.version, "101");
  EXPECT_EQ(b.result.version, "100");
  EXPECT_EQ(b.result.currentRecords, 1);
  ASSERT_EQ(b.list.size(), 1u);
  // The same records: written again they give the same bytes.
  EXPECT_EQ(DataFileBytes(b.current, b.list, DataFileForm::kFull), v101);
  EXPECT_EQ(DataFileBytes(a.current, a.list, DataFileForm::kFull), v101);
}

TEST(DataFile, AllFourVersionsAreAccepted) {
  CMeasureData current;
  RecordList list;
  list.push_back(MakeRecord(1, 2));
  const std::string body101 = DataFileBytes(current, list, DataFileForm::kFull).substr(4);
  for (const char* v : {"101", "101b"}) {
    ReadOut out;
    ReadBytesInto(std::string(1, static_cast<char>(std::strlen(v))) + v + body101, out);
    EXPECT_TRUE(out.result.ok()) << v;
    EXPECT_EQ(out.result.version, v);
    EXPECT_EQ(out.list.size(), 1u);
  }
  for (const char* v : {"100", "100b"}) {
    ReadOut out;
    ReadBytesInto(std::string(1, static_cast<char>(std::strlen(v))) + v + body101.substr(4), out);
    EXPECT_TRUE(out.result.ok()) << v;
    EXPECT_EQ(out.result.version, v);
    EXPECT_EQ(out.list.size(), 1u);
  }
}

const char kRefusal102[] =
    "\x83\x66\x81\x5B\x83\x5E\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82"
    "\xDF\x82\xDC\x82\xB9\x82\xF1\x81\x42\x0A\x0A\x81\x69\x81\xA6\x81\x40\x83\x66\x81\x5B\x83\x5E"
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xAA\x91"
    "\xCE\x89\x9E\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81\x42\x0A\x93\xC7\x82\xDD\x8D"
    "\x9E\x82\xE0\x82\xA4\x82\xC6\x82\xB5\x82\xBD\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x83\x6F"
    "\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xCD\x20\x5B\x20\x31\x30\x32\x20\x5D\x20\x82\xC5\x82\xB5"
    "\x82\xBD\x82\xAA\x81\x41\x0A\x82\xB1\x82\xCC\x83\x41\x83\x76\x83\x8A\x83\x50\x81\x5B\x83\x56"
    "\x83\x87\x83\x93\x82\xC5\x88\xB5\x82\xA6\x82\xE9\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82"
    "\xCD\x81\x41\x5B\x20\x31\x30\x31\x20\x5D\x20\x82\xDC\x82\xBD\x82\xCD\x20\x5B\x20\x31\x30\x31"
    "\x62\x20\x5D\x20\x82\xC5\x82\xB7\x81\x42\x81\x6A";

TEST(DataFile, Version102IsRefusedWithTheVersionMessage) {
  CMeasureData current;
  RecordList list;
  list.push_back(MakeRecord(1, 2));
  std::string bytes = DataFileBytes(current, list, DataFileForm::kFull);
  bytes[3] = '2';  // "102"
  ReadOut out;
  out.current.remark = "kept";
  out.list.push_back(MakeRecord(9, 1));
  ReadBytesInto(bytes, out);
  EXPECT_FALSE(out.result.ok());
  EXPECT_EQ(out.result.error, std::string(kRefusal102));
  EXPECT_EQ(out.result.error.size(), 219u);
  EXPECT_EQ(out.result.version, "102");
  // Nothing else was read.
  EXPECT_EQ(out.current.remark, "kept");
  ASSERT_EQ(out.list.size(), 1u);
  EXPECT_EQ(out.list[0]->id1, 9);
  EXPECT_EQ(out.result.currentRecords, 0);
}

TEST(DataFile, VersionComparisonIsExact) {
  for (std::string v : {"101B", "101 ", "10", "", "1011", "100B", "0101"}) {
    std::string bytes = std::string(1, static_cast<char>(v.size())) + v + I32(0) + I32(0);
    ReadOut out;
    ReadBytesInto(bytes, out);
    EXPECT_EQ(out.result.error, DataFileVersionText(v)) << v;
    EXPECT_EQ(out.result.version, v);
  }
  EXPECT_EQ(Cp932ToUtf8(DataFileVersionText("abc")).find("[ abc ]") != std::string::npos, true);
}

// --- Reading rules ------------------------------------------------------------

TEST(DataFile, V1PointIsTruncatedToHundredsOnReading) {
  CMeasureData current;
  current.v1Point = 250;
  RecordList list;
  list.push_back(MakeRecord(1, 2));
  list[0]->v1Point = 3650;
  list.push_back(MakeRecord(2, 2));
  list[1]->v1Point = 99;
  list.push_back(MakeRecord(3, 2));
  list[2]->v1Point = -150;
  ReadOut out;
  ReadBytesInto(DataFileBytes(current, list, DataFileForm::kFull), out);
  ASSERT_TRUE(out.result.ok());
  EXPECT_EQ(out.current.v1Point, 200);
  EXPECT_EQ(out.list[0]->v1Point, 3600);
  EXPECT_EQ(out.list[1]->v1Point, 0);
  EXPECT_EQ(out.list[2]->v1Point, -100);
}

TEST(DataFile, AverageVoltage3IsComputedWithTheRangeGiven) {
  CMeasureData current;
  for (int t = 0; t <= 300; ++t)
    current.AppendPoint({t, 20.0, 1000.0 + t, 0, 0});
  current.avgVoltage3 = 123.0;  // never stored
  RecordList list;
  const std::string bytes = DataFileBytes(current, list, DataFileForm::kFull);
  ReadOut a;
  ReadBytesInto(bytes, a, {100, 200});
  ASSERT_TRUE(a.result.ok());
  current.UpdateAvgVolt3({100, 200});
  EXPECT_EQ(a.current.avgVoltage3, current.avgVoltage3);  // bit for bit
  ReadOut b;
  ReadBytesInto(bytes, b, {120, 125});
  EXPECT_EQ(b.current.avgVoltage3, 0.0);
}

TEST(DataFile, RecordsAreAppendedInFileOrderAfterExistingOnes) {
  CMeasureData current;
  RecordList list;
  list.push_back(MakeRecord(5, 1));
  list.push_back(MakeRecord(2, 1));  // not sorted: read as stored
  ReadOut out;
  out.list.push_back(MakeRecord(9, 1));
  ReadBytesInto(DataFileBytes(current, list, DataFileForm::kFull), out);
  ASSERT_EQ(out.list.size(), 3u);
  EXPECT_EQ(out.list[0]->id1, 9);
  EXPECT_EQ(out.list[1]->id1, 5);
  EXPECT_EQ(out.list[2]->id1, 2);
}

std::string WithCurrentCount(int32_t count, const std::vector<const CMeasureData*>& records,
                             const RecordList& list) {
  std::string s;
  ArchiveWriter ar(&s);
  ar.WriteText("101");
  ar.WriteI32(count);
  for (const CMeasureData* r : records)
    r->Write(ar);
  ar.WriteI32(static_cast<int32_t>(list.size()));
  for (const auto& r : list)
    r->Write(ar);
  return s;
}

TEST(DataFile, CurrentCountZeroLeavesTheReceivingRecord) {
  RecordList list;
  list.push_back(MakeRecord(1, 2));
  ReadOut out;
  out.current.remark = "mine";
  out.current.AppendPoint({1, 2, 3, 4, 5});
  ReadBytesInto(WithCurrentCount(0, {}, list), out);
  ASSERT_TRUE(out.result.ok());
  EXPECT_EQ(out.result.currentRecords, 0);
  EXPECT_EQ(out.current.remark, "mine");
  EXPECT_EQ(out.current.Points().size(), 1u);
  EXPECT_EQ(out.list.size(), 1u);
}

TEST(DataFile, CurrentCountAboveOneKeepsTheLastRecordWhole) {
  auto first = MakeRecord(1, 10, "first");
  auto second = MakeRecord(2, 4, "second");
  second->v1Point = 450;
  RecordList list;
  list.push_back(MakeRecord(3, 2));
  ReadOut out;
  const CMeasureData* receiving = &out.current;
  ReadBytesInto(WithCurrentCount(2, {first.get(), second.get()}, list), out);
  ASSERT_TRUE(out.result.ok());
  EXPECT_EQ(out.result.currentRecords, 2);
  EXPECT_EQ(out.current.remark, "second");
  EXPECT_EQ(out.current.id1, 2);
  EXPECT_EQ(out.current.Points(), second->Points());  // not first's points too
  EXPECT_EQ(out.current.v1Point, 400);
  EXPECT_EQ(&out.current, receiving);
  ASSERT_EQ(out.list.size(), 1u);
  EXPECT_EQ(out.list[0]->id1, 3);
}

TEST(DataFile, CountsOfZeroOrLessReadNothingAndTheReadGoesOn) {
  CMeasureData current;
  RecordList list;
  list.push_back(MakeRecord(1, 2));
  list.push_back(MakeRecord(2, 1));
  const std::string good = DataFileBytes(current, list, DataFileForm::kFull);
  // Version 4 bytes, C at 4, the current record (93 bytes), N at 101, the
  // first registered record at 105 (its point count at 194, two points of 36
  // bytes after it), the second at 270.
  const std::string first = good.substr(105, 89), second = good.substr(270);
  struct Case {
    const char* what;
    std::string bytes;
    int32_t currentRecords;
    std::vector<size_t> points;  // of the registered records read
  };
  const Case cases[] = {
      {"C = -1", good.substr(0, 4) + I32(-1) + good.substr(101), 0, {2, 1}},
      {"N = -1", good.substr(0, 101) + I32(-1), 1, {}},
      {"C = 0, N = 0", good.substr(0, 4) + I32(0) + I32(0), 0, {}},
      {"N = INT32_MIN", good.substr(0, 101) + I32(INT32_MIN), 1, {}},
      {"P = -1", good.substr(0, 105) + first + I32(-1) + second, 1, {0, 1}},
      {"P = INT32_MIN", good.substr(0, 105) + first + I32(INT32_MIN) + second, 1, {0, 1}},
  };
  for (const Case& c : cases) {
    ReadOut out;
    ReadBytesInto(c.bytes, out);
    ASSERT_TRUE(out.result.ok()) << c.what;
    EXPECT_EQ(out.result.currentRecords, c.currentRecords) << c.what;
    ASSERT_EQ(out.list.size(), c.points.size()) << c.what;
    for (size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_EQ(out.list[i]->id1, static_cast<int>(i) + 1) << c.what;
      EXPECT_EQ(out.list[i]->Points().size(), c.points[i]) << c.what;
    }
  }
}

// --- Writing ------------------------------------------------------------------

TEST(DataFile, BackupFormHoldsOnlyUnsavedRecords) {
  CMeasureData current;
  current.remark = "cur";
  RecordList list;
  for (int i = 1; i <= 4; ++i)
    list.push_back(MakeRecord(i, 3));
  const std::set<const CMeasureData*> saved = {list[0].get(), list[2].get()};
  const SavedTest isSaved = [&](const CMeasureData& r) { return saved.count(&r) != 0; };
  const std::string backup = DataFileBytes(current, list, DataFileForm::kBackup, isSaved);
  EXPECT_EQ(backup.substr(0, 5), std::string("\x04"
                                             "101b"));
  ReadOut out;
  ReadBytesInto(backup, out);
  ASSERT_TRUE(out.result.ok());
  EXPECT_EQ(out.result.version, "101b");
  ASSERT_EQ(out.list.size(), 2u);
  EXPECT_EQ(out.list[0]->id1, 2);
  EXPECT_EQ(out.list[1]->id1, 4);
  EXPECT_EQ(out.current.remark, "cur");
  // The full form holds all four, and a backup told of no saved record too.
  ReadOut full;
  ReadBytesInto(DataFileBytes(current, list, DataFileForm::kFull, isSaved), full);
  EXPECT_EQ(full.list.size(), 4u);
  ReadOut unsaved;
  ReadBytesInto(DataFileBytes(current, list, DataFileForm::kBackup), unsaved);
  EXPECT_EQ(unsaved.list.size(), 4u);
}

TEST(DataFile, WriterReaderRoundTripIsByteForByte) {
  CMeasureData current(InputConditions{8, 8.0, 30.0, 10.0, 5.0, 600});
  current.dateTime = COleDateTime::FromParts({2015, 3, 6, 14, 2, 45});
  current.remark = Sj("現在 ～Ω①ｱ");
  for (int t = 0; t < 200; ++t)
    current.AppendPoint({t, 30.0, 9.0 - t * 0.01, t * 8.3, 8.5});
  RecordList list;
  list.push_back(MakeRecord(1, 700, Sj("メーカーＡ　6セル")));
  list.push_back(MakeRecord(2, 0));
  list.push_back(MakeRecord(3, 1, std::string(300, 'z')));
  list.back()->dateTime =
      COleDateTime{std::nan(""), COleDateTime::kNull};  // odd values survive as bits
  const std::string bytes = DataFileBytes(current, list, DataFileForm::kFull);
  ReadOut out;
  ReadBytesInto(bytes, out);
  ASSERT_TRUE(out.result.ok());
  EXPECT_EQ(DataFileBytes(out.current, out.list, DataFileForm::kFull), bytes);
}

TEST(DataFile, FileWriterAndReaderMatchTheInMemoryForms) {
  test::TempDir dir;
  CMeasureData current;
  current.remark = std::string(70000, 'w');  // the 7-byte prefix across buffer edges
  RecordList list;
  for (int i = 1; i <= 5; ++i)
    list.push_back(MakeRecord(i, 4000 + i * 17, std::string(static_cast<size_t>(i) * 61, 'r')));
  const std::string bytes = DataFileBytes(current, list, DataFileForm::kFull);
  const std::string path = dir.File("big.qd1");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  {
    ArchiveWriter ar(fd);
    WriteDataFile(ar, current, list, DataFileForm::kFull);
    ASSERT_TRUE(ar.Flush());
  }
  ::close(fd);
  ASSERT_EQ(test::ReadFile(path), bytes);

  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ArchiveReader ar(fd);
  CMeasureData cur;
  RecordList got;
  DataFileReadResult r = ReadDataFile(ar, cur, got, {100, 200});
  ::close(fd);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(DataFileBytes(cur, got, DataFileForm::kFull), bytes);
}

TEST(DataFile, WriterReportsAFailedWrite) {
  int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  CMeasureData current;
  RecordList list;
  list.push_back(MakeRecord(1, 3000));
  ArchiveWriter ar(fd);
  WriteDataFile(ar, current, list, DataFileForm::kFull);
  EXPECT_FALSE(ar.Flush());
  EXPECT_EQ(ar.error(), ENOSPC);
  ::close(fd);
}

// --- Malformed input ----------------------------------------------------------

std::string SmallValidFile() {
  CMeasureData current;
  current.remark = Sj("現在");
  current.AppendPoint({0, 20, 8, 0, 8});
  current.AppendPoint({1, 20, 7.9, 5.5, 7.95});
  RecordList list;
  list.push_back(MakeRecord(1, 3, std::string(260, 'a')));  // three-byte prefix
  list.push_back(MakeRecord(2, 2, Sj("備考")));
  return DataFileBytes(current, list, DataFileForm::kFull);
}

TEST(DataFileMalformed, TruncationAtEveryByteFailsCleanly) {
  const std::string full = SmallValidFile();
  for (size_t n = 0; n < full.size(); ++n) {
    const std::string cut = full.substr(0, n);
    ReadOut out;
    ReadBytesInto(cut, out);
    ASSERT_EQ(out.result.error, DataFileCorruptText()) << "cut at " << n;
    // Only whole records reach the list.
    for (const auto& r : out.list)
      ASSERT_GE(r->id1, 1);
    ASSERT_LE(out.list.size(), 1u) << n;
  }
}

TEST(DataFileMalformed, TruncatedFilesFailThroughTheFileReaderToo) {
  test::TempDir dir;
  const std::string full = SmallValidFile();
  for (size_t n = 0; n < full.size(); n += 13) {
    const std::string path = dir.File("cut.qd1");
    test::WriteFile(path, full.substr(0, n));
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ArchiveReader ar(fd);
    CMeasureData cur;
    RecordList list;
    DataFileReadResult r = ReadDataFile(ar, cur, list, {});
    ::close(fd);
    ASSERT_EQ(r.error, DataFileCorruptText()) << n;
  }
}

// Copying a file record by record gives the bytes and the errors of reading
// it whole and writing it again: for every version, odd current-record
// counts, an empty list, and every cut of a valid file.
TEST(DataFileMalformed, CopyingEqualsReadingWholeThenWriting) {
  CMeasureData current;
  current.AppendPoint({0, 20, 8, 0, 8});
  RecordList list;
  list.push_back(MakeRecord(1, 3));
  list.push_back(MakeRecord(2, 250, Sj("備考")));
  const std::string body = DataFileBytes(current, list, DataFileForm::kFull).substr(4);
  std::vector<std::string> inputs = {
      "\x03"
      "101" +
          body,
      "\x04"
      "101b" +
          body,
      "\x03"
      "100" +
          body.substr(4),
      "\x04"
      "100b" +
          body.substr(4),
      "\x03"
      "102" +
          body,
      WithCurrentCount(0, {}, list),
      WithCurrentCount(2, {list[1].get(), &current}, {}),
      WithCurrentCount(-1, {}, {})};
  const std::string valid = SmallValidFile();
  for (size_t n = 0; n < valid.size(); n += 7)
    inputs.push_back(valid.substr(0, n));
  for (size_t i = 0; i < inputs.size(); ++i) {
    ReadOut whole;
    whole.current.Reset({4, 1.0, 2.0, 3.0, 4.0, 500});
    ReadBytesInto(inputs[i], whole);
    CMeasureData copiedCurrent({4, 1.0, 2.0, 3.0, 4.0, 500});
    std::string copied;
    ArchiveReader in(inputs[i].data(), inputs[i].size());
    ArchiveWriter out(&copied);
    const DataFileReadResult r = CopyDataFile(in, out, copiedCurrent, {100, 200});
    ASSERT_EQ(r.error, whole.result.error) << "input " << i;
    ASSERT_EQ(r.version, whole.result.version) << "input " << i;
    if (r.ok()) {
      ASSERT_EQ(copied, DataFileBytes(whole.current, whole.list, DataFileForm::kFull))
          << "input " << i;
    }
  }
}

// A file is read by three readers: whole from memory, whole from a file
// (streamed through the buffer and, for long point series, straight into
// place) and copied record by record. Each result is the same.
std::vector<DataFileReadResult> ReadEveryWay(const std::string& bytes) {
  std::vector<DataFileReadResult> results;
  ReadOut whole;
  ReadBytesInto(bytes, whole);
  results.push_back(whole.result);
  test::TempDir dir;
  const std::string path = dir.File("f.qd1");
  test::WriteFile(path, bytes);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ArchiveReader ar(fd);
    ReadOut streamed;
    streamed.result = ReadDataFile(ar, streamed.current, streamed.list, {100, 200});
    results.push_back(streamed.result);
    ::close(fd);
  }
  CMeasureData current;
  std::string copied;
  ArchiveReader in(bytes.data(), bytes.size());
  ArchiveWriter out(&copied);
  results.push_back(CopyDataFile(in, out, current, {100, 200}));
  return results;
}

TEST(DataFileMalformed, BytesAfterWhatTheCountsDescribeAreDamage) {
  CMeasureData current;
  RecordList small;
  small.push_back(MakeRecord(1, 2));
  small.push_back(MakeRecord(2, 1));
  RecordList large;  // past the reader's 1 MiB buffer
  large.push_back(MakeRecord(1, 40000));
  struct Base {
    const char* what;
    std::string bytes;
    size_t lastPoints;  // points of the last record
  };
  const Base bases[] = {{"small", DataFileBytes(current, small, DataFileForm::kFull), 1},
                        {"large", DataFileBytes(current, large, DataFileForm::kFull), 40000}};
  for (const Base& b : bases) {
    const std::string& good = b.bytes;
    // Version 4 bytes, C at 4, the current record (93 bytes), N at 101; the
    // last record's point count just before its points.
    const size_t lastP = good.size() - 36 * b.lastPoints - 4;
    auto with = [&good](size_t at, int32_t v) {
      return good.substr(0, at) + I32(v) + good.substr(at + 4);
    };
    struct Case {
      const char* what;
      std::string bytes;
    };
    const Case cases[] = {
        {"C = 0", with(4, 0)},
        {"C = -1", with(4, -1)},
        {"C = INT32_MIN", with(4, INT32_MIN)},
        {"N = 0", with(101, 0)},
        {"N = -1", with(101, -1)},
        {"last P = 0", with(lastP, 0)},
        {"last P = -1", with(lastP, -1)},
        {"one trailing byte", good + std::string(1, '\0')},
        {"a trailing count", good + I32(0)},
        {"a trailing record", good + good.substr(8, 93)},
        {"2 MiB trailing", good + std::string(2 << 20, 'x')},
    };
    for (const DataFileReadResult& r : ReadEveryWay(good))
      ASSERT_TRUE(r.ok()) << b.what;
    for (const Case& c : cases) {
      const std::vector<DataFileReadResult> results = ReadEveryWay(c.bytes);
      ASSERT_EQ(results.size(), 3u);
      for (const DataFileReadResult& r : results) {
        EXPECT_EQ(r.kind, DataFileError::kDamaged) << b.what << ": " << c.what;
        EXPECT_EQ(r.error, DataFileCorruptText()) << b.what << ": " << c.what;
        EXPECT_EQ(r.version, "101") << b.what << ": " << c.what;
      }
    }
  }
}

TEST(DataFileMalformed, CorruptTextIsTheDocumentedMessage) {
  EXPECT_EQ(
      Cp932ToUtf8(DataFileCorruptText()),
      "データファイルを読み込めません。\n\n（※　ファイルが途中で終わっているか、壊れています。）");
}

size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

TEST(DataFileMalformed, HugeCountsInASmallFileFailAtOnce) {
  // About 100 bytes that claim 2^31 - 1 points, records or text bytes.
  CMeasureData current;
  RecordList none;
  const std::string good = DataFileBytes(current, none, DataFileForm::kFull);
  std::vector<std::string> files;
  {
    std::string f = good;
    f.replace(8 + 89, 4, I32(INT32_MAX));  // points
    files.push_back(f);
  }
  files.push_back(std::string("\x03"
                              "101") +
                  I32(INT32_MAX) + good.substr(8));                   // current records
  files.push_back(good.substr(0, good.size() - 4) + I32(INT32_MAX));  // registered
  {
    std::string f = good;
    f.replace(8 + 88, 1, Hex("ffffff") + Hex("ffffff7f"));  // a 2 GB remark
    files.push_back(f);
  }
  {
    std::string f = good;
    f.replace(8 + 88, 1, Hex("fffeff") + Hex("ffffff") + Hex("ffffff7f"));  // 2G wide units
    files.push_back(f);
  }
  files.push_back(Hex("ffffff") + Hex("ffffffff") + "101");  // a 4 GB version text
  for (const std::string& f : files) {
    ASSERT_LE(f.size(), 120u);
    const size_t before = HeapInUse();
    const auto t0 = std::chrono::steady_clock::now();
    ReadOut out;
    ReadBytesInto(f, out);
    const auto elapsed = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(out.result.error, DataFileCorruptText());
    EXPECT_LT(HeapInUse(), before + 64 * 1024);
    EXPECT_LT(out.current.Points().capacity(), 16u);
    EXPECT_LT(out.list.capacity(), 16u);
    EXPECT_LT(std::chrono::duration<double>(elapsed).count(), 0.5);
  }
}

TEST(DataFileMalformed, CountsJustAboveWhatRemainsFail) {
  CMeasureData current;
  current.AppendPoint({0, 1, 2, 3, 4});
  current.AppendPoint({1, 1, 2, 3, 4});
  RecordList none;
  std::string f = DataFileBytes(current, none, DataFileForm::kFull);
  // Three points claimed where two are stored (and the 4-byte list count).
  f.replace(8 + 89, 4, I32(3));
  ReadOut out;
  ReadBytesInto(f, out);
  EXPECT_EQ(out.result.error, DataFileCorruptText());
}

TEST(DataFileMalformed, AFolderOrAnEmptyFileIsNotAFile) {
  test::TempDir dir;
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ArchiveReader ar(fd);
  CMeasureData cur;
  RecordList list;
  EXPECT_EQ(ReadDataFile(ar, cur, list, {}).error, DataFileCorruptText());
  ::close(fd);
  ReadOut out;
  ReadBytesInto("", out);
  EXPECT_EQ(out.result.error, DataFileCorruptText());
}

TEST(DataFileMalformed, EveryByteFlipOfAValidFileIsHandled) {
  // Not a proof, but every single-byte change must read or fail cleanly (the
  // sanitizer build turns any out-of-bounds access into a failure).
  const std::string full = SmallValidFile();
  for (size_t i = 0; i < full.size(); ++i) {
    for (int v : {0x00, 0x7F, 0x80, 0xFE, 0xFF}) {
      std::string f = full;
      f[i] = static_cast<char>(v);
      ReadOut out;
      ReadBytesInto(f, out);
      if (!out.result.ok()) {
        ASSERT_FALSE(out.result.error.empty());
      }
    }
  }
}

}  // namespace
}  // namespace qv

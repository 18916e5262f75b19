// The document's list operations and the commands that need no dialog of
// their own: register (after its dialog), clear panel, overlays, open, save,
// the automatic backup and the ends of the input-defaults and range commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/safe_file.h"
#include "data/archive.h"
#include "test_document_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

// --- Sorted registration list -------------------------------------------------

TEST_F(DocTest, RegisteringKeepsTheListSortedByIdThenDateTime) {
  RegisterNow(2, 1, 1, Dt(2015, 3, 4));
  RegisterNow(1, 1, 1, Dt(2015, 3, 4));
  RegisterNow(1, 1, 1, Dt(2015, 3, 5));
  EXPECT_THAT(Ids(),
              ElementsAre("001-001-001 2015/03/04 10:11:12", "001-001-001 2015/03/05 10:11:12",
                          "002-001-001 2015/03/04 10:11:12"));
}

TEST_F(DocTest, EqualKeysKeepInsertionOrderAtFrontMiddleAndEnd) {
  Add(1, 1, 1, Dt(2015, 1, 1), "first");
  Add(3, 1, 1, Dt(2015, 1, 1), "last");
  Add(2, 1, 1, Dt(2015, 1, 1), "mid-a");
  Add(2, 1, 1, Dt(2015, 1, 1), "mid-b");
  Add(1, 1, 1, Dt(2015, 1, 1), "first-b");
  Add(3, 1, 1, Dt(2015, 1, 1), "last-b");
  std::vector<std::string> remarks;
  for (const auto& r : doc->Registered())
    remarks.push_back(r->remark);
  EXPECT_THAT(remarks, ElementsAre("first", "first-b", "mid-a", "mid-b", "last", "last-b"));
}

TEST_F(DocTest, SortComparesBytesSoTheDateBreaksTiesOnly) {
  // 010 sorts after 009 and a later date of a smaller ID still comes first.
  Add(10, 1, 1, Dt(2014, 1, 1));
  Add(9, 1, 1, Dt(2020, 1, 1));
  EXPECT_THAT(Ids(),
              ElementsAre("009-001-001 2020/01/01 10:11:12", "010-001-001 2014/01/01 10:11:12"));
}

TEST_F(DocTest, InsertingIntoAnUnsortedListLooksAtTheFirstRecordFirst) {
  // Opening keeps file order: [003, 001] is possible.
  RecordList unsorted;
  for (int a : {3, 1}) {
    unsorted.push_back(std::make_unique<CMeasureData>());
    Measure(*unsorted.back(), Dt(2015, 1, 1));
    unsorted.back()->id1 = a;
    unsorted.back()->id2 = unsorted.back()->id3 = 1;
  }
  const std::string bytes = DataFileBytes(CMeasureData(), unsorted, DataFileForm::kFull);
  ArchiveReader ar(bytes.data(), bytes.size());
  ASSERT_TRUE(doc->Load(ar).ok());
  Add(2, 1, 1, Dt(2015, 1, 1));  // smaller than the first: the front
  Add(4, 1, 1, Dt(2015, 1, 1));  // not smaller than first or last: the end
  EXPECT_THAT(Ids(),
              ElementsAre("002-001-001 2015/01/01 10:11:12", "003-001-001 2015/01/01 10:11:12",
                          "001-001-001 2015/01/01 10:11:12", "004-001-001 2015/01/01 10:11:12"));
}

// --- Register -------------------------------------------------------------------

TEST_F(DocTest, RegisterCopiesResetsTheCurrentAndOverlaysInSlot2) {
  app.inputs.cells = 6;
  app.inputs.currentA = 2.5;
  app.avg3 = {0, 1};
  Measure(doc->Current(), Dt(2015, 3, 4), 5, 1.5);
  doc->Current().remark = "r";
  CMeasureData* old = Add(9, 9, 9, Dt(2015, 1, 1));
  ASSERT_TRUE(doc->ToggleOverlay(old));
  app.modified = false;
  refreshes.clear();

  CMeasureData* rec = RegisterAccepted(*doc, {1, 2, 3});

  EXPECT_TRUE(app.modified);
  EXPECT_EQ(rec->GetIdText(), "001-002-003");
  EXPECT_EQ(rec->Points().size(), 5u);
  EXPECT_EQ(rec->remark, "r");
  EXPECT_FALSE(doc->IsSaved(*rec));
  EXPECT_DOUBLE_EQ(rec->avgVoltage3, (1.5 + 1.499) / 2);  // recomputed on the copy
  EXPECT_EQ(doc->SlotOf(*rec), 2);                        // overlays were reset first
  EXPECT_EQ(doc->SlotOf(*old), -1);
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current(), rec));
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_FALSE(doc->Current().IsMeasured());
  EXPECT_EQ(doc->Current().Inputs(), app.inputs);
  EXPECT_EQ(doc->SlotOf(doc->Current()), 1);
  EXPECT_EQ(doc->Current().avgVoltage3, 0.0);
  ASSERT_FALSE(refreshes.empty());
  EXPECT_EQ(refreshes.front(), kRefreshData);
  EXPECT_EQ(refreshes.back(), kRefreshResult | kRefreshGraph);
}

TEST_F(DocTest, RegisterResetsEvenAFullDisplayList) {
  // Register resets the overlays, so the list can only fill up again later.
  for (int i = 1; i <= 7; ++i)
    RegisterNow(1, 1, i, Dt(2015, 3, i));
  EXPECT_EQ(doc->DisplayList().size(), 2u);
  for (auto& r : doc->Registered())
    if (doc->SlotOf(*r) < 0) doc->ToggleOverlay(r.get());
  EXPECT_EQ(doc->DisplayList().size(), 7u);
  CMeasureData* rec = RegisterNow(2, 1, 1, Dt(2016, 1, 1));
  EXPECT_EQ(doc->SlotOf(*rec), 2);
  EXPECT_EQ(doc->DisplayList().size(), 2u);
}

TEST_F(DocTest, RegisterCommandCancelledChangesNothing) {
  Measure(doc->Current(), Dt(2015, 3, 4));
  EXPECT_TRUE(CanRegister(*doc));
  EXPECT_FALSE(CmdRegister(*doc, [](CBrenlowDoc&) { return std::optional<RegistrationId>(); }));
  EXPECT_TRUE(doc->Registered().empty());
  EXPECT_FALSE(app.modified);
  EXPECT_FALSE(doc->Current().IsEmpty());
  EXPECT_TRUE(CmdRegister(*doc, [](CBrenlowDoc&) {
    return std::optional<RegistrationId>({4, 5, 6});
  }));
  EXPECT_THAT(Ids(), ElementsAre("004-005-006 2015/03/04 10:11:12"));
}

// --- Enable rules ---------------------------------------------------------------

TEST_F(DocTest, EnableRules) {
  EXPECT_FALSE(CanRegister(*doc));  // no points
  Measure(doc->Current(), Dt(2015, 3, 4));
  EXPECT_TRUE(CanRegister(*doc));
  EXPECT_FALSE(CanDelete(*doc, {}, true));
  EXPECT_FALSE(CanDelete(*doc, {1}, false));
  EXPECT_TRUE(CanDelete(*doc, {1, 2}, true));
  EXPECT_TRUE(CanChangeId(*doc, {1}, true));
  EXPECT_FALSE(CanChangeId(*doc, {1, 2}, true));
  EXPECT_FALSE(CanChangeId(*doc, {1}, false));
  EXPECT_FALSE(CanRemoveOverlays(*doc));
  doc->ToggleOverlay(Add(1, 1, 1, Dt(2015, 1, 1)));
  EXPECT_TRUE(CanRemoveOverlays(*doc));
  EXPECT_TRUE(CanEditDocument(*doc));

  app.runActive = true;
  EXPECT_FALSE(CanRegister(*doc));
  EXPECT_FALSE(CanDelete(*doc, {1}, true));
  EXPECT_FALSE(CanChangeId(*doc, {1}, true));
  EXPECT_FALSE(CanRemoveOverlays(*doc));
  EXPECT_FALSE(CanEditDocument(*doc));
}

// --- Clear panel, overlays ------------------------------------------------------

TEST_F(DocTest, ClearPanelAsksAndResetsOnOk) {
  Measure(doc->Current(), Dt(2015, 3, 4));
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(CmdClearPanel(*doc, ui));
  EXPECT_FALSE(doc->Current().IsEmpty());
  EXPECT_FALSE(app.modified);
  ASSERT_EQ(ui.messages.size(), 1u);
  const Message& m = ui.messages[0];
  EXPECT_EQ(Utf8(m.text),
            "計測データ欄をクリアします。よろしいですか？\n（クリアしたデータは元に戻せません）");
  EXPECT_EQ(Utf8(m.caption), "計測データ欄をクリア");
  EXPECT_EQ(m.icon, MsgIcon::kWarning);
  EXPECT_EQ(m.buttons, MsgButtons::kOkCancel);

  app.inputs.cells = 8;
  refreshes.clear();
  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(CmdClearPanel(*doc, ui));
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_EQ(doc->Current().cells, 8);
  EXPECT_EQ(doc->SlotOf(doc->Current()), 1);
  EXPECT_TRUE(app.modified);
  EXPECT_THAT(refreshes, ElementsAre(3));
}

TEST_F(DocTest, RemoveOverlaysResetsTheDisplayList) {
  CMeasureData* a = Add(1, 1, 1, Dt(2015, 1, 1));
  CMeasureData* b = Add(1, 1, 2, Dt(2015, 1, 1));
  doc->ToggleOverlay(a);
  doc->ToggleOverlay(b);
  refreshes.clear();
  CmdRemoveOverlays(*doc);
  EXPECT_EQ(doc->SlotOf(*a), -1);
  EXPECT_EQ(doc->SlotOf(*b), -1);
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current()));
  EXPECT_THAT(refreshes, ElementsAre(7));
}

TEST_F(DocTest, OverlayToggleByRowKeyUsesTheSmallestFreeSlot) {
  for (int i = 1; i <= 8; ++i)
    Add(1, 1, i, Dt(2015, 1, 1));
  NumberRows();
  for (int row = 0; row < 6; ++row)
    EXPECT_TRUE(doc->ToggleOverlayRow(row));
  EXPECT_FALSE(doc->ToggleOverlayRow(6));  // seven entries: full, no message
  EXPECT_EQ(doc->SlotOf(*doc->Registered()[6]), -1);
  EXPECT_TRUE(doc->ToggleOverlayRow(2));  // off again
  EXPECT_EQ(doc->SlotOf(*doc->Registered()[2]), -1);
  EXPECT_TRUE(doc->ToggleOverlayRow(7));  // takes the freed slot 4
  EXPECT_EQ(doc->SlotOf(*doc->Registered()[7]), 4);
  EXPECT_FALSE(doc->ToggleOverlayRow(99));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DocTest, ClosingAsksOnlyWithUnsavedChangesAndNeverDuringARun) {
  EXPECT_TRUE(ConfirmClose(*doc, ui));
  EXPECT_TRUE(ui.messages.empty());
  app.modified = true;
  EXPECT_FALSE(ConfirmClose(*doc, ui));  // unanswered: the default button, Cancel
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text), "変更のあるデータを保存せず終了しますか？");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "ｱﾌﾟﾘｹｰｼｮﾝの終了");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kQuestion);
  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(ConfirmClose(*doc, ui));
  app.runActive = true;
  EXPECT_FALSE(ConfirmClose(*doc, ui));
  EXPECT_EQ(ui.messages.size(), 2u);
}

// --- Ends of other commands -------------------------------------------------------

TEST_F(DocTest, InputDefaultsOfferToInitialiseAnEmptyPanel) {
  app.inputs.endVoltage = 0.9;
  ui.Answer(MsgResult::kNo);
  InputDefaultsChanged(*doc, ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "入力初期値が更新されました。\n\n今、計測データ欄を初期化しますか？");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "計測データ欄を初期化");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(doc->Current().endVoltage, 1.0);
  EXPECT_FALSE(app.modified);

  ui.Answer(MsgResult::kYes);
  InputDefaultsChanged(*doc, ui);
  EXPECT_EQ(doc->Current().endVoltage, 0.9);
  EXPECT_TRUE(app.modified);

  // A panel holding a measurement is not offered.
  Measure(doc->Current(), Dt(2015, 3, 4));
  InputDefaultsChanged(*doc, ui);
  EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(DocTest, RangeChangeRecomputesRegisteredRecordsOnly) {
  CMeasureData* a = Add(1, 1, 1, Dt(2015, 1, 1));
  Measure(doc->Current(), Dt(2015, 3, 4));
  doc->Current().avgVoltage3 = 7.0;
  app.avg3 = {1, 2};
  refreshes.clear();
  Avg3RangeChanged(*doc);
  EXPECT_DOUBLE_EQ(a->avgVoltage3, (1.199 + 1.198) / 2);
  EXPECT_EQ(doc->Current().avgVoltage3, 7.0);
  EXPECT_THAT(refreshes, ElementsAre(4));
}

// --- Save and open ------------------------------------------------------------------

TEST_F(DocTest, SaveAlwaysAsksForANameAndWritesTheFullForm) {
  Add(2, 1, 1, Dt(2015, 1, 1));
  Add(1, 1, 1, Dt(2015, 1, 1));
  Measure(doc->Current(), Dt(2015, 3, 4));
  const std::string path = dir.File("データ.qd1");
  const std::string expected =
      DataFileBytes(doc->Current(), doc->Registered(), DataFileForm::kFull);

  ui.ChooseFile(dir.File("データ"));  // typed without the extension
  ASSERT_TRUE(CmdSave(*doc, ui));
  EXPECT_EQ(ReadFile(path), expected);
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].filter, Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|"));
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, ".qd1");
  EXPECT_TRUE(ui.fileRequests[0].confirmOverwrite);
  EXPECT_EQ(ui.fileRequests[0].proposedName, "");
  EXPECT_FALSE(app.modified);
  EXPECT_EQ(app.fileVersion, "101");
  EXPECT_EQ(app.fileName, "データ.qd1");
  EXPECT_EQ(app.filePath, path);
  EXPECT_EQ(app.settings.Get("FILE"), Sj("データ.qd1"));  // CP932 in Dis.ini
  EXPECT_EQ(app.settings.Get("PATH"), Sj(path));
  for (const auto& r : doc->Registered())
    EXPECT_TRUE(doc->IsSaved(*r));
  EXPECT_TRUE(ui.messages.empty());

  // The chooser is shown again though the name is known; cancelling stops.
  app.modified = true;
  EXPECT_FALSE(CmdSave(*doc, ui));
  ASSERT_EQ(ui.fileRequests.size(), 2u);
  EXPECT_EQ(ui.fileRequests[1].proposedName, "データ.qd1");
  EXPECT_EQ(ui.fileRequests[1].startDirectory, dir.path());
  EXPECT_TRUE(app.modified);
}

TEST_F(DocTest, SaveIntoAMissingFolderReportsTheFailure) {
  app.modified = true;
  EXPECT_FALSE(SaveDataFile(*doc, ui, dir.File("no/such/folder/a.qd1")));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text), "データファイルが保存できませんでした。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイルを保存");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kError);
  EXPECT_TRUE(app.modified);
  EXPECT_EQ(app.fileName, "");
  EXPECT_EQ(app.settings.Get("FILE"), "");
}

TEST_F(DocTest, OpeningASavedFileGivesTheSameListAndAClearModifiedFlag) {
  Add(1, 1, 1, Dt(2015, 1, 2));
  Add(1, 1, 1, Dt(2015, 1, 1));
  Add(1, 1, 1, Dt(2015, 1, 2), "dup");  // equal keys keep their order
  Measure(doc->Current(), Dt(2015, 3, 4), 7);
  const std::string path = dir.File("a.qd1");
  ASSERT_TRUE(SaveDataFile(*doc, ui, path));
  const auto before = Ids();

  CAppState app2;
  app2.settings.SetDirectory(dir.path());
  app2.modified = true;
  CBrenlowDoc doc2(app2);
  FakeUi ui2;
  ui2.ChooseFile(path);
  ui2.Answer(MsgResult::kOk);  // open without saving
  ASSERT_TRUE(CmdOpen(doc2, ui2));
  ASSERT_EQ(ui2.messages.size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(ui2.messages[0].text),
            "変更されたデータがあります。\n保存せずにデータファイルを開きますか？");
  EXPECT_EQ(Cp932ToUtf8(ui2.messages[0].caption), "データファイルを開く");
  EXPECT_EQ(ui2.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_EQ(ui2.fileRequests[0].proposedName, "a.qd1");
  EXPECT_FALSE(ui2.fileRequests[0].confirmOverwrite);
  std::vector<std::string> after;
  for (const auto& r : doc2.Registered()) {
    after.push_back(r->GetIdText() + " " + r->GetDateTimeText());
    EXPECT_TRUE(doc2.IsSaved(*r));
    EXPECT_EQ(doc2.RowKeyOf(*r), -1);  // until the data view lists it
    EXPECT_EQ(doc2.SlotOf(*r), -1);
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(doc2.Registered()[2]->remark, "dup");
  EXPECT_EQ(doc2.Current().Points().size(), 7u);
  EXPECT_EQ(doc2.SlotOf(doc2.Current()), 1);
  EXPECT_FALSE(app2.modified);
  EXPECT_EQ(app2.fileVersion, "101");
  EXPECT_EQ(app2.fileName, "a.qd1");
}

TEST_F(DocTest, OpenCancelledAtTheQuestionShowsNoChooser) {
  app.modified = true;
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(CmdOpen(*doc, ui));
  EXPECT_TRUE(ui.fileRequests.empty());
}

TEST_F(DocTest, OpeningAnUnsupportedVersionEmptiesTheDocumentAndTakesTheName) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  Measure(doc->Current(), Dt(2015, 3, 4));
  app.modified = true;
  app.fileVersion = "100";
  std::string bytes = DataFileBytes(doc->Current(), doc->Registered(), DataFileForm::kFull);
  bytes[3] = '2';  // "102"
  const std::string path = dir.File("v102.qd1");
  WriteFile(path, bytes);
  refreshes.clear();

  EXPECT_FALSE(OpenDataFile(*doc, ui, path));
  EXPECT_TRUE(doc->Registered().empty());
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      Utf8(ui.messages[0].text),
      "データファイルを読み込めません。\n\n（※　データファイルのバージョンが対応していません。\n"
      "読み込もうとしたファイルのバージョンは [ 102 ] でしたが、\n"
      "このアプリケーションで扱えるバージョンは、[ 101 ] または [ 101b ] です。）");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイル読み込み");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_TRUE(app.modified);
  EXPECT_EQ(app.fileVersion, "100");
  EXPECT_EQ(app.fileName, "v102.qd1");
  EXPECT_EQ(app.settings.Get("PATH"), path);
  EXPECT_EQ(refreshes.back(), kRefreshGraph);
}

TEST_F(DocTest, OpeningAMissingFileReportsItAndChangesNothing) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  refreshes.clear();
  EXPECT_FALSE(OpenDataFile(*doc, ui, dir.File("missing.qd1")));
  EXPECT_FALSE(OpenDataFile(*doc, ui, dir.path()));  // a folder is no data file
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(Utf8(ui.messages[0].text), "データファイルが開けません。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイルを開く");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kError);
  EXPECT_EQ(doc->Registered().size(), 1u);
  EXPECT_EQ(app.fileName, "");
  EXPECT_THAT(refreshes, ElementsAre(2, 2));
}

// --- Automatic backup ------------------------------------------------------------------

class BackupTest : public DocTest, public ::testing::WithParamInterface<int> {};

TEST_P(BackupTest, AfterASaveAndTwoRegistrations) {
  app.backupMode = GetParam();
  Add(1, 1, 1, Dt(2015, 1, 1));
  Add(1, 1, 2, Dt(2015, 1, 1));
  ASSERT_TRUE(SaveDataFile(*doc, ui, dir.File("a.qd1")));
  RegisterNow(3, 1, 1, Dt(2015, 2, 1));
  RegisterNow(2, 1, 1, Dt(2015, 2, 2));
  Measure(doc->Current(), Dt(2015, 3, 1), 4);
  const bool modified = app.modified;
  ASSERT_TRUE(modified);
  app.fileVersion = "100";  // as after opening an old file

  const bool written = doc->WriteAutoBackup();
  EXPECT_EQ(app.modified, modified);
  // Only the full form records its version, as a save does.
  EXPECT_EQ(app.fileVersion, GetParam() == 1 ? "101" : "100");
  const std::string bak = dir.File("tmpdata.bak");
  if (GetParam() == 2) {
    EXPECT_FALSE(written);
    EXPECT_FALSE(FileExists(bak));
    return;
  }
  ASSERT_TRUE(written);
  const std::string bytes = ReadFile(bak);
  ArchiveReader ar(bytes.data(), bytes.size());
  CMeasureData cur;
  RecordList list;
  DataFileReadResult r = ReadDataFile(ar, cur, list, app.avg3);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(cur.Points().size(), 4u);
  std::vector<std::string> ids;
  for (const auto& rec : list)
    ids.push_back(rec->GetIdText());
  if (GetParam() == 0) {
    EXPECT_EQ(r.version, "101b");
    EXPECT_THAT(ids, ElementsAre("002-001-001", "003-001-001"));
    EXPECT_FALSE(doc->IsSaved(*doc->Registered()[2]));
  } else {
    EXPECT_EQ(r.version, "101");
    EXPECT_THAT(ids, ElementsAre("001-001-001", "001-001-002", "002-001-001", "003-001-001"));
    EXPECT_EQ(bytes, DataFileBytes(doc->Current(), doc->Registered(), DataFileForm::kFull));
    for (const auto& rec : doc->Registered())
      EXPECT_TRUE(doc->IsSaved(*rec));  // the full backup counts as a save of them
  }
  // No temporary file is left beside the backup.
  EXPECT_FALSE(FileExists(dir.File(TempNamePrefix(bak))));
}

INSTANTIATE_TEST_SUITE_P(Modes, BackupTest, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace qv::test

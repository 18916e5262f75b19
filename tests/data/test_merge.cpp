// The merge dialog's model and the merge command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "data/merge.h"
#include "test_document_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

class MergeTest : public DocTest {
 protected:
  // Writes a source file: a current measurement with `points` points and
  // the given registered records (ID part 3 and day of March 2015).
  std::string Source(const std::string& name, const std::vector<std::pair<int, int>>& recs,
                     int points = 9, int idPart1 = 1) {
    CMeasureData cur;
    Measure(cur, Dt(2016, 6, 6), points);
    cur.remark = "source current";
    RecordList list;
    for (auto [p3, day] : recs) {
      auto r = std::make_unique<CMeasureData>();
      Measure(*r, Dt(2015, 3, day));
      r->id1 = idPart1;
      r->id2 = 1;
      r->id3 = p3;
      r->remark = "from file";
      list.push_back(std::move(r));
    }
    const std::string path = dir.File(name);
    WriteFile(path, DataFileBytes(cur, list, DataFileForm::kFull));
    return path;
  }

  bool MergeFile(const std::string& path) {
    CMergeModel m(*doc);
    m.Open();
    m.filePath = path;
    bool done = m.Merge(ui);
    overwritten = m.Overwritten();
    return done;
  }

  std::vector<std::string> overwritten;
};

TEST_F(MergeTest, SameIdAndDateTimeIsReplacedOtherwiseBothStay) {
  CMeasureData* same = Add(1, 1, 1, Dt(2015, 3, 4));
  Add(1, 1, 2, Dt(2015, 3, 9));  // same ID as the file's but another date
  Add(9, 9, 9, Dt(2015, 1, 1));
  doc->ToggleOverlay(same);
  Measure(doc->Current(), Dt(2015, 1, 1), 2);
  app.modified = false;
  const std::string src = Source("src.qd1", {{1, 4}, {2, 4}, {3, 4}});

  ASSERT_TRUE(MergeFile(src));
  EXPECT_THAT(overwritten, ElementsAre("001-001-001 (2015/03/04 10:11:12)"));
  EXPECT_THAT(Ids(),
              ElementsAre("001-001-001 2015/03/04 10:11:12", "001-001-002 2015/03/04 10:11:12",
                          "001-001-002 2015/03/09 10:11:12", "001-001-003 2015/03/04 10:11:12",
                          "009-009-009 2015/01/01 10:11:12"));
  EXPECT_EQ(doc->Registered()[0]->remark, "from file");
  for (const auto& r : doc->Registered()) {
    if (r->remark == "from file") {
      EXPECT_FALSE(doc->IsSaved(*r));
    }
  }
  // The source's current measurement replaced the document's, points included.
  EXPECT_EQ(doc->Current().Points().size(), 9u);
  EXPECT_EQ(doc->Current().remark, "source current");
  EXPECT_EQ(doc->SlotOf(doc->Current()), 1);
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current()));
  EXPECT_TRUE(app.modified);
  EXPECT_EQ(app.settings.Get("INPORT_MERGE"), src);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MergeTest, DuplicatesInsideTheSourceAreBothKept) {
  Add(1, 1, 1, Dt(2015, 3, 4));
  ASSERT_TRUE(MergeFile(Source("src.qd1", {{1, 4}, {1, 4}})));
  EXPECT_THAT(overwritten, ElementsAre("001-001-001 (2015/03/04 10:11:12)"));
  EXPECT_EQ(doc->Registered().size(), 2u);
}

TEST_F(MergeTest, CompletionListsSixEntriesThenTheRest) {
  for (int i = 1; i <= 8; ++i)
    Add(1, 1, i, Dt(2015, 3, i));
  app.modified = false;
  const std::string src =
      Source("src.qd1", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}});
  EXPECT_TRUE(CmdMerge(*doc, ui, [&](CMergeModel& m) {
    m.filePath = "  " + src + " \t";
    return m.Merge(ui);
  }));
  EXPECT_EQ(app.settings.Get("INPORT_MERGE"), src);  // trimmed
  EXPECT_EQ(doc->Registered().size(), 8u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "データファイルを合成しました。\n\n※　重複した次の登録データは上書きされました。\n"
            "　　　001-001-001 (2015/03/01 10:11:12)\n"
            "　　　001-001-002 (2015/03/02 10:11:12)\n"
            "　　　001-001-003 (2015/03/03 10:11:12)\n"
            "　　　001-001-004 (2015/03/04 10:11:12)\n"
            "　　　001-001-005 (2015/03/05 10:11:12)\n"
            "　　　001-001-006 (2015/03/06 10:11:12)\n"
            "　　　　・・・・・\n　　　　　（他、2件の登録データ）");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイル合成完了");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
}

TEST_F(MergeTest, CompletionWithExactlySixHasNoRestLine) {
  std::vector<std::string> six;
  for (int i = 1; i <= 6; ++i)
    six.push_back("e" + std::to_string(i));
  EXPECT_EQ(Utf8(MergeCompletionText(six)),
            "データファイルを合成しました。\n\n※　重複した次の登録データは上書きされました。\n"
            "　　　e1\n　　　e2\n　　　e3\n　　　e4\n　　　e5\n　　　e6\n");
  six.push_back("e7");
  EXPECT_THAT(
      Utf8(MergeCompletionText(six)),
      ::testing::EndsWith("　　　e6\n　　　　・・・・・\n　　　　　（他、1件の登録データ）"));
  EXPECT_EQ(Utf8(MergeCompletionText({})), "データファイルを合成しました。");
}

TEST_F(MergeTest, BackupModeWithoutABackupCannotOpen) {
  app.settings.Set("INPORT_MERGE", "keep");
  CMergeModel m(*doc);
  m.Open();
  EXPECT_EQ(m.filePath, "keep");
  EXPECT_TRUE(m.FileControlsEnabled());
  m.backupMode = true;
  EXPECT_FALSE(m.FileControlsEnabled());
  m.filePath = "";  // ignored in backup mode: no empty-path message
  EXPECT_FALSE(m.Merge(ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text), "データファイルが開けません。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイルを合成");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kError);
}

TEST_F(MergeTest, BackupModeRestoresUnsavedRecordsAndKeepsInportMerge) {
  app.settings.Set("INPORT_MERGE", "keep");
  RegisterNow(1, 1, 1, Dt(2015, 3, 4));
  RegisterNow(1, 1, 2, Dt(2015, 3, 5));
  ASSERT_TRUE(doc->WriteAutoBackup());

  CAppState app2;
  app2.settings.SetDirectory(dir.path());
  CBrenlowDoc doc2(app2);
  CMergeModel m(doc2);
  m.Open();
  m.backupMode = true;
  ASSERT_TRUE(m.Merge(ui));
  EXPECT_EQ(doc2.Registered().size(), 2u);
  EXPECT_EQ(app2.settings.Get("INPORT_MERGE"), "keep");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MergeTest, ChecksOfTheMergeButtonInOrder) {
  app.fileName = "src.qd1";
  app.modified = true;
  mkdir(dir.File("other").c_str(), 0700);
  const std::string src = Source("other/src.qd1", {{1, 1}});

  CMergeModel m(*doc);
  m.Open();
  m.filePath = "   ";
  EXPECT_FALSE(m.Merge(ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text), "合成するデータファイルを指定してください。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "合成データファイル指定");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);

  // Same name from another folder: asked; Cancel stays.
  m.filePath = src;
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(m.Merge(ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(Utf8(ui.messages[1].text),
            "指定したファイル名が、編集中のファイルと同じです。\nこのまま処理を継続しますか？");
  EXPECT_EQ(Utf8(ui.messages[1].caption), "データファイルを合成");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::kQuestion);

  // Then the unsaved-changes question; Cancel stays.
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(m.Merge(ui));
  ASSERT_EQ(ui.messages.size(), 4u);
  EXPECT_EQ(Utf8(ui.messages[3].text),
            "変更されたデータがあります。\n保存せずにこのまま処理を継続しますか？");
  EXPECT_EQ(ui.messages[3].icon, MsgIcon::kQuestion);
  EXPECT_TRUE(doc->Registered().empty());
  EXPECT_EQ(app.settings.Get("INPORT_MERGE"), "");

  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(m.Merge(ui));
  EXPECT_EQ(doc->Registered().size(), 1u);
}

TEST_F(MergeTest, UnsupportedVersionResetsOverlaysAndPanelButKeepsTheList) {
  CMeasureData* a = Add(1, 1, 1, Dt(2015, 3, 4));
  doc->ToggleOverlay(a);
  Measure(doc->Current(), Dt(2015, 1, 1));
  app.modified = false;
  std::string bytes = ReadFile(Source("src.qd1", {{5, 5}}));
  bytes[3] = '9';
  WriteFile(dir.File("v109.qd1"), bytes);
  EXPECT_FALSE(MergeFile(dir.File("v109.qd1")));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_THAT(Utf8(ui.messages[0].text), ::testing::HasSubstr("[ 109 ]"));
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイル読み込み");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_THAT(Ids(), ElementsAre("001-001-001 2015/03/04 10:11:12"));
  EXPECT_EQ(doc->SlotOf(*a), -1);
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_FALSE(app.modified);
  EXPECT_EQ(app.settings.Get("INPORT_MERGE"), "");
}

TEST_F(MergeTest, BrowseSplitsFolderAndName) {
  CMergeModel m(*doc);
  m.filePath = "/data/sub/file.qd1";
  ui.ChooseFile(std::string("/x/y.qd1"));
  m.Browse(ui);
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].startDirectory, "/data/sub");
  EXPECT_EQ(ui.fileRequests[0].proposedName, "file.qd1");
  EXPECT_EQ(ui.fileRequests[0].filter, Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|"));
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, ".qd1");
  EXPECT_EQ(m.filePath, "/x/y.qd1");
  m.Browse(ui);  // cancelled: the field stays
  EXPECT_EQ(m.filePath, "/x/y.qd1");
}

}  // namespace
}  // namespace qv::test

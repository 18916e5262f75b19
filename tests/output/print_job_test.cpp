// The print command without windows, before painting: its command line, the
// stored settings it prints with, the records of its ID range and its
// refusals, each with its exact message and exit status.
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "data/codec.h"
#include "data/registration_id.h"
#include "output/print_job.h"
#include "output_test_util.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

std::optional<PrintJobRequest> Parse(std::vector<std::string> args, std::string& error) {
  return ParsePrintJobArguments(args, error);
}

TEST(PrintJobArguments, TakeTheFileTheLayoutTheRangeAndTheOutputs) {
  std::string error;
  auto r = Parse({"a.qd1", "--layout", "table", "--from=1-2-3", "--to", "2-1-1", "--out", "o.pdf",
                  "--png", "pics", "--dir=/w"},
                 error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(r->file, "a.qd1");
  EXPECT_EQ(r->form, kPrintTable);
  EXPECT_EQ(r->from, "1-2-3");
  EXPECT_EQ(r->to, "2-1-1");
  EXPECT_EQ(r->out, "o.pdf");
  EXPECT_EQ(r->pngDir, "pics");
  EXPECT_EQ(r->dir, "/w");
  EXPECT_EQ(Parse({"a.qd1", "--layout=labels", "--out=o.pdf"}, error)->form, kPrintLabels);
  EXPECT_EQ(Parse({"--out", "o.pdf", "--layout", "graph", "a.qd1"}, error)->form, kPrintGraphs);
  EXPECT_TRUE(Parse({"a.qd1", "--help"}, error)->help);
  // A pack without a layout prints all its documents.
  r = Parse({"--catalog", "--pack", "Pack 1", "--parallel=2", "--out", "o.pdf"}, error);
  ASSERT_TRUE(r) << error;
  EXPECT_TRUE(r->catalog);
  EXPECT_EQ(r->pack, "Pack 1");
  EXPECT_EQ(r->form, -1);
  EXPECT_EQ(r->parallel, 2);
  EXPECT_EQ(Parse({"--catalog", "--where", "ir < 5", "--layout", "graph", "--out", "o.pdf"}, error)
                ->where,
            "ir < 5");
}

TEST(PrintJobArguments, RefuseWhatIsMissingOrUnknown) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--layout", "table", "--out", "o.pdf"}, "give a data file FILE.qd1 or --catalog"},
      {{"a.qd1", "--catalog", "--layout", "table", "--out", "o.pdf"},
       "give a data file or --catalog, not both"},
      {{"--catalog", "--where", "ir < 5", "--pack", "P", "--out", "o.pdf"},
       "give --where or --pack, not both"},
      {{"--catalog", "--layout", "table", "--parallel", "2", "--out", "o.pdf"},
       "--parallel belongs to --pack"},
      {{"--catalog", "--pack", "P", "--parallel", "0", "--out", "o.pdf"},
       "--parallel must be a count from 1 to 999"},
      {{"a.qd1", "--out", "o.pdf"}, "--layout labels|graph|table is required"},
      {{"a.qd1", "--layout", "sheet", "--out", "o.pdf"}, "--layout must be labels, graph or table"},
      {{"a.qd1", "--layout", "table"}, "--out OUT.pdf is required"},
      {{"a.qd1", "--layout", "table", "--out"}, "--out needs a value"},
      {{"a.qd1", "b.qd1", "--layout", "table", "--out", "o.pdf"}, "one data file at a time: b.qd1"},
      {{"a.qd1", "--layout", "table", "--out", "o.pdf", "--colour"}, "unknown option --colour"},
      {{"a.qd1", "--pack", "P1", "--layout", "table", "--out", "o.pdf"},
       "--where and --pack choose from the catalogue: give --catalog"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

struct PrintJob : ::testing::Test {
  PrintJob() {
    app.settings.SetDirectory(dir.path());
    SeedNewSettings(app.settings);
    app.LoadSettings();
    for (int id3 : {1, 2, 3, 4, 5}) {
      list.push_back(MakeRecord(1, 1, id3));
      AddPoints(*list.back(), 100);
    }
    request.form = kPrintTable;
  }
  int Begin() { return BeginPrintJob(request, app, list, device, ui, engine); }

  TempDir dir;
  CAppState app;
  RecordList list;
  PrintJobRequest request;
  PrinterDevice device{0, 0, 9921, 14031, 1200, 1200, 96};
  FakeUi ui;
  CPrintEngine engine;
};

TEST_F(PrintJob, PrintsTheRangeWithTheStoredLayoutAndTheGivenForm) {
  request.from = "1-1-2";
  request.to = "001-001-004";
  ASSERT_EQ(Begin(), kPrintJobOk);
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_EQ(engine.Pages().size(), 1u);
  ASSERT_EQ(engine.Pages()[0].records.size(), 3u);
  EXPECT_EQ(engine.Pages()[0].records[0]->id3, 2);
  EXPECT_EQ(engine.Pages()[0].records[2]->id3, 4);
  EXPECT_EQ(engine.Layout().settings.form, kPrintTable);
  EXPECT_EQ(engine.Layout().settings.topX, 9);  // the first values of a new settings file
  // A4's 9921 device pixels at 1200 dpi truncate to 209 mm.
  EXPECT_EQ(engine.Layout().metrics.pageWidth, 209);
}

TEST_F(PrintJob, WithoutIdsEveryRecordIsPrintedWhateverRangeIsStored) {
  app.settings.Set("PRINT_IDEND3", "001");
  app.settings.Set("PRINT_RADIO2", "2");
  request.form = kPrintLabels;
  ASSERT_EQ(Begin(), kPrintJobOk);
  // 7 x 7 labels: five records on one sheet.
  ASSERT_EQ(engine.GetPageCount(), 1);
  EXPECT_EQ(engine.Pages()[0].rows[0].size(), 5u);
}

TEST_F(PrintJob, RefusalsTellWhyAndExitWithTheirStatus) {
  const struct {
    const char* from;
    const char* to;
    int exit;
    std::string text;
  } cases[] = {
      {"1-1-1000", "", kPrintJobBadId, IdRefusalText()},
      {"", "1-x-1", kPrintJobBadId, IdRefusalText()},
      {"1-1-4", "1-1-2", kPrintJobBadId,
       Sj("登録IDの範囲が正しくありません。\n開始IDには終了ID以前のIDを指定してください。")},
      {"2-1-1", "", kPrintJobEmpty,
       Sj("印刷する登録データがありません。\n（指定した範囲に登録データがありません。）")},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    request.from = c.from;
    request.to = c.to;
    EXPECT_EQ(Begin(), c.exit) << c.from << " " << c.to;
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.text);
  }
}

TEST_F(PrintJob, InvalidStoredSettingsGetTheDialogsMessage) {
  app.settings.Set("PRINT_TOP_X", "1");
  app.settings.Set("PRINT_LABEL_CY", "");
  EXPECT_EQ(Begin(), kPrintJobSettings);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            PrintValidationMessage(Sj("左余白：3～200の範囲で設定してください。\n"
                                      "ラベル行数：1～100の範囲で設定してください。\n")));
  EXPECT_EQ(ui.messages[0].caption, Sj("印刷データの設定"));
}

TEST_F(PrintJob, AMissingOrDamagedFileIsTold) {
  CBrenlowDoc doc(app);
  EXPECT_EQ(LoadPrintDocument(dir.File("none.qd1"), doc, ui), kPrintJobMissing);
  WriteFile(dir.File("bad.qd1"), "101 and then nothing sensible");
  EXPECT_EQ(LoadPrintDocument(dir.File("bad.qd1"), doc, ui), kPrintJobUnreadable);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(
      ui.messages[0].text.rfind(Sj("データファイルが開けません。 ") + dir.File("none.qd1"), 0), 0u);
  EXPECT_FALSE(ui.messages[1].text.empty());
}

TEST(PrintJobTexts, AFailedWriteSaysWhy) {
  EXPECT_EQ(Cp932ToUtf8(PrintNotWrittenText("/x/o.pdf", EACCES)),
            "/x/o.pdf を保存できませんでした（書き込みの権限がありません）。");
  EXPECT_EQ(Cp932ToUtf8(PrintNotWrittenText("o.pdf", 0)), "o.pdf を保存できませんでした。");
}

}  // namespace
}  // namespace qv::test

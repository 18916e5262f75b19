// Registration dialog model, free-ID search, ID change dialog model, and the
// delete and change-ID commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstdint>

#include "data/registration.h"
#include "test_document_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

class RegTest : public DocTest {
 protected:
  CRegistrationModel Opened() {
    CRegistrationModel m(*doc, app.settings);
    m.Open();
    return m;
  }
  void Remember(const char* next, const char* a, const char* b, const char* c) {
    app.settings.Set("REGIST_NEXT", next);
    app.settings.Set("REGIST_ID1", a);
    app.settings.Set("REGIST_ID2", b);
    app.settings.Set("REGIST_ID3", c);
  }
  std::vector<std::string> Fields(const CRegistrationModel& m) {
    return {m.fields[0], m.fields[1], m.fields[2]};
  }
};

// --- Free-ID search and opening the registration dialog ------------------------

TEST_F(RegTest, ProposesTheNextFreeIdFromTheRememberedOne) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  Add(1, 1, 2, Dt(2015, 1, 1));
  Remember("1", "1", "1", "1");
  CRegistrationModel m = Opened();
  EXPECT_TRUE(m.proposeNext);
  EXPECT_THAT(Fields(m), ElementsAre("1", "1", "3"));
}

TEST_F(RegTest, TheLastPartCarriesIntoTheSecond) {
  Add(1, 1, 999, Dt(2015, 1, 1));
  Remember("1", "1", "1", "999");
  EXPECT_THAT(Fields(Opened()), ElementsAre("1", "2", "1"));
}

TEST_F(RegTest, ARememberedIdNoLongerInUseIsProposedAgain) {
  Remember("1", "007", "8", "9");
  EXPECT_THAT(Fields(Opened()), ElementsAre("7", "8", "9"));
}

TEST_F(RegTest, NoProposalWhenTheOdometerRunsOut) {
  Add(999, 999, 999, Dt(2015, 1, 1));
  Remember("1", "999", "999", "999");
  CRegistrationModel m = Opened();
  EXPECT_TRUE(m.proposeNext);
  EXPECT_THAT(Fields(m), ElementsAre("", "", ""));
}

TEST_F(RegTest, OpensEmptyWithoutProposeNext) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  Remember("0", "1", "1", "1");
  CRegistrationModel m = Opened();
  EXPECT_FALSE(m.proposeNext);
  EXPECT_FALSE(m.showAutoAssign);
  EXPECT_THAT(Fields(m), ElementsAre("", "", ""));
  app.settings.Set("FLAG_NUMBTN", "2");
  EXPECT_TRUE(Opened().showAutoAssign);
}

TEST(FreeIdSearch, FixedPositionsKeepTheirValues) {
  RecordList list;
  for (int i = 1; i <= 3; ++i) {
    auto r = std::make_unique<CMeasureData>();
    r->id1 = 4;
    r->id2 = 5;
    r->id3 = i;
    list.push_back(std::move(r));
  }
  std::array<int32_t, 3> v = {4, 5, 1};
  EXPECT_TRUE(FindFreeId(list, v, {false, false, true}));
  EXPECT_THAT(v, ElementsAre(4, 5, 4));
  v = {4, 5, 1};
  EXPECT_FALSE(FindFreeId(list, v, {false, false, false}));
  v = {4, 1, 1};  // middle free, the last fixed: 004-001-001 is free at once
  EXPECT_TRUE(FindFreeId(list, v, {false, true, false}));
  EXPECT_THAT(v, ElementsAre(4, 1, 1));
  v = {4, 5, 2};
  EXPECT_TRUE(FindFreeId(list, v, {false, true, false}));
  EXPECT_THAT(v, ElementsAre(4, 6, 2));
}

TEST(FreeIdSearch, AHugeIdReadFromAFileEndsTheSearchWithoutOverflow) {
  // A damaged or foreign file may hold any ID parts; stepping past them must
  // not overflow (the sanitizer build checks this).
  RecordList list;
  auto r = std::make_unique<CMeasureData>();
  r->id1 = r->id2 = r->id3 = INT32_MAX;
  list.push_back(std::move(r));
  std::array<int32_t, 3> v = {INT32_MAX, INT32_MAX, INT32_MAX};
  EXPECT_FALSE(FindFreeId(list, v, {true, true, true}));
  v = {INT32_MAX, INT32_MAX, INT32_MAX};
  EXPECT_FALSE(FindFreeId(list, v, {false, false, true}));
}

// --- Auto-assign ---------------------------------------------------------------

TEST_F(RegTest, AutoAssignFillsOnlyTheEmptyFields) {
  Add(5, 1, 1, Dt(2015, 1, 1));
  CRegistrationModel m = Opened();
  m.SetField(0, "5");
  m.AutoAssign(ui);
  EXPECT_THAT(Fields(m), ElementsAre("5", "1", "2"));
  EXPECT_TRUE(ui.messages.empty());

  m.fields = {"", "7", ""};
  m.AutoAssign(ui);
  EXPECT_THAT(Fields(m), ElementsAre("1", "7", "1"));
}

TEST_F(RegTest, AutoAssignNeedsAnEmptyField) {
  Add(5, 1, 1, Dt(2015, 1, 1));
  CRegistrationModel m = Opened();
  m.fields = {"5", "1", "1"};  // in use, still refused
  m.AutoAssign(ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "自動割付できません。\n（自動割付は未記入欄がある場合に行えます。）");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "ID自動割付");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  EXPECT_THAT(Fields(m), ElementsAre("5", "1", "1"));
}

TEST_F(RegTest, AutoAssignRefusesInvalidValues) {
  CRegistrationModel m = Opened();
  for (const char* bad : {"0", "abc", "-1"}) {
    m.fields = {"", bad, ""};
    m.AutoAssign(ui);
  }
  ASSERT_EQ(ui.messages.size(), 3u);
  for (const auto& msg : ui.messages) {
    EXPECT_EQ(
        Utf8(msg.text),
        "入力欄に不正な値があります。\n入力欄は、未記入もしくは1～999の値を設定してください。");
    EXPECT_EQ(msg.icon, MsgIcon::kWarning);
  }
  EXPECT_THAT(Fields(m), ElementsAre("", "-1", ""));
}

TEST_F(RegTest, AutoAssignWhenTheFreePositionsAreExhausted) {
  for (int i = 1; i <= 999; ++i)
    Add(5, 7, i, Dt(2015, 1, 1));
  CRegistrationModel m = Opened();
  m.fields = {"5", "7", ""};
  m.AutoAssign(ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "自動割付できません。\n未記入欄の箇所で使用されている番号がいっぱいです。");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_THAT(Fields(m), ElementsAre("5", "7", ""));
  m.fields = {"5", "", ""};  // the second part can still move on
  m.AutoAssign(ui);
  EXPECT_THAT(Fields(m), ElementsAre("5", "1", "1"));
  m.fields = {"5", "", ""};
  Add(5, 1, 1, Dt(2015, 1, 1));
  m.AutoAssign(ui);
  EXPECT_THAT(Fields(m), ElementsAre("5", "1", "2"));
}

// --- Register button -------------------------------------------------------------------

TEST_F(RegTest, RegisterChecksEveryFieldInOrder) {
  CRegistrationModel m = Opened();
  m.fields = {"1", "", "x"};
  EXPECT_FALSE(m.Register(ui));
  m.fields = {"1", "0", "3"};
  EXPECT_FALSE(m.Register(ui));
  m.fields = {"abc", "", ""};
  EXPECT_FALSE(m.Register(ui));
  m.SetField(0, "1000");  // cut to three characters: "100"
  m.fields[1] = "1";
  m.fields[2] = "999";
  ASSERT_EQ(m.fields[0], "100");
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "未記入欄があります。\n登録の際は３つのＩＤ入力欄すべてに値を入れてください。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "登録処理");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  EXPECT_EQ(Utf8(ui.messages[1].text),
            "入力欄に不正な値があります。\n入力欄はそれぞれ1～999の値を設定してください。");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::kWarning);
  EXPECT_EQ(Utf8(ui.messages[2].text), Utf8(ui.messages[1].text));
  EXPECT_EQ(app.settings.Get("REGIST_NEXT"), "");  // nothing written while refused

  auto id = m.Register(ui);
  ASSERT_TRUE(id);
  EXPECT_EQ(*id, (RegistrationId{100, 1, 999}));
}

TEST_F(RegTest, RegisterAsksWhenTheIdExistsAndRemembersTheTypedTexts) {
  Add(7, 1, 1, Dt(2015, 1, 1));
  Add(7, 1, 1, Dt(2015, 1, 2));
  CRegistrationModel m = Opened();
  m.fields = {"007", "1", "01"};
  m.proposeNext = true;
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(m.Register(ui));
  ASSERT_EQ(ui.messages.size(), 1u);  // asked once, at the first match
  EXPECT_EQ(
      Utf8(ui.messages[0].text),
      "入力されたID 007-001-001 と同じIDが既に登録リストに存在します。\n登録処理を続けますか？");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "登録処理");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(app.settings.Get("REGIST_ID1"), "");

  ui.Answer(MsgResult::kOk);
  auto id = m.Register(ui);
  ASSERT_TRUE(id);
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(*id, (RegistrationId{7, 1, 1}));
  EXPECT_EQ(app.settings.Get("REGIST_NEXT"), "1");
  EXPECT_EQ(app.settings.Get("REGIST_ID1"), "007");
  EXPECT_EQ(app.settings.Get("REGIST_ID2"), "1");
  EXPECT_EQ(app.settings.Get("REGIST_ID3"), "01");

  // OK registers a second record with the same ID.
  Measure(doc->Current(), Dt(2015, 1, 3));
  RegisterAccepted(*doc, *id);
  EXPECT_EQ(doc->Registered().size(), 3u);

  m.proposeNext = false;
  m.fields = {"8", "1", "1"};
  ASSERT_TRUE(m.Register(ui));
  EXPECT_EQ(app.settings.Get("REGIST_NEXT"), "0");
}

TEST(LimitChars, CountsDoubleByteCharactersAsOne) {
  EXPECT_EQ(LimitChars("12345", 3), "123");
  const std::string wide = Sj("１２３４");
  EXPECT_EQ(LimitChars(wide, 3), Sj("１２３"));
  EXPECT_EQ(LimitChars(Sj("ｱ１") + "9x", 3), Sj("ｱ１") + "9");
}

// --- ID change dialog ---------------------------------------------------------------------

TEST_F(RegTest, IdChangeChecksSameIdAndAsks) {
  CMeasureData* a = Add(1, 2, 3, Dt(2015, 1, 1));
  Add(4, 5, 6, Dt(2015, 1, 1));
  CIdChangeModel m(*doc, *a);
  EXPECT_EQ(m.CurrentIdText(), "001-002-003");

  m.fields = {"1", "", "3"};
  EXPECT_FALSE(m.Ok(ui));
  m.fields = {"1", "2", "3"};
  EXPECT_FALSE(m.Ok(ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "ID欄が未記入であるか、不正な値があります。\n各ID欄にはそれぞれ1～999の値を設定してくだ"
            "さい。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "登録IDの変更");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(Utf8(ui.messages[1].text), "変更前と同じIDです。");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::kInformation);

  m.fields = {"9", "9", "9"};
  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(m.Ok(ui));
  EXPECT_EQ(Utf8(ui.messages[2].text),
            "登録ID 001-002-003 を 009-009-009 に変更します。\nよろしいですか？");
  EXPECT_EQ(ui.messages[2].icon, MsgIcon::kQuestion);
  EXPECT_EQ(ui.messages[2].buttons, MsgButtons::kOkCancel);

  m.fields = {"4", "05", "6"};
  auto id = m.Ok(ui);
  ASSERT_TRUE(id);
  EXPECT_EQ(*id, (RegistrationId{4, 5, 6}));
  EXPECT_EQ(Utf8(ui.messages[3].text),
            "（入力されたID 004-005-006 と同じIDが既に登録リストに存在します。）\n\n"
            "登録ID 001-002-003 を 004-005-006 に変更します。\nよろしいですか？");
}

// --- Delete command -------------------------------------------------------------------------

TEST_F(RegTest, DeleteOneRowNamesItsIdAndDateTime) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  CMeasureData* b = Add(1, 2, 3, Dt(2015, 3, 4));
  NumberRows();
  doc->ToggleOverlay(b);
  app.modified = false;

  ui.Answer(MsgResult::kCancel);
  EXPECT_FALSE(CmdDelete(*doc, ui, {1}, true));
  EXPECT_EQ(doc->Registered().size(), 2u);
  EXPECT_FALSE(app.modified);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(ui.messages[0].text),
            "選択中の登録データ\n　ID 001-002-003 (2015/03/04 10:11:12)\n"
            "を削除します。よろしいですか？\n（削除したデータは元に戻せません）");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "登録データの削除");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kOkCancel);

  refreshes.clear();
  EXPECT_TRUE(CmdDelete(*doc, ui, {1}, true));
  EXPECT_THAT(Ids(), ElementsAre("001-001-001 2015/01/01 10:11:12"));
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current()));
  EXPECT_TRUE(app.modified);
  EXPECT_THAT(refreshes, ElementsAre(7));
}

TEST_F(RegTest, DeleteThreeRowsCountsThem) {
  for (int i = 1; i <= 5; ++i)
    Add(1, 1, i, Dt(2015, 1, 1));
  NumberRows();
  EXPECT_TRUE(CmdDelete(*doc, ui, {4, 0, 2, 2}, true));  // a repeated row counts once
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      Utf8(ui.messages[0].text),
      "選択中の 3個の登録データを削除します。よろしいですか？\n（削除したデータは元に戻せません）");
  EXPECT_THAT(Ids(),
              ElementsAre("001-001-002 2015/01/01 10:11:12", "001-001-004 2015/01/01 10:11:12"));
}

TEST_F(RegTest, DeleteAndChangeIdDoNothingWithoutTheListFocus) {
  Add(1, 1, 1, Dt(2015, 1, 1));
  NumberRows();
  bool dialogRan = false;
  auto dialog = [&](CBrenlowDoc&, CMeasureData&) {
    dialogRan = true;
    return std::optional<RegistrationId>(RegistrationId{2, 2, 2});
  };
  EXPECT_FALSE(CmdDelete(*doc, ui, {0}, false));
  EXPECT_FALSE(CmdChangeId(*doc, ui, {0}, false, dialog));
  EXPECT_FALSE(CmdDelete(*doc, ui, {9}, true));  // no such row: nothing asked
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(dialogRan);
  EXPECT_EQ(doc->Registered().size(), 1u);
}

// --- Change-ID command -----------------------------------------------------------------------

TEST_F(RegTest, ChangeIdMovesTheRecordAndDropsItsOverlay) {
  CMeasureData* a = Add(1, 1, 1, Dt(2015, 1, 1));
  Add(2, 1, 1, Dt(2015, 1, 1));
  Add(3, 1, 1, Dt(2015, 1, 1));
  doc->SetSaved(*a, true);
  NumberRows();
  doc->ToggleOverlay(a);
  ASSERT_EQ(doc->SlotOf(*a), 2);
  app.modified = false;
  refreshes.clear();

  auto dialog = [&](CBrenlowDoc& d, CMeasureData& rec) {
    CIdChangeModel m(d, rec);
    m.fields = {"2", "5", "1"};
    return m.Ok(ui);
  };
  EXPECT_TRUE(CmdChangeId(*doc, ui, {0}, true, dialog));
  EXPECT_THAT(Ids(),
              ElementsAre("002-001-001 2015/01/01 10:11:12", "002-005-001 2015/01/01 10:11:12",
                          "003-001-001 2015/01/01 10:11:12"));
  EXPECT_EQ(doc->Registered()[1].get(), a);
  EXPECT_EQ(doc->SlotOf(*a), -1);
  EXPECT_THAT(doc->DisplayList(), ElementsAre(&doc->Current()));
  EXPECT_TRUE(doc->IsSaved(*a));  // keeps its saved flag
  EXPECT_TRUE(app.modified);
  EXPECT_THAT(refreshes, ElementsAre(7));
  ASSERT_EQ(ui.messages.size(), 2u);  // the question, then the result
  EXPECT_EQ(Utf8(ui.messages[1].text), "登録IDを変更しました。");
  EXPECT_EQ(Utf8(ui.messages[1].caption), "登録IDの変更");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::kInformation);
}

TEST_F(RegTest, ChangeIdSearchesTheRowKeyFromTheEnd) {
  CMeasureData* a = Add(1, 1, 1, Dt(2015, 1, 1));
  CMeasureData* b = Add(2, 1, 1, Dt(2015, 1, 1));
  doc->SetRowKey(*a, 5);
  doc->SetRowKey(*b, 5);
  const CMeasureData* seen = nullptr;
  CmdChangeId(*doc, ui, {5}, true, [&](CBrenlowDoc&, CMeasureData& rec) {
    seen = &rec;
    return std::optional<RegistrationId>();
  });
  EXPECT_EQ(seen, b);
  EXPECT_TRUE(ui.messages.empty());  // cancelled: no result message
}

}  // namespace
}  // namespace qv::test

#include "output/print_settings.h"

#include <algorithm>

#include "core/app_state.h"
#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "data/registration_id.h"
#include "data/text_format.h"

namespace qv {
namespace {

constexpr int kMaxBlankLabels = 100000;

bool InRange(int v, int lo, int hi) {
  return v >= lo && v <= hi;
}

// Rows of slots filled left to right; a full row opens the next row, and a
// row beyond `rowsPerPage` starts a new page. Empty last row and page are
// dropped at the end.
class SlotPaginator {
 public:
  SlotPaginator(int perRow, int rowsPerPage)
      : perRow_(std::max(perRow, 1)), rowsPerPage_(std::max(rowsPerPage, 1)) {
    pages_.emplace_back();
    pages_.back().rows.emplace_back();
  }
  void Add(const CMeasureData* slot) {
    PrintPage& page = pages_.back();
    page.rows.back().push_back(slot);
    if (static_cast<int>(page.rows.back().size()) >= perRow_) {
      page.rows.emplace_back();
      if (static_cast<int>(page.rows.size()) > rowsPerPage_) {
        page.rows.pop_back();
        pages_.emplace_back();
        pages_.back().rows.emplace_back();
      }
    }
  }
  std::vector<PrintPage> Finish() {
    if (!pages_.back().rows.empty() && pages_.back().rows.back().empty())
      pages_.back().rows.pop_back();
    if (pages_.back().rows.empty()) pages_.pop_back();
    return std::move(pages_);
  }

 private:
  int perRow_, rowsPerPage_;
  std::vector<PrintPage> pages_;
};

}  // namespace

void CPrintSettingDlg::Open(const CSettingsStore& s) {
  topX = s.Get(keys::kPrintTopX);
  topY = s.Get(keys::kPrintTopY);
  labelW = s.Get(keys::kPrintLabelW);
  labelH = s.Get(keys::kPrintLabelH);
  labelGX = s.Get(keys::kPrintLabelGX);
  labelGY = s.Get(keys::kPrintLabelGY);
  graphWS = s.Get(keys::kPrintGraphWS);
  if (AtoI(graphWS) <= 0) graphWS.clear();
  labelCX = s.Get(keys::kPrintLabelCX);
  labelCY = s.Get(keys::kPrintLabelCY);
  for (int i = 0; i < 3; ++i) {
    idStart[static_cast<size_t>(i)] = s.Get(keys::kPrintIdStart[i]);
    idEnd[static_cast<size_t>(i)] = s.Get(keys::kPrintIdEnd[i]);
  }
  int f = s.Value(keys::kPrintForm);
  form = InRange(f, 0, 2) ? f : -1;
  int c = s.Value(keys::kPrintChoice);
  choice = InRange(c, 0, 2) ? c : -1;
}

void CPrintSettingDlg::RestoreDefaults() {
  const PrintLayoutValues d = kDefaultPrintLayout;
  topX = IntText(d.topX);
  topY = IntText(d.topY);
  labelW = IntText(d.labelW);
  labelH = IntText(d.labelH);
  labelGX = IntText(d.labelGX);
  labelGY = IntText(d.labelGY);
  graphWS = IntText(d.graphWS);
  labelCX = IntText(d.labelCX);
  labelCY = IntText(d.labelCY);
  form = kPrintLabels;
}

std::string CPrintSettingDlg::ValidationLines() const {
  struct Check {
    const std::string* field;
    int lo, hi;
    const char* line;
  };
  const Check checks[] = {
      {&topX, 3, 200, "左余白：3～200の範囲で設定してください。\n"},
      {&topY, 3, 200, "上余白：3～200の範囲で設定してください。\n"},
      {&labelW, 5, 100, "ラベル幅：5～100の範囲で設定してください。\n"},
      {&labelH, 5, 100, "ラベル高さ：5～100の範囲で設定してください。\n"},
      {&labelGX, 0, 100, "ラベル間横余白：0～100の範囲で設定してください。\n"},
      {&labelGY, 0, 100, "ラベル間縦余白：0～100の範囲で設定してください。\n"},
      {&graphWS, 0, 9999, "グラフ表示幅：0～9999の範囲で設定してください。\n"},
      {&labelCX, 1, 100, "ラベル列数：1～100の範囲で設定してください。\n"},
      {&labelCY, 1, 100, "ラベル行数：1～100の範囲で設定してください。\n"},
  };
  std::string out;
  for (const Check& c : checks)
    if (!InRange(AtoI(*c.field), c.lo, c.hi)) out += Sj(c.line);
  // The range is checked only when it chooses the records.
  if (choice != kPrintRange) return out;
  if (!RegistrationId::FromFields(idStart))
    out += Sj("開始ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
  if (!RegistrationId::FromFields(idEnd))
    out += Sj("終了ID：各ID欄をそれぞれ1～999の範囲で入力してください。\n");
  return out;
}

std::string PrintValidationMessage(const std::string& lines) {
  return Sj("印刷データに不正な値があります。次の項目を入力しなおしてください。\n\n") + lines;
}

bool CPrintSettingDlg::Apply(IUserInterface& ui, CSettingsStore& s) {
  std::string lines = ValidationLines();
  if (!lines.empty()) {
    ui.Tell(PrintValidationMessage(lines), Sj("印刷データの設定"), MsgIcon::kWarning);
    return false;
  }
  s.SetValue(keys::kPrintTopX, AtoI(topX));
  s.SetValue(keys::kPrintTopY, AtoI(topY));
  s.SetValue(keys::kPrintLabelW, AtoI(labelW));
  s.SetValue(keys::kPrintLabelH, AtoI(labelH));
  s.SetValue(keys::kPrintLabelGX, AtoI(labelGX));
  s.SetValue(keys::kPrintLabelGY, AtoI(labelGY));
  s.SetValue(keys::kPrintGraphWS, AtoI(graphWS));
  s.SetValue(keys::kPrintLabelCX, AtoI(labelCX));
  s.SetValue(keys::kPrintLabelCY, AtoI(labelCY));
  // An end of the range that was not checked is kept as stored unless it is
  // valid: the file never gets an ID part outside 1 to 999.
  const std::optional<RegistrationId> first = RegistrationId::FromFields(idStart);
  const std::optional<RegistrationId> last = RegistrationId::FromFields(idEnd);
  for (size_t i = 0; i < 3; ++i) {
    if (first) s.Set(keys::kPrintIdStart[i], first->FieldTexts()[i]);
    if (last) s.Set(keys::kPrintIdEnd[i], last->FieldTexts()[i]);
  }
  s.SetValue(keys::kPrintForm, form);
  s.SetValue(keys::kPrintChoice, choice);
  return true;
}

std::optional<PrintDlgResult> CPrintSettingDlg::Close(IUserInterface& ui, CSettingsStore& s,
                                                      PrintDlgResult result) {
  if (result == PrintDlgResult::kClose) return result;
  if (!Apply(ui, s)) return std::nullopt;
  return result;
}

PrintSettings ReadPrintSettings(const CSettingsStore& s) {
  PrintSettings p;
  p.topX = s.Value(keys::kPrintTopX);
  p.topY = s.Value(keys::kPrintTopY);
  p.labelW = s.Value(keys::kPrintLabelW);
  p.labelH = s.Value(keys::kPrintLabelH);
  p.labelGX = s.Value(keys::kPrintLabelGX);
  p.labelGY = s.Value(keys::kPrintLabelGY);
  p.graphWS = s.Value(keys::kPrintGraphWS);
  p.labelCX = s.Value(keys::kPrintLabelCX);
  p.labelCY = s.Value(keys::kPrintLabelCY);
  // The keys of the stored ends as they are, valid or not.
  p.firstKey = RegistrationId{s.GetInt(keys::kPrintIdStart[0]), s.GetInt(keys::kPrintIdStart[1]),
                              s.GetInt(keys::kPrintIdStart[2])}
                   .Key();
  p.lastKey = RegistrationId{s.GetInt(keys::kPrintIdEnd[0]), s.GetInt(keys::kPrintIdEnd[1]),
                             s.GetInt(keys::kPrintIdEnd[2])}
                  .Key();
  p.form = s.Value(keys::kPrintForm);
  p.choice = s.Value(keys::kPrintChoice);
  p.font = s.Value(keys::kPrintFont);
  p.graphCX = s.Value(keys::kPrintGraphCX);
  p.graphCY = s.Value(keys::kPrintGraphCY);
  p.labelType = s.Value(keys::kPrintLabelType);
  p.labelDummy = s.Value(keys::kPrintLabelDummy);
  p.tableLine = s.Value(keys::kPrintTableLine);
  p.labelNoLogo = s.Value(keys::kPrintLabelNoLogo);
  return p;
}

std::vector<const CMeasureData*> FilterPrintRecords(
    const RecordList& list, const PrintSettings& settings,
    const std::vector<const CMeasureData*>& selected) {
  std::vector<const CMeasureData*> out;
  for (const auto& r : list) {
    bool take = false;
    switch (settings.choice) {
      case kPrintAll:
        take = true;
        break;
      case kPrintRange: {
        const int64_t key = r->GetIdKey();
        take = settings.firstKey <= key && key <= settings.lastKey;
        break;
      }
      case kPrintSelected:
        take = std::find(selected.begin(), selected.end(), r.get()) != selected.end();
        break;
      default:
        break;
    }
    if (take) out.push_back(r.get());
  }
  return out;
}

std::vector<PrintPage> PaginateLabels(const std::vector<const CMeasureData*>& records,
                                      bool registrationListEmpty, int dummies, int perRow,
                                      int rowsPerPage) {
  SlotPaginator pager(perRow, rowsPerPage);
  // A stored count far beyond any sheet would only fill memory with blanks.
  dummies = std::min(dummies, kMaxBlankLabels);
  if (!registrationListEmpty)
    for (int i = 0; i < dummies; ++i)
      pager.Add(nullptr);
  for (const CMeasureData* r : records)
    pager.Add(r);
  return pager.Finish();
}

std::vector<PrintPage> PaginateGraphs(const std::vector<const CMeasureData*>& records, int perRow,
                                      int rowsPerPage) {
  SlotPaginator pager(perRow, rowsPerPage);
  for (const CMeasureData* r : records)
    pager.Add(r);
  return pager.Finish();
}

std::vector<PrintPage> PaginateTable(const std::vector<const CMeasureData*>& records, int perPage) {
  perPage = std::max(perPage, 1);
  std::vector<PrintPage> pages(1);
  for (const CMeasureData* r : records) {
    pages.back().records.push_back(r);
    if (static_cast<int>(pages.back().records.size()) >= perPage) pages.emplace_back();
  }
  if (pages.back().records.empty()) pages.pop_back();
  return pages;
}

}  // namespace qv

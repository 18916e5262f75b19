#include "analysis/pack_match_dialog.h"

#include <algorithm>

#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "data/data_file_store.h"
#include "data/document.h"
#include "data/registration_id.h"
#include "data/text_format.h"

namespace qv {

PackMatchDialogTexts GetPackMatchDialogTexts() {
  return {
      MatchCaption(),
      Sj("登録データのセルを、値のそろったパックに組み合わせます。"
         "（同じ登録IDのデータは、最も新しい計測日時のものを使います。）"),
      Sj("直列セル数"),
      Sj("並列数"),
      Sj("※並列数が2以上のときは、容量の大きいセルから1パックを組み、"
         "各並列グループの容量計をそろえます。"),
      Sj("直列パックの基準"),
      Sj("重み"),
      Sj("登録ID"),
      Sj("から"),
      Sj("までのデータを対象"),
      Sj("計算"),
      Sj("CSV保存"),
      Sj("閉じる"),
      Sj("※6セル以下のパックを選ぶと、そのセルの放電カーブをグラフに重ねて表示します。"),
      Sj("登録ID"),
  };
}

void CPackMatchDlg::Open() {
  series = 6;
  parallel = 1;
  use.fill(false);
  use[static_cast<size_t>(MatchCriterion::kCapacity)] = true;
  weights.fill("1");
  from = {"1", "1", "1"};
  to = {"999", "999", "999"};
  timeLimit = kMatchDefaultTime;
  Clear();
}

void CPackMatchDlg::Clear() {
  cells_.clear();
  result_.reset();
  table_ = MakeMatchTable(MatchResult{}, cells_);
}

bool CPackMatchDlg::Compute(IUserInterface& ui, const CBrenlowDoc& doc) {
  return Compute(ui, CRecordListSource(doc.Registered()));
}

bool CPackMatchDlg::Compute(IUserInterface& ui, const IRecordSource& records) {
  Clear();
  const std::optional<RegistrationId> first = RegistrationId::FromFields(from);
  const std::optional<RegistrationId> last = RegistrationId::FromFields(to);
  if (!first || !last) {
    ui.Tell(IdRefusalText(), Sj("登録ID指定"), MsgIcon::kWarning);
    return false;
  }

  MatchRequest req;
  req.series = series;
  req.parallel = parallel;
  req.timeLimit = timeLimit;
  if (parallel <= 1) {
    for (MatchCriterion c : AllMatchCriteria()) {
      const size_t i = static_cast<size_t>(c);
      if (!use[i]) continue;
      const double w = AtoF(weights[i]);
      if (!(w > 0.0 && w <= kMatchWeightMax)) {
        ui.Tell(Sj("重みには、0 より大きく 1000 以下の値を設定してください。"), MatchCaption(),
                MsgIcon::kWarning);
        return false;
      }
      req.criteria.push_back({c, w});
    }
    if (req.criteria.empty()) {
      ui.Tell(Sj("基準を1つ以上選んでください。"), MatchCaption(), MsgIcon::kWarning);
      return false;
    }
  }
  const StoreResult read = CollectMatchCells({&records}, first->Key(), last->Key(), cells_);
  if (!read.ok()) {
    ui.Tell(read.message, MatchCaption(), MsgIcon::kWarning);
    return false;
  }
  MatchResult r = MatchPacks(cells_, req);
  if (r.status != MatchStatus::kOk) {
    ui.ShowMessage(MatchRefusalMessage(r));
    Clear();
    return false;
  }
  table_ = MakeMatchTable(r, cells_);
  result_ = std::move(r);
  return true;
}

bool CPackMatchDlg::CanOverlay(size_t row) const {
  if (!result_ || row >= table_.rows.size()) return false;
  const MatchTableRow& r = table_.rows[row];
  return r.pack >= 0 && r.ids.size() <= kMatchOverlayCells;
}

bool CPackMatchDlg::OverlayRow(CBrenlowDoc& doc, size_t row) const {
  if (!CanOverlay(row)) return false;
  const SeriesPack& pack = result_->packs[static_cast<size_t>(table_.rows[row].pack)];
  const std::vector<CMeasureData*> before = doc.DisplayList();
  doc.ResetDisplayList();
  for (size_t cell : pack.cells) {
    const RecordSummary& wanted = cells_[cell].summary;
    for (auto& r : doc.Registered()) {
      if (r->Id() == wanted.id && r->GetDateTimeText() == wanted.dateTime) {
        doc.ToggleOverlay(r.get());
        break;
      }
    }
  }
  if (doc.DisplayList() == before) return false;
  doc.RefreshViews(kRefreshAll);
  return true;
}

bool CPackMatchDlg::SaveCsv(IUserInterface& ui, const std::string& folder) const {
  if (!result_) return false;
  FileDialogRequest req;
  req.filter = Sj("CSVﾌｧｲﾙ (*.csv)|*.csv|");
  req.defaultExtension = ".csv";
  req.proposedName = Format("pack_%dS%dP.csv", result_->series, result_->parallel);
  req.startDirectory = folder;
  req.confirmOverwrite = true;
  const std::optional<std::string> path = ui.ChooseSaveFile(req);
  if (!path) return false;
  const SafeWriteResult w = WriteFileAtomically(*path, MatchCsvBytes(*result_, table_));
  if (!w.ok) {
    ui.Tell(Sj("ファイル出力に失敗しました。"), Sj("ファイル出力"), MsgIcon::kWarning);
    return false;
  }
  ui.Tell(Sj("パックの組み合わせをファイルに出力しました。"), Sj("ファイル出力完了"),
          MsgIcon::kInformation);
  return true;
}

}  // namespace qv

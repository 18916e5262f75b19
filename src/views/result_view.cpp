#include "views/result_view.h"

#include <QApplication>
#include <QPalette>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <mutex>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/text_format.h"
#include "link/input_check.h"
#include "views/qt_color.h"
#include "views/report_ctrl.h"
#include "views/view_text.h"

namespace qv::ui {

namespace {

constexpr int kLabelWidth = 95;
constexpr int kRecordWidth = 105;

}  // namespace

CResultView::CResultView(CBrenlowDoc& doc, QWidget* parent) : CReportView(doc, parent) {
  list_->SetRowNumbers(false);
  list_->SetSortingEnabled(false);
  list_->SetKeepFocus(false);
  list_->SetColumnsMovable(false);
  list_->SetFrozenFirstColumn(true);
  SetSlotPalette(*list_);
  list_->SetPaletteColor(kResultWhite, QColor(255, 255, 255));
  list_->SetPaletteColor(kResultMenu, QApplication::palette().color(QPalette::Window));

  ReportHooks hooks;
  hooks.buildColumns = [this] { BuildColumns(); };
  hooks.fillRows = [this] { FillRows(); };
  hooks.canBeginEdit = [this](int row, int column) { return CanBeginEdit(row, column); };
  hooks.commitEdit = [this](int row, int column, const std::string& text) {
    return CommitEdit(row, column, text);
  };
  hooks.fillEditList = [](int, int) { return std::vector<std::string>{"1", "4", "6", "8"}; };
  list_->SetHooks(std::move(hooks));
}

int CResultView::CurrentColumn() const {
  return static_cast<int>(doc_.DisplayList().size());
}

void CResultView::Refresh(bool lockUpdates) {
  list_->Refresh(lockUpdates);
  if (doc_.App().runActive) ShowCurrentColumn();
}

void CResultView::ShowCurrentColumn() {
  QScrollBar* bar = list_->Table()->horizontalScrollBar();
  bar->setValue(bar->maximum());
}

void CResultView::BuildColumns() {
  list_->AddColumn(std::string(), kLabelWidth);
  const auto& display = doc_.DisplayList();
  for (auto it = display.rbegin(); it != display.rend(); ++it)
    list_->AddColumn(Format("Profile%d", doc_.SlotOf(**it)), kRecordWidth);
}

void CResultView::FillRows() {
  const auto& display = doc_.DisplayList();
  const int n = static_cast<int>(display.size());
  const bool runActive = doc_.App().runActive;
  for (int row = 0; row < kResultRows; ++row) {
    const int key = list_->InsertRow();
    list_->SetCellText(key, 0, ResultRowLabel(row), ResultCellColor(row, true, -1));
  }
  for (int column = 1; column <= n; ++column) {
    const CMeasureData* r = display[static_cast<size_t>(n - column)];
    const bool isCurrent = r == &doc_.Current();
    std::unique_lock<std::mutex> guard(doc_.Lock(), std::defer_lock);
    if (isCurrent) guard.lock();
    for (int row = 0; row < kResultRows; ++row)
      list_->SetCellText(row, column, ResultCellText(row, *r, isCurrent, runActive),
                         ResultCellColor(row, false, doc_.SlotOf(*r)));
  }
}

void CResultView::RefreshColumn(int column, const CMeasureData& record) {
  if (column < 0) column = CurrentColumn();
  if (column < 1 || column >= list_->ColumnCount()) return;
  const bool isCurrent = &record == &doc_.Current();
  const bool runActive = doc_.App().runActive;
  std::unique_lock<std::mutex> guard(doc_.Lock(), std::defer_lock);
  if (isCurrent) guard.lock();
  for (int row = kFirstOutputRow; row <= kLastOutputRow; ++row)
    list_->SetCellText(row, column, ResultCellText(row, record, isCurrent, runActive),
                       ResultCellColor(row, false, doc_.SlotOf(record)));
}

void CResultView::RefreshCurrentColumn() {
  RefreshColumn(-1, doc_.Current());
}

void CResultView::ClearLiveValues() {
  const int column = CurrentColumn();
  const int color = ResultCellColor(kRowCurrent, false, doc_.SlotOf(doc_.Current()));
  list_->SetCellText(kRowCurrent, column, "0.0", color);
  list_->SetCellText(kRowVoltage, column, "0.0", color);
}

EditKind CResultView::CanBeginEdit(int row, int column) {
  if (doc_.App().runActive) return EditKind::kRefuse;
  if (column != CurrentColumn()) return EditKind::kRefuse;
  if (doc_.Current().IsMeasured()) return EditKind::kRefuse;
  if (!IsInputRow(row)) return EditKind::kRefuse;
  doc_.SetModified();
  return row == kRowCells ? EditKind::kDropList : EditKind::kBox;
}

bool CResultView::CommitEdit(int row, int column, const std::string& text) {
  if (column != CurrentColumn() || !IsInputRow(row)) return false;
  std::string message;
  bool ok = false;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    ok = ValidateInputCell(row, text, doc_.Current(), message);
  }
  if (!ok) {
    // Shown once the editor has closed: a message box taking the focus from
    // an open editor would make it commit (and complain) a second time.
    QTimer::singleShot(0, this, [this, message] {
      if (ui_) ui_->Tell(message, InputRangeCaption(), MsgIcon::kWarning);
    });
    return false;
  }
  // The cell count also sets the end voltage: show the stored values.
  ShowStoredInputs(column);
  return true;
}

std::optional<InputCellTexts> CResultView::InputCells() const {
  const int column = CurrentColumn();
  if (column >= list_->ColumnCount() || list_->RowCount() <= kLastInputRow) return std::nullopt;
  return ReadInputCells(column);
}

InputCellTexts CResultView::ReadInputCells(int column) const {
  InputCellTexts cells;
  for (int row = kFirstInputRow; row <= kLastInputRow; ++row)
    cells[static_cast<size_t>(InputIndex(row))] = list_->CellText(row, column);
  return cells;
}

void CResultView::ShowStoredInputs(int column) {
  for (int row = kFirstInputRow; row <= kLastInputRow; ++row)
    list_->SetCellText(row, column, ResultCellText(row, doc_.Current(), true, false), -1);
}

std::string CResultView::ValidateInputs() {
  const int column = CurrentColumn();
  const InputCellTexts cells = ReadInputCells(column);
  std::string messages;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    messages = qv::ValidateInputs(cells, doc_.Current());
  }
  ShowStoredInputs(column);
  return messages;
}

}  // namespace qv::ui

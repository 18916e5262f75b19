// The pack matching window ("パックマッチング"): series and parallel counts,
// the criteria of series packs with their weights, the registration-ID range,
// and the list of the packs the model computed. Selecting a series pack of up
// to six cells overlays its cells on the graph; the packs can be saved as a
// CSV file. Every check, text and result is CPackMatchDlg's.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <array>

#include "analysis/pack_match_dialog.h"
#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

class CReportCtrl;

class CPackMatchDialog : public QDialog {
  Q_OBJECT
 public:
  CPackMatchDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent);

  QSpinBox* SeriesField() const { return series_; }
  QSpinBox* ParallelField() const { return parallel_; }
  QCheckBox* CriterionBox(MatchCriterion c) const { return use_[static_cast<size_t>(c)]; }
  QLineEdit* WeightField(MatchCriterion c) const { return weights_[static_cast<size_t>(c)]; }
  QLineEdit* FromField(int i) const { return from_[static_cast<size_t>(i)]; }
  QLineEdit* ToField(int i) const { return to_[static_cast<size_t>(i)]; }
  QPushButton* ComputeButton() const { return compute_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CloseButton() const { return close_; }
  CReportCtrl* List() const { return list_; }
  QLabel* HeadlineLabel() const { return headline_; }
  QLabel* NotesLabel() const { return notes_; }
  const CPackMatchDlg& Model() const { return model_; }

  // "計算" as the button does it.
  void OnCompute();
  // Selecting a row of the list (by its row key).
  void OnRowSelected(int rowKey);

 private:
  void OnSave();
  void ReadFields();
  void ShowFields();
  void UpdateEnabled();
  void BuildColumns();
  void FillRows();
  // The parts of the window, top to bottom.
  QLayout* BuildCounts(const PackMatchDialogTexts& t);
  QWidget* BuildCriteria(const PackMatchDialogTexts& t);
  QLayout* BuildIdRange(const PackMatchDialogTexts& t);
  void BuildList();

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  CPackMatchDlg model_;
  QSpinBox* series_ = nullptr;
  QSpinBox* parallel_ = nullptr;
  std::array<QCheckBox*, kMatchCriterionCount> use_{};
  std::array<QLineEdit*, kMatchCriterionCount> weights_{};
  std::array<QLineEdit*, 3> from_{};
  std::array<QLineEdit*, 3> to_{};
  QWidget* criteria_ = nullptr;
  QPushButton* compute_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* close_ = nullptr;
  CReportCtrl* list_ = nullptr;
  QLabel* headline_ = nullptr;
  QLabel* notes_ = nullptr;
};

}  // namespace qv::ui

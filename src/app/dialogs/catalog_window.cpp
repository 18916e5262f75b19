#include "app/dialogs/catalog_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressDialog>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/dialogs/pack_match_dialog.h"
#include "data/codec.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

constexpr size_t kMostOverlays = 6;

const char* const kButtonTexts[] = {"検索",       "取り込み...",  "グラフに重ねる",
                                    "マッチング", "パックに組む", "在庫に戻す",
                                    "廃棄",       "書き出し...",  "閉じる"};

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

CHistoryPlot::CHistoryPlot(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 160);
}

void CHistoryPlot::SetHistory(std::vector<catalog::HistoryRow> rows) {
  rows_ = std::move(rows);
  update();
}

// Two polylines over one time axis (the tests in date order), each on its own
// scale with its range written at the axis ends.
void CHistoryPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const QRect area = rect().adjusted(48, 20, -48, -28);
  p.setPen(Qt::gray);
  p.drawRect(area);
  p.setPen(Qt::black);
  p.drawText(QRect(0, 0, width(), 18), Qt::AlignCenter,
             Utf8("放電容量[mAh]（青）と内部抵抗[mΩ]（赤）"));
  if (rows_.empty()) return;
  auto draw = [&](auto value, const QColor& color, bool right) {
    double lo = value(rows_.front()), hi = lo;
    for (const auto& r : rows_) {
      lo = std::min(lo, value(r));
      hi = std::max(hi, value(r));
    }
    if (hi - lo < 1e-9) {
      lo -= 1.0;
      hi += 1.0;
    }
    QPolygonF line;
    for (size_t i = 0; i < rows_.size(); ++i) {
      const double x = rows_.size() == 1 ? 0.5 : static_cast<double>(i) / (rows_.size() - 1);
      line << QPointF(area.left() + x * area.width(),
                      area.bottom() - (value(rows_[i]) - lo) / (hi - lo) * area.height());
    }
    p.setPen(QPen(color, 2));
    p.drawPolyline(line);
    for (const QPointF& pt : line)
      p.drawEllipse(pt, 3, 3);
    const QRect labels = right ? QRect(area.right() + 2, area.top() - 8, 46, area.height() + 16)
                               : QRect(0, area.top() - 8, 46, area.height() + 16);
    const Qt::Alignment side = right ? Qt::AlignLeft : Qt::AlignRight;
    p.drawText(labels, side | Qt::AlignTop, QString::number(hi, 'f', 1));
    p.drawText(labels, side | Qt::AlignBottom, QString::number(lo, 'f', 1));
  };
  draw([](const catalog::HistoryRow& r) { return r.test.capacity; }, QColor(0, 0, 200), false);
  draw([](const catalog::HistoryRow& r) { return r.test.ir; }, QColor(200, 0, 0), true);
  p.setPen(Qt::black);
  const QRect dates(area.left(), area.bottom() + 4, area.width(), 20);
  p.drawText(dates, Qt::AlignLeft,
             QString::fromStdString(rows_.front().test.dateTime.substr(0, 10)));
  p.drawText(dates, Qt::AlignRight,
             QString::fromStdString(rows_.back().test.dateTime.substr(0, 10)));
}

void CatalogOverlays::Show(CBrenlowDoc& doc, std::vector<std::unique_ptr<CMeasureData>> next) {
  auto& shown = doc.DisplayList();
  for (const auto& r : records)
    if (std::find(shown.begin(), shown.end(), r.get()) != shown.end()) doc.ToggleOverlay(r.get());
  records = std::move(next);
  for (const auto& r : records)
    doc.ToggleOverlay(r.get());
  doc.RefreshViews(kRefreshGraph);
}

CCatalogWindow::CCatalogWindow(std::unique_ptr<catalog::CatalogWindowModel> model, CBrenlowDoc& doc,
                               IUserInterface& ui, CatalogOverlays& overlays, QWidget* parent)
    : QDialog(parent), model_(std::move(model)), doc_(doc), ui_(ui), overlays_(overlays) {
  setWindowTitle(Utf8("セルカタログ"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  for (int i = 0; i < kButtonCount; ++i) {
    buttons_[static_cast<size_t>(i)] = new QPushButton(Utf8(kButtonTexts[i]), this);
    buttons_[static_cast<size_t>(i)]->setAutoDefault(i == kSearch);
  }
  filter_ = new QLineEdit(this);
  filter_->setPlaceholderText(QStringLiteral("capacity >= 4100 and ir < 4.5"));
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(new QLabel(Utf8("検索条件"), this));
  filterRow->addWidget(filter_, 1);
  filterRow->addWidget(buttons_[kSearch]);
  filterRow->addWidget(buttons_[kImport]);

  list_ = new QTableWidget(this);
  list_->setColumnCount(catalog::kCellColumns);
  QStringList titles;
  for (const std::string& t : catalog::CellColumnTitles())
    titles << ToQt(t);
  list_->setHorizontalHeaderLabels(titles);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->setVisible(false);
  plot_ = new CHistoryPlot(this);
  auto* middle = new QHBoxLayout;
  middle->addWidget(list_, 3);
  middle->addWidget(plot_, 1);

  pack_ = new QLineEdit(this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(buttons_[kOverlay]);
  buttons->addWidget(buttons_[kMatch]);
  buttons->addSpacing(12);
  buttons->addWidget(new QLabel(Utf8("パック名"), this));
  buttons->addWidget(pack_);
  for (int i : {kAssign, kRelease, kRetire, kExport})
    buttons->addWidget(buttons_[static_cast<size_t>(i)]);
  buttons->addStretch(1);
  buttons->addWidget(buttons_[kClose]);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filterRow);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
  resize(1100, 560);

  auto act = [this](int i, auto fn) {
    connect(buttons_[static_cast<size_t>(i)], &QPushButton::clicked, this, fn);
  };
  act(kSearch, [this] {
    if (model_->Search(ui_, filter_->text().toStdString())) FillList();
  });
  act(kImport, [this] { OnImport(); });
  act(kOverlay, [this] { OnOverlay(); });
  act(kMatch, [this] { OnMatch(); });
  act(kAssign, [this] {
    if (model_->Assign(ui_, pack_->text().trimmed().toStdString())) FillList();
  });
  act(kRelease, [this] {
    if (model_->Release(ui_)) FillList();
  });
  act(kRetire, [this] {
    if (model_->Retire(ui_)) FillList();
  });
  act(kExport, [this] { model_->Export(ui_); });
  act(kClose, [this] { accept(); });
  connect(filter_, &QLineEdit::returnPressed, buttons_[kSearch], &QPushButton::click);
  connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  if (model_->Refresh(ui_)) FillList();
  filter_->setFocus();
  ListenForChanges();
}

// On a server, what other stations add or move shows within moments: the
// cells the server's notice names are read again when it arrives, never by
// polling; the selected cells stay selected.
void CCatalogWindow::ListenForChanges() {
  const int socket = model_->ChangeSocket();
  if (socket < 0) return;
  changes_ = new QSocketNotifier(socket, QSocketNotifier::Read, this);
  connect(changes_, &QSocketNotifier::activated, this, [this] {
    if (!model_->ApplyChanges(ui_)) {
      if (model_->ChangeSocket() < 0) changes_->setEnabled(false);  // the connection is gone
      return;
    }
    {
      const QSignalBlocker block(list_);
      FillRows();
      list_->clearSelection();
      for (size_t row : model_->Selected())
        list_->selectionModel()->select(list_->model()->index(static_cast<int>(row), 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    SelectionChanged();
  });
}

void CCatalogWindow::FillList() {
  FillRows();
  SelectionChanged();
}

void CCatalogWindow::FillRows() {
  const QSignalBlocker block(list_);
  const auto& cells = model_->Cells();
  list_->setRowCount(static_cast<int>(cells.size()));
  for (size_t r = 0; r < cells.size(); ++r) {
    const auto texts = catalog::CellRowTexts(cells[r]);
    for (int c = 0; c < catalog::kCellColumns; ++c) {
      auto* item = new QTableWidgetItem(ToQt(texts[static_cast<size_t>(c)]));
      if (c >= 3 && c <= 10) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      list_->setItem(static_cast<int>(r), c, item);
    }
  }
  list_->resizeColumnsToContents();
}

void CCatalogWindow::SelectionChanged() {
  std::vector<size_t> rows;
  for (const QModelIndex& i : list_->selectionModel()->selectedRows())
    rows.push_back(static_cast<size_t>(i.row()));
  std::sort(rows.begin(), rows.end());
  model_->Select(rows);
  plot_->SetHistory(model_->SelectedHistory());
}

void CCatalogWindow::OnImport() {
  QProgressDialog progress(Utf8("データファイルを取り込んでいます..."), Utf8("中止"), 0, 1, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  const bool done = model_->ImportFolder(ui_, [&progress](size_t i, size_t n) {
    progress.setMaximum(static_cast<int>(n));
    progress.setValue(static_cast<int>(i));
    QApplication::processEvents();
    return !progress.wasCanceled();
  });
  progress.reset();
  if (done) FillList();
}

void CCatalogWindow::OnOverlay() {
  auto records = model_->SelectedRecords(ui_, kMostOverlays);
  if (!records) return;
  overlays_.Show(doc_, std::move(*records));
}

// The matching window over the selected cells' newest tests, in a document
// of its own: the open data file is not changed.
void CCatalogWindow::OnMatch() {
  auto records = model_->SelectedRecords(ui_, model_->Selected().size());
  if (!records) return;
  CAppState app;
  app.settings.SetDirectory(doc_.App().settings.Directory());
  app.avg3 = doc_.App().avg3;
  CBrenlowDoc cells(app);
  for (auto& r : *records)
    cells.InsertRegistered(std::move(r));
  CPackMatchDialog dlg(cells, ui_, this);
  dlg.exec();
}

}  // namespace qv::ui

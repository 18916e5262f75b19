#include "views/report_ctrl.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "core/settings_store.h"
#include "data/text_format.h"
#include "views/fonts.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

constexpr int kPaletteSize = 64;
constexpr int kRowHeight = 15;

// The control is being built for the life of the scope, and afterwards as it
// was before: changes made meanwhile send no model signals and are not taken
// for the user's own (a resized section is not a width to remember).
class BuildingScope {
 public:
  explicit BuildingScope(bool& flag) : flag_(flag), was_(std::exchange(flag, true)) {}
  ~BuildingScope() { flag_ = was_; }
  BuildingScope(const BuildingScope&) = delete;
  BuildingScope& operator=(const BuildingScope&) = delete;

 private:
  bool& flag_;
  bool was_;
};

struct Cell {
  std::string text;
  QString shown;
  int color = -1;
};

struct Column {
  std::string title;
  QString shown;
  int defaultWidth = 0;
  int width = 0;
  bool numeric = false;
  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace

// Rows are kept by key (insertion index); `order` maps display positions to
// keys. Model columns include the "No." column when it is on.
class ReportModel : public QAbstractTableModel {
 public:
  explicit ReportModel(QObject* parent) : QAbstractTableModel(parent) {
    palette.resize(kPaletteSize);
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(order.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const int key = order[static_cast<size_t>(index.row())];
    const int col = index.column();
    if (numberColumn && col == 0) {
      if (role == Qt::DisplayRole) return ToQt(Format("%3d", index.row() + 1));
      if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    }
    const Cell* cell = CellAt(key, col);
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole:
        return cell ? cell->shown : QString();
      case Qt::BackgroundRole:
        if (cell && cell->color >= 0 && cell->color < kPaletteSize &&
            palette[static_cast<size_t>(cell->color)].isValid())
          return palette[static_cast<size_t>(cell->color)];
        return {};
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns[static_cast<size_t>(col)].align);
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const Column& c = columns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return c.shown;
    if (role == Qt::ToolTipRole) return QStringLiteral("Sort by: %1").arg(c.shown);
    return {};
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
  }

  const Cell* CellAt(int key, int col) const {
    if (key < 0 || key >= static_cast<int>(rows.size())) return nullptr;
    const auto& r = rows[static_cast<size_t>(key)];
    if (col < 0 || col >= static_cast<int>(r.size())) return nullptr;
    return &r[static_cast<size_t>(col)];
  }

  void Begin() { beginResetModel(); }
  void End() { endResetModel(); }
  void Changed(int position, int col) {
    const QModelIndex i = index(position, col);
    emit dataChanged(i, i);
  }
  void ChangedRow(int position) {
    emit dataChanged(index(position, 0), index(position, columnCount() - 1));
  }
  void AppendColumn(Column c, bool signal) {
    const int n = columnCount();
    if (signal) beginInsertColumns({}, n, n);
    columns.push_back(std::move(c));
    if (signal) endInsertColumns();
  }
  int AppendRow(bool signal) {
    const int n = rowCount();
    if (signal) beginInsertRows({}, n, n);
    rows.emplace_back();
    order.push_back(static_cast<int>(rows.size()) - 1);
    if (signal) endInsertRows();
    return static_cast<int>(rows.size()) - 1;
  }

  std::vector<Column> columns;
  std::vector<std::vector<Cell>> rows;  // by key, then model column
  std::vector<int> order;               // display position -> key
  std::vector<QColor> palette;
  bool numberColumn = false;
};

// Opens the editor the view allows and hands the edited text back.
class ReportDelegate : public QStyledItemDelegate {
 public:
  explicit ReportDelegate(CReportCtrl* owner) : QStyledItemDelegate(owner), owner_(owner) {
    connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget* editor) {
      if (editor == editor_) editor_ = nullptr;
    });
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    (void)option;
    const int col = owner_->FromModelColumn(index.column());
    if (col < 0 || !owner_->hooks_.canBeginEdit) return nullptr;
    const int key = owner_->model_->order[static_cast<size_t>(index.row())];
    const EditKind kind = owner_->hooks_.canBeginEdit(key, col);
    QWidget* editor = nullptr;
    if (kind == EditKind::kBox) {
      auto* e = new QLineEdit(parent);
      e->setFrame(false);
      editor = e;
    } else if (kind == EditKind::kCombo || kind == EditKind::kDropList) {
      auto* c = new QComboBox(parent);
      c->setEditable(kind == EditKind::kCombo);
      if (owner_->hooks_.fillEditList) {
        for (const std::string& s : owner_->hooks_.fillEditList(key, col))
          c->addItem(ToQt(s));
      }
      editor = c;
    }
    if (editor) {
      editor->setFont(owner_->table_->font());
      editor_ = editor;
    }
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* e = qobject_cast<QLineEdit*>(editor)) {
      e->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(editor)) {
      const int i = c->findText(text);
      if (i >= 0) c->setCurrentIndex(i);
      if (c->isEditable()) c->setEditText(text);
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    (void)model;
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(editor))
      text = e->text();
    else if (auto* c = qobject_cast<QComboBox*>(editor))
      text = c->currentText();
    const int col = owner_->FromModelColumn(index.column());
    const int key = owner_->model_->order[static_cast<size_t>(index.row())];
    owner_->Commit(key, col, FromQt(text));
  }

  // Cells draw their text two pixels from the left edge and cut it at the
  // right edge: the column widths were chosen for texts that fill them.
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const QString text = o.text;
    o.text.clear();
    const QWidget* w = o.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, w);
    const bool selected = o.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (o.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->setClipRect(o.rect);
    painter->setFont(o.font);
    painter->setPen(o.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(o.rect.adjusted(2, 0, -1, 0),
                      static_cast<int>(o.displayAlignment) | Qt::TextSingleLine, text);
    painter->restore();
  }

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override {
    (void)index;
    editor->setGeometry(option.rect);
  }

  QWidget* Editor() const { return editor_; }

 private:
  CReportCtrl* owner_;
  mutable QWidget* editor_ = nullptr;
};

namespace {

// The list: a click begins an in-place edit only when it is a second click on
// the focused cell. A click on another cell of the selected row only moves the
// focus there, and a double-click is no second click.
class ReportTable final : public QTableView {
 public:
  explicit ReportTable(QWidget* parent) : QTableView(parent) {
    editTimer_.setSingleShot(true);
    connect(&editTimer_, &QTimer::timeout, this, [this] {
      if (pendingEdit_.isValid() && pendingEdit_ == currentIndex()) QTableView::edit(pendingEdit_);
    });
  }
  using QTableView::edit;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    editTimer_.stop();
    const QModelIndex at = indexAt(event->position().toPoint());
    pressOnFocusedCell_ = event->button() == Qt::LeftButton &&
                          event->modifiers() == Qt::NoModifier && at.isValid() &&
                          at == currentIndex();
    QTableView::mousePressEvent(event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    editTimer_.stop();
    pressOnFocusedCell_ = false;
    QTableView::mouseDoubleClickEvent(event);
  }
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    if (trigger != SelectedClicked) return QTableView::edit(index, trigger, event);
    if (!pressOnFocusedCell_ || index != currentIndex()) return false;
    // Waits out a double-click, which would cancel it.
    pressOnFocusedCell_ = false;
    pendingEdit_ = index;
    editTimer_.start(QApplication::doubleClickInterval());
    return true;
  }

 private:
  bool pressOnFocusedCell_ = false;
  QPersistentModelIndex pendingEdit_;
  QTimer editTimer_;
};

// The column header: the sort mark is drawn above the title, which keeps its
// whole section (the style would take the mark's room from the title).
class ReportHeader final : public QHeaderView {
 public:
  static constexpr int kMarkHeight = 4;

  explicit ReportHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

  QSize sizeHint() const override {
    QSize s = QHeaderView::sizeHint();
    s.rheight() += kMarkHeight;
    return s;
  }

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    option->sortIndicator = QStyleOptionHeader::None;
  }

  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    if (!rect.isValid()) return;
    QStyleOptionHeaderV2 opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    // The title is centred in the part below the mark's band.
    opt.rect = rect.adjusted(0, kMarkHeight, 0, 0);
    opt.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this);
    style()->drawControl(QStyle::CE_HeaderLabel, &opt, painter, this);
    painter->restore();
    if (!isSortIndicatorShown() || sortIndicatorSection() != logicalIndex) return;
    // A small triangle centred at the top: pointing up for ascending, down
    // for descending.
    const int h = kMarkHeight, w = 2 * kMarkHeight - 1;
    const int x = rect.center().x() - w / 2, y = rect.top() + 1;
    QPolygon mark;
    if (sortIndicatorOrder() == Qt::AscendingOrder)
      mark << QPoint(x, y + h - 1) << QPoint(x + w - 1, y + h - 1) << QPoint(x + w / 2, y);
    else
      mark << QPoint(x, y) << QPoint(x + w - 1, y) << QPoint(x + w / 2, y + h - 1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(palette().color(QPalette::Dark));
    painter->setBrush(palette().color(QPalette::Dark));
    painter->drawPolygon(mark);
    painter->restore();
  }
};

}  // namespace

CReportCtrl::CReportCtrl(QWidget* parent) : QWidget(parent) {
  model_ = new ReportModel(this);
  model_->numberColumn = rowNumbers_;
  delegate_ = new ReportDelegate(this);
  table_ = new ReportTable(this);
  table_->setHorizontalHeader(new ReportHeader(table_));
  table_->setModel(model_);
  table_->setItemDelegate(delegate_);
  table_->setFont(GothicFont(12));
  table_->horizontalHeader()->setFont(GothicFont(12));
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  table_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setMinimumSectionSize(0);
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::AnyKeyPressed);
  table_->setWordWrap(false);
  table_->setTabKeyNavigation(false);
  table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  table_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  table_->horizontalHeader()->setSortIndicatorShown(false);
  table_->horizontalHeader()->setSectionsClickable(sorting_);
  table_->installEventFilter(this);
  table_->horizontalHeader()->viewport()->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_);

  static const QColor kBase[10] = {QColor(200, 255, 200), QColor(),
                                   QColor(192, 192, 208), QColor(114, 117, 179),
                                   QColor(200, 200, 255), QColor(0, 255, 255),
                                   QColor(255, 255, 150), QColor(0, 0, 255),
                                   QColor(255, 0, 0),     QColor(255, 150, 150)};
  for (int i = 0; i < 10; ++i)
    model_->palette[static_cast<size_t>(i)] = kBase[i];
  model_->palette[1] = QApplication::palette().color(QPalette::Disabled, QPalette::Text);

  connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this,
          &CReportCtrl::OnSectionResized);
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &CReportCtrl::OnSectionClicked);
  connect(table_, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) {
    if (hooks_.rowClick) hooks_.rowClick(RowKeyAt(i.row()));
  });
  connect(table_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
    if (hooks_.rowDoubleClick) hooks_.rowDoubleClick(i.isValid() ? RowKeyAt(i.row()) : -1);
  });
}

CReportCtrl::~CReportCtrl() = default;

void CReportCtrl::SetHooks(ReportHooks hooks) {
  hooks_ = std::move(hooks);
}

void CReportCtrl::SetRowNumbers(bool on) {
  rowNumbers_ = on;
}

void CReportCtrl::SetRowNumberWidth(int width) {
  rowNumberWidth_ = width;
}

void CReportCtrl::SetSortingEnabled(bool on) {
  sorting_ = on;
  table_->horizontalHeader()->setSectionsClickable(on);
}

void CReportCtrl::SetKeepFocus(bool on) {
  keepFocus_ = on;
}

void CReportCtrl::SetMultiSelect(bool on) {
  table_->setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                              : QAbstractItemView::SingleSelection);
}

void CReportCtrl::SetColumnsMovable(bool on) {
  movable_ = on;
  table_->horizontalHeader()->setSectionsMovable(on);
}

void CReportCtrl::SetUseDefaultWidths(bool on) {
  useDefaultWidths_ = on;
}

void CReportCtrl::SetProfile(const std::string& profile, CSettingsStore* store) {
  profile_ = profile;
  store_ = store;
}

std::string CReportCtrl::WidthKey(const std::string& title) const {
  return keys::ColumnWidth(profile_, title);
}

int CReportCtrl::UsedWidth(const std::string& title, int defaultWidth) {
  bool found = false;
  int saved = 0;
  bool fromFile = false;
  auto it = widths_.find(title);
  if (it != widths_.end()) {
    found = true;
    saved = it->second;
  } else if (!profile_.empty() && store_) {
    const std::string text = store_->Get(WidthKey(title));
    if (!text.empty()) {
      found = true;
      fromFile = true;
      saved = AtoI(text);
    }
  }
  if (!found || saved == -1) return defaultWidth;
  const int used = useDefaultWidths_ ? defaultWidth : saved;
  widths_[title] = used;
  // A width from the table was written when it was entered; one read from
  // the file changes only when the defaults win.
  if (fromFile && used != saved && store_) store_->Set(WidthKey(title), IntText(used));
  return used;
}

int CReportCtrl::AddColumn(const std::string& title, int defaultWidth, Qt::Alignment align) {
  const bool signal = !building_;
  model_->numberColumn = rowNumbers_;
  if (rowNumbers_ && model_->columns.empty()) {
    Column no;
    no.title = "No.";
    no.shown = QStringLiteral("No.");
    no.defaultWidth = no.width = rowNumberWidth_;
    no.align = Qt::AlignRight | Qt::AlignVCenter;
    model_->AppendColumn(std::move(no), signal);
  }
  Column c;
  c.title = title;
  c.shown = ToQt(title);
  c.defaultWidth = defaultWidth;
  c.width = UsedWidth(title, defaultWidth);
  c.align = align;
  const int width = c.width;
  model_->AppendColumn(std::move(c), signal);
  for (auto& r : model_->rows)
    r.resize(model_->columns.size());
  const int modelCol = model_->columnCount() - 1;
  if (signal) {
    const BuildingScope building(building_);
    table_->horizontalHeader()->resizeSection(modelCol, width);
  }
  return FromModelColumn(modelCol);
}

void CReportCtrl::SetColumnNumeric(int column, bool numeric) {
  const int mc = ToModelColumn(column);
  if (mc < 0 || mc >= model_->columnCount()) return;
  model_->columns[static_cast<size_t>(mc)].numeric = numeric;
}

int CReportCtrl::InsertRow() {
  const int key = model_->AppendRow(!building_);
  model_->rows.back().resize(model_->columns.size());
  return key;
}

void CReportCtrl::SetCellText(int rowKey, int column, const std::string& text, int colorIndex) {
  const int mc = ToModelColumn(column);
  if (rowKey < 0 || rowKey >= static_cast<int>(model_->rows.size())) return;
  if (mc < 0 || mc >= model_->columnCount()) return;
  auto& row = model_->rows[static_cast<size_t>(rowKey)];
  if (static_cast<int>(row.size()) <= mc) row.resize(static_cast<size_t>(mc) + 1);
  Cell& cell = row[static_cast<size_t>(mc)];
  cell.text = text;
  cell.shown = ToQt(text);
  cell.color = colorIndex;
  if (!building_) model_->Changed(PositionOf(rowKey), mc);
}

void CReportCtrl::SetPaletteColor(int index, const QColor& color) {
  if (index < 0 || index >= kPaletteSize) return;
  model_->palette[static_cast<size_t>(index)] = color;
  if (!building_ && model_->rowCount() > 0)
    emit model_->dataChanged(model_->index(0, 0),
                             model_->index(model_->rowCount() - 1, model_->columnCount() - 1));
}

QColor CReportCtrl::PaletteColor(int index) const {
  if (index < 0 || index >= kPaletteSize) return {};
  return model_->palette[static_cast<size_t>(index)];
}

int CReportCtrl::ColumnCount() const {
  return std::max(0, FromModelColumn(model_->columnCount()));
}

int CReportCtrl::RowCount() const {
  return model_->rowCount();
}

std::string CReportCtrl::ColumnTitle(int column) const {
  const int mc = ToModelColumn(column);
  if (mc < 0 || mc >= model_->columnCount()) return {};
  return model_->columns[static_cast<size_t>(mc)].title;
}

std::string CReportCtrl::CellText(int rowKey, int column) const {
  const Cell* c = model_->CellAt(rowKey, ToModelColumn(column));
  return c ? c->text : std::string();
}

int CReportCtrl::CellColor(int rowKey, int column) const {
  const Cell* c = model_->CellAt(rowKey, ToModelColumn(column));
  return c ? c->color : -1;
}

int CReportCtrl::RowKeyAt(int position) const {
  if (position < 0 || position >= model_->rowCount()) return -1;
  return model_->order[static_cast<size_t>(position)];
}

int CReportCtrl::PositionOf(int rowKey) const {
  auto it = std::find(model_->order.begin(), model_->order.end(), rowKey);
  return it == model_->order.end() ? -1 : static_cast<int>(it - model_->order.begin());
}

int CReportCtrl::ColumnWidth(int column) const {
  return table_->horizontalHeader()->sectionSize(ToModelColumn(column));
}

std::vector<int> CReportCtrl::GetSelectedRows() const {
  std::vector<int> positions;
  if (table_->selectionModel()) {
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
      positions.push_back(i.row());
  }
  std::sort(positions.begin(), positions.end());
  std::vector<int> keys;
  keys.reserve(positions.size());
  for (int p : positions)
    keys.push_back(RowKeyAt(p));
  return keys;
}

int CReportCtrl::GetSelectedCount() const {
  return static_cast<int>(GetSelectedRows().size());
}

int CReportCtrl::GetFirstSelectedRow() const {
  const auto rows = GetSelectedRows();
  return rows.empty() ? -1 : rows.front();
}

void CReportCtrl::SelectRow(int rowKey, bool add) {
  const int pos = PositionOf(rowKey);
  if (pos < 0) return;
  const QModelIndex i = model_->index(pos, std::max(0, table_->currentIndex().column()));
  auto flags = QItemSelectionModel::Rows |
               (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
  table_->selectionModel()->setCurrentIndex(i, flags);
}

bool CReportCtrl::HasListFocus() const {
  const QWidget* f = QApplication::focusWidget();
  return f && (f == table_ || table_->isAncestorOf(f));
}

bool CReportCtrl::IsEditing() const {
  return delegate_->Editor() != nullptr;
}

void CReportCtrl::EndEdit() {
  if (QWidget* editor = delegate_->Editor()) {
    emit delegate_->commitData(editor);
    emit delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

bool CReportCtrl::BeginEdit(int rowKey, int column) {
  EndEdit();
  const int pos = PositionOf(rowKey);
  const int mc = ToModelColumn(column);
  if (pos < 0 || mc < 0 || mc >= model_->columnCount()) return false;
  const QModelIndex i = model_->index(pos, mc);
  table_->setCurrentIndex(i);
  table_->edit(i);
  return IsEditing();
}

void CReportCtrl::Commit(int rowKey, int column, const std::string& text) {
  if (!hooks_.commitEdit) return;
  const std::string before = CellText(rowKey, column);
  if (!hooks_.commitEdit(rowKey, column, text)) return;
  // The view may have written the cell itself (a formatted value); if not,
  // the cell shows what was typed.
  if (CellText(rowKey, column) == before)
    SetCellText(rowKey, column, text, CellColor(rowKey, column));
}

void CReportCtrl::ApplyColumnWidths() {
  QHeaderView* h = table_->horizontalHeader();
  const BuildingScope building(building_);
  for (int c = 0; c < model_->columnCount(); ++c)
    h->resizeSection(c, model_->columns[static_cast<size_t>(c)].width);
  h->setSectionsMovable(movable_);
  h->setSectionsClickable(sorting_);
}

namespace {

// The control's own quicksort, not std::sort or std::stable_sort: which of
// two rows that compare equal comes first is part of its behaviour.
template <typename Less>
void QuickSort(std::vector<int>& a, int lo, int hi, const Less& cmp) {
  while (lo < hi) {
    const int pivot = a[static_cast<size_t>(lo + (hi - lo) / 2)];
    int i = lo;
    int j = hi;
    while (i <= j) {
      while (cmp(a[static_cast<size_t>(i)], pivot) < 0)
        ++i;
      while (cmp(a[static_cast<size_t>(j)], pivot) > 0)
        --j;
      if (i <= j) {
        std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    }
    // Recurse into the smaller part, loop on the larger one.
    if (j - lo < hi - i) {
      QuickSort(a, lo, j, cmp);
      lo = i;
    } else {
      QuickSort(a, i, hi, cmp);
      hi = j;
    }
  }
}

}  // namespace

void CReportCtrl::ApplySort() {
  auto& order = model_->order;
  order.resize(model_->rows.size());
  for (size_t i = 0; i < order.size(); ++i)
    order[i] = static_cast<int>(i);
  QHeaderView* h = table_->horizontalHeader();
  const int mc = sortColumn_ < 0 ? -1 : ToModelColumn(sortColumn_);
  if (sortState_ == SortState::kNone) {
    // The insertion order. The sort column stays: a further click on it
    // sorts ascending again.
    h->setSortIndicatorShown(false);
    return;
  }
  if (mc < 0 || mc >= model_->columnCount()) {
    // The sort column is gone (the columns were rebuilt without it).
    sortState_ = SortState::kNone;
    sortColumn_ = -1;
    h->setSortIndicatorShown(false);
    return;
  }
  const bool numeric = model_->columns[static_cast<size_t>(mc)].numeric;
  const int sign = sortState_ == SortState::kDescending ? -1 : 1;
  auto cmp = [&](int a, int b) {
    const Cell* ca = model_->CellAt(a, mc);
    const Cell* cb = model_->CellAt(b, mc);
    const std::string ta = ca ? ca->text : std::string();
    const std::string tb = cb ? cb->text : std::string();
    int r = 0;
    if (!ta.empty() || !tb.empty()) {
      if (numeric) {
        const double va = AtoF(ta);
        const double vb = AtoF(tb);
        r = va < vb ? -1 : (va > vb ? 1 : 0);
      } else {
        // std::string compares as unsigned bytes: Shift-JIS byte order.
        const int c = ta.compare(tb);
        r = c < 0 ? -1 : (c > 0 ? 1 : 0);
      }
    }
    return r * sign;
  };
  QuickSort(order, 0, static_cast<int>(order.size()) - 1, cmp);
  h->setSortIndicatorShown(true);
  h->setSortIndicator(
      mc, sortState_ == SortState::kAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CReportCtrl::ClickHeader(int column) {
  if (!sorting_ || column < 0 || column >= ColumnCount()) return;
  if (column != sortColumn_) {
    sortColumn_ = column;
    sortState_ = SortState::kAscending;
  } else if (sortState_ == SortState::kAscending) {
    sortState_ = SortState::kDescending;
  } else if (sortState_ == SortState::kDescending) {
    sortState_ = SortState::kNone;
  } else {
    sortState_ = SortState::kAscending;
  }
  EndEdit();
  // Keep the selection and the focused cell with their rows.
  const std::vector<int> selected = GetSelectedRows();
  const QModelIndex cur = table_->currentIndex();
  const int curKey = cur.isValid() ? RowKeyAt(cur.row()) : -1;
  const int curCol = cur.isValid() ? cur.column() : 0;
  model_->Begin();
  ApplySort();
  model_->End();
  ApplyColumnWidths();
  QItemSelection sel;
  for (int key : selected) {
    const int p = PositionOf(key);
    sel.select(model_->index(p, 0), model_->index(p, model_->columnCount() - 1));
  }
  if (curKey >= 0)
    table_->selectionModel()->setCurrentIndex(model_->index(PositionOf(curKey), curCol),
                                              QItemSelectionModel::NoUpdate);
  table_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

void CReportCtrl::OnSectionClicked(int logical) {
  const int column = FromModelColumn(logical);
  if (column < 0) {
    // The "No." column: back to the insertion order.
    if (sortState_ != SortState::kNone) {
      sortState_ = SortState::kDescending;
      ClickHeader(sortColumn_);
    }
    return;
  }
  ClickHeader(column);
  if (sortState_ == SortState::kNone) table_->horizontalHeader()->setSortIndicatorShown(false);
}

void CReportCtrl::Refresh(bool lockUpdates) {
  if (building_) return;
  QScrollBar* vbar = table_->verticalScrollBar();
  QScrollBar* hbar = table_->horizontalScrollBar();
  const int vpos = vbar->value();
  const int hpos = hbar->value();
  const QModelIndex cur = table_->currentIndex();
  int focusRow = cur.isValid() ? cur.row() : -1;
  int focusCol = cur.isValid() ? cur.column() : 0;

  EndEdit();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (lockUpdates) table_->setUpdatesEnabled(false);

  {
    const BuildingScope building(building_);
    model_->Begin();
    model_->columns.clear();
    model_->rows.clear();
    model_->order.clear();
    model_->numberColumn = rowNumbers_;
    if (hooks_.buildColumns) hooks_.buildColumns();
    if (hooks_.fillRows) hooks_.fillRows();
    ApplySort();
    model_->End();
    ApplyColumnWidths();
  }
  table_->doItemsLayout();

  if (lockUpdates) table_->setUpdatesEnabled(true);
  QApplication::restoreOverrideCursor();

  const int rows = model_->rowCount();
  if (focusRow >= rows) focusRow = rows - 1;
  if (focusCol >= model_->columnCount()) focusCol = std::max(0, model_->columnCount() - 1);
  if (focusRow >= 0) {
    const QModelIndex i = model_->index(focusRow, focusCol);
    if (keepFocus_)
      table_->selectionModel()->setCurrentIndex(
          i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
      table_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
  }
  hbar->setValue(hpos);
  vbar->setValue(std::min(vpos, vbar->maximum()));
  UpdateFrozen();
}

void CReportCtrl::SetFrozenFirstColumn(bool on) {
  if (!on || frozen_) return;
  frozen_ = new QTableView(table_);
  frozen_->setObjectName(QStringLiteral("frozenColumn"));
  frozen_->setHorizontalHeader(new ReportHeader(frozen_));
  frozen_->setModel(model_);
  frozen_->setItemDelegate(delegate_);
  frozen_->setSelectionModel(table_->selectionModel());
  frozen_->setFont(table_->font());
  frozen_->horizontalHeader()->setFont(table_->horizontalHeader()->font());
  frozen_->horizontalHeader()->setHighlightSections(false);
  frozen_->horizontalHeader()->setSectionsClickable(false);
  frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->horizontalHeader()->setMinimumSectionSize(0);
  frozen_->verticalHeader()->hide();
  frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  frozen_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  frozen_->setSelectionBehavior(table_->selectionBehavior());
  frozen_->setSelectionMode(table_->selectionMode());
  frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->setWordWrap(false);
  frozen_->setFrameShape(QFrame::NoFrame);
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  connect(table_->verticalScrollBar(), &QScrollBar::valueChanged, frozen_->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(frozen_->verticalScrollBar(), &QScrollBar::valueChanged, table_->verticalScrollBar(),
          &QScrollBar::setValue);
  table_->viewport()->installEventFilter(this);
  UpdateFrozen();
  frozen_->show();
}

void CReportCtrl::UpdateFrozen() {
  if (!frozen_) return;
  const int first = ToModelColumn(0);
  int width = 0;
  for (int c = 0; c < model_->columnCount(); ++c) {
    frozen_->setColumnHidden(c, c > first);
    if (c > first) continue;
    const int w = table_->horizontalHeader()->sectionSize(c);
    frozen_->horizontalHeader()->resizeSection(c, w);
    width += w;
  }
  frozen_->horizontalHeader()->setFixedHeight(table_->horizontalHeader()->height());
  const int frame = table_->frameWidth();
  frozen_->setGeometry(frame, frame, width,
                       table_->viewport()->height() + table_->horizontalHeader()->height());
  frozen_->verticalScrollBar()->setValue(table_->verticalScrollBar()->value());
}

void CReportCtrl::RestoreDefaultWidths() {
  if (!profile_.empty() && store_) {
    for (const auto& [title, width] : widths_) {
      (void)width;
      const std::string key = WidthKey(title);
      if (!store_->Get(key).empty()) store_->Set(key, "-1");
    }
  }
  widths_.clear();
  Refresh(false);
}

void CReportCtrl::ColumnResizedByUser(int column, int width) {
  const int mc = ToModelColumn(column);
  if (mc < 0 || mc >= model_->columnCount()) return;
  Column& c = model_->columns[static_cast<size_t>(mc)];
  c.width = width;
  if (table_->horizontalHeader()->sectionSize(mc) != width) {
    const BuildingScope building(building_);
    table_->horizontalHeader()->resizeSection(mc, width);
  }
  if (column < 0) return;  // the "No." column is not remembered
  widths_[c.title] = width;
  if (!profile_.empty() && store_) store_->Set(WidthKey(c.title), IntText(width));
}

void CReportCtrl::OnSectionResized(int logical, int oldSize, int newSize) {
  (void)oldSize;
  UpdateFrozen();
  if (building_) return;
  if (QApplication::mouseButtons() != Qt::NoButton) {
    // Still dragging: remember it until the button is released.
    pendingWidths_[logical] = newSize;
    return;
  }
  ColumnResizedByUser(FromModelColumn(logical), newSize);
}

bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->horizontalHeader()->viewport() &&
      event->type() == QEvent::MouseButtonRelease && !pendingWidths_.empty()) {
    auto pending = std::exchange(pendingWidths_, {});
    for (const auto& [logical, width] : pending)
      ColumnResizedByUser(FromModelColumn(logical), width);
  }
  if (frozen_ && watched == table_->viewport() && event->type() == QEvent::Resize) UpdateFrozen();
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Space selects; it never opens an editor.
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      const QModelIndex cur = table_->currentIndex();
      if (cur.isValid())
        table_->selectionModel()->select(
            cur, QItemSelectionModel::Rows |
                     (table_->selectionMode() == QAbstractItemView::ExtendedSelection
                          ? QItemSelectionModel::Toggle
                          : QItemSelectionModel::ClearAndSelect));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace qv::ui

#include "app/dialogs/bitmap_export_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "views/fonts.h"
#include "views/graph_view.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

QColor Rgb(uint32_t c) {
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

Qt::Alignment AlignOf(HAlign a) {
  switch (a) {
    case HAlign::kCenter:
      return Qt::AlignHCenter;
    case HAlign::kRight:
      return Qt::AlignRight;
    case HAlign::kLeft:
      break;
  }
  return Qt::AlignLeft;
}

}  // namespace

QImage::Format DisplayImageFormat() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && screen->depth() == 16) return QImage::Format_RGB16;
  return QImage::Format_RGB32;
}

void PaintDrawList(QPainter& p, const DrawList& list) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  // Crisp glyphs, as the graph itself draws them.
  QFont font = GothicFont(list.charHeight > 0 ? list.charHeight : 12);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);
  const int lineHeight = p.fontMetrics().height();
  for (const DrawItem& d : list.items) {
    switch (d.kind) {
      case DrawKind::kCell: {
        // The rectangle covers x1..x2 - 1 and y1..y2 - 1, so neighbouring
        // cells that share a coordinate overlap by their border.
        const QRect cell(d.x1, d.y1, d.x2 - d.x1, d.y2 - d.y1);
        if (d.fill) p.fillRect(cell, Rgb(d.fillColor));
        if (d.frame) {
          p.setPen(QPen(Rgb(d.frameColor), 1));
          p.setBrush(Qt::NoBrush);
          p.drawRect(cell.adjusted(0, 0, -1, -1));
        }
        if (!d.text.empty()) {
          p.setPen(Rgb(d.color));
          const QRect text = cell.adjusted(d.inset, 0, -d.inset, 0);
          p.drawText(text, AlignOf(d.align) | Qt::AlignVCenter | Qt::TextSingleLine, ToQt(d.text));
        }
        break;
      }
      case DrawKind::kText:
        p.setPen(Rgb(d.color));
        p.drawText(QRect(d.x1, d.y1, 4000, lineHeight),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                   ToQt(d.text));
        break;
      case DrawKind::kLine:
        p.setPen(QPen(Rgb(d.color), 1));
        p.drawLine(d.x1, d.y1, d.x2, d.y2);
        break;
      case DrawKind::kPolyline: {
        p.setPen(QPen(Rgb(d.color), 1));
        QPolygon poly;
        for (const auto& [x, y] : d.points)
          poly << QPoint(x, y);
        p.drawPolyline(poly);
        break;
      }
      case DrawKind::kImage:
        break;  // the bitmap overlay has no pictures
    }
  }
  p.restore();
}

QImage RenderBitmap(CGraphView& graph, const CBrenlowDoc& doc, const BitmapExportRequest& request,
                    QImage::Format format) {
  const BitmapGeometry& g = request.geometry;
  QImage image(g.width, g.height, format);
  image.fill(request.whiteBackground ? Qt::white : Qt::black);
  QPainter p(&image);
  graph.Draw(p, QRect(0, 0, g.width, g.height), true, request.whiteBackground);
  PaintDrawList(p, BitmapOverlay(g, doc.DisplayList(), request.dataTable, request.whiteBackground));
  p.end();
  return image;
}

BmpSource BmpSourceOf(const QImage& image) {
  BmpSource s;
  s.width = image.width();
  s.height = image.height();
  s.bitsPerPixel = image.depth();
  s.stride = static_cast<int>(image.bytesPerLine());
  s.topDown = true;
  s.pixels = image.constBits();
  if (image.format() == QImage::Format_RGB16) {
    s.masks[0] = 0xF800u;
    s.masks[1] = 0x07E0u;
    s.masks[2] = 0x001Fu;
  }
  for (QRgb c : image.colorTable())
    s.colorTable.push_back(c & 0xFFFFFFu);
  return s;
}

int WriteBitmapImage(const QImage& image, const std::string& path) {
  if (image.isNull()) return kBmpFailed;
  return WriteBmp(BmpSourceOf(image), path);
}

// --- Dialog -------------------------------------------------------------------

CBitmapExportDialog::CBitmapExportDialog(CBrenlowDoc& doc, CGraphView& graph, IUserInterface& ui,
                                         QWidget* parent)
    : QDialog(parent), doc_(doc), graph_(graph), ui_(ui) {
  setWindowTitle(U8("グラフビューを画像出力"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* intro = new QLabel(
      U8("表示中のグラフビューの内容を、ビットマップ形式の画像ファイルとして出力します。"), this);
  auto* pathLabel = new QLabel(U8("出力ファイル名："), this);
  path_ = new QLineEdit(this);
  path_->setMinimumWidth(320);
  browse_ = new QPushButton(U8("参照"), this);
  browse_->setAutoDefault(false);
  dataTable_ = new QCheckBox(U8("データ内容を簡易表示する"), this);
  white_ = new QCheckBox(U8("背景を白色にする"), this);
  const DialogButtons buttons = MakeDialogButtons(this, U8("ファイル出力"), U8("ｷｬﾝｾﾙ"));
  export_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(pathLabel);
  pathRow->addWidget(path_, 1);
  pathRow->addWidget(browse_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addSpacing(6);
  layout->addLayout(pathRow);
  layout->addWidget(dataTable_);
  layout->addWidget(white_);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(browse_, &QPushButton::clicked, this, &CBitmapExportDialog::OnBrowse);
  connect(export_, &QPushButton::clicked, this, &CBitmapExportDialog::OnExport);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  model_.Open(doc_.App().settings);
  ShowFields();
  path_->setFocus();
}

std::optional<int> CBitmapExportDialog::Run() {
  accepted_.reset();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

void CBitmapExportDialog::ReadFields() {
  // The path is the file system's bytes, not CP932 text.
  model_.path = path_->text().toStdString();
  model_.dataTable = dataTable_->isChecked();
  model_.whiteBackground = white_->isChecked();
}

void CBitmapExportDialog::ShowFields() {
  path_->setText(QString::fromStdString(model_.path));
  dataTable_->setChecked(model_.dataTable);
  white_->setChecked(model_.whiteBackground);
}

void CBitmapExportDialog::OnBrowse() {
  ReadFields();
  model_.Browse(ui_);
  path_->setText(QString::fromStdString(model_.path));
}

void CBitmapExportDialog::OnExport() {
  ReadFields();
  std::optional<BitmapExportRequest> request =
      model_.Export(ui_, doc_.App().settings, doc_.DisplayList(), graph_.GetScale().timeScale);
  if (!request) return;  // refused: the dialog stays open as it is
  const QImage image = RenderBitmap(graph_, doc_, *request);
  accepted_ = WriteBitmapImage(image, request->path);
  accept();
}

}  // namespace qv::ui

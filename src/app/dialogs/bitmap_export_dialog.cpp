#include "app/dialogs/bitmap_export_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "views/draw_list_painter.h"
#include "views/graph_view.h"
#include "views/qt_text.h"

namespace qv::ui {

QImage::Format DisplayImageFormat() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && screen->depth() == 16) return QImage::Format_RGB16;
  return QImage::Format_RGB32;
}

QImage RenderBitmap(CGraphView& graph, const CBrenlowDoc& doc, const BitmapExportRequest& request,
                    QImage::Format format) {
  const BitmapGeometry& g = request.geometry;
  QImage image(g.width, g.height, format);
  image.fill(request.whiteBackground ? Qt::white : Qt::black);
  QPainter p(&image);
  graph.Draw(p, QRect(0, 0, g.width, g.height), true, request.whiteBackground);
  PaintDrawList(p, BitmapOverlay(g, DrawnCurves(doc), request.dataTable, request.whiteBackground),
                PixelMapper());
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
    : CExportDialog(doc, ui, parent), graph_(graph) {
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
  close_ = buttons.cancel;

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

  Wire();
  path_->setFocus();
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

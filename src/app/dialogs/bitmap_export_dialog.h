// The bitmap export dialog ("グラフビューを画像出力") and the making of the
// image: the graph view's own drawing over the whole curve width, the footer
// and the results table of the core's overlay, written by the core's BMP
// writer from the image's pixels.
#pragma once

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/dialogs/export_dialog.h"
#include "core/user_interface.h"
#include "data/document.h"
#include "output/bitmap_export.h"
#include "output/bmp_writer.h"

class QPainter;

namespace qv::ui {

class CGraphView;

// The pixel format of off-screen images: the display's when it is one the
// painter can draw into at 16 bits, else 32 bits per pixel.
QImage::Format DisplayImageFormat();

// The image of an accepted export: the graph's scene drawn by `graph`
// (external, on white when asked) with the overlay of the core on top.
QImage RenderBitmap(CGraphView& graph, const CBrenlowDoc& doc, const BitmapExportRequest& request,
                    QImage::Format format = DisplayImageFormat());

// The core writer's view of an image (no copy: valid while `image` lives).
BmpSource BmpSourceOf(const QImage& image);

// Writes `image` as a BMP file; the writer's result code.
int WriteBitmapImage(const QImage& image, const std::string& path);

// Run gives the writer's result code when the dialog ended through
// "ファイル出力", nothing when cancelled.
class CBitmapExportDialog : public CExportDialog<CBitmapExportDlg, int> {
  Q_OBJECT
 public:
  CBitmapExportDialog(CBrenlowDoc& doc, CGraphView& graph, IUserInterface& ui, QWidget* parent);

  QLineEdit* PathField() const { return path_; }
  QCheckBox* DataTableBox() const { return dataTable_; }
  QCheckBox* WhiteBackgroundBox() const { return white_; }
  QPushButton* CancelButton() const { return close_; }

 private:
  void OnBrowse() override;
  void OnExport() override;
  void ReadFields() override;
  void ShowFields() override;

  CGraphView& graph_;
  QLineEdit* path_ = nullptr;
  QCheckBox* dataTable_ = nullptr;
  QCheckBox* white_ = nullptr;
};

}  // namespace qv::ui

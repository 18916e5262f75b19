#include "output/bitmap_export.h"

#include <algorithm>
#include <cstdint>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "output/bmp_writer.h"
#include "output/record_texts.h"

namespace qv {
namespace {

struct TableColumn {
  int left, right;
  const char* title;  // UTF-8
  const char* unit;   // UTF-8
};

const TableColumn kColumns[] = {
    {10, 89, "", "登録ID"},        {88, 141, "放電時間", "秒"}, {140, 193, "放電容量", "mAh"},
    {192, 245, "放電電力", "mWh"}, {244, 297, "平均電圧", "V"}, {296, 349, "内部抵抗", "mΩ"},
    {348, 401, "ＰＩＲ", ""},      {400, 453, "終了電圧", "V"}, {452, 505, "放電電流", "A"},
};

std::vector<std::string> DataTexts(const CMeasureData& r) {
  RecordTexts t = MakeRecordTexts(r);
  return {std::move(t.id),     std::move(t.seconds),     std::move(t.capacity),
          std::move(t.energy), std::move(t.avgVoltage2), std::move(t.resistance),
          std::move(t.pir),    std::move(t.endVoltage),  std::move(t.currentA)};
}

}  // namespace

BitmapGeometry ComputeBitmapGeometry(const std::vector<CMeasureData*>& displayList, int timeScale,
                                     bool dataTable) {
  BitmapGeometry g;
  for (const CMeasureData* r : displayList) {
    if (!r || r->IsEmpty()) continue;
    ++g.records;
    // Corrupt elapsed times must not overflow the product.
    const int64_t w = std::clamp<int64_t>(int64_t{r->GetDischargeTime()} * timeScale, INT32_MIN,
                                          INT32_MAX - 2 * kGraphLeft);
    g.curveWidth = std::max(g.curveWidth, static_cast<int>(w));
  }
  g.width = std::max(g.curveWidth + 2 * kGraphLeft, kBitmapMinWidth);
  g.height = dataTable ? g.graphHeight + 13 * g.records + 31 : g.graphHeight;
  return g;
}

std::vector<BitmapTableCell> BitmapTableCells(std::span<const GraphCurve> curves, int height) {
  std::vector<BitmapTableCell> data;
  int rowTop = height - 16;
  int highest = height - 3;
  for (auto it = curves.rbegin(); it != curves.rend(); ++it) {
    const CMeasureData* r = it->record;
    if (!r || r->IsEmpty()) continue;
    std::vector<std::string> texts = DataTexts(*r);
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      data.push_back({kColumns[c].left, rowTop, kColumns[c].right, rowTop + 14, texts[c],
                      c == 0 ? HAlign::kCenter : HAlign::kRight, c == 0, it->slot});
    }
    highest = rowTop;
    rowTop -= 13;
  }
  std::vector<BitmapTableCell> cells;
  const int t = highest;
  for (const TableColumn& col : kColumns)
    cells.push_back(
        {col.left, t - 26, col.right, t - 12, Sj(col.title), HAlign::kCenter, false, 0});
  for (size_t c = 0; c < std::size(kColumns); ++c) {
    cells.push_back({kColumns[c].left, t - 13, kColumns[c].right, t + 1, Sj(kColumns[c].unit),
                     c == 0 ? HAlign::kLeft : HAlign::kRight, false, 0});
  }
  cells.insert(cells.end(), data.begin(), data.end());
  return cells;
}

DrawList BitmapOverlay(const BitmapGeometry& g, std::span<const GraphCurve> curves, bool dataTable,
                       bool whiteBackground) {
  const uint32_t background = whiteBackground ? 0xFFFFFF : 0x000000;
  const uint32_t textColour = whiteBackground ? 0x000000 : 0xFFFFFF;
  DrawList list;
  list.fontFace = Sj("ＭＳ ゴシック");
  list.fontSize = 90;
  list.charHeight = 12;  // 9 points at 96 dots per inch
  DrawItem& band = list.Cell(0, g.graphHeight - 1, g.width, g.height, "", HAlign::kLeft, 0, false);
  band.fill = true;
  band.fillColor = background;
  list.Text(2, g.graphHeight - 23, "[V]").color = textColour;
  list.Text(45, g.graphHeight - 13, "Discharge Graph   ...Analyzed By ORVANTIS (Halvorn)").color =
      textColour;
  list.Text(g.width - 60, g.graphHeight - 13, "[Sec.]").color = textColour;
  if (dataTable) {
    for (BitmapTableCell& c : BitmapTableCells(curves, g.height)) {
      DrawItem& d =
          list.Cell(c.left, c.top, c.right, c.bottom, std::move(c.text), c.align, 6, true);
      d.fill = true;
      d.fillColor = background;
      d.frameColor = 0x7F7F7F;
      d.color = c.slotColour ? SlotColor(c.slot) : textColour;
    }
  }
  return list;
}

std::string TrimBlanks(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  size_t b = text.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  size_t e = text.find_last_not_of(blanks);
  return text.substr(b, e - b + 1);
}

void CBitmapExportDlg::Open(const CSettingsStore& settings) {
  path = settings.Get(keys::kExportBmpFile);
  dataTable = settings.Value(keys::kExportBmpTable);
  whiteBackground = settings.Value(keys::kExportBmpWhite);
}

void CBitmapExportDlg::Browse(IUserInterface& ui) {
  FileDialogRequest req;
  req.filter = Sj("ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|");
  req.defaultExtension = ".bmp";
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    req.proposedName = path;
  } else {
    req.startDirectory = path.substr(0, slash + 1);
    req.proposedName = path.substr(slash + 1);
  }
  req.confirmOverwrite = true;
  if (auto chosen = ui.ChooseSaveFile(req)) path = *chosen;
}

std::optional<BitmapExportRequest> CBitmapExportDlg::Export(
    IUserInterface& ui, CSettingsStore& settings, const std::vector<CMeasureData*>& displayList,
    int timeScale) {
  std::string trimmed = TrimBlanks(path);
  if (trimmed.empty()) {
    ui.Tell(Sj("出力ファイル名を設定してください。"), Sj("出力ファイル名設定"), MsgIcon::kWarning);
    return std::nullopt;
  }
  settings.Set(keys::kExportBmpFile, trimmed);
  settings.SetValue(keys::kExportBmpTable, dataTable);
  settings.SetValue(keys::kExportBmpWhite, whiteBackground);
  BitmapExportRequest req;
  req.path = trimmed;
  req.dataTable = dataTable;
  req.whiteBackground = whiteBackground;
  req.geometry = ComputeBitmapGeometry(displayList, timeScale, dataTable);
  return req;
}

Message BitmapExportResultMessage(int resultCode) {
  Message m;
  if (resultCode == kBmpWritten) {
    m.text = Sj("画像ファイルを出力しました。");
    m.caption = Sj("ファイル出力完了");
    m.icon = MsgIcon::kInformation;
  } else if (resultCode == kBmpUnsupported) {
    m.text =
        Sj("画像ファイルの出力ができません。\n\n画面の表示色の設定を変更してください。\n"
           "（表示色が「24ビットTrueColor」の場合は画像保存ができません。）");
    m.caption = Sj("未対応の画面設定");
    m.icon = MsgIcon::kWarning;
  } else {
    m.text = Sj("画像ファイルの出力に失敗しました。");
    m.caption = Sj("ファイル出力エラー");
    m.icon = MsgIcon::kError;
  }
  return m;
}

}  // namespace qv

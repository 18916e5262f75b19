#include "output/csv_export.h"

#include <sys/stat.h>

#include <utility>
#include <vector>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "data/registration_id.h"
#include "data/text_format.h"
#include "output/file_output.h"
#include "output/record_texts.h"

namespace qv {

namespace {

// The remark as one field: as it is, or, when it holds a comma, a quote or a
// line break, in double quotes with its quotes doubled (RFC 4180), so that
// readers see one field holding the remark. A line break inside is CR LF like
// every line end of the file: a bare LF gets its CR, a CR LF stays.
std::string RemarkField(const std::string& remark) {
  if (remark.find_first_of(",\"\r\n") == std::string::npos) return remark;
  std::string out = "\"";
  for (size_t i = 0; i < remark.size(); ++i) {
    const char c = remark[i];
    if (c == '"') out += '"';
    if (c == '\n' && (i == 0 || remark[i - 1] != '\r')) out += '\r';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

std::string CsvFileBytes(const CMeasureData& r) {
  static const std::string kBanner = Sj("Quorvex計測データ");
  static const std::string kTitles =
      Sj(",,放電時間,放電容量,放電電力,平均電圧1,平均電圧2,内部抵抗,ＰＩＲ,放電電流A,放電電流B,"
         "放電電流C,セル数,終了電圧,V1測定点,備考");
  static const std::string kUnits = Sj("登録ID,計測日時,秒,mAh,mWh,V,V,mΩ,,A,A,A,,V,秒,");
  static const std::string kSeries = Sj("放電時間,電池電圧");
  const std::string nl = "\r\n";  // every line, as a text-mode stream ends them

  std::string out;
  out.reserve(256 + r.Points().size() * 12);
  out += kBanner + "," + kMakerNotice + nl;
  out += nl;
  out += kTitles + nl;
  out += kUnits + nl;
  out += r.GetIdText() + "," + r.GetDateTimeText() + "," + IntText(r.GetDischargeTime()) + "," +
         FixedText(r.GetCapacity(-1), 0) + "," + IntText(r.GetEnergy(-1)) + "," +
         FixedText(r.avgVoltage1, 3) + "," + FixedText(r.GetAvgVoltage(-1), 3) + "," +
         FixedText(r.internalResistance, 1) + "," + FixedText(r.pir, 1) + "," +
         FixedText(r.currentA, 1) + "," + FixedText(r.currentB, 1) + "," +
         FixedText(r.currentC, 1) + "," + IntText(r.cells) + "," + FixedText(r.endVoltage, 1) +
         "," + IntText(r.v1Point) + "," + RemarkField(r.remark) + nl;
  out += nl;
  out += kSeries + nl;
  const int decimals = r.cells == 1 ? 3 : 2;
  for (const CMeasurePoint& p : r.Points()) {
    out += IntText(p.time);
    out += ',';
    out += FixedText(p.voltage, decimals);
    out += nl;
  }
  return out;
}

std::string CsvFileName(const CMeasureData& r, CsvNameTable& names) {
  std::string stem = Format("%03d%03d%03d", r.id1, r.id2, r.id3);
  auto it = names.find(stem);
  if (it != names.end()) {
    it->second += 1;
    stem = stem + "_" + IntText(it->second);
  } else {
    names.emplace(stem, 0);
  }
  return "qd1_" + stem + ".csv";
}

std::string CsvJoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

CsvExportResult WriteCsvFiles(const RecordList& list, const std::string& folder, int64_t fromKey,
                              int64_t toKey) {
  CsvExportResult result;
  CsvNameTable names;
  for (const auto& rec : list) {
    const int64_t key = rec->GetIdKey();
    if (key < fromKey || key > toKey) continue;
    const std::string path = CsvJoinPath(folder, CsvFileName(*rec, names));
    const OutputFileResult written = WriteOutputFile(path, {CsvFileBytes(*rec)});
    if (written == OutputFileResult::kNotCreated) continue;  // skipped, not counted
    if (written == OutputFileResult::kFailed) {
      result.failed = true;
      break;
    }
    ++result.written;
  }
  return result;
}

std::string CsvFolderEmptyText() {
  return Sj("出力先フォルダを指定してください。");
}
std::string CsvFolderMissingText() {
  return Sj("指定されたフォルダが見つかりません。");
}

void CCsvExportDlg::Open(const CSettingsStore& settings) {
  folder = settings.Get(keys::kExportCsvFolder);
  for (size_t i = 0; i < 3; ++i) {
    from[i] = settings.Get(keys::kExportCsvIdStart[i]);
    to[i] = settings.Get(keys::kExportCsvIdEnd[i]);
  }
  result = {};
}

void CCsvExportDlg::Browse(IUserInterface& ui) {
  FolderDialogRequest req;
  req.title = Sj("出力先フォルダを指定してください。");
  req.startDirectory = folder;
  if (auto chosen = ui.ChooseFolder(req)) folder = *chosen;
}

bool CCsvExportDlg::Export(IUserInterface& ui, CSettingsStore& settings, const RecordList& list) {
  const std::optional<RegistrationId> first = RegistrationId::FromFields(from);
  const std::optional<RegistrationId> last = RegistrationId::FromFields(to);
  if (!first || !last) {
    ui.Tell(IdRefusalText(), Sj("登録ID指定"), MsgIcon::kWarning);
    return false;
  }
  if (folder.empty()) {
    ui.Tell(CsvFolderEmptyText(), Sj("出力先フォルダ指定"), MsgIcon::kWarning);
    return false;
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) {
    ui.Tell(CsvFolderMissingText(), Sj("出力先フォルダ指定"), MsgIcon::kWarning);
    return false;
  }
  std::vector<std::pair<std::string, std::string>> stored = {{keys::kExportCsvFolder, folder}};
  const std::array<std::string, 3> firstTexts = first->FieldTexts();
  const std::array<std::string, 3> lastTexts = last->FieldTexts();
  for (size_t i = 0; i < 3; ++i) {
    stored.emplace_back(keys::kExportCsvIdStart[i], firstTexts[i]);
    stored.emplace_back(keys::kExportCsvIdEnd[i], lastTexts[i]);
  }
  settings.SetMany(stored);
  result = WriteCsvFiles(list, folder, first->Key(), last->Key());
  return true;
}

Message CsvExportResultMessage(const CsvExportResult& result) {
  Message m;
  if (result.failed) {
    m.text = Sj("ファイル出力に失敗しました。");
    m.caption = Sj("ファイル出力");
    m.icon = MsgIcon::kWarning;
  } else {
    m.text = Format(Sj("%d 個のデータファイルを出力しました。"), result.written);
    m.caption = Sj("ファイル出力完了");
    m.icon = MsgIcon::kInformation;
  }
  return m;
}

}  // namespace qv

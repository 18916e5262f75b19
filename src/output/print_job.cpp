#include "output/print_job.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"
#include "data/registration_id.h"

namespace qv {
namespace {

const std::map<std::string, int>& LayoutNames() {
  static const std::map<std::string, int> names = {
      {"labels", kPrintLabels}, {"graph", kPrintGraphs}, {"table", kPrintTable}};
  return names;
}

// The request's field an option with a value fills, or null.
std::string* ValueField(PrintJobRequest& r, const std::string& option, std::string& layout,
                        std::string& parallel) {
  const std::map<std::string, std::string*> fields = {
      {"--where", &r.where}, {"--pack", &r.pack},       {"--layout", &layout},
      {"--from", &r.from},   {"--to", &r.to},           {"--out", &r.out},
      {"--png", &r.pngDir},  {"--parallel", &parallel}, {"--dir", &r.dir}};
  const auto it = fields.find(option);
  return it == fields.end() ? nullptr : it->second;
}

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What a complete request still lacks or has too much of; empty when none.
std::string RequestError(const PrintJobRequest& r, const std::string& layout,
                         const std::string& parallel) {
  if (r.file.empty() && !r.catalog) return "give a data file FILE.qd1 or --catalog";
  if (!r.file.empty() && r.catalog) return "give a data file or --catalog, not both";
  if (!r.catalog && (!r.where.empty() || !r.pack.empty()))
    return "--where and --pack choose from the catalogue: give --catalog";
  if (!r.where.empty() && !r.pack.empty()) return "give --where or --pack, not both";
  if (layout.empty() && r.pack.empty()) return "--layout labels|graph|table is required";
  if (!layout.empty() && !LayoutNames().count(layout))
    return "--layout must be labels, graph or table";
  if (!parallel.empty() && r.pack.empty()) return "--parallel belongs to --pack";
  if (!parallel.empty() && (!IsDigits(parallel) || parallel.size() > 3 || AtoI(parallel) < 1))
    return "--parallel must be a count from 1 to 999";
  if (r.out.empty()) return "--out OUT.pdf is required";
  return {};
}

std::string ErrnoReason(int error) {
  switch (error) {
    case 0:
      return {};
    case ENOSPC:
    case EDQUOT:
      return Sj("（空き容量がありません）");
    case EACCES:
    case EPERM:
    case EROFS:
      return Sj("（書き込みの権限がありません）");
    case ENOENT:
    case ENOTDIR:
      return Sj("（フォルダーが見つかりません）");
    case EISDIR:
      return Sj("（同じ名前のフォルダーがあります）");
    default:
      return Sj("（エラー番号 ") + IntText(error) + Sj("）");
  }
}

// The ID key of `text`, `fallback` when it is empty; nothing after telling
// `ui` when it is not an ID.
std::optional<int64_t> IdKey(const std::string& text, int64_t fallback, IUserInterface& ui) {
  if (text.empty()) return fallback;
  const std::optional<RegistrationId> id = RegistrationId::Parse(text);
  if (!id) {
    ui.Tell(IdRefusalText(), Sj("登録ID指定"), MsgIcon::kWarning);
    return std::nullopt;
  }
  return id->Key();
}

}  // namespace

std::optional<PrintJobRequest> ParsePrintJobArguments(const std::vector<std::string>& args,
                                                      std::string& error) {
  PrintJobRequest r;
  std::string layout, parallel;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i], value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      if (const size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
    }
    if (arg == "--help" || arg == "-h") {
      r.help = true;
      return r;
    }
    if (arg == "--catalog" && !inlineValue) {
      r.catalog = true;
    } else if (std::string* field = ValueField(r, arg, layout, parallel)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          error = arg + " needs a value";
          return std::nullopt;
        }
        value = args[++i];
      }
      *field = value;
    } else if (arg.rfind("-", 0) == 0 && arg.size() > 1) {
      error = "unknown option " + args[i];
      return std::nullopt;
    } else if (r.file.empty()) {
      r.file = arg;
    } else {
      error = "one data file at a time: " + arg;
      return std::nullopt;
    }
  }
  error = RequestError(r, layout, parallel);
  if (!error.empty()) return std::nullopt;
  if (!layout.empty()) r.form = LayoutNames().at(layout);
  if (!parallel.empty()) r.parallel = AtoI(parallel);
  return r;
}

std::string PrintJobHelpText() {
  return "Usage: quorvex --print FILE.qd1 --layout labels|graph|table [--from ID --to ID]\n"
         "                      --out OUT.pdf [--png DIR] [--dir FOLDER]\n"
         "       quorvex --print --catalog [--where EXPR] --layout labels|graph|table ...\n"
         "       quorvex --print --catalog --pack NAME [--parallel P] [--layout L] ...\n"
         "Prints registered records as labels, graph sheets or a table into a PDF file,\n"
         "without a window, a display or a printer: the pages of the print preview of\n"
         "各種データの印刷 for the same records, with the print settings of Dis.ini in the\n"
         "working folder (margins, label size and layout, graph width, font), on A4\n"
         "portrait paper.\n"
         "\n"
         "Options:\n"
         "  FILE.qd1       the data file whose registered records are printed\n"
         "  --catalog      print from the cell catalogue of the working folder instead:\n"
         "                 the newest test of each cell, by ID\n"
         "  --where EXPR   only the cells the filter finds (quorvex-cli catalog search)\n"
         "  --pack NAME    the pack's documents: its cells' labels, graph sheets with up\n"
         "                 to six curves overlaid each, and the table, every page headed\n"
         "                 by the pack's name, layout, capacity and spread; --layout\n"
         "                 chooses one of them\n"
         "  --parallel P   the pack's cells in parallel (default 1, a series pack); its\n"
         "                 groups are those the matching would build\n"
         "  --layout L     labels, graph (graph sheets with their table) or table\n"
         "  --from ID      the first registration ID to print, P1-P2-P3 (default: the first)\n"
         "  --to ID        the last registration ID to print (default: the last)\n"
         "  --out OUT.pdf  the PDF file; written whole under a temporary name and then\n"
         "                 renamed, so OUT.pdf is never half written\n"
         "  --png DIR      also write every page as DIR/<OUT>-<page>.png, as the preview\n"
         "                 shows it at its actual size\n"
         "  --dir FOLDER   the working folder whose Dis.ini is used (default: QUORVEX_DIR,\n"
         "                 else the current directory)\n"
         "\n"
         "Without DISPLAY or WAYLAND_DISPLAY the command runs on Qt's offscreen platform.\n"
         "Texts are set in the window's Japanese gothic face (IPAGothic); without it\n"
         "nothing is printed.\n"
         "\n"
         "Exit status:\n"
         "  0    printed\n"
         "  1    FILE cannot be read, is damaged or has an unsupported version\n"
         "  2    FILE or the working folder does not exist\n"
         "  3    an ID is not P1-P2-P3 with parts 1 to 999, or --from comes after --to\n"
         "  4    no registered record (no cell) to print\n"
         "  5    the print settings of Dis.ini are invalid (the dialog's message)\n"
         "  6    the Japanese gothic face is not installed\n"
         "  7    OUT.pdf or a picture cannot be written\n"
         "  8    the catalogue cannot be opened, the filter is refused, or the pack's\n"
         "       cells do not make groups of --parallel\n"
         "  100  the command line cannot be parsed\n";
}

std::string PrintJobCaption() {
  return Sj("印刷");
}
std::string PrintIdOrderText() {
  return Sj("登録IDの範囲が正しくありません。\n開始IDには終了ID以前のIDを指定してください。");
}
std::string PrintNothingToPrintText() {
  return Sj("印刷する登録データがありません。\n（指定した範囲に登録データがありません。）");
}
std::string PrintFontMissingText() {
  return Sj(
      "印刷に使うゴシック体のフォント（IPAゴシック）が見つかりません。\n"
      "fonts-ipafont-gothic をインストールしてください。");
}
std::string PrintNotWrittenText(const std::string& path, int error) {
  return Sj(path) + Sj(" を保存できませんでした") + ErrnoReason(error) + Sj("。");
}

int LoadPrintDocument(const std::string& path, CBrenlowDoc& doc, IUserInterface& ui) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) {
    const int err = errno;
    ui.Tell(Sj("データファイルが開けません。 ") + Sj(path) + ": " + Sj(std::strerror(err)),
            PrintJobCaption(), MsgIcon::kError);
    return err == ENOENT ? kPrintJobMissing : kPrintJobUnreadable;
  }
  ArchiveReader ar(fd);
  const DataFileReadResult r = doc.Load(ar);
  ::close(fd);
  if (r.ok()) return kPrintJobOk;
  ui.Tell(r.error, PrintJobCaption(), MsgIcon::kError);
  return kPrintJobUnreadable;
}

int PrintJobSettings(const PrintJobRequest& request, const CSettingsStore& store,
                     IUserInterface& ui, PrintSettings& out) {
  // The stored layout as the dialog would check it before "印刷"; the
  // records come from the command line, not from the stored choice.
  CPrintSettingDlg dlg;
  dlg.Open(store);
  dlg.form = request.form;
  dlg.choice = kPrintAll;
  if (const std::string lines = dlg.ValidationLines(); !lines.empty()) {
    ui.Tell(PrintValidationMessage(lines), Sj("印刷データの設定"), MsgIcon::kWarning);
    return kPrintJobSettings;
  }
  const std::optional<int64_t> first = IdKey(request.from, 1001001, ui);
  if (!first) return kPrintJobBadId;
  const std::optional<int64_t> last = IdKey(request.to, 999999999, ui);
  if (!last) return kPrintJobBadId;
  if (*first > *last) {
    ui.Tell(PrintIdOrderText(), Sj("登録ID指定"), MsgIcon::kWarning);
    return kPrintJobBadId;
  }
  out = ReadPrintSettings(store);
  out.form = request.form;
  out.choice = kPrintRange;
  out.firstKey = *first;
  out.lastKey = *last;
  return kPrintJobOk;
}

int BeginPrintJob(const PrintJobRequest& request, const CAppState& app, const RecordList& list,
                  const PrinterDevice& device, IUserInterface& ui, CPrintEngine& engine) {
  PrintSettings settings;
  if (const int rc = PrintJobSettings(request, app.settings, ui, settings); rc != kPrintJobOk)
    return rc;
  if (FilterPrintRecords(list, settings, {}).empty()) {
    ui.Tell(PrintNothingToPrintText(), PrintJobCaption(), MsgIcon::kWarning);
    return kPrintJobEmpty;
  }
  engine.BeginPrinting(settings, device, list, {}, app.graph);
  return kPrintJobOk;
}

}  // namespace qv

// quorvex-cli export-csv FILE --out DIR [--from P1-P2-P3] [--to P1-P2-P3]:
// the CSV export of the registered records of a data file, as the export
// command writes them, followed by its result message.
#include <sys/stat.h>

#include <iostream>

#include "commands.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "file_io.h"
#include "output/csv_export.h"

namespace qv::cli {
namespace {

// "P1-P2-P3" with every part 1 to 999 as an ID key.
std::optional<uint32_t> ParseIdRange(const std::string& text) {
  int parts[3] = {0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    size_t dash = text.find('-', pos);
    if ((i < 2) != (dash != std::string::npos)) return std::nullopt;
    std::string part = text.substr(pos, i < 2 ? dash - pos : std::string::npos);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    parts[i] = AtoI(part);
    pos = dash + 1;
  }
  return IdKeyOfParts(parts[0], parts[1], parts[2]);
}

struct ExportArgs {
  std::string file;
  std::string out;
  std::string from = "1-1-1";
  std::string to = "999-999-999";
};

int ExportCsv(const ExportArgs& args) {
  auto fromKey = ParseIdRange(args.from);
  auto toKey = ParseIdRange(args.to);
  if (!fromKey || !toKey) {
    std::cerr << Cp932ToUtf8(CsvIdRangeText()) << "\n";
    return kExitUnreadable;
  }
  if (args.out.empty()) {
    std::cerr << Cp932ToUtf8(CsvFolderEmptyText()) << "\n";
    return kExitUnreadable;
  }
  struct stat st;
  if (::stat(args.out.c_str(), &st) != 0) {
    std::cerr << Cp932ToUtf8(CsvFolderMissingText()) << " " << args.out << "\n";
    return kExitMissing;
  }
  CAppState app;
  LoadAppSettings(app);
  LoadedFile file;
  if (int rc = ReadDataFileAt(args.file, app, file); rc != kExitOk) return rc;
  CsvExportResult result = WriteCsvFiles(file.records, args.out, *fromKey, *toKey);
  std::cout << Cp932ToUtf8(CsvExportResultMessage(result).text) << "\n";
  return result.failed ? kExitUnreadable : kExitOk;
}

Registrar exportCsvCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<ExportArgs>();
  auto* sub = app.add_subcommand(
      "export-csv", "Write one CSV file per registered record of a data file (qd1_ID.csv)");
  sub->add_option("FILE", args->file, "data file to read")->required();
  sub->add_option("--out", args->out, "folder to write the CSV files into")->required();
  sub->add_option("--from", args->from, "first registration ID, P1-P2-P3 (default 1-1-1)");
  sub->add_option("--to", args->to, "last registration ID, P1-P2-P3 (default 999-999-999)");
  return [args] { return ExportCsv(*args); };
});

}  // namespace
}  // namespace qv::cli

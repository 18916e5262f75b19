// quorvex-cli export-csv FILE --out DIR [--from P1-P2-P3] [--to P1-P2-P3]:
// the CSV export of the registered records of a data file, as the export
// command writes them, followed by its result message.
#include <sys/stat.h>

#include <iostream>

#include "commands.h"
#include "data/codec.h"
#include "file_io.h"
#include "id_arg.h"
#include "output/csv_export.h"

namespace qv::cli {
namespace {

struct ExportArgs {
  std::string file;
  std::string out;
  std::string from = "1-1-1";
  std::string to = "999-999-999";
};

int ExportCsv(const ExportArgs& args) {
  const std::optional<RegistrationId> from = IdArgument(args.from);
  if (!from) return kExitBadId;
  const std::optional<RegistrationId> to = IdArgument(args.to);
  if (!to) return kExitBadId;
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
  CsvExportResult result = WriteCsvFiles(file.records, args.out, from->Key(), to->Key());
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
  ExitStatusHelp(sub,
                 "  0  exported (the message counts the files)\n"
                 "  1  FILE cannot be read, is damaged or has an unsupported version, --out is\n"
                 "     empty, or a CSV file cannot be written\n"
                 "  2  FILE or the folder does not exist\n"
                 "  3  an ID is not P1-P2-P3 with parts 1 to 999");
  return [args] { return ExportCsv(*args); };
});

}  // namespace
}  // namespace qv::cli

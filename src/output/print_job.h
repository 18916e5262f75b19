// The print command without windows (quorvex --print): its command line, its
// exit statuses and texts, and everything a print run needs before painting:
// the data file read into a document as the window opens it, the stored
// print settings checked as the print settings dialog checks them, the
// records of the ID range and the pagination of the print engine. The window
// side paints the pages (app/headless_print.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"
#include "output/print_layout.h"

namespace qv {

// Exit statuses of the command; listed by its --help.
enum PrintJobExit : int {
  kPrintJobOk = 0,
  kPrintJobUnreadable = 1,  // FILE cannot be read, is damaged or of an unsupported version
  kPrintJobMissing = 2,     // FILE or the working folder does not exist
  kPrintJobBadId = 3,       // an ID is not P1-P2-P3, or --from comes after --to
  kPrintJobEmpty = 4,       // no registered record to print
  kPrintJobSettings = 5,    // the stored print settings are invalid
  kPrintJobNoFont = 6,      // the gothic print face is not installed
  kPrintJobNotWritten = 7,  // OUT.pdf or a picture could not be written
  kPrintJobCatalog = 8,     // the catalogue or its filter refused, or the pack's cells make no
                            // groups of --parallel
  kPrintJobUsage = 100,     // the command line cannot be parsed
};

// What the command line asks for.
struct PrintJobRequest {
  std::string file;  // FILE.qd1; empty with --catalog
  bool catalog = false;
  std::string where, pack;
  int form = -1;         // PrintForm of --layout; -1 with --pack: all three
  int parallel = 1;      // --parallel P: the pack's cells in parallel
  std::string from, to;  // IDs as typed; empty: from the first or to the last ID
  std::string out;       // OUT.pdf
  std::string pngDir;    // --png DIR; empty: no pictures
  std::string dir;       // --dir FOLDER; empty: QUORVEX_DIR or the current directory
  bool help = false;
};

// The option that selects the command among the program's arguments.
inline constexpr char kPrintOption[] = "--print";

// Parses the arguments after kPrintOption ("--opt value" or "--opt=value").
// A usage error fills `error` (English, one line) and returns nothing.
std::optional<PrintJobRequest> ParsePrintJobArguments(const std::vector<std::string>& args,
                                                      std::string& error);

// The command's --help (UTF-8), ending with its exit statuses.
std::string PrintJobHelpText();

// Texts of the command (CP932).
std::string PrintJobCaption();                                        // "印刷"
std::string PrintIdOrderText();                                       // --from after --to
std::string PrintNothingToPrintText();                                // the selection is empty
std::string PrintFontMissingText();                                   // no gothic face installed
std::string PrintNotWrittenText(const std::string& path, int error);  // errno or 0

// Reads the data file `path` into `doc` as the window's open command does.
// On failure tells `ui` why ("データファイルが開けません。" with the path and
// the reason, or the reader's refusal) and returns kPrintJobMissing for a
// missing file, kPrintJobUnreadable otherwise.
int LoadPrintDocument(const std::string& path, CBrenlowDoc& doc, IUserInterface& ui);

// The print settings of the run: those stored in the document's settings
// file, checked as the print settings dialog checks them (the dialog's
// message on failure), with the form of the request and its ID range as the
// record choice (the whole range when no ID is given). Returns kPrintJobOk or
// the exit status after telling `ui`.
int PrintJobSettings(const PrintJobRequest& request, const CSettingsStore& store,
                     IUserInterface& ui, PrintSettings& out);

// Begins `engine` over the registered records `list` on `device` with the
// settings and graph settings of `app` (PrintJobSettings first). A selection
// without any record is refused (PrintNothingToPrintText, kPrintJobEmpty):
// the window's print would give a blank page, a command a file nobody asked
// for.
int BeginPrintJob(const PrintJobRequest& request, const CAppState& app, const RecordList& list,
                  const PrinterDevice& device, IUserInterface& ui, CPrintEngine& engine);

}  // namespace qv

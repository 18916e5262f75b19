// What quorvex --print takes from the cell catalogue of the working folder:
// the newest test of each cell a filter finds, or of each cell of a pack, and
// the line that heads a pack's pages.
#pragma once

#include <optional>
#include <string>

#include "core/app_state.h"
#include "core/user_interface.h"
#include "data/data_file.h"
#include "output/print_job.h"

namespace qv::ui {

// Reads into `out` the newest record of every cell `request` chooses from
// the catalogue `app`'s settings name (--pack: the pack's cells; else those
// --where finds, every cell without it), by ID, with `app`'s average voltage
// 3 range. A catalogue that cannot be opened or read, or a refused filter,
// tells `ui` its message (kPrintJobCatalog); no cell at all tells
// PrintNothingToPrintText or that the pack holds none (kPrintJobEmpty).
int CatalogRecords(const PrintJobRequest& request, const CAppState& app, RecordList& out,
                   IUserInterface& ui);

// "パック NAME　12S1P　容量 3345 mAh　ばらつき 45 mAh" (CP932): the pack of
// `cells` with `parallel` cells in each group, its capacity and spread as
// the matching gives them for that layout (a series pack: its smallest
// cell's capacity and the largest minus the smallest; series-parallel: the
// smallest group's sum and the largest minus the smallest sum). Nothing,
// after telling `ui`, when the cells make no such pack.
std::optional<std::string> PackHeaderText(const std::string& name, const RecordList& cells,
                                          int parallel, IUserInterface& ui);

}  // namespace qv::ui

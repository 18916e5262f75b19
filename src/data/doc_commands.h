// The document's commands, run without windows. Each takes the document, the
// user interface for its messages and choosers, and what the views know (the
// selected rows of the data view as row keys, in the order the view lists
// them, and whether the data view's list has the keyboard focus). Each has an
// enable rule for the menu; every command that changes the document is
// disabled while a run is active.
//
// The registration and ID change dialogs are given as functions so the GUI
// can show the real dialog (built on the models of registration.h) and tests
// can drive the models directly. They return the accepted parts, or nothing
// when cancelled.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/registration.h"

namespace qv {

using RegisterDialogFn = std::function<std::optional<RegistrationId>(CBrenlowDoc&)>;
using IdChangeDialogFn = std::function<std::optional<RegistrationId>(CBrenlowDoc&, CMeasureData&)>;

// The data file filter of the file choosers (CP932) and its extension.
std::string DataFileFilter();
inline constexpr char kDataFileExtension[] = ".qd1";

// --- Enable rules -----------------------------------------------------------

// The current measurement has at least one point.
bool CanRegister(const CBrenlowDoc& doc);
// At least one row selected and the data view's list has the focus.
bool CanDelete(const CBrenlowDoc& doc, const std::vector<int>& selectedRows, bool listHasFocus);
// Exactly one row selected and the data view's list has the focus.
bool CanChangeId(const CBrenlowDoc& doc, const std::vector<int>& selectedRows, bool listHasFocus);
// Clear panel, open, save and merge: whenever no run is active.
bool CanEditDocument(const CBrenlowDoc& doc);
// The display list holds two or more entries.
bool CanRemoveOverlays(const CBrenlowDoc& doc);

// --- Commands ---------------------------------------------------------------

// Register: runs the dialog, then RegisterAccepted. True when registered.
bool CmdRegister(CBrenlowDoc& doc, const RegisterDialogFn& dialog);
// Copies the current measurement into the registration list under `id`,
// overlays it on the graph and resets the current measurement. Returns the
// new record.
CMeasureData* RegisterAccepted(CBrenlowDoc& doc, const RegistrationId& id);

// Delete the selected registered records after asking. True when deleted.
bool CmdDelete(CBrenlowDoc& doc, IUserInterface& ui, const std::vector<int>& selectedRows,
               bool listHasFocus);

// Change the ID of the selected record (moves it to its sorted place and
// takes it off the graph). True when changed.
bool CmdChangeId(CBrenlowDoc& doc, IUserInterface& ui, const std::vector<int>& selectedRows,
                 bool listHasFocus, const IdChangeDialogFn& dialog);

// Clear the measurement panel after asking. True when cleared.
bool CmdClearPanel(CBrenlowDoc& doc, IUserInterface& ui);
// Reset the display list and refresh every view.
void CmdRemoveOverlays(CBrenlowDoc& doc);

// Open: asks about unsaved changes, shows the open chooser and loads the
// chosen file. True when a file was read.
bool CmdOpen(CBrenlowDoc& doc, IUserInterface& ui);
// Open with the file named instead of chosen (a file handed to the running
// window): asks about unsaved changes as Open does, then OpenDataFile. True
// when the file was read.
bool OpenNamedFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& path);
// Loads `path` (the chosen file, or the file named on the command line) and
// refreshes the graph; the steps of Open after the chooser.
bool OpenDataFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& path);

// Save: always asks for a name, then writes the file crash-safely. True when
// the file was written.
bool CmdSave(CBrenlowDoc& doc, IUserInterface& ui);
// Writes the document to `path`; reports a failure. True when written.
bool SaveDataFile(CBrenlowDoc& doc, IUserInterface& ui, const std::string& path);

// End of the input-defaults command (call when the dialog closed with changed
// values): offers to initialise an empty measurement panel.
void InputDefaultsChanged(CBrenlowDoc& doc, IUserInterface& ui);
// End of the average-voltage-3 range command (call when the range changed):
// recomputes every registered record and refreshes the data view.
void Avg3RangeChanged(CBrenlowDoc& doc);

// Closing the main window: refused while a run is active; with unsaved
// changes only after the user confirms (Cancel is the default button).
// True when the window may close.
bool ConfirmClose(CBrenlowDoc& doc, IUserInterface& ui);

// FILE and PATH settings (CP932 in Dis.ini) as file system bytes.
std::string LastFileName(const CAppState& app);
std::string LastFilePath(const CAppState& app);

// A data file chooser request: the ".qd1" filter and default extension, with
// the proposed name and starting folder.
FileDialogRequest DataFileRequest(std::string proposedName, std::string startDirectory);

}  // namespace qv

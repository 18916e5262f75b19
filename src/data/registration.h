// The models behind the registration dialog and the ID change dialog, and the
// free-ID search. The dialogs only show fields and buttons: every check,
// question, proposal and setting lives here, so it runs without a window.
//
// Field texts are CP932 bytes exactly as typed; a field holds at most 3
// characters (longer texts are cut, as the dialog's field limit does). Each
// button function shows its messages through the IUserInterface and returns
// the accepted ID parts, or nothing when the dialog must stay open with the
// fields as they are. Cancel is the dialog's own business: it changes nothing
// and writes no setting. IDs are RegistrationId values (data/registration_id.h).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/registration_id.h"

namespace qv {

// Cuts a typed CP932 text to `chars` characters (a double-byte character
// counts as one).
std::string LimitChars(const std::string& cp932, size_t chars);

// Free-ID search: starting from `values`, counts like an odometer over the
// positions marked free (each 1 to 999, the last position fastest; positions
// not free keep their values) until the ID text is not in use by any
// registered record. Returns true with the found values left in `values`, or
// false when the free positions are exhausted.
bool FindFreeId(const RecordList& registered, std::array<int32_t, 3>& values,
                const std::array<bool, 3>& freePos);

// Registration dialog ("計測データの登録").
class CRegistrationModel {
 public:
  CRegistrationModel(const CBrenlowDoc& doc, CSettingsStore& settings);

  // Opening: the fields and the propose-next box from REGIST_NEXT and
  // REGIST_ID1..3 (the next free ID from the remembered one, "%d" texts), and
  // whether the auto-assign button is shown (FLAG_NUMBTN > 0).
  void Open();

  // The auto-assign button: fills the empty fields with the first free ID,
  // or shows why it cannot.
  void AutoAssign(IUserInterface& ui);

  // The register button: checks the fields, asks when the ID is already in
  // the list, writes REGIST_NEXT and REGIST_ID1..3 and returns the parts.
  std::optional<RegistrationId> Register(IUserInterface& ui);

  void SetField(int index, const std::string& cp932) {
    fields[index] = LimitChars(cp932, RegistrationId::kFieldChars);
  }

  std::array<std::string, 3> fields;  // CP932 texts as typed
  bool proposeNext = false;           // "常に前回登録の次のＩＤを自動割付"
  bool showAutoAssign = false;

 private:
  const CBrenlowDoc& doc_;
  CSettingsStore& settings_;
};

// ID change dialog ("登録IDの変更") for one registered record.
class CIdChangeModel {
 public:
  CIdChangeModel(const CBrenlowDoc& doc, const CMeasureData& record);

  // The current-ID label.
  std::string CurrentIdText() const { return record_.GetIdText(); }

  // The OK button: checks the fields, refuses the same ID, asks for the
  // change (with an extra first paragraph when another record has the new
  // ID) and returns the new parts when the user confirms.
  std::optional<RegistrationId> Ok(IUserInterface& ui);

  void SetField(int index, const std::string& cp932) {
    fields[index] = LimitChars(cp932, RegistrationId::kFieldChars);
  }

  std::array<std::string, 3> fields;  // CP932 texts as typed, empty on opening

 private:
  const CBrenlowDoc& doc_;
  const CMeasureData& record_;
};

}  // namespace qv

#include "data/registration.h"

#include <unordered_set>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {
namespace {

bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string ValuesText(const std::array<int32_t, 3>& v) {
  return RegistrationId{v[0], v[1], v[2]}.Text();
}

// One odometer step at `pos` (0-based); false when it runs out.
bool Step(std::array<int32_t, 3>& v, const std::array<bool, 3>& freePos, int pos) {
  for (;;) {
    if (freePos[pos]) {
      // (Compared so that a huge value read from a file cannot overflow.)
      if (v[pos] < 999) {
        ++v[pos];
        return true;
      }
      if (pos == 0) return false;
      v[pos] = 1;
    } else if (pos == 0) {
      return false;
    }
    --pos;
  }
}

}  // namespace

std::string LimitChars(const std::string& cp932, size_t chars) {
  size_t i = 0;
  for (size_t n = 0; n < chars && i < cp932.size(); ++n) {
    i += (IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size()) ? 2 : 1;
  }
  return cp932.substr(0, i);
}

bool FindFreeId(const RecordList& registered, std::array<int32_t, 3>& values,
                const std::array<bool, 3>& freePos) {
  std::unordered_set<std::string> used;
  for (const auto& r : registered)
    used.insert(r->GetIdText());
  // Each step gives an ID not seen before, so this ends after at most
  // used.size() + 1 looks.
  while (used.count(ValuesText(values)) != 0) {
    if (!Step(values, freePos, 2)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

CRegistrationModel::CRegistrationModel(const CBrenlowDoc& doc, CSettingsStore& settings)
    : doc_(doc), settings_(settings) {}

void CRegistrationModel::Open() {
  fields = {};
  proposeNext = false;
  showAutoAssign = settings_.Value(keys::kNumberButtons);
  if (!settings_.Value(keys::kRegisterNext)) return;
  proposeNext = true;
  std::array<int32_t, 3> v = {settings_.Value(keys::kRegisterId[0]),
                              settings_.Value(keys::kRegisterId[1]),
                              settings_.Value(keys::kRegisterId[2])};
  if (FindFreeId(doc_.Registered(), v, {true, true, true})) {
    for (int i = 0; i < 3; ++i)
      fields[i] = IntText(v[i]);
  }
}

void CRegistrationModel::AutoAssign(IUserInterface& ui) {
  static const std::string kCaption = Sj("ID自動割付");
  std::array<int32_t, 3> v{};
  std::array<bool, 3> freePos{};
  bool anyEmpty = false;
  for (int i = 0; i < 3; ++i) {
    freePos[i] = fields[i].empty();
    v[i] = freePos[i] ? 1 : RegistrationId::FieldValue(fields[i]);
    anyEmpty = anyEmpty || freePos[i];
  }
  if (!anyEmpty) {
    ui.Tell(Sj("自動割付できません。\n（自動割付は未記入欄がある場合に行えます。）"), kCaption,
            MsgIcon::kInformation);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (!RegistrationId::PartValid(v[i])) {
      ui.Tell(Sj("入力欄に不正な値があります。\n入力欄は、未記入もしくは1～999の値を設定してくださ"
                 "い。"),
              kCaption, MsgIcon::kWarning);
      return;
    }
  }
  if (!FindFreeId(doc_.Registered(), v, freePos)) {
    ui.Tell(Sj("自動割付できません。\n未記入欄の箇所で使用されている番号がいっぱいです。"),
            kCaption, MsgIcon::kWarning);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (freePos[i]) fields[i] = IntText(v[i]);
  }
}

std::optional<RegistrationId> CRegistrationModel::Register(IUserInterface& ui) {
  static const std::string kCaption = Sj("登録処理");
  std::array<int32_t, 3> v{};
  for (int i = 0; i < 3; ++i) {
    if (fields[i].empty()) {
      ui.Tell(Sj("未記入欄があります。\n登録の際は３つのＩＤ入力欄すべてに値を入れてください。"),
              kCaption, MsgIcon::kInformation);
      return std::nullopt;
    }
    v[i] = RegistrationId::FieldValue(fields[i]);
    if (!RegistrationId::PartValid(v[i])) {
      ui.Tell(Sj("入力欄に不正な値があります。\n入力欄はそれぞれ1～999の値を設定してください。"),
              kCaption, MsgIcon::kWarning);
      return std::nullopt;
    }
  }
  const RegistrationId id{v[0], v[1], v[2]};
  for (const auto& r : doc_.Registered()) {
    if (r->Id() == id) {
      Message m{Format(Sj("入力されたID %s と同じIDが既に登録リストに存在します。\n"
                          "登録処理を続けますか？"),
                       id.Text()),
                kCaption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
      if (ui.ShowMessage(m) != MsgResult::kOk) return std::nullopt;
      break;
    }
  }
  settings_.SetMany({{keys::kRegisterNext, proposeNext ? "1" : "0"},
                     {keys::kRegisterId[0], fields[0]},
                     {keys::kRegisterId[1], fields[1]},
                     {keys::kRegisterId[2], fields[2]}});
  return id;
}

// ---------------------------------------------------------------------------

CIdChangeModel::CIdChangeModel(const CBrenlowDoc& doc, const CMeasureData& record)
    : doc_(doc), record_(record) {}

std::optional<RegistrationId> CIdChangeModel::Ok(IUserInterface& ui) {
  static const std::string kCaption = Sj("登録IDの変更");
  const std::optional<RegistrationId> typed = RegistrationId::FromFields(fields);
  if (!typed) {
    ui.Tell(IdRefusalText(), kCaption, MsgIcon::kWarning);
    return std::nullopt;
  }
  const RegistrationId now = record_.Id();
  const RegistrationId next = *typed;
  if (next == now) {
    ui.Tell(Sj("変更前と同じIDです。"), kCaption, MsgIcon::kInformation);
    return std::nullopt;
  }
  std::string text;
  for (const auto& r : doc_.Registered()) {
    if (r.get() != &record_ && r->Id() == next) {
      text =
          Format(Sj("（入力されたID %s と同じIDが既に登録リストに存在します。）\n\n"), next.Text());
      break;
    }
  }
  text += Format(Sj("登録ID %s を %s に変更します。\nよろしいですか？"), now.Text(), next.Text());
  Message m{text, kCaption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
  if (ui.ShowMessage(m) != MsgResult::kOk) return std::nullopt;
  return next;
}

}  // namespace qv

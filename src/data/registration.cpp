#include "data/registration.h"

#include <unordered_set>

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {
namespace {

bool InRange(int32_t v) {
  return v >= 1 && v <= 999;
}

bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string ValuesText(const std::array<int32_t, 3>& v) {
  return Format("%03d-%03d-%03d", v[0], v[1], v[2]);
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

std::string IdText(const IdParts& id) {
  return Format("%03d-%03d-%03d", id.p1, id.p2, id.p3);
}

IdParts IdOf(const CMeasureData& r) {
  return {r.id1, r.id2, r.id3};
}

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
    v[i] = freePos[i] ? 1 : AtoI(fields[i]);
    anyEmpty = anyEmpty || freePos[i];
  }
  if (!anyEmpty) {
    ui.Tell(Sj("自動割付できません。\n（自動割付は未記入欄がある場合に行えます。）"), kCaption,
            MsgIcon::kInformation);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (!InRange(v[i])) {
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

std::optional<IdParts> CRegistrationModel::Register(IUserInterface& ui) {
  static const std::string kCaption = Sj("登録処理");
  std::array<int32_t, 3> v{};
  for (int i = 0; i < 3; ++i) {
    if (fields[i].empty()) {
      ui.Tell(Sj("未記入欄があります。\n登録の際は３つのＩＤ入力欄すべてに値を入れてください。"),
              kCaption, MsgIcon::kInformation);
      return std::nullopt;
    }
    v[i] = AtoI(fields[i]);
    if (!InRange(v[i])) {
      ui.Tell(Sj("入力欄に不正な値があります。\n入力欄はそれぞれ1～999の値を設定してください。"),
              kCaption, MsgIcon::kWarning);
      return std::nullopt;
    }
  }
  for (const auto& r : doc_.Registered()) {
    if (r->id1 == v[0] && r->id2 == v[1] && r->id3 == v[2]) {
      Message m{Format(Sj("入力されたID %03d-%03d-%03d と同じIDが既に登録リストに存在します。\n"
                          "登録処理を続けますか？"),
                       v[0], v[1], v[2]),
                kCaption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
      if (ui.ShowMessage(m) != MsgResult::kOk) return std::nullopt;
      break;
    }
  }
  settings_.SetMany({{keys::kRegisterNext, proposeNext ? "1" : "0"},
                     {keys::kRegisterId[0], fields[0]},
                     {keys::kRegisterId[1], fields[1]},
                     {keys::kRegisterId[2], fields[2]}});
  return IdParts{v[0], v[1], v[2]};
}

// ---------------------------------------------------------------------------

CIdChangeModel::CIdChangeModel(const CBrenlowDoc& doc, const CMeasureData& record)
    : doc_(doc), record_(record) {}

std::optional<IdParts> CIdChangeModel::Ok(IUserInterface& ui) {
  static const std::string kCaption = Sj("登録IDの変更");
  std::array<int32_t, 3> v{};
  for (int i = 0; i < 3; ++i) {
    v[i] = AtoI(fields[i]);
    if (!InRange(v[i])) {
      ui.Tell(Sj("ID欄が未記入であるか、不正な値があります。\n"
                 "各ID欄にはそれぞれ1～999の値を設定してください。"),
              kCaption, MsgIcon::kWarning);
      return std::nullopt;
    }
  }
  const IdParts now = IdOf(record_);
  const IdParts next{v[0], v[1], v[2]};
  if (next == now) {
    ui.Tell(Sj("変更前と同じIDです。"), kCaption, MsgIcon::kInformation);
    return std::nullopt;
  }
  std::string text;
  for (const auto& r : doc_.Registered()) {
    if (r.get() != &record_ && IdOf(*r) == next) {
      text =
          Format(Sj("（入力されたID %03d-%03d-%03d と同じIDが既に登録リストに存在します。）\n\n"),
                 next.p1, next.p2, next.p3);
      break;
    }
  }
  text += Format(Sj("登録ID %03d-%03d-%03d を %03d-%03d-%03d に変更します。\nよろしいですか？"),
                 now.p1, now.p2, now.p3, next.p1, next.p2, next.p3);
  Message m{text, kCaption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
  if (ui.ShowMessage(m) != MsgResult::kOk) return std::nullopt;
  return next;
}

}  // namespace qv

// Stock: moving cells between stock, packs and retirement, with the history
// of every move.
#include <set>

#include "catalog/catalog.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

const char* StateWord(Place::Kind k) {
  return k == Place::kPack ? "pack" : k == Place::kRetired ? "retired" : "stock";
}

std::string IdTextOfKey(uint32_t key) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03u-%03u-%03u", key / 1000000, key / 1000 % 1000, key % 1000);
  return buf;
}

// Whether a cell in `from` may go to `to`: into a pack only from stock, to
// retirement from anywhere but retirement, to stock from a pack.
bool MayMove(const Place& from, const Place& to) {
  switch (to.kind) {
    case Place::kPack:
      return from.kind == Place::kStock;
    case Place::kRetired:
      return from.kind != Place::kRetired;
    case Place::kStock:
      return from.kind == Place::kPack;
  }
  return false;
}

std::string RefusalText(const std::string& id, const Place& from, const Place& to) {
  if (to.kind == Place::kPack && from.kind == Place::kPack)
    return Sj("セル ") + id + Sj(" はすでにパック「") + Utf8ToCp932(from.pack) +
           Sj("」に組まれています。");
  if (from.kind == Place::kRetired) return Sj("セル ") + id + Sj(" は廃棄済みです。");
  return Sj("セル ") + id + Sj(" は在庫にあります。");
}

Place PlaceOfRow(const Statement& st) {
  if (st.Text(0) == "pack") return {Place::kPack, std::string(st.Text(1))};
  if (st.Text(0) == "retired") return {Place::kRetired, {}};
  return {};
}

bool WriteMove(Statement& set, Statement& log, uint32_t key, const std::string& at,
               const Place& from, const Place& to) {
  set.Reset();
  set.BindText(1, StateWord(to.kind));
  if (to.kind == Place::kPack)
    set.BindText(2, to.pack);
  else
    set.BindNull(2);
  set.BindInt(3, key);
  log.Reset();
  log.BindInt(1, key);
  log.BindText(2, at);
  log.BindText(3, from.Text());
  log.BindText(4, to.Text());
  return RunToEnd(set) && RunToEnd(log);
}

}  // namespace

bool Catalog::MoveCells(const std::vector<uint32_t>& idKeys, const Place& to) {
  return MoveCellGroups({{idKeys, to}});
}

bool Catalog::MoveCellGroups(const std::vector<CellGroupMove>& groups) {
  message_.clear();
  for (const CellGroupMove& g : groups)
    if (g.to.kind == Place::kPack && g.to.pack.empty())
      return Fail(Sj("パック名を指定してください。"));
  std::string refusal;
  const DbStatus s = InTransaction(*db_, [&] {
    auto get = db_->Prepare("SELECT state, pack FROM cells WHERE id_key = ?");
    auto set = db_->Prepare("UPDATE cells SET state = ?, pack = ? WHERE id_key = ?");
    auto log =
        db_->Prepare("INSERT INTO moves (cell_key, at, from_place, to_place) VALUES (?, ?, ?, ?)");
    if (!get || !set || !log) return false;
    const std::string at = UtcNowText();
    std::set<uint32_t> seen;
    for (const CellGroupMove& g : groups) {
      for (uint32_t key : g.idKeys) {
        const std::string id = IdTextOfKey(key);
        if (!seen.insert(key).second) {
          refusal = Sj("セル ") + id + Sj(" が二度指定されています。");
          return false;
        }
        get->Reset();
        get->BindInt(1, key);
        const DbStatus found = get->Step();
        if (found == DbStatus::kDone) refusal = Sj("セル ") + id + Sj(" はカタログにありません。");
        if (found != DbStatus::kRow) return false;
        const Place from = PlaceOfRow(*get);
        if (!MayMove(from, g.to)) {
          refusal = RefusalText(id, from, g.to);
          return false;
        }
        if (!WriteMove(*set, *log, key, at, from, g.to)) return false;
      }
    }
    return true;
  });
  if (s == DbStatus::kOk) return true;
  if (!refusal.empty()) return Fail(refusal);
  return DbFail();
}

bool Catalog::ReleasePack(const std::string& pack, int* moved) {
  if (moved) *moved = 0;
  std::vector<uint32_t> keys;
  for (const CellSummary& c : CellsOfPack(pack))
    keys.push_back(c.idKey);
  if (!message_.empty()) return false;
  if (keys.empty())
    return Fail(Sj("パック「") + Utf8ToCp932(pack) + Sj("」に組まれたセルはありません。"));
  if (!MoveCells(keys, Place{})) return false;
  if (moved) *moved = static_cast<int>(keys.size());
  return true;
}

std::vector<Move> Catalog::Moves(uint32_t idKey) {
  std::vector<Move> out;
  auto st =
      db_->Prepare("SELECT at, from_place, to_place FROM moves WHERE cell_key = ? ORDER BY id");
  if (!st) {
    DbFail();
    return out;
  }
  st->BindInt(1, idKey);
  while (st->Step() == DbStatus::kRow) {
    Move m;
    m.at = st->Text(0);
    m.from = Place::FromText(std::string(st->Text(1))).value_or(Place{});
    m.to = Place::FromText(std::string(st->Text(2))).value_or(Place{});
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace qv::catalog

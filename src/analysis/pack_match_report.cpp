#include "analysis/pack_match_report.h"

#include <algorithm>

#include "core/numtext.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {

namespace {

// The "[unit]" part of a criterion's title, or nothing (ＰＩＲ).
std::string UnitOf(MatchCriterion c) {
  const std::string title = MatchCriterionTitle(c);
  const size_t open = title.find('[');
  return open == std::string::npos ? std::string() : title.substr(open);
}

std::string WeightText(double w) {
  return RealText(w);
}

std::string CriteriaText(const MatchResult& r) {
  std::string s;
  for (const WeightedCriterion& w : r.criteria) {
    if (!s.empty()) s += Sj("、");
    s += MatchCriterionTitle(w.criterion);
    if (r.criteria.size() > 1) s += Sj("×") + WeightText(w.weight);
  }
  return s;
}

std::string Csv(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += fields[i];
  }
  return line;
}

}  // namespace

std::string MatchCaption() {
  return Sj("パックマッチング");
}

std::string MatchIdsText(const std::vector<std::string>& ids) {
  std::string out;
  for (const std::string& id : ids)
    out += (out.empty() ? "" : " ") + id;
  return out;
}

std::string MatchHeadline(const MatchResult& r) {
  if (r.parallel > 1) {
    return Format(Sj("直列 %d × 並列 %d のパック（対象 %d セルのうち容量の大きい %d セル）"),
                  r.series, r.parallel, static_cast<int>(r.usableCells),
                  static_cast<int>(r.neededCells));
  }
  return Format(Sj("直列 %d セルのパック %d 組（対象 %d セル）　基準: "), r.series,
                static_cast<int>(r.packs.size()), static_cast<int>(r.usableCells)) +
         CriteriaText(r);
}

std::string MatchSpreadText(const MatchResult& r, double spread) {
  if (r.normalized || r.criteria.empty()) return FixedText(spread, 3);
  return FixedText(spread, MatchCriterionDecimals(r.criteria[0].criterion));
}

MatchTable MakeMatchTable(const MatchResult& r, const std::vector<MatchCell>& cells) {
  MatchTable t;
  auto ids = [&cells](const std::vector<size_t>& idx) {
    std::vector<std::string> out;
    for (size_t i : idx)
      out.push_back(cells[i].idText);
    return out;
  };
  if (r.parallelPack) {
    const ParallelPack& p = *r.parallelPack;
    t.titles = {Sj("グループ"), Sj("容量計[mAh]"), Sj("内部抵抗差[mΩ]")};
    for (size_t g = 0; g < p.groups.size(); ++g) {
      double lo = 0.0, hi = 0.0;
      for (size_t k = 0; k < p.groups[g].size(); ++k) {
        const double ir = cells[p.groups[g][k]].summary.results.internalResistance;
        lo = k == 0 ? ir : std::min(lo, ir);
        hi = k == 0 ? ir : std::max(hi, ir);
      }
      MatchTableRow row;
      row.fields = {IntText(static_cast<long long>(g + 1)), FixedText(p.groupSums[g], 1),
                    FixedText(hi - lo, 2)};
      row.ids = ids(p.groups[g]);
      t.rows.push_back(std::move(row));
    }
    t.notes.push_back(Format(Sj("パック容量 %s mAh　容量計の差 %s mAh"), FixedText(p.capacity, 1),
                             FixedText(p.range, 1)) +
                      (p.optimal ? Sj("（最適解）") : std::string()));
  } else {
    std::string spreadTitle = Sj("ばらつき");
    if (!r.normalized && !r.criteria.empty()) spreadTitle += UnitOf(r.criteria[0].criterion);
    t.titles = {Sj("パック"), Sj("パック容量[mAh]"), spreadTitle};
    for (size_t k = 0; k < r.packs.size(); ++k) {
      MatchTableRow row;
      row.fields = {IntText(static_cast<long long>(k + 1)), FixedText(r.packs[k].capacity, 1),
                    MatchSpreadText(r, r.packs[k].spread)};
      row.ids = ids(r.packs[k].cells);
      row.pack = static_cast<int>(k);
      t.rows.push_back(std::move(row));
    }
    if (r.normalized) {
      t.notes.push_back(
          Sj("ばらつき: 各基準の値を標準偏差で割って重みを掛け、セル間の差の最大をとった値"));
    }
  }
  auto addRow = [&t, &ids](const char* titleUtf8, const std::vector<size_t>& cellsOfRow) {
    MatchTableRow row;
    row.fields.assign(t.titles.size(), std::string());
    row.fields[0] = Sj(titleUtf8);
    row.ids = ids(cellsOfRow);
    t.rows.push_back(std::move(row));
    return &t.rows.back();
  };
  if (!r.left.empty()) addRow("余り", r.left)->leftOver = true;
  if (!r.unusable.empty()) {
    addRow("除外", r.unusable)->unusable = true;
    t.notes.push_back(Sj("除外: 容量がない（計測点がないか 0 mAh）か、値が計算に使えないセル"));
  }
  return t;
}

std::vector<std::string> MatchTableLines(const MatchResult& r, const MatchTable& t) {
  std::vector<size_t> widths;
  for (const std::string& title : t.titles)
    widths.push_back(title.size());
  for (const MatchTableRow& row : t.rows)
    for (size_t c = 0; c < row.fields.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], row.fields[c].size());
  auto line = [&widths](const std::vector<std::string>& fields, const std::string& tail) {
    std::string s;
    for (size_t c = 0; c < widths.size(); ++c) {
      const std::string& f = c < fields.size() ? fields[c] : std::string();
      s += std::string(widths[c] - std::min(widths[c], f.size()), ' ') + f + "  ";
    }
    return s + tail;
  };
  std::vector<std::string> out = {MatchHeadline(r)};
  out.push_back(line(t.titles, Sj("登録ID")));
  for (const MatchTableRow& row : t.rows)
    out.push_back(line(row.fields, MatchIdsText(row.ids)));
  for (const std::string& note : t.notes)
    out.push_back(note);
  return out;
}

std::string MatchCsvBytes(const MatchResult& r, const MatchTable& t) {
  size_t columns = 0;
  for (const MatchTableRow& row : t.rows)
    columns = std::max(columns, row.ids.size());
  std::vector<std::string> lines = {Sj("Quorvexパックマッチング"), MatchHeadline(r), ""};
  std::vector<std::string> titles = t.titles;
  for (size_t k = 0; k < columns; ++k)
    titles.push_back(Sj("セル") + IntText(static_cast<long long>(k + 1)));
  lines.push_back(Csv(titles));
  for (const MatchTableRow& row : t.rows) {
    std::vector<std::string> fields = row.fields;
    fields.insert(fields.end(), row.ids.begin(), row.ids.end());
    lines.push_back(Csv(fields));
  }
  if (!t.notes.empty()) {
    lines.push_back("");
    lines.insert(lines.end(), t.notes.begin(), t.notes.end());
  }
  std::string out;
  for (const std::string& l : lines)
    out += l + "\r\n";
  return out;
}

Message MatchRefusalMessage(const MatchResult& r) {
  Message m;
  m.caption = MatchCaption();
  m.icon = MsgIcon::kWarning;
  switch (r.status) {
    case MatchStatus::kOk:
      break;
    case MatchStatus::kBadCount:
      m.text = Sj("直列数と並列数には、1 ～ 999 の値を設定してください。");
      break;
    case MatchStatus::kBadTime:
      m.text = Sj("探索時間には、0 より大きく 3600 以下の秒数を設定してください。");
      break;
    case MatchStatus::kTooFewCells:
      m.text = Format(Sj("セルが足りません。\n"
                         "このパックには %d セルが必要ですが、対象のセルは %d 個です。"),
                      static_cast<int>(r.neededCells), static_cast<int>(r.usableCells));
      if (!r.unusable.empty())
        m.text += Format(Sj("\n（容量がないか値が計算に使えないセル %d 個を除きました。）"),
                         static_cast<int>(r.unusable.size()));
      break;
  }
  return m;
}

}  // namespace qv

#include "analysis/virtual_curve.h"

#include <cmath>
#include <memory>
#include <mutex>

#include "analysis/numeric.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "data/document.h"
#include "data/text_format.h"

namespace qv {
namespace {

constexpr double kResistanceScale = 0.001;              // mOhm -> Ohm
constexpr double kCapacityRate = 0.027777777777777776;  // 1/36: A * 10 * this = mAh per s

}  // namespace

double VirtualCapacity(double mah) {
  // "%f" never gives fewer than eight characters, so the cut is always inside
  // the text. Four characters keep every digit of a value below 1000 that
  // fits and the integer part of one up to 9999; a longer integer part is
  // kept whole instead of losing its last digits.
  const std::string text = FixedText(mah, 6);
  size_t keep = 4;
  const size_t dot = text.find('.');
  if (dot != std::string::npos && dot > keep) keep = dot;
  return AtoF(text.substr(0, keep));
}

std::string VirtualRemark(double ia, const CMeasureData& copied) {
  return Format(Sj("(%sAﾊﾞｰﾁｬﾙｶｰﾌﾞ/%s_%s_%sA) %s"), FixedText(ia, 1), copied.GetIdText(),
                copied.GetDateTimeText(), FixedText(copied.currentA, 1), copied.remark);
}

// The numbered steps of the virtual curve stay together, in their order: the
// function reads best whole.
void MakeVirtualCurve(CMeasureData& target, const CMeasureData& source, double ia,
                      const Avg3Range& range, const COleDateTime& now) {
  if (&target == &source) {
    // Work from a copy so the source's values stay readable throughout.
    const CMeasureData copy = source;
    MakeVirtualCurve(target, copy, ia, range, now);
    return;
  }

  // 1. Start from a copy of the source.
  target = source;
  std::vector<CMeasurePoint>& pts = target.MutablePoints();
  const double r = target.internalResistance;

  // 2. Voltage transform, from the last point to the first. Window points go;
  // every other point loses the drop of the virtual current instead of its
  // own. The last candidate marked is the earliest point at or below the end
  // voltage.
  std::vector<bool> drop(pts.size(), false);
  size_t cut = pts.size();
  for (size_t i = pts.size(); i-- > 0;) {
    CMeasurePoint& p = pts[i];
    if (IsWindowTime(p.time)) {
      drop[i] = true;
      continue;
    }
    p.voltage = p.voltage + r * kResistanceScale * p.current;
    p.current = ia;
    p.voltage = p.voltage - r * kResistanceScale * ia;
    if (!(p.voltage > target.endVoltage)) cut = i;
  }
  // 3. Cut: the candidate and everything after it go.
  size_t kept = 0;
  for (size_t i = 0; i < cut; ++i) {
    if (!drop[i]) pts[kept++] = pts[i];
  }
  pts.resize(kept);

  // 4. Time scale: the source's capacity delivered at the virtual current.
  const double c = source.IsEmpty() ? 0.0 : source.Points().back().capacity;
  const double q = ia * 10.0 * kCapacityRate;  // mAh per second
  const double t = c / q;
  const int32_t l = pts.empty() ? 0 : pts.back().time;
  // A curve whose last point lies at 0 s has no time span to scale: every
  // point lands on second 0 (so only the last one survives, with capacity 0).
  // The same holds when the scale cannot be computed at all (no current).
  double factor = l != 0 ? t / static_cast<double>(l) : 0.0;
  if (!std::isfinite(factor)) factor = 0.0;

  // 5. Re-time from the last point to the first; of several points on the
  // same second the one that was latest survives. The last point always
  // survives (no sentinel second can swallow it).
  std::optional<int32_t> previous;
  std::vector<bool> keep(pts.size(), false);
  for (size_t i = pts.size(); i-- > 0;) {
    CMeasurePoint& p = pts[i];
    const int32_t newTime = TruncInt(static_cast<double>(p.time) * factor);
    p.time = newTime;
    p.capacity = VirtualCapacity(static_cast<double>(newTime) * q);
    if (!previous || *previous != newTime) {
      previous = newTime;
      keep[i] = true;
    }
  }
  kept = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    if (keep[i]) pts[kept++] = pts[i];
  }
  pts.resize(kept);

  // 6. Remark, 7. identity.
  target.remark = VirtualRemark(ia, target);
  target.SetId(RegistrationId{});
  target.dateTime = now;

  // 8. Running average voltage and average voltage 1.
  double sum = 0.0, sumV1 = 0.0;
  int64_t n = 0, nV1 = 0;
  for (CMeasurePoint& p : pts) {
    sum += p.voltage;
    ++n;
    p.avgVoltage = sum / static_cast<double>(n);
    if (p.time <= target.v1Point) {
      sumV1 += p.voltage;
      ++nV1;
    }
  }
  target.avgVoltage1 = nV1 > 0 ? sumV1 / static_cast<double>(nV1) : 0.0;

  // 9., 10.
  target.UpdateAvgVolt3(range);
  target.pir = kVirtualPir;
  target.currentA = target.currentB = target.currentC = ia;
}

std::string VirtualCurveCaption() {
  return Sj("バーチャルカーブの生成");
}

std::optional<std::string> VirtualSourceRefusal(const CMeasureData& source) {
  if (!(source.internalResistance > 0.0) || !(source.pir > 0.0)) {
    return Sj("選択されたデータは、内部抵抗値もしくはPIRが0.0以下のため実行できません。");
  }
  if (source.currentA != source.currentB || source.currentB != source.currentC) {
    return Sj(
        "選択されたデータは、放電電流Ａ・Ｂ・Ｃの値が同じでないため実行できません。\n"
        "（バーチャルカーブの生成元データは、定電流放電のデータに限ります。）");
  }
  return std::nullopt;
}

std::string VirtualCurrentInitialText(double sourceCurrent) {
  return FixedText(sourceCurrent, 1);
}

std::optional<std::string> VirtualCurrentRefusal(double value, double sourceCurrent) {
  std::optional<std::string> message;
  if (!(value > sourceCurrent)) {
    message = Format(Sj("放電電流は、元データの値(%sA)より大きい値を入力してください。"),
                     FixedText(sourceCurrent, 1));
  }
  if (value > kVirtualCurrentLimit) {
    message = Sj("放電電流は、1000.0以下の値を入力してください。");
  }
  return message;
}

std::optional<double> AcceptVirtualCurrent(IUserInterface& ui, std::string_view text,
                                           double sourceCurrent) {
  const double value = AtoF(text);
  if (auto refusal = VirtualCurrentRefusal(value, sourceCurrent)) {
    ui.Tell(*refusal, Sj("仮想放電電流値"), MsgIcon::kWarning);
    return std::nullopt;
  }
  return RoundDecimal(value, 1);
}

bool RunVirtualCurveCommand(CBrenlowDoc& doc, IUserInterface& ui, const ListSelection& selection,
                            const AskVirtualCurrent& askCurrent) {
  const std::string caption = VirtualCurveCaption();
  if (selection.rowKeys.size() != 1 || !selection.listHasFocus) {
    ui.Tell(Sj("バーチャルカーブの生成元となるデータを、データビューから１つ選択してください。"),
            caption, MsgIcon::kInformation);
    return false;
  }
  const CMeasureData* source = doc.FindByRowKey(selection.rowKeys.front());
  if (!source) return false;
  if (auto refusal = VirtualSourceRefusal(*source)) {
    ui.Tell(*refusal, caption, MsgIcon::kInformation);
    return false;
  }
  bool hasPoints;
  {
    std::lock_guard<std::mutex> guard(doc.Lock());
    hasPoints = !doc.Current().IsEmpty();
  }
  if (hasPoints) {
    Message ask{Sj("計測データ欄にデータが残っています。\n\n"
                   "バーチャルカーブを生成する際、上書きしてよろしいですか？\n"
                   "（上書きされたデータは元に戻せません）"),
                caption, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
    if (ui.ShowMessage(ask) != MsgResult::kOk) return false;
  }
  const std::optional<double> ia = askCurrent ? askCurrent(source->currentA) : std::nullopt;
  if (!ia) return false;
  {
    std::lock_guard<std::mutex> guard(doc.Lock());
    MakeVirtualCurve(doc.Current(), *source, *ia, doc.App().avg3);
  }
  doc.RefreshViews(kRefreshResult | kRefreshGraph);
  doc.SetModified();
  ui.Tell(Format(Sj("仮想放電電流 %s A のバーチャルカーブを生成しました。"), FixedText(*ia, 1)),
          caption, MsgIcon::kInformation);
  return true;
}

}  // namespace qv

#include "link/run_texts.h"

#include <cerrno>

#include "core/numtext.h"
#include "data/codec.h"

namespace qv {
namespace {

// The closing part shared by the communication-error messages.
std::string CheckScreenTail() {
  return Sj(
      "（※ORVANTIS本体との接続や通信設定を確認してください。\nまた、ORVANTIS側の画面が\""
      "計測画面\"であるか確認してください。）");
}

RunControlTexts MakeTexts() {
  RunControlTexts t;
  t.captionStart = Sj("放電と計測を開始");
  t.captionRun = Sj("放電と計測");
  t.captionStop = Sj("放電と計測を停止");
  t.clearQuestion =
      Sj("計測データ欄にデータが残っています。\n\n計測データ欄をクリアしてよろしいですか？\n"
         "（クリアしたデータは元に戻せません）");
  t.validationTail = Sj("\n入力値を設定しなおしてください。");
  t.sendFailed = Sj("入力値が送信できません。\n通信エラーが生じました。\n\n") + CheckScreenTail();
  t.noPermission =
      Sj("通信ができません。\n\nパソコンの「COMポート」設定値が正しくないようです。\n"
         "ヘルプを参照して、設定を確認してください。");
  t.detectHint =
      Sj("（※このメッセージは、\nアプリケーション起動後の１回目の通信エラー時に表示されます）\n\n"
         "本アプリケーションには、通信設定を自動的に行う機能があります。\n自動設定を行いますか？");
  t.detectHintCaption = Sj("通信ポートの自動設定");
  t.cannotStart = Sj("開始できません。\n通信エラーが生じました。\n\n") + CheckScreenTail();
  t.commLost = Sj("通信エラーが生じました。\n\nORVANTIS本体との通信障害のため、計測を中断します。");
  t.causeConnection = Sj("ORVANTIS本体と電池の接続を確認してください。");
  t.causeRange = Sj("セル数設定の誤り等によるレンジオーバーの可能性があります。");
  t.stopped =
      Sj("放電と計測の処理を停止しました。\n\n（ORVANTIS本体側の停止も確認してください。）");
  t.sendingStatus = Sj("入力値送信中");
  return t;
}

}  // namespace

const RunControlTexts& GetRunControlTexts() {
  static const RunControlTexts kTexts = MakeTexts();
  return kTexts;
}

std::string EmergencyStopText(const std::string& cause) {
  return Sj("緊急停止されました。\n\n（※") + cause + Sj("）");
}

namespace {

std::string ShownFolder(std::string folder) {
  if (folder.empty()) return ".";
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string InputsText(const InputConditions& in) {
  return Sj("放電電流Ａ ") + FixedText(in.currentA, 1) + Sj(" A、放電電流Ｂ ") +
         FixedText(in.currentB, 1) + Sj(" A、放電電流Ｃ ") + FixedText(in.currentC, 1) +
         Sj(" A、セル数 ") + IntText(in.cells) + Sj("、終了電圧 ") + FixedText(in.endVoltage, 1) +
         Sj(" V、V1測定点 ") + IntText(in.v1Point) + Sj(" 秒");
}

}  // namespace

std::string FolderBusyText(const std::string& folder, const ActiveRun& run) {
  std::string who;
  if (run.pid > 0) {
    who = run.program.empty() ? std::string() : Sj(run.program);
    who += Sj("（プロセス番号 ") + IntText(run.pid) + Sj("）");
  } else {
    who = Sj("プログラム不明");
  }
  std::string text =
      Sj("この作業フォルダーでは、ほかの放電と計測が実行中です。\n計測を開始できません。\n\n"
         "作業フォルダー：") +
      Sj(ShownFolder(folder)) + Sj("\n実行中の計測：") + who + "\n";
  if (run.journaled) {
    text += Sj("開始日時：") + LocalDateTimeOfMs(run.header.startMs).Text() + Sj("\n入力値：") +
            InputsText(run.header.inputs) + "\n";
  } else {
    text += Sj("開始日時と入力値：不明（計測中の記録ファイルがありません）\n");
  }
  return text + Sj("\n（※実行中の計測が終わってから開始してください。同じ作業フォルダーで二つの"
                   "計測を同時に行うと、計測中の記録が残せません。）");
}

std::string JournalLostNoticeText(const std::string& path, int error) {
  std::string reason;
  switch (error) {
    case 0:
      break;
    case ENOSPC:
    case EDQUOT:
      reason = Sj("（空き容量がありません）");
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      reason = Sj("（書き込みの権限がありません）");
      break;
    case EEXIST:
      reason = Sj("（同じ名前のファイルがあります）");
      break;
    default:
      reason = Sj("（エラー番号 ") + IntText(error) + Sj("）");
      break;
  }
  return Sj("計測中の記録ファイル ") + Sj(path) + Sj(" に書き込めません") + reason +
         Sj("。計測は続けますが、このままプログラムが中断すると計測データは失われます。");
}

std::string BackupFailedText(const std::string& path, bool journalKept) {
  return Sj("計測データを自動バックアップファイル ") + Sj(path) +
         Sj(" に保存できませんでした。\n\n（※作業フォルダーの空き容量と書き込みの権限を確認して"
            "ください。") +
         (journalKept ? Sj("計測中の記録ファイルは、計測データがデータファイルに保存されるまで"
                           "残してあります。）")
                      : Sj("計測データは計測データ欄に残っています。）"));
}

}  // namespace qv

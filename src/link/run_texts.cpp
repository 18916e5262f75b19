#include "link/run_texts.h"

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

}  // namespace qv

#include "app/command_ids.h"

namespace qv::ui {

const std::vector<CommandText>& CommandTexts() {
  static const std::vector<CommandText> texts = {
      {kCmdOpen, "ﾃﾞｰﾀﾌｧｲﾙを開く(&O)", "保存されているﾃﾞｰﾀﾌｧｲﾙを開きます", "ﾃﾞｰﾀﾌｧｲﾙを開く",
       "open"},
      {kCmdSave, "ﾃﾞｰﾀﾌｧｲﾙを保存(&S)", "登録ﾘｽﾄをﾃﾞｰﾀﾌｧｲﾙに保存します", "ﾃﾞｰﾀﾌｧｲﾙを保存", "save"},
      {kCmdPrint, "各種ﾃﾞｰﾀの印刷(&P)", "ﾗﾍﾞﾙ、ｸﾞﾗﾌ、一覧表を印刷します", "印刷", "print"},
      {kCmdMerge, "ﾃﾞｰﾀﾌｧｲﾙを合成(&M)", "他のﾃﾞｰﾀﾌｧｲﾙの登録ﾃﾞｰﾀを取り込みます", "ﾃﾞｰﾀﾌｧｲﾙを合成"},
      {kCmdExportCsv, "CSV形式でﾃﾞｰﾀ出力(&E)", "登録ﾃﾞｰﾀをCSV形式で出力します", "CSV出力"},
      {kCmdExportBitmap, "ｸﾞﾗﾌﾋﾞｭｰを画像出力(&B)", "ｸﾞﾗﾌﾋﾞｭｰを画像ﾌｧｲﾙに出力します", "画像出力"},
      {kCmdExit, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "ｱﾌﾟﾘｹｰｼｮﾝを終了します", "終了"},
      {kCmdStart, "放電と計測を開始(&S)", "放電と計測を開始", "放電開始", "start"},
      {kCmdStop, "放電と計測を停止(&E)", "放電と計測を停止", "放電停止", "stop"},
      {kCmdPackMatch, "ﾊﾟｯｸﾏｯﾁﾝｸﾞ(&M)", "登録ﾃﾞｰﾀのｾﾙを値のそろったﾊﾟｯｸに組み合わせます",
       "ﾊﾟｯｸﾏｯﾁﾝｸﾞ"},
      {kCmdCatalog, "ｾﾙｶﾀﾛｸﾞ(&C)", "試験したｾﾙを検索し、履歴を見て、ﾊﾟｯｸに組みます", "ｾﾙｶﾀﾛｸﾞ"},
      {kCmdRegister, "計測ﾃﾞｰﾀを登録ﾘｽﾄに追加(&A)", "計測ﾃﾞｰﾀを登録ﾘｽﾄに追加します", "登録",
       "register"},
      {kCmdDelete, "登録ﾘｽﾄからﾃﾞｰﾀを削除(&D)", "選択中の登録ﾃﾞｰﾀを削除します", "削除", "delete"},
      {kCmdClearPanel, "計測ﾃﾞｰﾀ欄をｸﾘｱ(&C)", "計測ﾃﾞｰﾀ欄をｸﾘｱします", "計測ﾃﾞｰﾀ欄をｸﾘｱ", "clear"},
      {kCmdChangeId, "登録IDの変更(&E)", "選択中の登録ﾃﾞｰﾀのIDを変更します", "登録IDの変更"},
      {kCmdVirtualCurve, "ﾊﾞｰﾁｬﾙｶｰﾌﾞの生成(&V)", "選択中の登録ﾃﾞｰﾀからﾊﾞｰﾁｬﾙｶｰﾌﾞを生成します",
       "ﾊﾞｰﾁｬﾙｶｰﾌﾞの生成"},
      {kCmdSimulator, "ﾊﾞｰﾁｬﾙｶｰﾌﾞｼﾐｭﾚｰﾀｰ(&S)", "ﾊﾞｰﾁｬﾙｶｰﾌﾞｼﾐｭﾚｰﾀｰを表示します",
       "ﾊﾞｰﾁｬﾙｶｰﾌﾞｼﾐｭﾚｰﾀｰ"},
      {kCmdEmfCompare, "起電圧比較(&V)", "登録ﾃﾞｰﾀの起電圧を比較します", "起電圧比較"},
      {kCmdAvg3Range, "平均電圧3の範囲(&A)", "平均電圧3を求める範囲を設定します",
       "平均電圧3の範囲"},
      {kCmdRemoveOverlays, "ｸﾞﾗﾌの重ね合わせを解除(&C)", "ｸﾞﾗﾌの重ね合わせを解除します",
       "重ね合わせ解除"},
      {kCmdFileInfo, "編集中のﾌｧｲﾙ情報(&F)", "編集中のﾃﾞｰﾀﾌｧｲﾙの情報を表示します", "ﾌｧｲﾙ情報"},
      {kCmdRestoreWidths, "ﾃﾞｰﾀﾋﾞｭｰの項目幅を戻す(&D)", "ﾃﾞｰﾀﾋﾞｭｰの項目幅を初期値に戻します",
       "項目幅を戻す"},
      {kCmdVoltStrip, "電圧目盛を左端に固定(&L)", "ｸﾞﾗﾌの電圧目盛をｽｸﾛｰﾙさせず左端に表示します",
       "電圧目盛の固定"},
      {kCmdFitTime, "時間軸をｳｨﾝﾄﾞｳに合わせる(&W)", "ｸﾞﾗﾌの時間軸をｳｨﾝﾄﾞｳの幅に合わせて表示します",
       "時間軸を合わせる"},
      {kCmdGraphSettings, "ｸﾞﾗﾌの表示設定(&G)", "ｸﾞﾗﾌの表示範囲と目盛を設定します",
       "ｸﾞﾗﾌの表示設定", "graph"},
      {kCmdInputDefaults, "入力初期値の定義(&D)", "入力値の初期値を定義します", "入力初期値の定義",
       "inputs"},
      {kCmdStartOptions, "計測開始時の設定(&S)", "計測開始時の動作を設定します",
       "計測開始時の設定"},
      {kCmdPortSettings, "通信ﾎﾟｰﾄの設定(&P)", "計測器をつなぐ通信ﾎﾟｰﾄを設定します",
       "通信ﾎﾟｰﾄの設定"},
      {kCmdAbout, "製品情報(&A)...", "ﾌﾟﾛｸﾞﾗﾑの情報とﾊﾞｰｼﾞｮﾝを表示します", "製品情報", "about"},
  };
  return texts;
}

const CommandText* FindCommandText(int id) {
  for (const auto& t : CommandTexts()) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const std::vector<MenuText>& MenuLayout() {
  static const std::vector<MenuText> menus = {
      {"ﾌｧｲﾙ(&F)",
       {kCmdOpen, kCmdSave, 0, kCmdPrint, 0, kCmdMerge, kCmdExportCsv, kCmdExportBitmap, 0,
        kCmdExit}},
      {"操作(&A)", {kCmdStart, kCmdStop, 0, kCmdPackMatch, kCmdCatalog}},
      {"編集(&E)",
       {kCmdRegister, kCmdDelete, 0, kCmdClearPanel, kCmdChangeId, 0, kCmdVirtualCurve}},
      {"表示(&V)",
       {kCmdSimulator, kCmdEmfCompare, kCmdAvg3Range, 0, kCmdRemoveOverlays, kCmdFileInfo, 0,
        kCmdVoltStrip, kCmdFitTime, 0, kCmdRestoreWidths}},
      {"ｵﾌﾟｼｮﾝ(&O)", {kCmdGraphSettings, kCmdInputDefaults, kCmdStartOptions, 0, kCmdPortSettings}},
      {"ﾍﾙﾌﾟ(&H)", {kCmdAbout}},
  };
  return menus;
}

const std::vector<int>& ToolbarLayout() {
  static const std::vector<int> bar = {
      kCmdOpen,     kCmdSave,   kCmdPrint,      0, kCmdStart,         kCmdStop,          0,
      kCmdRegister, kCmdDelete, kCmdClearPanel, 0, kCmdGraphSettings, kCmdInputDefaults, 0,
      kCmdAbout};
  return bar;
}

}  // namespace qv::ui

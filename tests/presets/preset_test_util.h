// Preset files and message checks shared by the input and graph preset tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "core/settings_store.h"
#include "core/user_interface.h"
#include "data/codec.h"
#include "support/test_support.h"

namespace qv::test {

// A preset file: COUNT, then the lines of entries 1 .. `entries`.
inline void WritePresetFile(const std::string& path, int count, int entries,
                            const std::function<std::string(const std::string& n)>& entryLines) {
  std::string s = "[QUORVEX]\nCOUNT=" + std::to_string(count) + "\n";
  for (int i = 1; i <= entries; ++i)
    s += entryLines(std::to_string(i));
  WriteFile(path, s);
}

// One message with its text, caption (UTF-8 literals) and icon.
inline void ExpectMessage(const Message& m, const char* text, const char* caption, MsgIcon icon) {
  EXPECT_EQ(m.text, Sj(text));
  EXPECT_EQ(m.caption, Sj(caption));
  EXPECT_EQ(m.icon, icon);
}

// The only message shown is the refusal of a 21st entry with `caption`.
inline void ExpectListFullRefusal(const FakeUi& ui, const char* caption) {
  ASSERT_EQ(ui.messages.size(), 1u);
  ExpectMessage(ui.messages[0], "これ以上登録できません。\n\n(最大登録数は20個までです。）",
                caption, MsgIcon::kWarning);
}

// The question before a row is deleted.
inline void ExpectDeleteQuestion(const Message& m) {
  ExpectMessage(m,
                "選択したデータを削除してよろしいですか？\n\n（削除したデータは元に戻せません。）",
                "データ削除", MsgIcon::kQuestion);
  EXPECT_EQ(m.buttons, MsgButtons::kOkCancel);
}

// The file after entry 2 of 3 was deleted: COUNT 2, the former entry 3
// under the position-2 keys (`position2`: key -> value), and the keys of
// position 3 (`leftover`) still in the file, ignored.
inline void ExpectSecondOfThreeDeleted(
    const CSettingsStore& file,
    std::initializer_list<std::pair<const char*, const char*>> position2,
    std::initializer_list<std::pair<const char*, const char*>> leftover) {
  EXPECT_EQ(file.Get("COUNT"), "2");
  for (const auto& [key, value] : position2)
    EXPECT_EQ(file.Get(key), value) << key;
  for (const auto& [key, value] : leftover)
    EXPECT_EQ(file.Get(key), value) << key;
}

}  // namespace qv::test

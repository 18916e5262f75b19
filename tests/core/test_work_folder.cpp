// The working folder of a start from the desktop: where it is, and that it is
// made when missing.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/work_folder.h"
#include "support/test_support.h"

namespace qv {
namespace {

std::string PasswdHome() {
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

TEST(DesktopWorkFolder, DataHomeWhenAbsoluteElseHomeLocalShare) {
  struct Case {
    const char* xdg;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/data/me", "/home/me", "/data/me/quorvex"},
      {"/data/me/", "/home/me", "/data/me/quorvex"},
      {nullptr, "/home/me", "/home/me/.local/share/quorvex"},
      {"", "/home/me/", "/home/me/.local/share/quorvex"},
      // A relative XDG_DATA_HOME is invalid and ignored.
      {"data", "/home/me", "/home/me/.local/share/quorvex"},
      {"/", "/home/me", "/quorvex"},
      // Without a usable HOME the password database names the home folder.
      {nullptr, nullptr, PasswdHome().empty() ? "" : PasswdHome() + "/.local/share/quorvex"},
      {nullptr, "relative", PasswdHome().empty() ? "" : PasswdHome() + "/.local/share/quorvex"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DesktopWorkFolder(c.xdg, c.home), c.expected)
        << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(MakeFolders, MakesEveryMissingFolderPrivateAndKeepsWhatExists) {
  test::TempDir dir;
  const std::string path = dir.File("a/b/quorvex");
  ASSERT_TRUE(MakeFolders(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(dir.File("a").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Already there: nothing to do, still true; the folder's files stay.
  test::WriteFile(path + "/Dis.ini", "[QUORVEX]\n");
  EXPECT_TRUE(MakeFolders(path + "/"));
  EXPECT_TRUE(test::FileExists(path + "/Dis.ini"));
}

TEST(MakeFolders, AFileInTheWayOrAnEmptyPathFails) {
  test::TempDir dir;
  test::WriteFile(dir.File("share"), "");
  EXPECT_FALSE(MakeFolders(dir.File("share/quorvex")));
  EXPECT_FALSE(MakeFolders(dir.File("share")));
  EXPECT_FALSE(MakeFolders(""));
}

}  // namespace
}  // namespace qv

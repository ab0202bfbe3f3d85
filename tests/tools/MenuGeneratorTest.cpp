// The start-up screens and the main menu as gen_menu writes them: every file it writes
// is the one committed under Data/.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "tests/support/Files.h"

namespace {

namespace fs = std::filesystem;

using vd::test::ReadFile;

TEST(MenuGenerator, EveryFileItWritesIsCommitted) {
  const fs::path scratch = fs::temp_directory_path() / ("menu_" + std::to_string(::getpid()));
  ASSERT_EQ(std::system(("'" GEN_MENU "' '" + scratch.string() + "' > /dev/null").c_str()), 0);
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(scratch)) {
    if (!entry.is_regular_file()) continue;
    const fs::path committed = fs::relative(entry.path(), scratch);
    SCOPED_TRACE(committed.string());
    const std::string written = ReadFile(entry.path());
    EXPECT_FALSE(written.empty());
    // Compared whole, not printed: most of them are pictures.
    EXPECT_TRUE(written == ReadFile(committed)) << "run gen_menu and commit its Data";
    ++files;
  }
  // The two files the states read are among them.
  EXPECT_TRUE(fs::exists(scratch / "Data/xml/menu_main.xml"));
  EXPECT_TRUE(fs::exists(scratch / "Data/xml/startup.xml"));
  EXPECT_GT(files, 2u);
  fs::remove_all(scratch);
}

}  // namespace

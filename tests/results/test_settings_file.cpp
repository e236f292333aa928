// The INI document under the settings and its all-or-nothing save.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "results/atomic_file.h"
#include "settings/ini_file.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int FailingRename(const char*, const char*) {
  errno = EIO;
  return -1;
}

}  // namespace

TEST(IniFile, TextComesBackAsItWas) {
  for (const std::string& text :
       {std::string(), std::string("\n\n"), std::string("a=1\n[S]\nb=2\n"),
        std::string("[S]\r\nk=1\r\n\r\n[T]\r\n"), std::string("junk\n[ S ]  trailing\n=\n[\n")}) {
    EXPECT_EQ(IniFile(text).Text(), text);
  }
  EXPECT_EQ(IniFile("[S]\nk=1").Text(), "[S]\nk=1\n");  // the last line gets its end
}

TEST(IniFile, NamesMatchWhateverTheirCase) {
  const IniFile file("[Setup]\nnComPort=2\n[setup]\nnComPort=3\n[ Other ]\n Key = \"v\" \n");
  EXPECT_EQ(file.GetInt("SETUP", "NCOMPORT", -1), 2);  // the first of duplicates
  EXPECT_EQ(file.GetString("other", "key", ""), "v");
  EXPECT_EQ(file.GetInt("Missing", "nComPort", -1), -1);
  EXPECT_EQ(file.GetInt("Setup", "missing", 42), 42);
}

TEST(IniFile, NewKeysFollowTheLastKeyOfTheirSection) {
  IniFile file("[A]\nx=1\n; about B\n\n[B]\n");
  file.SetString("a", "y", "2");
  file.SetString("A", "X", "5");
  file.SetString("C", "z", "3");
  EXPECT_EQ(file.Text(), "[A]\nX=5\ny=2\n; about B\n\n[B]\n[C]\nz=3\n");
}

TEST(IniFile, ASectionWrittenAgainKeepsItsPlace) {
  IniFile file("[A]\na=1\n[Filters]\nF01=1\nF09=9\n[filters]\nF02=2\n[B]\nb=1\n");
  file.DeleteSection("FILTERS");
  EXPECT_EQ(file.Text(), "[A]\na=1\n[B]\nb=1\n");
  EXPECT_EQ(file.GetInt("Filters", "F02", -1), -1);
  file.SetString("Filters", "F01", "405");
  EXPECT_EQ(file.Text(), "[A]\na=1\n[Filters]\nF01=405\n[B]\nb=1\n");
}

class IniSave : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/platovix-ini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    UseRenameForTesting(nullptr);
    fs::remove_all(root_);
  }
  fs::path root_;
};

TEST_F(IniSave, AFailedSaveLeavesTheOldFileWholeAndNoLeftovers) {
  const fs::path path = root_ / "platovix.ini";
  std::ofstream(path) << "[Setup]\nnComPort=1\n";
  IniFile file;
  ASSERT_EQ(LoadIniFile(path, &file), IniLoad::kLoaded);
  file.SetString("Setup", "nComPort", "2");

  UseRenameForTesting(FailingRename);  // everything written, the last step fails
  EXPECT_FALSE(SaveIniFile(path, file));
  EXPECT_EQ(Slurp(path), "[Setup]\nnComPort=1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);

  UseRenameForTesting(nullptr);
  EXPECT_TRUE(SaveIniFile(path, file));
  EXPECT_EQ(Slurp(path), "[Setup]\nnComPort=2\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
}

TEST_F(IniSave, LoadTellsMissingFromUnreadable) {
  IniFile file("[Old]\nk=1\n");
  EXPECT_EQ(LoadIniFile(root_ / "none.ini", &file), IniLoad::kMissing);
  EXPECT_EQ(file.Text(), "");
  EXPECT_EQ(LoadIniFile(root_, &file), IniLoad::kUnreadable);  // a directory
  EXPECT_EQ(LoadIniFile("/dev/zero", &file), IniLoad::kUnreadable);

  const std::string binary(
      "[Setup]\0\xff\nnComPort=\x01"
      "3\n\0\0",
      25);
  std::ofstream(root_ / "binary.ini", std::ios::binary) << binary;
  EXPECT_EQ(LoadIniFile(root_ / "binary.ini", &file), IniLoad::kLoaded);
  EXPECT_EQ(file.Text().substr(0, binary.size()), binary);
}

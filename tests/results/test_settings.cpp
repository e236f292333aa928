// Loading and saving platovix.ini in a private configuration directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "settings/settings.h"
#include "results/shared_state.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

const char kExample[] =
    "[Setup]\n"
    "bDelimComma=1\n"
    "bAutoCopy=1\n"
    "bAutoView=0\n"
    "readerType=2\n"
    "readerSubType=1\n"
    "nComPort=2\n"
    "nBaudRate=19200\n"
    "nBits=7\n"
    "nParity=2\n"
    "nStops=1\n"
    "[Window]\n"
    "X=212\n"
    "Y=148\n"
    "Reduced=0\n"
    "[Filters]\n"
    "F01=405\n"
    "F02=450\n"
    "F03=0\n"
    "F04=540\n"
    "[LastMeasure]\n"
    "nLastF1=450\n"
    "nLastF2=0\n";

const char kDefaultsFile[] =
    "[Setup]\n"
    "bDelimComma=0\n"
    "bAutoCopy=1\n"
    "bAutoView=1\n"
    "readerType=2\n"
    "readerSubType=0\n"
    "nComPort=0\n"
    "nBaudRate=9600\n"
    "nBits=7\n"
    "nParity=2\n"
    "nStops=1\n"
    "[Window]\n"
    "X=-1\n"
    "Y=-1\n"
    "Reduced=0\n"
    "[LastMeasure]\n"
    "nLastF1=0\n"
    "nLastF2=0\n";

class Settings : public testing::Test {
 protected:
  void SetUp() override { UseConfigDirectory(root_ / "config"); }

  static void Reset() { TempHome::ResetSettings(); }
  void UseConfigDirectory(const fs::path& directory) {
    setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
  }
  fs::path File() const { return SettingsFilePath(); }
  void WriteFile(const std::string& text) {
    fs::create_directories(fs::path(File()).parent_path());
    std::ofstream(File(), std::ios::binary) << text;
  }
  std::string ReadFile() const {
    std::ifstream in(File(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Load what the file holds as a fresh start would, then save it back.
  std::string LoadAndSave(const std::string& text) {
    WriteFile(text);
    Reset();
    LoadSettings();
    SaveSettings();
    return ReadFile();
  }

  TempHome temp_{"settings"};
  const fs::path root_ = temp_.path();
};

}  // namespace

TEST_F(Settings, FileLivesInTheConfigDirectory) {
  EXPECT_EQ(File(), root_ / "config" / "platovix.ini");
  setenv("XDG_CONFIG_HOME", "", 1);
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(SettingsFilePath(), home + "/.config/platovix.ini");
  }
}

TEST_F(Settings, ExampleFileLoadsAndSavesBackByteForByte) {
  WriteFile(kExample);
  LoadSettings();
  EXPECT_EQ(AppSettings.bDelimComma, 1);
  EXPECT_EQ(AppSettings.bAutoCopy, 1);
  EXPECT_EQ(AppSettings.bAutoView, 0);
  EXPECT_EQ(AppSettings.readerType, 2);
  EXPECT_EQ(AppSettings.readerSubType, 1);
  EXPECT_EQ(AppSettings.nComPort, 2);
  EXPECT_EQ(AppSettings.nBaudRate, 19200);
  EXPECT_EQ(AppSettings.nBits, 7);
  EXPECT_EQ(AppSettings.nParity, 2);
  EXPECT_EQ(AppSettings.nStops, 1);
  EXPECT_EQ(AppSettings.X, 212);
  EXPECT_EQ(AppSettings.Y, 148);
  EXPECT_EQ(AppSettings.Reduced, 0);
  ASSERT_EQ(FilterTable.nCount, 4);
  EXPECT_EQ(FilterTable.nWavelength[0], 405);
  EXPECT_EQ(FilterTable.nWavelength[1], 450);
  EXPECT_EQ(FilterTable.nWavelength[2], 0);
  EXPECT_EQ(FilterTable.nWavelength[3], 540);
  EXPECT_EQ(AppSettings.nLastF1, 450);
  EXPECT_EQ(AppSettings.nLastF2, 0);
  EXPECT_EQ(AppSettings.bIncludeHeader, 1);

  SaveSettings();
  EXPECT_EQ(ReadFile(), kExample);
}

TEST_F(Settings, EveryFieldSurvivesARoundTrip) {
  AppSettings.X = -300;
  AppSettings.Y = 77;
  AppSettings.Reduced = 1;
  AppSettings.bDelimComma = 1;
  AppSettings.bAutoCopy = 0;
  AppSettings.bAutoView = 0;
  AppSettings.bIncludeHeader = 0;  // not stored: the next run starts with it on
  AppSettings.readerType = 5;
  AppSettings.readerSubType = 1;
  AppSettings.nComPort = 4;
  AppSettings.nBaudRate = 19200;
  AppSettings.nBits = 8;
  AppSettings.nParity = 4;
  AppSettings.nStops = 0;
  AppSettings.nLastF1 = 405;
  AppSettings.nLastF2 = 620;
  for (int i = 0; i < kFilterSlots; ++i) FilterTable.nWavelength[i] = 300 + i;
  FilterTable.nCount = kFilterSlots;
  const TAppSettings saved = AppSettings;
  SaveSettings();

  Reset();
  LoadSettings();
  EXPECT_EQ(AppSettings.X, saved.X);
  EXPECT_EQ(AppSettings.Y, saved.Y);
  EXPECT_EQ(AppSettings.Reduced, saved.Reduced);
  EXPECT_EQ(AppSettings.bDelimComma, saved.bDelimComma);
  EXPECT_EQ(AppSettings.bAutoCopy, saved.bAutoCopy);
  EXPECT_EQ(AppSettings.bAutoView, saved.bAutoView);
  EXPECT_EQ(AppSettings.bIncludeHeader, 1);
  EXPECT_EQ(AppSettings.readerType, saved.readerType);
  EXPECT_EQ(AppSettings.readerSubType, saved.readerSubType);
  EXPECT_EQ(AppSettings.nComPort, saved.nComPort);
  EXPECT_EQ(AppSettings.nBaudRate, saved.nBaudRate);
  EXPECT_EQ(AppSettings.nBits, saved.nBits);
  EXPECT_EQ(AppSettings.nParity, saved.nParity);
  EXPECT_EQ(AppSettings.nStops, saved.nStops);
  EXPECT_EQ(AppSettings.nLastF1, saved.nLastF1);
  EXPECT_EQ(AppSettings.nLastF2, saved.nLastF2);
  ASSERT_EQ(FilterTable.nCount, kFilterSlots);
  for (int i = 0; i < kFilterSlots; ++i) EXPECT_EQ(FilterTable.nWavelength[i], 300 + i);
}

TEST_F(Settings, NoFileGivesDefaultsAndTheSaveCreatesTheDirectory) {
  UseConfigDirectory(root_ / "not" / "yet" / "there");
  LoadSettings();
  EXPECT_EQ(AppSettings.nComPort, 0);
  EXPECT_EQ(AppSettings.nBaudRate, 9600);
  EXPECT_EQ(AppSettings.X, -1);
  EXPECT_EQ(FilterTable.nCount, 0);

  SaveSettings();
  EXPECT_EQ(ReadFile(), kDefaultsFile);
}

TEST_F(Settings, FilterListEndsAtAGapOrANegativeEntry) {
  // A gap at F04: F05 is lost, and so it is at the next save; the section
  // keeps its place in the file.
  EXPECT_EQ(LoadAndSave("[Filters]\nF01=405\nF02=450\nF03=492\nF05=620\n"),
            "[Filters]\nF01=405\nF02=450\nF03=492\n" + std::string(kDefaultsFile));
  EXPECT_EQ(FilterTable.nCount, 3);

  // An empty slot inside the list stays.
  LoadAndSave("[Filters]\nF01=0\nF02=450\n");
  ASSERT_EQ(FilterTable.nCount, 2);
  EXPECT_EQ(FilterTable.nWavelength[0], 0);
  EXPECT_EQ(FilterTable.nWavelength[1], 450);
  EXPECT_NE(ReadFile().find("[Filters]\nF01=0\nF02=450\n"), std::string::npos);

  // Empty slots at the end load, then go at the save, from the table too.
  WriteFile("[Filters]\nF01=405\nF02=450\nF03=492\nF04=540\nF05=0\nF06=0\n");
  Reset();
  LoadSettings();
  EXPECT_EQ(FilterTable.nCount, 6);
  SaveSettings();
  EXPECT_EQ(FilterTable.nCount, 4);
  EXPECT_EQ(ReadFile().find("[Filters]\nF01=405\nF02=450\nF03=492\nF04=540\n[Setup]"), 0u);
  EXPECT_EQ(ReadFile().find("F05"), std::string::npos);

  // A negative wavelength is written as it is and ends the list next time.
  FilterTable.nWavelength[1] = -1;
  SaveSettings();
  EXPECT_NE(ReadFile().find("F02=-1\n"), std::string::npos);
  Reset();
  LoadSettings();
  EXPECT_EQ(FilterTable.nCount, 1);
}

TEST_F(Settings, OnlySixtyFourFiltersAreRead) {
  std::string text = "[Filters]\n";
  for (int slot = 1; slot <= 70; ++slot) {
    char line[32];
    std::snprintf(line, sizeof line, "F%02d=%d\n", slot, 400 + slot);
    text += line;
  }
  LoadAndSave(text);
  ASSERT_EQ(FilterTable.nCount, kFilterSlots);
  EXPECT_EQ(FilterTable.nWavelength[63], 464);
  EXPECT_NE(ReadFile().find("F64=464\n"), std::string::npos);
  EXPECT_EQ(ReadFile().find("F65"), std::string::npos);
}

TEST_F(Settings, NumbersAreReadLikeTheProfileFunctionsReadThem) {
  WriteFile(
      "[setup]\n"
      "BAUTOCOPY=7\n"
      "bAutoView = 0\n"
      "nComPort=9\n"
      "nBaudRate= 19200 baud\n"
      "nBits=x\n"
      "nParity=+3\n"
      "nStops\n"
      "readerType=99999999999\n"
      "[WINDOW]\n"
      "x=-40\n");
  LoadSettings();
  EXPECT_EQ(AppSettings.bAutoCopy, 1);
  EXPECT_EQ(AppSettings.bAutoView, 0);
  EXPECT_EQ(AppSettings.nComPort, 9);  // no range test here: the main dialog mends it
  EXPECT_EQ(AppSettings.nBaudRate, 19200);
  EXPECT_EQ(AppSettings.nBits, 0);
  EXPECT_EQ(AppSettings.nParity, 3);
  EXPECT_EQ(AppSettings.nStops, 1);  // a line without "=" is no key
  EXPECT_EQ(AppSettings.readerType, 2147483647);
  EXPECT_EQ(AppSettings.X, -40);

  SaveSettings();
  // The keys are rewritten in place, in our spelling; flags as 0 or 1.
  const std::string saved = ReadFile();
  EXPECT_EQ(saved.find("[setup]\nbAutoCopy=1\nbAutoView=0\nnComPort=9\n"), 0u);
  EXPECT_NE(saved.find("[WINDOW]\nX=-40\n"), std::string::npos);
  EXPECT_EQ(saved.find("[Setup]"), std::string::npos);
}

TEST_F(Settings, WhatWeDoNotWriteSurvivesTheSave) {
  const std::string text =
      "; written by hand\n"
      "[Ports]\n"
      "COM1=/dev/ttyUSB0\n"
      "com3 = \"/dev/serial/by-id/usb-Reader Port\"\n"
      "\n"
      "[Setup]\n"
      "nComPort=1\n"
      "operatorNote=keep me\n"
      "# a comment\n"
      "nBaudRate=9600\n"
      "\n"
      "[Extra]\n"
      "a=1\n";
  WriteFile(text);
  LoadSettings();
  EXPECT_EQ(PortMap.szDevice[1], "/dev/ttyUSB0");
  EXPECT_EQ(PortMap.szDevice[2], "");
  EXPECT_EQ(PortMap.szDevice[3], "/dev/serial/by-id/usb-Reader Port");
  SaveSettings();
  EXPECT_EQ(ReadFile(),
            "; written by hand\n"
            "[Ports]\n"
            "COM1=/dev/ttyUSB0\n"
            "com3 = \"/dev/serial/by-id/usb-Reader Port\"\n"
            "\n"
            "[Setup]\n"
            "nComPort=1\n"
            "operatorNote=keep me\n"
            "# a comment\n"
            "nBaudRate=9600\n"
            "bDelimComma=0\n"
            "bAutoCopy=1\n"
            "bAutoView=1\n"
            "readerType=2\n"
            "readerSubType=0\n"
            "nBits=7\n"
            "nParity=2\n"
            "nStops=1\n"
            "\n"
            "[Extra]\n"
            "a=1\n"
            "[Window]\n"
            "X=-1\n"
            "Y=-1\n"
            "Reduced=0\n"
            "[LastMeasure]\n"
            "nLastF1=0\n"
            "nLastF2=0\n");
}

TEST_F(Settings, GarbageNeverStopsTheProgram) {
  std::mt19937 random(20240307);
  for (int round = 0; round < 50; ++round) {
    std::string text;
    const size_t length = random() % 4000;
    const char pieces[] = "[]=\n\r\t;#-+0123456789FSetupFilters ";
    for (size_t i = 0; i < length; ++i) {
      text += random() % 3 == 0 ? static_cast<char>(random() % 256)
                                : pieces[random() % (sizeof pieces - 1)];
    }
    LoadAndSave(text);
    EXPECT_GE(FilterTable.nCount, 0);
    EXPECT_LE(FilterTable.nCount, kFilterSlots);
    Reset();
    LoadSettings();  // what we wrote reads back
  }

  // One very long line, then real keys after it.
  const std::string longLine(2 * 1024 * 1024, 'x');
  LoadAndSave(longLine + "\n[Setup]\nnComPort=3\n");
  EXPECT_EQ(AppSettings.nComPort, 3);
  EXPECT_EQ(ReadFile().substr(0, longLine.size() + 1), longLine + "\n");
}

TEST_F(Settings, AFileThatCannotBeReadIsLeftAlone) {
  // A directory where the file should be: defaults, and the save keeps off.
  fs::create_directories(File());
  LoadSettings();
  EXPECT_EQ(AppSettings.nComPort, 0);
  AppSettings.nComPort = 2;
  SaveSettings();
  EXPECT_TRUE(fs::is_directory(File()));
}

TEST_F(Settings, AnUnwritableLocationIsNoFailure) {
  // Below a plain file no directory can be made, not even by root.
  std::ofstream(root_ / "plain") << "x";
  UseConfigDirectory(root_ / "plain" / "config");
  LoadSettings();
  AppSettings.nComPort = 2;
  SaveSettings();
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(Settings, ALinkedFileStaysALink) {
  const fs::path real = root_ / "dotfiles" / "platovix.ini";
  fs::create_directories(real.parent_path());
  std::ofstream(real) << kExample;
  fs::create_directories(File().parent_path());
  fs::create_symlink(real, File());
  LoadSettings();
  AppSettings.nComPort = 3;
  SaveSettings();
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_NE(ReadFile().find("nComPort=3\n"), std::string::npos);
}

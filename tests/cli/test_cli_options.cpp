#include "cli/cli_options.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>

#include "cli/terminal_dialog.h"
#include "driver/foto.h"
#include "link/operator_message.h"
#include "tests/support/test_paths.h"

namespace {

CliParse Parse(std::vector<std::string> args) {
  return ParseCliArguments(args);
}

}  // namespace

TEST(CliOptions, ReadsAMeasureWithEveryOptionInEitherSpelling) {
  const CliParse parse = Parse({"--port", "COM2", "--family=jupiter", "--baud", "19200", "measure",
                                "--primary=450", "--reference", "620", "--format", "csv", "--comma",
                                "-o", "out.csv", "--repeat", "3", "--every", "2.5", "--yes"});
  ASSERT_TRUE(parse.ok) << parse.error;
  const CliOptions& o = parse.options;
  EXPECT_EQ(o.command, CliCommand::Measure);
  EXPECT_EQ(o.comPort, 2);
  EXPECT_FALSE(o.devicePath);
  EXPECT_EQ(o.family, 1);
  EXPECT_EQ(o.baud, 19200);
  EXPECT_EQ(o.primary, 450);
  EXPECT_EQ(o.reference, 620);
  EXPECT_EQ(o.format, ResultFormat::Csv);
  EXPECT_TRUE(o.comma);
  EXPECT_EQ(o.output, "out.csv");
  EXPECT_EQ(o.repeat, 3);
  EXPECT_DOUBLE_EQ(o.everySeconds, 2.5);
  EXPECT_TRUE(o.yes);

  const CliParse device = Parse({"--port", "/dev/ttyUSB0", "--family", "digiscan", "plate", "out"});
  ASSERT_TRUE(device.ok) << device.error;
  EXPECT_EQ(device.options.devicePath, "/dev/ttyUSB0");
  EXPECT_EQ(device.options.family, 0);
  EXPECT_EQ(device.options.command, CliCommand::PlateOut);

  // A kinetic assay brings its series and analysis; the command line wins.
  const std::string assay = test_paths::SourceDir() + "/examples/kinetic-assay.json";
  const CliParse kinetic = Parse({"measure", "--assay", assay, "-o", "s.json"});
  ASSERT_TRUE(kinetic.ok) << kinetic.error;
  EXPECT_EQ(kinetic.options.repeat, 12);
  EXPECT_DOUBLE_EQ(kinetic.options.everySeconds, 5);
  EXPECT_EQ(kinetic.options.kinetic,
            analysis::KineticOptions({analysis::KineticMode::Rate, 5, 0.9}));
  const CliParse growth = Parse({"measure", "--assay", assay, "--repeat", "3", "--kinetic",
                                 "growth", "--window", "3", "-o", "s.json"});
  ASSERT_TRUE(growth.ok) << growth.error;
  EXPECT_EQ(growth.options.repeat, 3);
  EXPECT_EQ(growth.options.kinetic,
            analysis::KineticOptions({analysis::KineticMode::Growth, 3, 0.9}));
  const CliParse analyse = Parse({"analyse", "--kinetic", "rate", "series.json"});
  ASSERT_TRUE(analyse.ok) << analyse.error;
  EXPECT_EQ(analyse.options.format, ResultFormat::Json);
}

TEST(CliOptions, CalibrationTakesPositionsAndClearsWithZero) {
  const CliParse parse = Parse({"calibrate", "2=492", "5=0", "6=999"});
  ASSERT_TRUE(parse.ok) << parse.error;
  const CliOptions& o = parse.options;
  EXPECT_EQ(o.command, CliCommand::Calibrate);
  EXPECT_EQ(o.calibrate, (std::array<bool, 6>{false, true, false, false, true, true}));
  EXPECT_EQ(o.calibrateNm[1], 492);
  EXPECT_EQ(o.calibrateNm[4], 0);
  EXPECT_EQ(o.calibrateNm[5], 999);
}

TEST(CliOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(Parse({"--help"}).options.command, CliCommand::Help);
  EXPECT_EQ(Parse({"measure", "-h"}).options.command, CliCommand::Help);
  EXPECT_NE(CliHelpText().find("Examples:"), std::string::npos);
}

// Every one of these must be refused with a one-line reason.
TEST(CliOptions, RefusesBadUsageWithOneLine) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"measure"},
      {"measure", "--primary"},
      {"measure", "--primary", "abc"},
      {"measure", "--primary", "450nm"},
      {"measure", "--primary", "99"},
      {"measure", "--primary", "450", "--reference", "x"},
      {"measure", "--primary", "450", "--format", "xml"},
      {"measure", "--primary", "450", "--format", "json", "--comma"},
      {"measure", "--primary", "450", "--repeat", "0"},
      {"measure", "--primary", "450", "--repeat", "3"},
      {"measure", "--primary", "450", "--every", "5"},
      {"measure", "--primary", "450", "--repeat", "2", "--every", "-1"},
      {"measure", "extra", "--primary", "450"},
      {"filters", "--primary", "450"},
      {"plate"},
      {"plate", "up"},
      {"calibrate"},
      {"calibrate", "0=450"},
      {"calibrate", "7=450"},
      {"calibrate", "2=199"},
      {"calibrate", "2=1000"},
      {"calibrate", "2=-5"},
      {"calibrate", "2=abc"},
      {"calibrate", "2"},
      {"calibrate", "2=450", "2=500"},
      {"--port", "COM5", "id"},
      {"--port", "COM0", "id"},
      {"--family", "other", "id"},
      {"--baud", "fast", "id"},
      {"--yes=1", "id"},
      {"--unknown", "id"},
      {"measure", "--primary", "405", "--repeat", "3", "--every", "5", "--kinetic", "speed", "-o",
       "s.json"},
      {"measure", "--primary", "405", "--kinetic", "rate", "-o", "s.json"},  // no series
      {"measure", "--primary", "405", "--repeat", "3", "--every", "5", "--kinetic", "rate"},
      {"measure", "--primary", "405", "--repeat", "3", "--every", "5", "--window", "4", "-o",
       "s.json"},  // no --kinetic
      {"analyse", "--kinetic", "rate", "--window", "1", "s.json"},
      {"measure", "--primary", "405", "--format", "xlsx", "-o", "s.xlsx"},  // no series analysis
      {"filters", "--kinetic", "rate"},
  };
  for (const auto& args : bad) {
    const CliParse parse = Parse(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(parse.ok) << joined;
    EXPECT_FALSE(parse.error.empty()) << joined;
    EXPECT_EQ(parse.error.find('\n'), std::string::npos) << joined;
  }
}

// The plate question on the terminal: Enter confirms, "c" cancels, and a
// terminal that goes away (or a signal) cancels too.
TEST(TerminalDialog, AsksForThePlateOnTheTerminal) {
  const auto ask = [](const std::string& typed, bool hangUp) {
    // A socket pair is read and written through one descriptor, as a
    // terminal is: the prompt goes out and the answer comes in on it.
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    EXPECT_EQ(write(ends[1], typed.data(), typed.size()), ssize_t(typed.size()));
    if (hangUp) shutdown(ends[1], SHUT_WR);
    std::ostringstream progress;
    TerminalDialog dialog(progress, false, ends[0], false);
    const int answer = dialog.AskOkCancel("Insert a plate and click OK\r\n", "Confirm");
    char prompt[128] = {};
    EXPECT_GT(read(ends[1], prompt, sizeof prompt - 1), 0);
    EXPECT_EQ(std::string(prompt).rfind("Insert a plate and press Enter, or type c to cancel", 0),
              0u);
    close(ends[0]);
    close(ends[1]);
    return answer;
  };
  EXPECT_EQ(ask("\n", false), kAnswerOk);
  EXPECT_EQ(ask("  C\n", false), kAnswerCancel);
  EXPECT_EQ(ask("", true), kAnswerCancel);

  std::ostringstream progress;
  EXPECT_EQ(TerminalDialog(progress, false, -1, false).AskOkCancel("", ""), kAnswerCancel);
  EXPECT_NE(progress.str().find("--yes"), std::string::npos);
  EXPECT_EQ(TerminalDialog(progress, false, -1, true).AskOkCancel("", ""), kAnswerOk);
}

TEST(TerminalDialog, StatusTextsGoOnePerLineOrInPlace) {
  std::ostringstream log;
  {
    TerminalDialog dialog(log, false, -1, false);
    ControlHandle line = dialog.GetDlgItem(kStatusLineId);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(dialog.GetDlgItem(209), nullptr);
    EXPECT_TRUE(dialog.SendTextTimeout(line, "started", 600));
    EXPECT_TRUE(dialog.SendTextTimeout(line, "connected", 600));
    EXPECT_TRUE(dialog.SendTextTimeout(line, "", 600));
    dialog.PostCommand(kPlateMoved);
    EXPECT_EQ(dialog.Completion(), kPlateMoved);
  }
  EXPECT_EQ(log.str(), "started\nconnected\n");

  std::ostringstream terminal;
  {
    TerminalDialog dialog(terminal, true, -1, false);
    dialog.Status("check(1)");
    dialog.Status("check(2)");
  }
  EXPECT_EQ(terminal.str(), "\rcheck(1)\x1b[K\rcheck(2)\x1b[K\n");
}

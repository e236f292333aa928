// Every trace in tests/traces replayed through the real programs:
// platovix-cli against platovix-sim --replay --strict, with the command the
// trace's begin lines name. The replay must send the same commands, show the
// same status texts, end with the same completion and print the same result.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "sim/trace_file.h"
#include "tests/replay/child_process.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace {

const fs::path kTraces = (fs::path(test_paths::SourceDir()) / "tests") / "traces";

std::vector<std::string> TraceNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kTraces)) {
    if (entry.path().extension() == ".trace") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const sim::TracedOperation& op, const std::string& kind, const std::string& data) {
  for (const auto& event : op.events) {
    if (event.kind == kind && event.data == data) return true;
  }
  return false;
}

// The platovix-cli arguments that ask for the recorded operation again.
std::vector<std::string> CommandOf(const sim::TracedOperation& op) {
  std::vector<std::string> args;
  const auto family = op.details.find("family");
  if (family != op.details.end()) args = {"--family", family->second};
  if (Has(op, "answer", "ok")) args.push_back("--yes");
  if (op.name == "measure") {
    args.insert(args.end(), {"measure", "--primary", op.details.at("primary"), "--no-header"});
    if (op.details.at("reference") != "0") {
      args.insert(args.end(), {"--reference", op.details.at("reference")});
    }
  } else if (op.name == "calibrate") {
    args.push_back("calibrate");
    for (const auto& [key, value] : op.details) {
      if (key.size() == 1 && key[0] >= '1' && key[0] <= '6') args.push_back(key + "=" + value);
    }
  } else if (op.name == "plate-in" || op.name == "plate-out") {
    args.insert(args.end(), {"plate", op.name == "plate-in" ? "in" : "out"});
  } else {
    args.push_back(op.name);
  }
  return args;
}

int ExitCodeOf(const sim::TracedOperation& op) {
  for (const auto& event : op.events) {
    if (event.kind != "done") continue;
    switch (std::stoi(event.data)) {
      case 804:
        return 3;
      case 805:
        return 2;
      case 806:
        return 1;
      default:
        return 0;
    }
  }
  return -1;
}

// What must come out the same: the program's units, its status texts (the
// milliseconds of a time-out vary) and its completion.
std::vector<std::string> Conversation(const sim::TracedOperation& op) {
  static const std::regex kTimeout("Timeout \\([0-9]+\\)\\.");
  std::vector<std::string> lines;
  for (const auto& event : op.events) {
    if (event.kind == ">" || event.kind == "done" || event.kind == "answer") {
      lines.push_back(event.kind + " " + event.data);
    } else if (event.kind == "status") {
      lines.push_back("status " + std::regex_replace(event.data, kTimeout, "Timeout (N)."));
    }
  }
  return lines;
}

class ReplayOfTrace : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ReplayOfTrace, GivesTheSameConversationAndResult) {
  const fs::path file = kTraces / (GetParam() + ".trace");
  const auto recorded = sim::LoadTrace(file.string());
  ASSERT_FALSE(recorded.empty());
  const TempHome dir("replay");  // the children find no settings file
  const fs::path replayed = dir.path() / "replayed.trace";

  BackgroundProgram reader(test_paths::Program("sim/platovix-sim"),
                           {"--replay", file.string(), "--strict"});
  ASSERT_FALSE(reader.firstLine().empty()) << "platovix-sim did not start";
  std::string printed;
  for (const auto& op : recorded) {
    std::vector<std::string> args = {"--port", reader.firstLine(), "--trace", replayed.string()};
    const auto command = CommandOf(op);
    args.insert(args.end(), command.begin(), command.end());
    const Finished run = RunProgram(test_paths::Program("cli/platovix-cli"), args);
    EXPECT_EQ(run.code, ExitCodeOf(op)) << op.name << "\n" << run.err;
    printed += run.out;
  }
  EXPECT_EQ(reader.Stop(), 0) << reader.err();
  EXPECT_EQ(reader.err().find("difference"), std::string::npos) << reader.err();

  const auto again = sim::LoadTrace(replayed.string());
  ASSERT_EQ(again.size(), recorded.size());
  for (size_t i = 0; i < recorded.size(); ++i) {
    EXPECT_EQ(again[i].name, recorded[i].name);
    EXPECT_EQ(Conversation(again[i]), Conversation(recorded[i])) << "operation " << i + 1;
  }
  const fs::path expected = kTraces / (GetParam() + ".expected");
  if (fs::exists(expected)) {
    EXPECT_EQ(printed, ReadWhole(expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Traces, ReplayOfTrace, ::testing::ValuesIn(TraceNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// The operator asks for another filter than the recording holds: a strict
// replay stops at the start command and names both; without --strict a
// DigiScan takes over and the measurement completes.
TEST(Replay, StrictNamesTheFirstDifferingCommandAndOtherwiseTheFamilyAnswers) {
  const TempHome dir("replay");  // the children find no settings file
  const std::string file = (kTraces / "measure-digiscan.trace").string();
  {
    BackgroundProgram reader(test_paths::Program("sim/platovix-sim"),
                             {"--replay", file, "--strict"});
    ASSERT_FALSE(reader.firstLine().empty());
    const Finished run = RunProgram(test_paths::Program("cli/platovix-cli"),
                                    {"--port", reader.firstLine(), "--family", "digiscan",
                                     "measure", "--primary", "405", "--reference", "620"});
    EXPECT_NE(run.code, 0);
    EXPECT_EQ(reader.WaitForExit(10000), 1);
    EXPECT_NE(reader.err().find("the program sent command \"Sf1f5x3G\", the recording has "
                                "command \"Sf2f5x3G\""),
              std::string::npos)
        << reader.err();
  }
  BackgroundProgram reader(test_paths::Program("sim/platovix-sim"), {"--replay", file});
  ASSERT_FALSE(reader.firstLine().empty());
  const Finished run = RunProgram(test_paths::Program("cli/platovix-cli"),
                                  {"--port", reader.firstLine(), "--family", "digiscan", "measure",
                                   "--primary", "405", "--reference", "620", "--no-header"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 8);
  EXPECT_EQ(reader.Stop(), 0);
  EXPECT_NE(reader.err().find("a digiscan reader answers"), std::string::npos) << reader.err();
}

TEST(Replay, ATraceThatIsNotOneIsRefusedWithTheLine) {
  const TempHome dir("replay");  // the children find no settings file
  const fs::path file = dir.path() / "bad.trace";
  std::ofstream(file) << "# a trace\n0 begin filters\n12 > STX \"E\" ETX 0xZZ\n";
  const Finished run =
      RunProgram(test_paths::Program("sim/platovix-sim"), {"--replay", file.string()});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("line 3: cannot read the bytes"), std::string::npos) << run.err;
  EXPECT_EQ(RunProgram(test_paths::Program("sim/platovix-sim"),
                       {"--replay", (dir.path() / "none").string()})
                .code,
            2);
}

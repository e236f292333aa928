// What the operator is told when the reader's device cannot be had: no
// access, another program holds it, or it is no serial port at all.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/operator_message.h"
#include "link/port_refusal.h"
#include "link/port_setup.h"
#include "link/system_error.h"
#include "results/shared_state.h"
#include "tests/support/message_boxes.h"
#include "tests/support/pty_pair.h"

namespace fs = std::filesystem;

namespace {

using namespace message_boxes;

class PortRefusal : public testing::Test {
 protected:
  void SetUp() override {
    boxes.clear();
    previous_ = SetMessageBoxHandler(RecordBox);
    saved_ = AppSettings;
    savedPorts_ = PortMap;
    AppSettings.nComPort = 2;
    char pattern[] = "/tmp/platovix-refusal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    ClosePort();
    SetMessageBoxHandler(previous_);
    AppSettings = saved_;
    PortMap = savedPorts_;
    fs::remove_all(dir_);
  }

  std::string OneBox(const std::string& device) {
    PortMap.szDevice[2] = device;
    boxes.clear();
    EXPECT_TRUE(OpenReaderPort(nullptr));
    EXPECT_EQ(hComPort, kInvalidPort);
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? "" : boxes[0].Shown();
  }

  MessageBoxHandler previous_ = nullptr;
  TAppSettings saved_;
  TPortMap savedPorts_;
  fs::path dir_;
};

TEST_F(PortRefusal, FilesAndOtherDevicesAreNotSerialPorts) {
  const std::string file = (dir_ / "plate.csv").string();
  std::ofstream(file) << "not a line\n";
  for (const std::string& path : {file, std::string("/dev/null"), dir_.string()}) {
    EXPECT_TRUE(IsNotASerialPort(path)) << path;
    EXPECT_EQ(OneBox(path),
              "Error: " + SystemText(ENOTTY) + "\n" + path + " is not a serial port.");
  }
  PtyPair pty;
  EXPECT_FALSE(IsNotASerialPort(pty.slavePath()));
  EXPECT_FALSE(IsNotASerialPort("/dev/tty"));
  EXPECT_FALSE(IsNotASerialPort((dir_ / "missing").string()));  // OpenPort's own case
  EXPECT_EQ(OneBox((dir_ / "missing").string()), "Error: Invalid serial port number.");
}

TEST_F(PortRefusal, PortHeldByAnotherProgramNamesIt) {
  PtyPair pty;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {  // another program: holds the line until killed
    const int fd = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) _exit(1);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  const std::string pid = std::to_string(holder);

  bool onlyUs = true;
  EXPECT_NE(OtherHolderOf(pty.slavePath(), &onlyUs).find("(process " + pid + ")"),
            std::string::npos);
  EXPECT_FALSE(onlyUs);
  const std::string box = OneBox(pty.slavePath());
  EXPECT_EQ(box.rfind("Error: " + SystemText(EWOULDBLOCK) + "\n" + pty.slavePath() +
                          " is in use by another program, ",
                      0),
            0u)
      << box;
  EXPECT_NE(box.find("(process " + pid + "). Close it and try again."), std::string::npos);

  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_FALSE(OpenReaderPort(nullptr));  // free again
}

TEST_F(PortRefusal, HintsFollowTheSystemText) {
  EXPECT_EQ(PortRefusalText("/dev/ttyUSB0", EACCES), SystemText(EACCES) + "\n" + kDialoutHint);
  EXPECT_EQ(std::string(kDialoutHint),
            "Add your user to the dialout group (sudo usermod -aG dialout $USER) and log in "
            "again.");
  EXPECT_EQ(PortRefusalText("/nonexistent", ENOENT), SystemText(ENOENT));
  EXPECT_EQ(AccessHint("/dev/null", ENOTTY), "");
  // Held by nobody we can see: still said to be another program's.
  EXPECT_EQ(AccessHint((dir_ / "gone").string(), EBUSY),
            (dir_ / "gone").string() + " is in use by another program. Close it and try again.");
}

// Run as a user without access (root is never refused), the box carries the
// one command that grants it.
TEST_F(PortRefusal, NoAccessTellsTheDialoutCommand) {
  PtyPair pty;
  ASSERT_EQ(chmod(pty.slavePath().c_str(), 0600), 0);
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (getuid() != 0) {
      if (chmod(pty.slavePath().c_str(), 0) != 0) _exit(3);
    } else if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
      _exit(2);  // nobody / nogroup
    }
    PortMap.szDevice[2] = pty.slavePath();
    boxes.clear();
    const bool failed = OpenReaderPort(nullptr);
    const std::string text = failed && boxes.size() == 1 ? boxes[0].Shown() : "opened";
    (void)!write(pipeFds[1], text.data(), text.size());
    _exit(0);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(text, "Error: " + SystemText(EACCES) + "\n" + kDialoutHint);
}

}  // namespace

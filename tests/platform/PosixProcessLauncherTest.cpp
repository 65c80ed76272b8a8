#include "platform/linux/PosixProcessLauncher.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/support/TempFolder.h"

using namespace std::chrono_literals;

namespace {

class PosixProcessLauncherTest : public ::testing::Test {
 protected:
  // Polls for a file written by a program nobody waits for.
  bool AppearsWithin(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (std::filesystem::exists(file) && std::filesystem::file_size(file) > 0) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  const pyx::test::TempFolder temp_{"pyx-spawn-"};
  const std::filesystem::path folder_ = temp_.Path();
  PosixProcessLauncher launcher_;
};

}  // namespace

TEST_F(PosixProcessLauncherTest, RunCollectsOutputAndExitCodeInTheFolderAsked) {
  const ProcessOutcome out =
      launcher_.RunHidden({"/bin/sh", {"-c", "pwd; echo err >&2; exit 3"}, folder_}, 5s);
  EXPECT_TRUE(out.started);
  EXPECT_FALSE(out.timedOut);
  EXPECT_EQ(out.exitCode, 3);
  EXPECT_EQ(out.output, folder_.string() + "\n") << "standard error is not collected";

  const ProcessOutcome searched = launcher_.RunHidden({"sh", {"-c", "printf hi"}, {}}, 5s);
  EXPECT_TRUE(searched.started) << "a bare name is looked up on the search path";
  EXPECT_EQ(searched.output, "hi");
}

TEST_F(PosixProcessLauncherTest, ProgramThatOverrunsIsEndedAtTheLimit) {
  const auto start = std::chrono::steady_clock::now();
  const ProcessOutcome out = launcher_.RunHidden({"/bin/sleep", {"10"}, {}}, 200ms);
  EXPECT_TRUE(out.timedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(PosixProcessLauncherTest, MissingProgramOrFolderIsAFailedStart) {
  EXPECT_FALSE(launcher_.RunHidden({folder_ / "none", {}, {}}, 1s).started);
  EXPECT_FALSE(launcher_.RunHidden({"no-such-program-pyx", {}, {}}, 1s).started);
  EXPECT_FALSE(launcher_.RunHidden({"/bin/true", {}, folder_ / "none"}, 1s).started);
  EXPECT_FALSE(launcher_.StartHidden({folder_ / "none", {}, {}}));
}

TEST_F(PosixProcessLauncherTest, StartHiddenAndScriptsRunWithoutWaiting) {
  ASSERT_TRUE(launcher_.StartHidden({"/bin/sh", {"-c", "echo started > out1"}, folder_}));
  EXPECT_TRUE(AppearsWithin(folder_ / "out1", 5s));

  const std::filesystem::path script = folder_ / "script with blank.sh";
  std::ofstream(script) << "echo from-script > \"$(dirname \"$0\")/out2\"\n";
  ASSERT_TRUE(launcher_.RunScript(script)) << "no execute permission needed";
  EXPECT_TRUE(AppearsWithin(folder_ / "out2", 5s));
}

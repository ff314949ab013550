#include "TerminalProgress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using kvtools::TTerminalProgress;

// A run on a terminal, with a clock the test moves.
struct TRun {
  std::ostringstream Out;
  std::chrono::steady_clock::time_point Now{};
  TTerminalProgress Progress{Out, true, [this] { return Now; }};
};

TEST(TerminalProgress, ShowsAStepOnceTheRunHasTakenASecond) {
  TRun run;
  run.Progress.Step("Reading pictures");
  run.Progress(1, 3);
  EXPECT_EQ(run.Out.str(), ""); // a quick run says nothing
  run.Now += 1200ms;
  run.Progress(2, 3);
  run.Now += 10ms;
  run.Progress(3, 3); // the last count always shows, however soon
  EXPECT_EQ(run.Out.str(), "\rReading pictures: 2 of 3   \rReading pictures: 3 of 3   ");
  run.Progress.Step("Cutting pictures");
  run.Progress(1, 800);
  run.Now += 50ms;
  run.Progress(2, 800); // too soon after the last
  run.Now += 100ms;
  run.Progress(3, 800);
  run.Progress.Step("Writing the package");
  run.Progress.End();
  run.Progress(1, 2); // nothing after the end
  EXPECT_EQ(run.Out.str(),
            "\rReading pictures: 2 of 3   \rReading pictures: 3 of 3   \n"
            "Cutting pictures...\rCutting pictures: 1 of 800   \rCutting pictures: 3 of 800   \n"
            "Writing the package...\n");
}

TEST(TerminalProgress, SaysNothingOffATerminal) {
  std::ostringstream out;
  auto now = std::chrono::steady_clock::time_point{};
  {
    TTerminalProgress progress(out, false, [&] { return now; });
    now += 5s;
    progress.Step("Reading pictures");
    progress(1, 2);
  }
  EXPECT_EQ(out.str(), "");
  EXPECT_FALSE(kvtools::IsTerminal(out));
}

} // namespace

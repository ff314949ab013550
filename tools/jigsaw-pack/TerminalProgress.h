// How far a long run of the package tool has come, told on the terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace kvtools {

// Once the run has taken a second, the step under way is shown on one line: "<step>: n of total" rewritten in
// place at most ten times a second (the last count always), or "<step>..." for a step without a count; the
// line is ended when the step or the run ends. Nothing at all on an output that is not a terminal, so that
// scripts and logs see no noise.
class TTerminalProgress {
public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  // The run begins now. terminal: whether out is a terminal; clock: the time (tests give their own).
  TTerminalProgress(std::ostream& out, bool terminal, TClock clock = std::chrono::steady_clock::now);
  ~TTerminalProgress();
  TTerminalProgress(const TTerminalProgress&) = delete;
  TTerminalProgress& operator=(const TTerminalProgress&) = delete;

  // A new step; the line of the one before is ended.
  void Step(std::string what);
  // done of total of the step under way.
  void operator()(int32_t done, int32_t total);
  // Ends the line shown, if any; nothing more is shown afterwards.
  void End();

private:
  bool Due();
  std::ostream& Out;
  bool Shown;
  TClock Clock;
  std::string What;
  bool LineOpen = false;
  std::chrono::steady_clock::time_point Begin, Last;
};

// Whether standard error is a terminal and err is it.
bool IsTerminal(const std::ostream& err);

} // namespace kvtools

#include "TerminalProgress.h"

#include <iostream>
#include <unistd.h>

namespace kvtools {

TTerminalProgress::TTerminalProgress(std::ostream& out, bool terminal, TClock clock)
    : Out(out), Shown(terminal), Clock(std::move(clock)), Begin(Clock()) {}

TTerminalProgress::~TTerminalProgress() {
  End();
}

bool TTerminalProgress::Due() {
  return Shown && Clock() - Begin >= std::chrono::seconds(1);
}

void TTerminalProgress::Step(std::string what) {
  if (LineOpen) Out << '\n';
  LineOpen = false;
  What = std::move(what);
  Last = {}; // the first count of a step shows at once
  if (!Due()) return;
  Out << What << "..." << std::flush;
  LineOpen = true;
}

void TTerminalProgress::operator()(int32_t done, int32_t total) {
  if (!Due()) return;
  const auto now = Clock();
  if (LineOpen && done < total && now - Last < std::chrono::milliseconds(100)) return;
  Last = now;
  Out << '\r' << What << ": " << done << " of " << total << "   " << std::flush;
  LineOpen = true;
}

void TTerminalProgress::End() {
  if (LineOpen) Out << '\n' << std::flush;
  LineOpen = false;
  Shown = false;
}

bool IsTerminal(const std::ostream& err) {
  return &err == &std::cerr && isatty(STDERR_FILENO) != 0;
}

} // namespace kvtools

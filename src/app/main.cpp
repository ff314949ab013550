// The player: a game is this program with a game package appended, or a package file named on the command
// line ("-T" after it: a temporary file, deleted once read).
//
// JIGSAW_FIRST_FRAME_EXIT=1: print the milliseconds from the start of the process to the first frame of the
// first game on the screen, and the peak memory in MB, then exit. JIGSAW_FIRST_FRAME_SHOT=FILE.png: save a
// picture of the window as that first frame shows it (then exit too).
#include "app/uGuardedApplication.h"
#include "app/ufrmMain.h"
#include "core/uKVErrors.h"
#include "data/uGameData.h"
#include "data/uKVConfig.h"
#include "data/uKVStream.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Milliseconds since the process started, from the kernel's record of its start time.
double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = content.rfind(')');
  if (close == std::string::npos) return -1;
  // Fields after the command name: state is field 3; starttime is field 22.
  std::size_t pos = close + 2;
  for (int field = 3; field < 22 && pos != std::string::npos; ++field) pos = content.find(' ', pos) + 1;
  const double startTicks = std::strtod(content.c_str() + pos, nullptr);
  std::ifstream uptimeFile("/proc/uptime");
  double uptime = 0;
  uptimeFile >> uptime;
  return (uptime - startTicks / static_cast<double>(sysconf(_SC_CLK_TCK))) * 1000.0;
}

double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  kv::TGuardedApplication app(argc, argv);
  QApplication::setApplicationName("jigsaw");
  QApplication::setApplicationDisplayName("Korvane Jigsaw");
  std::vector<std::string> arguments;
  // Qt has taken its own options out of argv.
  const QStringList qtArguments = QApplication::arguments();
  for (qsizetype i = 1; i < qtArguments.size(); ++i) arguments.push_back(qtArguments[i].toStdString());

  // The program's own store, loaded before any window and saved when the program ends. The player keeps
  // nothing of its own there; what the store holds is carried over.
  kv::TKVConfig config(kv::TGameDataLocator::OwnExecutablePath());
  if (!config.FileName().empty()) kv::RemoveStaleTemporaries(config.FileName());
  try {
    config.Load();
  } catch (const kv::Exception& error) {
    std::fprintf(stderr, "jigsaw: %s\n", error.what());
  }
  struct TSaveAtExit {
    kv::TKVConfig& Config;
    ~TSaveAtExit() { Config.Save(); }
  } saveAtExit{config};

  kv::TfrmMain window(kv::TGameDataLocator::OwnExecutablePath(), std::move(arguments));
  window.SetViewStore(&config);
  const char* firstFrameExit = std::getenv("JIGSAW_FIRST_FRAME_EXIT");
  const char* firstFrameShot = std::getenv("JIGSAW_FIRST_FRAME_SHOT");
  const bool report = firstFrameExit && std::strcmp(firstFrameExit, "1") == 0;
  const QString shot = firstFrameShot ? QString::fromLocal8Bit(firstFrameShot) : QString();
  if (report || !shot.isEmpty()) {
    window.OnFirstFrame = [&window, report, shot] {
      if (report) {
        std::printf("first frame %.0f ms, peak memory %.1f MB\n", MillisecondsSinceProcessStart(),
                    PeakMegabytes());
        std::fflush(stdout);
      }
      // The frame is on its way to the screen: the picture is taken once it has been painted.
      QTimer::singleShot(0, &window, [&window, shot] {
        if (!shot.isEmpty() && !window.grab().save(shot))
          std::fprintf(stderr, "cannot write %s\n", qPrintable(shot));
        QApplication::exit(0);
      });
    };
  }
  if (window.TerminateRequested()) return 0;
  return QApplication::exec();
}

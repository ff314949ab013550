#include "app/uGameKeeper.h"

#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kv {

namespace {

// FNV-1a: a short, stable name for where a package comes from.
uint32_t Fnv1a(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

} // namespace

TGameKeeper::TGameKeeper(TKVCustomJigsawApplication& session, const TTimerFactory& timers,
                         std::string fileName)
    : FSession(session), FFileName(std::move(fileName)), FTimer(CreateTimer(timers)) {
  FTimer->SetInterval(kvKeepDelay);
  FTimer->OnTimer = [this] { KeepNow(); };
}

TGameKeeper::~TGameKeeper() {
  FTimer->SetEnabled(false);
}

std::string TGameKeeper::StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/jigsaw";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/state/jigsaw";
  return {};
}

std::string TGameKeeper::FileFor(const std::string& title, const std::string& packagePath) {
  const std::string folder = StateFolder();
  if (folder.empty()) return {};
  std::string name;
  for (const char c : title) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || c == '-';
    if (plain)
      name += c;
    else if (!name.empty() && name.back() != '_')
      name += '_';
    if (name.size() >= 40) break;
  }
  if (name.empty()) name = "game";
  std::error_code error;
  const std::filesystem::path where = std::filesystem::absolute(packagePath, error);
  char hash[16];
  std::snprintf(hash, sizeof hash, "%08x", Fnv1a(error ? packagePath : where.string()));
  return folder + "/" + name + "-" + hash + ".jsw";
}

bool TGameKeeper::GameUnfinished() const {
  const TKVJigsawBoard* board = FSession.Board();
  return board && !FSession.Stopped() && !board->Won() && FSession.State() != TGameState::Stopped;
}

bool TGameKeeper::Pending() const {
  return FTimer->Enabled();
}

void TGameKeeper::Changed() {
  if (FFileName.empty() || !GameUnfinished()) return;
  // Restarted by every change: the write waits for a pause in the play.
  FTimer->SetEnabled(false);
  FTimer->SetEnabled(true);
}

void TGameKeeper::KeepNow() {
  FTimer->SetEnabled(false);
  if (FFileName.empty() || !GameUnfinished()) return;
  try {
    TJigsawFile file;
    FSession.FillSavedGame(file, PictureId ? PictureId() : 0, ProgramName);
    std::filesystem::create_directories(std::filesystem::path(FFileName).parent_path());
    file.SaveToFile(FFileName);
    ++FWrites;
  } catch (const std::exception& error) {
    // Keeping is a courtesy: a full disk must not interrupt the game.
    std::fprintf(stderr, "jigsaw: the unfinished game could not be kept: %s\n", error.what());
  }
}

void TGameKeeper::Forget() {
  FTimer->SetEnabled(false);
  if (FFileName.empty()) return;
  std::error_code error;
  std::filesystem::remove(FFileName, error);
}

void TGameKeeper::SetAside() {
  FTimer->SetEnabled(false);
  if (FFileName.empty()) return;
  std::error_code error;
  std::filesystem::rename(FFileName, FFileName + ".set-aside", error);
  if (error) std::filesystem::remove(FFileName, error);
}

std::optional<TJigsawFile> TGameKeeper::Kept(std::string& notice) {
  notice.clear();
  std::error_code error;
  if (FFileName.empty() || !std::filesystem::exists(FFileName, error)) return std::nullopt;
  TJigsawFile file;
  try {
    // Kept in the current version, which carries no picture to measure.
    file.LoadFromFile(FFileName, {});
  } catch (const std::exception&) {
    SetAside();
    notice = "The unfinished puzzle could not be read and was set aside.";
    return std::nullopt;
  }
  return file;
}

} // namespace kv

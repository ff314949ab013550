#include "data/uGameData.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "data/uAppendedData.h"
#include "data/uExtJigsawImages.h"
#include "data/uKVStandardFunc.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace kv {

namespace {

// The last component of a stored name; both separators count, since packages are made on Windows.
std::string FileNamePart(const std::string& name) {
  const auto slash = name.find_last_of("/\\");
  std::string part = slash == std::string::npos ? name : name.substr(slash + 1);
  if (part == "." || part == "..") part.clear();
  return part;
}

} // namespace

std::string StartupErrorMessage(const std::exception& error) {
  // A file that cannot be opened and a package of another kind say so in their own words; anything else
  // the reader meets (a read past the end, an index out of its list, more memory than there is) is damaged
  // data to the player, not an internal text.
  if (dynamic_cast<const EFOpenError*>(&error) || dynamic_cast<const EExecDataError*>(&error))
    return error.what();
  return InvalidProjectDataMessage;
}

TGameDataLocator::TGameDataLocator(std::string executablePath, std::vector<std::string> arguments,
                                   TPackageServices services)
    : FExecutablePath(std::move(executablePath)), FArguments(std::move(arguments)),
      FServices(std::move(services)) {}

void TGameDataLocator::LocateGameData() {
  TMemoryStream package;
  TMemoryStream extra;
  if (ReadAppendedData(FExecutablePath, package, extra)) {
    package.SetPosition(0);
    FPackageDisposable = true;
    LoadProject(&package, {}, &extra, true);
    FPackageDisposable = false;
    FromOwnFile = true;
    return;
  }
  if (FArguments.empty()) {
    TerminateRequested = true;
    return;
  }
  const std::string& fileName = FArguments[0];
  {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    LoadProject(&file, fileName, nullptr, true);
  }
  FromOwnFile = false;
  // A temporary package; the file is closed by now. A failed deletion changes nothing for the game.
  if (FArguments.size() >= 2 && FArguments[1] == "-T") std::remove(fileName.c_str());
}

void TGameDataLocator::LoadProject(TStream* package, const std::string& fileName, TStream* extra,
                                   bool fromStream) {
  ResetSession();
  if (FProject) return;
  FProject = std::make_unique<TJigsawProject2>(FServices);
  // A half-read package is no game: nothing of it may run later (exit actions, high scores).
  TScopeFail discard([this] {
    PlayablePictures.clear();
    FProject.reset();
  });
  if (fromStream) {
    if (package) {
      package->SetPosition(0);
      // A package read into memory (the one appended to the program) is not needed once inflated.
      if (auto* memory = dynamic_cast<TMemoryStream*>(package); memory && FPackageDisposable)
        FProject->LoadFromMemory(std::move(*memory));
      else
        FProject->LoadFromStream(package);
      if (extra && extra->Size() > 0) LoadExtraPictures(*extra, *FProject);
    }
  } else {
    FProject->LoadFromFile(fileName);
  }
  if (!FProject->SkinData.Empty()) {
    FProject->SkinData.SetPosition(0);
    if (OnLoadSkinTheme) OnLoadSkinTheme(FProject->SkinData);
  }
  BuildPlayableList();
}

void TGameDataLocator::ResetSession() {
  PlayerName.clear();
  if (OnResetSession) OnResetSession();
}

void TGameDataLocator::BuildPlayableList() {
  PlayablePictures.clear();
  if (!FProject) return;
  for (const auto& picture : FProject->Pictures)
    if (IsPictureId(picture->ID)) PlayablePictures.push_back(picture.get());
}

int32_t TGameDataLocator::PlayablePictureIndex(int32_t n) const {
  if (!FProject || n < 0 || static_cast<std::size_t>(n) >= PlayablePictures.size()) return -1;
  const uint32_t id = PlayablePictures[static_cast<std::size_t>(n)]->ID;
  const auto& pictures = FProject->Pictures;
  for (std::size_t i = 0; i < pictures.size(); ++i)
    if (pictures[i]->ID == id) return static_cast<int32_t>(i);
  return -1;
}

std::string TGameDataLocator::HighScorePath() const {
  if (!FProject) return {};
  const std::string name = FileNamePart(FProject->HighScoreFileName);
  if (name.empty()) return {};
  return TKVStandardFunc::DocumentsFolder() + "/" + name;
}

std::string TGameDataLocator::OwnExecutablePath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

} // namespace kv

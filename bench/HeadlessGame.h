// What the game benchmarks share: a package of one photograph with the settings of a typical game (bevel,
// ghost picture, preview), a headless 1024 x 768 playing area with the built-in skin, and the session that
// plays it; and the process's memory as /proc tells it.
#pragma once

#include "data/uExecData.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"

#include <fstream>
#include <memory>
#include <string>

namespace kvbench {

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM"); 0 where the system does not tell.
inline double StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1));
  return 0;
}

class THeadlessGame {
public:
  // The photograph is picture 1; the piece library is generated for a picture of its size.
  THeadlessGame(int width, int height, int quality) {
    Project.AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(width, height, 5, quality));
    kvtest::GeneratedGameLibrary(width, height).SaveToStream(Project.PieceShapeData);
    Project.BevelLevel = 3;
    Project.GhostMode = 3;
    Project.GhostAlpha = 64;
    Project.Options.ShowGhost = true;
    Project.Options.ShowPreview = true;
    kv::TMemoryStream noSkin;
    Skin.LoadThemeOrDefault(noSkin);
    kv::TKVCustomGraphicEngine& engine = Engine;
    auto box = std::make_unique<kv::THeadlessPaintBox>();
    Box = box.get();
    engine.CreateSurface(std::move(box));
    engine.SetSize(1024, 768);
  }
  ~THeadlessGame() {
    Session.reset();
    Engine.DestroySurface();
  }
  THeadlessGame(const THeadlessGame&) = delete;
  THeadlessGame& operator=(const THeadlessGame&) = delete;

  // The session on the playing area, with the package as it stands now.
  void OpenSession() {
    Session = std::make_unique<kv::TKVJigsawApplication>(Platform.Services(), Engine);
    Session->SetMainWindow(this);
    Session->SetClientArea(Box);
    Session->SetProject(&Project);
  }

  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPlatform Platform;
  kv::TJigsawProject2 Project;
  kv::THeadlessPaintBox* Box = nullptr;
  std::unique_ptr<kv::TKVJigsawApplication> Session;
};

} // namespace kvbench

#include "PlayRender.h"

#include "core/uKVErrors.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"

#include <algorithm>
#include <string>

namespace kvtools {

namespace {

constexpr int32_t kDefaultWidth = 1024;
constexpr int32_t kDefaultHeight = 768;
// A larger area than a screen shows is taken for a mistake in the package.
constexpr int32_t kLargestSide = 4096;
// Game time allowed for the solved pieces to fly home.
constexpr int64_t kSolveTimeMs = 120000;
constexpr int64_t kClockStepMs = 50;

// A skin, an engine drawing with it and the engine's paint surface for the time of one game.
class THeadlessSurface {
public:
  THeadlessSurface(int32_t width, int32_t height) {
    auto box = std::make_unique<kv::THeadlessPaintBox>();
    Box = box.get();
    Engine.CreateSurface(std::move(box));
    Engine.SetSize(width, height);
  }
  ~THeadlessSurface() { Engine.DestroySurface(); }
  THeadlessSurface(const THeadlessSurface&) = delete;
  THeadlessSurface& operator=(const THeadlessSurface&) = delete;

  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPaintBox* Box = nullptr;
};

} // namespace

kv::TBitmap32 RenderPlayedGame(kv::TJigsawProject2& project, const PlayOptions& options, PlayInfo* info) {
  const auto found = std::find_if(project.Pictures.begin(), project.Pictures.end(), [&](const auto& picture) {
    return kv::IsPictureId(picture->ID) && picture->ID == options.PictureId;
  });
  if (found == project.Pictures.end())
    throw kv::Exception("The package has no picture " + std::to_string(options.PictureId) + ".");
  if (options.Difficulty > 5) throw kv::Exception("The difficulty must be 0 to 5.");

  int32_t width = kDefaultWidth, height = kDefaultHeight;
  const kv::TAreaSize area = project.SkinModeArea();
  if (area.Width > 0 && area.Height > 0 && area.Width <= kLargestSide && area.Height <= kLargestSide) {
    width = area.Width;
    height = area.Height;
  }

  THeadlessSurface surface(width, height);
  // The window's skin, as the player loads it at start.
  kv::TMemoryStream skin(project.SkinData.Bytes());
  surface.Skin.LoadThemeOrDefault(skin);

  kv::THeadlessPlatform platform;
  platform.RandomSeed = options.Seed;
  kv::TKVJigsawApplication session(platform.Services(), surface.Engine);
  session.SetMainWindow(&platform);
  session.SetClientArea(surface.Box);
  session.SetProject(&project);
  bool won = false;
  session.OnBoardWin = [&](kv::TKVGUIControl*) { won = true; };

  kv::TKVGameSetup setup;
  session.LoadGamePicture(**found, options.Difficulty, setup);
  setup.PictureName = (*found)->Name;
  setup.Difficulty = options.Difficulty;
  session.Prepare(std::move(setup));
  session.Start();
  if (options.Solve) {
    if (!session.SolveAll(0)) throw kv::Exception("The puzzle cannot be solved.");
    for (int64_t t = 0; t < kSolveTimeMs && !won; t += kClockStepMs) platform.Advance(kClockStepMs);
    if (!won) throw kv::Exception("The solved pieces did not complete the puzzle.");
  }
  session.Root()->Repaint();

  kv::TBitmap32 frame;
  frame.Assign(*surface.Engine.GetBuffer());
  if (info) {
    const kv::TKVJigsawBoard* board = session.Board();
    *info = {board->Cols(), board->Rows(), won, session.Clock()};
  }
  return frame;
}

} // namespace kvtools

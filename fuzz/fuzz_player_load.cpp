// The player's way from a package to its first frame, without a window: read the package and its skin,
// prepare a game of the first playable picture and paint one frame. Damage that only preparing or drawing
// reveals (a theme item with fewer parts than a control draws, piece shapes that do not inflate) must end in
// the program's own errors, never in a crash.
#include "FuzzSupport.h"

#include "core/uKVErrors.h"
#include "data/uGameData.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"

#include <memory>
#include <new>

namespace {

// Prepares and paints the first game of the package the locator holds; the errors a damaged package may
// raise are expected.
void PlayFirstFrame(kv::TGameDataLocator& locator, kv::TKVGamesSkin& skin) {
  kv::TJigsawProject2* project = locator.Project();
  if (!project || locator.PlayablePictures.empty()) return;
  kv::THeadlessPlatform platform;
  const kv::TPlatformServices services = platform.Services();
  kv::TKVGR32GraphicEngine engine{skin};
  auto surface = std::make_unique<kv::THeadlessPaintBox>();
  kv::THeadlessPaintBox* box = surface.get();
  engine.CreateSurface(std::move(surface));
  engine.SetSize(320, 240);
  {
    kv::TKVJigsawApplication session(services, engine);
    session.SetClientArea(box);
    try {
      session.SetProject(project);
      const int32_t index = locator.PlayablePictureIndex(0);
      const kv::TBMPData& entry = *project->Pictures.at(static_cast<std::size_t>(index));
      kv::TKVGameSetup setup;
      setup.Difficulty = project->DifficultyIndex(entry.ID);
      session.LoadGamePicture(entry, setup.Difficulty, setup);
      session.Prepare(std::move(setup));
      session.Start();
      box->Frame();
    } catch (const kv::Exception&) {
    } catch (const std::bad_alloc&) {
    }
  }
  engine.DestroySurface();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream package(std::vector<uint8_t>(data, data + size));
  kv::TKVGamesSkin skin;
  kv::TGameDataLocator locator("", {}, kv::ProgramPackageServices());
  locator.OnLoadSkinTheme = [&skin](kv::TMemoryStream& theme) { skin.LoadThemeOrDefault(theme); };
  try {
    locator.LoadProject(&package, "", nullptr, true);
  } catch (const kv::Exception&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  PlayFirstFrame(locator, skin);
  return 0;
}

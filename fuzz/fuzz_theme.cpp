// The skin's theme stream (the package's skin bitmaps). A theme that loads is drawn: the window frame, the
// button frame and single parts, whole and through clips, onto a small surface.
#include "core/uKVErrors.h"
#include "gui/uKVSkinEngine.h"
#include "gui/uKVThemeBitmaps.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace kv;

void Draw(TKVCustomGamesSkin& skin, const TKVPainter& painter) {
  const TRect rects[] = {{0, 0, 48, 40}, {-5, 3, 30, 60}, {10, 10, 13, 12}, {20, -8, 90, 20}};
  // The program's names, and the first items' own names as frames of a single item.
  std::vector<std::string> frames = {"window", "@button", "@window_buttons"};
  for (int32_t i = 0; i < std::min(skin.Theme().Count(), 4); ++i)
    frames.push_back("@" + skin.Theme().Item(i).SkinName);
  for (const TRect& r : rects) {
    for (const std::string& frame : frames) {
      try {
        skin.DrawFrame(painter, r, frame);
      } catch (const Exception&) {
        // An item without the parts a frame asks for: the list's index error.
      }
    }
    for (int32_t index : {0, 2, 12, 24}) {
      try {
        skin.DrawPart(painter, r, index, "window_buttons");
      } catch (const Exception&) {
      }
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TKVCustomGamesSkin skin;
  // Source names in the stream must not reach the files of the machine running the fuzzer.
  skin.Theme().BaseFolder = "/nonexistent-theme-folder/";
  try {
    skin.Theme().LoadThemeStream(stream);
  } catch (const Exception&) {
    if (skin.Theme().Count() != 0) std::abort(); // a failed load keeps the previous (empty) theme
    return 0;
  }
  TBitmap32 target(48, 40);
  Draw(skin, TKVPainter(target));
  Draw(skin, TKVPainter(target, TRect{7, 5, 31, 22}));
  return 0;
}

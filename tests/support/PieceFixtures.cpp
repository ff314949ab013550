#include "support/PieceFixtures.h"

#include "data/uKVStream.h"
#include "uKVPieceLibraryGenerator.h"

#include <cmath>

namespace kvtest {

const std::vector<uint8_t>& GeneratedLibraryBytes() {
  static const std::vector<uint8_t> bytes = [] {
    kv::TMemoryStream stream;
    kv::TKVPieceLibraryGenerator::Generate(20261210).SaveToStream(stream);
    return stream.Bytes();
  }();
  return bytes;
}

kv::TKVJigsawPieceLibrary GeneratedGameLibrary(int width, int height) {
  kv::TKVJigsawPieceLibrary full;
  kv::TMemoryStream stream(GeneratedLibraryBytes());
  full.LoadFromStream(stream);
  return full.PackageLibrary({{width, height}});
}

kv::TBitmap32 PhotoLikeBitmap(int width, int height) {
  kv::TBitmap32 picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto r = static_cast<uint32_t>(128 + 100 * std::sin(x * 0.021 + y * 0.004));
      const auto g = static_cast<uint32_t>(128 + 90 * std::sin(y * 0.033 - x * 0.011));
      const auto b = static_cast<uint32_t>(128 + 80 * std::cos((x + y) * 0.017));
      picture.SetPixel(x, y, 0xFF000000u | r << 16 | g << 8 | b);
    }
  return picture;
}

} // namespace kvtest

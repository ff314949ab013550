#include "jigsaw/uKVJigsawPieceCollection.h"
#include "uKVPieceLibraryGenerator.h"

#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using kv::TKVJigsawPieceCollection;

namespace {

const std::vector<uint8_t>& LibraryBytes() {
  static const std::vector<uint8_t> bytes = [] {
    kv::TMemoryStream stream;
    kv::TKVPieceLibraryGenerator::SaveToStream(kv::TKVPieceLibraryGenerator::Generate(20261210), stream);
    return stream.Bytes();
  }();
  return bytes;
}

void FillPhotoLike(kv::TBitmap32& picture, int width, int height) {
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto r = static_cast<uint32_t>(128 + 100 * std::sin(x * 0.021 + y * 0.004));
      const auto g = static_cast<uint32_t>(128 + 90 * std::sin(y * 0.033 - x * 0.011));
      const auto b = static_cast<uint32_t>(128 + 80 * std::cos((x + y) * 0.017));
      picture.SetPixel(x, y, 0xFF000000u | r << 16 | g << 8 | b);
    }
}

} // namespace

// Cut real pictures with the generated library and lay every piece bitmap at its place: each pixel of the
// scaled picture is opaque in exactly one piece. Pixels that are neither opaque nor clear are the dark
// fringe outside an outline (black with bit 5 of the alpha set), which lies over the neighbouring piece.
TEST(PieceAssemblyTest, EveryPixelBelongsToExactlyOnePiece) {
  struct Case {
    int width, height;
    uint8_t difficulty;
  };
  const Case cases[] = {{1024, 768, 0}, {1024, 768, 1}, {1024, 768, 2}, {1024, 768, 3}, {1024, 768, 4},
                        {1024, 768, 5}, {640, 480, 5},  {800, 600, 3},  {300, 900, 2},  {1200, 400, 4},
                        {250, 250, 1},  {333, 222, 5},  {4000, 1333, 0}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " difficulty " +
                             std::to_string(c.difficulty);
    TKVJigsawPieceCollection collection;
    kv::TMemoryStream stream(LibraryBytes());
    collection.LoadFromStream(stream);
    std::vector<std::string> errors;
    collection.OnError = [&](const std::string& message) { errors.push_back(message); };
    FillPhotoLike(collection.Picture, c.width, c.height);
    collection.SetDifficulty(c.difficulty);
    collection.ChooseLayout();
    kv::TKVStandardFunc::Instance().Seed(c.width * 7 + c.difficulty);
    collection.AssignEdges();
    EXPECT_TRUE(errors.empty()) << name;

    const int width = collection.PictureWidth(), height = collection.PictureHeight();
    ASSERT_GT(width, 0) << name;
    ASSERT_EQ(collection.PieceItems.size(), static_cast<std::size_t>(collection.Cols() * collection.Rows()));
    std::vector<uint8_t> cover(static_cast<std::size_t>(width) * height, 0);
    int strayPixels = 0, fringePixels = 0;
    for (const auto& piece : collection.PieceItems) {
      const auto& bitmap = piece.Bitmap;
      for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
          const kv::TColor32 pixel = bitmap.PixelAt(x, y);
          const uint32_t alpha = pixel >> 24;
          if (alpha == 0) continue;
          const int px = piece.X + x, py = piece.Y + y;
          if (alpha != 255) {
            if ((alpha & 32) != 0 && (pixel & 0xFFFFFFu) == 0) {
              ++fringePixels;
            } else {
              ++strayPixels;
            }
            continue;
          }
          if (px < 0 || py < 0 || px >= width || py >= height) {
            ++strayPixels; // opaque outside the picture
            continue;
          }
          ++cover[static_cast<std::size_t>(py) * width + px];
        }
    }
    EXPECT_EQ(strayPixels, 0) << name;
    if (collection.Cols() * collection.Rows() > 1) {
      EXPECT_GT(fringePixels, 0) << name;
    }
    int uncovered = 0, doubled = 0;
    for (std::size_t i = 0; i < cover.size(); ++i) {
      const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
      // The straight bottom border line of a piece runs to column R inclusive, one pixel into the right
      // neighbour's bottom corner, after that side's template has cleared it.
      if (cover[i] == 2 && y == height - 1 && x % collection.CellWidth() == 0) continue;
      uncovered += cover[i] == 0;
      doubled += cover[i] > 1;
      if (cover[i] != 1 && uncovered + doubled < 6)
        ADD_FAILURE() << name << " pixel " << x << "," << y << " in " << int(cover[i]) << " pieces";
    }
    EXPECT_EQ(uncovered, 0) << name;
    EXPECT_EQ(doubled, 0) << name;
  }
}

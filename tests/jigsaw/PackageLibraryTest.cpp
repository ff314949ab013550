#include "jigsaw/uKVJigsawPieceCollection.h"
#include "support/PieceFixtures.h"

#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using kv::TKVJigsawPieceCollection;
using TSizes = std::vector<std::pair<int32_t, int32_t>>;

// A package carries only the layouts its pictures use. Games search that smaller library, so it must give
// every picture the cell size the whole library gives, with edge shapes of both orientations, and never more
// templates than a saved game can name in a byte.
TEST(PackageLibraryTest, GamesChooseTheSameLayoutsFromThePackagesLibrary) {
  TKVJigsawPieceCollection full;
  kv::TMemoryStream stream(kvtest::GeneratedLibraryBytes());
  full.LoadFromStream(stream);
  const TSizes cases[] = {
      {{1024, 768}},
      {{1600, 1200}, {1600, 1067}, {1200, 1600}},
      {{640, 480}, {1280, 960}, {333, 222}, {4000, 3000}, {300, 900}, {1200, 400}, {250, 250}, {2000, 700}},
  };
  for (const TSizes& sizes : cases) {
    const TKVJigsawPieceCollection package = full.PackageLibrary(sizes);
    const std::string name = std::to_string(sizes.size()) + " pictures";
    EXPECT_LE(package.TemplateCount(), TKVJigsawPieceCollection::MaxRecordedTemplates) << name;
    EXPECT_LE(package.Layouts.size(), 6 * sizes.size()) << name;
    for (const auto& [w, h] : sizes)
      for (uint8_t d = 0; d < 6; ++d) {
        const auto inFull = TKVJigsawPieceCollection::ChooseLayoutSize(full.Layouts, w, h, d);
        const auto inPackage = TKVJigsawPieceCollection::ChooseLayoutSize(package.Layouts, w, h, d);
        const std::string at =
            name + ", " + std::to_string(w) + "x" + std::to_string(h) + " d" + std::to_string(d);
        ASSERT_GE(inPackage.LayoutIndex, 0) << at;
        EXPECT_EQ(package.Layout(inPackage.LayoutIndex).CellWidth, full.Layout(inFull.LayoutIndex).CellWidth)
            << at;
        EXPECT_EQ(package.Layout(inPackage.LayoutIndex).CellHeight,
                  full.Layout(inFull.LayoutIndex).CellHeight)
            << at;
        EXPECT_EQ(inPackage.FinalWidth, inFull.FinalWidth) << at;
        EXPECT_EQ(inPackage.FinalHeight, inFull.FinalHeight) << at;
        for (bool vertical : {false, true}) {
          int count = 0;
          for (const auto& t : package.Templates)
            count += t.LayoutIndex == inPackage.LayoutIndex && t.Vertical == vertical;
          EXPECT_GE(count, 8) << at << (vertical ? " vertical" : " horizontal");
        }
      }
    // The written library reads back as it was.
    kv::TMemoryStream written;
    package.SaveToStream(written);
    written.SetPosition(0);
    TKVJigsawPieceCollection loaded;
    loaded.LoadFromStream(written);
    EXPECT_EQ(loaded.TemplateCount(), package.TemplateCount()) << name;
    EXPECT_EQ(loaded.Layouts.size(), package.Layouts.size()) << name;
  }
  EXPECT_TRUE(full.PackageLibrary({}).Layouts.empty());
}

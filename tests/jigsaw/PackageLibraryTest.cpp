#include "jigsaw/uKVJigsawPieceLibrary.h"
#include "support/PieceFixtures.h"

#include "data/uKVStream.h"

#include "core/uKVErrors.h"
#include "uKVPieceLibraryGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

using kv::TKVJigsawPieceLibrary;
using TSizes = std::vector<std::pair<int32_t, int32_t>>;

namespace {

TKVJigsawPieceLibrary FullLibrary() {
  TKVJigsawPieceLibrary full;
  kv::TMemoryStream stream(kvtest::GeneratedLibraryBytes());
  full.LoadFromStream(stream);
  return full;
}

// Pictures from 16 pixels to 6000 across at aspect ratios from 1:4 to 4:1.
TSizes SweptSizes() {
  TSizes sizes;
  const std::pair<int, int> aspects[] = {{1, 4}, {1, 3}, {1, 2}, {9, 16}, {2, 3}, {3, 4}, {4, 5}, {1, 1},
                                         {5, 4}, {4, 3}, {3, 2}, {16, 9}, {2, 1}, {3, 1}, {4, 1}};
  for (int w = 16; w <= 6000; w += w < 1100 ? 7 : 61)
    for (const auto& [aw, ah] : aspects) {
      const int h = static_cast<int>(std::lround(static_cast<double>(w) * ah / aw));
      if (h >= 16 && h <= 6000) sizes.push_back({w, h});
    }
  return sizes;
}

// Templates of each orientation per layout of a library.
std::map<int, std::pair<int, int>> TemplateCounts(const TKVJigsawPieceLibrary& library) {
  std::map<int, std::pair<int, int>> counts;
  for (const auto& t : library.Templates)
    (t.Vertical ? counts[t.LayoutIndex].second : counts[t.LayoutIndex].first)++;
  return counts;
}

} // namespace

// A package carries only the layouts its pictures use. Games search that smaller library, so it must give
// every picture the cell size the whole library gives, with edge shapes of both orientations, and never more
// templates than a saved game can name in a byte.
TEST(PackageLibraryTest, GamesChooseTheSameLayoutsFromThePackagesLibrary) {
  const TKVJigsawPieceLibrary full = FullLibrary();
  const TSizes cases[] = {
      {{1024, 768}},
      {{1600, 1200}, {1600, 1067}, {1200, 1600}},
      {{640, 480}, {1280, 960}, {333, 222}, {4000, 3000}, {300, 900}, {1200, 400}, {250, 250}, {2000, 700}},
  };
  for (const TSizes& sizes : cases) {
    const TKVJigsawPieceLibrary package = full.PackageLibrary(sizes);
    const std::string name = std::to_string(sizes.size()) + " pictures";
    EXPECT_LE(package.TemplateCount(), TKVJigsawPieceLibrary::MaxRecordedTemplates) << name;
    EXPECT_LE(package.Layouts.size(), 6 * sizes.size()) << name;
    for (const auto& [w, h] : sizes)
      for (uint8_t d = 0; d < 6; ++d) {
        const auto inFull = TKVJigsawPieceLibrary::ChooseLayoutSize(full.Layouts, w, h, d);
        const auto inPackage = TKVJigsawPieceLibrary::ChooseLayoutSize(package.Layouts, w, h, d);
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
          EXPECT_GE(count, 12) << at << (vertical ? " vertical" : " horizontal");
        }
      }
    // The written library reads back as it was.
    kv::TMemoryStream written;
    package.SaveToStream(written);
    written.SetPosition(0);
    TKVJigsawPieceLibrary loaded;
    loaded.LoadFromStream(written);
    EXPECT_EQ(loaded.TemplateCount(), package.TemplateCount()) << name;
    EXPECT_EQ(loaded.Layouts.size(), package.Layouts.size()) << name;
  }
  EXPECT_TRUE(full.PackageLibrary({}).Layouts.empty());
}

// However many picture sizes a package has, its layouts share the 254 templates so that each keeps at least
// 12 of each orientation: the search over every size at every difficulty never chooses more than 10 distinct
// layouts of the library.
TEST(PackageLibraryTest, AnySetOfPictureSizesKeepsTwelveTemplatesPerOrientation) {
  const TKVJigsawPieceLibrary full = FullLibrary();
  const TSizes sizes = SweptSizes();
  ASSERT_GT(sizes.size(), 3000u);
  std::set<int32_t> everChosen;
  for (const auto& [w, h] : sizes)
    for (uint8_t d = 0; d < 6; ++d)
      everChosen.insert(TKVJigsawPieceLibrary::ChooseLayoutSize(full.Layouts, w, h, d).LayoutIndex);
  const int maxLayouts = TKVJigsawPieceLibrary::MaxRecordedTemplates / 2 / 12;
  EXPECT_LE(static_cast<int>(everChosen.size()), maxLayouts);
  EXPECT_LE(full.Layouts.size(), static_cast<std::size_t>(maxLayouts)) << "a layout no size chooses";

  // Sets of sizes: all of them at once, and random sets of one to forty.
  std::vector<TSizes> sets{sizes};
  kv::TKVGenRandom random(4711);
  for (int n = 0; n < 60; ++n) {
    TSizes set;
    const int count = 1 + static_cast<int>(random.Next() % 40);
    for (int i = 0; i < count; ++i) set.push_back(sizes[random.Next() % sizes.size()]);
    sets.push_back(std::move(set));
  }
  for (std::size_t n = 0; n < sets.size(); ++n) {
    const std::string name = "set " + std::to_string(n);
    const TKVJigsawPieceLibrary package = full.PackageLibrary(sets[n]);
    ASSERT_FALSE(package.Layouts.empty()) << name;
    EXPECT_LE(package.TemplateCount(), TKVJigsawPieceLibrary::MaxRecordedTemplates) << name;
    const auto counts = TemplateCounts(package);
    for (int32_t li = 0; li < static_cast<int32_t>(package.Layouts.size()); ++li) {
      const auto it = counts.find(li);
      ASSERT_NE(it, counts.end()) << name << " layout " << li;
      EXPECT_GE(it->second.first, 12) << name << " layout " << li << " horizontal";
      EXPECT_GE(it->second.second, 12) << name << " layout " << li << " vertical";
    }
    // A game searching the package's library gets the cut the whole library gives.
    for (const auto& [w, h] : sets[n])
      for (uint8_t d = 0; d < 6; ++d) {
        const auto inFull = TKVJigsawPieceLibrary::ChooseLayoutSize(full.Layouts, w, h, d);
        const auto inPackage = TKVJigsawPieceLibrary::ChooseLayoutSize(package.Layouts, w, h, d);
        const auto& want = full.Layout(inFull.LayoutIndex);
        const auto& got = package.Layout(inPackage.LayoutIndex);
        ASSERT_TRUE(got.CellWidth == want.CellWidth && got.CellHeight == want.CellHeight &&
                    inPackage.FinalWidth == inFull.FinalWidth && inPackage.FinalHeight == inFull.FinalHeight)
            << name << ", " << w << "x" << h << " difficulty " << int(d);
      }
  }
}

// The share: each layout keeps its first MaxRecordedTemplates / 2 / layouts templates of each orientation
// (fewer when it has fewer), in library order, with its index in the package's list of layouts.
TEST(PackageLibraryTest, LayoutsShareTheTemplatesEvenly) {
  TKVJigsawPieceLibrary library;
  library.Layouts = {{7, 7}, {40, 40}, {20, 20}, {10, 10}}; // the first is never chosen below
  struct Made {
    uint8_t layout;
    bool vertical;
    int count;
  };
  const Made made[] = {{1, false, 100}, {1, true, 100}, {2, false, 5},  {2, true, 200},
                       {3, false, 60},  {3, true, 30},  {0, false, 50}, {0, true, 50}};
  int serial = 0;
  for (const Made& m : made)
    for (int i = 0; i < m.count; ++i) {
      kv::TKVPieceTemplate t;
      t.Width = m.vertical ? 8 : library.Layouts[m.layout].CellWidth;
      t.Height = m.vertical ? library.Layouts[m.layout].CellHeight : 8;
      t.Vertical = m.vertical;
      t.LayoutIndex = m.layout;
      t.Masks[0] = {static_cast<uint8_t>(serial >> 8), static_cast<uint8_t>(serial)}; // tells them apart
      ++serial;
      library.Templates.push_back(std::move(t));
    }
  // A 200 x 200 picture takes cells of 40, 20 and 10 at its six difficulties, never those of 7 (841 pieces).
  const TKVJigsawPieceLibrary package = library.PackageLibrary({{200, 200}});
  ASSERT_EQ(package.Layouts.size(), 3u);
  EXPECT_EQ(package.Layouts[0].CellWidth, 40);
  EXPECT_EQ(package.Layouts[1].CellWidth, 20);
  EXPECT_EQ(package.Layouts[2].CellWidth, 10);
  const auto counts = TemplateCounts(package);
  EXPECT_EQ(counts.at(0), std::make_pair(42, 42)); // 127 / 3
  EXPECT_EQ(counts.at(1), std::make_pair(5, 42));
  EXPECT_EQ(counts.at(2), std::make_pair(42, 30));
  EXPECT_LE(package.TemplateCount(), TKVJigsawPieceLibrary::MaxRecordedTemplates);
  // The first of each kind, in library order.
  std::map<std::pair<int, bool>, std::vector<const kv::TKVPieceTemplate*>> kept;
  for (const auto& t : package.Templates) kept[{t.LayoutIndex, t.Vertical}].push_back(&t);
  auto serialOf = [](const kv::TKVPieceTemplate& t) { return t.Masks[0][0] << 8 | t.Masks[0][1]; };
  EXPECT_EQ(serialOf(*kept[{0, false}].front()), 0);
  EXPECT_EQ(serialOf(*kept[{0, false}].back()), 41);
  EXPECT_EQ(serialOf(*kept[{1, true}].front()), 205);
  EXPECT_EQ(serialOf(*kept[{1, true}].back()), 246);
  EXPECT_EQ(serialOf(*kept[{2, true}].back()), 494);

  // More layouts than could each keep one template of each orientation: no package can be made.
  TKVJigsawPieceLibrary crowded;
  for (int c = 255; c >= 20; --c)
    crowded.Layouts.push_back({static_cast<uint8_t>(c), static_cast<uint8_t>(c)});
  for (uint8_t li = 0; li < crowded.Layouts.size(); ++li)
    for (const bool vertical : {false, true}) {
      kv::TKVPieceTemplate t;
      t.Vertical = vertical;
      t.LayoutIndex = li;
      crowded.Templates.push_back(t);
    }
  TSizes squares;
  std::set<int32_t> chosen;
  for (int w = 20; w <= 1024; ++w) {
    squares.push_back({w, w});
    for (uint8_t d = 0; d < 6; ++d)
      chosen.insert(TKVJigsawPieceLibrary::ChooseLayoutSize(crowded.Layouts, w, w, d).LayoutIndex);
  }
  ASSERT_GT(chosen.size(), static_cast<std::size_t>(TKVJigsawPieceLibrary::MaxRecordedTemplates / 2));
  try {
    crowded.PackageLibrary(squares);
    ADD_FAILURE() << "no error";
  } catch (const kv::Exception& e) {
    EXPECT_STREQ(e.what(), "The pictures of this package need more piece layouts than a package can carry.");
  }
  // The same library serves a package of fewer sizes.
  EXPECT_NO_THROW(crowded.PackageLibrary({{1024, 768}}));
}

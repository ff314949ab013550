#include "core/uKVErrors.h"
#include "data/uAppendedData.h"
#include "data/uEGameExport.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uGameData.h"
#include "data/uKVStreamFunc.h"
#include "gui/uPictureConverters.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace kv;
using kvtest::Bytes;

namespace {

using ByteVec = std::vector<uint8_t>;

const ByteVec Player = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xC3};

uint32_t U32At(const ByteVec& b, std::size_t at) {
  return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
         static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
uint16_t U16At(const ByteVec& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
ByteVec Slice(const ByteVec& b, std::size_t at, std::size_t count) {
  return {b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + count)};
}

// A package of the given pictures (ids and names, all with the same small JPEG) and a wallpaper.
ByteVec MakePackage(const std::vector<std::pair<uint32_t, std::string>>& pictures) {
  static const ByteVec jpeg = kvtest::MakeJpeg(8, 8);
  Bytes data;
  data.raw({0x03, 'P', 'Z', 'Z'});
  for (const auto& [id, name] : pictures)
    data.u16(7856).i32(static_cast<int32_t>(jpeg.size())).u32(id).str(name).raw(jpeg).i32(0);
  data.u16(7850).i32(0);
  TMemoryStream compressed;
  TKVStreamFunc::CompressStream(data.stream(), compressed);
  return Bytes().u16(0xDEAD).u16(0).i32(6).u16(7865).i32(0).raw(compressed.Bytes()).data();
}

const std::vector<std::pair<uint32_t, std::string>> ThreeAndWallpaper = {
    {1, "a"}, {2, "b"}, {0x10000, "wall"}, {3, "c"}};

std::unique_ptr<TJigsawProject2> LoadedProject(const ByteVec& package,
                                               TPackageServices services = PictureConverterServices()) {
  auto project = std::make_unique<TJigsawProject2>(std::move(services));
  TMemoryStream stream(package);
  project->LoadFromStream(&stream);
  return project;
}

// Marker, end record, N = 8 and the magic.
TMemoryStream EmptyExtraStream() {
  return Bytes().u16(3240).u16(3241).u32(0).u32(8).u32(100100).stream();
}

using kvtest::CurrentUmask;
using kvtest::FileMode;

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The codecs' services with another BMP to JPEG converter.
TPackageServices Converting(TBmpToJpegConverter converter) {
  TPackageServices services = PictureConverterServices();
  services.BmpToJpeg = std::move(converter);
  return services;
}

class EGameExport : public ::testing::Test {
protected:
  kvtest::TempDir Dir;
  std::string PlayerFile = Dir.file("player");
  std::string Output = Dir.file("game");
  ByteVec Jpeg = kvtest::MakeJpeg(40, 30);
  ByteVec Bmp = kvtest::MakeBmp(7, 5);
  std::string JpegFile = Dir.file("photo.jpg");
  std::string BmpFile = Dir.file("drawing.bmp");

  void SetUp() override {
    kvtest::WriteFileBytes(PlayerFile, Player);
    kvtest::WriteFileBytes(JpegFile, Jpeg);
    kvtest::WriteFileBytes(BmpFile, Bmp);
  }
};

} // namespace

// ---- the file assembly, checked against the layout byte by byte

TEST_F(EGameExport, GameIsPlayerPackageTrailerAndFramedBlock) {
  const ByteVec package = MakePackage(ThreeAndWallpaper);
  const auto project = LoadedProject(package);
  const TExtJigsawImages pictures = ExtraPicturesFromFiles(*project, {JpegFile, BmpFile});
  const TMemoryStream extra = MakeExtraStream(pictures);
  const ByteVec game = AssembleGame(Player, TMemoryStream(package), extra);

  const std::size_t p = Player.size(), s = package.size();
  EXPECT_EQ(Slice(game, 0, p), Player);
  EXPECT_EQ(Slice(game, p, s), package);
  EXPECT_EQ(U32At(game, p + s), s) << "PackageSize";
  EXPECT_EQ(U32At(game, p + s + 4), p) << "PackageOffset: the length of the bare player";
  EXPECT_EQ(U32At(game, p + s + 8), 250577u);

  // The block: marker, one record per picture, end record, then N and 100100.
  const std::size_t e = p + s + 12;
  EXPECT_EQ(U16At(game, e), 3240);
  std::size_t at = e + 2;
  const std::vector<std::pair<ByteVec, uint8_t>> expected = {{Jpeg, 1}, {Bmp, 0}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& [data, format] = expected[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(U16At(game, at), 3242);
    EXPECT_EQ(U32At(game, at + 2), data.size()) << "the length counts the image bytes only";
    const uint32_t id = U32At(game, at + 6);
    EXPECT_EQ(id, pictures[i].ImageID);
    EXPECT_GE(id, 1u);
    EXPECT_LE(id, 65535u);
    EXPECT_EQ(game.at(at + 10), 0) << "itPicture";
    EXPECT_EQ(game.at(at + 11), format);
    EXPECT_EQ(Slice(game, at + 12, data.size()), data) << "the file, unchanged";
    at += 12 + data.size();
  }
  EXPECT_EQ(U16At(game, at), 3241);
  EXPECT_EQ(U32At(game, at + 2), 0u);
  at += 6;
  EXPECT_EQ(U32At(game, at), at - e) << "N counts marker, records and end record";
  EXPECT_EQ(U32At(game, at + 4), 100100u);
  EXPECT_EQ(game.size(), at + 8);
  EXPECT_EQ(extra.Size(), static_cast<int64_t>(game.size() - e));
}

TEST_F(EGameExport, WithoutExtraStreamTheTrailerEndsTheFile) {
  const ByteVec package = {0xAD, 0xDE, 1, 2, 3};
  const ByteVec game = AssembleGame(Player, TMemoryStream(package), TMemoryStream());
  EXPECT_EQ(game.size(), Player.size() + package.size() + 12);
  EXPECT_EQ(U32At(game, game.size() - 12), package.size());
  EXPECT_EQ(U32At(game, game.size() - 8), Player.size());
  EXPECT_EQ(U32At(game, game.size() - 4), 250577u);
}

TEST_F(EGameExport, WriteExtraBlockWritesRecordsAndEndWithoutTheMarker) {
  const auto project = LoadedProject(MakePackage(ThreeAndWallpaper));
  TMemoryStream block;
  WriteExtraBlock(*project, block, {Dir.file("skipped.gif"), JpegFile, Dir.file("skipped.jpeg")});
  const ByteVec& b = block.Bytes();
  ASSERT_EQ(b.size(), 12 + Jpeg.size() + 6);
  EXPECT_EQ(U16At(b, 0), 3242);
  EXPECT_EQ(U32At(b, 2), Jpeg.size());
  const uint32_t id = U32At(b, 6);
  EXPECT_TRUE(id >= 4 && id <= 65535) << "a fresh id: 1, 2 and 3 are the package's " << id;
  EXPECT_EQ(Slice(b, 12, Jpeg.size()), Jpeg);
  EXPECT_EQ(U16At(b, 12 + Jpeg.size()), 3241);
  EXPECT_EQ(U32At(b, 14 + Jpeg.size()), 0u);
}

// ---- the written game, as start-up reads it

TEST_F(EGameExport, MadeGameLoadsWithItsPackageAndTheExtraPicture) {
  const ByteVec package = MakePackage(ThreeAndWallpaper);
  const auto project = LoadedProject(package);
  MakeGame(TMemoryStream(package), *project, {JpegFile}, Output, PlayerFile);

  const ByteVec game = kvtest::ReadFileBytes(Output);
  EXPECT_EQ(Slice(game, 0, Player.size()), Player);
  EXPECT_EQ(U32At(game, game.size() - 4), 100100u);
  const uint32_t n = U32At(game, game.size() - 8);
  const std::size_t e = game.size() - 8 - n;
  EXPECT_EQ(U32At(game, e - 4), 250577u);
  EXPECT_EQ(U32At(game, e - 8), Player.size());
  EXPECT_EQ(U32At(game, e - 12), package.size());

  TMemoryStream readPackage, readExtra;
  ASSERT_TRUE(ReadAppendedData(Output, readPackage, readExtra));
  EXPECT_EQ(readPackage.Bytes(), package);
  TExtJigsawImages images;
  images.LoadFromStream(readExtra);
  ASSERT_EQ(images.Count(), 1);
  EXPECT_EQ(images[0].ImgFormat, TImageFormat::ifJPEG);
  EXPECT_EQ(images[0].ImgType, TExtJigsawImageType::itPicture);
  EXPECT_EQ(images[0].Stream.Bytes(), Jpeg);

  // Started, the game plays the extra picture instead of the package's; the wallpaper stays.
  TGameDataLocator locator(Output, {});
  locator.LocateGameData();
  ASSERT_NE(locator.Project(), nullptr);
  EXPECT_TRUE(locator.FromOwnFile);
  const TJigsawProject2& loaded = *locator.Project();
  ASSERT_EQ(loaded.Pictures.size(), 2u);
  EXPECT_EQ(loaded.Pictures[0]->ID, 0x10000u);
  EXPECT_EQ(loaded.Pictures[1]->ID, images[0].ImageID);
  EXPECT_EQ(loaded.Pictures[1]->Name, "Image#0");
  EXPECT_EQ(loaded.Pictures[1]->Data.Bytes(), Jpeg);
  ASSERT_EQ(locator.PlayablePictures.size(), 1u);
  const TPictureSettings* settings = loaded.FindPictureSettings(images[0].ImageID);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->NumPiecesMin, 0);
  EXPECT_EQ(settings->NumPiecesMax, 24);
}

TEST_F(EGameExport, ExportFromAGameKeepsOnlyTheBarePlayer) {
  const ByteVec package = MakePackage(ThreeAndWallpaper);
  const auto project = LoadedProject(package);
  MakeGame(TMemoryStream(package), *project, {JpegFile}, Output, PlayerFile);
  // The new game becomes the running player of the next export.
  const std::string second = Dir.file("second");
  MakeGame(TMemoryStream(package), *project, {BmpFile}, second, Output);

  const ByteVec game = kvtest::ReadFileBytes(second);
  EXPECT_EQ(Slice(game, 0, Player.size()), Player);
  const uint32_t n = U32At(game, game.size() - 8);
  const std::size_t e = game.size() - 8 - n;
  EXPECT_EQ(U32At(game, e - 8), Player.size()) << "old package, trailer and block are not copied";
  EXPECT_EQ(e, Player.size() + package.size() + 12);
  EXPECT_EQ(game.at(e + 2 + 11), 0) << "the one record is the BMP";
}

TEST_F(EGameExport, PictureExtensionIsComparedInLowerCase) {
  struct Case {
    const char* Name;
    std::optional<TImageFormat> Format;
  };
  const std::vector<Case> cases = {
      {"a.bmp", TImageFormat::ifBMP},
      {"B.BMP", TImageFormat::ifBMP},
      {"c.jpg", TImageFormat::ifJPEG},
      {"D.JPG", TImageFormat::ifJPEG},
      {"e.Jpg", TImageFormat::ifJPEG},
      {"f.jpeg", std::nullopt},
      {"g.gif", std::nullopt},
      {"h.png", std::nullopt},
      {"jpg", std::nullopt},
      {"dir.jpg/file", std::nullopt},
      {"/x/y.tar.bmp", TImageFormat::ifBMP},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtraPictureFormat(c.Name), c.Format) << c.Name;

  // A JPEG named in capitals is taken.
  const std::string capitals = Dir.file("PHOTO.JPG");
  kvtest::WriteFileBytes(capitals, Jpeg);
  const auto project = LoadedProject(MakePackage(ThreeAndWallpaper));
  MakeGame(TMemoryStream(MakePackage(ThreeAndWallpaper)), *project, {capitals}, Output, PlayerFile);
  TMemoryStream package, extra;
  ASSERT_TRUE(ReadAppendedData(Output, package, extra));
  TExtJigsawImages images;
  images.LoadFromStream(extra);
  ASSERT_EQ(images.Count(), 1);
  EXPECT_EQ(images[0].ImgFormat, TImageFormat::ifJPEG);
}

// ---- failures: reported, and nothing written

TEST_F(EGameExport, RefusedExportsWriteNothing) {
  const ByteVec package = MakePackage(ThreeAndWallpaper);
  const auto project = LoadedProject(package);
  const std::string gif = Dir.file("anim.gif"), jpeg = Dir.file("photo.jpeg");
  const std::string fakeJpeg = Dir.file("text.jpg"), emptyBmp = Dir.file("empty.bmp");
  const std::string emptyPlayer = Dir.file("empty-player");
  kvtest::WriteFileBytes(gif, {'G', 'I', 'F', '8', '9', 'a'});
  kvtest::WriteFileBytes(jpeg, Jpeg);
  kvtest::WriteFileBytes(fakeJpeg, {'h', 'e', 'l', 'l', 'o'});
  kvtest::WriteFileBytes(emptyBmp, {});
  kvtest::WriteFileBytes(emptyPlayer, {});

  struct Case {
    const char* Name;
    ByteVec Package;
    std::vector<std::string> Pictures;
    std::string Player;
    std::string MessagePart;
  };
  const std::vector<Case> cases = {
      // Left out silently, the game would play the package's pictures while the export said it carried one.
      {"gif picture", package, {JpegFile, gif}, PlayerFile, "anim.gif is not a picture a game can carry"},
      {"jpeg extension", package, {jpeg}, PlayerFile, "photo.jpeg is not a picture a game can carry"},
      {"not a JPEG", package, {fakeJpeg}, PlayerFile, "text.jpg is not a JPEG picture the game can read"},
      {"empty BMP", package, {emptyBmp}, PlayerFile, "empty.bmp is not a BMP picture the game can read"},
      {"empty package", {}, {JpegFile}, PlayerFile, "The game package is empty"},
      {"empty player", package, {JpegFile}, emptyPlayer, "empty-player is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    // An earlier game of that name survives a refused export.
    kvtest::WriteFileBytes(Output, {'o', 'l', 'd'});
    try {
      MakeGame(TMemoryStream(c.Package), *project, c.Pictures, Output, c.Player);
      ADD_FAILURE() << "no error";
    } catch (const EExportError& e) {
      EXPECT_NE(std::string(e.what()).find(c.MessagePart), std::string::npos) << e.what();
    }
    EXPECT_EQ(kvtest::ReadFileBytes(Output), (ByteVec{'o', 'l', 'd'}));
  }
  EXPECT_THROW(MakeGame(TMemoryStream(package), *project, {Dir.file("missing.jpg")}, Output, PlayerFile),
               EFOpenError);
  EXPECT_THROW(MakeGame(TMemoryStream(package), *project, {JpegFile}, Output, Dir.file("missing")),
               EFOpenError);
  EXPECT_EQ(kvtest::ReadFileBytes(Output), (ByteVec{'o', 'l', 'd'}));
}

TEST_F(EGameExport, EmptyPackageLeavesTheOutputAlone) {
  kvtest::WriteFileBytes(Output, {'o', 'l', 'd'});
  EXPECT_FALSE(WriteGameFile(PlayerFile, Output, TMemoryStream(), TMemoryStream()));
  EXPECT_EQ(kvtest::ReadFileBytes(Output), (ByteVec{'o', 'l', 'd'}));
  EXPECT_FALSE(WriteGameFile(PlayerFile, Dir.file("none"), TMemoryStream(), TMemoryStream()));
  EXPECT_FALSE(std::filesystem::exists(Dir.file("none")));
}

TEST_F(EGameExport, GameIsExecutableAndNoTemporaryFileStays) {
  kvtest::WriteFileBytes(Output, {'o', 'l', 'd'});
  ASSERT_TRUE(WriteGameFile(PlayerFile, Output, TMemoryStream(ByteVec{1, 2, 3}), TMemoryStream()));
  EXPECT_EQ(FileMode(Output), 0755 & ~CurrentUmask());
  EXPECT_EQ(FolderEntries(Dir.path()),
            (std::vector<std::string>{"drawing.bmp", "game", "photo.jpg", "player"}));
  EXPECT_THROW(WriteGameImage(Dir.file("no-folder/game"), Player), EFCreateError);
}

TEST_F(EGameExport, BmpIsCheckedWithThePackageConverter) {
  {
    // A BMP the game's converter rejects would keep the game from starting.
    const auto project = LoadedProject(
        MakePackage(ThreeAndWallpaper),
        Converting([](const TMemoryStream&) -> TMemoryStream { throw EImageError("bad BMP"); }));
    EXPECT_THROW(ExtraPicturesFromFiles(*project, {BmpFile}), EExportError);
  }
  {
    const auto project = LoadedProject(MakePackage(ThreeAndWallpaper),
                                       Converting([](const TMemoryStream& bmp) { return bmp; }));
    const TExtJigsawImages images = ExtraPicturesFromFiles(*project, {BmpFile});
    ASSERT_EQ(images.Count(), 1);
    EXPECT_EQ(images[0].Stream.Bytes(), Bmp) << "stored as chosen";
    EXPECT_EQ(images[0].ImgFormat, TImageFormat::ifBMP);
  }
}

TEST_F(EGameExport, FreshIdsAreDistinctAmongThePackageAndTheList) {
  // Only ids 100 and 200 are free: two pictures must take exactly those, a third finds none.
  TJigsawProject2 project(PictureConverterServices());
  for (uint32_t id = 1; id <= 65535; ++id)
    if (id != 100 && id != 200) project.AddPicture(0, id);
  const TExtJigsawImages images = ExtraPicturesFromFiles(project, {JpegFile, JpegFile});
  ASSERT_EQ(images.Count(), 2);
  std::vector<uint32_t> ids = {images[0].ImageID, images[1].ImageID};
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<uint32_t>{100, 200}));
  project.AddPicture(0, 100);
  EXPECT_THROW(ExtraPicturesFromFiles(project, {JpegFile, JpegFile}), EExecDataError);
}

// ---- stripping the appended data

TEST(StripAppendedData, KeepsThePlayerPart) {
  const ByteVec package = {0xAD, 0xDE, 9, 9};
  const TMemoryStream block = EmptyExtraStream();
  const ByteVec game = AssembleGame(Player, TMemoryStream(package), TMemoryStream());
  const ByteVec withBlock = AssembleGame(Player, TMemoryStream(package), block);
  // A block with a valid length but no package trailer before it: nothing to strip.
  const ByteVec orphanBlock = Bytes().raw(Player).raw(block.Bytes()).data();

  struct Case {
    const char* Name;
    ByteVec File;
    ByteVec Expected;
  };
  const std::vector<Case> cases = {
      {"bare player", Player, Player},
      {"empty file", {}, {}},
      {"three bytes", {1, 2, 3}, {1, 2, 3}},
      {"game", game, Player},
      {"game with extra pictures", withBlock, Player},
      {"block without trailer", orphanBlock, orphanBlock},
      {"magic alone", Bytes().u32(250577).data(), Bytes().u32(250577).data()},
      {"package inside the player part",
       Bytes().chars("xxPACKAGEyy").u32(7).u32(2).u32(250577).data(),
       {'x', 'x'}},
  };
  for (const Case& c : cases) EXPECT_EQ(StripAppendedData(c.File), c.Expected) << c.Name;
}

TEST(StripAppendedData, DamagedLengthsAreRefused) {
  struct Case {
    const char* Name;
    ByteVec File;
  };
  const std::vector<Case> cases = {
      {"block length past the start", Bytes().raw(Player).u32(1000).u32(100100).data()},
      {"package offset past the end", Bytes().raw(Player).u32(1).u32(5000).u32(250577).data()},
      {"package size past the end", Bytes().raw(Player).u32(5000).u32(2).u32(250577).data()},
      {"offset inside the trailer",
       Bytes().raw(Player).u32(0).u32(static_cast<uint32_t>(Player.size()) + 4).u32(250577).data()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_THROW(StripAppendedData(c.File, "player"), EExportError);
  }
  EXPECT_THROW(ReadAppendedLayout(cases[0].File), EReadError);
}

TEST(StripAppendedData, LayoutNamesWhereEverythingLies) {
  const ByteVec package = {0xAD, 0xDE, 9, 9, 9};
  const TMemoryStream block = EmptyExtraStream();
  const TAppendedLayout layout = ReadAppendedLayout(AssembleGame(Player, TMemoryStream(package), block));
  EXPECT_TRUE(layout.HasPackage);
  EXPECT_EQ(layout.PackageOffset, Player.size());
  EXPECT_EQ(layout.PackageSize, package.size());
  EXPECT_EQ(layout.TrailerEnd, static_cast<int64_t>(Player.size() + package.size() + 12));
  EXPECT_TRUE(layout.HasExtraBlock);
  EXPECT_EQ(layout.ExtraSize, 8u);
  EXPECT_EQ(layout.FileSize, layout.TrailerEnd + 16);

  const TAppendedLayout none = ReadAppendedLayout(Player);
  EXPECT_FALSE(none.HasPackage);
  EXPECT_FALSE(none.HasExtraBlock);
  EXPECT_EQ(none.FileSize, static_cast<int64_t>(Player.size()));
}

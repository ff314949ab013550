#include "core/uKVErrors.h"
#include "data/uAppendedData.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace kv;
using kvtest::Bytes;

namespace {

using ByteVec = std::vector<uint8_t>;

const ByteVec Player = {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xB8};
const ByteVec Package = {0xAD, 0xDE, 0, 0, 6, 0, 0, 0, 0xB9, 0x1E, 0, 0, 0, 0, 0x78, 0x9C, 1, 2, 3};
const ByteVec Block = {0xA8, 0x0C, 0xA9, 0x0C, 0, 0, 0, 0};

// player + package + trailer, optionally followed by a block with its length and magic.
Bytes GameFile(const ByteVec& block = {}, bool withBlock = false) {
  Bytes b;
  b.raw(Player).raw(Package);
  b.u32(static_cast<uint32_t>(Package.size())).u32(static_cast<uint32_t>(Player.size())).u32(250577);
  if (withBlock) b.raw(block).u32(static_cast<uint32_t>(block.size())).u32(100100);
  return b;
}

struct ReadResult {
  bool Found;
  ByteVec Package;
  ByteVec Extra;
};

ReadResult ReadFile(const ByteVec& bytes) {
  kvtest::TempDir dir;
  const std::string name = dir.file("game");
  kvtest::WriteFileBytes(name, bytes);
  TMemoryStream package(ByteVec{1, 2, 3});
  TMemoryStream extra(ByteVec{4, 5, 6});
  const bool found = ReadAppendedData(name, package, extra);
  return {found, package.Bytes(), extra.Bytes()};
}

} // namespace

TEST(AppendedData, PackageIsCopiedFromItsOffset) {
  const ReadResult r = ReadFile(GameFile().data());
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Package, Package);
  EXPECT_TRUE(r.Extra.empty());
}

TEST(AppendedData, ExtraBlockFollowsTheTrailer) {
  const ReadResult r = ReadFile(GameFile(Block, true).data());
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Package, Package);
  EXPECT_EQ(r.Extra, Block);
}

TEST(AppendedData, PackageNeedNotLieBeforeItsTrailer) {
  // The reader trusts offset and size only: here the package sits inside the "player" bytes.
  const ByteVec bytes = Bytes().chars("xxPACKAGEyyyy").u32(7).u32(2).u32(250577).data();
  const ReadResult r = ReadFile(bytes);
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(std::string(r.Package.begin(), r.Package.end()), "PACKAGE");
}

TEST(AppendedData, NoTrailerMeansNoGameData) {
  struct Case {
    const char* Name;
    ByteVec File;
  };
  const std::vector<Case> cases = {
      {"bare player", Player},
      {"empty file", {}},
      {"shorter than a trailer", Bytes().u32(250577).data()},
      {"11 bytes ending in the magic", Bytes().raw({1, 2, 3, 4, 5, 6, 7}).u32(250577).data()},
      // The extra block is read, then discarded because no package trailer precedes it.
      {"block without trailer", Bytes().raw(Player).raw(Block).u32(8).u32(100100).data()},
      {"block magic only", Bytes().u32(100100).data()},
      {"wrong trailer magic", Bytes().raw(Player).raw(Package).u32(3).u32(0).u32(250578).data()},
  };
  for (const Case& c : cases) {
    const ReadResult r = ReadFile(c.File);
    EXPECT_FALSE(r.Found) << c.Name;
    EXPECT_TRUE(r.Package.empty()) << c.Name;
    EXPECT_TRUE(r.Extra.empty()) << c.Name;
  }
}

TEST(AppendedData, LengthsPointingOutsideTheFileFailBeforeCopying) {
  const auto trailer = [](uint32_t size, uint32_t offset) {
    return Bytes().raw(Player).u32(size).u32(offset).u32(250577).data();
  };
  const auto block = [](uint32_t n) { return Bytes().raw(GameFile().data()).u32(n).u32(100100).data(); };
  const uint32_t fileSize = static_cast<uint32_t>(Player.size() + 12);
  struct Case {
    const char* Name;
    ByteVec File;
  };
  const std::vector<Case> cases = {
      {"size past the end", trailer(fileSize + 1, 0)},
      {"size huge", trailer(0xFFFFFFFF, 0)},
      {"offset past the end", trailer(1, fileSize)},
      {"offset huge", trailer(0, 0xFFFFFFFF)},
      {"offset plus size wraps", trailer(0x20, 0xFFFFFFF0)},
      {"block longer than the file", block(static_cast<uint32_t>(GameFile().size()) + 1)},
      {"block length huge", block(0xFFFFFFFF)},
  };
  for (const Case& c : cases) {
    kvtest::TempDir dir;
    kvtest::WriteFileBytes(dir.file("game"), c.File);
    TMemoryStream package;
    TMemoryStream extra;
    EXPECT_THROW(ReadAppendedData(dir.file("game"), package, extra), EReadError) << c.Name;
    EXPECT_TRUE(package.Empty()) << c.Name;
    EXPECT_TRUE(extra.Empty()) << c.Name;
  }
  // At the limits the same lengths are fine.
  EXPECT_TRUE(ReadFile(trailer(fileSize, 0)).Found);
  EXPECT_TRUE(ReadFile(trailer(0, fileSize)).Found);
}

TEST(AppendedData, ZeroLengthsCopyNothing) {
  // A package size of 0 is an empty package, not the whole file.
  const ReadResult empty = ReadFile(Bytes().raw(Player).u32(0).u32(0).u32(250577).data());
  EXPECT_TRUE(empty.Found);
  EXPECT_TRUE(empty.Package.empty());
  // An empty extra block still ends the trailer at its start.
  const ReadResult block = ReadFile(GameFile({}, true).data());
  EXPECT_TRUE(block.Found);
  EXPECT_EQ(block.Package, Package);
  EXPECT_TRUE(block.Extra.empty());
}

TEST(AppendedData, UnopenableFileRaises) {
  kvtest::TempDir dir;
  TMemoryStream package;
  TMemoryStream extra;
  EXPECT_THROW(ReadAppendedData(dir.file("missing"), package, extra), EFOpenError);
  EXPECT_THROW(ReadAppendedData(dir.path().string(), package, extra), EFOpenError);
}

TEST(AppendedData, BlockReaderLeavesTheFileAtTheBlockStart) {
  auto file = GameFile(Block, true).stream();
  TMemoryStream extra;
  const TExtraBlockInfo info = ReadExtraBlock(file, extra);
  EXPECT_TRUE(info.Found);
  EXPECT_EQ(info.N, Block.size());
  EXPECT_EQ(extra.Bytes(), Block);
  EXPECT_EQ(file.Position(), static_cast<int64_t>(GameFile().size()));

  TMemoryStream package;
  EXPECT_TRUE(ReadPackageTrailer(file, package, info));
  EXPECT_EQ(package.Bytes(), Package);

  // Without the block magic the file is left at its end and the trailer is looked for there.
  auto plain = GameFile().stream();
  const TExtraBlockInfo none = ReadExtraBlock(plain, extra);
  EXPECT_FALSE(none.Found);
  EXPECT_EQ(none.N, 0u);
  EXPECT_EQ(plain.Position(), plain.Size());
  EXPECT_TRUE(extra.Empty());
  EXPECT_TRUE(ReadPackageTrailer(plain, package, none));
  EXPECT_EQ(package.Bytes(), Package);
}

TEST(AppendedData, WriterProducesTheReadersLayout) {
  TMemoryStream player(Player);
  TMemoryStream package(Package);
  TMemoryStream block(Block);
  player.SetPosition(5); // the writer takes every source whole
  package.SetPosition(3);

  TMemoryStream withBlock;
  AppendGameData(withBlock, player, package, &block);
  EXPECT_EQ(withBlock.Bytes(), GameFile(Block, true).data());

  TMemoryStream without;
  AppendGameData(without, player, package);
  EXPECT_EQ(without.Bytes(), GameFile().data());

  // An empty block is left out entirely.
  TMemoryStream emptyBlock;
  TMemoryStream withEmpty;
  AppendGameData(withEmpty, player, package, &emptyBlock);
  EXPECT_EQ(withEmpty.Bytes(), GameFile().data());

  // Written to a file, it reads back.
  kvtest::TempDir dir;
  {
    TFileStream file(dir.file("game"), TFileMode::fmCreate);
    AppendGameData(file, player, package, &block);
  }
  TMemoryStream p;
  TMemoryStream e;
  EXPECT_TRUE(ReadAppendedData(dir.file("game"), p, e));
  EXPECT_EQ(p.Bytes(), Package);
  EXPECT_EQ(e.Bytes(), Block);
}

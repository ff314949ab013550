#include "data/uAppendedData.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "data/uKVStreamFunc.h"

#include <limits>

namespace kv {

namespace {

constexpr int64_t MaxU32 = std::numeric_limits<uint32_t>::max();

uint32_t CardinalAt(TStream& file, int64_t position) {
  file.SetPosition(position);
  return TKVStreamFunc::ReadCardinal(file);
}

// Exactly count bytes from the file's position; CopyFrom would take a count of 0 as "everything".
void CopyExactly(TMemoryStream& destination, TStream& file, int64_t count) {
  if (count > 0) {
    if (count > file.Remaining()) throw EReadError();
    // Read straight into storage of the final size: a stream grown as it is written holds up to twice that.
    std::vector<uint8_t>& bytes = destination.Bytes();
    bytes.resize(static_cast<std::size_t>(count));
    file.ReadBuffer(bytes.data(), bytes.size());
  }
  destination.SetPosition(0);
}

} // namespace

TExtraBlockInfo ReadExtraBlock(TStream& file, TMemoryStream& extra) {
  extra.Clear();
  const int64_t size = file.Size();
  // Too short to hold the block's length and magic: no block.
  if (size < 8 || CardinalAt(file, size - 4) != ExtraBlockMagic) {
    file.Seek(0, TSeekOrigin::soEnd);
    return {};
  }
  const uint32_t n = CardinalAt(file, size - 8);
  if (n > size - 8) throw EReadError();
  const int64_t e = size - 8 - n;
  file.SetPosition(e);
  CopyExactly(extra, file, n);
  file.SetPosition(e);
  return {true, n};
}

bool ReadPackageTrailer(TStream& file, TMemoryStream& package, const TExtraBlockInfo& block) {
  package.Clear();
  const int64_t size = file.Size();
  // An empty block still moves E: the trailer ends where the block starts, not at the end of the file.
  const int64_t r = block.Found ? file.Position() : size;
  if (r < 12 || r > size || CardinalAt(file, r - 4) != PackageTrailerMagic) return false;
  const uint32_t offset = CardinalAt(file, r - 8);
  const uint32_t packageSize = CardinalAt(file, r - 12);
  if (offset > size || packageSize > size - offset) throw EReadError();
  file.SetPosition(offset);
  CopyExactly(package, file, packageSize);
  return true;
}

bool ReadAppendedData(const std::string& fileName, TMemoryStream& package, TMemoryStream& extra) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  TScopeFail clear([&] {
    package.Clear();
    extra.Clear();
  });
  const TExtraBlockInfo block = ReadExtraBlock(file, extra);
  const bool found = ReadPackageTrailer(file, package, block);
  // A block without a package is no game data.
  if (!found) extra.Clear();
  return found;
}

void AppendGameData(TStream& destination, TStream& player, TStream& package, TStream* extraBlock) {
  const int64_t offset = destination.Position() + player.Size();
  const int64_t packageSize = package.Size();
  const int64_t blockSize = extraBlock ? extraBlock->Size() : 0;
  if (offset > MaxU32 || packageSize > MaxU32 || blockSize > MaxU32) throw EWriteError();

  destination.CopyFrom(player, 0);
  destination.CopyFrom(package, 0);
  TKVStreamFunc::WriteCardinal(static_cast<uint32_t>(packageSize), destination);
  TKVStreamFunc::WriteCardinal(static_cast<uint32_t>(offset), destination);
  TKVStreamFunc::WriteCardinal(PackageTrailerMagic, destination);
  // An empty block is left out: it would carry nothing.
  if (blockSize > 0) {
    destination.CopyFrom(*extraBlock, 0);
    TKVStreamFunc::WriteCardinal(static_cast<uint32_t>(blockSize), destination);
    TKVStreamFunc::WriteCardinal(ExtraBlockMagic, destination);
  }
}

} // namespace kv

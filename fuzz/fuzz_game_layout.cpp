// The end of a game executable read for an export: where package, trailer and extra-picture block lie, and
// the bare player that stripping them leaves.
#include "core/uKVErrors.h"
#include "data/uEGameExport.h"

#include <algorithm>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> file(data, size);
  try {
    const kv::TAppendedLayout layout = kv::ReadAppendedLayout(file);
    if (layout.FileSize != static_cast<int64_t>(size)) __builtin_trap();
    if (layout.HasPackage &&
        (int64_t{layout.PackageOffset} + layout.PackageSize > layout.FileSize || layout.TrailerEnd < 12 ||
         layout.TrailerEnd + (layout.HasExtraBlock ? int64_t{layout.ExtraSize} + 8 : 0) != layout.FileSize))
      __builtin_trap();
  } catch (const kv::Exception&) {
  }
  try {
    // The player is always a leading part of the file.
    const std::vector<uint8_t> player = kv::StripAppendedData(file);
    if (player.size() > size || !std::equal(player.begin(), player.end(), data)) __builtin_trap();
  } catch (const kv::Exception&) {
  }
  return 0;
}

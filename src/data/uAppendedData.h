// The game data appended to a player executable: the package, its trailer and the optional extra-picture
// block, which is always the last thing in the file.
//
//   PackageOffset: PackageSize bytes of package
//   E - 12: PackageSize, E - 8: PackageOffset, E - 4: 250577
//   E: N bytes of extra-picture block, then N and 100100 (optional)
//
// E is the end of the file without an extra-picture block, else the first byte of its data.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <string>

namespace kv {

inline constexpr uint32_t PackageTrailerMagic = 250577;
inline constexpr uint32_t ExtraBlockMagic = 100100;

// What ReadExtraBlock found at the end of a file.
struct TExtraBlockInfo {
  bool Found = false;
  uint32_t N = 0; // length of the block data
};

// Reads the package (and, when present, the extra-picture block) appended to fileName. The file is opened
// read-only; other processes may keep reading and writing it. Returns false when the file carries no
// package trailer; the extra stream is then emptied even when a block was found.
// A length or offset that points outside the file raises EReadError; an unopenable file EFOpenError.
bool ReadAppendedData(const std::string& fileName, TMemoryStream& package, TMemoryStream& extra);

// Empties extra; when the file ends with N and 100100, copies the N bytes before them into extra and leaves
// the file positioned at their first byte (E). An N larger than the file raises EReadError.
TExtraBlockInfo ReadExtraBlock(TStream& file, TMemoryStream& extra);

// Empties package; reads the trailer that ends at E (the file's position when a block was found, else the
// end of the file) and copies the package it names. False when the trailer magic is missing; a package that
// lies (partly) outside the file raises EReadError.
bool ReadPackageTrailer(TStream& file, TMemoryStream& package, const TExtraBlockInfo& block);

// Writes player + package + trailer, then the extra-picture block with its length and magic when extraBlock
// is given and not empty. Player, package and block are copied whole from their start; PackageOffset is
// the destination's position after the player. Sizes beyond 32 bits raise EWriteError.
void AppendGameData(TStream& destination, TStream& player, TStream& package, TStream* extraBlock = nullptr);

} // namespace kv

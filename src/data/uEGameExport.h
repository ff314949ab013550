// Making a standalone game: a bare player followed by a package, its trailer and, optionally, an
// extra-picture block with the player's own pictures (layout: uAppendedData.h, block: uExtJigsawImages.h).
//
//   bare player | package | PackageSize, PackageOffset, 250577 | block | N, 100100
//
// PackageOffset is the length of the bare player; N counts every byte of the block, its marker 3240 and
// end record included. Executables carry no icon resources here, so an exported game keeps the player's.
#pragma once

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uImageInfo.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

// A game that cannot be made as asked: the message names the file and what is wrong with it.
class EExportError : public Exception {
public:
  using Exception::Exception;
};

// Where the appended data of a file lies. Without a package trailer only FileSize is meaningful.
struct TAppendedLayout {
  int64_t FileSize = 0;
  bool HasPackage = false;    // the file ends with a package trailer (before the block, if any)
  uint32_t PackageOffset = 0; // as the trailer says
  uint32_t PackageSize = 0;
  int64_t TrailerEnd = 0;     // E: the first byte after the trailer
  bool HasExtraBlock = false; // a block follows the trailer
  uint32_t ExtraSize = 0;     // N
};

// Reads the layout from the end of a file image, as start-up finds it: a block without a package trailer
// before it counts as no appended data. Raises EReadError when the block length or the package lies
// (partly) outside the file.
TAppendedLayout ReadAppendedLayout(std::span<const uint8_t> file);

// The player without anything appended: the first PackageOffset bytes when the file ends with a package
// trailer (after which an extra-picture block may follow), else the whole file. A block length, or a
// package offset, that points outside the file raises EExportError: where the player ends is then unknown.
std::vector<uint8_t> StripAppendedData(std::span<const uint8_t> file, const std::string& fileName = {});
void StripAppendedData(const std::string& fileName, TMemoryStream& stream);

// The format of an extra picture by the file's extension in lower case: ".bmp" BMP, ".jpg" JPEG, anything
// else (".gif", ".jpeg") none.
std::optional<TImageFormat> ExtraPictureFormat(const std::string& fileName);

// One extra picture read from a file: itPicture with the given id and the format of ExtraPictureFormat.
// The file must be a picture start-up can merge: a JPEG (or BMP) whose header the services' SizeReader reads,
// and, when they have a BMP to JPEG converter, a BMP it converts. Other files raise EExportError; an
// unreadable one EFOpenError.
TExtJigsawImage ReadExtraPictureFile(const std::string& fileName, uint32_t imageId,
                                     const TPackageServices& services);

// Extra pictures for the files of the list, in order, skipping files ExtraPictureFormat does not know. Each
// gets a fresh picture id of the package, distinct from the others of the list.
TExtJigsawImages ExtraPicturesFromFiles(const TJigsawProject2& project,
                                        const std::vector<std::string>& files);

// The block data after its marker: one picture record per file of ExtraPicturesFromFiles, then the end
// record (3241, length 0).
void WriteExtraBlock(const TJigsawProject2& project, TStream& stream, const std::vector<std::string>& files);

// What follows the trailer in a game with these extra pictures: marker, records, end record, then N and
// 100100. Raises EWriteError for a block beyond 32 bits.
TMemoryStream MakeExtraStream(const TExtJigsawImages& pictures);

// The whole game image: bare player, package, trailer, then the extra stream as it is (it carries its own
// N and magic; empty for none). Sizes beyond 32 bits raise EWriteError.
std::vector<uint8_t> AssembleGame(std::span<const uint8_t> player, const TMemoryStream& package,
                                  const TMemoryStream& extra);

// Writes an executable through a temporary file beside it that is renamed over it: mode 0755 (less what
// the umask takes away), and nothing changes on failure.
void WriteGameImage(const std::string& outputName, std::span<const uint8_t> image);

// The player of ownPath stripped of its appended data, package, trailer and extra stream into outputName.
// An empty package writes nothing and returns false.
bool WriteGameFile(const std::string& ownPath, const std::string& outputName, const TMemoryStream& package,
                   const TMemoryStream& extra);

// A new game from the package stream, with the picture files as its extra pictures. A picture file of
// another type than .bmp or .jpg, an empty package or a player that is empty raise EExportError and write
// nothing.
void MakeGame(const TMemoryStream& package, const TJigsawProject2& project,
              const std::vector<std::string>& pictureFiles, const std::string& outputName,
              const std::string& ownPath);

} // namespace kv

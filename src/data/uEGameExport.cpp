#include "data/uEGameExport.h"

#include "data/uAppendedData.h"
#include "data/uImageInfo.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "data/uLittleEndian.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace kv {

namespace {

using SF = TKVStreamFunc;

constexpr uint64_t MaxU32 = std::numeric_limits<uint32_t>::max();
constexpr uint32_t PictureIdLimit = 65535; // picture ids are 1..65535

uint32_t CardinalAt(std::span<const uint8_t> file, int64_t position) {
  const auto at = static_cast<std::size_t>(position);
  return LoadLE<uint32_t>(file.data() + at);
}

void PutCardinal(std::vector<uint8_t>& bytes, uint32_t value) {
  uint8_t le[4];
  StoreLE(value, le);
  bytes.insert(bytes.end(), le, le + 4);
}

std::string Named(const std::string& fileName) {
  return fileName.empty() ? std::string("The file") : fileName;
}

} // namespace

TAppendedLayout ReadAppendedLayout(std::span<const uint8_t> file) {
  TAppendedLayout layout;
  const auto size = static_cast<int64_t>(file.size());
  layout.FileSize = size;
  int64_t e = size;
  bool block = false;
  uint32_t n = 0;
  if (size >= 8 && CardinalAt(file, size - 4) == ExtraBlockMagic) {
    n = CardinalAt(file, size - 8);
    if (n > size - 8) throw EReadError();
    e = size - 8 - n;
    block = true;
  }
  if (e < 12 || CardinalAt(file, e - 4) != PackageTrailerMagic) return layout;
  const uint32_t offset = CardinalAt(file, e - 8);
  const uint32_t packageSize = CardinalAt(file, e - 12);
  if (offset > size || packageSize > size - offset) throw EReadError();
  layout.HasPackage = true;
  layout.PackageOffset = offset;
  layout.PackageSize = packageSize;
  layout.TrailerEnd = e;
  layout.HasExtraBlock = block;
  layout.ExtraSize = block ? n : 0;
  return layout;
}

std::vector<uint8_t> StripAppendedData(std::span<const uint8_t> file, const std::string& fileName) {
  TAppendedLayout layout;
  try {
    layout = ReadAppendedLayout(file);
  } catch (const EReadError&) {
    throw EExportError("The game data appended to " + Named(fileName) +
                       " is damaged: it points outside the file, so where the player ends is unknown.");
  }
  if (!layout.HasPackage) return {file.begin(), file.end()};
  // The player cannot reach into its own trailer.
  if (layout.PackageOffset > layout.TrailerEnd - 12)
    throw EExportError("The game data appended to " + Named(fileName) +
                       " is damaged: the package offset lies beyond its trailer.");
  return {file.begin(), file.begin() + layout.PackageOffset};
}

void StripAppendedData(const std::string& fileName, TMemoryStream& stream) {
  TMemoryStream file;
  file.LoadFromFile(fileName);
  stream = TMemoryStream(StripAppendedData(file.Bytes(), fileName));
}

std::optional<TImageFormat> ExtraPictureFormat(const std::string& fileName) {
  const std::string extension =
      TKVStandardFunc::LowerText(std::filesystem::path(fileName).extension().string());
  if (extension == ".bmp") return TImageFormat::ifBMP;
  if (extension == ".jpg") return TImageFormat::ifJPEG;
  return std::nullopt;
}

TExtJigsawImage ReadExtraPictureFile(const std::string& fileName, uint32_t imageId,
                                     const TPackageServices& services) {
  const std::optional<TImageFormat> format = ExtraPictureFormat(fileName);
  if (!format) throw EExportError(fileName + " is not a picture a game can carry: use a .bmp or .jpg file.");
  TExtJigsawImage image;
  image.ImageID = imageId;
  image.ImgType = TExtJigsawImageType::itPicture;
  image.ImgFormat = *format;
  image.Stream.LoadFromFile(fileName);
  if (image.Stream.Size() > std::numeric_limits<int32_t>::max())
    throw EExportError(fileName + " is too large for a game's extra pictures.");
  // The game merges its extra pictures at every start: a picture it cannot read would keep it from starting.
  const bool bmp = *format == TImageFormat::ifBMP;
  try {
    ReadImageSize(services.SizeReader, image.Stream, bmp ? TImageKind::ikBMP : TImageKind::ikJPEG);
    if (bmp && services.BmpToJpeg) image.JpegData(services.BmpToJpeg);
  } catch (const Exception&) {
    throw EExportError(fileName + (bmp ? " is not a BMP picture the game can read."
                                       : " is not a JPEG picture the game can read."));
  }
  image.Stream.SetPosition(0);
  return image;
}

TExtJigsawImages ExtraPicturesFromFiles(const TJigsawProject2& project,
                                        const std::vector<std::string>& files) {
  // Fresh for the package and for this list: two records with one id would share one id's settings.
  std::unordered_set<uint32_t> used;
  for (const auto& picture : project.Pictures)
    if (picture->ID >= 1 && picture->ID <= PictureIdLimit) used.insert(picture->ID);
  TRandomSource& random = project.Random();
  TExtJigsawImages images;
  for (const auto& file : files) {
    if (!ExtraPictureFormat(file)) continue;
    if (used.size() >= PictureIdLimit) throw EExecDataError("No free picture identifier");
    uint32_t id = 0;
    do id = static_cast<uint32_t>(random.RandomBelow(static_cast<int32_t>(PictureIdLimit))) + 1;
    while (used.contains(id));
    used.insert(id);
    images.Add() = ReadExtraPictureFile(file, id, project.Services());
  }
  return images;
}

void WriteExtraBlock(const TJigsawProject2& project, TStream& stream, const std::vector<std::string>& files) {
  // The collection writes the records and the end record after its marker, which the caller has written.
  TMemoryStream block;
  ExtraPicturesFromFiles(project, files).SaveToStream(block);
  stream.WriteBuffer(block.Memory() + 2, static_cast<std::size_t>(block.Size() - 2));
}

TMemoryStream MakeExtraStream(const TExtJigsawImages& pictures) {
  TMemoryStream extra;
  pictures.SaveToStream(extra);
  const int64_t n = extra.Size();
  if (static_cast<uint64_t>(n) > MaxU32) throw EWriteError();
  SF::WriteCardinal(static_cast<uint32_t>(n), extra);
  SF::WriteCardinal(ExtraBlockMagic, extra);
  extra.SetPosition(0);
  return extra;
}

std::vector<uint8_t> AssembleGame(std::span<const uint8_t> player, const TMemoryStream& package,
                                  const TMemoryStream& extra) {
  const uint64_t offset = player.size();
  const auto packageSize = static_cast<uint64_t>(package.Size());
  if (offset > MaxU32 || packageSize > MaxU32) throw EWriteError();
  std::vector<uint8_t> image;
  image.reserve(player.size() + package.Bytes().size() + 12 + extra.Bytes().size());
  image.insert(image.end(), player.begin(), player.end());
  image.insert(image.end(), package.Bytes().begin(), package.Bytes().end());
  PutCardinal(image, static_cast<uint32_t>(packageSize));
  PutCardinal(image, static_cast<uint32_t>(offset));
  PutCardinal(image, PackageTrailerMagic);
  image.insert(image.end(), extra.Bytes().begin(), extra.Bytes().end());
  return image;
}

void WriteGameImage(const std::string& outputName, std::span<const uint8_t> image) {
  // Executable like any program a compiler writes, within what the umask allows.
  WriteFileAtomically(outputName, image, 0755);
}

bool WriteGameFile(const std::string& ownPath, const std::string& outputName, const TMemoryStream& package,
                   const TMemoryStream& extra) {
  // Without a package there is no game; the output is left as it was.
  if (package.Empty()) return false;
  TMemoryStream player;
  StripAppendedData(ownPath, player);
  if (player.Empty()) throw EExportError("The player " + ownPath + " is empty: it cannot carry a game.");
  WriteGameImage(outputName, AssembleGame(player.Bytes(), package, extra));
  return true;
}

void MakeGame(const TMemoryStream& package, const TJigsawProject2& project,
              const std::vector<std::string>& pictureFiles, const std::string& outputName,
              const std::string& ownPath) {
  // A picture the game would silently leave out is refused before anything is written.
  for (const auto& file : pictureFiles)
    if (!ExtraPictureFormat(file))
      throw EExportError(file + " is not a picture a game can carry: use a .bmp or .jpg file.");
  if (package.Empty()) throw EExportError("The game package is empty: no game was written.");

  TMemoryStream extra;
  SF::WriteWord(static_cast<int16_t>(ExtraBlockMarker), extra);
  WriteExtraBlock(project, extra, pictureFiles);
  const int64_t n = extra.Size();
  if (static_cast<uint64_t>(n) > MaxU32) throw EWriteError();
  SF::WriteCardinal(static_cast<uint32_t>(n), extra);
  SF::WriteCardinal(ExtraBlockMagic, extra);
  extra.SetPosition(0);
  if (!WriteGameFile(ownPath, outputName, package, extra))
    throw EExportError("The game package is empty: no game was written.");
}

} // namespace kv

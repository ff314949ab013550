#include "PackageSource.h"

#include "data/uKVStream.h"
#include "gui/uBitmap32.h"

#include <filesystem>

namespace kvtools {

namespace {

// Why a package could not be read, in words for the game's author.
std::string Reason(const std::exception& error) {
  if (dynamic_cast<const kv::EReadError*>(&error)) return "its data is cut short or damaged";
  return ToolMessage(error);
}

kv::TMemoryStream Part(const std::vector<uint8_t>& file, int64_t offset, int64_t count) {
  const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset);
  return kv::TMemoryStream(std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(count)));
}

} // namespace

bool LooksLikePackage(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2) return false;
  if (bytes[0] == 0xAD && bytes[1] == 0xDE) return true;
  // zlib: deflate with a window of at most 32 KiB, and a header check that makes the pair a multiple of 31.
  const unsigned cmf = bytes[0], flg = bytes[1];
  return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

void LoadPackage(const std::string& fileName, LoadedPackage& loaded) {
  loaded.FileName = fileName;
  std::error_code ignored;
  if (std::filesystem::is_directory(fileName, ignored))
    throw EGameFileError(fileName + " is a folder, not a game package");
  {
    kv::TMemoryStream file;
    file.LoadFromFile(fileName);
    loaded.File = std::move(file.Bytes());
  }
  try {
    loaded.Layout = kv::ReadAppendedLayout(loaded.File);
  } catch (const kv::EReadError&) {
    throw EGameFileError(fileName + " is a damaged game: the data appended to it points outside the file");
  }

  if (!loaded.Appended()) {
    if (!LooksLikePackage(loaded.File))
      throw EGameFileError(fileName + " is neither a game package nor a game with a package appended");
    loaded.Package = kv::TMemoryStream(loaded.File);
    try {
      loaded.Project.LoadFromStream(&loaded.Package);
    } catch (const kv::Exception& e) {
      throw EGameFileError(fileName + " is a damaged game package: " + Reason(e));
    }
    loaded.Package.SetPosition(0);
    return;
  }

  const kv::TAppendedLayout& layout = loaded.Layout;
  loaded.Package = Part(loaded.File, layout.PackageOffset, layout.PackageSize);
  if (layout.HasExtraBlock) loaded.ExtraBlock = Part(loaded.File, layout.TrailerEnd, layout.ExtraSize);
  try {
    loaded.Project.LoadFromStream(&loaded.Package);
  } catch (const kv::Exception& e) {
    throw EGameFileError(fileName + " is a game whose appended package is damaged: " + Reason(e));
  }
  loaded.Package.SetPosition(0);
  try {
    if (!loaded.ExtraBlock.Empty()) {
      loaded.Extras.LoadFromStream(loaded.ExtraBlock);
      loaded.Extras.AssignTo(loaded.Project);
    }
  } catch (const kv::Exception& e) {
    throw EGameFileError(fileName + " is a game whose extra pictures cannot be read: " + Reason(e));
  }
  loaded.ExtraBlock.SetPosition(0);
}

std::string ToolMessage(const std::exception& error) {
  if (const auto* saved = dynamic_cast<const kv::EJigsawFileError*>(&error); saved && !saved->Detail.empty())
    return saved->Detail;
  if (const auto* bitmap = dynamic_cast<const kv::EBitmapError*>(&error);
      bitmap && (bitmap->Width > 0 || bitmap->Height > 0)) {
    const std::string size =
        std::to_string(bitmap->Width) + " x " + std::to_string(bitmap->Height) + " pixels";
    if (bitmap->TooLarge)
      return "a picture of " + size + " is too large to draw (at most " +
             std::to_string(kv::MaxSurfacePixels) + " pixels)";
    return "there is not enough memory to draw a picture of " + size;
  }
  return error.what();
}

void ReportError(std::ostream& err, const std::string& fileName, const std::exception& error) {
  err << "jigsaw-pack: ";
  if (!dynamic_cast<const EGameFileError*>(&error) && !dynamic_cast<const kv::EExportError*>(&error) &&
      !fileName.empty())
    err << fileName << ": ";
  err << ToolMessage(error) << '\n';
}

} // namespace kvtools

// The package a command works on: a package file, or a game executable with a package (and perhaps an
// extra-picture block) appended. A file that is neither, or whose package is damaged, raises
// EGameFileError with a message that names the file and says what is wrong in plain words.
#pragma once

#include "core/uKVErrors.h"
#include "data/uEGameExport.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <cstdint>
#include <exception>
#include <ostream>
#include <string>
#include <vector>

namespace kvtools {

class EGameFileError : public kv::Exception {
public:
  using Exception::Exception;
};

struct LoadedPackage {
  std::string FileName;
  std::vector<uint8_t> File;    // the whole file
  kv::TAppendedLayout Layout;   // Layout.HasPackage: a game executable
  kv::TMemoryStream Package;    // the package bytes as stored
  kv::TMemoryStream ExtraBlock; // the extra-picture block data of a game executable; empty for none
  kv::TExtJigsawImages Extras;  // the pictures of that block
  // The package as the game plays it: a game executable's extra pictures merged in as its start-up does.
  kv::TJigsawProject2 Project{kv::ProgramPackageServices()};

  bool Appended() const { return Layout.HasPackage; }
};

// Raises EGameFileError for anything but a readable package or game executable, and EFOpenError when the
// file cannot be opened.
void LoadPackage(const std::string& fileName, LoadedPackage& loaded);

// Whether the bytes begin as a package does: the preview magic AD DE, or a zlib stream header.
bool LooksLikePackage(const std::vector<uint8_t>& bytes);

// The message the tool gives for an error: what a saved game's reader found instead of the player's bare
// "Error", and the size of a picture too large to draw instead of "Can't allocate the DIB handle".
std::string ToolMessage(const std::exception& error);

// "jigsaw-pack: " and the error's message, with the file's name first unless the message names it already.
void ReportError(std::ostream& err, const std::string& fileName, const std::exception& error);

} // namespace kvtools

// The package writer's picture work done with the piece engine: the thumbnail, the prepared games, the
// piece-shape record, and the stored cuts a load completes. All of them use the piece library file
// all.kvjc that sits beside the programs.
#pragma once

#include "data/uExecDataWriter.h"
#include "data/uImageInfo.h"
#include "data/uPackageServices.h"
#include "jigsaw/uKVJigsawPieceLibrary.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class TBitmap32;

class TEnginePictureSteps : public TPackagePictureSteps {
public:
  explicit TEnginePictureSteps(std::string libraryFile) : LibraryFile(std::move(libraryFile)) {}

  void MakeThumbnail(TJigsawProject2& project) override;
  void MakePreparedGame(TJigsawProject2& project) override;
  void MakePreparedGames(TJigsawProject2& project) override;
  // The library of the package's pictures (see TKVJigsawPieceLibrary::PackageLibrary), as int32 n and n
  // bytes of zlib data. Raises kv::Exception when the library file cannot be read.
  TMemoryStream PieceShapes(const TJigsawProject2& project) override;

  // The cut stored for one picture at load: its edges from a new arrangement at the picture's difficulty,
  // made with the package's own piece shapes (or, when it has none, the library file's part for the
  // package), for the grid a game of the picture gets. Only the picture's stored size is read, never its
  // pixels. Nothing when the picture's size cannot be read or it cannot be cut.
  std::optional<std::vector<TEdgeShapes>> CutPicture(const TJigsawProject2& project, const TBMPData& picture);
  // The cut builder for the pictures of one project: the piece shapes are found once, when it is made.
  TPictureCutBuilder CutBuilder(const TJigsawProject2& project);

  // The library file, read once.
  const TKVJigsawPieceLibrary& Library();
  // The part of it the package carries.
  TKVJigsawPieceLibrary PackageLibrary(const TJigsawProject2& project);

private:
  // The prepared game of one picture, cut with the package's shapes.
  TPreparedGame PrepareGame(const TJigsawProject2& project, const TBMPData& picture,
                            const TKVJigsawPieceLibrary& shapes);

  std::string LibraryFile;
  std::unique_ptr<TKVJigsawPieceLibrary> Loaded;
};

// The file all.kvjc in the folder of the running program.
std::string ProgramLibraryFile();

// Installs the steps above for every package writer and their cut completion for every load.
void InstallPackagePictureSteps(const std::string& libraryFile = ProgramLibraryFile());

// What the program hands every package model it makes: the picture codecs' work.
TPackageServices ProgramPackageServices();

// Decodes a package picture (JPEG, or BMP in old packages) at its own size. Raises EImageError when it
// cannot.
void DecodePackagePicture(const TBMPData& picture, TBitmap32& bitmap);

// The picture's size as stored in the package, read from its header (JPEG, or BMP in old packages).
TImageInfo StoredPictureSize(const TBMPData& picture);

// Decodes a package picture for a game's cut at this difficulty with the library's layouts: a JPEG at the
// smallest reduced scale that is not below the final size the layout search gives for its stored size (its
// own size when none is smaller, or when no layout fits), a BMP at its own size. Returns the stored size,
// which the cut must be chosen for (TKVJigsawCut::SourceSize). Raises EImageError when the
// picture cannot be read.
TImageInfo DecodeGamePicture(const TBMPData& picture, const TKVJigsawPieceLibrary& library,
                             uint8_t difficulty, TBitmap32& bitmap);

} // namespace kv

// Writing the package model as a game package: the preview section with its thumbnail, then the zlib data
// section with every record in the order the format fixes.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"

#include <memory>

namespace kv {

// The writing steps that need decoded pictures and the piece engine: the thumbnail, the prepared games and
// the piece-shape record. This default keeps what the model already holds; the piece engine installs its own.
class TPackagePictureSteps {
public:
  virtual ~TPackagePictureSteps() = default;
  // Fills ThumbnailColumns, ThumbnailRows and Thumbnail from the first picture, or keeps them when the
  // package has no picture. The default keeps them.
  virtual void MakeThumbnail(TJigsawProject2& project);
  // Recomputes PreparedGame; called when EmbedPreparedGame is non-zero. The default keeps it.
  virtual void MakePreparedGame(TJigsawProject2& project);
  // Fills PreparedGames for the pictures that ask for a prepared game; called only when it is empty.
  // The default leaves it empty.
  virtual void MakePreparedGames(TJigsawProject2& project);
  // The content of record 8081: int32 n followed by n bytes of zlib data; empty writes no record.
  // The default is the stored PieceShapeData.
  virtual TMemoryStream PieceShapes(const TJigsawProject2& project);
};

class TExecDataWriter {
public:
  explicit TExecDataWriter(TJigsawProject2& project) : Project(project) {}

  // Writes the preview section and then the compressed data section at the stream's position.
  // Fills the thumbnail fields and the prepared games when the picture steps compute them.
  void SaveToStream(TStream& stream);

  // Installs the picture steps every writer uses; null restores the default.
  static void SetPictureSteps(std::shared_ptr<TPackagePictureSteps> steps);
  static TPackagePictureSteps& PictureSteps();

private:
  void WritePreview(TStream& stream);
  void WriteData(TMemoryStream& data, TPackagePictureSteps& steps);

  TJigsawProject2& Project;
};

} // namespace kv

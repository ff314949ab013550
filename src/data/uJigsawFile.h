// A saved game (*.jsw): the piece grid, the state of every piece, the clock, the picture's id and the
// difficulty. Also the 40-byte piece state that prepared games inside a package share with it.
#pragma once

#include "data/uImageInfo.h"
#include "data/uKVStream.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv {

// The state of one piece as a saved game records it (one element of TJigsawArrayData, 40 bytes
// little-endian), and the record the builder's and the board's pieces carry as their own.
struct TJigsawPieceState {
  static constexpr std::size_t Size = 40;

  // Edge shapes: template index + 1, 0 for a straight side. Held wider than the byte a file records: a large
  // piece library still plays, only recording such a piece is refused (see Recorded).
  int32_t LeftEdge = 0;
  int32_t TopEdge = 0;
  int32_t RightEdge = 0;
  int32_t BottomEdge = 0;
  // Top-left corner of the shown image on the board.
  int32_t X = 0;
  int32_t Y = 0;
  // Place in the assembled picture.
  int32_t CorrectX = 0;
  int32_t CorrectY = 0;
  int32_t StartX = 0;
  int32_t StartY = 0;
  // Size of the unrotated image.
  int32_t Width = 0;
  int32_t Height = 0;
  // Quarter turns clockwise.
  uint8_t Rotation = 0;
  uint8_t StartRotation = 0;
  // 1 once the piece has snapped to a neighbour; never cleared during a game.
  uint8_t Joined = 0;

  // This record alone, as a file can hold it. Raises kv::Exception with TooManyEdgeShapesMessage when an
  // edge shape lies beyond a byte.
  TJigsawPieceState Recorded() const;
  // Byte 39 is written 0 and ignored when read. Raises as Recorded does.
  std::array<uint8_t, Size> Encode() const;
  static TJigsawPieceState Decode(std::span<const uint8_t, Size> bytes);

  bool operator==(const TJigsawPieceState&) const = default;
};

inline constexpr const char* TooManyEdgeShapesMessage =
    "The pieces of this game use more edge shapes than a saved game can record.";

// Piece states row by row, columns inner: element number = row * Columns + column.
using TJigsawArrayData = std::vector<TJigsawPieceState>;

// Reads count elements; a negative count or one whose 40-fold size exceeds the bytes left raises EReadError
// before anything is allocated.
TJigsawArrayData ReadPieceStates(TStream& stream, int64_t count);
void WritePieceStates(const TJigsawArrayData& states, TStream& stream);

// What a saved game needs from the board's pieces. The board implements it over its [row][column] pieces.
class IPieceStateSource {
public:
  virtual ~IPieceStateSource() = default;
  virtual int32_t Rows() const = 0;
  virtual int32_t Columns() const = 0;
  // The state of the piece at [row][column]; only called with 0 <= row < Rows(), 0 <= column < Columns().
  virtual TJigsawPieceState State(int32_t row, int32_t column) const = 0;
};

class TJigsawFile {
public:
  static constexpr int32_t Magic = 80303;
  static constexpr int32_t CurrentVersion = 6;

  int32_t Columns = 0;
  int32_t Rows = 0;
  float Scale = 0;
  int32_t ElapsedSeconds = 0;
  std::string ProgramName;
  int32_t Version = 0;
  uint32_t PictureId = 0;
  uint8_t Difficulty = 3;
  int16_t CheatCount = 0;
  TJigsawArrayData PieceStates;
  // The BMP file that old versions carry after the piece states; empty for files of the current version.
  TMemoryStream Picture;
  bool Resaving = false;

  // The board's pieces for the next SaveToFile; not owned, must outlive that call.
  void SetPieces(const IPieceStateSource* pieces) { Source = pieces; }
  const IPieceStateSource* Pieces() const { return Source; }

  // Reads a file of any version 1..6. Every failure raises EJigsawFileError; the fields read before the
  // failure keep their values, the others their defaults. The picture of an old version is measured with
  // sizeReader: without one, such a file fails to load.
  void LoadFromFile(const std::string& fileName, const TImageSizeReader& sizeReader);
  void LoadFromStream(TStream& stream, const TImageSizeReader& sizeReader);

  // Writes version 6. Unless Resaving is set, PieceStates is first rebuilt from Pieces. The file is replaced
  // in one step: a save that fails leaves the previous file as it was.
  // Raises EFCreateError when the file cannot be created, EWriteError when the write fails or when the
  // piece states do not match Columns x Rows. An error of Pieces while its states are taken (a piece the file
  // cannot record) passes through before the file is touched.
  void SaveToFile(const std::string& fileName);
  void SaveToStream(TStream& stream);

  // Rewrites a file of an old version as version 6 with the piece states it holds (its picture is dropped).
  void Resave(const std::string& fileName, const TImageSizeReader& sizeReader);

private:
  void RebuildPieceStates();
  void ResetFields();

  const IPieceStateSource* Source = nullptr;
};

} // namespace kv

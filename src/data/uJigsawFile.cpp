#include "data/uJigsawFile.h"

#include "core/uKVErrors.h"
#include "data/uImageInfo.h"
#include "data/uKVStreamFunc.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>

namespace kv {

namespace {

using SF = TKVStreamFunc;

void PutInt(uint8_t* at, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetInt(const uint8_t* at) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(at[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

// Clears Resaving however the rewrite ends.
class TResavingScope {
public:
  explicit TResavingScope(bool& flag) : Flag(flag) { Flag = true; }
  ~TResavingScope() { Flag = false; }
  TResavingScope(const TResavingScope&) = delete;
  TResavingScope& operator=(const TResavingScope&) = delete;

private:
  bool& Flag;
};

// Why a name that FileExists turns down cannot be opened as a saved game.
std::string NoFileReason(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0) return std::strerror(errno);
  return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
}

uint8_t RecordedEdge(int32_t edge) {
  if (edge < 0 || edge > UINT8_MAX) throw Exception(TooManyEdgeShapesMessage);
  return static_cast<uint8_t>(edge);
}

} // namespace

TJigsawPieceState TJigsawPieceState::Recorded() const {
  for (const int32_t edge : {LeftEdge, TopEdge, RightEdge, BottomEdge}) RecordedEdge(edge);
  return *this;
}

std::array<uint8_t, TJigsawPieceState::Size> TJigsawPieceState::Encode() const {
  std::array<uint8_t, Size> b{};
  b[0] = RecordedEdge(LeftEdge);
  b[1] = RecordedEdge(TopEdge);
  b[2] = RecordedEdge(RightEdge);
  b[3] = RecordedEdge(BottomEdge);
  PutInt(&b[4], X);
  PutInt(&b[8], Y);
  PutInt(&b[12], CorrectX);
  PutInt(&b[16], CorrectY);
  PutInt(&b[20], StartX);
  PutInt(&b[24], StartY);
  PutInt(&b[28], Width);
  PutInt(&b[32], Height);
  b[36] = Rotation;
  b[37] = StartRotation;
  b[38] = Joined;
  b[39] = 0;
  return b;
}

TJigsawPieceState TJigsawPieceState::Decode(std::span<const uint8_t, Size> b) {
  TJigsawPieceState s;
  s.LeftEdge = b[0];
  s.TopEdge = b[1];
  s.RightEdge = b[2];
  s.BottomEdge = b[3];
  s.X = GetInt(&b[4]);
  s.Y = GetInt(&b[8]);
  s.CorrectX = GetInt(&b[12]);
  s.CorrectY = GetInt(&b[16]);
  s.StartX = GetInt(&b[20]);
  s.StartY = GetInt(&b[24]);
  s.Width = GetInt(&b[28]);
  s.Height = GetInt(&b[32]);
  s.Rotation = b[36];
  s.StartRotation = b[37];
  s.Joined = b[38];
  return s;
}

TJigsawArrayData ReadPieceStates(TStream& stream, int64_t count) {
  constexpr auto size = static_cast<int64_t>(TJigsawPieceState::Size);
  if (count < 0 || count > stream.Remaining() / size) throw EReadError();
  TJigsawArrayData states;
  states.reserve(static_cast<std::size_t>(count));
  std::array<uint8_t, TJigsawPieceState::Size> buffer{};
  for (int64_t i = 0; i < count; ++i) {
    stream.ReadBuffer(buffer.data(), buffer.size());
    states.push_back(TJigsawPieceState::Decode(buffer));
  }
  return states;
}

void WritePieceStates(const TJigsawArrayData& states, TStream& stream) {
  for (const auto& state : states) {
    const auto bytes = state.Encode();
    stream.WriteBuffer(bytes.data(), bytes.size());
  }
}

void TJigsawFile::ResetFields() {
  Columns = 0;
  Rows = 0;
  Scale = 0;
  ElapsedSeconds = 0;
  ProgramName.clear();
  Version = 0;
  PictureId = 0;
  Difficulty = 3;
  CheatCount = 0;
  PieceStates.clear();
  Picture.Clear();
}

void TJigsawFile::LoadFromFile(const std::string& fileName, const TImageSizeReader& sizeReader) {
  // A name that is no regular file (missing, a folder, a pipe that would block) is not opened at all.
  if (!FileExists(fileName))
    throw EJigsawFileError("cannot open " + fileName + ": " + NoFileReason(fileName));
  try {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    LoadFromStream(file, sizeReader);
  } catch (const EJigsawFileError&) {
    throw;
  } catch (const std::exception& e) {
    throw EJigsawFileError(e.what());
  }
}

void TJigsawFile::LoadFromStream(TStream& stream, const TImageSizeReader& sizeReader) {
  // What is being read, and where it begins, for the reason a failure gives.
  const char* field = "magic number";
  int64_t fieldStart = 0;
  const auto reading = [&](const char* name) {
    field = name;
    fieldStart = stream.Position();
  };
  try {
    // Fields a version does not carry keep their defaults, also when this object held another game.
    ResetFields();
    fieldStart = stream.Position();
    if (stream.Remaining() < 4 || SF::ReadInteger(stream) != Magic)
      throw EJigsawFileError("not a saved game (it does not begin with AF 39 01 00)");
    reading("header");
    const int32_t version = SF::ReadInteger(stream);
    const int32_t columns = SF::ReadInteger(stream);
    const int32_t rows = SF::ReadInteger(stream);
    const uint32_t scale = SF::ReadCardinal(stream);
    if (version < 1 || version > CurrentVersion)
      throw EJigsawFileError("version " + std::to_string(version) +
                             ", which this program does not read (1 to " + std::to_string(CurrentVersion) +
                             ")");
    Version = version;
    Columns = columns;
    Rows = rows;
    Scale = std::bit_cast<float>(scale);

    reading("clock");
    if (version >= 2) ElapsedSeconds = SF::ReadInteger(stream);
    reading("program name");
    if (version >= 3) ProgramName = SF::ReadString(stream);
    reading("picture id");
    if (version >= 4) PictureId = SF::ReadCardinal(stream);
    reading("difficulty and aid count");
    if (version >= 6) {
      Difficulty = SF::ReadByte(stream);
      CheatCount = SF::ReadWord(stream);
    }
    const std::string grid = std::to_string(Columns) + " x " + std::to_string(Rows);
    if (Columns < 0 || Rows < 0) throw EJigsawFileError("a grid of " + grid + " pieces");
    reading("piece states");
    const int64_t count = static_cast<int64_t>(Columns) * Rows;
    if (count > stream.Remaining() / static_cast<int64_t>(TJigsawPieceState::Size))
      throw EJigsawFileError("cut short at byte " + std::to_string(stream.Size()) + " (the states of " +
                             grid + " pieces, " + std::to_string(TJigsawPieceState::Size) +
                             " bytes each, begin at byte " + std::to_string(fieldStart) + ")");
    PieceStates = ReadPieceStates(stream, count);

    // Old versions end with the picture as a BMP file.
    reading("picture");
    if (stream.Remaining() > 0) {
      Picture.CopyFrom(stream, stream.Remaining());
      Picture.SetPosition(0);
      try {
        ReadImageSize(sizeReader, Picture, TImageKind::ikBMP);
      } catch (const std::exception& e) {
        throw EJigsawFileError("the " + std::to_string(Picture.Size()) +
                               " bytes after the piece states at byte " + std::to_string(fieldStart) +
                               " are no BMP picture (" + e.what() + ")");
      }
    }
  } catch (const EJigsawFileError&) {
    throw;
  } catch (const EReadError&) {
    throw EJigsawFileError("cut short at byte " + std::to_string(stream.Size()) + " (in the " + field +
                           " that begins at byte " + std::to_string(fieldStart) + ")");
  } catch (const std::exception& e) {
    throw EJigsawFileError(std::string("the ") + field + " at byte " + std::to_string(fieldStart) +
                           " cannot be read (" + e.what() + ")");
  }
}

void TJigsawFile::RebuildPieceStates() {
  if (Columns < 0 || Rows < 0) throw EWriteError();
  TJigsawArrayData states;
  if (Columns > 0 && Rows > 0) {
    if (!Source || Source->Rows() != Rows || Source->Columns() != Columns) throw EWriteError();
    states.reserve(static_cast<std::size_t>(Columns) * static_cast<std::size_t>(Rows));
    for (int32_t r = 0; r < Rows; ++r)
      for (int32_t c = 0; c < Columns; ++c) states.push_back(Source->State(r, c));
  }
  PieceStates = std::move(states);
}

void TJigsawFile::SaveToStream(TStream& stream) {
  if (!Resaving) RebuildPieceStates();
  // A file whose grid and states disagree could not be read back.
  if (Columns < 0 || Rows < 0 || PieceStates.size() != static_cast<std::size_t>(Columns) * Rows)
    throw EWriteError();
  SF::WriteInteger(Magic, stream);
  SF::WriteInteger(CurrentVersion, stream);
  SF::WriteInteger(Columns, stream);
  SF::WriteInteger(Rows, stream);
  SF::WriteCardinal(std::bit_cast<uint32_t>(Scale), stream);
  SF::WriteInteger(ElapsedSeconds, stream);
  SF::WriteString(ProgramName, stream);
  SF::WriteCardinal(PictureId, stream);
  SF::WriteByte(Difficulty, stream);
  SF::WriteWord(CheatCount, stream);
  WritePieceStates(PieceStates, stream);
}

void TJigsawFile::SaveToFile(const std::string& fileName) {
  // Built in memory first, so that nothing touches the file until the whole content is known.
  TMemoryStream image;
  SaveToStream(image);
  WriteFileAtomically(fileName, image.Bytes());
}

void TJigsawFile::Resave(const std::string& fileName, const TImageSizeReader& sizeReader) {
  TResavingScope scope(Resaving);
  LoadFromFile(fileName, sizeReader);
  SaveToFile(fileName);
}

} // namespace kv

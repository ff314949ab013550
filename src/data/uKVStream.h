// Seekable byte streams: a growable memory stream and a file stream.
// Every format of the program reads and writes through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kv {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;

  // Raw transfer: returns the number of bytes moved, which may be short.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Returns the new position. A position before the start raises EReadError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() const { return const_cast<TStream*>(this)->Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Bytes between the position and the end; 0 when the position lies past the end.
  int64_t Remaining() const;
  // Whether count more bytes can be read from the position; false for a negative count. Readers check counts
  // with it before they allocate for them. A stream that produces its content as it is read (an inflating
  // one) produces them first, so that a count is measured against real content, not a guess.
  virtual bool CanRead(int64_t count) { return count >= 0 && count <= Remaining(); }

  // Exact transfer: a short read raises EReadError, a short write EWriteError.
  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
  void WriteBytes(std::span<const uint8_t> bytes) { WriteBuffer(bytes.data(), bytes.size()); }
  // Reads exactly count bytes; checks the count against what is left before allocating.
  std::vector<uint8_t> ReadBytes(int64_t count);
  // Moves the position forward by count bytes; a negative count or one past the end raises EReadError.
  virtual void Skip(int64_t count);

  // Copies count bytes from source at its position; count 0 copies the whole source from its start.
  // Moves data in chunks of at most 10000 bytes. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Growable in-memory stream whose whole content is one contiguous block.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : Data(std::move(bytes)) {}
  TMemoryStream(const TMemoryStream&) = default;
  TMemoryStream& operator=(const TMemoryStream&) = default;
  TMemoryStream(TMemoryStream&&) noexcept = default;
  TMemoryStream& operator=(TMemoryStream&&) noexcept = default;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() const override { return static_cast<int64_t>(Data.size()); }
  void SetSize(int64_t size) override;

  void Clear() {
    Data.clear();
    Pos = 0;
  }
  const uint8_t* Memory() const { return Data.data(); }
  uint8_t* Memory() { return Data.data(); }
  const std::vector<uint8_t>& Bytes() const { return Data; }
  std::vector<uint8_t>& Bytes() { return Data; }
  bool Empty() const { return Data.empty(); }
  // Streams hold the same bytes; the position is where a reader stands, not part of the content.
  bool operator==(const TMemoryStream& other) const { return Data == other.Data; }

  // Replaces the content with a copy of the whole of source (from its start); position 0 afterwards.
  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

private:
  std::vector<uint8_t> Data;
  int64_t Pos = 0;
};

enum class TFileMode {
  fmOpenRead,      // read only, others may read and write
  fmOpenReadWrite, // read and write an existing file
  fmCreate         // create or truncate, read and write
};

class TFileStream : public TStream {
public:
  // Raises EFOpenError or EFCreateError when the file cannot be opened or created.
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() const override;
  void SetSize(int64_t size) override;
  // Pushes written bytes to the operating system; raises EWriteError on failure.
  void Flush();
  const std::string& FileName() const { return Name; }

private:
  std::string Name;
  std::FILE* File = nullptr;
};

bool FileExists(const std::string& fileName);
// The whole of a regular file of at most maxBytes bytes. Anything else is refused without waiting on it: a
// pipe, a device or a folder raises EFOpenError ("Not a regular file"), a larger file EFOpenError ("File too
// large").
std::vector<uint8_t> ReadRegularFile(const std::string& fileName, int64_t maxBytes);
// Whether the name stands for nothing yet or for a regular file (through symbolic links): the files the
// player keeps for itself are read and written only where this holds.
bool AbsentOrRegularFile(const std::string& fileName);
// Writes bytes to fileName through a temporary file in the same folder that is renamed over it, so that a
// failed or interrupted save leaves the previous file intact. A replaced file keeps its permissions and,
// where the system allows, its owner; a new one gets newFileMode within the umask. A symbolic link is written
// through to its target; a device or a pipe, and a file with other hard links, are written in place. A file
// the user may not write is refused. Raises EFCreateError or EWriteError, naming the file and the system's
// reason.
void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes,
                         mode_t newFileMode = 0666);
// Removes what a write of fileName that was cut short (the program killed mid-write) left beside it: the
// temporary files WriteFileAtomically names after it, when older than olderThanSeconds (a write of another
// instance may be under way). Returns how many went; never raises.
int RemoveStaleTemporaries(const std::string& fileName, int64_t olderThanSeconds = 60);

} // namespace kv

#include "data/uKVStream.h"

#include "data/uKVErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

int64_t TStream::Remaining() const {
  const int64_t left = Size() - Position();
  return left > 0 ? left : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count == 0) return;
  if (Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (Write(buffer, count) != count) throw EWriteError();
}

std::vector<uint8_t> TStream::ReadBytes(int64_t count) {
  if (count < 0 || count > Remaining()) throw EReadError();
  std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
  ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

void TStream::Skip(int64_t count) {
  if (count < 0 || count > Remaining()) throw EReadError();
  Seek(count, TSeekOrigin::soCurrent);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0 || count > source.Remaining()) throw EReadError();
  constexpr int64_t chunk = 10000;
  uint8_t buffer[chunk];
  int64_t left = count;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min(left, chunk));
    source.ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    left -= static_cast<int64_t>(n);
  }
  return count;
}

// ---- TMemoryStream

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const int64_t size = Size();
  if (Pos >= size || count == 0) return 0;
  const auto n = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - Pos));
  std::memcpy(buffer, Data.data() + Pos, n);
  Pos += static_cast<int64_t>(n);
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  const auto end = static_cast<std::size_t>(Pos) + count;
  if (end > Data.size()) {
    if (end > Data.capacity()) Data.reserve(std::max(end, Data.capacity() + Data.capacity() / 2));
    Data.resize(end);
  }
  std::memcpy(Data.data() + Pos, buffer, count);
  Pos = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
  case TSeekOrigin::soBeginning:
    base = 0;
    break;
  case TSeekOrigin::soCurrent:
    base = Pos;
    break;
  case TSeekOrigin::soEnd:
    base = Size();
    break;
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) throw EReadError();
  Pos = base + offset;
  return Pos;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EReadError();
  Data.resize(static_cast<std::size_t>(size));
  if (Pos > size) Pos = size;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  const int64_t size = source.Size();
  Data.resize(static_cast<std::size_t>(size));
  source.ReadBuffer(Data.data(), Data.size());
  Pos = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, TFileMode::fmCreate);
  file.WriteBuffer(Data.data(), Data.size());
  file.Flush();
}

// ---- TFileStream

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : Name(fileName) {
  const char* how = mode == TFileMode::fmOpenRead ? "rb" : mode == TFileMode::fmOpenReadWrite ? "r+b" : "w+b";
  File = std::fopen(fileName.c_str(), how);
  if (File) {
    struct stat st {};
    // A folder opens for reading on Linux; it is no file.
    if (fstat(fileno(File), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::fclose(File);
      File = nullptr;
      errno = EISDIR;
    }
  }
  if (!File) {
    const std::string reason = std::strerror(errno);
    if (mode == TFileMode::fmCreate) throw EFCreateError(fileName, reason);
    throw EFOpenError(fileName, reason);
  }
}

TFileStream::~TFileStream() {
  if (File) std::fclose(File);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  return std::fread(buffer, 1, count, File);
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  return std::fwrite(buffer, 1, count, File);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  if (fseeko(File, offset, whence) != 0) throw EReadError();
  return ftello(File);
}

int64_t TFileStream::Size() const {
  struct stat st {};
  std::fflush(File);
  if (fstat(fileno(File), &st) != 0) return 0;
  return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
  std::fflush(File);
  if (size < 0 || ftruncate(fileno(File), size) != 0) throw EWriteError();
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

void TFileStream::Flush() {
  if (std::fflush(File) != 0) throw EWriteError();
}

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes) {
  namespace fs = std::filesystem;
  const fs::path target(fileName);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw EFCreateError(fileName, std::strerror(errno));
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  // Keep the permissions an ordinary new file would get, not mkstemp's 0600 for everyone's documents.
  const mode_t mask = umask(0);
  umask(mask);
  ok = ok && fchmod(fd, 0666 & ~mask) == 0;
  ok = ok && fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || std::rename(pattern.c_str(), fileName.c_str()) != 0) {
    std::remove(pattern.c_str());
    throw EWriteError();
  }
}

} // namespace kv

#include "data/uKVStream.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
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
  if (!CanRead(count)) throw EReadError();
  std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
  ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

void TStream::Skip(int64_t count) {
  if (!CanRead(count)) throw EReadError();
  Seek(count, TSeekOrigin::soCurrent);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (!source.CanRead(count)) throw EReadError();
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

std::vector<uint8_t> ReadRegularFile(const std::string& fileName, int64_t maxBytes) {
  // O_NONBLOCK: opening a pipe with no writer must not wait; a regular file ignores it.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(fileName, std::strerror(errno));
  TScopeExit closeFile([fd] { ::close(fd); });
  struct stat st {};
  if (fstat(fd, &st) != 0) throw EFOpenError(fileName, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw EFOpenError(fileName, "Not a regular file");
  if (st.st_size > maxBytes) throw EFOpenError(fileName, "File too large");
  std::vector<uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Cannot read file \"" + fileName + "\". " + std::strerror(errno));
    if (n == 0) break; // cut short while being read: what is there
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

int RemoveStaleTemporaries(const std::string& fileName, int64_t olderThanSeconds) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(fileName);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // The names mkstemp makes from ".<name>.XXXXXX".
  const std::string prefix = "." + target.filename().string() + ".";
  const auto now = fs::file_time_type::clock::now();
  int removed = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    const auto written = it->last_write_time(ec);
    if (ec || now - written < std::chrono::seconds(olderThanSeconds)) continue;
    if (fs::remove(it->path(), ec)) ++removed;
  }
  return removed;
}

bool AbsentOrRegularFile(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0) return S_ISREG(st.st_mode);
  // A dangling link names a file yet to be made; a name that cannot be looked up is none of ours.
  return errno == ENOENT;
}

namespace {

// Every byte to fd; false with errno set when that fails.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

[[noreturn]] void FailWrite(const std::string& fileName, int error) {
  throw EWriteError("Cannot write file \"" + fileName + "\". " + std::strerror(error));
}

// Straight into the file as it is: a device, a pipe, or a file with other names (hard links) that must keep
// seeing the same file.
void WriteInPlace(const std::string& fileName, const std::string& target, std::span<const uint8_t> bytes,
                  bool regular) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) throw EFCreateError(fileName, std::strerror(errno));
  // A regular file keeps its old bytes until the space for the new ones is certain: on a full disk the
  // reservation fails and the file is as it was.
  if (regular && !bytes.empty()) {
    const int reserved = posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      ::close(fd);
      FailWrite(fileName, reserved);
    }
  }
  bool ok = WriteAll(fd, bytes);
  int error = ok ? 0 : errno;
  if (ok && regular && ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
    ok = false;
    error = errno;
  }
  if (ok && regular && fsync(fd) != 0) {
    ok = false;
    error = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) FailWrite(fileName, error);
}

// The descriptor a name such as /dev/stdout or /dev/fd/3 stands for. Written through the descriptor itself, a
// redirection keeps its meaning: ">>" appends, a pipe gets the bytes, nothing is reopened or replaced.
std::optional<int> OwnDescriptor(const std::string& name) {
  if (name == "/dev/stdout") return 1;
  if (name == "/dev/stderr") return 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) != 0 || name.size() == n || name.size() > n + 6) continue;
    int fd = 0;
    for (std::size_t i = n; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return std::nullopt;
      fd = fd * 10 + (name[i] - '0');
    }
    return fd;
  }
  return std::nullopt;
}

} // namespace

void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes, mode_t newFileMode) {
  namespace fs = std::filesystem;
  if (const std::optional<int> fd = OwnDescriptor(fileName)) {
    if (!WriteAll(*fd, bytes)) FailWrite(fileName, errno);
    return;
  }
  // A symbolic link is written through: its target gets the bytes (and is made when it is not there yet, as
  // the shell's "> link" does), the link stays a link.
  std::error_code ec;
  fs::path target(fileName);
  struct stat st {};
  const bool exists = ::stat(fileName.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) FailWrite(fileName, EISDIR);
  // Devices and pipes take the bytes as they come; there is nothing to replace. Opened by the name given:
  // /dev/stdout leads through /proc to a pipe that has no path of its own.
  if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(fileName, fileName, bytes, false);
  if (exists && fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::canonical(target, ec);
    if (ec) FailWrite(fileName, ec.value());
    target = resolved;
  }
  for (int hops = 0; !exists && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    if (hops == 40) FailWrite(fileName, ELOOP);
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) FailWrite(fileName, ec.value());
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  // A file the user may not write is not replaced behind their back.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw EFCreateError(fileName, std::strerror(errno));
  if (exists && st.st_nlink > 1) return WriteInPlace(fileName, target.string(), bytes, true);

  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw EFCreateError(fileName, std::strerror(errno));
  bool ok = WriteAll(fd, bytes);
  int error = ok ? 0 : errno;
  // A replaced file keeps its permissions (and, where allowed, its owner); a new one gets what an ordinary
  // new file would, not mkstemp's 0600.
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = newFileMode & ~mask;
  if (exists) {
    // The execute bits a new file of this kind gets stay too: a game written over a file runs.
    mode = (st.st_mode & 07777) | (mode & 0111);
    if (fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Only the owner's own files can be given away; the file stays the writer's.
    }
  }
  auto step = [&](bool done) {
    if (ok && !done) {
      ok = false;
      error = errno;
    }
  };
  step(fchmod(fd, mode) == 0);
  step(fsync(fd) == 0);
  step(::close(fd) == 0);
  step(!ok || std::rename(pattern.c_str(), target.c_str()) == 0);
  if (!ok) {
    std::remove(pattern.c_str());
    FailWrite(fileName, error);
  }
}

} // namespace kv

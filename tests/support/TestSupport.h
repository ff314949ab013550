// Helpers shared by the tests: byte builders and private temporary folders.
#pragma once

#include "core/uRandomSource.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvtest {

// A random source whose draws the test decides: Draw(limit) answers every RandomBelow.
class ScriptedRandom : public kv::TRandomSource {
public:
  explicit ScriptedRandom(std::function<int32_t(int32_t limit)> draw) : Draw(std::move(draw)) {}
  int32_t RandomBelow(int32_t limit) override { return Draw(limit); }

private:
  std::function<int32_t(int32_t)> Draw;
};

// Little-endian byte builder for hand-made fixtures.
class Bytes {
public:
  Bytes& u8(uint8_t v);
  Bytes& u16(uint16_t v);
  Bytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
  Bytes& u32(uint32_t v);
  Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& str(std::string_view s);   // counted string
  Bytes& chars(std::string_view s); // raw characters
  Bytes& raw(const std::vector<uint8_t>& b);
  Bytes& raw(std::initializer_list<uint8_t> b);
  const std::vector<uint8_t>& data() const { return Buf; }
  std::size_t size() const { return Buf.size(); }
  kv::TMemoryStream stream() const { return kv::TMemoryStream(Buf); }

private:
  std::vector<uint8_t> Buf;
};

// A fresh empty folder under the build tree, removed when the object goes.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return Path; }
  std::string file(const std::string& name) const { return (Path / name).string(); }

private:
  std::filesystem::path Path;
};

std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);
// The permission bits of a file (0 when it cannot be read), and the process's umask.
unsigned FileMode(const std::string& fileName);
unsigned CurrentUmask();

} // namespace kvtest

#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <sys/stat.h>

namespace kvtest {

Bytes& Bytes::u8(uint8_t v) {
  Buf.push_back(v);
  return *this;
}
Bytes& Bytes::u16(uint16_t v) {
  Buf.push_back(static_cast<uint8_t>(v));
  Buf.push_back(static_cast<uint8_t>(v >> 8));
  return *this;
}
Bytes& Bytes::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) Buf.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return *this;
}
Bytes& Bytes::str(std::string_view s) {
  i32(static_cast<int32_t>(s.size()));
  return chars(s);
}
Bytes& Bytes::chars(std::string_view s) {
  Buf.insert(Buf.end(), s.begin(), s.end());
  return *this;
}
Bytes& Bytes::raw(const std::vector<uint8_t>& b) {
  Buf.insert(Buf.end(), b.begin(), b.end());
  return *this;
}
Bytes& Bytes::raw(std::initializer_list<uint8_t> b) {
  Buf.insert(Buf.end(), b.begin(), b.end());
  return *this;
}

TempDir::TempDir() {
  const char* base = std::getenv("JIGSAW_TEST_TMP");
  std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(root);
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    Path = root / ("t" + std::to_string(rd()));
    if (std::filesystem::create_directory(Path)) return;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(Path, ec);
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + fileName);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

unsigned FileMode(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

unsigned CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + fileName);
}

} // namespace kvtest

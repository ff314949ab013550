// A game author's manifest for jigsaw-pack create. The input is written as the manifest of a private
// folder that also holds a few small asset files (picture.jpg, picture.bmp, sound.wav, music.mid,
// game.ico), so that manifests naming them reach the readers past the file checks.
#include "Manifest.h"
#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"
#include "gui/uPictureConverters.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace kv;

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) std::abort();
}

std::vector<uint8_t> Text(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The folder is made once per process and removed at its end.
struct TFolder {
  fs::path Path;
  TFolder() {
    std::string pattern = (fs::temp_directory_path() / "fuzz_manifest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    Path = pattern;
    TDecodedPicture picture{8, 6, std::vector<uint32_t>(48, 0xFF8040C0u)};
    WriteFile(Path / "picture.jpg", EncodeJpeg(picture).Bytes());
    TMemoryStream bmp;
    WriteBmp(bmp, picture);
    WriteFile(Path / "picture.bmp", bmp.Bytes());
    WriteFile(Path / "sound.wav",
              Text(std::string_view("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1f\0\0\x40\x1f\0\0"
                                    "\1\0\x08\0data\x04\0\0\0\x80\x80\x80\x80",
                                    48)));
    WriteFile(Path / "music.mid",
              Text(std::string_view("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0", 26)));
    WriteFile(Path / "game.ico", {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0});
  }
  ~TFolder() {
    std::error_code ec;
    fs::remove_all(Path, ec);
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const TFolder folder;
  const fs::path manifest = folder.Path / "game.json";
  WriteFile(manifest, std::vector<uint8_t>(data, data + size));
  // Pictures without an id draw one at random: the same every run.
  TJigsawProject2 project(kv::PictureConverterServices());
  project.Random().Seed(1);
  try {
    kvtools::LoadManifest(manifest.string(), project);
  } catch (const kv::Exception& e) {
    if (std::string(e.what()).empty()) std::abort();
  }
  return 0;
}

// Building a package from a manifest of many small pictures, as `jigsaw-pack create` does: the manifest
// read, the stored cuts of every picture, the save. The time must grow with the picture count, not faster.
#include "Manifest.h"
#include "data/uExecData.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

// A manifest of count pictures of a few sizes and every level, written once per count.
struct TManifestFolder {
  kvtest::TempDir Dir;
  std::string Manifest;

  explicit TManifestFolder(int count) {
    nlohmann::json pictures = nlohmann::json::array();
    const std::pair<int, int> levels[] = {{0, 24}, {25, 50}, {51, 100}, {101, 150}, {151, 200}, {201, 400}};
    for (int i = 0; i < count; ++i) {
      const std::string name = "p" + std::to_string(i) + ".jpg";
      kvtest::WriteFileBytes(Dir.file(name), kvtest::MakeJpeg(160 + 40 * (i % 7), 120 + 30 * (i % 5)));
      const auto [minimum, maximum] = levels[i % 6];
      pictures.push_back({{"file", name}, {"pieces", {{"min", minimum}, {"max", maximum}}}});
    }
    Manifest = Dir.file("game.json");
    const std::string text = nlohmann::json{{"title", "Many pictures"}, {"pictures", pictures}}.dump();
    kvtest::WriteFileBytes(Manifest, std::vector<uint8_t>(text.begin(), text.end()));
    kvtest::WriteFileBytes(Dir.file("all.kvjc"), kvtest::GeneratedLibraryBytes());
  }
};

TManifestFolder& Folder(int count) {
  static std::map<int, std::unique_ptr<TManifestFolder>> folders;
  auto& folder = folders[count];
  if (!folder) folder = std::make_unique<TManifestFolder>(count);
  return *folder;
}

void BM_CreatePictures(benchmark::State& state) {
  const TManifestFolder& folder = Folder(static_cast<int>(state.range(0)));
  kv::InstallPackagePictureSteps(folder.Dir.file("all.kvjc"));
  int64_t size = 0;
  for (auto _ : state) {
    kv::TJigsawProject2 project;
    kvtools::LoadManifest(folder.Manifest, project);
    project.CompletePictureCuts();
    if (project.PictureCuts.size() != project.Pictures.size()) state.SkipWithError("a picture was not cut");
    kv::TMemoryStream package;
    project.SaveToStream(package);
    size = package.Size();
  }
  kv::TExecDataWriter::SetPictureSteps(nullptr);
  kv::TJigsawProject2::SetPictureCutBuilder({});
  state.counters["package_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_CreatePictures)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

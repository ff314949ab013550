// Loading a package against bare inflation of its data section: the reader's own work must stay small
// next to zlib's. And writing one, with the thumbnail and the piece shapes the writer computes.
#include "data/uExecData.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

namespace {

struct TenPicturePackage {
  kv::TJigsawProject2 Project;
  kv::TMemoryStream Package;
  kv::TMemoryStream DataSection; // the compressed section alone
  int64_t InflatedSize = 0;

  TenPicturePackage() {
    kv::TJigsawProject2& project = Project;
    for (uint32_t i = 0; i < 10; ++i) {
      kv::TBMPData& picture = project.AddPicture(0, i + 1);
      picture.Name = "Picture " + std::to_string(i + 1);
      picture.Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(1600, 1200, i, 92));
    }
    project.SaveToStream(Package);
    // The preview section is an 8-byte header plus the size it states.
    Package.SetPosition(4);
    int32_t previewSize = 0;
    Package.ReadBuffer(&previewSize, 4);
    const int64_t start = 8 + previewSize;
    DataSection =
        kv::TMemoryStream(std::vector<uint8_t>(Package.Bytes().begin() + start, Package.Bytes().end()));
    kv::TMemoryStream inflated;
    kv::TKVStreamFunc::DecompressStream(DataSection, inflated);
    InflatedSize = inflated.Size();
  }
};

TenPicturePackage& Fixture() {
  static TenPicturePackage fixture;
  return fixture;
}

void BM_PackageLoad(benchmark::State& state) {
  const auto& f = Fixture();
  kv::TMemoryStream package = f.Package;
  for (auto _ : state) {
    kv::TJigsawProject2 project;
    package.SetPosition(0);
    project.LoadFromStream(&package);
    benchmark::DoNotOptimize(project.Pictures.data());
  }
  state.SetBytesProcessed(state.iterations() * f.InflatedSize);
  state.counters["package_MB"] = static_cast<double>(f.Package.Size()) / 1e6;
}
BENCHMARK(BM_PackageLoad)->Unit(benchmark::kMillisecond);

// Bare zlib into a buffer of the known size: the floor any reader has to pay.
void BM_PackageInflate(benchmark::State& state) {
  const auto& f = Fixture();
  std::vector<uint8_t> out(static_cast<std::size_t>(f.InflatedSize));
  for (auto _ : state) {
    uLongf outSize = static_cast<uLongf>(out.size());
    const int rc =
        uncompress(out.data(), &outSize, f.DataSection.Memory(), static_cast<uLong>(f.DataSection.Size()));
    if (rc != Z_OK) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * f.InflatedSize);
}
BENCHMARK(BM_PackageInflate)->Unit(benchmark::kMillisecond);

// The whole save: thumbnail of the first picture, the piece shapes for all ten (from all.kvjc), deflate.
void BM_PackageSave(benchmark::State& state) {
  auto& f = Fixture();
  const kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("all.kvjc"), kvtest::GeneratedLibraryBytes());
  kv::InstallPackagePictureSteps(dir.file("all.kvjc"));
  int64_t size = 0;
  for (auto _ : state) {
    kv::TMemoryStream package;
    f.Project.SaveToStream(package);
    size = package.Size();
    benchmark::DoNotOptimize(package.Memory());
  }
  kv::TExecDataWriter::SetPictureSteps(nullptr);
  state.SetBytesProcessed(state.iterations() * f.InflatedSize);
  state.counters["package_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_PackageSave)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

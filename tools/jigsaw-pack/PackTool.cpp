#include "PackTool.h"

#include "CutPreview.h"
#include "FileJson.h"
#include "Manifest.h"
#include "PackageJson.h"
#include "PackageSummary.h"
#include "PlayRender.h"
#include "PngWriter.h"
#include "data/uAppendedData.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "gui/uJpegCodec.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <optional>

namespace kvtools {

namespace {

constexpr const char* kUsage =
    "usage: jigsaw-pack info [--json] PACKAGE\n"
    "       jigsaw-pack create MANIFEST.json -o GAME.kvj\n"
    "       jigsaw-pack cut PACKAGE --picture ID --difficulty D [--gap PIXELS] -o OUT.jpg|OUT.png\n"
    "       jigsaw-pack play PACKAGE --picture ID --difficulty D [--solve] [--seed N] -o OUT.png|OUT.jpg\n"
    "       jigsaw-pack jsw --json FILE.jsw\n"
    "       jigsaw-pack scores --json FILE\n";

// A package file, or a game executable with a package (and perhaps extra pictures) appended.
struct LoadedPackage {
  kv::TJigsawProject2 Project;
  bool Appended = false;
  kv::TExtJigsawImages Extras;
};

void LoadPackage(const std::string& fileName, LoadedPackage& loaded) {
  kv::TMemoryStream package, extra;
  loaded.Appended = kv::ReadAppendedData(fileName, package, extra);
  if (loaded.Appended) {
    package.SetPosition(0);
    loaded.Project.LoadFromStream(&package);
    if (extra.Size() > 0) loaded.Extras.LoadFromStream(extra);
  } else {
    loaded.Project.LoadFromFile(fileName);
  }
}

nlohmann::ordered_json ExtrasJson(const kv::TExtJigsawImages& extras) {
  auto list = nlohmann::ordered_json::array();
  for (int32_t i = 0; i < extras.Count(); ++i) {
    const kv::TExtJigsawImage& image = extras[static_cast<std::size_t>(i)];
    list.push_back({{"imageId", image.ImageID},
                    {"type", image.ImgType == kv::TExtJigsawImageType::itWallpaper ? "wallpaper" : "picture"},
                    {"format", image.ImgFormat == kv::TImageFormat::ifBMP ? "bmp" : "jpeg"},
                    {"data", BlobJson(image.Stream)}});
  }
  return list;
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool asJson = false;
  std::string file;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json")
      asJson = true;
    else if (file.empty())
      file = args[i];
    else {
      err << kUsage;
      return 2;
    }
  }
  if (file.empty()) {
    err << kUsage;
    return 2;
  }
  LoadedPackage loaded;
  LoadPackage(file, loaded);
  if (asJson) {
    nlohmann::ordered_json j;
    j["source"] = loaded.Appended ? "executable" : "package";
    j["package"] = ProjectJson(loaded.Project);
    if (loaded.Appended) j["extraPictures"] = ExtrasJson(loaded.Extras);
    out << j.dump(2) << '\n';
  } else {
    out << "Source: " << (loaded.Appended ? "game executable" : "package file") << '\n';
    PrintProjectSummary(loaded.Project, out);
    if (loaded.Appended) out << "Extra pictures: " << loaded.Extras.Count() << '\n';
  }
  return 0;
}

int DumpFile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 3 || args[1] != "--json") {
    err << kUsage;
    return 2;
  }
  const nlohmann::ordered_json j = args[0] == "jsw" ? SavedGameJson(args[2]) : HighScoreJson(args[2]);
  out << j.dump(2) << '\n';
  return 0;
}

// A package from a game author's manifest. Nothing is written unless the whole manifest is good and the
// package is complete.
int Create(const std::vector<std::string>& args, std::ostream& err) {
  std::string manifest, output;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size() && output.empty())
      output = args[++i];
    else if (manifest.empty() && args[i] != "-o")
      manifest = args[i];
    else {
      err << kUsage;
      return 2;
    }
  }
  if (manifest.empty() || output.empty()) {
    err << kUsage;
    return 2;
  }
  kv::TJigsawProject2 project;
  try {
    LoadManifest(manifest, project);
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << manifest << ": " << e.what() << '\n';
    return 1;
  }
  try {
    // The package carries the stored cuts of its pictures, so that every load reads the same cuts instead of
    // cutting the pictures anew.
    project.CompletePictureCuts();
    kv::TMemoryStream package;
    project.SaveToStream(package);
    kv::WriteFileAtomically(output, package.Bytes());
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << output << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}

// A whole number from a command-line argument, or nothing when it is not one.
std::optional<int64_t> Number(const std::string& text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The pieces of one cut, spread apart on a neutral background, as a JPEG file.
int Cut(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string package, picture, difficulty, output, spacing;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string* option = args[i] == "--picture"      ? &picture
                          : args[i] == "--difficulty" ? &difficulty
                          : args[i] == "--gap"        ? &spacing
                          : args[i] == "-o"           ? &output
                                                      : nullptr;
    if (option && i + 1 < args.size() && option->empty())
      *option = args[++i];
    else if (!option && package.empty())
      package = args[i];
    else {
      err << kUsage;
      return 2;
    }
  }
  if (package.empty() || picture.empty() || difficulty.empty() || output.empty()) {
    err << kUsage;
    return 2;
  }
  const std::optional<int64_t> id = Number(picture);
  const std::optional<int64_t> level = Number(difficulty);
  if (!id || *id < 0 || *id > UINT32_MAX) {
    err << "jigsaw-pack: --picture: not a picture id: " << picture << '\n';
    return 2;
  }
  if (!level || *level < 0 || *level > 5) {
    err << "jigsaw-pack: --difficulty: must be 0 to 5: " << difficulty << '\n';
    return 2;
  }
  const std::optional<int64_t> gap = spacing.empty() ? std::optional<int64_t>(-1) : Number(spacing);
  if (!gap || *gap < -1 || *gap > 1000) {
    err << "jigsaw-pack: --gap: must be 0 to 1000 pixels: " << spacing << '\n';
    return 2;
  }
  LoadedPackage loaded;
  try {
    LoadPackage(package, loaded);
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << e.what() << '\n';
    return 1;
  }
  try {
    CutPreviewInfo info;
    const kv::TBitmap32 preview =
        RenderCutPreview(loaded.Project, static_cast<uint32_t>(*id), static_cast<uint8_t>(*level),
                         static_cast<int32_t>(*gap), &info);
    // A name ending in .png gets a lossless picture; anything else a JPEG file.
    const bool png =
        output.size() >= 4 && kv::TKVStandardFunc::LowerText(output.substr(output.size() - 4)) == ".png";
    if (png) {
      kv::WriteFileAtomically(output, EncodePng(preview));
    } else {
      kv::TMemoryStream jpeg;
      kv::SaveJpegToStream(preview, jpeg, 90);
      kv::WriteFileAtomically(output, jpeg.Bytes());
    }
    out << info.Columns * info.Rows << " pieces (" << info.Columns << " x " << info.Rows << ") in "
        << preview.Width() << " x " << preview.Height() << " pixels\n";
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}

// A picture as PNG when the name ends in .png, else as JPEG.
void WritePicture(const kv::TBitmap32& picture, const std::string& output) {
  const bool png =
      output.size() >= 4 && kv::TKVStandardFunc::LowerText(output.substr(output.size() - 4)) == ".png";
  if (png) {
    kv::WriteFileAtomically(output, EncodePng(picture));
  } else {
    kv::TMemoryStream jpeg;
    kv::SaveJpegToStream(picture, jpeg, 90);
    kv::WriteFileAtomically(output, jpeg.Bytes());
  }
}

// A game played without a window, scattered as it starts or solved by the solving aids: the final frame of
// the playing area.
int Play(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string package, picture, difficulty, output, seed;
  bool solve = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string* option = args[i] == "--picture"      ? &picture
                          : args[i] == "--difficulty" ? &difficulty
                          : args[i] == "--seed"       ? &seed
                          : args[i] == "-o"           ? &output
                                                      : nullptr;
    if (option && i + 1 < args.size() && option->empty())
      *option = args[++i];
    else if (args[i] == "--solve" && !solve)
      solve = true;
    else if (!option && package.empty() && args[i].rfind("--", 0) != 0)
      package = args[i];
    else {
      err << kUsage;
      return 2;
    }
  }
  if (package.empty() || picture.empty() || difficulty.empty() || output.empty()) {
    err << kUsage;
    return 2;
  }
  const std::optional<int64_t> id = Number(picture);
  const std::optional<int64_t> level = Number(difficulty);
  const std::optional<int64_t> seedValue = seed.empty() ? std::optional<int64_t>(1) : Number(seed);
  if (!id || *id < 1 || *id > 65535) {
    err << "jigsaw-pack: --picture: not a picture id: " << picture << '\n';
    return 2;
  }
  if (!level || *level < 0 || *level > 5) {
    err << "jigsaw-pack: --difficulty: must be 0 to 5: " << difficulty << '\n';
    return 2;
  }
  if (!seedValue || *seedValue < 0) {
    err << "jigsaw-pack: --seed: not a seed: " << seed << '\n';
    return 2;
  }
  LoadedPackage loaded;
  try {
    LoadPackage(package, loaded);
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << e.what() << '\n';
    return 1;
  }
  try {
    PlayOptions options;
    options.PictureId = static_cast<uint32_t>(*id);
    options.Difficulty = static_cast<uint8_t>(*level);
    options.Solve = solve;
    options.Seed = static_cast<uint64_t>(*seedValue);
    PlayInfo info;
    const kv::TBitmap32 frame = RenderPlayedGame(loaded.Project, options, &info);
    WritePicture(frame, output);
    out << info.Columns * info.Rows << " pieces (" << info.Columns << " x " << info.Rows << "), "
        << (info.Won ? "solved" : "scattered") << ", in " << frame.Width() << " x " << frame.Height()
        << " pixels\n";
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}

} // namespace

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  try {
    if (args[0] == "info") return Info(args, out, err);
    if (args[0] == "create") return Create(args, err);
    if (args[0] == "cut") return Cut(args, out, err);
    if (args[0] == "play") return Play(args, out, err);
    if (args[0] == "jsw" || args[0] == "scores") return DumpFile(args, out, err);
    err << kUsage;
    return 2;
  } catch (const std::exception& e) {
    // The file's name first: the program's own messages ("Error", "Stream read error") do not carry it.
    err << "jigsaw-pack: " << (args.size() > 1 ? args.back() + ": " : "") << e.what() << '\n';
    return 1;
  }
}

} // namespace kvtools

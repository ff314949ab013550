#include "PackTool.h"

#include "CutPreview.h"
#include "FileJson.h"
#include "Manifest.h"
#include "PackageJson.h"
#include "PackageSource.h"
#include "PackageSummary.h"
#include "PlayRender.h"
#include "PngWriter.h"
#include "TerminalProgress.h"
#include "core/uKVErrors.h"
#include "data/uAppendedData.h"
#include "data/uEGameExport.h"
#include "data/uExecData.h"
#include "data/uExtJigsawImages.h"
#include "data/uGameData.h"
#include "data/uKVStandardFunc.h"
#include "gui/uJpegCodec.h"
#include "gui/uPictureConverters.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace kvtools {

namespace {

constexpr const char* kUsage =
    "usage: jigsaw-pack info [--json] PACKAGE\n"
    "       jigsaw-pack create MANIFEST.json -o GAME.kvj\n"
    "       jigsaw-pack export PACKAGE -o GAME [--player PATH] [--picture FILE.jpg|FILE.bmp ...]\n"
    "       jigsaw-pack cut PACKAGE --picture ID --difficulty D [--gap PIXELS] -o OUT.jpg|OUT.png\n"
    "       jigsaw-pack play PACKAGE --picture ID --difficulty D [--solve] [--seed N] -o OUT.png|OUT.jpg\n"
    "       jigsaw-pack jsw --json FILE.jsw\n"
    "       jigsaw-pack scores --json FILE\n";

std::string FormatName(const kv::TExtJigsawImage& image) {
  switch (image.ImgFormat) {
  case kv::TImageFormat::ifBMP:
    return "BMP";
  case kv::TImageFormat::ifJPEG:
    return "JPEG";
  }
  return "format " + std::to_string(static_cast<int>(image.ImgFormat));
}

std::string TypeName(const kv::TExtJigsawImage& image) {
  switch (image.ImgType) {
  case kv::TExtJigsawImageType::itPicture:
    return "picture";
  case kv::TExtJigsawImageType::itWallpaper:
    return "wallpaper";
  }
  return "type " + std::to_string(static_cast<int>(image.ImgType));
}

// The picture's size from its header, when its format is one the game reads.
std::optional<kv::TImageInfo> PictureInfo(const kv::TExtJigsawImage& image) {
  if (image.ImgFormat != kv::TImageFormat::ifBMP && image.ImgFormat != kv::TImageFormat::ifJPEG)
    return std::nullopt;
  try {
    return kv::ReadPictureSize(image.Stream.Bytes(), image.ImgFormat == kv::TImageFormat::ifBMP
                                                         ? kv::TImageKind::ikBMP
                                                         : kv::TImageKind::ikJPEG);
  } catch (const kv::Exception&) {
    return std::nullopt;
  }
}

nlohmann::ordered_json ExtrasJson(const kv::TExtJigsawImages& extras) {
  auto list = nlohmann::ordered_json::array();
  for (int32_t i = 0; i < extras.Count(); ++i) {
    const kv::TExtJigsawImage& image = extras[static_cast<std::size_t>(i)];
    nlohmann::ordered_json j = {{"imageId", image.ImageID},
                                {"type", TypeName(image)},
                                {"format", kv::TKVStandardFunc::LowerText(FormatName(image))},
                                {"data", BlobJson(image.Stream)}};
    if (const auto info = PictureInfo(image)) {
      j["width"] = info->Width;
      j["height"] = info->Height;
    }
    list.push_back(std::move(j));
  }
  return list;
}

void PrintExtras(const kv::TExtJigsawImages& extras, std::ostream& out) {
  out << "Extra pictures: " << extras.Count() << '\n';
  for (int32_t i = 0; i < extras.Count(); ++i) {
    const kv::TExtJigsawImage& image = extras[static_cast<std::size_t>(i)];
    out << "  " << TypeName(image) << "  id " << image.ImageID
        << (image.ImageID == 0 ? " (fresh at start)" : "") << ", " << FormatName(image);
    if (const auto info = PictureInfo(image))
      out << ' ' << info->Width << 'x' << info->Height;
    else
      out << " (unreadable)";
    out << ", " << image.Stream.Size() << " bytes\n";
  }
}

// An output that is one of the command's own inputs (the same file by device and inode, whatever the
// spelling, link or hard link) would destroy it: refused, with a message, before anything is written.
bool OutputIsAnInput(const std::string& output, const std::vector<std::string>& inputs, std::ostream& err) {
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (std::filesystem::equivalent(output, input, ec) && !ec) {
      err << "jigsaw-pack: " << output << ": is the input " << input
          << "; writing it would destroy it: name another output file\n";
      return true;
    }
  }
  return false;
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
  try {
    LoadPackage(file, loaded);
  } catch (const std::exception& e) {
    ReportError(err, file, e);
    return 1;
  }
  const kv::TAppendedLayout& layout = loaded.Layout;
  if (asJson) {
    nlohmann::ordered_json j;
    j["source"] = loaded.Appended() ? "executable" : "package";
    if (loaded.Appended())
      j["appended"] = {{"packageOffset", layout.PackageOffset},
                       {"packageSize", layout.PackageSize},
                       {"extraBlockSize", layout.HasExtraBlock ? nlohmann::ordered_json(layout.ExtraSize)
                                                               : nlohmann::ordered_json(nullptr)}};
    j["package"] = ProjectJson(loaded.Project);
    if (loaded.Appended()) j["extraPictures"] = ExtrasJson(loaded.Extras);
    out << j.dump(2) << '\n';
  } else {
    if (loaded.Appended()) {
      out << "Source: game executable, package of " << layout.PackageSize << " bytes at offset "
          << layout.PackageOffset << "; ";
      if (layout.HasExtraBlock)
        out << "extra-picture block of " << layout.ExtraSize << " bytes\n";
      else
        out << "no extra-picture block\n";
      if (loaded.Extras.Count() > 0)
        out << "(the package as the game plays it: its playable pictures replaced by the extra pictures)\n";
    } else {
      out << "Source: package file\n";
    }
    PrintProjectSummary(loaded.Project, out);
    if (loaded.Appended()) PrintExtras(loaded.Extras, out);
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

// A failed write: the system's message names the file already ("Cannot write file ..."); other messages get
// the output's name in front.
void ReportWriteError(std::ostream& err, const std::string& output, const std::exception& e) {
  const std::string what = e.what();
  err << "jigsaw-pack: " << (what.find(output) == std::string::npos ? output + ": " : "") << what << '\n';
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
  TTerminalProgress progress(err, IsTerminal(err));
  kv::TJigsawProject2 project(kv::ProgramPackageServices());
  std::vector<std::string> inputs;
  try {
    progress.Step("Reading pictures");
    LoadManifest(manifest, project, &inputs,
                 [&progress](int32_t done, int32_t total) { progress(done, total); });
  } catch (const std::exception& e) {
    progress.End();
    err << "jigsaw-pack: " << manifest << ": " << e.what() << '\n';
    return 1;
  }
  if (std::ostringstream refusal; OutputIsAnInput(output, inputs, refusal)) {
    progress.End();
    err << refusal.str();
    return 1;
  }
  kv::TMemoryStream package;
  try {
    // The package carries the stored cuts of its pictures, so that every load reads the same cuts instead of
    // cutting the pictures anew.
    progress.Step("Cutting pictures");
    project.CompletePictureCuts([&progress](int32_t done, int32_t total) { progress(done, total); });
    progress.Step("Writing the package");
    project.SaveToStream(package);
  } catch (const std::exception& e) {
    progress.End();
    // Cutting and drawing the pictures (thumbnail, prepared games) fails for what the manifest names.
    err << "jigsaw-pack: " << manifest << ": " << ToolMessage(e) << '\n';
    return 1;
  }
  try {
    kv::WriteFileAtomically(output, package.Bytes());
  } catch (const std::exception& e) {
    progress.End();
    ReportWriteError(err, output, e);
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
  if (OutputIsAnInput(output, {package}, err)) return 1;
  LoadedPackage loaded;
  try {
    LoadPackage(package, loaded);
  } catch (const std::exception& e) {
    ReportError(err, package, e);
    return 1;
  }
  try {
    CutPreviewInfo info;
    const kv::TBitmap32 preview =
        RenderCutPreview(loaded.Project, static_cast<uint32_t>(*id), static_cast<uint8_t>(*level),
                         static_cast<int32_t>(*gap), &info);
    try {
      WritePicture(preview, output);
    } catch (const std::exception& e) {
      ReportWriteError(err, output, e);
      return 1;
    }
    out << info.Columns * info.Rows << " pieces (" << info.Columns << " x " << info.Rows << ") in "
        << preview.Width() << " x " << preview.Height() << " pixels\n";
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << ToolMessage(e) << '\n';
    return 1;
  }
  return 0;
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
  if (OutputIsAnInput(output, {package}, err)) return 1;
  LoadedPackage loaded;
  try {
    LoadPackage(package, loaded);
  } catch (const std::exception& e) {
    ReportError(err, package, e);
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
    try {
      WritePicture(frame, output);
    } catch (const std::exception& e) {
      ReportWriteError(err, output, e);
      return 1;
    }
    out << info.Columns * info.Rows << " pieces (" << info.Columns << " x " << info.Rows << "), "
        << (info.Won ? "solved" : "scattered") << ", in " << frame.Width() << " x " << frame.Height()
        << " pixels\n";
  } catch (const std::exception& e) {
    err << "jigsaw-pack: " << package << ": " << ToolMessage(e) << '\n';
    return 1;
  }
  return 0;
}

// The player a game is made from when none is named: the program jigsaw beside this one.
std::string DefaultPlayerPath() {
  const std::filesystem::path self = kv::TGameDataLocator::OwnExecutablePath();
  return (self.parent_path() / "jigsaw").string();
}

// A standalone game: a bare player, the package of PACKAGE and its trailer, and the extra pictures. Without
// --picture a game keeps the extra pictures it has; with --picture they replace the ones it has (wallpapers
// among them stay). Nothing is written unless the whole game could be made.
int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string package, output, playerOption;
  std::vector<std::string> pictures;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "-o" && hasValue && output.empty())
      output = args[++i];
    else if (args[i] == "--player" && hasValue && playerOption.empty())
      playerOption = args[++i];
    else if (args[i] == "--picture" && hasValue)
      pictures.push_back(args[++i]);
    else if (package.empty() && args[i].rfind("-", 0) != 0)
      package = args[i];
    else {
      err << kUsage;
      return 2;
    }
  }
  if (package.empty() || output.empty()) {
    err << kUsage;
    return 2;
  }
  for (const auto& picture : pictures)
    if (!kv::ExtraPictureFormat(picture)) {
      err << "jigsaw-pack: --picture: " << picture
          << " is not a picture a game can carry: use a .bmp or .jpg file\n";
      return 2;
    }
  std::error_code ignored;
  if (std::filesystem::is_directory(output, ignored)) {
    err << "jigsaw-pack: " << output << " is a folder: name the game file to write\n";
    return 2;
  }

  std::vector<std::string> inputs = pictures;
  inputs.push_back(package);
  inputs.push_back(playerOption.empty() ? DefaultPlayerPath() : playerOption);
  if (OutputIsAnInput(output, inputs, err)) return 1;
  LoadedPackage source;
  try {
    LoadPackage(package, source);
  } catch (const std::exception& e) {
    ReportError(err, package, e);
    return 1;
  }

  // The player: as named, else beside this program, else the player part of the game given as PACKAGE.
  std::string playerName = playerOption.empty() ? DefaultPlayerPath() : playerOption;
  std::vector<uint8_t> player;
  try {
    if (playerOption.empty() && !kv::FileExists(playerName)) {
      if (!source.Appended()) {
        err << "jigsaw-pack: no player to make the game from: " << playerName
            << " does not exist; name the player program with --player PATH\n";
        return 1;
      }
      playerName = "the player part of " + package;
      player = kv::StripAppendedData(source.File, package);
    } else {
      kv::TMemoryStream file;
      file.LoadFromFile(playerName);
      player = kv::StripAppendedData(file.Bytes(), playerName);
    }
  } catch (const std::exception& e) {
    ReportError(err, playerName, e);
    return 1;
  }
  if (player.empty()) {
    err << "jigsaw-pack: the player " << playerName << " is empty: it cannot carry a game\n";
    return 1;
  }

  kv::TMemoryStream extra;
  int32_t extraCount = 0;
  try {
    if (!pictures.empty()) {
      kv::TExtJigsawImages images;
      for (int32_t i = 0; i < source.Extras.Count(); ++i) {
        const kv::TExtJigsawImage& kept = source.Extras[static_cast<std::size_t>(i)];
        if (kept.ImgType == kv::TExtJigsawImageType::itWallpaper) images.Add() = kept;
      }
      const kv::TExtJigsawImages added = kv::ExtraPicturesFromFiles(source.Project, pictures);
      for (int32_t i = 0; i < added.Count(); ++i) images.Add() = added[static_cast<std::size_t>(i)];
      extra = kv::MakeExtraStream(images);
      extraCount = images.Count();
    } else if (source.Layout.HasExtraBlock) {
      // The block as it is, with its length and magic: the new game plays what this one plays.
      extra = kv::TMemoryStream(std::vector<uint8_t>(
          source.File.begin() + static_cast<std::ptrdiff_t>(source.Layout.TrailerEnd), source.File.end()));
      extraCount = source.Extras.Count();
    }
  } catch (const std::exception& e) {
    // The picture files name themselves in their messages.
    ReportError(err, {}, e);
    return 1;
  }

  try {
    const std::vector<uint8_t> game = kv::AssembleGame(player, source.Package, extra);
    kv::WriteGameImage(output, game);
    out << output << ": " << game.size() << " bytes: player of " << player.size() << " bytes (" << playerName
        << "), package of " << source.Package.Size() << " bytes";
    if (extra.Empty())
      out << ", no extra pictures\n";
    else
      out << ", " << extraCount << " extra picture(s) in " << extra.Size() - 8 << " bytes\n";
  } catch (const std::exception& e) {
    ReportError(err, output, e);
    return 1;
  }
  return 0;
}

} // namespace

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args[0] == "info") return Info(args, out, err);
    if (args[0] == "create") return Create(args, err);
    if (args[0] == "export") return Export(args, out, err);
    if (args[0] == "cut") return Cut(args, out, err);
    if (args[0] == "play") return Play(args, out, err);
    if (args[0] == "jsw" || args[0] == "scores") return DumpFile(args, out, err);
    err << kUsage;
    return 2;
  } catch (const std::exception& e) {
    // The file's name first, unless the message names it: the program's own messages ("Stream read error")
    // do not carry it.
    const std::string message = ToolMessage(e);
    const bool named = args.size() > 1 && message.find(args.back()) != std::string::npos;
    err << "jigsaw-pack: " << (args.size() > 1 && !named ? args.back() + ": " : "") << message << '\n';
    return 1;
  }
}

} // namespace

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  // "-o -": the output goes to standard output, and what the command tells goes to standard error.
  std::vector<std::string> arguments = args;
  bool toStdout = false;
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i)
    if (arguments[i] == "-o" && arguments[i + 1] == "-") {
      arguments[i + 1] = "/dev/stdout";
      toStdout = true;
    }
  return RunCommand(arguments, toStdout ? err : out, err);
}

} // namespace kvtools

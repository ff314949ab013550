#include "jigsaw/uPackagePictureSteps.h"

#include "core/uKVErrors.h"
#include "data/uGameData.h"
#include "data/uImageInfo.h"
#include "gui/uBitmap32.h"
#include "gui/uJpegCodec.h"
#include "gui/uPictureConverters.h"
#include "gui/uPictureFormat.h"
#include "jigsaw/uJigsawSpriteCreator.h"
#include "jigsaw/uKVJigsawCut.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

namespace kv {

namespace {

// The first picture with id at most 65535: the thumbnail's. The prepared game also takes the only picture
// when there is exactly one.
const TBMPData* FirstPicture(const TJigsawProject2& project, bool orOnly) {
  if (orOnly && project.Pictures.size() == 1) return project.Pictures.front().get();
  for (const auto& picture : project.Pictures)
    if (picture->ID <= 0xFFFF) return picture.get();
  return nullptr;
}

TMemoryStream PieceStatesStream(const TJigsawArrayData& states) {
  TMemoryStream stream;
  for (const TJigsawPieceState& state : states) {
    const auto bytes = state.Encode();
    stream.WriteBuffer(bytes.data(), bytes.size());
  }
  stream.SetPosition(0);
  return stream;
}

} // namespace

TImageInfo StoredPictureSize(const TBMPData& picture) {
  const TImageKind kind = DetectPictureKind(std::span<const uint8_t>(picture.Data.Bytes())) == pkBMP
                              ? TImageKind::ikBMP
                              : TImageKind::ikJPEG;
  return ReadPictureSize(std::span<const uint8_t>(picture.Data.Bytes()), kind);
}

void DecodePackagePicture(const TBMPData& picture, TBitmap32& bitmap) {
  TMemoryStream data(picture.Data.Bytes());
  if (LoadPicture(bitmap, data) == pkPNG || bitmap.Empty()) throw EImageError("The picture cannot be read.");
}

namespace {

// Decodes picture into bitmap and returns its stored size. A JPEG comes out at libjpeg's smallest scale that
// keeps at least minimumFor(stored size) pixels; any other picture at its own size.
TImageInfo DecodeAtLeast(const TBMPData& picture,
                         const std::function<TImageInfo(TImageInfo stored)>& minimumFor, TBitmap32& bitmap) {
  const std::span<const uint8_t> bytes(picture.Data.Bytes());
  if (DetectPictureKind(bytes) != pkJPEG) {
    DecodePackagePicture(picture, bitmap);
    return {bitmap.Width(), bitmap.Height()};
  }
  const TImageInfo stored = ReadJpegSize(bytes);
  const TImageInfo minimum = minimumFor(stored);
  bitmap.Assign(DecodeJpegAtLeast(bytes, minimum.Width, minimum.Height));
  return stored;
}

} // namespace

TImageInfo DecodeGamePicture(const TBMPData& picture, const TKVJigsawPieceLibrary& library,
                             uint8_t difficulty, TBitmap32& bitmap) {
  // The cut stretches the picture to the final size of its layout; a decode at least that large loses
  // nothing the game shows.
  return DecodeAtLeast(
      picture,
      [&](TImageInfo stored) {
        try {
          const TLayoutChoice choice = library.ChooseLayoutSize(stored.Width, stored.Height, difficulty);
          if (choice.LayoutIndex >= 0) return TImageInfo{choice.FinalWidth, choice.FinalHeight};
        } catch (const Exception&) {
          // No layout fits: the cut reports that itself, from the picture decoded whole.
        }
        return stored;
      },
      bitmap);
}

std::string ProgramLibraryFile() {
  const std::filesystem::path exe(TGameDataLocator::OwnExecutablePath());
  return (exe.parent_path() / "all.kvjc").string();
}

const TKVJigsawPieceLibrary& TEnginePictureSteps::Library() {
  if (!Loaded) {
    auto library = std::make_unique<TKVJigsawPieceLibrary>();
    try {
      library->LoadFromFile(LibraryFile);
    } catch (const Exception& e) {
      throw Exception("The piece library " + LibraryFile + " cannot be read: " + e.what());
    }
    if (library->Layouts.empty() || library->Templates.empty())
      throw Exception("The piece library " + LibraryFile + " holds no piece shapes.");
    Loaded = std::move(library);
  }
  return *Loaded;
}

TKVJigsawPieceLibrary TEnginePictureSteps::PackageLibrary(const TJigsawProject2& project) {
  std::vector<std::pair<int32_t, int32_t>> sizes;
  for (const auto& picture : project.Pictures) {
    if ((picture->ID & 0xFFFF) == 0) continue;
    try {
      const TImageInfo size = StoredPictureSize(*picture);
      sizes.emplace_back(size.Width, size.Height);
    } catch (const Exception&) {
      // a picture without a readable header cannot be played; it needs no layout
    }
  }
  return Library().PackageLibrary(sizes);
}

void TEnginePictureSteps::MakeThumbnail(TJigsawProject2& project) {
  const TBMPData* picture = FirstPicture(project, false);
  if (!picture) return;
  TBitmap32 bitmap;
  // A thumbnail needs no more than libjpeg's smallest scale of a photo.
  const TImageInfo size = DecodeAtLeast(
      *picture,
      [](TImageInfo stored) {
        const TThumbnailSize thumbnail = ThumbnailSize(stored.Width, stored.Height);
        return TImageInfo{thumbnail.Width, thumbnail.Height};
      },
      bitmap);
  project.Thumbnail = kv::MakeThumbnail(std::move(bitmap), ThumbnailSize(size.Width, size.Height));
  project.ThumbnailColumns = 0;
  project.ThumbnailRows = 0;
  if (const TPictureSettings* settings = project.FindPictureSettings(picture->ID)) {
    const TAreaSize area = project.SkinModeArea();
    const TScaleGrid grid = TKVJigsawPieceLibrary::FitScaleGrid(
        settings->NumPiecesMin, settings->NumPiecesMax, size.Width, size.Height, area.Width, area.Height);
    project.ThumbnailColumns = grid.Columns;
    project.ThumbnailRows = grid.Rows;
  }
}

TPreparedGame TEnginePictureSteps::PrepareGame(const TJigsawProject2& project, const TBMPData& picture,
                                               const TKVJigsawPieceLibrary& shapes) {
  // Cut with the shapes the package will carry, at the difficulty the player gives this picture, so that
  // the player rebuilds exactly these pieces from the stored records.
  TJigsawSpriteCreator creator(project.Random());
  creator.Library = shapes;
  const uint8_t difficulty = project.DifficultyIndex(picture.ID);
  TBitmap32 bitmap;
  const TImageInfo size = DecodeGamePicture(picture, shapes, difficulty, bitmap);
  creator.Carver.OutlineOption = project.PreparedFlag != 0;
  creator.Carver.OutlineColor = project.PreparedColor;
  const TAreaSize area = project.SkinModeArea();
  if (area.Width > 0 && area.Height > 0) {
    creator.AreaWidth = area.Width;
    creator.AreaHeight = area.Height;
  }
  creator.NoRotation = project.NoRotation != 0;
  creator.Build(std::move(bitmap), difficulty, size);
  TPreparedGame game;
  game.Columns = creator.Cols();
  game.Rows = creator.Rows();
  game.Pieces = PieceStatesStream(creator.PieceStates());
  return game;
}

void TEnginePictureSteps::MakePreparedGame(TJigsawProject2& project) {
  const TBMPData* picture = FirstPicture(project, true);
  if (!picture) return;
  project.PreparedGame = PrepareGame(project, *picture, PackageLibrary(project));
}

void TEnginePictureSteps::MakePreparedGames(TJigsawProject2& project) {
  std::optional<TKVJigsawPieceLibrary> shapes; // found once, for the first picture that asks
  for (const TPictureSettings& settings : project.PictureSettings) {
    if (settings.PrepareGame == 0) continue;
    const auto found = std::find_if(project.Pictures.begin(), project.Pictures.end(),
                                    [&](const auto& p) { return p->ID == settings.PictureID; });
    if (found == project.Pictures.end()) continue;
    const TBMPData* picture = found->get();
    if (!shapes) shapes = PackageLibrary(project);
    TPreparedGame game = PrepareGame(project, *picture, *shapes);
    auto entry = std::make_unique<TPreparedPictureGame>();
    entry->PictureID = picture->ID;
    entry->Columns = game.Columns;
    entry->Rows = game.Rows;
    entry->Pieces = std::move(game.Pieces);
    project.PreparedGames.push_back(std::move(entry));
  }
}

TMemoryStream TEnginePictureSteps::PieceShapes(const TJigsawProject2& project) {
  TMemoryStream shapes;
  PackageLibrary(project).SaveToStream(shapes);
  shapes.SetPosition(0);
  return shapes;
}

std::optional<std::vector<TEdgeShapes>> TEnginePictureSteps::CutPicture(const TJigsawProject2& project,
                                                                        const TBMPData& picture) {
  return CutBuilder(project)(project, picture, project.PictureCutScale(picture.ID));
}

TPictureCutBuilder TEnginePictureSteps::CutBuilder(const TJigsawProject2& project) {
  auto shapes = std::make_shared<TKVJigsawPieceLibrary>();
  try {
    if (project.PieceShapeData.Size() > 4) {
      TMemoryStream stream(project.PieceShapeData.Bytes());
      shapes->LoadFromStream(stream);
    } else {
      *shapes = PackageLibrary(project);
    }
  } catch (const Exception&) {
    // Without shapes no picture can be cut.
    return [](const TJigsawProject2&, const TBMPData&, const TPictureCutScale&) { return std::nullopt; };
  }
  return [shapes](const TJigsawProject2& owner, const TBMPData& picture,
                  const TPictureCutScale&) -> std::optional<std::vector<TEdgeShapes>> {
    try {
      // The layout goes by the picture's stored size, as in a game; the edges are drawn as a game draws them.
      TKVJigsawCut cut;
      cut.CutForSize(*shapes, StoredPictureSize(picture), owner.DifficultyIndex(picture.ID), owner.Random());
      std::vector<TEdgeShapes> edges;
      edges.reserve(cut.PieceItems.size());
      for (const TKVPuzzlePieceItem& item : cut.PieceItems)
        edges.push_back({static_cast<uint8_t>(item.LeftEdge + 1), static_cast<uint8_t>(item.TopEdge + 1),
                         static_cast<uint8_t>(item.RightEdge + 1),
                         static_cast<uint8_t>(item.BottomEdge + 1)});
      return edges;
    } catch (const Exception&) {
      return std::nullopt;
    }
  };
}

TPackageServices ProgramPackageServices() {
  return PictureConverterServices();
}

void InstallPackagePictureSteps(const std::string& libraryFile) {
  auto steps = std::make_shared<TEnginePictureSteps>(libraryFile);
  TExecDataWriter::SetPictureSteps(steps);
  TJigsawProject2::SetPictureCutBatch(
      [steps](const TJigsawProject2& project) { return steps->CutBuilder(project); });
}

} // namespace kv

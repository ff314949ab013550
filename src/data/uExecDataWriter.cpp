#include "data/uExecDataWriter.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "data/uLittleEndian.h"

#include <climits>
#include <utility>

namespace kv {

namespace {

using SF = TKVStreamFunc;
namespace Tag = PackageTag;

std::shared_ptr<TPackagePictureSteps>& Steps() {
  static std::shared_ptr<TPackagePictureSteps> steps = std::make_shared<TPackagePictureSteps>();
  return steps;
}

int32_t Length32(int64_t length) {
  if (length < 0 || length > INT32_MAX) throw EWriteError();
  return static_cast<int32_t>(length);
}

void Header(uint16_t tag, int64_t length, TStream& s) {
  SF::WriteWord(static_cast<int16_t>(tag), s);
  SF::WriteInteger(Length32(length), s);
}

// Writes tag, length and the payload that `write` puts out. The length is measured from the payload; a
// few records count `beyond` bytes more (or fewer) than they hold, as the format has it.
template <typename Write> void Record(uint16_t tag, int64_t beyond, TMemoryStream& s, Write&& write) {
  SF::WriteWord(static_cast<int16_t>(tag), s);
  const int64_t lengthAt = s.Position();
  SF::WriteInteger(0, s);
  write();
  const int32_t length = Length32(s.Position() - lengthAt - 4 + beyond);
  StoreLE<int32_t>(length, s.Memory() + lengthAt);
}

template <typename Write> void Record(uint16_t tag, TMemoryStream& s, Write&& write) {
  Record(tag, 0, s, std::forward<Write>(write));
}

void WriteBlob(const TMemoryStream& blob, TStream& s) {
  s.WriteBytes(blob.Bytes());
}

void WriteSized(const TMemoryStream& blob, TStream& s) {
  SF::WriteInteger(Length32(blob.Size()), s);
  WriteBlob(blob, s);
}

void WriteZeros(std::size_t count, TStream& s) {
  for (std::size_t i = 0; i < count; ++i) SF::WriteByte(0, s);
}

void WriteCount(std::size_t count, TStream& s) {
  SF::WriteInteger(Length32(static_cast<int64_t>(count)), s);
}

TMemoryStream ScriptStream(const TScriptItem& script) {
  TMemoryStream stream;
  script.SaveToStream(stream);
  return stream;
}

void WriteNodeList(const TMenuList& list, TStream& s) {
  WriteCount(list.size(), s);
  for (const auto& node : list) {
    SF::WriteCardinal(node->ID, s);
    SF::WriteCardinal(node->ParentID, s);
    SF::WriteByte(node->MenuNumber, s);
    SF::WriteString(node->Name, s);
    SF::WriteString(node->Caption, s);
    SF::WriteByte(node->Visible, s);
    SF::WriteInteger(node->Script.ID, s);
    WriteSized(ScriptStream(node->Script), s);
    SF::WriteInteger(node->Reserved, s);
    WriteNodeList(node->Children, s);
  }
}

uint32_t FlagsWord(const TJigsawProject2& p) {
  uint32_t flags = 0;
  if (p.Options.NoHighScores) flags |= 1;
  if (p.Options.NoDragMode) flags |= 2;
  if (p.Options.ShowGhost) flags |= 4;
  flags |= static_cast<uint32_t>(p.BevelLevel & 7) << 3;
  if (p.Options.ShowPreview) flags |= 64;
  flags |= static_cast<uint32_t>(p.PreviewScale & 7) << 7;
  return flags;
}

// ---- the records, one writer each, in the order of the data section

void WriteNamedData(uint16_t tag, const TNamedData& file, TMemoryStream& s) {
  // The length holds the file size only; a record of length 0 could carry no fields, so a picture or sound
  // without data is not written at all.
  if (file.Data.Empty()) return;
  Header(tag, file.Data.Size(), s);
  SF::WriteCardinal(file.ID, s);
  SF::WriteString(file.Name, s);
  WriteBlob(file.Data, s);
  SF::WriteInteger(0, s);
}

void WritePictures(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& picture : p.Pictures) WriteNamedData(Tag::Picture, *picture, s);
}

void WriteSounds(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& sound : p.Sounds) WriteNamedData(Tag::Sound, *sound, s);
}

void WriteEventSounds(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& slot : p.EventSounds)
    // The length counts the sound ids only, not the slot number and the extension count.
    Record(Tag::EventSounds, -8, s, [&] {
      SF::WriteInteger(slot.Slot, s);
      for (const uint32_t id : slot.SoundIds) SF::WriteCardinal(id, s);
      SF::WriteInteger(0, s);
    });
}

void WritePreparedGame(const TJigsawProject2& p, TMemoryStream& s) {
  const TPreparedGame& game = p.PreparedGame;
  if (game.Columns < 1 || game.Rows < 1) return;
  Record(Tag::PreparedGame, s, [&] {
    SF::WriteInteger(game.Columns, s);
    SF::WriteInteger(game.Rows, s);
    WriteBlob(game.Pieces, s);
    SF::WriteInteger(0, s);
  });
}

void WritePreparedPictureGames(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& game : p.PreparedGames)
    Record(Tag::PreparedPictureGame, s, [&] {
      SF::WriteCardinal(game->PictureID, s);
      SF::WriteInteger(game->Columns, s);
      SF::WriteInteger(game->Rows, s);
      WriteBlob(game->Pieces, s);
      SF::WriteInteger(0, s);
    });
}

void WriteCutDefaults(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::CutDefaults, s, [&] {
    SF::WriteByte(p.PieceScale, s);
    SF::WriteByte(p.CutOption, s);
    SF::WriteByte(p.PreparedFlag, s);
    SF::WriteByte(0, s);
    SF::WriteInteger(p.PreparedColor, s);
    SF::WriteInteger(0, s);
  });
}

void WritePieceRange(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::PieceRange, s, [&] {
    SF::WriteInteger(p.NumPiecesMin, s);
    SF::WriteInteger(p.NumPiecesMax, s);
    SF::WriteInteger(p.EmbedPreparedGame, s);
    SF::WriteInteger(0, s);
  });
}

void WritePictureSettings(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& entry : p.PictureSettings)
    Record(Tag::PictureSettings, s, [&] {
      SF::WriteCardinal(entry.PictureID, s);
      SF::WriteInteger(entry.NumPiecesMin, s);
      SF::WriteInteger(entry.NumPiecesMax, s);
      SF::WriteByte(entry.PrepareGame, s);
      SF::WriteInteger(0, s);
    });
}

void WritePictureChoice(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::PictureChoice, s, [&] {
    SF::WriteByte(p.PictureChoiceMode, s);
    WriteZeros(3, s);
    SF::WriteInteger(0, s);
  });
}

void WriteCountdown(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::Countdown, s, [&] {
    SF::WriteByte(p.Countdown, s);
    WriteZeros(3, s);
    SF::WriteInteger(p.CountdownSeconds, s);
    SF::WriteInteger(0, s);
  });
}

void WriteLegacySkin(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::LegacySkin, s, [&] {
    SF::WriteWord(p.SkinMode, s);
    WriteSized(p.LegacySkinData, s);
    SF::WriteInteger(0, s);
  });
}

void WriteImageButtons(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& button : p.Buttons)
    // The length is 16 more than the payload, as the format has it.
    Record(Tag::ImageButton, 16, s, [&] {
      SF::WriteCardinal(button->ID, s);
      SF::WriteInteger(button->Left, s);
      SF::WriteInteger(button->Top, s);
      for (const auto& image : button->Images) WriteSized(image, s);
      SF::WriteInteger(button->Width, s);
      SF::WriteInteger(button->Height, s);
      SF::WriteInteger(button->Action, s);
      SF::WriteInteger(button->Reserved, s);
    });
}

void WriteBoardArea(const TJigsawProject2& p, TMemoryStream& s) {
  if (p.BoardArea[2] == 0 || p.BoardArea[3] == 0) return;
  Record(Tag::BoardArea, s, [&] {
    for (std::size_t i = 0; i < 4; ++i) SF::WriteInteger(p.BoardArea[i], s);
    // The fifth value is read as an extension count: anything but 0 would hide the next record.
    SF::WriteInteger(0, s);
  });
}

void WriteLegacyStream(TMemoryStream& s) {
  Record(Tag::LegacyStream, s, [&] {
    SF::WriteInteger(0, s);
    SF::WriteInteger(0, s);
  });
}

void WriteWallpaperDefaults(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::WallpaperDefaults, s, [&] {
    SF::WriteInteger(p.WallpaperParam, s);
    // WallpaperParam2 is read as an extension count: anything but 0 would hide the next record.
    SF::WriteInteger(0, s);
  });
}

void WriteSkins(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& skin : p.Skins)
    Record(Tag::Skin, s, [&] {
      SF::WriteCardinal(skin->ID, s);
      SF::WriteWord(skin->SkinMode, s);
      WriteSized(skin->Data, s);
      SF::WriteInteger(skin->Reserved, s);
      WriteCount(skin->ButtonIds.size(), s);
      for (const uint32_t id : skin->ButtonIds) SF::WriteCardinal(id, s);
      for (const int32_t value : skin->Area) SF::WriteInteger(value, s);
      SF::WriteInteger(skin->Reserved2, s);
    });
}

void WriteTitle(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::Title, s, [&] {
    SF::WriteString(p.Title, s);
    SF::WriteInteger(0, s);
  });
}

void WriteIcon(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::Icon, s, [&] {
    WriteSized(p.Icon, s);
    SF::WriteInteger(0, s);
  });
}

void WriteSoundAndWindow(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::SoundAndWindow, s, [&] {
    SF::WriteByte(p.SoundOn, s);
    SF::WriteByte(p.WindowPosition, s);
    SF::WriteInteger(0, s);
  });
}

void WriteWallpapers(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& entry : p.Wallpapers)
    Record(Tag::Wallpaper, s, [&] {
      SF::WriteCardinal(entry.ID, s);
      SF::WriteInteger(entry.Param, s);
      SF::WriteInteger(entry.Param2, s);
      SF::WriteInteger(0, s);
    });
}

void WriteActionGroups(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& group : p.ActionGroups)
    Record(Tag::ActionGroup, s, [&] {
      TMemoryStream content;
      group->SaveToStream(content);
      WriteSized(content, s);
    });
}

void WriteMenuTree(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::MenuTree, s, [&] { WriteNodeList(p.Menus, s); });
}

void WriteStartSelection(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::StartSelection, s, [&] {
    SF::WriteInteger(p.StartWallpaperIndex, s);
    SF::WriteInteger(p.StartSkinIndex, s);
  });
}

void WritePictureCuts(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& cut : p.PictureCuts)
    Record(Tag::PictureCut, s, [&] {
      SF::WriteCardinal(cut.PictureID, s);
      WriteCount(cut.Pieces.size(), s);
      for (const auto& piece : cut.Pieces) s.WriteBuffer(piece.data(), piece.size());
    });
}

void WriteCutUse(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::CutUse, s, [&] { SF::WriteByte(p.UseStoredCuts, s); });
}

void WriteClockDisplays(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& clock : p.ClockDisplays)
    Record(Tag::ClockDisplay, s, [&] {
      SF::WriteCardinal(clock->ID, s);
      SF::WriteCardinal(clock->SkinID, s);
      SF::WriteInteger(clock->Left, s);
      SF::WriteInteger(clock->Top, s);
      SF::WriteInteger(clock->Width, s);
      SF::WriteInteger(clock->Height, s);
      SF::WriteByte(clock->Transparent, s);
      SF::WriteByte(clock->Reserved, s);
      SF::WriteInteger(clock->Background, s);
      SF::WriteInteger(clock->FontColor, s);
      SF::WriteString(clock->FontName, s);
      SF::WriteInteger(clock->FontHeight, s);
      SF::WriteInteger(clock->FontSize, s);
      SF::WriteByte(clock->FontStyle, s);
      WriteSized(clock->Data, s);
    });
}

void WritePieceOptions(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::PieceOptions, s, [&] {
    SF::WriteByte(p.NoRotation, s);
    SF::WriteByte(p.PieceOption2, s);
    SF::WriteByte(p.OutlineOption, s);
  });
}

void WriteBanners(const TJigsawProject2& p, TMemoryStream& s) {
  for (int32_t i = 0; i < p.Banners.Count(); ++i) TBanners::WriteRecord(*p.Banners.Items(i), s);
  for (int32_t i = 0; i < p.BannerContainers.Count(); ++i)
    TBannerContainerManager::WriteRecord(*p.BannerContainers.Items(i), s);
}

void WriteSoundFormats(const TJigsawProject2& p, TMemoryStream& s) {
  // A table of its own records, int32 tag and int32 length each, closed by an end entry.
  Record(Tag::SoundFormats, s, [&] {
    for (const auto& format : p.SoundFormats) {
      SF::WriteInteger(Tag::SoundFormatEntry, s);
      SF::WriteInteger(8, s);
      SF::WriteInteger(format.SoundID, s);
      SF::WriteByte(format.Format, s);
      WriteZeros(3, s);
    }
    SF::WriteInteger(Tag::SoundFormatEnd, s);
    SF::WriteInteger(0, s);
  });
}

void WriteButtonScripts(const TJigsawProject2& p, TMemoryStream& s) {
  for (const auto& entry : p.ButtonScripts)
    Record(Tag::ButtonScript, s, [&] {
      SF::WriteCardinal(entry->ID, s);
      SF::WriteCardinal(entry->OwnerID, s);
      WriteSized(ScriptStream(entry->Script), s);
      SF::WriteInteger(entry->Reserved, s);
    });
}

// An action that was never given anything is left out, as the package does for an empty action stream.
bool HasContent(const TActionItem& action) {
  return action.ScriptCount() > 0 || !action.Caption.empty() || action.ID() != 0;
}

void WriteActions(uint16_t tag, const TActionItem& action, TMemoryStream& s) {
  if (!HasContent(action)) return;
  Record(tag, s, [&] { action.SaveToStream(s); });
}

void WriteNameEntry(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::NameEntry, s, [&] {
    SF::WriteByte(p.HtmlNameEntry, s);
    SF::WriteByte(p.ShowHighScoreTable, s);
    SF::WriteString(p.NameEntryPage, s);
    SF::WriteInteger(p.NameEntryWidth, s);
    SF::WriteInteger(p.NameEntryHeight, s);
  });
}

void WriteFlags(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::Flags, s, [&] { SF::WriteCardinal(FlagsWord(p), s); });
}

void WriteGhost(const TJigsawProject2& p, TMemoryStream& s) {
  Record(Tag::Ghost, s, [&] {
    SF::WriteByte(p.GhostMode, s);
    SF::WriteByte(p.GhostAlpha, s);
    SF::WriteInteger(p.GhostColor, s);
  });
}

void WriteHighScoreFile(const TJigsawProject2& p, TMemoryStream& s) {
  // A short string would cut a longer name and the game would keep its scores under another file.
  if (p.HighScoreFileName.size() > 255) throw EWriteError();
  Record(Tag::HighScoreFile, s, [&] { SF::WriteShortString(p.HighScoreFileName, s); });
}

void WriteSkinBitmaps(const TJigsawProject2& p, TMemoryStream& s) {
  if (p.SkinData.Empty()) return;
  Record(Tag::SkinBitmaps, s, [&] { WriteBlob(p.SkinData, s); });
}

// shapes: int32 n followed by n bytes of zlib data; the record holds the zlib data.
void WritePieceShapes(const TMemoryStream& shapes, TMemoryStream& s) {
  if (shapes.Size() <= 4) return;
  Record(Tag::PieceShapes, s,
         [&] { s.WriteBuffer(shapes.Memory() + 4, static_cast<std::size_t>(shapes.Size() - 4)); });
}

void WritePublishedProperties(const TJigsawProject2& p, TMemoryStream& s) {
  if (p.PublishedXml.Empty()) return;
  Record(Tag::PublishedProperties, s, [&] { WriteBlob(p.PublishedXml, s); });
}

} // namespace

// ---- default picture steps: keep what is stored

void TPackagePictureSteps::MakeThumbnail(TJigsawProject2&) {}
void TPackagePictureSteps::MakePreparedGame(TJigsawProject2&) {}
void TPackagePictureSteps::MakePreparedGames(TJigsawProject2&) {}
TMemoryStream TPackagePictureSteps::PieceShapes(const TJigsawProject2& project) {
  return project.PieceShapeData;
}

void TExecDataWriter::SetPictureSteps(std::shared_ptr<TPackagePictureSteps> steps) {
  Steps() = steps ? std::move(steps) : std::make_shared<TPackagePictureSteps>();
}

TPackagePictureSteps& TExecDataWriter::PictureSteps() {
  return *Steps();
}

// ---- writing

void TExecDataWriter::SaveToStream(TStream& stream) {
  // Holding the steps keeps them alive even if another writer installs new ones meanwhile.
  const std::shared_ptr<TPackagePictureSteps> steps = Steps();
  steps->MakeThumbnail(Project);
  WritePreview(stream);

  TMemoryStream data;
  WriteData(data, *steps);
  TMemoryStream packed;
  SF::CompressStream(data, packed); // raises when zlib fails: no package goes out without its data section
  WriteBlob(packed, stream);
}

void TExecDataWriter::WritePreview(TStream& stream) {
  const TJigsawProject2& p = Project;
  TMemoryStream records;
  Record(Tag::Thumbnail, records, [&] {
    SF::WriteInteger(p.ThumbnailColumns, records);
    SF::WriteInteger(p.ThumbnailRows, records);
    WriteSized(p.Thumbnail, records);
    SF::WriteInteger(0, records);
  });
  Header(Tag::PreviewEnd, 0, records);

  SF::WriteWord(static_cast<int16_t>(Tag::PreviewMagic), stream);
  SF::WriteWord(0, stream);
  // The preview size is the sum of (6 + length) over its records, which is exactly their bytes here.
  SF::WriteInteger(Length32(records.Size()), stream);
  WriteBlob(records, stream);
}

void TExecDataWriter::WriteData(TMemoryStream& s, TPackagePictureSteps& steps) {
  TJigsawProject2& p = Project;

  // The signature is the short string "PZZ": 03 50 5A 5A.
  SF::WriteShortString(kPackageSignature, s);
  WritePictures(p, s);
  WriteSounds(p, s);
  WriteEventSounds(p, s);
  if (p.EmbedPreparedGame != 0) steps.MakePreparedGame(p);
  WritePreparedGame(p, s);
  if (p.PreparedGames.empty()) steps.MakePreparedGames(p);
  WritePreparedPictureGames(p, s);
  WriteCutDefaults(p, s);
  WritePieceRange(p, s);
  WritePictureSettings(p, s);
  WritePictureChoice(p, s);
  WriteCountdown(p, s);
  WriteLegacySkin(p, s);
  WriteImageButtons(p, s);
  WriteBoardArea(p, s);
  WriteLegacyStream(s);
  WriteWallpaperDefaults(p, s);
  WriteSkins(p, s);
  WriteTitle(p, s);
  WriteIcon(p, s);
  WriteSoundAndWindow(p, s);
  WriteWallpapers(p, s);
  WriteActionGroups(p, s);
  WriteMenuTree(p, s);
  WriteStartSelection(p, s);
  WritePictureCuts(p, s);
  WriteCutUse(p, s);
  WriteClockDisplays(p, s);
  WritePieceOptions(p, s);
  WriteBanners(p, s);
  WriteSoundFormats(p, s);
  WriteButtonScripts(p, s);
  WriteActions(Tag::StartActions, p.StartActions, s);
  WriteActions(Tag::ExitActions, p.ExitActions, s);
  WriteActions(Tag::EndActions, p.EndActions, s);
  WriteNameEntry(p, s);
  WriteFlags(p, s);
  // Ghost settings, high-score file name and skin bitmaps go with every package, so that a package written
  // here keeps them when it is read back.
  WriteGhost(p, s);
  WriteHighScoreFile(p, s);
  WriteSkinBitmaps(p, s);
  WritePieceShapes(steps.PieceShapes(p), s);
  WritePublishedProperties(p, s);
  Header(Tag::End, 0, s);
}

} // namespace kv

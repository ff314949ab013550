#include "data/uExecDataWriter.h"

#include "data/uKVErrors.h"
#include "data/uKVStreamFunc.h"

#include <climits>

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

int64_t SizeOf(const std::string& text) {
  return static_cast<int64_t>(text.size());
}

void Header(uint16_t tag, int64_t length, TStream& s) {
  SF::WriteWord(static_cast<int16_t>(tag), s);
  SF::WriteInteger(Length32(length), s);
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

TMemoryStream ScriptStream(const TScriptItem& script) {
  TMemoryStream stream;
  script.SaveToStream(stream);
  return stream;
}

void WriteNodeList(const TMenuList& list, TStream& s) {
  SF::WriteInteger(Length32(static_cast<int64_t>(list.size())), s);
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

// An action that was never given anything is left out, as the package does for an empty action stream.
bool HasContent(const TActionItem& action) {
  return action.ScriptCount() > 0 || !action.Caption.empty() || action.ID() != 0;
}

void WriteActions(uint16_t tag, const TActionItem& action, TStream& s) {
  if (!HasContent(action)) return;
  TMemoryStream content;
  action.SaveToStream(content);
  Header(tag, content.Size(), s);
  WriteBlob(content, s);
}

void WriteSoundFile(uint16_t tag, uint32_t id, const std::string& name, const TMemoryStream& data,
                    TStream& s) {
  // The length holds the file size only; a record of length 0 could carry no fields, so a picture or sound
  // without data is not written at all.
  if (data.Empty()) return;
  Header(tag, data.Size(), s);
  SF::WriteCardinal(id, s);
  SF::WriteString(name, s);
  WriteBlob(data, s);
  SF::WriteInteger(0, s);
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
  SF::CompressStream(data, packed);
  // Compression failing leaves nothing; a package without its data section must not pass for a saved one.
  if (packed.Empty()) throw EWriteError();
  WriteBlob(packed, stream);
}

void TExecDataWriter::WritePreview(TStream& stream) {
  const TJigsawProject2& p = Project;
  TMemoryStream records;
  Header(Tag::Thumbnail, 16 + p.Thumbnail.Size(), records);
  SF::WriteInteger(p.ThumbnailColumns, records);
  SF::WriteInteger(p.ThumbnailRows, records);
  WriteSized(p.Thumbnail, records);
  SF::WriteInteger(0, records);
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

  for (const auto& picture : p.Pictures)
    WriteSoundFile(Tag::Picture, picture->ID, picture->Name, picture->Data, s);
  for (const auto& sound : p.Sounds) WriteSoundFile(Tag::Sound, sound->ID, sound->Name, sound->Data, s);

  for (const auto& slot : p.EventSounds) {
    Header(Tag::EventSounds, 4 * static_cast<int64_t>(slot.SoundIds.size()), s);
    SF::WriteInteger(slot.Slot, s);
    for (const uint32_t id : slot.SoundIds) SF::WriteCardinal(id, s);
    SF::WriteInteger(0, s);
  }

  if (p.EmbedPreparedGame != 0) steps.MakePreparedGame(p);
  if (p.PreparedGame.Columns >= 1 && p.PreparedGame.Rows >= 1) {
    Header(Tag::PreparedGame, 12 + p.PreparedGame.Pieces.Size(), s);
    SF::WriteInteger(p.PreparedGame.Columns, s);
    SF::WriteInteger(p.PreparedGame.Rows, s);
    WriteBlob(p.PreparedGame.Pieces, s);
    SF::WriteInteger(0, s);
  }

  if (p.PreparedGames.empty()) steps.MakePreparedGames(p);
  for (const auto& game : p.PreparedGames) {
    Header(Tag::PreparedPictureGame, 16 + game->Pieces.Size(), s);
    SF::WriteCardinal(game->PictureID, s);
    SF::WriteInteger(game->Columns, s);
    SF::WriteInteger(game->Rows, s);
    WriteBlob(game->Pieces, s);
    SF::WriteInteger(0, s);
  }

  Header(Tag::CutDefaults, 12, s);
  SF::WriteByte(p.PieceScale, s);
  SF::WriteByte(p.CutOption, s);
  SF::WriteByte(p.PreparedFlag, s);
  SF::WriteByte(0, s);
  SF::WriteInteger(p.PreparedColor, s);
  SF::WriteInteger(0, s);

  Header(Tag::PieceRange, 16, s);
  SF::WriteInteger(p.NumPiecesMin, s);
  SF::WriteInteger(p.NumPiecesMax, s);
  SF::WriteInteger(p.EmbedPreparedGame, s);
  SF::WriteInteger(0, s);

  for (const auto& entry : p.PictureSettings) {
    Header(Tag::PictureSettings, 17, s);
    SF::WriteCardinal(entry.PictureID, s);
    SF::WriteInteger(entry.NumPiecesMin, s);
    SF::WriteInteger(entry.NumPiecesMax, s);
    SF::WriteByte(entry.PrepareGame, s);
    SF::WriteInteger(0, s);
  }

  Header(Tag::PictureChoice, 8, s);
  SF::WriteByte(p.PictureChoiceMode, s);
  WriteZeros(3, s);
  SF::WriteInteger(0, s);

  Header(Tag::Countdown, 12, s);
  SF::WriteByte(p.Countdown, s);
  WriteZeros(3, s);
  SF::WriteInteger(p.CountdownSeconds, s);
  SF::WriteInteger(0, s);

  Header(Tag::LegacySkin, 10 + p.LegacySkinData.Size(), s);
  SF::WriteWord(p.SkinMode, s);
  WriteSized(p.LegacySkinData, s);
  SF::WriteInteger(0, s);

  for (const auto& button : p.Buttons) {
    int64_t blobs = 0;
    for (const auto& image : button->Images) blobs += image.Size();
    // 16 more than the payload, as the format has it.
    Header(Tag::ImageButton, 60 + blobs, s);
    SF::WriteCardinal(button->ID, s);
    SF::WriteInteger(button->Left, s);
    SF::WriteInteger(button->Top, s);
    for (const auto& image : button->Images) WriteSized(image, s);
    SF::WriteInteger(button->Width, s);
    SF::WriteInteger(button->Height, s);
    SF::WriteInteger(button->Action, s);
    SF::WriteInteger(button->Reserved, s);
  }

  if (p.BoardArea[2] != 0 && p.BoardArea[3] != 0) {
    Header(Tag::BoardArea, 20, s);
    for (int i = 0; i < 4; ++i) SF::WriteInteger(p.BoardArea[static_cast<std::size_t>(i)], s);
    // The fifth value is read as an extension count: anything but 0 would hide the next record.
    SF::WriteInteger(0, s);
  }

  Header(Tag::LegacyStream, 8, s);
  SF::WriteInteger(0, s);
  SF::WriteInteger(0, s);

  Header(Tag::WallpaperDefaults, 8, s);
  SF::WriteInteger(p.WallpaperParam, s);
  // WallpaperParam2 is read as an extension count: anything but 0 would hide the next record.
  SF::WriteInteger(0, s);

  for (const auto& skin : p.Skins) {
    Header(Tag::Skin, 42 + skin->Data.Size() + 4 * static_cast<int64_t>(skin->ButtonIds.size()), s);
    SF::WriteCardinal(skin->ID, s);
    SF::WriteWord(skin->SkinMode, s);
    WriteSized(skin->Data, s);
    SF::WriteInteger(skin->Reserved, s);
    SF::WriteInteger(Length32(static_cast<int64_t>(skin->ButtonIds.size())), s);
    for (const uint32_t id : skin->ButtonIds) SF::WriteCardinal(id, s);
    for (const int32_t value : skin->Area) SF::WriteInteger(value, s);
    SF::WriteInteger(skin->Reserved2, s);
  }

  Header(Tag::Title, 8 + SizeOf(p.Title), s);
  SF::WriteString(p.Title, s);
  SF::WriteInteger(0, s);

  Header(Tag::Icon, 8 + p.Icon.Size(), s);
  WriteSized(p.Icon, s);
  SF::WriteInteger(0, s);

  Header(Tag::SoundAndWindow, 6, s);
  SF::WriteByte(p.SoundOn, s);
  SF::WriteByte(p.WindowPosition, s);
  SF::WriteInteger(0, s);

  for (const auto& entry : p.Wallpapers) {
    Header(Tag::Wallpaper, 16, s);
    SF::WriteCardinal(entry.ID, s);
    SF::WriteInteger(entry.Param, s);
    SF::WriteInteger(entry.Param2, s);
    SF::WriteInteger(0, s);
  }

  for (const auto& group : p.ActionGroups) {
    TMemoryStream content;
    group->SaveToStream(content);
    Header(Tag::ActionGroup, 4 + content.Size(), s);
    WriteSized(content, s);
  }

  {
    TMemoryStream content;
    WriteNodeList(p.Menus, content);
    Header(Tag::MenuTree, content.Size(), s);
    WriteBlob(content, s);
  }

  Header(Tag::StartSelection, 8, s);
  SF::WriteInteger(p.StartWallpaperIndex, s);
  SF::WriteInteger(p.StartSkinIndex, s);

  for (const auto& cut : p.PictureCuts) {
    Header(Tag::PictureCut, 8 + 4 * static_cast<int64_t>(cut.Pieces.size()), s);
    SF::WriteCardinal(cut.PictureID, s);
    SF::WriteInteger(Length32(static_cast<int64_t>(cut.Pieces.size())), s);
    for (const auto& piece : cut.Pieces) s.WriteBuffer(piece.data(), piece.size());
  }

  Header(Tag::CutUse, 1, s);
  SF::WriteByte(p.UseStoredCuts, s);

  for (const auto& clock : p.ClockDisplays) {
    Header(Tag::ClockDisplay, 51 + SizeOf(clock->FontName) + clock->Data.Size(), s);
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
  }

  Header(Tag::PieceOptions, 3, s);
  SF::WriteByte(p.NoRotation, s);
  SF::WriteByte(p.PieceOption2, s);
  SF::WriteByte(p.OutlineOption, s);

  for (int32_t i = 0; i < p.Banners.Count(); ++i) TBanners::WriteRecord(*p.Banners.Items(i), s);
  for (int32_t i = 0; i < p.BannerContainers.Count(); ++i)
    TBannerContainerManager::WriteRecord(*p.BannerContainers.Items(i), s);

  {
    TMemoryStream table;
    for (const auto& format : p.SoundFormats) {
      SF::WriteInteger(Tag::SoundFormatEntry, table);
      SF::WriteInteger(8, table);
      SF::WriteInteger(format.SoundID, table);
      SF::WriteByte(format.Format, table);
      WriteZeros(3, table);
    }
    SF::WriteInteger(Tag::SoundFormatEnd, table);
    SF::WriteInteger(0, table);
    Header(Tag::SoundFormats, table.Size(), s);
    WriteBlob(table, s);
  }

  for (const auto& entry : p.ButtonScripts) {
    const TMemoryStream script = ScriptStream(entry->Script);
    Header(Tag::ButtonScript, 16 + script.Size(), s);
    SF::WriteCardinal(entry->ID, s);
    SF::WriteCardinal(entry->OwnerID, s);
    WriteSized(script, s);
    SF::WriteInteger(entry->Reserved, s);
  }

  WriteActions(Tag::StartActions, p.StartActions, s);
  WriteActions(Tag::ExitActions, p.ExitActions, s);
  WriteActions(Tag::EndActions, p.EndActions, s);

  Header(Tag::NameEntry, 14 + SizeOf(p.NameEntryPage), s);
  SF::WriteByte(p.HtmlNameEntry, s);
  SF::WriteByte(p.ShowHighScoreTable, s);
  SF::WriteString(p.NameEntryPage, s);
  SF::WriteInteger(p.NameEntryWidth, s);
  SF::WriteInteger(p.NameEntryHeight, s);

  Header(Tag::Flags, 4, s);
  SF::WriteCardinal(FlagsWord(p), s);

  // Ghost settings, high-score file name and skin bitmaps go with every package, so that a package written
  // here keeps them when it is read back.
  Header(Tag::Ghost, 6, s);
  SF::WriteByte(p.GhostMode, s);
  SF::WriteByte(p.GhostAlpha, s);
  SF::WriteInteger(p.GhostColor, s);

  if (p.HighScoreFileName.size() > 255) throw EWriteError();
  Header(Tag::HighScoreFile, 1 + SizeOf(p.HighScoreFileName), s);
  SF::WriteShortString(p.HighScoreFileName, s);

  if (!p.SkinData.Empty()) {
    Header(Tag::SkinBitmaps, p.SkinData.Size(), s);
    WriteBlob(p.SkinData, s);
  }

  {
    const TMemoryStream shapes = steps.PieceShapes(p);
    if (shapes.Size() > 4) {
      Header(Tag::PieceShapes, shapes.Size() - 4, s);
      s.WriteBuffer(shapes.Memory() + 4, static_cast<std::size_t>(shapes.Size() - 4));
    }
  }

  if (!p.PublishedXml.Empty()) {
    Header(Tag::PublishedProperties, p.PublishedXml.Size(), s);
    WriteBlob(p.PublishedXml, s);
  }

  Header(Tag::End, 0, s);
}

} // namespace kv

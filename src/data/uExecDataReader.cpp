#include "data/uExecDataReader.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "data/uLittleEndian.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace kv {

namespace {

using SF = TKVStreamFunc;
namespace Tag = PackageTag;

// A length, size or count that may not be negative.
int32_t ReadCount(TStream& stream) {
  const int32_t n = SF::ReadInteger(stream);
  if (n < 0) throw EReadError();
  return n;
}

// The length of a fixed-size record: larger than the payload it describes is a format error.
void ReadFixedLength(TStream& stream, int32_t payload) {
  const int32_t n = SF::ReadInteger(stream);
  if (n < 0 || n > payload) throw EReadError();
}

// Reads the extension count that ends a record, skips that many bytes and returns it.
int32_t ReadExtension(TStream& stream) {
  const int32_t e = ReadCount(stream);
  stream.Skip(e);
  return e;
}

// The next n bytes as a buffer of their own, so that a nested reader cannot run past its record.
TMemoryStream ReadBlob(TStream& stream, int64_t n) {
  return TMemoryStream(stream.ReadBytes(n));
}

// k entries of `width` bytes each must fit in what is left before anything is allocated for them.
void CheckEntries(TStream& stream, int32_t k, int64_t width) {
  if (k < 0 || !stream.CanRead(static_cast<int64_t>(k) * width)) throw EReadError();
}

void ReadNodeList(TStream& stream, TMenuList& list, bool withScripts, int depth) {
  if (depth > TExecDataReader::kMaxMenuDepth) throw EReadError();
  // id, parent, menu number, name and caption counts, visible, action, [script size], reserved, child count
  const int64_t smallestNode = withScripts ? 34 : 30;
  const int32_t count = SF::ReadInteger(stream);
  if (count < 0 || count > stream.Remaining() / smallestNode) throw EReadError();
  for (int32_t i = 0; i < count; ++i) {
    auto node = std::make_unique<TMenuExRec>();
    node->ID = SF::ReadCardinal(stream);
    node->ParentID = SF::ReadCardinal(stream);
    node->MenuNumber = SF::ReadByte(stream);
    node->Name = SF::ReadString(stream);
    node->Caption = SF::ReadString(stream);
    node->Visible = SF::ReadByte(stream);
    const int32_t action = SF::ReadInteger(stream);
    if (withScripts) {
      const int32_t size = ReadCount(stream);
      TMemoryStream script = ReadBlob(stream, size);
      if (size > 0) node->Script.LoadFromStream(script);
    }
    // The node's action number is its script's command.
    node->Script.ID = action;
    node->Reserved = SF::ReadInteger(stream);
    ReadNodeList(stream, node->Children, withScripts, depth + 1);
    list.push_back(std::move(node));
  }
}

} // namespace

void TExecDataReader::LoadFromMemory(TMemoryStream&& package) {
  ReleaseSource = true;
  LoadFromStream(&package);
}

void TExecDataReader::LoadFromStream(TStream* stream) {
  if (!stream) return;
  const int64_t start = stream->Position();
  ReadPreview(*stream, start);

  // The data section runs to the end of the stream. It is inflated only as far as its records are read, so
  // that nothing behind the end record costs time or memory. A package in memory is read in place.
  TMemoryStream copy;
  auto* memory = dynamic_cast<TMemoryStream*>(stream);
  const bool own = memory == nullptr;
  if (own) {
    copy = TMemoryStream(stream->ReadBytes(stream->Remaining()));
    memory = &copy;
  }
  const auto at = static_cast<std::size_t>(std::min(memory->Position(), memory->Size()));
  TInflateStream data(std::span<const uint8_t>(memory->Memory() + at, memory->Bytes().size() - at),
                      own || ReleaseSource);

  ClearLists();
  // Data that is not a zlib stream reads as empty: the signature read fails as a read error.
  uint8_t signature[4];
  data.ReadBuffer(signature, 4);
  if (signature[0] != 3 || std::memcmp(signature + 1, kPackageSignature, 3) != 0)
    throw EExecDataError("Stream data contains invalid project format.");
  ReadRecords(data);
  if (!data.Finish()) throw EReadError();
  memory->Seek(0, TSeekOrigin::soEnd);
  if (ReleaseSource) std::vector<uint8_t>().swap(memory->Bytes());
  CompleteAfterLoad();
}

void TExecDataReader::ReadPreview(TStream& stream, int64_t start) {
  uint8_t header[8] = {};
  if (stream.Read(header, 8) != 8 || header[0] != 0xAD || header[1] != 0xDE) {
    // No preview section: the whole package is the data section.
    stream.SetPosition(start);
    return;
  }
  const int32_t size = LoadLE<int32_t>(header + 4);
  if (size < 0) throw EReadError();
  TMemoryStream preview = ReadBlob(stream, size);
  while (true) {
    const uint16_t tag = SF::ReadTag(preview);
    const int32_t length = SF::ReadInteger(preview);
    if (tag == Tag::PreviewEnd) break;
    if (tag != Tag::Thumbnail) {
      preview.Skip(length);
      continue;
    }
    const int32_t columns = SF::ReadInteger(preview);
    const int32_t rows = SF::ReadInteger(preview);
    TMemoryStream bitmap = ReadBlob(preview, ReadCount(preview));
    ReadExtension(preview);
    Project.ThumbnailColumns = columns;
    Project.ThumbnailRows = rows;
    Project.Thumbnail = std::move(bitmap);
  }
}

void TExecDataReader::ClearLists() {
  TJigsawProject2& p = Project;
  // Pictures stay: a package read into a model that holds pictures adds its own after them.
  p.EventSounds.clear();
  p.Sounds.clear();
  p.OldMenus.clear();
  p.Menus.clear();
  p.PictureSettings.clear();
  p.PreparedGames.clear();
  p.Skins.clear();
  p.Buttons.clear();
  p.Wallpapers.clear();
  p.ActionGroups.clear();
  p.PictureCuts.clear();
  p.ClockDisplays.clear();
  p.ButtonScripts.clear();
  p.BannerContainers.Clear();
  p.Banners.Clear();
  // The formats describe the sounds just removed; kept, they would hide the new sounds' formats.
  p.SoundFormats.clear();
  p.SelectionStored = false;
}

void TExecDataReader::ReadRecords(TInflateStream& data) {
  Inflated = &data;
  while (true) {
    const uint16_t tag = SF::ReadTag(data);
    SF::ReadInteger(data);
    data.Seek(-4, TSeekOrigin::soCurrent);
    if (tag == Tag::End) break;
    ReadRecord(tag, data);
  }
  Inflated = nullptr;
}

TMemoryStream TExecDataReader::ReadLargeBlob(TStream& data, int64_t n) {
  if (&data != Inflated) return ReadBlob(data, n);
  if (!Inflated->MayHold(n)) throw EReadError();
  // Inflated straight into the blob a megabyte at a time: the bytes are held once, and a count larger than
  // the data fails when the data ends, having taken no more memory than the data itself.
  constexpr int64_t Chunk = int64_t{1} << 20;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(std::min(n, int64_t{64} << 20)));
  for (int64_t done = 0; done < n;) {
    const auto step = static_cast<std::size_t>(std::min(Chunk, n - done));
    const std::size_t at = bytes.size();
    bytes.resize(at + step);
    data.ReadBuffer(bytes.data() + at, step);
    done += static_cast<int64_t>(step);
  }
  return TMemoryStream(std::move(bytes));
}

const std::unordered_map<uint16_t, TExecDataReader::TRecordRead>& TExecDataReader::RecordReaders() {
  using R = TExecDataReader;
  static const std::unordered_map<uint16_t, TRecordRead> readers = {
      {Tag::Picture, &R::ReadPicture},
      {Tag::Sound, &R::ReadSound},
      {Tag::EventSounds, &R::ReadEventSounds},
      {Tag::PreparedGame, &R::ReadPreparedGame},
      {Tag::PreparedPictureGame, &R::ReadPreparedPictureGame},
      {Tag::CutDefaults, &R::ReadCutDefaults},
      {Tag::OldMenuList, &R::ReadOldMenuList},
      {Tag::PictureChoice, &R::ReadPictureChoice},
      {Tag::Countdown, &R::ReadCountdown},
      {Tag::PieceRange, &R::ReadPieceRange},
      {Tag::PictureSettings, &R::ReadPictureSettings},
      {Tag::LegacySkin, &R::ReadLegacySkin},
      {Tag::ImageButton, &R::ReadImageButton},
      {Tag::BoardArea, &R::ReadBoardArea},
      {Tag::WallpaperDefaults, &R::ReadWallpaperDefaults},
      {Tag::Skin, &R::ReadSkin},
      {Tag::Title, &R::ReadTitle},
      {Tag::Icon, &R::ReadIcon},
      {Tag::SoundAndWindow, &R::ReadSoundAndWindow},
      {Tag::Wallpaper, &R::ReadWallpaper},
      {Tag::ActionGroup, &R::ReadActionGroup},
      {Tag::OldMenuTree, &R::ReadOldMenuTree},
      {Tag::MenuTree, &R::ReadMenuTree},
      {Tag::ClockDisplay, &R::ReadClockDisplay},
      {Tag::StartSelection, &R::ReadStartSelection},
      {Tag::PictureCut, &R::ReadPictureCut},
      {Tag::CutUse, &R::ReadCutUse},
      {Tag::PieceOptions, &R::ReadPieceOptions},
      {Tag::Banner, &R::ReadBanner},
      {Tag::BannerContainer, &R::ReadBannerContainer},
      {Tag::SoundFormats, &R::ReadSoundFormats},
      {Tag::ButtonScript, &R::ReadButtonScript},
      {Tag::StartActions, &R::ReadStartActions},
      {Tag::ExitActions, &R::ReadExitActions},
      {Tag::EndActions, &R::ReadEndActions},
      {Tag::NameEntry, &R::ReadNameEntry},
      {Tag::Flags, &R::ReadFlags},
      {Tag::PieceShapes, &R::ReadPieceShapes},
      {Tag::Ghost, &R::ReadGhost},
      {Tag::HighScoreFile, &R::ReadHighScoreFile},
      {Tag::SkinBitmaps, &R::ReadSkinBitmaps},
      {Tag::PublishedProperties, &R::ReadPublishedProperties},
  };
  return readers;
}

void TExecDataReader::ReadRecord(uint16_t tag, TStream& data) {
  const auto& readers = RecordReaders();
  if (const auto found = readers.find(tag); found != readers.end())
    (this->*found->second)(data);
  else
    // A record this reader does not know is skipped by its length.
    data.Skip(SF::ReadInteger(data));
}

// ---- records

std::unique_ptr<TNamedData> TExecDataReader::ReadNamedData(TStream& data) {
  // The length holds the size of the file's bytes only; a record without any carries nothing else.
  const int32_t n = SF::ReadInteger(data);
  if (n <= 0) return nullptr;
  auto file = std::make_unique<TNamedData>();
  file->ID = SF::ReadCardinal(data);
  file->Name = SF::ReadString(data);
  file->Data = ReadLargeBlob(data, n);
  file->Extension = ReadExtension(data);
  return file;
}

void TExecDataReader::ReadPicture(TStream& data) {
  if (auto picture = ReadNamedData(data)) Project.Pictures.push_back(std::move(picture));
}

void TExecDataReader::ReadSound(TStream& data) {
  if (auto sound = ReadNamedData(data)) Project.Sounds.push_back(std::move(sound));
}

void TExecDataReader::ReadEventSounds(TStream& data) {
  const int32_t k = ReadCount(data) / 4;
  TEventSoundSlot slot;
  slot.Slot = SF::ReadInteger(data);
  CheckEntries(data, k, 4);
  slot.SoundIds.reserve(static_cast<std::size_t>(k));
  for (int32_t i = 0; i < k; ++i) slot.SoundIds.push_back(SF::ReadCardinal(data));
  slot.Extension = ReadExtension(data);
  Project.EventSounds.push_back(std::move(slot));
}

void TExecDataReader::ReadPreparedGame(TStream& data) {
  const int32_t length = SF::ReadInteger(data);
  const int32_t columns = SF::ReadInteger(data);
  const int32_t rows = SF::ReadInteger(data);
  TMemoryStream pieces = ReadBlob(data, static_cast<int64_t>(length) - 12);
  ReadExtension(data);
  Project.PreparedGame.Columns = columns;
  Project.PreparedGame.Rows = rows;
  Project.PreparedGame.Pieces = std::move(pieces);
}

// A picture's prepared game has its own entry. Read as a prepared game, its picture id would become the
// column count and every piece state would be four bytes off.
void TExecDataReader::ReadPreparedPictureGame(TStream& data) {
  const int32_t length = SF::ReadInteger(data);
  auto game = std::make_unique<TPreparedPictureGame>();
  game->PictureID = SF::ReadCardinal(data);
  game->Columns = SF::ReadInteger(data);
  game->Rows = SF::ReadInteger(data);
  game->Pieces = ReadBlob(data, static_cast<int64_t>(length) - 16);
  game->Extension = ReadExtension(data);
  Project.PreparedGames.push_back(std::move(game));
}

void TExecDataReader::ReadCutDefaults(TStream& data) {
  ReadFixedLength(data, 12);
  Project.PieceScale = SF::ReadByte(data);
  Project.CutOption = SF::ReadByte(data);
  Project.PreparedFlag = SF::ReadByte(data);
  SF::ReadByte(data);
  Project.PreparedColor = SF::ReadInteger(data);
  ReadExtension(data);
}

void TExecDataReader::ReadOldMenuList(TStream& data) {
  TMemoryStream content = ReadBlob(data, ReadCount(data));
  while (content.Remaining() > 0) {
    TMenuRec entry;
    entry.Caption = SF::ReadString(content);
    entry.Text2 = SF::ReadString(content);
    entry.Flag = SF::ReadByte(content);
    entry.Extension = ReadExtension(content);
    Project.OldMenus.push_back(std::move(entry));
  }
}

void TExecDataReader::ReadPictureChoice(TStream& data) {
  ReadFixedLength(data, 8);
  Project.PictureChoiceMode = SF::ReadByte(data);
  data.Skip(3);
  ReadExtension(data);
}

void TExecDataReader::ReadCountdown(TStream& data) {
  ReadFixedLength(data, 12);
  Project.Countdown = SF::ReadByte(data);
  data.Skip(3);
  Project.CountdownSeconds = SF::ReadInteger(data);
  ReadExtension(data);
}

void TExecDataReader::ReadPieceRange(TStream& data) {
  ReadFixedLength(data, 16);
  Project.NumPiecesMin = SF::ReadInteger(data);
  Project.NumPiecesMax = SF::ReadInteger(data);
  Project.EmbedPreparedGame = SF::ReadInteger(data);
  ReadExtension(data);
}

void TExecDataReader::ReadPictureSettings(TStream& data) {
  TPictureSettings entry;
  if (SF::ReadInteger(data) > 0) {
    entry.PictureID = SF::ReadCardinal(data);
    entry.NumPiecesMin = SF::ReadInteger(data);
    entry.NumPiecesMax = SF::ReadInteger(data);
    entry.PrepareGame = SF::ReadByte(data);
    entry.Extension = ReadExtension(data);
  }
  Project.PictureSettings.push_back(entry);
}

void TExecDataReader::ReadLegacySkin(TStream& data) {
  if (SF::ReadInteger(data) < 1) return;
  Project.SkinMode = SF::ReadWord(data);
  SF::ReadSizedStream(Project.LegacySkinData, data);
  Project.LegacySkinExtension = ReadExtension(data);
}

void TExecDataReader::ReadImageButton(TStream& data) {
  ReadCount(data);
  auto button = std::make_unique<TImageButton>();
  button->ID = SF::ReadCardinal(data);
  button->Left = SF::ReadInteger(data);
  button->Top = SF::ReadInteger(data);
  for (auto& image : button->Images) SF::ReadSizedStream(image, data);
  button->Width = SF::ReadInteger(data);
  button->Height = SF::ReadInteger(data);
  button->Action = SF::ReadInteger(data);
  button->Reserved = SF::ReadInteger(data);
  Project.Buttons.push_back(std::move(button));
}

void TExecDataReader::ReadBoardArea(TStream& data) {
  ReadFixedLength(data, 20);
  std::array<int32_t, 5> area{};
  for (auto& value : area) value = SF::ReadInteger(data);
  // The fifth value doubles as the record's extension count.
  if (area[4] < 0) throw EReadError();
  data.Skip(area[4]);
  Project.BoardArea = area;
}

void TExecDataReader::ReadWallpaperDefaults(TStream& data) {
  ReadFixedLength(data, 8);
  const int32_t param = SF::ReadInteger(data);
  const int32_t param2 = SF::ReadInteger(data);
  // The second value doubles as the record's extension count.
  if (param2 < 0) throw EReadError();
  data.Skip(param2);
  Project.WallpaperParam = param;
  Project.WallpaperParam2 = param2;
}

void TExecDataReader::ReadSkin(TStream& data) {
  ReadCount(data);
  auto skin = std::make_unique<TSkinEntry>();
  skin->ID = SF::ReadCardinal(data);
  skin->SkinMode = SF::ReadWord(data);
  SF::ReadSizedStream(skin->Data, data);
  skin->Reserved = SF::ReadInteger(data);
  const int32_t k = SF::ReadInteger(data);
  CheckEntries(data, k, 4);
  skin->ButtonIds.reserve(static_cast<std::size_t>(k));
  for (int32_t i = 0; i < k; ++i) skin->ButtonIds.push_back(SF::ReadCardinal(data));
  for (auto& value : skin->Area) value = SF::ReadInteger(data);
  skin->Reserved2 = SF::ReadInteger(data);
  Project.Skins.push_back(std::move(skin));
}

void TExecDataReader::ReadTitle(TStream& data) {
  ReadCount(data);
  Project.Title = SF::ReadString(data);
  ReadExtension(data);
}

void TExecDataReader::ReadIcon(TStream& data) {
  ReadCount(data);
  SF::ReadSizedStream(Project.Icon, data);
  ReadExtension(data);
}

void TExecDataReader::ReadSoundAndWindow(TStream& data) {
  ReadCount(data);
  Project.SoundOn = SF::ReadByte(data);
  Project.WindowPosition = SF::ReadByte(data);
  ReadExtension(data);
}

void TExecDataReader::ReadWallpaper(TStream& data) {
  ReadFixedLength(data, 16);
  TWallpaperEntry entry;
  entry.ID = SF::ReadCardinal(data);
  entry.Param = SF::ReadInteger(data);
  entry.Param2 = SF::ReadInteger(data);
  entry.Extension = ReadExtension(data);
  Project.Wallpapers.push_back(entry);
}

void TExecDataReader::ReadActionGroup(TStream& data) {
  ReadCount(data);
  TMemoryStream content;
  SF::ReadSizedStream(content, data);
  auto group = std::make_unique<TActionGroup>(Project.Random());
  group->LoadFromStream(content);
  Project.ActionGroups.push_back(std::move(group));
}

void TExecDataReader::ReadMenuRecord(TStream& data, bool withScripts) {
  const int32_t n = SF::ReadInteger(data);
  if (n < 1) return;
  TMemoryStream content = ReadBlob(data, n);
  ReadNodeList(content, Project.Menus, withScripts, 1);
}

void TExecDataReader::ReadOldMenuTree(TStream& data) {
  ReadMenuRecord(data, false);
}

void TExecDataReader::ReadMenuTree(TStream& data) {
  ReadMenuRecord(data, true);
}

void TExecDataReader::ReadClockDisplay(TStream& data) {
  ReadCount(data);
  auto clock = std::make_unique<TClockDisplay>();
  clock->ID = SF::ReadCardinal(data);
  clock->SkinID = SF::ReadCardinal(data);
  clock->Left = SF::ReadInteger(data);
  clock->Top = SF::ReadInteger(data);
  clock->Width = SF::ReadInteger(data);
  clock->Height = SF::ReadInteger(data);
  clock->Transparent = SF::ReadByte(data);
  clock->Reserved = SF::ReadByte(data);
  clock->Background = SF::ReadInteger(data);
  clock->FontColor = SF::ReadInteger(data);
  clock->FontName = SF::ReadString(data);
  clock->FontHeight = SF::ReadInteger(data);
  clock->FontSize = SF::ReadInteger(data);
  clock->FontStyle = SF::ReadByte(data);
  SF::ReadSizedStream(clock->Data, data);
  Project.ClockDisplays.push_back(std::move(clock));
}

void TExecDataReader::ReadStartSelection(TStream& data) {
  ReadCount(data);
  Project.StartWallpaperIndex = SF::ReadInteger(data);
  Project.StartSkinIndex = SF::ReadInteger(data);
  Project.SelectionStored = true;
}

void TExecDataReader::ReadPictureCut(TStream& data) {
  ReadCount(data);
  TPictureCut cut;
  cut.PictureID = SF::ReadCardinal(data);
  const int32_t k = SF::ReadInteger(data);
  CheckEntries(data, k, 4);
  cut.Pieces.resize(static_cast<std::size_t>(k));
  for (auto& piece : cut.Pieces) data.ReadBuffer(piece.data(), piece.size());
  Project.PictureCuts.push_back(std::move(cut));
}

void TExecDataReader::ReadCutUse(TStream& data) {
  ReadCount(data);
  Project.UseStoredCuts = SF::ReadByte(data);
}

void TExecDataReader::ReadBanner(TStream& data) {
  Project.Banners.ReadRecord(data, Project.Services().SizeReader);
}

void TExecDataReader::ReadBannerContainer(TStream& data) {
  Project.BannerContainers.ReadRecord(data);
}

void TExecDataReader::ReadPieceOptions(TStream& data) {
  ReadCount(data);
  Project.NoRotation = SF::ReadByte(data);
  Project.PieceOption2 = SF::ReadByte(data);
  Project.OutlineOption = SF::ReadByte(data);
}

void TExecDataReader::ReadSoundFormats(TStream& data) {
  TMemoryStream table = ReadBlob(data, ReadCount(data));
  while (true) {
    const int32_t tag = SF::ReadInteger(table);
    TMemoryStream entry = ReadBlob(table, ReadCount(table));
    if (tag == Tag::SoundFormatEnd) break;
    if (tag != Tag::SoundFormatEntry) continue;
    TSoundFormat format;
    format.SoundID = SF::ReadInteger(entry);
    format.Format = SF::ReadByte(entry);
    Project.SoundFormats.push_back(format);
  }
}

void TExecDataReader::ReadButtonScript(TStream& data) {
  ReadCount(data);
  auto entry = std::make_unique<TButtonScript>();
  entry->ID = SF::ReadCardinal(data);
  entry->OwnerID = SF::ReadCardinal(data);
  const int32_t size = ReadCount(data);
  TMemoryStream script = ReadBlob(data, size);
  if (size > 0) entry->Script.LoadFromStream(script);
  entry->Reserved = SF::ReadInteger(data);
  Project.ButtonScripts.push_back(std::move(entry));
}

void TExecDataReader::ReadActions(TStream& data, TActionItem& action) {
  const int32_t n = ReadCount(data);
  TMemoryStream content = ReadBlob(data, n);
  if (n == 0) return;
  // A repeated record replaces the earlier one instead of adding to its scripts.
  action.ClearScripts();
  action.Caption.clear();
  action.LoadFromStream(content);
}

void TExecDataReader::ReadStartActions(TStream& data) {
  ReadActions(data, Project.StartActions);
}

void TExecDataReader::ReadExitActions(TStream& data) {
  ReadActions(data, Project.ExitActions);
}

void TExecDataReader::ReadEndActions(TStream& data) {
  ReadActions(data, Project.EndActions);
}

void TExecDataReader::ReadNameEntry(TStream& data) {
  ReadCount(data);
  Project.HtmlNameEntry = SF::ReadByte(data);
  Project.ShowHighScoreTable = SF::ReadByte(data);
  Project.NameEntryPage = SF::ReadString(data);
  Project.NameEntryWidth = SF::ReadInteger(data);
  Project.NameEntryHeight = SF::ReadInteger(data);
}

void TExecDataReader::ReadFlags(TStream& data) {
  if (SF::ReadInteger(data) <= 0) return;
  const uint32_t flags = SF::ReadCardinal(data);
  Project.Options.NoHighScores = (flags & 1) != 0;
  Project.Options.NoDragMode = (flags & 2) != 0;
  Project.Options.ShowGhost = (flags & 4) != 0;
  Project.BevelLevel = static_cast<uint8_t>((flags >> 3) & 7);
  Project.Options.ShowPreview = (flags & 64) != 0;
  const auto scale = static_cast<uint8_t>((flags >> 7) & 7);
  Project.PreviewScale = scale == 0 ? 3 : scale;
}

void TExecDataReader::ReadPieceShapes(TStream& data) {
  const int32_t n = SF::ReadInteger(data);
  if (n <= 0) return;
  std::vector<uint8_t> packed = data.ReadBytes(n);
  TMemoryStream shapes;
  SF::WriteInteger(n, shapes);
  shapes.WriteBytes(packed);
  shapes.SetPosition(0);
  Project.PieceShapeData = std::move(shapes);
}

void TExecDataReader::ReadGhost(TStream& data) {
  const int32_t n = SF::ReadInteger(data);
  if (n != 6) {
    data.Skip(n);
    return;
  }
  Project.GhostMode = SF::ReadByte(data);
  Project.GhostAlpha = SF::ReadByte(data);
  Project.GhostColor = SF::ReadInteger(data);
}

void TExecDataReader::ReadHighScoreFile(TStream& data) {
  TMemoryStream content = ReadBlob(data, ReadCount(data));
  Project.HighScoreFileName = SF::ReadShortString(content);
}

void TExecDataReader::ReadSkinBitmaps(TStream& data) {
  Project.SkinData = ReadLargeBlob(data, ReadCount(data));
}

void TExecDataReader::ReadPublishedProperties(TStream& data) {
  Project.PublishedXml = ReadBlob(data, ReadCount(data));
  // An empty record carries no properties to apply.
  // Compression inside the compressed package gets no allowance of its own: the values inflate within what
  // the data section may still grow to, one budget for the whole load.
  if (!Project.PublishedXml.Empty())
    Project.ApplyPublishedXml(Project.Services().ErrorReporter, Inflated ? Inflated->Room() : -1);
}

// ---- completion after the records

void TExecDataReader::CompleteAfterLoad() {
  TJigsawProject2& p = Project;
  if (!p.SelectionStored) {
    const int32_t wallpapers = p.WallpaperCount();
    if (wallpapers > 0) {
      for (std::size_t i = 0; i < p.Pictures.size(); ++i)
        if ((p.Pictures[i]->ID & 0xFFFF) == 0) {
          p.StartWallpaperIndex = static_cast<int32_t>(i);
          break;
        }
    }
    if (wallpapers > 0 || !p.Skins.empty()) p.StartSkinIndex = 0;
  }
  CompleteSkins();
  CompleteWallpapers();
  Project.CompletePictureCuts();
  CompleteMenuIds();
  CompleteButtonScripts();
  CompleteSoundFormats();
}

void TExecDataReader::CompleteSkins() {
  TJigsawProject2& p = Project;
  if (p.LegacySkinData.Empty() || !p.Skins.empty()) return;
  std::unique_ptr<TSkinEntry> skin = p.NewSkin();
  skin->SkinMode = p.SkinMode;
  skin->Data = p.LegacySkinData;
  skin->Data.SetPosition(0);
  skin->Reserved = p.LegacySkinExtension;
  skin->Area = p.BoardArea;
  for (const auto& button : p.Buttons) skin->ButtonIds.push_back(button->ID);
  p.Skins.insert(p.Skins.begin(), std::move(skin));
}

void TExecDataReader::CompleteWallpapers() {
  TJigsawProject2& p = Project;
  if (static_cast<std::size_t>(p.WallpaperCount()) == p.Wallpapers.size()) return;
  for (const auto& picture : p.Pictures)
    if ((picture->ID & 0xFFFF) == 0)
      p.Wallpapers.push_back({picture->ID, p.WallpaperParam, p.WallpaperParam2, 0});
}

namespace {

void CollectIds(const TMenuList& list, std::unordered_set<uint32_t>& ids) {
  for (const auto& node : list) {
    if (node->ID != 0) ids.insert(node->ID);
    CollectIds(node->Children, ids);
  }
}

void AssignMenuIds(TMenuList& list, uint32_t parentId, std::unordered_set<uint32_t>& used,
                   TRandomSource& random) {
  for (auto& node : list) {
    if (node->ID != 0) continue;
    node->ID = NewUniqueId(used, random);
    used.insert(node->ID);
    node->ParentID = parentId;
    AssignMenuIds(node->Children, node->ID, used, random);
  }
}

bool HasUnassignedTopNode(const TMenuList& list) {
  for (const auto& node : list)
    if (node->ID == 0) return true;
  return false;
}

} // namespace

void TExecDataReader::CompleteMenuIds() {
  TJigsawProject2& p = Project;
  if (!HasUnassignedTopNode(p.Menus)) return;
  std::unordered_set<uint32_t> used;
  CollectIds(p.Menus, used);
  AssignMenuIds(p.Menus, 0, used, p.Random());
}

void TExecDataReader::CompleteButtonScripts() {
  TJigsawProject2& p = Project;
  if (p.Buttons.empty() || !p.ButtonScripts.empty()) return;
  std::unordered_set<uint32_t> used;
  for (const auto& button : p.Buttons) {
    auto entry = std::make_unique<TButtonScript>();
    entry->ID = NewUniqueId(used, p.Random());
    used.insert(entry->ID);
    entry->OwnerID = button->ID;
    entry->Script.ID = button->Action;
    p.ButtonScripts.push_back(std::move(entry));
  }
}

void TExecDataReader::CompleteSoundFormats() {
  TJigsawProject2& p = Project;
  if (!p.SoundFormats.empty()) return;
  for (const auto& sound : p.Sounds) {
    const uint32_t id = sound->ID;
    if (id < 256)
      p.SoundFormats.push_back({static_cast<int32_t>(id), 1});
    else if (id % 256 == 0 && id < 65536)
      p.SoundFormats.push_back({static_cast<int32_t>(id), 2});
  }
}

} // namespace kv

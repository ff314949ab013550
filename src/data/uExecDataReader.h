// Reading a game package into the package model: the optional preview section, the zlib data section with
// its tagged records, and the completion steps that run after the records.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"
#include "data/uKVStreamFunc.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace kv {

class TExecDataReader {
public:
  // Menu trees nested deeper than this are refused, so that a hostile package cannot exhaust the stack.
  static constexpr int kMaxMenuDepth = 64;

  explicit TExecDataReader(TJigsawProject2& project) : Project(project) {}

  // Reads a package from the stream's position; nothing happens for a null stream. Raises EExecDataError
  // "Stream data contains invalid project format." for a bad signature and EReadError for damaged data.
  void LoadFromStream(TStream* stream);
  // The same for a package held in memory, whose storage goes back to the system as its data is inflated
  // and is freed once read: a large package is then held about once, not twice.
  void LoadFromMemory(TMemoryStream&& package);

  // The steps that complete a model after its records were read (stored skins, wallpaper entries, cuts,
  // menu ids, button scripts, sound formats).
  void CompleteAfterLoad();

private:
  void ReadPreview(TStream& stream, int64_t start);
  void ClearLists();
  // Reads the records of the data section up to the end record, inflating as it goes.
  void ReadRecords(TInflateStream& data);
  // ReadBlob that, on the data section, inflates straight into the blob.
  TMemoryStream ReadLargeBlob(TStream& data, int64_t n);
  // Each record reader starts at the record's length field.
  using TRecordRead = void (TExecDataReader::*)(TStream&);
  // The reader of each record tag of the data section; a tag not listed is skipped by its length.
  static const std::unordered_map<uint16_t, TRecordRead>& RecordReaders();
  void ReadRecord(uint16_t tag, TStream& data);
  // A picture or sound record; none when it carries no file.
  std::unique_ptr<TNamedData> ReadNamedData(TStream& data);
  void ReadPicture(TStream& data);
  void ReadSound(TStream& data);
  void ReadEventSounds(TStream& data);
  void ReadPreparedGame(TStream& data);
  void ReadPreparedPictureGame(TStream& data);
  void ReadCutDefaults(TStream& data);
  void ReadOldMenuList(TStream& data);
  void ReadPictureChoice(TStream& data);
  void ReadCountdown(TStream& data);
  void ReadPieceRange(TStream& data);
  void ReadPictureSettings(TStream& data);
  void ReadLegacySkin(TStream& data);
  void ReadImageButton(TStream& data);
  void ReadBoardArea(TStream& data);
  void ReadWallpaperDefaults(TStream& data);
  void ReadSkin(TStream& data);
  void ReadTitle(TStream& data);
  void ReadIcon(TStream& data);
  void ReadSoundAndWindow(TStream& data);
  void ReadWallpaper(TStream& data);
  void ReadActionGroup(TStream& data);
  void ReadOldMenuTree(TStream& data);
  void ReadMenuTree(TStream& data);
  void ReadMenuRecord(TStream& data, bool withScripts);
  void ReadClockDisplay(TStream& data);
  void ReadStartSelection(TStream& data);
  void ReadPictureCut(TStream& data);
  void ReadCutUse(TStream& data);
  void ReadBanner(TStream& data);
  void ReadBannerContainer(TStream& data);
  void ReadPieceOptions(TStream& data);
  void ReadSoundFormats(TStream& data);
  void ReadButtonScript(TStream& data);
  void ReadStartActions(TStream& data);
  void ReadExitActions(TStream& data);
  void ReadEndActions(TStream& data);
  void ReadActions(TStream& data, TActionItem& action);
  void ReadNameEntry(TStream& data);
  void ReadFlags(TStream& data);
  void ReadPieceShapes(TStream& data);
  void ReadGhost(TStream& data);
  void ReadHighScoreFile(TStream& data);
  void ReadSkinBitmaps(TStream& data);
  void ReadPublishedProperties(TStream& data);

  void CompleteSkins();
  void CompleteWallpapers();
  void CompleteMenuIds();
  void CompleteButtonScripts();
  void CompleteSoundFormats();

  TJigsawProject2& Project;
  // The package in memory is freed once inflated (LoadFromMemory).
  bool ReleaseSource = false;
  // The data section while its records are read.
  TInflateStream* Inflated = nullptr;
};

} // namespace kv

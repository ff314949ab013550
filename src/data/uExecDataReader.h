// Reading a game package into the package model: the optional preview section, the zlib data section with
// its tagged records, and the completion steps that run after the records.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"

#include <cstdint>

namespace kv {

class TExecDataReader {
public:
  // Menu trees nested deeper than this are refused, so that a hostile package cannot exhaust the stack.
  static constexpr int kMaxMenuDepth = 64;

  explicit TExecDataReader(TJigsawProject2& project) : Project(project) {}

  // Reads a package from the stream's position; nothing happens for a null stream. Raises EExecDataError
  // "Stream data contains invalid project format." for a bad signature and EReadError for damaged data.
  void LoadFromStream(TStream* stream);
  // The same for a package held in memory, whose storage is freed as soon as its data is inflated: a large
  // package is then held twice at most, not three times.
  void LoadFromMemory(TMemoryStream&& package);

  // The steps that complete a model after its records were read (stored skins, wallpaper entries, cuts,
  // menu ids, button scripts, sound formats).
  void CompleteAfterLoad();

private:
  void ReadPreview(TStream& stream, int64_t start);
  void ClearLists();
  // Reads the records of the inflated data section up to the end record. The data is the reader's own and
  // what lies before the record at hand is never read again: its storage goes back to the system on the
  // way, so that a large picture is not held twice.
  void ReadRecords(TMemoryStream& data);
  // ReadBlob that gives back the storage of the inflated data behind it as it copies.
  TMemoryStream ReadLargeBlob(TStream& data, int64_t n);
  // Each record reader starts at the record's length field.
  void ReadRecord(uint16_t tag, TMemoryStream& data);
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
  void ReadMenuTree(TStream& data, bool withScripts);
  void ReadClockDisplay(TStream& data);
  void ReadStartSelection(TStream& data);
  void ReadPictureCut(TStream& data);
  void ReadCutUse(TStream& data);
  void ReadPieceOptions(TStream& data);
  void ReadSoundFormats(TStream& data);
  void ReadButtonScript(TStream& data);
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
  // The inflated data while its records are read, and how much of it went back to the system.
  TMemoryStream* Inflated = nullptr;
  std::size_t Released = 0;
};

} // namespace kv

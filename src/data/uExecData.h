// The package model: everything one game package holds, with its defaults, identifiers and copy rules.
// Reading and writing the package format live in uExecDataReader and uExecDataWriter.
#pragma once

#include "core/uKVErrors.h"
#include "data/uBanners.h"
#include "data/uKVCustomJigsawProject.h"
#include "data/uPackageServices.h"
#include "data/uScriptAction.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace kv {

// The old menu form (record 7861): read and kept, never written or shown.
struct TMenuRec {
  std::string Caption;
  std::string Text2;
  uint8_t Flag = 0;
  int32_t Extension = 0;
  bool operator==(const TMenuRec&) const = default;
};

// A node of the menu tree. The script item's ID is the node's action number (-1: runs nothing).
struct TMenuExRec {
  uint32_t ID = 0;
  uint32_t ParentID = 0;
  uint8_t MenuNumber = 0; // 0 the toolbar menu, 1 the pop-up menu
  std::string Name;
  std::string Caption; // "-" makes a separator
  uint8_t Visible = 1;
  TScriptItem Script;
  int32_t Reserved = 0;
  std::vector<std::unique_ptr<TMenuExRec>> Children;

  // The whole subtree, children compared by value.
  bool operator==(const TMenuExRec& other) const {
    return ID == other.ID && ParentID == other.ParentID && MenuNumber == other.MenuNumber &&
           Name == other.Name && Caption == other.Caption && Visible == other.Visible &&
           Script == other.Script && Reserved == other.Reserved && EqualItems(Children, other.Children);
  }
};
using TMenuList = std::vector<std::unique_ptr<TMenuExRec>>;

struct TEventSoundSlot {
  int32_t Slot = 0;
  std::vector<uint32_t> SoundIds; // the first one chooses the sound
  int32_t Extension = 0;
  bool operator==(const TEventSoundSlot&) const = default;
};

struct TPreparedGame {
  int32_t Columns = 0;
  int32_t Rows = 0;
  TMemoryStream Pieces; // 40-byte piece states, rows outer
  bool operator==(const TPreparedGame&) const = default;
};

struct TPictureSettings {
  uint32_t PictureID = 0;
  int32_t NumPiecesMin = 0;
  int32_t NumPiecesMax = 0;
  uint8_t PrepareGame = 0;
  int32_t Extension = 0;
  bool operator==(const TPictureSettings&) const = default;
};

struct TPreparedPictureGame {
  uint32_t PictureID = 0;
  int32_t Columns = 0;
  int32_t Rows = 0;
  TMemoryStream Pieces;
  int32_t Extension = 0;
  bool operator==(const TPreparedPictureGame&) const = default;
};

// An image button on a skin; the four images are raw 32-bit pixels (Width x Height x 4 bytes each).
struct TImageButton {
  uint32_t ID = 0;
  int32_t Left = 0;
  int32_t Top = 0;
  std::array<TMemoryStream, 4> Images; // normal, hover, pressed, fourth
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Action = 0;
  int32_t Reserved = 0;
  bool operator==(const TImageButton&) const = default;
};

struct TSkinEntry {
  uint32_t ID = 0;
  int16_t SkinMode = 15;
  TMemoryStream Data;
  int32_t Reserved = 0;
  std::vector<uint32_t> ButtonIds;
  std::array<int32_t, 5> Area{}; // third and fourth: the playing-area width and height
  int32_t Reserved2 = 0;
  bool operator==(const TSkinEntry&) const = default;
};

struct TWallpaperEntry {
  uint32_t ID = 0;
  int32_t Param = 0;
  int32_t Param2 = 0;
  int32_t Extension = 0;
  bool operator==(const TWallpaperEntry&) const = default;
};

using TEdgeShapes = std::array<uint8_t, 4>; // left, top, right, bottom

struct TPictureCut {
  uint32_t PictureID = 0;
  std::vector<TEdgeShapes> Pieces; // row order
  bool operator==(const TPictureCut&) const = default;
};

struct TSoundFormat {
  int32_t SoundID = 0;
  uint8_t Format = 0; // 1 WAV, 2 MIDI
  bool operator==(const TSoundFormat&) const = default;
};

struct TClockDisplay {
  uint32_t ID = 0;
  uint32_t SkinID = 0;
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t Transparent = 0;
  uint8_t Reserved = 0;
  TColor Background = 0;
  TColor FontColor = 0;
  std::string FontName;
  int32_t FontHeight = 0;
  int32_t FontSize = 0;
  uint8_t FontStyle = 0; // bit 0 bold, 1 italic, 2 underline, 3 strike-out
  TMemoryStream Data;
  bool operator==(const TClockDisplay&) const = default;
};

struct TButtonScript {
  uint32_t ID = 0;
  uint32_t OwnerID = 0;
  TScriptItem Script;
  int32_t Reserved = 0;
  bool operator==(const TButtonScript&) const = default;
};

// Record tags of the package (preview section and data section).
namespace PackageTag {
inline constexpr uint16_t PreviewMagic = 0xDEAD;
inline constexpr uint16_t End = 7850;
inline constexpr uint16_t Picture = 7856;
inline constexpr uint16_t Sound = 7857;
inline constexpr uint16_t EventSounds = 7858;
inline constexpr uint16_t PreparedGame = 7859;
inline constexpr uint16_t CutDefaults = 7860;
inline constexpr uint16_t OldMenuList = 7861;
inline constexpr uint16_t PictureChoice = 7862;
inline constexpr uint16_t Countdown = 7863;
inline constexpr uint16_t Thumbnail = 7864;
inline constexpr uint16_t PreviewEnd = 7865;
inline constexpr uint16_t PieceRange = 7866;
inline constexpr uint16_t PictureSettings = 7867;
inline constexpr uint16_t PreparedPictureGame = 7868;
inline constexpr uint16_t LegacySkin = 7870;
inline constexpr uint16_t ImageButton = 7871;
inline constexpr uint16_t BoardArea = 7873;
inline constexpr uint16_t LegacyStream = 7874;
inline constexpr uint16_t WallpaperDefaults = 7875;
inline constexpr uint16_t Skin = 7876;
inline constexpr uint16_t Title = 7877;
inline constexpr uint16_t Icon = 7878;
inline constexpr uint16_t SoundAndWindow = 7879;
inline constexpr uint16_t Wallpaper = 7880;
inline constexpr uint16_t ActionGroup = 7881;
inline constexpr uint16_t OldMenuTree = 7882;
inline constexpr uint16_t ClockDisplay = 7883;
inline constexpr uint16_t StartSelection = 7884;
inline constexpr uint16_t PictureCut = 7885;
inline constexpr uint16_t CutUse = 7886;
inline constexpr uint16_t PieceOptions = 7887;
inline constexpr uint16_t Banner = 7888;
inline constexpr uint16_t BannerContainer = 7889;
inline constexpr uint16_t MenuTree = 7890;
inline constexpr uint16_t SoundFormats = 7891;
inline constexpr uint16_t ButtonScript = 7893;
inline constexpr uint16_t StartActions = 7894;
inline constexpr uint16_t ExitActions = 7895;
inline constexpr uint16_t EndActions = 7896;
inline constexpr uint16_t NameEntry = 7897;
inline constexpr uint16_t Flags = 8080;
inline constexpr uint16_t PieceShapes = 8081;
inline constexpr uint16_t Ghost = 8084;
inline constexpr uint16_t HighScoreFile = 8085;
inline constexpr uint16_t SkinBitmaps = 8086;
inline constexpr uint16_t PublishedProperties = 8087;
// Entries of the sound-format table inside record 7891.
inline constexpr int32_t SoundFormatEntry = 44449;
inline constexpr int32_t SoundFormatEnd = 44448;
} // namespace PackageTag

// The data section begins with this short string: 03 50 5A 5A.
inline constexpr char kPackageSignature[] = "PZZ";
// The clipboard format of a copied package model.
inline constexpr char kPackageClipboardFormat[] = "KorvanePRJX";

class TJigsawProject2;

// How the stored cut of one picture is scaled: a fixed scale, or the grid fit over the picture's own width
// and height with its piece-count range.
struct TPictureCutScale {
  bool FitGrid = false;
  double Scale = 4.0; // when FitGrid is false
  int32_t NumPiecesMin = 0;
  int32_t NumPiecesMax = 0;
  bool operator==(const TPictureCutScale&) const = default;
};

// Computes the stored cut of one picture (the four edge bytes of each piece in row order), or nothing when
// no cut can be made. Installed by the piece engine; without one, stored cuts are not completed at load.
using TPictureCutBuilder = std::function<std::optional<std::vector<TEdgeShapes>>(
    const TJigsawProject2& project, const TBMPData& picture, const TPictureCutScale& scale)>;
// Makes the cut builder for one completion of a model, so that what the cuts of all its pictures share (the
// piece shapes) is found once per completion, not once per picture.
using TPictureCutBatch = std::function<TPictureCutBuilder(const TJigsawProject2& project)>;
// Told after each picture a completion cuts: how many are done of how many.
using TPictureCutProgress = std::function<void(int32_t done, int32_t total)>;

struct TAreaSize {
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TAreaSize&) const = default;
};

class TJigsawProject2 : public TKVCustomJigsawProject {
public:
  // Raises EExecDataError "Error initializing object." when construction fails.
  explicit TJigsawProject2(TPackageServices services = {});
  ~TJigsawProject2() override;

  const TPackageServices& Services() const { return FServices; }
  // The source of the model's new ids.
  TRandomSource& Random() const { return *FServices.Random; }

private:
  TPackageServices FServices;

public:
  // ---- settings and lists, with the defaults of a new model
  uint8_t PieceScale = 4;
  uint8_t CutOption = 7;
  uint8_t PreparedFlag = 0;
  TColor PreparedColor = 0;
  std::vector<std::unique_ptr<TWaveData>> Sounds;
  std::vector<TEventSoundSlot> EventSounds; // ten empty slots 0..9
  TPreparedGame PreparedGame;
  std::vector<TMenuRec> OldMenus;
  TMenuList Menus;
  std::vector<TPictureSettings> PictureSettings;
  std::vector<std::unique_ptr<TPreparedPictureGame>> PreparedGames;
  uint8_t PictureChoiceMode = 0;
  uint8_t Countdown = 0;
  int32_t CountdownSeconds = 0;
  // Thumbnail of the preview section: the grid and the BMP file.
  int32_t ThumbnailColumns = 0;
  int32_t ThumbnailRows = 0;
  TMemoryStream Thumbnail;
  int32_t NumPiecesMin = 0;
  int32_t NumPiecesMax = 0;
  int32_t EmbedPreparedGame = 0;
  int16_t SkinMode = 0;
  TMemoryStream LegacySkinData;
  int32_t LegacySkinExtension = 0;
  std::vector<std::unique_ptr<TImageButton>> Buttons;
  std::vector<std::unique_ptr<TSkinEntry>> Skins;
  int32_t SkinIndex = 0;
  std::array<int32_t, 5> BoardArea{};
  int32_t WallpaperParam = 0;
  int32_t WallpaperParam2 = 0;
  std::string Title = "Korvane Jigsaw";
  TMemoryStream Icon; // a Windows ICO file, or empty
  uint8_t SoundOn = 1;
  uint8_t WindowPosition = 4;
  std::vector<TWallpaperEntry> Wallpapers;
  std::vector<std::unique_ptr<TActionGroup>> ActionGroups;
  std::vector<TPictureCut> PictureCuts;
  uint8_t UseStoredCuts = 1;
  uint8_t NoRotation = 0;
  uint8_t PieceOption2 = 0;
  uint8_t OutlineOption = 0;
  TBanners Banners;
  TBannerContainerManager BannerContainers{&Banners};
  std::vector<TSoundFormat> SoundFormats;
  std::vector<std::unique_ptr<TClockDisplay>> ClockDisplays;
  int32_t StartWallpaperIndex = 0;
  int32_t StartSkinIndex = 0;
  bool SelectionStored = false;
  uint8_t HtmlNameEntry = 0;
  uint8_t ShowHighScoreTable = 0;
  std::string NameEntryPage;
  int32_t NameEntryWidth = 0;
  int32_t NameEntryHeight = 0;
  std::vector<std::unique_ptr<TButtonScript>> ButtonScripts;
  TActionItem StartActions;
  TActionItem ExitActions;
  TActionItem EndActions;

  // ---- reading and writing the package format
  // Reads a package (preview section optional) from the stream's position; nothing when stream is null.
  void LoadFromStream(TStream* stream);
  // Reads a package held in memory and frees that memory as soon as it is no longer needed.
  void LoadFromMemory(TMemoryStream&& package);
  void LoadFromFile(const std::string& fileName);
  // Writes the preview section and the compressed data section at the stream's position.
  void SaveToStream(TStream& stream);

  // ---- entries and identifiers
  // kind 0 a picture, 1 a wallpaper; id 0 draws a fresh one.
  TBMPData& AddPicture(int kind, uint32_t id = 0);
  // A fresh unused picture id (kind 0) or wallpaper id (kind 1); 0 for any other kind.
  uint32_t NewPictureId(int kind) const;
  TPictureSettings* FindPictureSettings(uint32_t pictureId);
  const TPictureSettings* FindPictureSettings(uint32_t pictureId) const;
  int32_t PictureCount() const;   // ids at most 65535
  int32_t WallpaperCount() const; // ids with the low 16 bits 0
  std::unique_ptr<TSkinEntry> NewSkin() const;
  std::unique_ptr<TButtonScript> NewButtonScript() const;
  TMenuExRec& AddMenu(const std::string& name, const std::string& caption, TMenuList& list,
                      uint8_t menuNumber, int32_t action, uint32_t parentId, bool visible);
  // Reseeds the random source from the clock, then draws an id unused anywhere in the menu tree.
  uint32_t NewMenuId() const;
  uint32_t NewSkinId() const;
  uint32_t NewButtonId() const;
  uint32_t NewButtonScriptId() const;

  // The difficulty 0..5 a game of this picture is played at: from its PictureSettings range, or from the
  // package-wide range when the package has no settings at all.
  uint8_t DifficultyIndex(uint32_t pictureId) const;
  // The stored cuts, completed as a load completes them: when the picture count is not 0 and differs from
  // the number of PictureCuts, every picture (id at most 65535) is cut anew by the installed cut builder.
  void CompletePictureCuts(const TPictureCutProgress& progress = {});

  // The scale the stored cut of a picture is built with (loader completion of PictureCuts).
  TPictureCutScale PictureCutScale(uint32_t pictureId) const;
  // The playing area that grid fits of the writer use: BoardArea for skin modes 15, 20 and 49, the area of
  // the current skin for mode 19, nothing otherwise.
  TAreaSize SkinModeArea() const;

  // ---- copies
  // Through a package written into memory: the copy carries exactly what the format carries.
  void Assign(TJigsawProject2& source);
  // To and from the clipboard under the format "KorvanePRJX".
  void CopyToClipboard();
  void PasteFromClipboard();

  // The same builder for every completion; replaces an installed batch.
  static void SetPictureCutBuilder(TPictureCutBuilder builder);
  static void SetPictureCutBatch(TPictureCutBatch batch);
  static const TPictureCutBatch& PictureCutBatch();
};

bool IsPictureId(uint32_t id);   // a playable picture: upper 16 bits zero
bool IsWallpaperId(uint32_t id); // non-zero with the low 16 bits zero

// A non-zero draw from [0, 2^31 - 1) that is not in used.
uint32_t NewUniqueId(const std::unordered_set<uint32_t>& used, TRandomSource& random);

} // namespace kv

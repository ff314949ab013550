#include "data/uExecData.h"

#include "data/uExecDataReader.h"
#include "data/uExecDataWriter.h"
#include "platform/uClipboard.h"

#include <algorithm>
#include <exception>

namespace kv {

namespace {

constexpr int32_t kIdLimit = 2147483647;  // ids are drawn from [0, 2^31 - 1)
constexpr uint32_t kPictureIds = 65535;   // 1..65535
constexpr uint32_t kWallpaperIds = 32767; // 65536 × 1..32767, all below 2^31

TPictureCutBatch& CutBatch() {
  static TPictureCutBatch batch;
  return batch;
}

void CollectMenuIds(const TMenuList& list, std::unordered_set<uint32_t>& ids) {
  for (const auto& node : list) {
    ids.insert(node->ID);
    CollectMenuIds(node->Children, ids);
  }
}

template <typename List> std::unordered_set<uint32_t> IdsOf(const List& list) {
  std::unordered_set<uint32_t> ids;
  for (const auto& entry : list) ids.insert(entry->ID);
  return ids;
}

} // namespace

bool IsPictureId(uint32_t id) {
  return id <= 0xFFFF;
}
bool IsWallpaperId(uint32_t id) {
  return id != 0 && (id & 0xFFFF) == 0;
}

uint32_t NewUniqueId(const std::unordered_set<uint32_t>& used, TRandomSource& random) {
  while (true) {
    const auto id = static_cast<uint32_t>(random.RandomBelow(kIdLimit));
    if (id != 0 && !used.contains(id)) return id;
  }
}

TJigsawProject2::TJigsawProject2(TPackageServices services) : FServices(std::move(services)) {
  try {
    EventSounds.resize(10);
    for (int32_t slot = 0; slot < 10; ++slot) EventSounds[static_cast<std::size_t>(slot)].Slot = slot;
    TMenuExRec& file = AddMenu("&File", "&File", Menus, 0, 0, 0, true);
    AddMenu("E&xit", "E&xit", file.Children, 0, 3, file.ID, true);
    AddMenu("&Help", "&Help", Menus, 0, 0, 0, true);
  } catch (...) {
    // The cause stays attached for whoever wants more than the player's message.
    std::throw_with_nested(EExecDataError("Error initializing object."));
  }
}

TJigsawProject2::~TJigsawProject2() {
  // Containers refer to banners of the list; let them go first.
  BannerContainers.Clear();
  Banners.Clear();
}

void TJigsawProject2::LoadFromStream(TStream* stream) {
  TExecDataReader(*this).LoadFromStream(stream);
}

void TJigsawProject2::LoadFromMemory(TMemoryStream&& package) {
  TExecDataReader(*this).LoadFromMemory(std::move(package));
}

void TJigsawProject2::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  LoadFromStream(&file);
}

void TJigsawProject2::SaveToStream(TStream& stream) {
  TExecDataWriter(*this).SaveToStream(stream);
}

// ---- entries and identifiers

TBMPData& TJigsawProject2::AddPicture(int kind, uint32_t id) {
  if (id == 0) id = NewPictureId(kind);
  auto picture = std::make_unique<TBMPData>();
  picture->ID = id;
  Pictures.push_back(std::move(picture));
  if (kind == 0)
    PictureSettings.push_back({id, 0, 50, 0, 0});
  else if (kind == 1)
    Wallpapers.push_back({id, WallpaperParam, WallpaperParam2, 0});
  return *Pictures.back();
}

uint32_t TJigsawProject2::NewPictureId(int kind) const {
  if (kind != 0 && kind != 1) return 0;
  // Drawing inside the class directly gives the same distribution as drawing from [0, 2^31 - 1) until the
  // id falls into the class, without tens of thousands of misses per id.
  const uint32_t classSize = kind == 0 ? kPictureIds : kWallpaperIds;
  std::unordered_set<uint32_t> used;
  for (const auto& picture : Pictures) {
    const uint32_t id = picture->ID;
    if (kind == 0 ? (id >= 1 && id <= kPictureIds) : IsWallpaperId(id)) used.insert(id);
  }
  if (used.size() >= classSize)
    throw EExecDataError(kind == 0 ? "No free picture identifier" : "No free wallpaper identifier");
  while (true) {
    const auto n = static_cast<uint32_t>(Random().RandomBelow(static_cast<int32_t>(classSize))) + 1;
    const uint32_t id = kind == 0 ? n : n << 16;
    if (!used.contains(id)) return id;
  }
}

TPictureSettings* TJigsawProject2::FindPictureSettings(uint32_t pictureId) {
  for (auto& entry : PictureSettings)
    if (entry.PictureID == pictureId) return &entry;
  return nullptr;
}

const TPictureSettings* TJigsawProject2::FindPictureSettings(uint32_t pictureId) const {
  return const_cast<TJigsawProject2*>(this)->FindPictureSettings(pictureId);
}

int32_t TJigsawProject2::PictureCount() const {
  int32_t count = 0;
  for (const auto& picture : Pictures)
    if (picture->ID <= 0xFFFF) ++count;
  return count;
}

int32_t TJigsawProject2::WallpaperCount() const {
  int32_t count = 0;
  for (const auto& picture : Pictures)
    if ((picture->ID & 0xFFFF) == 0) ++count;
  return count;
}

std::unique_ptr<TSkinEntry> TJigsawProject2::NewSkin() const {
  auto skin = std::make_unique<TSkinEntry>();
  skin->ID = NewSkinId();
  skin->SkinMode = 15;
  return skin;
}

std::unique_ptr<TButtonScript> TJigsawProject2::NewButtonScript() const {
  auto entry = std::make_unique<TButtonScript>();
  entry->ID = NewButtonScriptId();
  return entry;
}

TMenuExRec& TJigsawProject2::AddMenu(const std::string& name, const std::string& caption, TMenuList& list,
                                     uint8_t menuNumber, int32_t action, uint32_t parentId, bool visible) {
  auto node = std::make_unique<TMenuExRec>();
  node->ID = NewMenuId();
  node->ParentID = parentId;
  node->MenuNumber = menuNumber;
  node->Name = name;
  node->Caption = caption;
  node->Visible = visible ? 1 : 0;
  node->Script.ID = action;
  list.push_back(std::move(node));
  return *list.back();
}

uint32_t TJigsawProject2::NewMenuId() const {
  std::unordered_set<uint32_t> used;
  CollectMenuIds(Menus, used);
  return NewUniqueId(used, Random());
}

uint32_t TJigsawProject2::NewSkinId() const {
  return NewUniqueId(IdsOf(Skins), Random());
}
uint32_t TJigsawProject2::NewButtonId() const {
  return NewUniqueId(IdsOf(Buttons), Random());
}
uint32_t TJigsawProject2::NewButtonScriptId() const {
  return NewUniqueId(IdsOf(ButtonScripts), Random());
}

TPictureCutScale TJigsawProject2::PictureCutScale(uint32_t pictureId) const {
  const TPictureSettings* settings = FindPictureSettings(pictureId);
  if (!settings) return {false, static_cast<double>(PieceScale), 0, 0};
  const int32_t min = settings->NumPiecesMin;
  const int32_t max = settings->NumPiecesMax;
  double scale = PieceScale;
  if (min == 0 && max == 50)
    scale = 4.0;
  else if (min == 51 && max == 100)
    scale = 3.0;
  else if (min > 100)
    scale = 2.0;
  return {min >= 2 && max >= 2, scale, min, max};
}

uint8_t TJigsawProject2::DifficultyIndex(uint32_t pictureId) const {
  if (PictureSettings.empty()) {
    const int32_t min = NumPiecesMin, max = NumPiecesMax;
    if (min >= 0 && max < 25) return 0;
    if (min >= 25 && max <= 50) return 1;
    if (min >= 50 && max <= 100) return 2;
    if (min > 100 && max <= 150) return 3;
    if (min > 150 && max <= 200) return 4;
    return 5;
  }
  const TPictureSettings* settings = FindPictureSettings(pictureId);
  if (!settings) return 0;
  const int32_t min = settings->NumPiecesMin, max = settings->NumPiecesMax;
  if (min == 0 && max == 24) return 0;
  if (min == 25 && max == 50) return 1;
  if (min == 51 && max == 100) return 2;
  if (min > 100 && max <= 150) return 3;
  if (min > 150 && max <= 200) return 4;
  if (min > 200) return 5;
  return 0;
}

void TJigsawProject2::CompletePictureCuts(const TPictureCutProgress& progress) {
  const TPictureCutBatch& batch = PictureCutBatch();
  const int32_t pictures = PictureCount();
  if (!batch || pictures == 0 || static_cast<std::size_t>(pictures) == PictureCuts.size()) return;
  PictureCuts.clear();
  const TPictureCutBuilder builder = batch(*this);
  if (!builder) return;
  const auto total = static_cast<int32_t>(std::count_if(
      Pictures.begin(), Pictures.end(), [](const auto& picture) { return picture->ID <= 0xFFFF; }));
  int32_t done = 0;
  for (const auto& picture : Pictures) {
    if (picture->ID > 0xFFFF) continue;
    std::optional<std::vector<TEdgeShapes>> pieces = builder(*this, *picture, PictureCutScale(picture->ID));
    if (pieces) PictureCuts.push_back({picture->ID, std::move(*pieces)});
    if (progress) progress(++done, total);
  }
}

TAreaSize TJigsawProject2::SkinModeArea() const {
  if (SkinMode == 15 || SkinMode == 20 || SkinMode == 49) return {BoardArea[2], BoardArea[3]};
  if (SkinMode == 19 && SkinIndex >= 0 && static_cast<std::size_t>(SkinIndex) < Skins.size()) {
    const auto& area = Skins[static_cast<std::size_t>(SkinIndex)]->Area;
    return {area[2], area[3]};
  }
  return {};
}

// ---- copies

void TJigsawProject2::Assign(TJigsawProject2& source) {
  // Reading a model into itself would add its pictures a second time.
  if (&source == this) return;
  TMemoryStream buffer;
  source.SaveToStream(buffer);
  buffer.SetPosition(0);
  LoadFromStream(&buffer);
}

void TJigsawProject2::CopyToClipboard() {
  TMemoryStream buffer;
  SaveToStream(buffer);
  bool copied = false;
  try {
    copied = Clipboard().SetData(kPackageClipboardFormat, buffer.Bytes());
  } catch (...) {
    std::throw_with_nested(EExecDataError("Unable to copy data to clipboard"));
  }
  if (!copied) throw EExecDataError("Unable to copy data to clipboard");
}

void TJigsawProject2::PasteFromClipboard() {
  IClipboard& clipboard = Clipboard();
  if (!clipboard.HasFormat(kPackageClipboardFormat)) return;
  std::optional<std::vector<uint8_t>> data = clipboard.GetData(kPackageClipboardFormat);
  if (!data) return;
  TMemoryStream buffer(std::move(*data));
  LoadFromStream(&buffer);
}

void TJigsawProject2::SetPictureCutBuilder(TPictureCutBuilder builder) {
  if (!builder) {
    CutBatch() = nullptr;
    return;
  }
  CutBatch() = [builder = std::move(builder)](const TJigsawProject2&) { return builder; };
}
void TJigsawProject2::SetPictureCutBatch(TPictureCutBatch batch) {
  CutBatch() = std::move(batch);
}
const TPictureCutBatch& TJigsawProject2::PictureCutBatch() {
  return CutBatch();
}

} // namespace kv

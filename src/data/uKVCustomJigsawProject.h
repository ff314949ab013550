// Settings shared by jigsaw games, and the published properties that the package keeps as XML.
#pragma once

#include "core/uKVTypes.h"
#include "data/uKVBGVClass.h"
#include "data/uKVComponent.h"
#include "data/uKVStream.h"
#include "data/uNamedData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

struct TProjectOptions {
  bool NoHighScores = false;
  bool NoDragMode = false;
  bool ShowGhost = false;
  bool ShowPreview = true;
  bool operator==(const TProjectOptions&) const = default;
};

class TKVCustomJigsawProject : public TKVCustomProject {
public:
  TKVCustomJigsawProject();
  ~TKVCustomJigsawProject() override;

  // Published: Name and Tag (component), Splash2, About2, Icon2 (each stored as "Data"), Language.
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TProjectOptions Options;
  uint8_t BevelLevel = 0;   // 0..7
  uint8_t PreviewScale = 3; // 1..7 tenths of the picture
  // int32 n followed by n bytes of zlib data; empty when the package has no piece shapes.
  TMemoryStream PieceShapeData;
  std::vector<std::unique_ptr<TBMPData>> Pictures;
  TColor OutlineColor = static_cast<TColor>(0xFF00000C);
  uint8_t GhostMode = 2;
  uint8_t GhostAlpha = 255;
  TColor GhostColor = static_cast<TColor>(0xFF00000C);
  std::string HighScoreFileName = "JigsawHighScore.dat";
  TMemoryStream SkinData;

  // Published properties, read from PublishedXml.
  TKVBGVClass Splash2;
  TKVBGVClass About2;
  TKVBGVClass Icon2;
  std::vector<std::string> Language;
  // The XML text they were read from, written back unchanged.
  TMemoryStream PublishedXml;

  // Applies PublishedXml to the published properties; raises EXmlError for malformed XML. Elements that are
  // missing leave their properties as they are; an empty PublishedXml (no record) changes nothing. The
  // errors the reader goes on from ("Cannot create object X") go to reporter, if any.
  // inflateBudget: as TKVProjectReflection's InflateBudget.
  void ApplyPublishedXml(const std::function<void(const std::string& message)>& reporter = {},
                         int64_t inflateBudget = -1);
  // The text of the quit confirmation: the rest of the last Language line that begins with "quit=" (case
  // ignored), at most 255 characters; nothing when no line does. An empty text means: close without asking.
  std::optional<std::string> LanguageQuitText() const;
  // The same, empty when no line gives one.
  std::string QuitText() const;
};

} // namespace kv

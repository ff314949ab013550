#include "FileJson.h"

#include "PackageJson.h"
#include "core/uKVErrors.h"
#include "data/uHighScore.h"
#include "data/uJigsawFile.h"
#include "gui/uPictureConverters.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace kvtools {

using json = nlohmann::ordered_json;

json SavedGameJson(const std::string& fileName) {
  kv::TJigsawFile file;
  file.LoadFromFile(fileName, kv::ReadPictureSize);
  json states = json::array();
  for (const auto& s : file.PieceStates)
    states.push_back(json{{"edges", {s.LeftEdge, s.TopEdge, s.RightEdge, s.BottomEdge}},
                          {"x", s.X},
                          {"y", s.Y},
                          {"correctX", s.CorrectX},
                          {"correctY", s.CorrectY},
                          {"startX", s.StartX},
                          {"startY", s.StartY},
                          {"width", s.Width},
                          {"height", s.Height},
                          {"rotation", s.Rotation},
                          {"startRotation", s.StartRotation},
                          {"joined", s.Joined}});
  return json{{"version", file.Version},
              {"columns", file.Columns},
              {"rows", file.Rows},
              {"scale", file.Scale},
              {"elapsedSeconds", file.ElapsedSeconds},
              {"programName", TextJson(file.ProgramName)},
              {"pictureId", file.PictureId},
              {"difficulty", file.Difficulty},
              {"cheatCount", file.CheatCount},
              {"picture", BlobJson(file.Picture)},
              {"pieces", states}};
}

json HighScoreJson(const std::string& fileName) {
  // The player quietly keeps no scores from a file of another kind; asked about the file, the tool says so.
  {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) throw kv::EFOpenError(fileName, std::strerror(errno));
    char signature[4] = {};
    file.read(signature, 4);
    if (file.gcount() != 4 || std::string(signature, 4) != "HGSC")
      throw kv::Exception("not a high-score table (it does not begin with \"HGSC\")");
  }
  kv::THighScore table;
  table.LoadFromFile(fileName);
  json levels = json::array();
  for (int32_t level = 0; level < kv::THighScore::LevelCount; ++level) {
    json entries = json::array();
    for (int32_t i = 0; i < table.Count(level); ++i) {
      const kv::THighScoreData e = table.GetEntry(level, i);
      entries.push_back(json{{"name", TextJson(e.Name)}, {"time", e.Time}, {"level", e.Level}});
    }
    levels.push_back(
        json{{"level", level}, {"name", kv::THighScore::LevelName(level)}, {"entries", entries}});
  }
  return json{{"levels", levels}};
}

} // namespace kvtools

// Saved games and high-score tables as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace kvtools {

nlohmann::ordered_json SavedGameJson(const std::string& fileName);
nlohmann::ordered_json HighScoreJson(const std::string& fileName);

} // namespace kvtools

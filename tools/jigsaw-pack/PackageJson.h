// The package model, saved games and high-score tables as JSON: every scalar, every list entry with its
// fields, blobs as their byte length and SHA-256. Texts are converted from Windows-1252 to UTF-8.
#pragma once

#include "data/uExecData.h"

#include <nlohmann/json.hpp>

namespace kvtools {

nlohmann::ordered_json BlobJson(const kv::TMemoryStream& blob);
nlohmann::ordered_json TextJson(const std::string& ansi);
nlohmann::ordered_json ScriptItemJson(const kv::TScriptItem& item);
nlohmann::ordered_json ActionItemJson(const kv::TActionItem& action);
nlohmann::ordered_json ProjectJson(const kv::TJigsawProject2& project);

} // namespace kvtools

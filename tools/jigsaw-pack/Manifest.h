// A game author's manifest: a JSON file that names the title, pictures, wallpapers, sounds and the game
// events they play on, menus, actions and the settings of a game package. Paths inside it are relative to the
// manifest's folder; its texts are UTF-8 and are stored in the package as Windows-1252.
// Manifest.md describes the format for game authors.
#pragma once

#include "core/uKVErrors.h"
#include "data/uExecData.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvtools {

// A manifest that cannot become a package. The message is "KEY: WHAT" with the JSON key path of the fault
// (for example "pictures[2].pieces.min: must be between 0 and 65535"), or only WHAT for faults of the whole
// file (cannot be read, not JSON).
class EManifestError : public kv::Exception {
public:
  EManifestError(const std::string& key, const std::string& what);
  const std::string& Key() const { return FKey; }

private:
  std::string FKey;
};

// Fills a freshly created project from the manifest file; raises EManifestError. files, when given, receives
// the manifest's name and the path of every file it names that was read. onPicture, when given, hears after
// each picture and wallpaper read and checked: how many of how many.
void LoadManifest(const std::string& fileName, kv::TJigsawProject2& project,
                  std::vector<std::string>* files = nullptr,
                  const std::function<void(int32_t done, int32_t total)>& onPicture = {});

// The command numbers of the game's main window by their manifest names ("newGame" -> 15); 0 when unknown.
int32_t CommandNumber(const std::string& name);

} // namespace kvtools

// Temporary files that are deleted when their owner cleans up, and folders to delete with them. With a
// settings store the lists survive the program, so that a later run deletes what an earlier one left.
#pragma once

#include "core/uRandomSource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class IMessageBoxes;
class TKVCustomConfig;

class TKVTemporaryFiles {
public:
  // boxes shows "Error creating temporary file" (none: nothing is shown). random draws the names (none: a
  // source of its own). With a store the lists are read from it and cleaned up.
  explicit TKVTemporaryFiles(IMessageBoxes* boxes = nullptr, std::shared_ptr<TRandomSource> random = {},
                             TKVCustomConfig* store = nullptr);
  // Cleans up.
  ~TKVTemporaryFiles();
  TKVTemporaryFiles(const TKVTemporaryFiles&) = delete;
  TKVTemporaryFiles& operator=(const TKVTemporaryFiles&) = delete;

  // The platform's temporary folder, or the store's "TemporaryFolder" when set; with a trailing '/'.
  std::string TemporaryFolder() const;
  // folder + "0_" + random number + "." + ext (a leading "." of ext dropped), naming no existing file.
  std::string NewTempFileName(const std::string& ext) const;
  // Writes the bytes to a new file and lists it for deletion. On any failure shows "Error creating temporary
  // file" and returns an empty name.
  std::string CreateTempFile(const std::string& ext, const void* bytes, std::size_t length);
  // Deletes the listed files and then the listed folders; what cannot be deleted stays listed.
  void CleanUp();
  // Writes the lists to the store, if any.
  void SaveLists();

  std::vector<std::string> DeleteList;
  std::vector<std::string> DeleteFolders;

private:
  IMessageBoxes* Boxes;
  std::shared_ptr<TRandomSource> Random;
  TKVCustomConfig* Store;
};

// Comma text of a list: items with spaces, commas, quotes or control characters are double-quoted (quotes
// doubled inside); reading splits at commas and spaces outside quotes.
std::string ToCommaText(const std::vector<std::string>& items);
std::vector<std::string> FromCommaText(const std::string& text);

} // namespace kv

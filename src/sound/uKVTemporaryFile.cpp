#include "sound/uKVTemporaryFile.h"

#include "core/uKVErrors.h"
#include "data/uKVConfig.h"
#include "platform/uDesktop.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

namespace {

const char* const CreateError = "Error creating temporary file";

// Draws before a name is given up: the names are few (65535 per extension) and another program may hold many.
constexpr int NameDraws = 1000;

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool NeedsQuotes(const std::string& item) {
  if (item.empty()) return true;
  return std::any_of(item.begin(), item.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || c == '"' || c == ',';
  });
}

bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte != 0 && byte <= ' ';
}

} // namespace

std::string ToCommaText(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ',';
    const std::string& item = items[i];
    if (!NeedsQuotes(item)) {
      text += item;
      continue;
    }
    text += '"';
    for (char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> FromCommaText(const std::string& text) {
  std::vector<std::string> items;
  std::size_t p = 0;
  const std::size_t n = text.size();
  while (p < n && IsBlank(text[p])) ++p;
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const std::size_t start = p;
      while (p<n&& static_cast<unsigned char>(text[p])> ' ' && text[p] != ',') ++p;
      item = text.substr(start, p - start);
    }
    items.push_back(std::move(item));
    while (p < n && IsBlank(text[p])) ++p;
    if (p < n && text[p] == ',') {
      ++p;
      if (p == n) items.emplace_back();
      while (p < n && IsBlank(text[p])) ++p;
    }
  }
  return items;
}

TKVTemporaryFiles::TKVTemporaryFiles(IMessageBoxes* boxes, std::shared_ptr<TRandomSource> random,
                                     TKVCustomConfig* store)
    : Boxes(boxes), Random(std::move(random)), Store(store) {
  if (!Random) Random = std::make_shared<TRandomSource>();
  if (!Store) return;
  DeleteList = FromCommaText(Store->GetText("deletelist", ""));
  DeleteFolders = FromCommaText(Store->GetText("deletefolder", ""));
  CleanUp();
}

TKVTemporaryFiles::~TKVTemporaryFiles() {
  CleanUp();
}

std::string TKVTemporaryFiles::TemporaryFolder() const {
  std::string folder;
  if (Store) folder = Store->GetText("TemporaryFolder", "");
  if (folder.empty()) {
    std::error_code error;
    const fs::path system = fs::temp_directory_path(error);
    folder = error ? std::string("/tmp") : system.string();
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string TKVTemporaryFiles::NewTempFileName(const std::string& ext) const {
  const std::string folder = TemporaryFolder();
  const std::string suffix = ext.starts_with('.') ? ext.substr(1) : ext;
  for (int draw = 0; draw < NameDraws; ++draw) {
    const std::string name = folder + "0_" + std::to_string(Random->RandomBelow(65535)) + "." + suffix;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(name, error))) return name;
  }
  throw EFCreateError(folder + "0_*." + suffix, "No free name");
}

std::string TKVTemporaryFiles::CreateTempFile(const std::string& ext, const void* bytes, std::size_t length) {
  try {
    for (int draw = 0; draw < NameDraws; ++draw) {
      const std::string name = NewTempFileName(ext);
      // Exclusive creation: a file that appeared since the name was drawn is never overwritten or followed.
      std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(name.c_str(), "wbx"));
      if (!file) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(name, error))) continue;
        throw EFCreateError(name);
      }
      const bool written = length == 0 || std::fwrite(bytes, 1, length, file.get()) == length;
      const bool closed = std::fclose(file.release()) == 0;
      if (!written || !closed) {
        std::error_code error;
        fs::remove(name, error);
        throw EWriteError();
      }
      DeleteList.push_back(name);
      SaveLists();
      return name;
    }
  } catch (...) {
  }
  if (Boxes) Boxes->ShowError(CreateError);
  return {};
}

void TKVTemporaryFiles::CleanUp() {
  std::erase_if(DeleteList, [](const std::string& name) {
    std::error_code error;
    const auto status = fs::symlink_status(name, error);
    if (!fs::exists(status)) return true;
    // Only files; a folder in the file list is not ours to empty.
    if (fs::is_directory(status)) return false;
    return fs::remove(name, error) && !error;
  });
  std::erase_if(DeleteFolders, [](const std::string& name) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(name, error))) return true;
    return fs::remove(name, error) && !error;
  });
  SaveLists();
}

void TKVTemporaryFiles::SaveLists() {
  if (!Store) return;
  Store->SetText("DeleteList", ToCommaText(DeleteList));
  Store->SetText("DeleteFolder", ToCommaText(DeleteFolders));
}

} // namespace kv

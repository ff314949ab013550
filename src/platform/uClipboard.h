// The clipboard as the package model sees it: named formats holding byte blocks.
// The real program puts a Qt implementation in place; tests use the in-memory one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class IClipboard {
public:
  virtual ~IClipboard() = default;
  // Replaces the clipboard's content with one block under the named format; false when that fails.
  virtual bool SetData(const std::string& format, const std::vector<uint8_t>& data) = 0;
  virtual bool HasFormat(const std::string& format) const = 0;
  virtual std::optional<std::vector<uint8_t>> GetData(const std::string& format) const = 0;
};

// Holds the content in memory; FailNextSet makes the next SetData fail, as a busy clipboard would.
class THeadlessClipboard : public IClipboard {
public:
  bool SetData(const std::string& format, const std::vector<uint8_t>& data) override;
  bool HasFormat(const std::string& format) const override;
  std::optional<std::vector<uint8_t>> GetData(const std::string& format) const override;
  void Clear() { Content.clear(); }
  bool FailNextSet = false;

private:
  std::map<std::string, std::vector<uint8_t>> Content;
};

// The clipboard in use; a headless one until the program installs its own.
IClipboard& Clipboard();
void SetClipboard(std::unique_ptr<IClipboard> clipboard);

} // namespace kv

#include "platform/uClipboard.h"

namespace kv {

bool THeadlessClipboard::SetData(const std::string& format, const std::vector<uint8_t>& data) {
  if (FailNextSet) {
    FailNextSet = false;
    return false;
  }
  Content.clear();
  Content[format] = data;
  return true;
}

bool THeadlessClipboard::HasFormat(const std::string& format) const {
  return Content.count(format) != 0;
}

std::optional<std::vector<uint8_t>> THeadlessClipboard::GetData(const std::string& format) const {
  const auto it = Content.find(format);
  if (it == Content.end()) return std::nullopt;
  return it->second;
}

namespace {
std::unique_ptr<IClipboard>& Current() {
  static std::unique_ptr<IClipboard> clipboard = std::make_unique<THeadlessClipboard>();
  return clipboard;
}
} // namespace

IClipboard& Clipboard() {
  return *Current();
}

void SetClipboard(std::unique_ptr<IClipboard> clipboard) {
  Current() = clipboard ? std::move(clipboard) : std::make_unique<THeadlessClipboard>();
}

} // namespace kv

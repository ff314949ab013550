#include "platform/uClipboard.h"
#include "platform/uCp1252.h"

#include <gtest/gtest.h>

using namespace kv;

TEST(Cp1252, ConvertsBothWays) {
  const std::pair<std::string, std::string> cases[] = {
      {"Jigsaw", "Jigsaw"},
      {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"}, // é
      {"\x80 5", "\xE2\x82\xAC 5"},       // euro sign
      {"\x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"\xFF", "\xC3\xBF"},
  };
  for (const auto& [ansi, utf8] : cases) {
    EXPECT_EQ(Cp1252ToUtf8(ansi), utf8);
    EXPECT_EQ(Utf8ToCp1252(utf8), ansi);
  }
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?"); // no Windows-1252 form
  // Every byte survives the trip through UTF-8.
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(HeadlessClipboard, HoldsOneFormatAndCanFail) {
  THeadlessClipboard clipboard;
  EXPECT_FALSE(clipboard.HasFormat("KorvanePRJX"));
  EXPECT_TRUE(clipboard.SetData("KorvanePRJX", {1, 2}));
  EXPECT_EQ(clipboard.GetData("KorvanePRJX"), (std::vector<uint8_t>{1, 2}));
  clipboard.FailNextSet = true;
  EXPECT_FALSE(clipboard.SetData("Other", {3}));
  EXPECT_TRUE(clipboard.HasFormat("KorvanePRJX"));
  EXPECT_TRUE(clipboard.SetData("Other", {3}));
  EXPECT_FALSE(clipboard.HasFormat("KorvanePRJX"));
}

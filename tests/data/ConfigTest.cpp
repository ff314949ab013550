#include "core/uKVErrors.h"
#include "data/uKVConfig.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace kv;

namespace {

// Points the configuration folder at a private temporary folder for the test's duration.
class ConfigTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = Get("XDG_CONFIG_HOME");
    SavedHome = Get("HOME");
    setenv("XDG_CONFIG_HOME", Dir.path().c_str(), 1);
  }
  void TearDown() override {
    Restore("XDG_CONFIG_HOME", Saved);
    Restore("HOME", SavedHome);
  }
  static std::optional<std::string> Get(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  std::string ConfigFile(const std::string& key = "Game") const { return Dir.file(key + "/config"); }
  std::string FileText(const std::string& key = "Game") const {
    const auto bytes = kvtest::ReadFileBytes(ConfigFile(key));
    return {bytes.begin(), bytes.end()};
  }

  kvtest::TempDir Dir;
  std::optional<std::string> Saved;
  std::optional<std::string> SavedHome;
};

using Item = TKVConfigItem;

} // namespace

TEST(Config, KeyNameIsTheProgramNameWithoutFolderAndExtension) {
  struct Case {
    const char* program;
    const char* key;
  };
  const Case cases[] = {
      {"Game.exe", "Game"},
      {"/opt/games/Game.exe", "Game"},
      {"/usr/bin/korvane-jigsaw", "korvane-jigsaw"},
      {"jigsaw", "jigsaw"},
      {"archive.tar.gz", "archive.tar"},
      {"/home/u/.hidden", ".hidden"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TKVCustomConfig::KeyNameOf(c.program), c.key) << c.program;
  EXPECT_FALSE(TKVConfig().KeyName.empty()) << "the running program names the key";
}

TEST_F(ConfigTest, FileLivesUnderTheConfigurationFolder) {
  TKVConfig config("/x/Game.exe");
  EXPECT_EQ(config.FileName(), ConfigFile());
  // A relative XDG_CONFIG_HOME is not used; HOME/.config is.
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  setenv("HOME", Dir.path().c_str(), 1);
  EXPECT_EQ(config.FileName(), Dir.file(".config/Game/config"));
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(config.FileName(), "");
  config.SetText("A", "x");
  config.Save(); // nowhere to go: nothing happens
  config.Load();
  EXPECT_EQ(config.Items.size(), 1u);
}

TEST_F(ConfigTest, ThreeTypesRoundTrip) {
  TKVConfig config("Game.exe");
  config.SetText("A", "text");
  config.Items.push_back(Item{"%TEMP%\\x", "B", Item::ctExpandText});
  config.SetInteger("C", 5);
  config.Save();
  EXPECT_EQ(FileText(), "# KVConfig 1\n1\tA\ttext\n2\tB\t%TEMP%\\\\x\n3\tC\t5\n");

  TKVConfig loaded("Game.exe");
  loaded.SetText("Z", "replaced by the load");
  loaded.Load();
  const std::vector<Item> expected = {{"text", "A", 1}, {"%TEMP%\\x", "B", 2}, {"5", "C", 3}};
  EXPECT_EQ(loaded.Items, expected);
  loaded.Save();
  EXPECT_EQ(FileText(), "# KVConfig 1\n1\tA\ttext\n2\tB\t%TEMP%\\\\x\n3\tC\t5\n");
}

TEST_F(ConfigTest, AnyBytesSurvive) {
  static const char raw[] = "tab\there\nline\r\\x41 \\ \x00\x01\x7F\xE9\xFF end";
  const std::string awkward(raw, sizeof raw - 1);
  TKVConfig config("Game");
  config.SetText(awkward, awkward);
  config.SetText("empty", "");
  config.Save();
  TKVConfig loaded("Game");
  loaded.Load();
  ASSERT_EQ(loaded.Items.size(), 2u);
  EXPECT_EQ(loaded.Items[0].Name, awkward);
  EXPECT_EQ(loaded.Items[0].Value, awkward);
  EXPECT_EQ(loaded.GetText("EMPTY", "default"), "");
}

TEST_F(ConfigTest, GetTextReadsOnlyTextItems) {
  TKVConfig config("Game");
  config.SetInteger("Count", 3);
  config.Items.push_back(Item{"%PATH%", "Path", Item::ctExpandText});
  config.Items.push_back(Item{"first", "Name", Item::ctText});
  config.Items.push_back(Item{"second", "NAME", Item::ctText});
  EXPECT_EQ(config.GetText("Count", "none"), "none");
  EXPECT_EQ(config.GetText("path", "none"), "none");
  EXPECT_EQ(config.GetText("name", "none"), "second"); // the last match wins
  EXPECT_EQ(config.GetText("missing", "none"), "none");

  // Setting changes the last matching item and its type; a new name adds one.
  config.SetText("COUNT", "three");
  EXPECT_EQ(config.GetText("count", "none"), "three");
  config.SetInteger("name", -7);
  EXPECT_EQ(config.Items[2].Value, "first");
  EXPECT_EQ(config.Items[3], (Item{"-7", "NAME", Item::ctInteger}));
  EXPECT_EQ(config.GetText("name", "none"), "first");
  config.SetText("New", "n");
  EXPECT_EQ(config.Items.back(), (Item{"n", "New", Item::ctText}));
}

TEST_F(ConfigTest, MissingFileLoadsNothingAndSaveCreatesIt) {
  TKVConfig config("Game");
  config.SetText("kept", "1");
  config.Load();
  EXPECT_EQ(config.Items.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(ConfigFile()));

  TKVConfig empty("Game");
  empty.Save();
  EXPECT_EQ(FileText(), "# KVConfig 1\n");
}

TEST_F(ConfigTest, SaveKeepsStoredValuesNoItemNames) {
  std::filesystem::create_directories(Dir.file("Game"));
  kvtest::WriteFileBytes(ConfigFile(),
                         {'1', '\t', 'O', 'l', 'd', '\t', 'o', '\n', '1', '\t', 'a', '\t', 'x', '\n'});
  TKVConfig config("Game");
  config.SetText("A", "new");
  config.SetInteger("B", 2);
  config.Save();
  EXPECT_EQ(FileText(), "# KVConfig 1\n1\tOld\to\n1\tA\tnew\n3\tB\t2\n");
}

TEST_F(ConfigTest, SaveKeepsLinesItDoesNotUnderstandAndWritesOnlyChanges) {
  std::filesystem::create_directories(Dir.file("Game"));
  const std::string text = "# KVConfig 1\n# the player's own note\n1\tA\told\n\n7\tFuture\tkind\nno tabs\n"
                           "1\ta\tolder\n3\tN\t5\n";
  kvtest::WriteFileBytes(ConfigFile(), {text.begin(), text.end()});
  TKVConfig config("Game");
  config.Load();
  // Nothing changed: the file is not written at all.
  const auto before = std::filesystem::last_write_time(ConfigFile());
  std::filesystem::last_write_time(ConfigFile(), before - std::chrono::hours(1));
  config.Save();
  EXPECT_EQ(std::filesystem::last_write_time(ConfigFile()), before - std::chrono::hours(1));
  EXPECT_EQ(FileText(), text);
  // A changed value takes the place of the last line of its name, the one a read takes; the other lines
  // stay as they stood.
  config.SetText("A", "new");
  config.Save();
  EXPECT_EQ(FileText(), "# KVConfig 1\n# the player's own note\n1\tA\told\n\n7\tFuture\tkind\nno tabs\n"
                        "1\ta\tnew\n3\tN\t5\n");
  TKVConfig again("Game");
  again.Load();
  EXPECT_EQ(again.GetText("A", ""), "new");
}

TEST_F(ConfigTest, OnlyARegularFileIsReadOrWritten) {
  std::filesystem::create_directories(Dir.file("Game"));
  // A pipe in the file's place would hold the program at start and at exit.
  ASSERT_EQ(mkfifo(ConfigFile().c_str(), 0600), 0);
  TKVConfig config("Game");
  EXPECT_THROW(config.Load(), EFOpenError);
  config.SetText("A", "x");
  EXPECT_NO_THROW(config.Save());
  EXPECT_TRUE(std::filesystem::is_fifo(ConfigFile()));
  std::filesystem::remove(ConfigFile());

  // A file far larger than any configuration is neither read nor replaced.
  {
    std::FILE* big = std::fopen(ConfigFile().c_str(), "wb");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(ftruncate(fileno(big), TKVConfig::MaxFileSize + 1), 0);
    std::fclose(big);
  }
  EXPECT_THROW(config.Load(), EFOpenError);
  config.Save();
  EXPECT_EQ(std::filesystem::file_size(ConfigFile()), static_cast<uintmax_t>(TKVConfig::MaxFileSize + 1));
}

TEST_F(ConfigTest, LoadIgnoresLinesThatAreNotValues) {
  std::filesystem::create_directories(Dir.file("Game"));
  const std::string text = "# comment\n\n4\tX\t1\n1\tNoValue\n3\tBad\tabc\n3\tBig\t99999999999\n12\tY\t1\n"
                           "1\tGood\tyes\r\n3\tN\t-12\n2\tE\t\\q\\";
  kvtest::WriteFileBytes(ConfigFile(), {text.begin(), text.end()});
  TKVConfig config("Game");
  config.Load();
  const std::vector<Item> expected = {{"yes", "Good", 1}, {"-12", "N", 3}, {"q\\", "E", 2}};
  EXPECT_EQ(config.Items, expected);
}

TEST_F(ConfigTest, GetIntegerReadsOnlyIntegerItems) {
  TKVConfig config("Game");
  config.SetInteger("Sound", 0);
  config.SetText("Name", "12");
  config.Items.push_back(Item{"junk", "Bad", Item::ctInteger});
  EXPECT_EQ(config.GetInteger("sound", 1), 0);
  EXPECT_EQ(config.GetInteger("Name", 5), 5);
  EXPECT_EQ(config.GetInteger("Bad", 7), 7);
  EXPECT_EQ(config.GetInteger("Missing", -1), -1);
}

TEST_F(ConfigTest, SaveSwallowsErrors) {
  // The key's folder cannot be made: a file is in the way.
  kvtest::WriteFileBytes(Dir.file("Game"), {'x'});
  TKVConfig config("Game");
  config.SetText("A", "x");
  EXPECT_NO_THROW(config.Save());
  EXPECT_EQ(kvtest::ReadFileBytes(Dir.file("Game")), std::vector<uint8_t>{'x'});

  // An integer item that is no number is left out; the rest is written.
  TKVConfig other("Other");
  other.Items.push_back(Item{"five", "I", Item::ctInteger});
  other.Items.push_back(Item{"v", "T", Item::ctText});
  other.Items.push_back(Item{"v", "U", 9});
  other.Save();
  EXPECT_EQ(FileText("Other"), "# KVConfig 1\n1\tT\tv\n");
}

TEST_F(ConfigTest, IniStoreTouchesNothing) {
  TKVConfig config("Game");
  config.SetText("A", "x");
  config.Save();
  const std::string before = FileText();

  TKVConfig ini("Game");
  ini.Store = TKVConfigStore::kvIni;
  ini.Load();
  EXPECT_TRUE(ini.Items.empty());
  ini.SetText("B", "y");
  ini.Save();
  EXPECT_EQ(FileText(), before);

  TKVConfig fresh("Fresh");
  fresh.Store = TKVConfigStore::kvIni;
  fresh.Save();
  EXPECT_FALSE(std::filesystem::exists(ConfigFile("Fresh")));
}

TEST(Config, PublishesStore) {
  TKVConfig config("Game");
  const TKVPropInfo* store = config.FindProperty("store");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Kind, TKVPropertyKind::pkEnumeration);
  EXPECT_EQ(store->Members, (std::vector<std::string>{"kvRegistry", "kvIni"}));
  store->SetInt(config, 1);
  EXPECT_EQ(config.Store, TKVConfigStore::kvIni);
}

#include "core/uKVErrors.h"
#include "data/uKVCustomJigsawProject.h"
#include "data/uKVPersistentList.h"
#include "data/uKVProjectReflection.h"
#include "data/uKVStreamFunc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kv;
using SF = TKVStreamFunc;

namespace {

std::vector<uint8_t> ToBytes(std::string_view s) {
  return {s.begin(), s.end()};
}

// Base64 of the zlib-compressed bytes, as the XML keeps streams, animations and lists.
std::string Packed(std::string_view plain) {
  TMemoryStream source(ToBytes(plain));
  TMemoryStream packed;
  SF::CompressStream(source, packed);
  return SF::EncodeBase64(packed);
}

std::string Plain64(std::string_view plain) {
  TMemoryStream source(ToBytes(plain));
  return SF::EncodeBase64(source);
}

std::string AsText(const TMemoryStream& s) {
  return {s.Bytes().begin(), s.Bytes().end()};
}

std::string SaveXml(TPersistent& object, TKVProjectReflection& reflection) {
  TMemoryStream out;
  reflection.SaveToStream(out, object);
  return AsText(out);
}

std::string SaveXml(TPersistent& object) {
  TKVProjectReflection reflection;
  return SaveXml(object, reflection);
}

void LoadXml(std::string_view xml, TPersistent& object) {
  TKVProjectReflection reflection;
  reflection.LoadFromBytes(ToBytes(xml), object);
}

// A small 1 x 1 BMP file header followed by one pixel.
std::vector<uint8_t> TinyBmp(int32_t width, int32_t height) {
  std::vector<uint8_t> b(58, 0);
  b[0] = 'B';
  b[1] = 'M';
  b[2] = 58;
  b[10] = 54;
  b[14] = 40;
  for (int i = 0; i < 4; ++i) {
    b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * i));
    b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
  }
  b[26] = 1;
  b[28] = 32;
  b[54] = 0x11;
  b[57] = 0xFF;
  return b;
}

// ---- a family of test classes that uses every kind of property

class TPart : public TKVObject {
public:
  int32_t Size = 0;
  static const TKVClassInfo& StaticClassInfo() {
    static const TKVClassInfo info{"TTestPart",
                                   &TKVObject::StaticClassInfo(),
                                   MakeFactory<TPart>(),
                                   {IntegerProperty<TPart>("Size", &TPart::Size)}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TParts : public TCollection {
public:
  TParts() : TCollection(TPart::StaticClassInfo()) {}
  static const TKVClassInfo& StaticClassInfo() {
    static const TKVClassInfo info{"TTestParts", &TCollection::StaticClassInfo(), MakeFactory<TParts>(), {}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  std::string ReflectionNameSpace() const override { return ClassName(); }
};

// A list with a published property of its own, whose element is not an item.
class TBag : public TKVPersistentList {
public:
  int32_t Limit = 0;
  static const TKVClassInfo& StaticClassInfo() {
    static const TKVClassInfo info{"TTestBag",
                                   &TKVPersistentList::StaticClassInfo(),
                                   MakeFactory<TBag>(),
                                   {IntegerProperty<TBag>("Limit", &TBag::Limit)}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

enum class TShade { tsLight, tsDark, tsMixed };

class TThing : public TKVObject {
public:
  int32_t Count = 0;
  TShade Shade = TShade::tsLight;
  int32_t Flags = 0; // set of tfRed, tfGreen, tfBlue
  std::string Caption;
  std::string ReflectionNameValue;
  TMemoryStream Blob;
  TKVBitmapBytes Picture;
  TKVBitmapBytes Picture32;
  std::vector<std::string> Lines;
  std::unique_ptr<TThing> Child;
  std::unique_ptr<TParts> Parts;
  TBag Bag;
  std::string ItemName; // as a list item: its element name

  static const TKVClassInfo& StaticClassInfo() {
    using T = TThing;
    static const TKVClassInfo info{
        "TTestThing",
        &TKVObject::StaticClassInfo(),
        MakeFactory<T>(),
        {IntegerProperty<T>("Count", &T::Count),
         OrdinalProperty<T>(
             "Shade", TKVPropertyKind::pkEnumeration, {"tsLight", "tsDark", "tsMixed"},
             [](const T& t) { return static_cast<int32_t>(t.Shade); },
             [](T& t, int32_t v) { t.Shade = static_cast<TShade>(v); }),
         OrdinalProperty<T>(
             "Flags", TKVPropertyKind::pkSet, {"tfRed", "tfGreen", "tfBlue"},
             [](const T& t) { return t.Flags; }, [](T& t, int32_t v) { t.Flags = v; }),
         StringProperty<T>("Caption", &T::Caption),
         StringProperty<T>("ReflectionName", &T::ReflectionNameValue), StreamProperty<T>("Blob", &T::Blob),
         BitmapProperty<T>("Picture", TKVObjectKind::okBitmap, &T::Picture),
         BitmapProperty<T>("Picture32", TKVObjectKind::okBitmap32, &T::Picture32),
         StringListProperty<T>("Lines", &T::Lines), OwnedObjectProperty<T, TThing>("Child", &T::Child),
         OwnedObjectProperty<T, TParts>("Parts", &T::Parts, TKVObjectKind::okCollection),
         ObjectProperty<T>("Bag", TKVObjectKind::okPersistentList,
                           [](T& t) -> TPersistent* { return &t.Bag; })}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Created children must be found again by their class.
  std::string ReflectionNameSpace() const override { return ClassName(); }
  std::string ReflectionName() const override { return ItemName; }
};

// Declines to be read or written by the default rules.
class TShy : public TKVObject, public IReflectionReadHook, public IReflectionWriteHook {
public:
  int32_t Value = 0;
  bool Asked = false;
  static const TKVClassInfo& StaticClassInfo() {
    static const TKVClassInfo info{"TTestShy",
                                   &TKVObject::StaticClassInfo(),
                                   MakeFactory<TShy>(),
                                   {IntegerProperty<TShy>("Value", &TShy::Value)}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void BeforeReflectionRead(TPersistent& object, const pugi::xml_node& element, bool& proceed) override {
    Asked = &object == this && std::string_view(element.name()) == "Shy";
    proceed = false;
  }
  void BeforeReflectionWrite(TPersistent&, const pugi::xml_node& element, bool& proceed) override {
    pugi::xml_node(element).append_attribute("hook") = "1";
    proceed = false;
  }
};

class THolder : public TKVObject {
public:
  TShy Shy;
  TThing* Link = nullptr; // a reference, not owned
  static const TKVClassInfo& StaticClassInfo() {
    using T = THolder;
    static const TKVClassInfo info{
        "TTestHolder",
        &TKVObject::StaticClassInfo(),
        MakeFactory<T>(),
        {ObjectProperty<T>("Shy", TKVObjectKind::okObject, [](T& h) -> TPersistent* { return &h.Shy; }),
         ObjectProperty<T>("Link", TKVObjectKind::okObject, [](T& h) -> TPersistent* { return h.Link; })}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class ReflectionTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto& registry = TKVClassRegistry::Instance();
    registry.Register(TThing::StaticClassInfo());
    registry.Register(TPart::StaticClassInfo());
    registry.Register(TParts::StaticClassInfo());
  }
  void TearDown() override {
    auto& registry = TKVClassRegistry::Instance();
    registry.Unregister("TTestThing");
    registry.Unregister("TTestPart");
    registry.Unregister("TTestParts");
  }
};

std::string ProjectXml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><TJigsawProject2>" + body + "</TJigsawProject2>";
}

void SetBytes(TKVBGVClass& animation, std::string_view bytes) {
  TMemoryStream s(ToBytes(bytes));
  animation.LoadFromStream(s);
}

std::string Int32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  return bytes;
}

// An animation stream: version, width, height, the third value, the item count (one byte below 255, else
// 255 and an int32), then the items' bytes as given.
std::string Animation(int32_t width, int32_t height, int32_t third, int32_t count,
                      std::string_view items = {}, uint8_t version = 1) {
  std::string bytes(1, static_cast<char>(version));
  bytes += Int32(width) + Int32(height) + Int32(third);
  bytes += count >= 0 && count < 255 ? std::string(1, static_cast<char>(count)) : "\xFF" + Int32(count);
  return bytes + std::string(items);
}

// Items as the player stores them: a show-frame item (type 1, no data, no properties) and a place-object
// item (type 3, no data, Depth and SourceObjectID as int32).
const std::string ShowFrame("\x01\x00", 2);
const std::string PlaceObject = std::string("\x03\x00", 2) + Int32(4) + Int32(77);

// Walks an animation stream by the format's rules, independently of the class under test: "version 1,
// W x H, third T, N items" when the bytes are exactly one animation, otherwise what is wrong.
std::string WalkAnimation(const std::vector<uint8_t>& bytes) {
  std::size_t at = 0;
  auto take = [&](std::size_t n) {
    if (bytes.size() - at < n) throw std::out_of_range("past the end at byte " + std::to_string(at));
    uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    at += n;
    return value;
  };
  try {
    const uint32_t version = take(1);
    if (version != 1) return "version " + std::to_string(version);
    const auto width = static_cast<int32_t>(take(4));
    const auto height = static_cast<int32_t>(take(4));
    const auto third = static_cast<int32_t>(take(4));
    uint32_t count = take(1);
    if (count == 255) count = take(4);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t type = take(1);
      if (type == 255) type = take(2);
      uint32_t size = take(1);
      if (size == 255) size = take(4);
      if (bytes.size() - at < size) return "item " + std::to_string(i) + " data past the end";
      at += size;
      const int properties[] = {-1, 0, 1, 2, 4}; // int32 properties of the types 1 to 4
      if (type < 1 || type > 4)
        return "item " + std::to_string(i) + " of unknown type " + std::to_string(type);
      for (int k = 0; k < properties[type]; ++k) take(4);
    }
    if (at != bytes.size()) return std::to_string(bytes.size() - at) + " bytes after the animation";
    return "version 1, " + std::to_string(width) + " x " + std::to_string(height) + ", third " +
           std::to_string(third) + ", " + std::to_string(count) + " items";
  } catch (const std::out_of_range& e) {
    return e.what();
  }
}

// The animation elements of a written project, each decoded from Base64 and decompressed.
std::vector<std::vector<uint8_t>> AnimationsIn(const std::string& xml) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_latin1));
  std::vector<std::vector<uint8_t>> result;
  for (const char* name : {"Splash2", "About2", "Icon2"}) {
    const pugi::xml_node data = document.document_element().child(name).child("Data");
    EXPECT_TRUE(data) << name;
    TMemoryStream packed;
    SF::DecodeBase64(data.text().get(), packed);
    packed.SetPosition(0);
    TMemoryStream plain;
    SF::DecompressStream(packed, plain);
    result.push_back(plain.Bytes());
  }
  return result;
}

} // namespace

// ---- the class registry and the property descriptions

TEST_F(ReflectionTest, ClassesAreCreatedByName) {
  auto& registry = TKVClassRegistry::Instance();
  struct Case {
    const char* name;
    const char* created; // class name of the result, "" for none
  };
  const Case cases[] = {
      {"TTestThing", "TTestThing"},   {"ttestthing", "TTestThing"}, {"TKVObject", "TKVObject"},
      {"TKVBGVClass", "TKVBGVClass"}, {"TNoSuchClass", ""},         {"", ""},
  };
  for (const auto& c : cases) {
    const auto object = registry.Create(c.name);
    EXPECT_EQ(object ? object->ClassName() : "", c.created) << c.name;
  }
  // The virtual constructor gives TKVObject descendants only.
  EXPECT_EQ(TKVObject::Create("TTestThing")->ClassName(), "TTestThing");
  EXPECT_EQ(TKVObject::Create("TKVBGVClass"), nullptr); // a component, not a TKVObject
  EXPECT_EQ(TKVObject::Create("TNoSuchClass"), nullptr);
  TKVObject object;
  EXPECT_EQ(object.QueryInterface(IStreamStorage::GUID), nullptr);

  // Properties come in class order, the parent's first; lookups ignore case.
  TThing thing;
  const auto props = thing.PublishedProperties();
  ASSERT_EQ(props.size(), 12u);
  EXPECT_EQ(props.front()->Name, "Count");
  EXPECT_EQ(props.back()->Name, "Bag");
  EXPECT_EQ(thing.FindProperty("PICTURE32")->ObjectKind, TKVObjectKind::okBitmap32);
  EXPECT_EQ(thing.FindProperty("Missing"), nullptr);
  TKVCustomJigsawProject project;
  std::vector<std::string> names;
  for (const auto* p : project.PublishedProperties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Splash2", "About2", "Icon2", "Language"}));
}

TEST(ProjectReflection, BitmapSizeComesFromTheBmpHeader) {
  TKVBitmapBytes info{TinyBmp(2, -3), 0}; // top-down
  EXPECT_EQ(info.Width(), 2);
  EXPECT_EQ(info.Height(), 3);
  TKVBitmapBytes core{TinyBmp(0, 0), 0};
  core.Bmp[14] = 12; // the old core header: two 16-bit values
  core.Bmp[18] = 0x2C;
  core.Bmp[19] = 0x01;
  core.Bmp[20] = 0xFF;
  core.Bmp[21] = 0xFF;
  EXPECT_EQ(core.Width(), 300);
  EXPECT_EQ(core.Height(), 65535);
  for (const std::vector<uint8_t>& bad :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{'B', 'M', 0}, std::vector<uint8_t>(58, 'x')}) {
    const TKVBitmapBytes b{bad, 0};
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
  }
}

// ---- the jigsaw project's form

TEST(ProjectReflection, LanguageElementGivesItsLines) {
  TKVCustomJigsawProject project;
  project.Language = {"old line"};
  const std::string xml = ProjectXml("<Language>" + Packed("quit=Quit Korvane Jigsaw ?\r\n") + "</Language>");
  project.PublishedXml = TMemoryStream(ToBytes(xml));
  project.ApplyPublishedXml();
  EXPECT_EQ(project.Language, (std::vector<std::string>{"quit=Quit Korvane Jigsaw ?"}));
  EXPECT_EQ(project.QuitText(), "Quit Korvane Jigsaw ?");
  EXPECT_EQ(AsText(project.PublishedXml), xml) << "the stored text is kept unchanged";
}

TEST(ProjectReflection, CompressedValuesInflateWithinOneBudget) {
  // A list that inflates to 4000 bytes: taken within a budget that holds it, read as empty past one that
  // does not, and a budget used up by one value leaves nothing for the next.
  const std::string lines(4000, 'x');
  const std::string xml = ProjectXml("<Language>" + Packed(lines) + "</Language>");
  const struct {
    int64_t Budget;
    std::size_t Lines;
  } cases[] = {{-1, 1}, {5000, 1}, {3999, 0}, {0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Budget);
    TKVCustomJigsawProject project;
    project.PublishedXml = TMemoryStream(ToBytes(xml));
    project.ApplyPublishedXml({}, c.Budget);
    EXPECT_EQ(project.Language.size(), c.Lines);
  }
  TKVProjectReflection reflection;
  reflection.InflateBudget = 6000;
  TKVCustomJigsawProject project;
  reflection.LoadFromBytes(ToBytes(xml), project);
  EXPECT_EQ(project.Language.size(), 1u);
  EXPECT_EQ(reflection.InflateBudget, 2000);
  project.Language.clear();
  reflection.LoadFromBytes(ToBytes(xml), project);
  EXPECT_TRUE(project.Language.empty());
}

TEST(ProjectReflection, MissingElementsLeaveTheirPropertiesAsTheyWere) {
  TKVCustomJigsawProject project;
  const std::string splash = Animation(320, 200, 0, 1, ShowFrame);
  const std::string about = Animation(64, 48, 5, 2, PlaceObject + ShowFrame);
  SetBytes(project.Splash2, splash);
  SetBytes(project.About2, Animation(1, 1, 0, 0));
  project.Language = {"a=b"};
  project.Name = "Keep";
  project.Tag = 3;
  project.PublishedXml = TMemoryStream(ToBytes(ProjectXml(
      "<Unknown>5</Unknown><About2><Data>" + Packed(about) + "</Data></About2><Icon2><Other/></Icon2>")));
  project.ApplyPublishedXml();
  EXPECT_EQ(AsText(project.Splash2.Bytes()), splash);
  EXPECT_EQ(AsText(project.About2.Bytes()), about);
  EXPECT_EQ(project.About2.ItemCount(), 2);
  EXPECT_TRUE(project.Icon2.Empty()); // an animation element without "Data" changes nothing
  EXPECT_EQ(project.Language, (std::vector<std::string>{"a=b"}));
  EXPECT_EQ(project.Name, "Keep");
  EXPECT_EQ(project.Tag, 3);
}

TEST(ProjectReflection, AnEmptyRecordChangesNothing) {
  TKVCustomJigsawProject project;
  project.Language = {"x"};
  project.ApplyPublishedXml();
  EXPECT_EQ(project.Language, (std::vector<std::string>{"x"}));
}

TEST(ProjectReflection, FullProjectRoundTrip) {
  TKVCustomJigsawProject source;
  source.Name = "Jigsaw\xE9";
  source.Tag = -42;
  const std::string splash = Animation(320, 200, 25, 2, PlaceObject + ShowFrame);
  SetBytes(source.Splash2, splash);
  SetBytes(source.About2, Animation(640, 480, -1, 0));
  SetBytes(source.Icon2, "");
  source.Language = {"quit=Leave \xE9t\xE9 ?", "", "  spaced  ", "tab\there", "Of=von"};

  TKVProjectReflection writer;
  const std::string xml = SaveXml(source, writer);
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << xml;
  EXPECT_NE(xml.find("<Name>Jigsaw\xE9</Name>"), std::string::npos) << "single byte 0xE9 expected";
  EXPECT_NE(xml.find("<Tag>-42</Tag>"), std::string::npos);
  const auto order = {xml.find("<Name>"),   xml.find("<Tag>"),   xml.find("<Splash2>"),
                      xml.find("<About2>"), xml.find("<Icon2>"), xml.find("<Language>")};
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << xml;
  EXPECT_NE(xml.find("<Splash2><Data>" + Packed(splash) + "</Data></Splash2>"), std::string::npos);

  TKVCustomJigsawProject target;
  target.PublishedXml = TMemoryStream(ToBytes(xml));
  target.ApplyPublishedXml();
  EXPECT_EQ(target.Name, source.Name);
  EXPECT_EQ(target.Tag, source.Tag);
  EXPECT_EQ(target.Splash2.Bytes().Bytes(), source.Splash2.Bytes().Bytes());
  EXPECT_EQ(target.About2.Bytes().Bytes(), source.About2.Bytes().Bytes());
  EXPECT_EQ(target.About2.Width(), 640);
  EXPECT_TRUE(target.About2.Empty());
  EXPECT_TRUE(target.Icon2.Empty());
  EXPECT_EQ(target.Language, source.Language);
}

// ---- animations

TEST(AnimationStream, HeaderIsReadAndTheStreamKept) {
  const std::string emptyForm = Animation(0, 0, 0, 0);
  struct Case {
    const char* name;
    std::string bytes;
    int32_t width, height, items;
    std::string saved; // what saving writes
  };
  const Case cases[] = {
      {"no bytes (older writers)", "", 0, 0, 0, emptyForm},
      {"the empty form", emptyForm, 0, 0, 0, emptyForm},
      {"size without items", Animation(300, 200, 9, 0), 300, 200, 0, Animation(300, 200, 9, 0)},
      {"two items", Animation(64, 32, 0, 2, PlaceObject + ShowFrame), 64, 32, 2,
       Animation(64, 32, 0, 2, PlaceObject + ShowFrame)},
      // Counts from 255 up take the long form; the items themselves are the player's to read.
      {"long count", Animation(1, 2, 3, 300), 1, 2, 300, Animation(1, 2, 3, 300)},
      {"negative long count", Animation(1, 2, 3, -5), 1, 2, 0, Animation(1, 2, 3, -5)},
      {"version 2", Animation(64, 32, 0, 2, PlaceObject + ShowFrame, 2), 0, 0, 0, emptyForm},
      {"version 0", std::string(1, '\0'), 0, 0, 0, emptyForm},
  };
  for (const Case& c : cases) {
    TKVBGVClass animation;
    SetBytes(animation, Animation(5, 5, 0, 1, ShowFrame)); // a previous animation is replaced
    SetBytes(animation, c.bytes);
    EXPECT_EQ(animation.Width(), c.width) << c.name;
    EXPECT_EQ(animation.Height(), c.height) << c.name;
    EXPECT_EQ(animation.ItemCount(), c.items) << c.name;
    EXPECT_EQ(animation.Empty(), c.items == 0) << c.name;
    TMemoryStream saved;
    animation.SaveToStream(saved);
    EXPECT_EQ(AsText(saved), c.saved) << c.name;
  }
  EXPECT_EQ(WalkAnimation(ToBytes(emptyForm)), "version 1, 0 x 0, third 0, 0 items");
  EXPECT_EQ(emptyForm.size(), 14u);
}

TEST(AnimationStream, HeaderCutShortRaisesReadErrorAndKeepsTheAnimation) {
  const std::string whole = Animation(64, 32, 0, 300);
  for (const std::size_t length : {1u, 2u, 5u, 9u, 13u, 14u, 17u}) {
    TKVBGVClass animation;
    const std::string before = Animation(5, 6, 0, 1, ShowFrame);
    SetBytes(animation, before);
    EXPECT_THROW(SetBytes(animation, whole.substr(0, length)), EReadError) << length;
    EXPECT_EQ(AsText(animation.Bytes()), before) << length;
    EXPECT_EQ(animation.ItemCount(), 1) << length;
  }
}

// A project without animations writes each as the format has an animation (version, size, third value,
// item count), never as a stream of no bytes, which readers of the format run past the end of.
TEST(ProjectReflection, MissingAnimationsAreWrittenAsEmptyAnimations) {
  TKVCustomJigsawProject project;
  project.Language = {"quit=Stop?"};
  const std::string xml = SaveXml(project);
  for (const std::vector<uint8_t>& stream : AnimationsIn(xml))
    EXPECT_EQ(WalkAnimation(stream), "version 1, 0 x 0, third 0, 0 items") << xml;

  // Written animations keep their stream, and each is exactly one animation.
  const std::string splash = Animation(320, 200, 25, 2, PlaceObject + ShowFrame);
  SetBytes(project.Splash2, splash);
  const auto streams = AnimationsIn(SaveXml(project));
  EXPECT_EQ(WalkAnimation(streams[0]), "version 1, 320 x 200, third 25, 2 items");
  EXPECT_EQ(streams[0], ToBytes(splash));
  EXPECT_EQ(WalkAnimation(streams[1]), "version 1, 0 x 0, third 0, 0 items");
}

// Packages from earlier writers hold a compressed stream of no bytes for a missing animation: it reads as an
// empty animation, and is written back in the format's form.
TEST(ProjectReflection, OldEmptyAnimationDataReadsAsEmpty) {
  TKVCustomJigsawProject project;
  SetBytes(project.Icon2, Animation(5, 5, 0, 1, ShowFrame));
  project.PublishedXml = TMemoryStream(ToBytes(ProjectXml(
      "<Splash2><Data>" + Packed("") + "</Data></Splash2><Icon2><Data>" + Packed("") + "</Data></Icon2>")));
  project.ApplyPublishedXml();
  EXPECT_TRUE(project.Splash2.Empty());
  EXPECT_TRUE(project.Icon2.Empty());
  for (const std::vector<uint8_t>& stream : AnimationsIn(SaveXml(project)))
    EXPECT_EQ(WalkAnimation(stream), "version 1, 0 x 0, third 0, 0 items");
}

TEST(ProjectReflection, QuitTextTakesTheLastQuitLine) {
  TKVCustomJigsawProject project;
  EXPECT_FALSE(project.LanguageQuitText().has_value());
  project.Language = {"QUIT=first", "other=1", "Quit=second", "quitx=no"};
  EXPECT_EQ(project.QuitText(), "second");
  project.Language = {"quit=" + std::string(300, 'q')};
  EXPECT_EQ(project.QuitText().size(), 255u);
  project.Language = {"quit="};
  ASSERT_TRUE(project.LanguageQuitText().has_value());
  EXPECT_EQ(*project.LanguageQuitText(), ""); // close without asking
}

// ---- failures and hostile input

TEST(ProjectReflection, MalformedXmlRaisesXmlError) {
  const char* documents[] = {"",           "   ",           "not xml",
                             "<a>",        "<a></b>",       "<?xml version=\"1.0\"?><a",
                             "<a><b></a>", "<a attr=></a>", "<!-- only a comment -->"};
  for (const char* xml : documents) {
    TKVCustomJigsawProject project;
    project.PublishedXml = TMemoryStream(ToBytes(xml));
    if (project.PublishedXml.Empty()) {
      TKVProjectReflection reflection;
      EXPECT_THROW(reflection.LoadFromBytes({}, project), EXmlError);
      continue;
    }
    try {
      project.ApplyPublishedXml();
      ADD_FAILURE() << "no error for: " << xml;
    } catch (const EXmlError& e) {
      EXPECT_STRNE(e.what(), "") << xml;
    }
  }
}

TEST(ProjectReflection, BadBase64LeavesWhatCouldBeDecoded) {
  TKVCustomJigsawProject project;
  SetBytes(project.Splash2, Animation(8, 8, 0, 1, ShowFrame));
  ASSERT_FALSE(project.Splash2.Empty());
  project.Language = {"old"};
  project.PublishedXml = TMemoryStream(ToBytes(ProjectXml(
      "<Splash2><Data>!!not base64!!</Data></Splash2><Language>@@@" + Packed("x") + "</Language>")));
  project.ApplyPublishedXml();
  // Nothing valid was decoded: the animation loads from an empty stream, the list from empty text.
  EXPECT_TRUE(project.Splash2.Empty());
  EXPECT_TRUE(project.Language.empty());
}

TEST_F(ReflectionTest, DeepNestingIsBounded) {
  // A chain of nested objects far deeper than any real document.
  const int depth = 20000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<TTestThing:Child>";
  xml += "<Count>1</Count>";
  for (int i = 0; i < depth; ++i) xml += "</TTestThing:Child>";
  TThing root;
  LoadXml("<R>" + xml + "</R>", root);
  int levels = 0;
  for (const TThing* t = root.Child.get(); t; t = t->Child.get()) ++levels;
  EXPECT_GT(levels, 10);
  EXPECT_LT(levels, TKVProjectReflection::MaxDepth);

  // The same through list items.
  std::string items;
  for (int i = 0; i < depth; ++i) items += "<TTestThing><Bag>";
  for (int i = 0; i < depth; ++i) items += "</Bag></TTestThing>";
  TThing listRoot;
  LoadXml("<R><Bag>" + items + "</Bag></R>", listRoot);
  EXPECT_EQ(listRoot.Bag.Count(), 1);
}

// ---- the general rules

TEST_F(ReflectionTest, ValuesOfEveryKindRoundTrip) {
  TThing source;
  source.Count = 2147483647;
  source.Shade = TShade::tsMixed;
  source.Flags = 0b101;
  source.Caption = "  line one\r\nline \xE9 two & <three> \x01 ";
  source.ReflectionNameValue = "not written";
  source.Blob = TMemoryStream(ToBytes(std::string("\x00\xFF\x10", 3)));
  source.Picture.Bmp = TinyBmp(1, 1);
  source.Picture32.Bmp = TinyBmp(2, -3);
  source.Picture32.Extra = 1;
  source.Lines = {"one", "", "tw\xE9"};
  source.Child = std::make_unique<TThing>();
  source.Child->Count = 7;
  source.Child->Lines = {"nested"};
  source.Parts = std::make_unique<TParts>();
  static_cast<TPart&>(source.Parts->Add()).Size = 11;
  static_cast<TPart&>(source.Parts->Add()).Size = 12;
  source.Bag.Limit = 9;
  auto item = std::make_unique<TThing>();
  item->Count = 5;
  source.Bag.AddOwned(std::move(item));
  source.Bag.Add(nullptr); // empty items are not written
  TThing outside;
  outside.Caption = "added by reference";
  source.Bag.Add(&outside);

  const std::string xml = SaveXml(source);
  EXPECT_EQ(xml.find("ReflectionName"), std::string::npos) << "excluded by the default pattern";
  EXPECT_NE(xml.find("<Shade>tsMixed</Shade>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Flags>[tfRed,tfBlue]</Flags>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Blob>" + Plain64(std::string("\x00\xFF\x10", 3)) + "</Blob>"), std::string::npos);
  EXPECT_NE(xml.find("<TTestThing:Child xmlns:TTestThing="), std::string::npos) << xml;

  TThing target;
  target.ReflectionNameValue = "kept";
  LoadXml(xml, target);
  EXPECT_EQ(target.Count, source.Count);
  EXPECT_EQ(target.Shade, source.Shade);
  EXPECT_EQ(target.Flags, source.Flags);
  EXPECT_EQ(target.Caption, source.Caption);
  EXPECT_EQ(target.ReflectionNameValue, "kept");
  EXPECT_EQ(target.Blob.Bytes(), source.Blob.Bytes());
  EXPECT_EQ(target.Picture, source.Picture);
  EXPECT_EQ(target.Picture32, source.Picture32);
  EXPECT_EQ(target.Lines, source.Lines);
  ASSERT_TRUE(target.Child);
  EXPECT_EQ(target.Child->Count, 7);
  EXPECT_EQ(target.Child->Lines, source.Child->Lines);
  EXPECT_FALSE(target.Child->Child);
  ASSERT_TRUE(target.Parts);
  ASSERT_EQ(target.Parts->Count(), 2);
  EXPECT_EQ(static_cast<TPart&>(target.Parts->Item(1)).Size, 12);
  EXPECT_EQ(target.Bag.Limit, 9);
  ASSERT_EQ(target.Bag.Count(), 2) << "the bag's own property is not an item";
  EXPECT_EQ(static_cast<TThing*>(target.Bag.Items(0))->Count, 5);
  EXPECT_EQ(static_cast<TThing*>(target.Bag.Items(1))->Caption, "added by reference");
  EXPECT_TRUE(target.Bag.Owns(1));
}

TEST_F(ReflectionTest, ScalarTextsAreReadLikeThePlayerDoes) {
  struct Case {
    std::string body;
    int32_t count;
    TShade shade;
    int32_t flags;
  };
  const Case cases[] = {
      {"<Count>12</Count>", 12, TShade::tsDark, 2},
      {"<Count>-5</Count><Shade>TSMIXED</Shade>", -5, TShade::tsMixed, 2},
      {"<Count>abc</Count><Shade>tsNone</Shade>", 0, TShade::tsDark, 2}, // unknown member: unchanged
      {"<Count> 7</Count><Flags>[ tfBlue , tfRed ]</Flags>", 0, TShade::tsDark, 5},
      {"<Count>99999999999</Count><Flags>[]</Flags>", 0, TShade::tsDark, 0},
      {"<Flags>[tfRed,tfPurple]</Flags>", 1, TShade::tsDark, 2},      // unknown member: unchanged
      {"<x:Count>4</x:Count><Count>8</Count>", 4, TShade::tsDark, 2}, // the first match, prefix ignored
  };
  for (const auto& c : cases) {
    TThing t;
    t.Count = 1;
    t.Shade = TShade::tsDark;
    t.Flags = 2;
    LoadXml("<T>" + c.body + "</T>", t);
    EXPECT_EQ(t.Count, c.count) << c.body;
    EXPECT_EQ(t.Shade, c.shade) << c.body;
    EXPECT_EQ(t.Flags, c.flags) << c.body;
  }
}

TEST_F(ReflectionTest, TextsComeBackAsSingleBytes) {
  struct Case {
    std::string stored;
    std::string expected;
  };
  const Case cases[] = {
      {"\xE9t\xE9", "\xE9t\xE9"},      // ISO-8859-1 bytes as they are
      {"&#233;&#xE9;", "\xE9\xE9"},    // references below 256
      {"&#8364;&#x2122;", "\x80\x99"}, // references to Windows-1252 characters
      {"&#x4E00;", "?"},               // nothing to map it to
      {"a&amp;b&lt;c", "a&b<c"},
      {"   ", "   "},       // blanks alone are a value
      {"a\r\nb", "a\r\nb"}, // line ends kept
      {"<![CDATA[x<y]]>", "x<y"},
  };
  for (const auto& c : cases) {
    TThing t;
    LoadXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><T><Caption>" + c.stored + "</Caption></T>", t);
    EXPECT_EQ(t.Caption, c.expected) << c.stored;
  }
}

TEST_F(ReflectionTest, UnregisteredListItemsAreReportedAndSkipped) {
  std::vector<std::string> shown;
  TThing t;
  TKVProjectReflection reflection([&](const std::string& m) { shown.push_back(m); });
  const std::string xml =
      "<T><Bag><TNoSuchClass><Count>1</Count></TNoSuchClass><ns:TTestThing><Count>2</Count></ns:TTestThing>"
      "<TKVObject/><Limit>4</Limit></Bag></T>";
  reflection.LoadFromBytes(ToBytes(xml), t);
  EXPECT_EQ(shown, (std::vector<std::string>{"Cannot create object TNoSuchClass"}));
  EXPECT_EQ(reflection.Errors(), shown);
  ASSERT_EQ(t.Bag.Count(), 3);
  EXPECT_EQ(t.Bag.Items(0), nullptr);
  EXPECT_EQ(static_cast<TThing*>(t.Bag.Items(1))->Count, 2);
  EXPECT_EQ(t.Bag.Items(2)->ClassName(), "TKVObject");
  EXPECT_EQ(t.Bag.Limit, 4);

  // Without any reporter the reader still goes on.
  TThing quiet;
  TKVProjectReflection silent;
  silent.LoadFromBytes(ToBytes(xml), quiet);
  EXPECT_EQ(quiet.Bag.Count(), 3);
  EXPECT_EQ(silent.Errors().size(), 1u);
}

TEST_F(ReflectionTest, ObjectPropertiesAreCreatedOnlyFromFittingClasses) {
  struct Case {
    std::string element;
    bool created;
  };
  const Case cases[] = {
      {"<TTestThing:Child><Count>3</Count></TTestThing:Child>", true},
      {"<ttestthing:Child><Count>3</Count></ttestthing:Child>", true}, // class names ignore case
      {"<Child><Count>3</Count></Child>", false},                      // no prefix: no class
      {"<TNoSuchClass:Child/>", false},
      {"<TKVBGVClass:Child/>", false}, // registered, but not what the property holds
      {"<TTestPart:Child/>", false},
  };
  for (const auto& c : cases) {
    TThing t;
    LoadXml("<T>" + c.element + "</T>", t);
    EXPECT_EQ(static_cast<bool>(t.Child), c.created) << c.element;
    if (t.Child) {
      EXPECT_EQ(t.Child->Count, 3);
    }
  }

  // A present object is filled in place, whatever the prefix says.
  TThing t;
  t.Child = std::make_unique<TThing>();
  TThing* before = t.Child.get();
  LoadXml("<T><Other:Child><Count>6</Count></Other:Child></T>", t);
  EXPECT_EQ(t.Child.get(), before);
  EXPECT_EQ(t.Child->Count, 6);
}

TEST_F(ReflectionTest, CollectionsAreEmptiedBeforeReading) {
  TThing t;
  t.Parts = std::make_unique<TParts>();
  t.Parts->Add();
  t.Parts->Add();
  t.Parts->Add();
  LoadXml("<T><Parts><TTestPart><Size>1</Size></TTestPart><Anything/></Parts></T>", t);
  ASSERT_EQ(t.Parts->Count(), 2); // every child element is an item, whatever its name
  EXPECT_EQ(static_cast<TPart&>(t.Parts->Item(0)).Size, 1);
  EXPECT_EQ(static_cast<TPart&>(t.Parts->Item(1)).Size, 0);
}

TEST_F(ReflectionTest, HooksCanDeclineAndCyclesEnd) {
  THolder holder;
  holder.Shy.Value = 1;
  LoadXml("<H><Shy><Value>5</Value></Shy></H>", holder);
  EXPECT_TRUE(holder.Shy.Asked);
  EXPECT_EQ(holder.Shy.Value, 1);

  // Two things that refer to each other through a list: the writer stops where it began.
  TThing a, b;
  a.Bag.Add(&b);
  b.Bag.Add(&a);
  holder.Link = &a;
  const std::string xml = SaveXml(holder);
  EXPECT_NE(xml.find("<Shy hook=\"1\"/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<TTestThing:Link"), std::string::npos) << xml;
  EXPECT_LT(xml.size(), 4000u);
}

TEST_F(ReflectionTest, EmptyPicturesAreWrittenEmpty) {
  TThing t;
  t.Picture.Bmp = TinyBmp(0, 5); // no pixels
  t.Picture32.Bmp = {1, 2, 3};   // not a BMP file
  const std::string xml = SaveXml(t);
  EXPECT_NE(xml.find("<Picture/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Picture32/>"), std::string::npos) << xml;
  TThing back;
  back.Picture32.Bmp = TinyBmp(1, 1);
  back.Picture32.Extra = 1;
  LoadXml(xml, back);
  EXPECT_TRUE(back.Picture32.Bmp.empty());
  EXPECT_EQ(back.Picture32.Extra, 0);
}

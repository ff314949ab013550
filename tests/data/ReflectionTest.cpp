#include "data/uKVCustomJigsawProject.h"
#include "data/uKVErrors.h"
#include "data/uKVPersistentList.h"
#include "data/uKVProjectReflection.h"
#include "data/uKVStreamFunc.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>

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

TEST(ProjectReflection, MissingElementsLeaveTheirPropertiesAsTheyWere) {
  TKVCustomJigsawProject project;
  SetBytes(project.Splash2, "splash");
  SetBytes(project.About2, "about");
  project.Language = {"a=b"};
  project.Name = "Keep";
  project.Tag = 3;
  project.PublishedXml =
      TMemoryStream(ToBytes(ProjectXml("<Unknown>5</Unknown><About2><Data>" + Packed("new about") +
                                       "</Data></About2><Icon2><Other/></Icon2>")));
  project.ApplyPublishedXml();
  EXPECT_EQ(AsText(project.Splash2.Bytes()), "splash");
  EXPECT_EQ(AsText(project.About2.Bytes()), "new about");
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
  SetBytes(source.Splash2, std::string("\x01\x00\x02splash", 9));
  SetBytes(source.About2, "about animation");
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
  EXPECT_NE(xml.find("<Splash2><Data>" + Packed(std::string("\x01\x00\x02splash", 9)) + "</Data></Splash2>"),
            std::string::npos);

  TKVCustomJigsawProject target;
  target.PublishedXml = TMemoryStream(ToBytes(xml));
  target.ApplyPublishedXml();
  EXPECT_EQ(target.Name, source.Name);
  EXPECT_EQ(target.Tag, source.Tag);
  EXPECT_EQ(target.Splash2.Bytes().Bytes(), source.Splash2.Bytes().Bytes());
  EXPECT_EQ(target.About2.Bytes().Bytes(), source.About2.Bytes().Bytes());
  EXPECT_TRUE(target.Icon2.Empty());
  EXPECT_EQ(target.Language, source.Language);
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
  SetBytes(project.Splash2, "old");
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
  TKVProjectReflection::SetDefaultErrorReporter([&](const std::string& m) { shown.push_back(m); });
  TThing t;
  TKVProjectReflection reflection;
  TKVProjectReflection::SetDefaultErrorReporter({});
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

#include "data/uKVProjectReflection.h"

#include "core/uKVErrors.h"
#include "data/uKVPersistentList.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "platform/uCp1252.h"

#include <algorithm>

namespace kv {

namespace {

// ---- single-byte texts <-> the parser's UTF-8

// Every byte becomes the character of the same code (ISO-8859-1); the text ends at a NUL byte.
std::string ToXml(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == 0) break;
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

// Back to single bytes. A byte that does not start a valid UTF-8 sequence is taken as it is.
std::string FromXml(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    }
    bool valid = extra > 0 && i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      valid = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    out.push_back(Cp1252ByteOf(cp));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// ---- element helpers

std::string_view LocalName(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string Prefix(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : FromXml(name.substr(0, colon));
}

std::string Text(const pugi::xml_node& node) {
  return FromXml(node.text().get());
}

// The first child element with that name, a name-space prefix not counted.
pugi::xml_node FindChild(const pugi::xml_node& element, std::string_view name) {
  const std::string wanted = ToXml(name);
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && LocalName(child) == wanted) return child;
  return {};
}

bool IsPropertyElement(const TPersistent& object, const pugi::xml_node& child) {
  return object.FindProperty(FromXml(LocalName(child))) != nullptr;
}

// ---- value forms

std::string EncodeCompressed(std::vector<uint8_t> bytes) {
  TMemoryStream plain(std::move(bytes));
  TMemoryStream packed;
  TKVStreamFunc::CompressStream(plain, packed);
  return TKVStreamFunc::EncodeBase64(packed);
}

// Lines end at CR LF, CR or LF; a break at the very end starts no further line.
std::vector<std::string> SplitLines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t start = i;
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') ++i;
    lines.emplace_back(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
    if (i < bytes.size() && bytes[i] == '\r') ++i;
    if (i < bytes.size() && bytes[i] == '\n') ++i;
  }
  return lines;
}

std::vector<uint8_t> JoinLines(const std::vector<std::string>& lines) {
  std::vector<uint8_t> bytes;
  for (const auto& line : lines) {
    bytes.insert(bytes.end(), line.begin(), line.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
  }
  return bytes;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "[a,b]" (brackets optional, spaces allowed) to a bit mask; false when a member is unknown.
bool ParseSet(const TKVPropInfo& prop, std::string_view text, int32_t& mask) {
  text = Trim(text);
  if (!text.empty() && text.front() == '[') text.remove_prefix(1);
  if (!text.empty() && text.back() == ']') text.remove_suffix(1);
  mask = 0;
  while (!Trim(text).empty()) {
    const auto comma = text.find(',');
    const std::string_view member = Trim(text.substr(0, comma));
    const int32_t index = prop.MemberIndex(member);
    if (index < 0 || index >= 32) return false;
    mask = static_cast<int32_t>(static_cast<uint32_t>(mask) | (1u << index));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return true;
}

std::string SetText(const TKVPropInfo& prop, int32_t mask) {
  std::string text = "[";
  bool first = true;
  for (std::size_t i = 0; i < prop.Members.size() && i < 32; ++i) {
    if (!(static_cast<uint32_t>(mask) & (1u << i))) continue;
    if (!first) text += ',';
    text += prop.Members[i];
    first = false;
  }
  return text + "]";
}

bool PatternMatches(std::string_view pattern, std::string_view value) {
  return pattern == "*" || TKVStandardFunc::LowerText(pattern) == TKVStandardFunc::LowerText(value);
}

// Pushes and pops the reader's nesting depth.
class TDepthGuard {
public:
  explicit TDepthGuard(int& depth) : Depth(depth) { ++Depth; }
  ~TDepthGuard() { --Depth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

private:
  int& Depth;
};

class TStreamWriter : public pugi::xml_writer {
public:
  explicit TStreamWriter(TStream& stream) : Stream(stream) {}
  void write(const void* data, size_t size) override { Stream.WriteBuffer(data, size); }

private:
  TStream& Stream;
};

} // namespace

TKVProjectReflection::TKVProjectReflection(TKVErrorReporter reporter)
    : OnError(std::move(reporter)), FDocument(std::make_unique<pugi::xml_document>()) {}

TKVProjectReflection::~TKVProjectReflection() = default;

void TKVProjectReflection::Report(const std::string& message) {
  FErrors.push_back(message);
  if (OnError) OnError(message);
}

// ---- loading

void TKVProjectReflection::LoadFromStream(TStream& stream, TPersistent& object) {
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  LoadFromBytes(bytes, object);
}

void TKVProjectReflection::LoadFromBytes(std::span<const uint8_t> bytes, TPersistent& object) {
  FDocument->reset();
  // Line ends are kept as stored; a text of blanks alone is a value, not layout.
  const unsigned options = (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;
  const pugi::xml_parse_result result =
      FDocument->load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_latin1);
  if (!result) throw EXmlError(result.description());
  const pugi::xml_node root = FDocument->document_element();
  if (!root) throw EXmlError("No document element found");
  FDepth = 0;
  ReadObject(object, root);
}

TMemoryStream TKVProjectReflection::DecodeCompressed(const std::string& text) {
  TMemoryStream encoded;
  TKVStreamFunc::DecodeBase64(text, encoded); // on bad text, what was decoded so far
  TMemoryStream plain;
  TKVStreamFunc::DecompressBuffer(std::span<const uint8_t>(encoded.Memory(), encoded.Bytes().size()), plain,
                                  false, InflateBudget);
  if (InflateBudget >= 0) InflateBudget -= std::min(InflateBudget, plain.Size());
  return plain;
}

void TKVProjectReflection::ReadObject(TPersistent& object, pugi::xml_node element) {
  if (FDepth >= MaxDepth) return;
  TDepthGuard guard(FDepth);

  if (auto* storage = dynamic_cast<IStreamStorage*>(&object)) {
    if (const pugi::xml_node data = FindChild(element, "Data")) {
      TMemoryStream plain = DecodeCompressed(Text(data));
      plain.SetPosition(0);
      storage->LoadFromStream(plain);
    }
    return;
  }

  for (const TKVPropInfo* prop : object.PublishedProperties()) {
    if (!prop->HasSetter() && prop->Kind != TKVPropertyKind::pkObject) continue;
    if (const pugi::xml_node child = FindChild(element, prop->Name)) ReadProperty(object, *prop, child);
  }
  if (dynamic_cast<TCollection*>(&object)) ReadCollectionItems(object, element);
  if (dynamic_cast<TKVPersistentList*>(&object)) ReadListItems(object, element);
}

void TKVProjectReflection::ReadProperty(TPersistent& object, const TKVPropInfo& prop, pugi::xml_node child) {
  switch (prop.Kind) {
  case TKVPropertyKind::pkInteger:
    prop.SetInt(object, TKVStandardFunc::TextToIntOrZero(Text(child)));
    break;
  case TKVPropertyKind::pkEnumeration:
    // An unknown member name leaves the property as it is.
    if (const int32_t index = prop.MemberIndex(Text(child)); index >= 0) prop.SetInt(object, index);
    break;
  case TKVPropertyKind::pkSet:
    if (int32_t mask = 0; ParseSet(prop, Text(child), mask)) prop.SetInt(object, mask);
    break;
  case TKVPropertyKind::pkString:
    prop.SetString(object, Text(child));
    break;
  case TKVPropertyKind::pkObject:
    ReadObjectProperty(object, prop, child);
    break;
  }
}

void TKVProjectReflection::ReadObjectProperty(TPersistent& object, const TKVPropInfo& prop,
                                              pugi::xml_node child) {
  switch (prop.ObjectKind) {
  case TKVObjectKind::okStringList:
    if (auto* lines = prop.GetStrings ? prop.GetStrings(object) : nullptr)
      *lines = SplitLines(DecodeCompressed(Text(child)).Bytes());
    return;
  case TKVObjectKind::okStream:
    if (auto* stream = prop.GetStream ? prop.GetStream(object) : nullptr) {
      TKVStreamFunc::DecodeBase64(Text(child), *stream);
      stream->SetPosition(0);
    }
    return;
  case TKVObjectKind::okBitmap:
  case TKVObjectKind::okBitmap32:
    if (auto* bitmap = prop.GetBitmap ? prop.GetBitmap(object) : nullptr) {
      // The BMP file, then one byte; for a 32-bit surface 1 means blended drawing.
      std::vector<uint8_t> bytes = std::move(DecodeCompressed(Text(child)).Bytes());
      bitmap->Extra = 0;
      if (!bytes.empty()) {
        bitmap->Extra = bytes.back();
        bytes.pop_back();
      }
      if (prop.ObjectKind == TKVObjectKind::okBitmap32) bitmap->Extra = bitmap->Extra == 1 ? 1 : 0;
      bitmap->Bmp = std::move(bytes);
    }
    return;
  case TKVObjectKind::okNone:
  case TKVObjectKind::okObject:
  case TKVObjectKind::okCollection:
  case TKVObjectKind::okPersistentList:
    break;
  }

  if (!prop.GetObject || FDepth >= MaxDepth) return;
  TPersistent* target = prop.GetObject(object);
  if (!target) {
    // An empty property gets an object of the class the element's prefix names, when the property takes it.
    if (!prop.SetObject) return;
    std::unique_ptr<TPersistent> created = TKVClassRegistry::Instance().Create(Prefix(child));
    if (!created || !prop.SetObject(object, std::move(created))) return;
    target = prop.GetObject(object);
    if (!target) return;
  }
  if (auto* hook = dynamic_cast<IReflectionReadHook*>(target)) {
    bool proceed = true;
    hook->BeforeReflectionRead(*target, child, proceed);
    if (!proceed) return;
  }
  ReadObject(*target, child);
}

void TKVProjectReflection::ReadCollectionItems(TPersistent& object, pugi::xml_node element) {
  auto& collection = static_cast<TCollection&>(object);
  collection.Clear();
  if (FDepth >= MaxDepth) return;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    // The collection's own properties were read above; they are not items.
    if (child.type() != pugi::node_element || IsPropertyElement(object, child)) continue;
    ReadObject(collection.Add(), child);
  }
}

void TKVProjectReflection::ReadListItems(TPersistent& object, pugi::xml_node element) {
  auto& list = static_cast<TKVPersistentList&>(object);
  if (FDepth >= MaxDepth) return;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || IsPropertyElement(object, child)) continue;
    const std::string name = FromXml(LocalName(child));
    std::unique_ptr<TPersistent> item = TKVClassRegistry::Instance().Create(name);
    if (!item) {
      Report("Cannot create object " + name);
      list.Add(nullptr);
      continue;
    }
    TPersistent& added = *item;
    list.AddOwned(std::move(item));
    ReadObject(added, child);
  }
}

// ---- writing

void TKVProjectReflection::SaveToStream(TStream& stream, TPersistent& object, const std::string& rootName) {
  FDocument->reset();
  pugi::xml_node declaration = FDocument->append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "ISO-8859-1";
  pugi::xml_node root =
      FDocument->append_child(ToXml(rootName.empty() ? object.ClassName() : rootName).c_str());
  FDepth = 0;
  FWritePath.clear();
  WriteObject(object, root);
  TStreamWriter writer(stream);
  FDocument->save(writer, "", pugi::format_raw, pugi::encoding_latin1);
}

pugi::xml_node TKVProjectReflection::AddIntegerElement(const std::string& name, int32_t value,
                                                       pugi::xml_node element) {
  return AddStringElement(name, std::to_string(value), element);
}

pugi::xml_node TKVProjectReflection::AddStringElement(const std::string& name, const std::string& text,
                                                      pugi::xml_node element) {
  pugi::xml_node child = element.append_child(ToXml(name).c_str());
  if (!text.empty()) child.text().set(ToXml(text).c_str());
  return child;
}

pugi::xml_node TKVProjectReflection::AddObjectElement(const std::string& name, const std::string& prefix,
                                                      pugi::xml_node element) {
  if (prefix.empty()) return element.append_child(ToXml(name).c_str());
  pugi::xml_node child = element.append_child(ToXml(prefix + ":" + name).c_str());
  // Declared where it is used, so that the document is well-formed for name-space aware readers.
  child.append_attribute(ToXml("xmlns:" + prefix).c_str()) = ToXml("urn:" + prefix).c_str();
  return child;
}

bool TKVProjectReflection::Excluded(const TPersistent& object, const TKVPropInfo& prop) const {
  for (const auto& pattern : ExcludedProperties) {
    const auto dot = pattern.find('.');
    if (dot == std::string::npos) continue;
    if (PatternMatches(pattern.substr(0, dot), object.ClassName()) &&
        PatternMatches(pattern.substr(dot + 1), prop.Name))
      return true;
  }
  return false;
}

void TKVProjectReflection::WriteObject(TPersistent& object, pugi::xml_node element) {
  if (FDepth >= MaxDepth) return;
  // An object met again on its own path (references that loop) is written as an empty element.
  if (std::find(FWritePath.begin(), FWritePath.end(), &object) != FWritePath.end()) return;
  TDepthGuard guard(FDepth);
  FWritePath.push_back(&object);
  struct TPop {
    std::vector<const TPersistent*>& Path;
    ~TPop() { Path.pop_back(); }
  } pop{FWritePath};

  if (auto* storage = dynamic_cast<IStreamStorage*>(&object)) {
    TMemoryStream saved;
    storage->SaveToStream(saved);
    AddStringElement("Data", EncodeCompressed(std::move(saved.Bytes())), element);
    return;
  }

  for (const TKVPropInfo* prop : object.PublishedProperties())
    if (!Excluded(object, *prop)) WriteProperty(object, *prop, element);

  if (auto* collection = dynamic_cast<TCollection*>(&object)) {
    for (int32_t i = 0; i < collection->Count(); ++i) {
      TPersistent& item = collection->Item(i);
      WriteObject(item, element.append_child(ToXml(item.ClassName()).c_str()));
    }
  }
  if (auto* list = dynamic_cast<TKVPersistentList*>(&object)) {
    for (int32_t i = 0; i < list->Count(); ++i) {
      TPersistent* item = list->Items(i);
      if (!item) continue;
      std::string name = item->ReflectionName();
      if (name.empty()) name = item->ClassName();
      std::string prefix = item->ReflectionNameSpace();
      if (prefix.empty()) prefix = DefaultNameSpace;
      WriteObject(*item, AddObjectElement(name, prefix, element));
    }
  }
}

void TKVProjectReflection::WriteProperty(TPersistent& object, const TKVPropInfo& prop,
                                         pugi::xml_node element) {
  const std::string nameSpace = object.PropertyNameSpace(prop.Name);
  const std::string name = nameSpace.empty() ? prop.Name : nameSpace + ":" + prop.Name;
  switch (prop.Kind) {
  case TKVPropertyKind::pkInteger:
    AddIntegerElement(name, prop.GetInt(object), element);
    return;
  case TKVPropertyKind::pkEnumeration: {
    const int32_t value = prop.GetInt(object);
    const bool known = value >= 0 && static_cast<std::size_t>(value) < prop.Members.size();
    AddStringElement(name, known ? prop.Members[static_cast<std::size_t>(value)] : std::to_string(value),
                     element);
    return;
  }
  case TKVPropertyKind::pkSet:
    AddStringElement(name, SetText(prop, prop.GetInt(object)), element);
    return;
  case TKVPropertyKind::pkString:
    AddStringElement(name, prop.GetString(object), element);
    return;
  case TKVPropertyKind::pkObject:
    break;
  }

  switch (prop.ObjectKind) {
  case TKVObjectKind::okStringList:
    if (auto* lines = prop.GetStrings ? prop.GetStrings(object) : nullptr)
      AddStringElement(name, EncodeCompressed(JoinLines(*lines)), element);
    return;
  case TKVObjectKind::okStream:
    if (auto* stream = prop.GetStream ? prop.GetStream(object) : nullptr)
      AddStringElement(name, TKVStreamFunc::EncodeBase64(*stream), element);
    return;
  case TKVObjectKind::okBitmap:
  case TKVObjectKind::okBitmap32:
    if (auto* bitmap = prop.GetBitmap ? prop.GetBitmap(object) : nullptr) {
      std::string text;
      if (bitmap->Width() >= 1 && bitmap->Height() >= 1) {
        std::vector<uint8_t> bytes = bitmap->Bmp;
        bytes.push_back(prop.ObjectKind == TKVObjectKind::okBitmap32 && bitmap->Extra == 1 ? 1 : 0);
        text = EncodeCompressed(std::move(bytes));
      }
      AddStringElement(name, text, element);
    }
    return;
  case TKVObjectKind::okNone:
  case TKVObjectKind::okObject:
  case TKVObjectKind::okCollection:
  case TKVObjectKind::okPersistentList:
    break;
  }

  TPersistent* target = prop.GetObject ? prop.GetObject(object) : nullptr;
  if (!target) return;
  std::string prefix = target->ReflectionNameSpace();
  if (prefix.empty()) prefix = nameSpace;
  if (prefix.empty()) prefix = DefaultNameSpace;
  pugi::xml_node child = AddObjectElement(prop.Name, prefix, element);
  if (auto* hook = dynamic_cast<IReflectionWriteHook*>(target)) {
    bool proceed = true;
    hook->BeforeReflectionWrite(*target, child, proceed);
    if (!proceed) return;
  }
  WriteObject(*target, child);
}

} // namespace kv

// Reads (and writes) an object's published properties as XML: one child element per property, nested objects
// as nested elements, binary values as Base64 text. The package keeps the jigsaw project's animations and
// language list in this form.
//
// The XML is ISO-8859-1 text. Texts come back as the single bytes they were stored as (a character reference
// above 255 becomes its Windows-1252 byte, or "?" when it has none); the writer declares ISO-8859-1 and
// writes every byte of a text as the character of that code (a text is cut at a NUL byte, which XML cannot
// carry). Line ends inside texts are kept as they are.
#pragma once

#include "data/uKVObject.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace kv {

using TKVErrorReporter = std::function<void(const std::string& message)>;

class TKVProjectReflection : public TPersistent {
public:
  // Nested objects deeper than this are not read or written: the program's own classes nest a few levels,
  // so only hostile documents come near it, and the reader's recursion stays bounded.
  static constexpr int MaxDepth = 64;

  // reporter: what OnError starts as; without one the messages are only kept.
  explicit TKVProjectReflection(TKVErrorReporter reporter = {});
  ~TKVProjectReflection() override;

  // Property patterns that are not written: "Class.Property", with "*" for any class or any property.
  std::vector<std::string> ExcludedProperties{"*.ReflectionName"};
  // Prefix for object elements whose object names none.
  std::string DefaultNameSpace;
  // Receives the errors the reader reports and goes on from ("Cannot create object X"); every reported
  // message is also kept in Errors().
  TKVErrorReporter OnError;
  // The most that the compressed values of one document inflate to together (a package's data section has
  // taken its share of the same budget already); negative: each value is bounded by its own size only. A
  // value past the budget reads as empty.
  int64_t InflateBudget = -1;
  const std::vector<std::string>& Errors() const { return FErrors; }

  // Parses the XML from the stream's position to its end and reads the root element into object (the root's
  // name is not checked). Malformed XML raises EXmlError with the parser's description.
  void LoadFromStream(TStream& stream, TPersistent& object);
  void LoadFromBytes(std::span<const uint8_t> bytes, TPersistent& object);
  // Writes object as the root element rootName (its class name when empty), with the XML declaration.
  void SaveToStream(TStream& stream, TPersistent& object, const std::string& rootName = {});

  virtual pugi::xml_node AddIntegerElement(const std::string& name, int32_t value, pugi::xml_node element);
  virtual pugi::xml_node AddStringElement(const std::string& name, const std::string& text,
                                          pugi::xml_node element);
  virtual void WriteObject(TPersistent& object, pugi::xml_node element);
  virtual void ReadObject(TPersistent& object, pugi::xml_node element);

  pugi::xml_document& Document() { return *FDocument; }

private:
  void ReadProperty(TPersistent& object, const TKVPropInfo& prop, pugi::xml_node child);
  void ReadObjectProperty(TPersistent& object, const TKVPropInfo& prop, pugi::xml_node child);
  void ReadCollectionItems(TPersistent& object, pugi::xml_node element);
  void ReadListItems(TPersistent& object, pugi::xml_node element);
  void WriteProperty(TPersistent& object, const TKVPropInfo& prop, pugi::xml_node element);
  pugi::xml_node AddObjectElement(const std::string& name, const std::string& prefix, pugi::xml_node element);
  bool Excluded(const TPersistent& object, const TKVPropInfo& prop) const;
  void Report(const std::string& message);
  // A compressed value's bytes, inflated within what is left of the budget.
  TMemoryStream DecodeCompressed(const std::string& text);

  std::unique_ptr<pugi::xml_document> FDocument;
  std::vector<std::string> FErrors;
  int FDepth = 0;
  std::vector<const TPersistent*> FWritePath; // objects being written, to cut reference cycles
};

} // namespace kv

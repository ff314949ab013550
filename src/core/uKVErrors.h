// The exception classes of the data layer. Every one carries the message the player shows.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace kv {

// Base of every error the program raises itself.
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Stream failures: a read past the end, a write that cannot complete, a file that cannot be opened or
// created.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
  explicit EFOpenError(const std::string& fileName, const std::string& reason = {})
      : EStreamError("Cannot open file \"" + fileName + "\"." + (reason.empty() ? "" : " " + reason)) {}
};
class EFCreateError : public EStreamError {
public:
  explicit EFCreateError(const std::string& fileName, const std::string& reason = {})
      : EStreamError("Cannot create file \"" + fileName + "\"." + (reason.empty() ? "" : " " + reason)) {}
};

// The package model: construction and clipboard failures, and an invalid data section.
class EExecDataError : public Exception {
public:
  using Exception::Exception;
};

// Any failure while reading a saved game; its message is always "Error". Detail says what was wrong, in
// words for tools that report it ("cut short at byte 40 ..."); the player shows only the message.
class EJigsawFileError : public Exception {
public:
  EJigsawFileError() : Exception("Error") {}
  explicit EJigsawFileError(std::string detail) : Exception("Error"), Detail(std::move(detail)) {}
  std::string Detail;
};

// Malformed XML in a published-properties record.
class EXmlError : public Exception {
public:
  using Exception::Exception;
};

// Out-of-bounds list operations.
class EListError : public Exception {
public:
  using Exception::Exception;
};

// A picture that cannot be decoded.
class EImageError : public Exception {
public:
  using Exception::Exception;
};

// A broken precondition of the program: its text and the unit that checks it, as "text (unit)" or, with a
// line, "text (unit, line n)".
class EAssertionFailed : public Exception {
public:
  EAssertionFailed(const std::string& text, const std::string& unit, int line = 0)
      : Exception(text + " (" + unit + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ")"),
        Text(text), Unit(unit) {}
  std::string Text;
  std::string Unit;
};

} // namespace kv

// Package models with something in every record, shared by the round-trip tests and the pinned bytes.
#pragma once

#include "data/uExecData.h"

#include <string>

namespace kvtest {

// The two fillings of a model.
enum class TModelFilling {
  // Every field the package carries away from its default; ids drawn the way the editor draws them.
  Varied,
  // Fixed ids and a seeded random source: the same model, and so the same package bytes, on every run.
  Pinned,
};

// Fills a new model with one of the two fillings.
void FillEveryRecord(kv::TJigsawProject2& p, TModelFilling filling);

// The published-properties text of a project whose language list holds one line.
std::string PublishedXmlText(const std::string& line);

} // namespace kvtest

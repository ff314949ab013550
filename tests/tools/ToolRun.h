// Running jigsaw-pack in-process, and the picture steps it installs, for the tool tests.
#pragma once

#include "PackTool.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "jigsaw/uPackagePictureSteps.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace kvtest {

struct TToolRun {
  int Status = 0;
  std::string Out, Err;
};

inline TToolRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  TToolRun run;
  run.Status = kvtools::RunPackTool(args, out, err);
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

// The picture steps of the jigsaw-pack program, with the piece library of the build, for one test.
class EngineSteps {
public:
  EngineSteps() {
    kv::InstallPackagePictureSteps((std::filesystem::path(JIGSAW_BINARY_DIR) / "all.kvjc").string());
  }
  ~EngineSteps() {
    kv::TExecDataWriter::SetPictureSteps(nullptr);
    kv::TJigsawProject2::SetPictureCutBuilder({});
  }
  EngineSteps(const EngineSteps&) = delete;
  EngineSteps& operator=(const EngineSteps&) = delete;
};

} // namespace kvtest

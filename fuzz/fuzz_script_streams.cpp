// The four nested script stream formats; the first byte picks which one reads the rest.
#include "FuzzSupport.h"

#include "core/uKVErrors.h"
#include "data/uScriptAction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kv::TMemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
  try {
    switch (data[0] % 4) {
    case 0: {
      kv::TScriptParameter p;
      p.LoadFromStream(stream);
      break;
    }
    case 1: {
      kv::TScriptItem item;
      item.LoadFromStream(stream);
      break;
    }
    case 2: {
      kv::TActionItem action;
      action.LoadFromStream(stream);
      break;
    }
    default: {
      kv::TRandomSource random(1);
      kv::TActionGroup group(random);
      group.LoadFromStream(stream);
      break;
    }
    }
  } catch (const kv::Exception&) {
  }
  return 0;
}

// The sound-format table read on its own: any input gives pairs or a read error, and the pairs read are
// written and read back unchanged.
#include "core/uKVErrors.h"
#include "sound/usound_id_fmt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kv::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  kv::TSoundIDFormatAssoc table;
  try {
    table.LoadFromStream(stream);
  } catch (const kv::EStreamError&) {
    return 0;
  }
  kv::TMemoryStream written;
  table.SaveToStream(written);
  kv::TSoundIDFormatAssoc again;
  again.LoadFromStream(written);
  if (again.Items.size() != table.Items.size()) std::abort();
  for (std::size_t i = 0; i < table.Items.size(); ++i)
    if (again.Items[i].SoundID != table.Items[i].SoundID || again.Items[i].Format != table.Items[i].Format)
      std::abort();
  return 0;
}

// A state chunk as a host hands it back: restored as the parameter state and,
// for plug-ins that store their bank, as the bank.
#include "tests/framework/fwbase_test_plug.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  ByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  TestPlug plug(4, true);
  plug.UnserializeState(&chunk, 0);
  int pos = 0;
  IPluginBase::GetFrameworkVerFromChunk(&chunk, &pos);
  plug.UnserializePresets(&chunk, pos);
  for (int i = 0; i < plug.NPresets(); ++i) plug.RestorePreset(i);
  std::string text;
  for (int p = 0; p >= 0 && p < chunk.Size();) p = chunk.GetStr(text, p);
  return 0;
}

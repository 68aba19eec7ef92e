// Program files, bank files and host state chunks from anywhere; the first
// byte picks which. A program or bank file that is refused must leave the
// plug-in exactly as it was: programs, names, parameters and current program.
#include "tests/framework/fwbase_test_plug.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  const int path = data[0] % 3;
  ByteChunk input;
  input.PutBytes(data + 1, static_cast<int>(size - 1));

  if (path == 2) { // a state chunk as a host hands it back, also as the bank
    TestPlug plug(4, true);
    plug.UnserializeState(&input, 0);
    int pos = 0;
    IPluginBase::GetFrameworkVerFromChunk(&input, &pos);
    plug.UnserializePresets(&input, pos);
    for (int i = 0; i < plug.NPresets(); ++i) plug.RestorePreset(i);
    std::string text;
    for (int p = 0; p >= 0 && p < input.Size();) p = input.GetStr(text, p);
    return 0;
  }

  for (bool chunks : {false, true}) {
    TestPlug plug(4, chunks);
    plug.MakeDefaultPreset("Before", 2);
    const ByteChunk before = plug.Snapshot();
    const bool loaded = path == 0 ? plug.LoadProgramFromFXP(input) : plug.LoadBankFromFXB(input);
    if (!loaded && !plug.Snapshot().IsEqual(before)) std::abort();
    for (int i = 0; i < plug.NPresets(); ++i) plug.RestorePreset(i);
    ByteChunk out;
    path == 0 ? plug.SaveProgramAsFXP(&out) : plug.SaveBankAsFXB(&out);
  }
  return 0;
}

// Program files from anywhere: into a plug-in with and one without state chunks.
#include "tests/framework/fwbase_test_plug.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  ByteChunk file;
  file.PutBytes(data, static_cast<int>(size));
  for (bool chunks : {false, true}) {
    TestPlug plug(4, chunks);
    plug.LoadProgramFromFXP(file);
    ByteChunk out;
    plug.SaveProgramAsFXP(&out);
  }
  return 0;
}

#pragma once

#include "ByteChunk.h"

// One program slot. A slot that was never used holds no state and is named
// "empty"; its chunk holds whatever SerializeState wrote for the program.
struct IPreset
{
  static constexpr int kMaxNameLen = 256;

  bool mInitialized = false;
  char mName[kMaxNameLen] = "empty";
  ByteChunk mChunk;

  // Copies at most 255 characters; a null name leaves the name as it is.
  void SetName(const char* name);
};

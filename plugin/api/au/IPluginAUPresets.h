#pragma once

// The reference-counted factory-preset record handed to the host in the
// factory-preset array, and the array callbacks that retain and release it.

#if defined(__APPLE__)
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#else
#include "platform/AudioUnit.h"
#endif

struct CFAUPreset
{
  AUPreset auPreset;
  CFAllocatorRef allocator;
  CFIndex retainCount;
};
typedef CFAUPreset* CFAUPresetRef;

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber, CFStringRef presetName);
CFAUPresetRef CFAUPresetRetain(CFAUPresetRef preset);
void CFAUPresetRelease(CFAUPresetRef preset);

extern const CFArrayCallBacks kCFAUPresetArrayCallBacks;

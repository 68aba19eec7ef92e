#include "IPluginAUPresets.h"

#include <cstdio>
#include <string>
#include <vector>

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber, CFStringRef presetName)
{
  auto* preset = static_cast<CFAUPresetRef>(CFAllocatorAllocate(allocator, sizeof(CFAUPreset), 0));
  if (!preset) return nullptr;
  preset->auPreset.presetNumber = presetNumber;
  preset->auPreset.presetName = presetName ? CFStringCreateCopy(allocator, presetName) : nullptr;
  preset->allocator = allocator;
  preset->retainCount = 1;
  return preset;
}

CFAUPresetRef CFAUPresetRetain(CFAUPresetRef preset)
{
  if (preset) ++preset->retainCount;
  return preset;
}

void CFAUPresetRelease(CFAUPresetRef preset)
{
  if (!preset || preset->retainCount < 1) return;
  // The name lives as long as the record: another holder may still read it.
  if (--preset->retainCount == 0) {
    if (preset->auPreset.presetName) CFRelease(preset->auPreset.presetName);
    CFAllocatorDeallocate(preset->allocator, preset);
  }
}

namespace {

const void* RetainCallBack(CFAllocatorRef, const void* value)
{
  return CFAUPresetRetain(static_cast<CFAUPresetRef>(const_cast<void*>(value)));
}

void ReleaseCallBack(CFAllocatorRef, const void* value)
{
  CFAUPresetRelease(static_cast<CFAUPresetRef>(const_cast<void*>(value)));
}

CFStringRef CopyDescriptionCallBack(const void* value)
{
  const auto* preset = static_cast<const CFAUPreset*>(value);
  std::string name;
  if (CFStringRef s = preset->auPreset.presetName) {
    std::vector<char> buf(
        size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1));
    if (CFStringGetCString(s, buf.data(), CFIndex(buf.size()), kCFStringEncodingUTF8)) name = buf.data();
  }
  const std::string text = "AUPreset:\npreset number = " + std::to_string(preset->auPreset.presetNumber) +
                           "\npreset name = " + name;
  return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

Boolean EqualCallBack(const void* a, const void* b)
{
  const auto* pa = static_cast<const CFAUPreset*>(a);
  const auto* pb = static_cast<const CFAUPreset*>(b);
  return pa->auPreset.presetNumber == pb->auPreset.presetNumber &&
         CFStringCompare(pa->auPreset.presetName, pb->auPreset.presetName, 0) == kCFCompareEqualTo;
}

} // namespace

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {0, RetainCallBack, ReleaseCallBack,
                                                    CopyDescriptionCallBack, EqualCallBack};

#include "CoreFoundation.h"
#include "StandIn.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

enum : CFTypeID {
  kStringType = 7,
  kNumberType = 22,
  kDataType = 20,
  kArrayType = 19,
  kDictType = 18,
  kURLType = 29
};

std::atomic<long> gLiveObjects{0};

struct CFObject
{
  explicit CFObject(CFTypeID type) : mType(type) { ++gLiveObjects; }
  virtual ~CFObject() { --gLiveObjects; }
  CFTypeID mType;
  std::atomic<CFIndex> mRefs{1};
};

struct CFStringObj : CFObject
{
  explicit CFStringObj(std::string text) : CFObject(kStringType), mText(std::move(text)) {}
  std::string mText;
};

struct CFNumberObj : CFObject
{
  CFNumberObj() : CFObject(kNumberType) {}
  bool mIsFloat = false;
  int64_t mInt = 0;
  double mFloat = 0.0;
};

struct CFDataObj : CFObject
{
  CFDataObj(const UInt8* bytes, CFIndex n) : CFObject(kDataType), mBytes(bytes, bytes + n) {}
  std::vector<UInt8> mBytes;
};

struct CFArrayObj : CFObject
{
  CFArrayObj() : CFObject(kArrayType) {}
  ~CFArrayObj() override
  {
    for (const void* v : mValues)
      if (mCallBacks.release) mCallBacks.release(nullptr, v);
  }
  CFArrayCallBacks mCallBacks = {};
  std::vector<const void*> mValues;
};

struct CFDictObj : CFObject
{
  CFDictObj() : CFObject(kDictType) {}
  ~CFDictObj() override
  {
    for (auto& [k, v] : mEntries) {
      if (mKeyCallBacks.release) mKeyCallBacks.release(nullptr, k);
      if (mValueCallBacks.release) mValueCallBacks.release(nullptr, v);
    }
  }
  CFDictionaryKeyCallBacks mKeyCallBacks = {};
  CFDictionaryValueCallBacks mValueCallBacks = {};
  std::vector<std::pair<const void*, const void*>> mEntries;
};

struct CFURLObj : CFObject
{
  explicit CFURLObj(std::string text) : CFObject(kURLType), mText(std::move(text)) {}
  std::string mText;
};

CFObject* Obj(CFTypeRef cf)
{
  return const_cast<CFObject*>(static_cast<const CFObject*>(cf));
}

template <class T> T* As(CFTypeRef cf, CFTypeID type)
{
  return cf && Obj(cf)->mType == type ? static_cast<T*>(Obj(cf)) : nullptr;
}

const void* RetainCB(CFAllocatorRef, const void* v)
{
  return CFRetain(v);
}
void ReleaseCB(CFAllocatorRef, const void* v)
{
  CFRelease(v);
}
Boolean EqualCB(const void* a, const void* b)
{
  if (a == b) return true;
  const CFStringObj* sa = As<CFStringObj>(a, kStringType);
  const CFStringObj* sb = As<CFStringObj>(b, kStringType);
  return sa && sb && sa->mText == sb->mText;
}

struct Bundle
{
  ~Bundle()
  {
    ++gLiveObjects; // not counted while the bundle lived
    CFRelease(mIdentifierString);
  }
  std::string mIdentifier, mURL;
  CFStringRef mIdentifierString = nullptr;
};
std::mutex gBundleMutex;
std::vector<std::unique_ptr<Bundle>> gBundles;
Bundle* gMainBundle = nullptr;

Bundle* FindOrAddBundle(const std::string& identifier, const std::string& url)
{
  for (auto& b : gBundles)
    if (b->mIdentifier == identifier) {
      b->mURL = url;
      return b.get();
    }
  auto b = std::make_unique<Bundle>();
  b->mIdentifier = identifier;
  b->mURL = url;
  // Bundles live as long as the process, as on the platform.
  b->mIdentifierString = CFStringCreateWithCString(nullptr, identifier.c_str(), kCFStringEncodingUTF8);
  --gLiveObjects;
  gBundles.push_back(std::move(b));
  return gBundles.back().get();
}

} // namespace

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, RetainCB, ReleaseCB, nullptr, EqualCB};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0,       RetainCB, ReleaseCB,
                                                                nullptr, EqualCB,  nullptr};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, RetainCB, ReleaseCB, nullptr, EqualCB};

CFTypeRef CFRetain(CFTypeRef cf)
{
  if (cf) ++Obj(cf)->mRefs;
  return cf;
}

void CFRelease(CFTypeRef cf)
{
  if (cf && --Obj(cf)->mRefs == 0) delete Obj(cf);
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
  return cf ? Obj(cf)->mRefs.load() : 0;
}
CFTypeID CFGetTypeID(CFTypeRef cf)
{
  return cf ? Obj(cf)->mType : 0;
}

void* CFAllocatorAllocate(CFAllocatorRef, CFIndex size, CFOptionFlags)
{
  return size > 0 ? std::malloc(static_cast<size_t>(size)) : nullptr;
}
void CFAllocatorDeallocate(CFAllocatorRef, void* ptr)
{
  std::free(ptr);
}

CFTypeID CFStringGetTypeID()
{
  return kStringType;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding)
{
  if (!cStr) return nullptr;
  return reinterpret_cast<CFStringRef>(static_cast<CFObject*>(new CFStringObj(cStr)));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef str)
{
  const CFStringObj* s = As<CFStringObj>(str, kStringType);
  return s ? reinterpret_cast<CFStringRef>(static_cast<CFObject*>(new CFStringObj(s->mText))) : nullptr;
}

CFIndex CFStringGetLength(CFStringRef str)
{
  const CFStringObj* s = As<CFStringObj>(str, kStringType);
  return s ? static_cast<CFIndex>(s->mText.size()) : 0;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding)
{
  return length * 3;
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
  const CFStringObj* s = As<CFStringObj>(str, kStringType);
  if (!s || !buffer || bufferSize <= 0 || static_cast<CFIndex>(s->mText.size()) >= bufferSize) return false;
  std::memcpy(buffer, s->mText.c_str(), s->mText.size() + 1);
  return true;
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags)
{
  const CFStringObj* sa = As<CFStringObj>(a, kStringType);
  const CFStringObj* sb = As<CFStringObj>(b, kStringType);
  const int c = (sa ? sa->mText : std::string()).compare(sb ? sb->mText : std::string());
  return c < 0 ? kCFCompareLessThan : (c > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

CFTypeID CFNumberGetTypeID()
{
  return kNumberType;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
  if (!valuePtr) return nullptr;
  auto* n = new CFNumberObj;
  switch (type) {
  case kCFNumberSInt32Type: n->mInt = *static_cast<const SInt32*>(valuePtr); break;
  case kCFNumberSInt64Type: n->mInt = *static_cast<const SInt64*>(valuePtr); break;
  case kCFNumberFloat64Type:
    n->mIsFloat = true;
    n->mFloat = *static_cast<const Float64*>(valuePtr);
    break;
  }
  return reinterpret_cast<CFNumberRef>(static_cast<CFObject*>(n));
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr)
{
  const CFNumberObj* n = As<CFNumberObj>(number, kNumberType);
  if (!n || !valuePtr) return false;
  const int64_t i = n->mIsFloat ? static_cast<int64_t>(n->mFloat) : n->mInt;
  switch (type) {
  case kCFNumberSInt32Type: *static_cast<SInt32*>(valuePtr) = static_cast<SInt32>(i); return !n->mIsFloat;
  case kCFNumberSInt64Type: *static_cast<SInt64*>(valuePtr) = i; return !n->mIsFloat;
  case kCFNumberFloat64Type:
    *static_cast<Float64*>(valuePtr) = n->mIsFloat ? n->mFloat : static_cast<double>(n->mInt);
    return true;
  }
  return false;
}

CFTypeID CFDataGetTypeID()
{
  return kDataType;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
  if (length < 0 || (!bytes && length > 0)) return nullptr;
  return reinterpret_cast<CFDataRef>(static_cast<CFObject*>(new CFDataObj(bytes, length)));
}

CFIndex CFDataGetLength(CFDataRef data)
{
  const CFDataObj* d = As<CFDataObj>(data, kDataType);
  return d ? static_cast<CFIndex>(d->mBytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef data)
{
  const CFDataObj* d = As<CFDataObj>(data, kDataType);
  return d ? d->mBytes.data() : nullptr;
}

CFTypeID CFArrayGetTypeID()
{
  return kArrayType;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
  auto* a = new CFArrayObj;
  if (callBacks) a->mCallBacks = *callBacks;
  return reinterpret_cast<CFMutableArrayRef>(static_cast<CFObject*>(a));
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value)
{
  CFArrayObj* a = As<CFArrayObj>(array, kArrayType);
  if (!a) return;
  a->mValues.push_back(a->mCallBacks.retain ? a->mCallBacks.retain(nullptr, value) : value);
}

CFIndex CFArrayGetCount(CFArrayRef array)
{
  const CFArrayObj* a = As<CFArrayObj>(array, kArrayType);
  return a ? static_cast<CFIndex>(a->mValues.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex idx)
{
  const CFArrayObj* a = As<CFArrayObj>(array, kArrayType);
  if (!a || idx < 0 || idx >= static_cast<CFIndex>(a->mValues.size())) return nullptr;
  return a->mValues[static_cast<size_t>(idx)];
}

CFTypeID CFDictionaryGetTypeID()
{
  return kDictType;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
  auto* d = new CFDictObj;
  if (keyCallBacks) d->mKeyCallBacks = *keyCallBacks;
  if (valueCallBacks) d->mValueCallBacks = *valueCallBacks;
  return reinterpret_cast<CFMutableDictionaryRef>(static_cast<CFObject*>(d));
}

namespace {
std::pair<const void*, const void*>* FindEntry(CFDictObj* d, const void* key)
{
  for (auto& e : d->mEntries) {
    const bool same = d->mKeyCallBacks.equal ? d->mKeyCallBacks.equal(e.first, key) : e.first == key;
    if (same) return &e;
  }
  return nullptr;
}
} // namespace

void CFDictionarySetValue(CFMutableDictionaryRef dict, const void* key, const void* value)
{
  CFDictObj* d = As<CFDictObj>(dict, kDictType);
  if (!d) return;
  const void* v = d->mValueCallBacks.retain ? d->mValueCallBacks.retain(nullptr, value) : value;
  if (auto* e = FindEntry(d, key)) {
    if (d->mValueCallBacks.release) d->mValueCallBacks.release(nullptr, e->second);
    e->second = v;
    return;
  }
  const void* k = d->mKeyCallBacks.retain ? d->mKeyCallBacks.retain(nullptr, key) : key;
  d->mEntries.emplace_back(k, v);
}

const void* CFDictionaryGetValue(CFDictionaryRef dict, const void* key)
{
  CFDictObj* d = As<CFDictObj>(dict, kDictType);
  if (!d) return nullptr;
  auto* e = FindEntry(d, key);
  return e ? e->second : nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dict)
{
  const CFDictObj* d = As<CFDictObj>(dict, kDictType);
  return d ? static_cast<CFIndex>(d->mEntries.size()) : 0;
}

CFTypeID CFURLGetTypeID()
{
  return kURLType;
}

CFBundleRef CFBundleGetMainBundle()
{
  std::lock_guard<std::mutex> lock(gBundleMutex);
  return reinterpret_cast<CFBundleRef>(gMainBundle);
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
{
  const CFStringObj* s = As<CFStringObj>(bundleID, kStringType);
  if (!s) return nullptr;
  std::lock_guard<std::mutex> lock(gBundleMutex);
  for (auto& b : gBundles)
    if (b->mIdentifier == s->mText) return reinterpret_cast<CFBundleRef>(b.get());
  return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
  return bundle ? reinterpret_cast<Bundle*>(bundle)->mIdentifierString : nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
  if (!bundle) return nullptr;
  return reinterpret_cast<CFURLRef>(
      static_cast<CFObject*>(new CFURLObj(reinterpret_cast<Bundle*>(bundle)->mURL)));
}

// --- stand-in controls ---

long StandInLiveCFObjects()
{
  return gLiveObjects.load();
}

void StandInSetMainBundle(const char* identifier)
{
  std::lock_guard<std::mutex> lock(gBundleMutex);
  gMainBundle =
      identifier ? FindOrAddBundle(identifier, std::string("file:///Applications/") + identifier) : nullptr;
}

void StandInRegisterBundle(const char* identifier, const char* url)
{
  std::lock_guard<std::mutex> lock(gBundleMutex);
  if (identifier) FindOrAddBundle(identifier, url ? url : "");
}

const char* StandInURLText(CFURLRef url)
{
  const CFURLObj* u = As<CFURLObj>(url, kURLType);
  return u ? u->mText.c_str() : nullptr;
}

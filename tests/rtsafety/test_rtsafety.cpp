#include "tests/instrument/instrument_test_support.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

// Every allocation made while `counting` is set is counted: operator new in all
// its forms here, and the C allocator through the linker's --wrap.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void note()
{
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* ptr, size_t size);

void* __wrap_malloc(size_t size)
{
  note();
  return __real_malloc(size);
}
void* __wrap_calloc(size_t n, size_t size)
{
  note();
  return __real_calloc(n, size);
}
void* __wrap_realloc(void* ptr, size_t size)
{
  note();
  return __real_realloc(ptr, size);
}
}

// Every form of new and delete is replaced: a sanitizer brings forms of its
// own, which would not pair with ours.
namespace {
void* allocate(size_t size)
{
  note();
  if (void* p = __real_malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* allocateAligned(size_t size, std::align_val_t align)
{
  note();
  const size_t a = static_cast<size_t>(align);
  if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}
} // namespace

void* operator new(size_t size)
{
  return allocate(size);
}
void* operator new[](size_t size)
{
  return allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
  note();
  return __real_malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
  note();
  return __real_malloc(size ? size : 1);
}
void* operator new(size_t size, std::align_val_t align)
{
  return allocateAligned(size, align);
}
void* operator new[](size_t size, std::align_val_t align)
{
  return allocateAligned(size, align);
}
void operator delete(void* p) noexcept
{
  std::free(p);
}
void operator delete[](void* p) noexcept
{
  std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept
{
  std::free(p);
}

using RealTimeSafety = InstrumentTest;

TEST_F(RealTimeSafety, CounterSeesAllocations)
{
  allocations = 0;
  counting = true;
  auto* vector = new std::vector<int>(100);
  auto* queue = new IMidiQueue(); // its storage comes from realloc in a library
  counting = false;
  EXPECT_GE(allocations.load(), 2);
  delete vector;
  delete queue;
}

// After Reset a musician's whole performance (notes, pedal, wheel, bend,
// learned controllers, automation, tempo changes, a voice-count change
// and program changes) renders without a single allocation.
TEST_F(RealTimeSafety, RenderingAllocatesNothingAfterReset)
{
  constexpr int kBlock = 256;
  auto z = makeZorva(44100.0, kBlock);

  // A heavy patch with every kind of modulation in use, on 32 voices.
  richPatch(*z);
  const std::pair<int, double> patch[] = {{kVoices, 23},       {kFlt1CF1Amt, 2.0}, {kLFO1Sync, 1},
                                          {kPortamento, 0.05}, {kSoftClip, 1},     {kLFO2Wave, 4}};
  for (const auto& [idx, value] : patch) setParam(*z, idx, value);
  z->midiCCParam[7] = kFlt2Cutoff;
  z->midiCCParam[74] = kFlt1Mode;

  std::vector<double> left(kBlock), right(kBlock);
  std::vector<float> leftF(kBlock), rightF(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  float* outputsF[2] = {leftF.data(), rightF.data()};

  allocations = 0;
  counting = true;
  for (int block = 0; block < 3000; ++block) {
    send(*z, 0x90, 36 + (block * 7) % 48, 40 + block % 80, (block * 13) % kBlock);
    if (block >= 4) send(*z, 0x80, 36 + ((block - 4) * 7) % 48, 0, (block * 29) % kBlock);
    send(*z, 0xB0, 7, (block * 5) % 128, 100);
    send(*z, 0xB0, 74, (block / 50) % 128, 10);
    send(*z, 0xB0, 1, block % 128, 0);
    send(*z, 0xE0, block % 128, (block / 3) % 128, 200);
    if (block % 97 == 0) send(*z, 0xB0, 64, block % 194 ? 127 : 0, 0);
    if (block % 500 == 250) send(*z, 0xB0, 123, 0, 0);
    // Never-used slots first (they take the current sound), then a restore.
    if (block % 300 == 150 && block < 1500) send(*z, 0xC0, (block / 300) % 4, 0, 64);

    if (block % 10 == 0) setParam(*z, kFlt1Cutoff, (block % 100) / 100.0);
    if (block % 40 == 0) setParam(*z, kLFO1Rate, 0.5 + block % 7);
    if (block == 1500) setParam(*z, kVoices, 31); // 64 voices
    z->SetTransport(100.0 + block % 60, block * 0.25, true);

    if (block % 2)
      z->ProcessDoubleReplacing(nullptr, outputs, kBlock);
    else
      z->ProcessFloatReplacing(nullptr, outputsF, kBlock);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(z->getVoiceCount(), 64);
  // The learned controllers really moved their parameters on the way.
  int learned = 0;
  for (const auto& event : z->GetParamEvents()) learned += event.mParamIdx == kFlt2Cutoff;
  EXPECT_GT(learned, 100);
}

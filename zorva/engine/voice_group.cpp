#include "zorva/engine/voice_group.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "zorva/engine/voice.h"

// The lanes are written with GCC's vector extensions and target pragmas;
// other compilers render one voice at a time, to the same bytes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define ZORVA_VOICE_LANES 1
// Vector types cross no function boundary that is not inlined.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

std::atomic<int> requestedPath{VoiceGroups::kAuto};

#if ZORVA_VOICE_LANES
bool supports(VoiceGroups::Path path)
{
  switch (path) {
  case VoiceGroups::kScalar: return true;
  case VoiceGroups::kAvx2: return __builtin_cpu_supports("avx2");
  case VoiceGroups::kAvx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  default: return false;
  }
}
#else
bool supports(VoiceGroups::Path path)
{
  return path == VoiceGroups::kScalar;
}
#endif

VoiceGroups::Path widest()
{
  static const VoiceGroups::Path best = supports(VoiceGroups::kAvx512) ? VoiceGroups::kAvx512
                                        : supports(VoiceGroups::kAvx2) ? VoiceGroups::kAvx2
                                                                       : VoiceGroups::kScalar;
  return best;
}

bool sounds(const Voice& v)
{
  return v.active && !(v.volume <= 0.0);
}

} // namespace

#if ZORVA_VOICE_LANES

#define ZORVA_INLINE __attribute__((always_inline)) inline

template <int W> struct Lanes;
template <int W> struct VoiceLanes;

// Every function below takes the instruction set of its region, so that the
// vector code inlined into it is compiled for the lanes' width. The bodies are
// shared; both widths do the same operations in the same order.
#pragma GCC push_options
#pragma GCC target("avx2")
template <> struct Lanes<4>
{
  typedef double D __attribute__((vector_size(32)));
  typedef long long L __attribute__((vector_size(32)));
  typedef int I __attribute__((vector_size(16)));
  ZORVA_INLINE static bool any(L m) { return _mm256_movemask_pd(_mm256_castsi256_pd((__m256i)m)) != 0; }
  ZORVA_INLINE static D gather(const double* base, L index)
  {
    return (D)_mm256_i64gather_pd(base, (__m256i)index, 8);
  }
};
#define ZORVA_LANES 4
#include "zorva/engine/voice_lanes.inc"
#undef ZORVA_LANES
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
template <> struct Lanes<8>
{
  typedef double D __attribute__((vector_size(64)));
  typedef long long L __attribute__((vector_size(64)));
  typedef int I __attribute__((vector_size(32)));
  ZORVA_INLINE static bool any(L m) { return _mm512_test_epi64_mask((__m512i)m, (__m512i)m) != 0; }
  ZORVA_INLINE static D gather(const double* base, L index)
  {
    return (D)_mm512_mask_i64gather_pd(_mm512_setzero_pd(), 0xff, (__m512i)index, base, 8);
  }
};
#define ZORVA_LANES 8
#include "zorva/engine/voice_lanes.inc"
#undef ZORVA_LANES
#pragma GCC pop_options

#endif

void VoiceGroups::setPath(Path p)
{
  requestedPath.store(p, std::memory_order_relaxed);
}

VoiceGroups::Path VoiceGroups::path()
{
  const Path p = static_cast<Path>(requestedPath.load(std::memory_order_relaxed));
  if (p == kAuto || !supports(p)) return widest();
  return p;
}

const char* VoiceGroups::name(Path p)
{
  switch (p) {
  case kScalar: return "scalar";
  case kAvx2: return "avx2";
  case kAvx512: return "avx512";
  default: return "auto";
  }
}

VoiceGroups::VoiceGroups()
{
  setStepLength(44);
}

VoiceGroups::~VoiceGroups() = default;

void VoiceGroups::setStepLength(int frames)
{
  const int capacity = frames > 1 ? frames : 1;
  if (capacity == scratch.capacity) return;
  constexpr int kWidest = 8, kArrays = 7;
  const size_t perArray = size_t(capacity) * kWidest;
  memory = std::make_unique<double[]>(perArray * kArrays);
  double* p = memory.get();
  for (double** a : {&scratch.osc1, &scratch.smooth1, &scratch.osc2, &scratch.smooth2, &scratch.noise,
                     &scratch.left, &scratch.right}) {
    *a = p;
    p += perArray;
  }
  scratch.capacity = capacity;
}

void VoiceGroups::render(Voice* voices, int count, double* left, double* right, int n)
{
  renderAll(voices, count, left, right, n);
}

void VoiceGroups::render(Voice* voices, int count, float* left, float* right, int n)
{
  renderAll(voices, count, left, right, n);
}

template <typename T> void VoiceGroups::renderAll(Voice* voices, int count, T* left, T* right, int n)
{
  const Path p = path();
  if (p == kScalar || n > scratch.capacity) {
    for (int i = 0; i < count; ++i) voices[i].process(left, right, n);
    return;
  }
  // Silent voices touch nothing shared (only free-running oscillators move),
  // so they may go first; the sounding ones keep their order.
  const int width = p == kAvx512 ? 8 : 4;
  Voice* group[8];
  int filled = 0;
  for (int i = 0; i < count; ++i) {
    if (!sounds(voices[i])) {
      voices[i].process(left, right, n);
      continue;
    }
    group[filled++] = &voices[i];
    if (filled == width) {
      renderGroup(group, filled, left, right, n, p);
      filled = 0;
    }
  }
  if (filled > 0) renderGroup(group, filled, left, right, n, p);
}

template <typename T>
void VoiceGroups::renderGroup(Voice* const* group, int count, T* left, T* right, int n, Path p)
{
#if ZORVA_VOICE_LANES
  // A voice alone renders faster through its own loop than as one lane.
  if (count > 1 && VoiceLanes<4>::alike(group, count, n)) {
    if (p == kAvx512 && count > 4)
      VoiceLanes<8>::run(group, count, left, right, n, scratch);
    else
      VoiceLanes<4>::run(group, count, left, right, n, scratch);
    return;
  }
#endif
  for (int i = 0; i < count; ++i) {
    if (p == kAvx512)
      group[i]->processWide(left, right, n);
    else
      group[i]->process(left, right, n);
  }
}

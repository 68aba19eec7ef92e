#pragma once

#include <memory>

class Voice;

// Renders an instrument's sounding voices in groups, one voice per lane of a
// vector register (4 doubles with AVX2, 8 with AVX-512), the instruction set
// chosen at run time. Every lane does the same additions and multiplications
// in the same order as its voice rendered alone, the shared sequences (the
// filters' alternating offset, the noise) are handed out as voice after voice
// would take them, and the lanes are added to the output in voice order: the
// result is the same to the bit as rendering one voice at a time.
class VoiceGroups
{
public:
  enum Path { kAuto = 0, kScalar, kAvx2, kAvx512 };

  // Chooses the path for every instance (tests and benchmarks); kAuto, or a
  // path this processor cannot run, means the widest one it can.
  static void setPath(Path path);
  // The path rendering takes now.
  static Path path();
  static const char* name(Path path);

  VoiceGroups();
  ~VoiceGroups();
  VoiceGroups(const VoiceGroups&) = delete;
  VoiceGroups& operator=(const VoiceGroups&) = delete;

  // Room for steps of up to frames samples. Allocates: call outside rendering.
  void setStepLength(int frames);

  // Adds n samples of voices[0 ... count - 1] to the buffers, as calling
  // process on each voice in turn would.
  void render(Voice* voices, int count, double* left, double* right, int n);
  void render(Voice* voices, int count, float* left, float* right, int n);

  // Lanes' interleaved inputs and outputs for one step.
  struct Scratch
  {
    double* osc1 = nullptr;
    double* smooth1 = nullptr;
    double* osc2 = nullptr;
    double* smooth2 = nullptr;
    double* noise = nullptr;
    double* left = nullptr;
    double* right = nullptr;
    int capacity = 0; // samples per lane
  };

private:
  template <typename T> void renderAll(Voice* voices, int count, T* left, T* right, int n);
  template <typename T> void renderGroup(Voice* const* group, int count, T* left, T* right, int n, Path p);

  std::unique_ptr<double[]> memory;
  Scratch scratch;
};

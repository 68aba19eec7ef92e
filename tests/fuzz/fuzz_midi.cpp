// Hostile Standard MIDI Files: the reader must answer with a file or an
// error, and a file it accepts must schedule and render without trouble.
#include "apps/render/midi_file.h"
#include "apps/render/schedule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

struct SilentTarget : render::RenderTarget
{
  int64_t mFrames = 0;
  void SetTransport(double tempo, double quarters, bool) override
  {
    if (!(tempo > 0.0) || !(quarters >= 0.0)) std::abort();
  }
  void SendMidi(int offset, uint8_t status, uint8_t, uint8_t) override
  {
    if (offset < 0 || offset >= 64 || status < 0x80 || status >= 0xF0) std::abort();
  }
  void ProcessBlock(double*, double*, int frames) override { mFrames += frames; }
  bool IsSounding() const override { return false; }
};

struct NullSink : render::BlockSink
{
  bool WriteBlock(const double*, const double*, int, std::string&) override { return true; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  render::MidiFile file;
  std::string error;
  if (!render::ParseMidiFile(data, size, file, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  // A low rate keeps the renders of long files short.
  render::RenderSettings settings{.mRate = 100, .mBlockSize = 64, .mLengthSeconds = std::nullopt};
  if (!file.mEvents.empty() && file.mTempo.SecondsAt(file.mEvents.back().mTick) > 600.0)
    settings.mLengthSeconds = 600.0;
  SilentTarget target;
  NullSink sink;
  if (!render::RunRender(file, settings, target, sink).mOk) std::abort();
  return 0;
}

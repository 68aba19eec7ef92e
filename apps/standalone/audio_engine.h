#pragma once

// The audio side of the standalone app: an RtAudio output stream whose
// callback feeds the queued MIDI to the instrument and renders it.
//
// Threads: the editor and the session code change the instrument under its
// plug-in lock, and so does the callback. The callback only try-locks: a
// busy lock (an editor change, a few microseconds) is retried for at most
// half a period, after which the block is output silent and its MIDI stays
// queued for the next one. So the audio thread never waits on the user
// interface for longer than it can afford, and nothing races with rendering.

#include "apps/standalone/midi_input.h"

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class Zorva;

namespace standalone {

struct AudioSettings
{
  std::string mApi;                   // "jack", "alsa", "pulse"; empty: the first that has a device
  std::optional<std::string> mDevice; // number or part of a name; empty: the default output
  unsigned mRate = 0;                 // 0: the device's preferred rate
  unsigned mBufferFrames = 256;
  std::string mClientName = "Zorva"; // the JACK client's name
};

// The names --audio-api accepts.
bool KnownAudioApi(const std::string& name);
// Every output device of the chosen API (all compiled APIs for an empty name).
bool ListAudioDevices(const std::string& api, std::ostream& out, std::string& error);

class AudioEngine
{
public:
  AudioEngine(Zorva& plug, MidiInput& midi);
  ~AudioEngine();

  // Opens the stream and prepares the instrument for it; false with a
  // message the user can act on.
  bool Open(const AudioSettings& settings, std::string& error);
  // Starts the callbacks; the MIDI input must be open by then.
  bool Run(std::string& error);
  void Stop();
  // False once the stream has died under us (for example the JACK server quit).
  bool IsRunning();
  bool UsesJack() const { return mApi == RtAudio::UNIX_JACK; }
  std::string ApiName() const;
  std::string DeviceName() const { return mDeviceName; }
  unsigned Rate() const { return mRate; }
  unsigned BufferFrames() const { return mBufferFrames; }
  long StreamLatency();
  int SilentBlocks() const { return mSilentBlocks.load(std::memory_order_relaxed); }

  // Opens RtAudio for the chosen API; false if the name is unknown or unbuilt.
  static bool MakeRtAudio(const std::string& api, std::unique_ptr<RtAudio>& audio, std::string& error);

private:
  static int Callback(void* output, void* input, unsigned int nFrames, double streamTime,
                      RtAudioStreamStatus status, void* user);
  void Render(float* left, float* right, int nFrames);

  Zorva& mPlug;
  MidiInput& mMidi;
  std::mutex mStopping; // the QuitGuard may stop the stream from its own thread
  std::unique_ptr<RtAudio> mAudio;
  RtAudio::Api mApi = RtAudio::UNSPECIFIED;
  std::string mDeviceName;
  unsigned mRate = 0;
  unsigned mBufferFrames = 0;
  std::vector<double> mLeft, mRight;
  int64_t mPeriodStart = 0;
  int64_t mFramesDone = 0;
  std::atomic<int> mSilentBlocks{0};
};

} // namespace standalone

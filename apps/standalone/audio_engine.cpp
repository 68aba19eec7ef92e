#include "apps/standalone/audio_engine.h"

#include "zorva/zorva.h"

#include <algorithm>
#include <thread>

namespace standalone {

namespace {

struct ApiName
{
  const char* mName;
  RtAudio::Api mApi;
};
constexpr ApiName kApis[] = {
    {"jack", RtAudio::UNIX_JACK}, {"alsa", RtAudio::LINUX_ALSA}, {"pulse", RtAudio::LINUX_PULSE}};

bool FindApi(const std::string& name, RtAudio::Api& api)
{
  for (const ApiName& known : kApis)
    if (name == known.mName) {
      api = known.mApi;
      return true;
    }
  return false;
}

bool Compiled(RtAudio::Api api)
{
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

constexpr double kTempo = 120.0;

} // namespace

bool KnownAudioApi(const std::string& name)
{
  RtAudio::Api api;
  return FindApi(name, api);
}

bool AudioEngine::MakeRtAudio(const std::string& name, std::unique_ptr<RtAudio>& audio, std::string& error)
{
  RtAudio::Api api = RtAudio::UNSPECIFIED;
  if (!name.empty() && (!FindApi(name, api) || !Compiled(api))) {
    error = "audio API \"" + name + "\" is not available (jack, alsa or pulse)";
    return false;
  }
  try {
    audio = std::make_unique<RtAudio>(api);
    audio->showWarnings(false);
  } catch (const RtAudioError& e) {
    error = "cannot start the audio system: " + e.getMessage();
    return false;
  }
  return true;
}

bool ListAudioDevices(const std::string& api, std::ostream& out, std::string& error)
{
  for (const ApiName& known : kApis) {
    if (!api.empty() && api != known.mName) continue;
    if (!Compiled(known.mApi)) continue;
    std::unique_ptr<RtAudio> audio;
    if (!AudioEngine::MakeRtAudio(known.mName, audio, error)) return false;
    try {
      const unsigned count = audio->getDeviceCount();
      out << known.mName << ": " << (count ? "" : "no devices") << "\n";
      const unsigned defaultOut = count ? audio->getDefaultOutputDevice() : 0;
      for (unsigned i = 0; i < count; ++i) {
        const RtAudio::DeviceInfo info = audio->getDeviceInfo(i);
        if (!info.probed || info.outputChannels < 2) continue;
        out << "  " << i << ": " << info.name << " (" << info.outputChannels << " outputs, "
            << info.preferredSampleRate << " Hz" << (i == defaultOut ? ", default" : "") << ")\n";
      }
    } catch (const RtAudioError& e) {
      out << "  " << e.getMessage() << "\n";
    }
  }
  return true;
}

AudioEngine::AudioEngine(Zorva& plug, MidiInput& midi) : mPlug(plug), mMidi(midi) {}

AudioEngine::~AudioEngine()
{
  Stop();
}

std::string AudioEngine::ApiName() const
{
  return RtAudio::getApiName(mApi);
}

bool AudioEngine::Open(const AudioSettings& settings, std::string& error)
{
  if (!MakeRtAudio(settings.mApi, mAudio, error)) return false;
  mApi = mAudio->getCurrentApi();
  const char* system = mApi == RtAudio::UNIX_JACK     ? "JACK"
                       : mApi == RtAudio::LINUX_PULSE ? "PulseAudio"
                                                      : "ALSA";
  try {
    const unsigned count = mAudio->getDeviceCount();
    if (count == 0) {
      error = mApi == RtAudio::UNIX_JACK ? "no JACK server is running (start one, or choose --audio-api alsa)"
              : settings.mApi.empty()    ? "no audio output device found"
                                         : std::string("no ") + system + " output device found";
      return false;
    }
    unsigned device = mAudio->getDefaultOutputDevice();
    if (settings.mDevice) {
      long long number = -1;
      const std::string& wanted = *settings.mDevice;
      bool found = false;
      if (!wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoll(wanted.substr(0, 9));
        found = number >= 0 && number < count;
        device = unsigned(number);
      } else {
        for (unsigned i = 0; i < count && !found; ++i)
          if (mAudio->getDeviceInfo(i).name.find(wanted) != std::string::npos) {
            device = i;
            found = true;
          }
      }
      if (!found) {
        error = std::string("no ") + system + " output device \"" + wanted + "\" (see --list-devices)";
        return false;
      }
    }
    const RtAudio::DeviceInfo info = mAudio->getDeviceInfo(device);
    if (!info.probed || info.outputChannels < 2) {
      error = std::string(system) + " device \"" + info.name + "\" has no stereo output (it may be busy)";
      return false;
    }
    mDeviceName = info.name;
    unsigned rate = settings.mRate ? settings.mRate : info.preferredSampleRate;
    if (!rate) rate = 48000;

    RtAudio::StreamParameters out;
    out.deviceId = device;
    out.nChannels = 2;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_SCHEDULE_REALTIME;
    options.streamName = settings.mClientName;
    options.priority = 70;
    unsigned frames = settings.mBufferFrames;
    mAudio->openStream(&out, nullptr, RTAUDIO_FLOAT32, rate, &frames, &AudioEngine::Callback, this, &options);
    mRate = mAudio->getStreamSampleRate();
    mBufferFrames = frames;

    // The block size is only the largest piece rendered at once: the
    // callback cuts longer periods, should the server change its size.
    const int block = int(std::clamp(frames, 16u, 8192u));
    mLeft.assign(size_t(block), 0.0);
    mRight.assign(size_t(block), 0.0);
    {
      MutexLock lock(mPlug.GetMutex());
      mPlug.SetSampleRate(mRate);
      mPlug.SetBlockSize(block);
      mPlug.Reset();
      mPlug.OnActivate(true);
    }
  } catch (const RtAudioError& e) {
    error = std::string(system) + ": " + e.getMessage();
    if (mAudio && mAudio->isStreamOpen()) mAudio->closeStream();
    return false;
  }
  return true;
}

bool AudioEngine::Run(std::string& error)
{
  try {
    mPeriodStart = NowNanos();
    mAudio->startStream();
  } catch (const RtAudioError& e) {
    error = ApiName() + ": " + e.getMessage();
    return false;
  }
  return true;
}

void AudioEngine::Stop()
{
  std::lock_guard lock(mStopping);
  if (!mAudio) return;
  try {
    // Aborted, not drained: the JACK back end's drain waits on a condition
    // without holding its mutex, and a synthesizer's last period is not worth it.
    if (mAudio->isStreamRunning()) mAudio->abortStream();
    if (mAudio->isStreamOpen()) mAudio->closeStream();
  } catch (const RtAudioError&) {
  }
  mAudio.reset();
}

bool AudioEngine::IsRunning()
{
  return mAudio && mAudio->isStreamRunning();
}

long AudioEngine::StreamLatency()
{
  try {
    return mAudio ? mAudio->getStreamLatency() : 0;
  } catch (const RtAudioError&) {
    return 0;
  }
}

int AudioEngine::Callback(void* output, void*, unsigned int nFrames, double, RtAudioStreamStatus, void* user)
{
  auto* self = static_cast<AudioEngine*>(user);
  float* left = static_cast<float*>(output);
  self->Render(left, left + nFrames, int(nFrames));
  return 0;
}

void AudioEngine::Render(float* left, float* right, int nFrames)
{
  const int64_t now = NowNanos();
  const int64_t periodStart = mPeriodStart;
  mPeriodStart = now;

  Mutex& mutex = mPlug.GetMutex();
  bool locked = mutex.try_lock();
  if (!locked) {
    const int64_t deadline = now + int64_t(0.5e9 * nFrames / mRate);
    while (!(locked = mutex.try_lock()) && NowNanos() < deadline) std::this_thread::yield();
  }
  if (!locked) {
    std::fill_n(left, nFrames, 0.0f);
    std::fill_n(right, nFrames, 0.0f);
    mFramesDone += nFrames;
    mSilentBlocks.fetch_add(1, std::memory_order_relaxed);
    return;
  }

  // The messages that arrived during the last period play at the same place
  // in this one: one period of latency, none of jitter.
  const double rate = double(mRate);
  const int block = int(mLeft.size());
  mMidi.Drain([&](const TimedMidi& m) {
    // Within the first piece rendered, so the instrument's queue never holds
    // an offset beyond the block size it was prepared for.
    const int offset = FrameOffset(m.mNanos, periodStart, rate, std::min(nFrames, block));
    IMidiMsg msg(offset, m.mStatus, m.mData1, m.mData2);
    mPlug.ProcessMidiMsg(&msg);
  });

  for (int done = 0; done < nFrames;) {
    const int n = std::min(block, nFrames - done);
    const double beats = double(mFramesDone) / rate * kTempo / 60.0;
    ITimeInfo time;
    time.mTempo = kTempo;
    time.mSamplePos = double(mFramesDone);
    time.mPPQPos = beats;
    time.mTransportIsRunning = true;
    mPlug.SetTimeInfo(time);
    double* outputs[2] = {mLeft.data(), mRight.data()};
    mPlug.ProcessDoubleReplacing(nullptr, outputs, n);
    for (int i = 0; i < n; ++i) {
      left[done + i] = float(mLeft[size_t(i)]);
      right[done + i] = float(mRight[size_t(i)]);
    }
    done += n;
    mFramesDone += n;
  }
  mutex.unlock();
}

} // namespace standalone

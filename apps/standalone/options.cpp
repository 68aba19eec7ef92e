#include "apps/standalone/options.h"

namespace standalone {

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error)
{
  options = Options();
  auto handle = [&options](const std::string& arg, render::OptionValue& option, std::string& error) {
    switch (render::ParseSoundOption(arg, option, options, error)) {
    case render::OptionResult::kTaken: return true;
    case render::OptionResult::kError: return false;
    case render::OptionResult::kNotMine: break;
    }
    std::string value;
    long long number = 0;
    if (arg == "--audio-api") {
      if (!option.Take(value)) return false;
      if (!KnownAudioApi(value)) {
        error = "--audio-api needs jack, alsa or pulse, not \"" + value + "\"";
        return false;
      }
      options.mAudio.mApi = value;
    } else if (arg == "--device") {
      if (!option.Take(value)) return false;
      if (value.empty()) {
        error = "--device needs a device number or name";
        return false;
      }
      options.mAudio.mDevice = value;
    } else if (arg == "--rate") {
      if (!option.Take(value)) return false;
      if (!render::ParseInt(value, 8000, 384000, number)) {
        error = "--rate needs a sample rate in Hz from 8000 to 384000, not \"" + value + "\"";
        return false;
      }
      options.mAudio.mRate = unsigned(number);
    } else if (arg == "--buffer") {
      if (!option.Take(value)) return false;
      if (!render::ParseInt(value, 16, 8192, number)) {
        error = "--buffer needs a buffer size from 16 to 8192 frames, not \"" + value + "\"";
        return false;
      }
      options.mAudio.mBufferFrames = unsigned(number);
    } else if (arg == "--midi-port") {
      if (!option.Take(value)) return false;
      if (value.empty()) {
        error = "--midi-port needs a port name";
        return false;
      }
      options.mMidiPort = value;
    } else if (arg == "--no-gui") {
      options.mNoGui = true;
      return option.None();
    } else if (arg == "--list-devices") {
      options.mListDevices = true;
      return option.None();
    } else if (arg == "--help" || arg == "-h") {
      options.mHelp = true;
      return option.None();
    } else if (arg == "--check-update") {
      options.mCheckUpdate = true;
      return option.None();
    } else {
      error = "unknown option " + arg;
      return false;
    }
    return true;
  };
  std::vector<std::string> positional;
  if (!render::WalkArguments(args, handle, positional, error)) return false;
  if (options.mHelp || options.mCheckUpdate) return true;
  if (!positional.empty()) {
    error = "unexpected argument \"" + positional[0] + "\"";
    return false;
  }
  return render::CheckSoundOptions(options, error);
}

std::string UsageText()
{
  return "usage: zorva [options]\n"
         "\n"
         "Plays the Zorva synthesizer from MIDI keyboards. The sound of the last run\n"
         "is restored at start and kept at quit.\n"
         "\n"
         "Audio and MIDI:\n"
         "  --audio-api API        jack, alsa or pulse (default: the first with a device)\n"
         "  --device N|NAME        output device by number or part of its name\n"
         "  --rate HZ              sample rate (default: the device's)\n"
         "  --buffer FRAMES        buffer size, 16-8192 (256; JACK uses its own)\n"
         "  --list-devices         list the output devices and exit\n"
         "  --midi-port NAME       listen only to MIDI ports whose name contains NAME\n"
         "                         (default: every port)\n"
         "  --no-gui               no window\n"
         "\n"
         "Sound (applied in this order, after the last run's sound is restored):\n" +
         render::SoundOptionsUsage() +
         "\n"
         "Other:\n"
         "  --check-update         ask the update server for a newer version, print the\n"
         "                         answer and exit (0 up to date, 1 newer, 3 failed)\n"
         "  --help                 this text\n"
         "\n"
         "Under a session manager (NSM_URL set) the sound is kept in the session.\n"
         "Exit status: 0 success, 1 audio failure, 2 bad arguments, 3 unreadable input file.\n";
}

} // namespace standalone

#include "apps/render/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace render {

bool ParseDecimal(const std::string& text, double& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  return ec == std::errc() && ptr == last && !text.empty() && std::isfinite(value);
}

bool ParseOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error)
{
  options = RenderOptions();
  std::vector<std::string> positional;

  auto handle = [&options](const std::string& arg, OptionValue& option, std::string& error) {
    switch (ParseSoundOption(arg, option, options, error)) {
    case OptionResult::kTaken: return true;
    case OptionResult::kError: return false;
    case OptionResult::kNotMine: break;
    }
    std::string value;
    long long number = 0;
    if (arg == "-o") {
      if (!option.Take(value)) return false;
      options.mOutput = value;
    } else if (arg == "--rate") {
      if (!option.Take(value)) return false;
      if (!ParseInt(value, kMinRate, kMaxRate, number)) {
        error = "--rate needs a sample rate in Hz from 8000 to 384000, not \"" + value + "\"";
        return false;
      }
      options.mRate = int(number);
    } else if (arg == "--block") {
      if (!option.Take(value)) return false;
      if (!ParseInt(value, 1, kMaxBlockSize, number)) {
        error = "--block needs a block size from 1 to 65536 frames, not \"" + value + "\"";
        return false;
      }
      options.mBlockSize = int(number);
    } else if (arg == "--format") {
      if (!option.Take(value)) return false;
      if (!ParseSampleFormat(value, options.mFormat)) {
        error = "--format needs f32, f64, s16 or s24, not \"" + value + "\"";
        return false;
      }
    } else if (arg == "--length") {
      if (!option.Take(value)) return false;
      double seconds = 0.0;
      if (!ParseDecimal(value, seconds) || seconds < 0.0 || seconds > double(kMaxEventSeconds)) {
        error = "--length needs a number of seconds from 0 to 86400, not \"" + value + "\"";
        return false;
      }
      options.mLengthSeconds = seconds;
    } else if (arg == "--screenshot") {
      if (!option.Take(value)) return false;
      options.mScreenshot = value;
    } else if (arg == "--list-programs") {
      options.mListPrograms = true;
      return option.None();
    } else if (arg == "--list-params") {
      options.mListParams = true;
      return option.None();
    } else if (arg == "--quiet") {
      options.mQuiet = true;
      return option.None();
    } else if (arg == "--help" || arg == "-h") {
      options.mHelp = true;
      return option.None();
    } else {
      error = "unknown option " + arg;
      return false;
    }
    return true;
  };
  if (!WalkArguments(args, handle, positional, error)) return false;

  if (options.mHelp) return true;
  if (!CheckSoundOptions(options, error)) return false;
  if (positional.size() > 1) {
    error =
        "only one input file can be rendered, got \"" + positional[0] + "\" and \"" + positional[1] + "\"";
    return false;
  }
  if (!positional.empty()) options.mInput = positional[0];
  if (options.Renders()) {
    if (options.mInput.empty()) {
      error = "no input MIDI file given";
      return false;
    }
    if (options.mOutput.empty()) {
      error = "no output file given (-o OUTPUT.wav)";
      return false;
    }
  }
  return true;
}

std::string UsageText()
{
  return "usage: zorva-render [options] INPUT.mid -o OUTPUT.wav\n"
         "INPUT.mid is a Standard MIDI File, or - for standard input.\n"
         "\n"
         "Sound (applied in this order; starts from the factory bank, program 0):\n" +
         SoundOptionsUsage() +
         "\n"
         "Rendering:\n"
         "  -o FILE.wav            output file (stereo WAV; RF64 when it may pass 4 GiB);\n"
         "                         replaced only once it is complete\n"
         "  --rate HZ              sample rate, 8000-384000 (44100)\n"
         "  --block N              host block size in frames, 1-65536 (512)\n"
         "  --format FMT           f32, f64, s16 or s24 (f32)\n"
         "  --length SECONDS       length of the output (default: until every voice has\n"
         "                         ended after the last event, at most 60 s after it)\n"
         "\n"
         "Other:\n"
         "  --screenshot FILE.png  draw the front panel of the chosen sound into a PNG\n"
         "                         and exit\n"
         "  --list-programs        list the programs of the bank and exit\n"
         "  --list-params          list the parameters with their current values and exit\n"
         "  --quiet                no progress bar\n"
         "  --help                 this text\n"
         "\n"
         "The factory bank and panel artwork are found beside the executable, in\n"
         "../share/zorva, or in the folder ZORVA_RESOURCES names.\n"
         "\n"
         "Exit status: 0 success, 1 output could not be written, 2 bad arguments,\n"
         "3 unreadable or malformed input file (MIDI, bank, program, factory bank).\n";
}

} // namespace render

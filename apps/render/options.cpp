#include "apps/render/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace render {

namespace {

bool ParseInt(const std::string& text, long long lo, long long hi, long long& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last && !text.empty() && value >= lo && value <= hi;
}

} // namespace

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
  bool optionsEnded = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" is accepted as well as "--name value".
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    auto takeValue = [&](std::string& value) {
      if (inlineValue) {
        value = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto noValue = [&]() {
      if (!inlineValue) return true;
      error = "option " + arg + " takes no value";
      return false;
    };

    std::string value;
    long long number = 0;
    if (arg == "-o") {
      if (!takeValue(value)) return false;
      options.mOutput = value;
    } else if (arg == "--bank") {
      if (!takeValue(value)) return false;
      options.mBank = value;
    } else if (arg == "--program") {
      if (!takeValue(value)) return false;
      if (!ParseInt(value, 0, kNumPrograms - 1, number)) {
        error = "--program needs a program number from 0 to 63, not \"" + value + "\"";
        return false;
      }
      options.mProgram = int(number);
    } else if (arg == "--program-name") {
      if (!takeValue(value)) return false;
      options.mProgramName = value;
    } else if (arg == "--fxp") {
      if (!takeValue(value)) return false;
      options.mFxp = value;
    } else if (arg == "--init") {
      if (!noValue()) return false;
      options.mInit = true;
    } else if (arg == "--set") {
      if (!takeValue(value)) return false;
      const size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) {
        error = "--set needs NAME=VALUE, not \"" + value + "\"";
        return false;
      }
      options.mSets.push_back({value.substr(0, eq), value.substr(eq + 1)});
    } else if (arg == "--rate") {
      if (!takeValue(value)) return false;
      if (!ParseInt(value, kMinRate, kMaxRate, number)) {
        error = "--rate needs a sample rate in Hz from 8000 to 384000, not \"" + value + "\"";
        return false;
      }
      options.mRate = int(number);
    } else if (arg == "--block") {
      if (!takeValue(value)) return false;
      if (!ParseInt(value, 1, kMaxBlockSize, number)) {
        error = "--block needs a block size from 1 to 65536 frames, not \"" + value + "\"";
        return false;
      }
      options.mBlockSize = int(number);
    } else if (arg == "--format") {
      if (!takeValue(value)) return false;
      if (!ParseSampleFormat(value, options.mFormat)) {
        error = "--format needs f32, f64, s16 or s24, not \"" + value + "\"";
        return false;
      }
    } else if (arg == "--length") {
      if (!takeValue(value)) return false;
      double seconds = 0.0;
      if (!ParseDecimal(value, seconds) || seconds < 0.0 || seconds > double(kMaxEventSeconds)) {
        error = "--length needs a number of seconds from 0 to 86400, not \"" + value + "\"";
        return false;
      }
      options.mLengthSeconds = seconds;
    } else if (arg == "--screenshot") {
      if (!takeValue(value)) return false;
      options.mScreenshot = value;
    } else if (arg == "--list-programs") {
      if (!noValue()) return false;
      options.mListPrograms = true;
    } else if (arg == "--list-params") {
      if (!noValue()) return false;
      options.mListParams = true;
    } else if (arg == "--quiet") {
      if (!noValue()) return false;
      options.mQuiet = true;
    } else if (arg == "--help" || arg == "-h") {
      if (!noValue()) return false;
      options.mHelp = true;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }

  if (options.mHelp) return true;
  if (options.mProgram && options.mProgramName) {
    error = "--program and --program-name cannot be used together";
    return false;
  }
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
         "Sound (applied in this order; starts from the factory bank, program 0):\n"
         "  --bank FILE.fxb        load a bank\n"
         "  --program N            select program N (0-63)\n"
         "  --program-name NAME    select the program with this name\n"
         "  --fxp FILE.fxp         load a program file into the current program\n"
         "  --init                 every parameter at its default\n"
         "  --set NAME=VALUE       set a parameter (name or index; plain units within its\n"
         "                         range; list parameters take a text of their list, or\n"
         "                         a position unless the texts are numbers, as Voices);\n"
         "                         may be repeated, applied in order\n"
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

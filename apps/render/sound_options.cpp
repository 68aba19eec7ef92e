#include "apps/render/sound_options.h"

#include "apps/render/render_app.h"

#include <cctype>
#include <charconv>

namespace render {

bool OptionValue::Take(std::string& value)
{
  if (mInline) {
    value = *mInline;
    return true;
  }
  if (mIndex + 1 >= mArgs.size()) {
    mError = "option " + mName + " needs a value";
    return false;
  }
  value = mArgs[++mIndex];
  return true;
}

bool OptionValue::None()
{
  if (!mInline) return true;
  mError = "option " + mName + " takes no value";
  return false;
}

bool WalkArguments(const std::vector<std::string>& args, const OptionHandler& handler,
                   std::vector<std::string>& positional, std::string& error)
{
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
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    OptionValue value(arg, inlineValue, args, i, error);
    if (!handler(arg, value, error)) return false;
  }
  return true;
}

bool ParseInt(const std::string& text, long long lo, long long hi, long long& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last && !text.empty() && value >= lo && value <= hi;
}

OptionResult ParseSoundOption(const std::string& name, OptionValue& value, SoundOptions& options,
                              std::string& error)
{
  auto result = [](bool ok) { return ok ? OptionResult::kTaken : OptionResult::kError; };
  std::string text;
  if (name == "--bank") {
    if (!value.Take(text)) return OptionResult::kError;
    options.mBank = text;
  } else if (name == "--program") {
    if (!value.Take(text)) return OptionResult::kError;
    long long number = 0;
    if (!ParseInt(text, 0, kNumPrograms - 1, number)) {
      error = "--program needs a program number from 0 to 63, not \"" + text + "\"";
      return OptionResult::kError;
    }
    options.mProgram = int(number);
  } else if (name == "--program-name") {
    if (!value.Take(text)) return OptionResult::kError;
    options.mProgramName = text;
  } else if (name == "--fxp") {
    if (!value.Take(text)) return OptionResult::kError;
    options.mFxp = text;
  } else if (name == "--init") {
    options.mInit = true;
    return result(value.None());
  } else if (name == "--set") {
    if (!value.Take(text)) return OptionResult::kError;
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "--set needs NAME=VALUE, not \"" + text + "\"";
      return OptionResult::kError;
    }
    options.mSets.push_back({text.substr(0, eq), text.substr(eq + 1)});
  } else {
    return OptionResult::kNotMine;
  }
  return OptionResult::kTaken;
}

bool CheckSoundOptions(const SoundOptions& options, std::string& error)
{
  if (options.mProgram && options.mProgramName) {
    error = "--program and --program-name cannot be used together";
    return false;
  }
  return true;
}

namespace {

int FindProgram(const RenderInstrument& instrument, const std::string& name)
{
  const int n = instrument.NumPrograms();
  for (int i = 0; i < n; ++i)
    if (instrument.ProgramName(i) == name) return i;
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower((unsigned char)c));
    return s;
  };
  for (int i = 0; i < n; ++i)
    if (lower(instrument.ProgramName(i)) == lower(name)) return i;
  return -1;
}

} // namespace

int ApplySoundOptions(const SoundOptions& options, RenderInstrument& instrument, std::string& error,
                      const std::function<void()>& afterBank)
{
  if (options.mBank && !instrument.LoadBank(*options.mBank, error)) return kExitBadInput;
  if (afterBank) afterBank();
  if (options.mProgram) {
    if (*options.mProgram >= instrument.NumPrograms()) {
      error = "--program: no program " + std::to_string(*options.mProgram);
      return kExitBadArguments;
    }
    instrument.SelectProgram(*options.mProgram);
  } else if (options.mProgramName) {
    const int index = FindProgram(instrument, *options.mProgramName);
    if (index < 0) {
      error = "--program-name: no program named \"" + *options.mProgramName + "\" (see --list-programs)";
      return kExitBadArguments;
    }
    instrument.SelectProgram(index);
  }
  if (options.mFxp && !instrument.LoadProgram(*options.mFxp, error)) return kExitBadInput;
  if (options.mInit) instrument.InitProgram();
  if (!options.mSets.empty()) {
    const std::vector<ParamInfo> params = instrument.Params();
    for (const ParamAssignment& assignment : options.mSets) {
      int index = 0;
      double value = 0.0;
      if (!ResolveAssignment(params, assignment, index, value, error)) return kExitBadArguments;
      instrument.SetParam(index, value);
    }
  }
  return kExitOk;
}

std::string SoundOptionsUsage()
{
  return "  --bank FILE.fxb        load a bank\n"
         "  --program N            select program N (0-63)\n"
         "  --program-name NAME    select the program with this name\n"
         "  --fxp FILE.fxp         load a program file into the current program\n"
         "  --init                 every parameter at its default\n"
         "  --set NAME=VALUE       set a parameter (name or index; plain units within its\n"
         "                         range; list parameters take a text of their list, or\n"
         "                         a position unless the texts are numbers, as Voices);\n"
         "                         may be repeated, applied in order\n";
}

} // namespace render

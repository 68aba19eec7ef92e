#pragma once

// What zorva-render and the standalone app share of the command line: walking
// the arguments ("--name value" and "--name=value") and the options that
// choose the sound, with the order in which they are applied.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace render {

class RenderInstrument;

struct ParamAssignment
{
  std::string mName; // a parameter name or index
  std::string mValue;
};

struct SoundOptions
{
  std::optional<std::string> mBank;
  std::optional<int> mProgram;
  std::optional<std::string> mProgramName;
  std::optional<std::string> mFxp;
  bool mInit = false;
  std::vector<ParamAssignment> mSets; // in command-line order
};

constexpr int kNumPrograms = 64;

// The value of the option being handled, given inline or as the next argument.
class OptionValue
{
public:
  OptionValue(const std::string& name, const std::optional<std::string>& inlineValue,
              const std::vector<std::string>& args, size_t& index, std::string& error)
      : mName(name), mInline(inlineValue), mArgs(args), mIndex(index), mError(error)
  {
  }
  // False with a message when the value is missing.
  bool Take(std::string& value);
  // False with a message when a value was given inline.
  bool None();

private:
  const std::string& mName;
  const std::optional<std::string>& mInline;
  const std::vector<std::string>& mArgs;
  size_t& mIndex;
  std::string& mError;
};

// Handles one option; false with error set when it is wrong or unknown.
using OptionHandler = std::function<bool(const std::string& name, OptionValue& value, std::string& error)>;

// Walks args (without the program name); arguments that are not options, and
// everything after "--", go to positional.
bool WalkArguments(const std::vector<std::string>& args, const OptionHandler& handler,
                   std::vector<std::string>& positional, std::string& error);

// A whole number in [lo, hi], nothing else in the text.
bool ParseInt(const std::string& text, long long lo, long long hi, long long& value);

enum class OptionResult { kNotMine, kTaken, kError };
// One of --bank, --program, --program-name, --fxp, --init, --set.
OptionResult ParseSoundOption(const std::string& name, OptionValue& value, SoundOptions& options,
                              std::string& error);
// Checks the options against each other once all are read.
bool CheckSoundOptions(const SoundOptions& options, std::string& error);

// Applies the options in their fixed order: bank, program, program file, init,
// then each --set. afterBank runs once the bank is loaded. The answer is an exit
// status of the renderer (0 on success) with error set otherwise.
int ApplySoundOptions(const SoundOptions& options, RenderInstrument& instrument, std::string& error,
                      const std::function<void()>& afterBank = {});

// The "Sound" paragraph of --help.
std::string SoundOptionsUsage();

} // namespace render

#pragma once

// The command line of zorva-render.

#include "apps/render/sound_options.h"
#include "apps/render/wav_writer.h"

#include <optional>
#include <string>
#include <vector>

namespace render {

struct RenderOptions : SoundOptions
{
  std::string mInput;
  std::string mOutput;
  int mRate = 44100;
  int mBlockSize = 512;
  SampleFormat mFormat = SampleFormat::kF32;
  std::optional<double> mLengthSeconds;
  std::optional<std::string> mScreenshot; // a PNG of the front panel instead of a render
  bool mListPrograms = false;
  bool mListParams = false;
  bool mQuiet = false;
  bool mHelp = false;

  bool Renders() const { return !mHelp && !mListPrograms && !mListParams && !mScreenshot; }
};

constexpr int kMinRate = 8000;
constexpr int kMaxRate = 384000;
constexpr int kMaxBlockSize = 65536;

// A decimal number as the options take it: no blanks, no hexadecimal, no
// infinity; the same rules as the whole numbers of --rate and --block.
bool ParseDecimal(const std::string& text, double& value);

// args excludes the program name. False with a message for anything the
// renderer cannot act on; the caller exits with status 2.
bool ParseOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

std::string UsageText();

} // namespace render

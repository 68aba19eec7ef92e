#pragma once

// The command line of the standalone app.

#include "apps/render/sound_options.h"
#include "apps/standalone/audio_engine.h"

#include <string>
#include <vector>

namespace standalone {

struct Options : render::SoundOptions
{
  AudioSettings mAudio;
  std::string mMidiPort; // empty: every port
  bool mNoGui = false;
  bool mListDevices = false;
  bool mHelp = false;
  bool mCheckUpdate = false;
};

// args excludes the program name; false with a message (exit status 2).
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string UsageText();

} // namespace standalone

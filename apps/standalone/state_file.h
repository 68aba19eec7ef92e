#pragma once

// The instrument's whole state between runs: every program with its name, the
// current program and the live parameter values (which may hold edits not yet
// stored in the program).

#include "plugin/ByteChunk.h"

#include <string>

class IPluginBase;

namespace standalone {

// $XDG_STATE_HOME/zorva/standalone.state, else ~/.local/state/zorva/standalone.state.
std::string DefaultStatePath();

void SerializeWholeState(IPluginBase& plug, ByteChunk& chunk);
// Checks the whole chunk before anything changes: false with a message and the
// instrument untouched for a chunk of another layout, truncated or too long.
bool UnserializeWholeState(IPluginBase& plug, const ByteChunk& chunk, std::string& error);

enum class LoadResult { kLoaded, kMissing, kUnreadable };
// kUnreadable: the file exists but cannot be read or is not a state; the
// caller must then leave it alone.
LoadResult LoadStateFile(IPluginBase& plug, const std::string& path, std::string& error);
// Creates the folder if needed and writes through a temporary file.
bool SaveStateFile(IPluginBase& plug, const std::string& path, std::string& error);

} // namespace standalone

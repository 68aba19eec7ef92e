#pragma once

// Turning "--set NAME=VALUE" into a parameter index and a plain value, the
// way a musician means it.

#include "apps/render/options.h"

#include <string>
#include <vector>

namespace render {

// What the renderer needs to know of one parameter.
struct ParamInfo
{
  std::string mName;
  double mMin = 0.0;
  double mMax = 1.0;
  double mDefault = 0.0;
  double mValue = 0.0;            // current plain value
  std::string mDisplay;           // current value as the instrument shows it
  std::vector<std::string> mList; // texts of a list parameter, else empty
};

// The name is matched exactly, else as an index. For a list parameter the
// value is matched against the list's texts (exactly, else ignoring case),
// then, unless the texts are themselves numbers, read as a position; other
// values are plain numbers. A number outside the range is an error naming it.
bool ResolveAssignment(const std::vector<ParamInfo>& params, const ParamAssignment& assignment, int& index,
                       double& value, std::string& error);

// Control characters as \xNN: a name from a file
// must not clear the terminal or forge lines of a listing.
std::string EscapeControls(const std::string& text);

// One line per parameter: index, name, current value, range or list texts.
std::string FormatParamList(const std::vector<ParamInfo>& params);

} // namespace render

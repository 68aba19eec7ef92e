#include "apps/render/param_setting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace render {

namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
         });
}

bool ParseNumber(const std::string& text, double& value)
{
  return ParseDecimal(text, value);
}

int FindParam(const std::vector<ParamInfo>& params, const std::string& name)
{
  for (size_t i = 0; i < params.size(); ++i)
    if (params[i].mName == name) return int(i);
  if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    if (name.size() <= 4) {
      const int idx = std::atoi(name.c_str());
      if (idx < int(params.size())) return idx;
    }
  }
  for (size_t i = 0; i < params.size(); ++i)
    if (EqualIgnoringCase(params[i].mName, name)) return int(i);
  return -1;
}

std::string Quoted(const std::string& s)
{
  return "\"" + EscapeControls(s) + "\"";
}

} // namespace

bool ResolveAssignment(const std::vector<ParamInfo>& params, const ParamAssignment& assignment, int& index,
                       double& value, std::string& error)
{
  index = FindParam(params, assignment.mName);
  if (index < 0) {
    error = "--set: no parameter named " + Quoted(assignment.mName) + " (see --list-params)";
    return false;
  }
  const ParamInfo& p = params[size_t(index)];
  const std::string& text = assignment.mValue;
  bool found = false;
  if (!p.mList.empty()) {
    for (size_t i = 0; i < p.mList.size() && !found; ++i)
      if (p.mList[i] == text) value = double(i), found = true;
    for (size_t i = 0; i < p.mList.size() && !found; ++i)
      if (EqualIgnoringCase(p.mList[i], text)) value = double(i), found = true;
  }
  // A list of numbers ("Voices": 1, 2, 4 ... 32) takes only its texts: a
  // position would be read as the number it is not.
  double ignored = 0.0;
  const bool numericList =
      !p.mList.empty() && std::all_of(p.mList.begin(), p.mList.end(),
                                      [&](const std::string& t) { return ParseNumber(t, ignored); });
  if (!found && (numericList || !ParseNumber(text, value))) {
    error = "--set: " + Quoted(text) + " is not a value of " + Quoted(p.mName);
    if (!p.mList.empty()) {
      error += "; choose one of";
      for (const std::string& t : p.mList) {
        error += ' ';
        error += Quoted(t);
      }
    }
    return false;
  }
  if (!found && (value < p.mMin || value > p.mMax)) {
    char range[96];
    if (p.mList.empty())
      std::snprintf(range, sizeof range, "from %g to %g", p.mMin, p.mMax);
    else
      std::snprintf(range, sizeof range, "a position from %g to %g", p.mMin, p.mMax);
    error = "--set: " + Quoted(text) + " is outside the range of " + Quoted(p.mName) + ": " + range;
    return false;
  }
  return true;
}

std::string EscapeControls(const std::string& text)
{
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string FormatParamList(const std::vector<ParamInfo>& params)
{
  std::string out;
  char line[160];
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamInfo& p = params[i];
    std::snprintf(line, sizeof line, "%3zu  %-10s %-10s ", i, EscapeControls(p.mName).c_str(),
                  EscapeControls(p.mDisplay).c_str());
    out += line;
    if (p.mList.empty()) {
      std::snprintf(line, sizeof line, "%g .. %g (default %g)", p.mMin, p.mMax, p.mDefault);
      out += line;
    } else {
      for (size_t k = 0; k < p.mList.size(); ++k) out += (k ? " | " : "") + EscapeControls(p.mList[k]);
    }
    out += "\n";
  }
  return out;
}

} // namespace render

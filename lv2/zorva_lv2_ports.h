#pragma once

// The names hosts see for the instrument's parameters: port symbols derived
// from the parameter names, the panel section each belongs to and its unit.

#include <string>

namespace zorva_lv2 {

constexpr const char* kPluginURI = "urn:tamsodyne:zorva";
constexpr const char* kUIURI = "urn:tamsodyne:zorva#ui";

// Lower case, every run of other characters one underscore, none at either
// end: "CutFrq 1" gives "cutfrq_1", "Env 1 A" gives "env_1_a".
inline std::string portSymbol(const char* name)
{
  std::string symbol;
  bool gap = false;
  for (const char* c = name; *c; ++c) {
    const char ch = *c;
    const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!alnum) {
      gap = !symbol.empty();
      continue;
    }
    if (gap) symbol += '_';
    gap = false;
    symbol += (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch;
  }
  if (symbol.empty() || (symbol[0] >= '0' && symbol[0] <= '9')) symbol.insert(0, "p_");
  return symbol;
}

struct PortGroup
{
  const char* symbol;
  const char* name;
  int first, last; // parameter indexes, inclusive
};

// The panel's sections in parameter order.
inline constexpr PortGroup kPortGroups[] = {
    {"global", "Global", 0, 5},      {"osc1", "Oscillator 1", 6, 15}, {"osc2", "Oscillator 2", 16, 26},
    {"filter1", "Filter 1", 27, 39}, {"filter2", "Filter 2", 40, 53}, {"amp1", "Amplifier 1", 54, 61},
    {"amp2", "Amplifier 2", 62, 69}, {"lfo1", "LFO 1", 70, 75},       {"lfo2", "LFO 2", 76, 81},
    {"lfo3", "LFO 3", 82, 87},       {"env1", "Envelope 1", 88, 91},  {"env2", "Envelope 2", 92, 95},
    {"env3", "Envelope 3", 96, 99},
};

} // namespace zorva_lv2

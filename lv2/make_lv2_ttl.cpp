// Writes the bundle's manifest.ttl, zorva.ttl and presets.ttl from the
// parameter table and the factory bank, so the ports and presets a host sees
// are always the instrument's own.
//
//   make-lv2-ttl BANK.fxb OUTDIR DSP.so UI.so LICENSE-URI

#include "apps/instrument/zorva_instrument.h"
#include "lv2/zorva_lv2_ports.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string quoted(const std::string& text)
{
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\', out += c;
    else if (c == '\n')
      out += "\\n";
    else if (static_cast<unsigned char>(c) < 0x20)
      continue;
    else
      out += c;
  }
  return out + "\"";
}

// Exactly the float a host's port will hold, in the fewest digits (0.1, not
// 0.100000001). Preset values are always decimals: hosts that only take float
// port values then read them right.
std::string number(double value, bool integer)
{
  if (integer) return std::to_string(int(value));
  char text[64];
  std::string s(text, std::to_chars(text, text + sizeof(text), float(value)).ptr);
  // A Turtle decimal needs a point; exponents stay doubles.
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

const char* unitFor(int index)
{
  switch (index) {
  case kPortamento: return "units:s";
  case kPitchBendRange:
  case kOsc1Pitch:
  case kOsc2Pitch: return "units:semitone12TET";
  case kOsc1Tune:
  case kOsc2Tune: return "zorva:tuneUnit";
  case kVolume:
  case kAmp1Level:
  case kAmp2Level: return "units:coef";
  default: return nullptr;
  }
}

const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                        "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                        "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                        "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                        "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                        "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
                        "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                        "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                        "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                        "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                        "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n";

std::string presetURI(int i)
{
  char text[64];
  std::snprintf(text, sizeof(text), "%s#preset%02d", zorva_lv2::kPluginURI, i + 1);
  return std::string("<") + text + ">";
}

bool writeFile(const std::string& path, const std::string& text)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::cerr << path << ": cannot write\n";
  return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 6) {
    std::cerr << "usage: make-lv2-ttl BANK.fxb OUTDIR DSP.so UI.so LICENSE-URI\n";
    return 2;
  }
  const std::string bank = argv[1], outDir = std::string(argv[2]) + "/", dsp = argv[3], uiBinary = argv[4],
                    license = argv[5];
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-lv2-ttl", 1);
  setenv("ZORVA_RESOURCES", "/nonexistent/zorva-lv2-ttl", 1);
  ZorvaInstrument instrument;
  Zorva& z = instrument.plug();
  if (!z.LoadBankFromFXB(bank)) {
    std::cerr << bank << ": not a readable bank (FXB) file\n";
    return 3;
  }
  const std::string plugin = std::string("<") + zorva_lv2::kPluginURI + ">";
  const std::string uiURI = std::string("<") + zorva_lv2::kUIURI + ">";

  // --- manifest.ttl ---
  std::ostringstream manifest;
  manifest << kPrefixes << "\n"
           << plugin << "\n  a lv2:Plugin, lv2:InstrumentPlugin ;\n  lv2:binary <" << dsp
           << "> ;\n  rdfs:seeAlso <zorva.ttl> .\n\n"
           << uiURI << "\n  a ui:X11UI ;\n  ui:binary <" << uiBinary << "> ;\n  rdfs:seeAlso <zorva.ttl> .\n";
  for (int i = 0; i < z.NPresets(); ++i)
    manifest << "\n"
             << presetURI(i) << "\n  a pset:Preset ;\n  lv2:appliesTo " << plugin
             << " ;\n  rdfs:seeAlso <presets.ttl> .\n";

  // --- zorva.ttl ---
  int major = 0, minor = 0, patch = 0;
  GetVersionParts(z.GetEffectVersion(false), &major, &minor, &patch);
  std::ostringstream ttl;
  ttl << kPrefixes << "@prefix zorva: <" << zorva_lv2::kPluginURI << "#> .\n\n";
  ttl << "zorva:tuneUnit\n  a units:Unit ;\n  rdfs:label \"1/128 semitone\" ;\n  units:symbol \"/128 st\" ;\n"
         "  units:render \"%d/128 st\" .\n\n";
  for (const auto& g : zorva_lv2::kPortGroups)
    ttl << "zorva:" << g.symbol << "\n  a pg:Group ;\n  lv2:symbol \"" << g.symbol << "\" ;\n  rdfs:label \""
        << g.name << "\" .\n\n";
  ttl << "zorva:out\n  a pg:StereoGroup, pg:OutputGroup ;\n  lv2:symbol \"out\" ;\n  rdfs:label \"Output\" "
         ".\n\n";

  ttl << plugin << "\n  a lv2:Plugin, lv2:InstrumentPlugin, doap:Project ;\n"
      << "  doap:name \"Zorva\" ;\n"
      << "  doap:license <" << license << "> ;\n"
      << "  doap:maintainer [ a foaf:Person ; foaf:name " << quoted(z.GetMfrName()) << " ] ;\n"
      << "  lv2:minorVersion " << minor << " ;\n  lv2:microVersion " << patch << " ;\n"
      << "  rdfs:comment \"Polyphonic subtractive synthesizer, version " << major << "." << minor << "."
      << patch << "\" ;\n"
      << "  lv2:requiredFeature urid:map ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable, opts:options, log:log, state:makePath, state:mapPath ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
      << "  lv2:extensionData state:interface ;\n"
      << "  ui:ui " << uiURI << " ;\n";

  std::set<std::string> symbols;
  for (int i = 0; i < z.NParams(); ++i) {
    const IParam* p = z.GetParam(i);
    const std::string symbol = zorva_lv2::portSymbol(p->GetNameForHost());
    if (!symbols.insert(symbol).second) {
      std::cerr << "two parameters share the port symbol " << symbol << "\n";
      return 1;
    }
    const bool integer = p->Type() != IParam::kTypeDouble;
    ttl << (i == 0 ? "  lv2:port [\n" : "  ] , [\n");
    ttl << "    a lv2:InputPort, lv2:ControlPort ;\n"
        << "    lv2:index " << i << " ;\n    lv2:symbol \"" << symbol << "\" ;\n    lv2:name "
        << quoted(p->GetNameForHost()) << " ;\n"
        << "    lv2:default " << number(p->GetDefault(), integer) << " ;\n    lv2:minimum "
        << number(p->GetMin(), integer) << " ;\n    lv2:maximum " << number(p->GetMax(), integer) << " ;\n";
    for (const auto& g : zorva_lv2::kPortGroups)
      if (i >= g.first && i <= g.last) ttl << "    pg:group zorva:" << g.symbol << " ;\n";
    if (const char* unit = unitFor(i)) ttl << "    units:unit " << unit << " ;\n";
    if (p->Type() == IParam::kTypeEnum) {
      ttl << "    lv2:portProperty lv2:integer, lv2:enumeration ;\n";
      for (int k = 0; k < p->GetNDisplayTexts(); ++k) {
        int value = 0;
        const char* text = p->GetDisplayTextAtIdx(k, &value);
        ttl << (k == 0 ? "    lv2:scalePoint [ " : "    ] , [ ") << "rdfs:label " << quoted(text)
            << " ; rdf:value " << value << "\n";
      }
      ttl << "    ] ;\n";
    } else if (integer) {
      ttl << "    lv2:portProperty lv2:integer ;\n";
    }
  }
  const int n = z.NParams();
  ttl << "  ] , [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports midi:MidiEvent, time:Position ;\n    lv2:designation lv2:control ;\n"
      << "    lv2:index " << n << " ;\n    lv2:symbol \"events\" ;\n    lv2:name \"MIDI In\" ;\n"
      << "  ] , [\n    a lv2:OutputPort, lv2:AudioPort ;\n    lv2:index " << n + 1
      << " ;\n    lv2:symbol \"out_l\" ;\n    lv2:name \"Left\" ;\n    pg:group zorva:out ;\n"
      << "    lv2:designation pg:left ;\n"
      << "  ] , [\n    a lv2:OutputPort, lv2:AudioPort ;\n    lv2:index " << n + 2
      << " ;\n    lv2:symbol \"out_r\" ;\n    lv2:name \"Right\" ;\n    pg:group zorva:out ;\n"
      << "    lv2:designation pg:right ;\n  ] .\n\n";

  ttl << uiURI << "\n  a ui:X11UI ;\n"
      << "  lv2:requiredFeature ui:idleInterface, ui:parent, <http://lv2plug.in/ns/ext/instance-access> ;\n"
      << "  lv2:optionalFeature ui:resize, log:log ;\n"
      << "  lv2:extensionData ui:idleInterface .\n";

  // --- presets.ttl ---
  std::ostringstream presets;
  presets << kPrefixes << "\n";
  for (int i = 0; i < z.NPresets(); ++i) {
    z.RestorePreset(i);
    presets << presetURI(i) << "\n  a pset:Preset ;\n  lv2:appliesTo " << plugin << " ;\n  rdfs:label "
            << quoted(z.GetPresetName(i)) << " ;\n  lv2:port";
    for (int k = 0; k < z.NParams(); ++k) {
      const IParam* p = z.GetParam(k);
      presets << (k == 0 ? " [\n" : "  ] , [\n") << "    lv2:symbol \""
              << zorva_lv2::portSymbol(p->GetNameForHost()) << "\" ;\n    pset:value "
              << number(p->Value(), false) << "\n";
    }
    presets << "  ] .\n\n";
  }

  return writeFile(outDir + "manifest.ttl", manifest.str()) && writeFile(outDir + "zorva.ttl", ttl.str()) &&
                 writeFile(outDir + "presets.ttl", presets.str())
             ? 0
             : 1;
}

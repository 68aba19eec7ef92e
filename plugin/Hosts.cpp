#include "Hosts.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

struct HostKey
{
  const char* mKey;
  EHost mHost;
};

// Tested in this order; the first key found anywhere in the name wins. The order
// settles names that contain two keys, so it must not change.
constexpr HostKey kHostKeys[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFL},
    {"live", kHostAbletonLive},
    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"openmpt", kHostOpenMPT},
    {"renoise", kHostRenoise},
    {"standalone", kHostStandalone},
};

constexpr const char* kHostNames[kNumHosts] = {
    "Unknown",    "Reaper",     "ProTools",   "Cubase",
    "Nuendo",     "Sonar",      "Vegas",      "FLStudio",
    "Samplitude", "Live",       "Unknown",    "Unknown",
    "Unknown",    "VSTScanner", "AULab",      "Forte",
    "Chainer",    "Audition",   "Orion",      "Unknown",
    "SAWStudio",  "Logic",      "GarageBand", "DigitalPerformer",
    "Standalone", "AudioMulch", "StudioOne",  "VST3PluginTestHost",
    "Ardour",     "Renoise",    "OpenMPT",
};

} // namespace

EHost LookUpHost(const char* name)
{
  if (!name) return kHostUnknown;
  // Only the first 255 characters take part.
  char lower[256];
  size_t len = strnlen(name, sizeof(lower) - 1);
  for (size_t i = 0; i < len; ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  lower[len] = '\0';

  for (const HostKey& key : kHostKeys) {
    if (std::strstr(lower, key.mKey)) return key.mHost;
  }
  return kHostUnknown;
}

void GetHostNameStr(EHost host, char* text)
{
  const int idx = static_cast<int>(host);
  std::snprintf(text, kMaxHostNameLen, "%s", idx >= 1 && idx < kNumHosts ? kHostNames[idx] : "Unknown");
}

void ToLower(char* dest, const char* src)
{
  while (*src) *dest++ = static_cast<char>(std::tolower(static_cast<unsigned char>(*src++)));
  *dest = '\0';
}

bool IsWhitespace(char c)
{
  return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

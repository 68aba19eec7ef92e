#pragma once

// The applications the plug-in can tell apart. The values are stored and compared,
// so they never change; gaps are hosts no lookup key selects.
enum EHost : int {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostVegas = 6,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostReserved10 = 10,
  kHostReserved11 = 11,
  kHostMelodyne = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostReserved19 = 19,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMPT = 30,
  kNumHosts
};

// Longest display name written by GetHostNameStr, terminating NUL included.
constexpr int kMaxHostNameLen = 32;

// The host for a name or bundle identifier: the first key found in it, in any letter
// case; kHostUnknown when none is.
EHost LookUpHost(const char* name);

// Writes the display name of host into text (at least kMaxHostNameLen bytes).
void GetHostNameStr(EHost host, char* text);

// Writes the lower-cased src and a terminating NUL into dest.
void ToLower(char* dest, const char* src);

// Tab, line feed, carriage return and blank only.
bool IsWhitespace(char c);

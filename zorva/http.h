#pragma once

#include "zorva/version_reply.h"

#include <string>

// The version check's network side: one HTTPS GET, bounded in time and size.
namespace UpdateCheck {

constexpr const char* kDefaultServerURL = "https://update.zorva-synth.org/music/version/?file=zorva";
constexpr const char* kDefaultDownloadPage = "http://www.tamsodyne.com/music/vst.html";
// Section and keys of the configuration file that override the two addresses.
constexpr const char* kConfigSection = "Update Check";
constexpr const char* kServerKey = "ServerURL";
constexpr const char* kDownloadKey = "DownloadPage";

constexpr long kConnectTimeoutMs = 5000;
constexpr long kTotalTimeoutMs = 10000;
constexpr size_t kMaxReplyBytes = 4096;

struct Settings
{
  std::string serverURL = kDefaultServerURL;
  std::string downloadPage = kDefaultDownloadPage;
  std::string extraCAFile; // trusted in addition to the system's authorities

  // The built-in addresses, overridden by the configuration file at iniPath,
  // overridden in turn by ZORVA_UPDATE_URL, ZORVA_DOWNLOAD_URL and ZORVA_UPDATE_CA.
  static Settings load(const std::string& iniPath);
};

// GET settings.serverURL: HTTPS only, certificate and host verified, no
// redirect followed, at most kMaxReplyBytes of body.
Reply fetch(const Settings& settings);

// Fetches and decides; an exception ends as the contact error with kException.
Outcome check(const Settings& settings);

} // namespace UpdateCheck

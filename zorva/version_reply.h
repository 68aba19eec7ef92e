#pragma once

#include <string>
#include <string_view>

// What the update server's answer means, and what the user is told about it.
// Pure functions: no network, no window, so the whole decision can be fuzzed.
namespace UpdateCheck {

constexpr const char* kOwnVersion = "2.1.4";
// A server code of this or more names a newer release.
constexpr int kFirstNewerCode = 2105;
constexpr const char* kTitle = "Check Online for Update";

// Results of Synth::checkVersionAgainstWeb.
enum Result { kDone = 0, kEmptyReply = -1, kException = -2, kNotAVersion = -3, kReadError = -5 };

// The leading decimal integer of text (leading white space and a sign allowed,
// 0 without one). Too many digits saturate at the int limits instead of
// overflowing.
int leadingInteger(std::string_view text);

// "2105" -> "2.1.5", "2112" -> "2.1.12"; whatever follows the digits stays.
std::string versionText(std::string_view reply);

// What came back from the server.
struct Reply
{
  std::string body;     // the whole body; empty after a read error
  bool complete = true; // false: the transfer failed or the body was too long
  bool success = true;  // the HTTP status was 2xx
};

// What to show: one message box, and whether it offers the download page.
struct Outcome
{
  enum Kind { kUpToDate, kNewer, kFailed };
  Kind kind = kFailed;
  int result = kReadError;
  std::string text;
  std::string title = kTitle;
  int type = 0; // 0: OK only; 4: Yes/No
};

// serverDomain names the server in the failure messages; webAddress is the
// site the new-version question offers to open.
Outcome decide(const Reply& reply, std::string_view serverDomain, std::string_view webAddress);

// The message of a failed check (also used when an exception ends it).
std::string contactError(std::string_view serverDomain);

// The host part of a URL ("https://user@host:443/x" -> "host").
std::string urlHost(std::string_view url);

} // namespace UpdateCheck

#include "zorva/version_reply.h"

#include <climits>

namespace UpdateCheck {

int leadingInteger(std::string_view text)
{
  size_t i = 0;
  // The white space the C conversion skips.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value >= limit) {
      value = limit;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

std::string versionText(std::string_view reply)
{
  std::string text;
  if (reply.size() > 0) text += reply[0];
  text += '.';
  if (reply.size() > 1) text += reply[1];
  text += '.';
  if (reply.size() > 2) text += reply.substr(reply[2] == '0' ? 3 : 2);
  return text;
}

std::string contactError(std::string_view serverDomain)
{
  return "An error occurred while contacting " + std::string(serverDomain) + ".";
}

Outcome decide(const Reply& reply, std::string_view serverDomain, std::string_view webAddress)
{
  Outcome out;
  out.text = contactError(serverDomain);
  // A reply that did not arrive whole is never read as a version: the first
  // bytes of "2112" would otherwise say "21", up to date.
  if (!reply.complete) return out;
  if (reply.body.empty()) {
    out.result = kEmptyReply;
    return out;
  }
  if (reply.body.find('<') != std::string::npos) {
    out.result = kNotAVersion;
    out.text = "Invalid call to " + std::string(serverDomain) + ".";
    return out;
  }
  // An error status with a plain body ("Not Found") is a failed request, not
  // version 0.
  if (!reply.success) return out;

  out.result = kDone;
  if (leadingInteger(reply.body) < kFirstNewerCode) {
    out.kind = Outcome::kUpToDate;
    out.text = "Your version is up to date.";
    return out;
  }
  out.kind = Outcome::kNewer;
  out.type = 4;
  out.title = "New Version of Zorva Detected";
  out.text = std::string("A new version of Zorva is available.\n\n\tYour version: \t") + kOwnVersion +
             "\n\tNew version: \t" + versionText(reply.body) + "\n\nDo you want to go to " +
             std::string(webAddress) + " to get the new version?";
  return out;
}

std::string urlHost(std::string_view url)
{
  const size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find_first_of("/?#"));
  if (const size_t at = url.rfind('@'); at != std::string_view::npos) url.remove_prefix(at + 1);
  if (!url.empty() && url[0] == '[') return std::string(url.substr(0, url.find(']') + 1));
  return std::string(url.substr(0, url.find(':')));
}

} // namespace UpdateCheck

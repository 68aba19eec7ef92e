// Any bytes as the update server's reply: the decision must be one of the
// documented outcomes, and the version number must agree with the C library's
// conversion, clamped, whatever the number of digits.
#include "zorva/version_reply.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  using namespace UpdateCheck;
  if (size == 0) return 0;
  Reply reply;
  reply.complete = !(data[0] & 1);
  reply.success = !(data[0] & 2);
  reply.body.assign(reinterpret_cast<const char*>(data + 1), size - 1);

  long long expected = std::strtoll(reply.body.c_str(), nullptr, 10); // it stops at the first NUL, as we do
  if (expected > INT_MAX) expected = INT_MAX;
  if (expected < INT_MIN) expected = INT_MIN;
  const int code = leadingInteger(reply.body);
  if (code != expected) std::abort();

  const Outcome out = decide(reply, "update.example", "www.example");
  const bool page = reply.body.find('<') != std::string::npos;
  const bool readable = reply.complete && !reply.body.empty() && !page && reply.success;
  if ((out.kind != Outcome::kFailed) != readable) std::abort();
  if (out.text.empty() || out.title.empty()) std::abort();
  switch (out.kind) {
  case Outcome::kUpToDate:
    if (out.result != kDone || out.type != 0 || code >= kFirstNewerCode) std::abort();
    break;
  case Outcome::kNewer:
    if (out.result != kDone || out.type != 4 || code < kFirstNewerCode) std::abort();
    if (out.text.find("\tNew version: \t" + versionText(reply.body) + "\n") == std::string::npos)
      std::abort();
    break;
  case Outcome::kFailed:
    if (out.type != 0) std::abort();
    if (out.result != kEmptyReply && out.result != kNotAVersion && out.result != kReadError) std::abort();
    if ((out.result == kNotAVersion) != (reply.complete && page)) std::abort();
    break;
  }
  return 0;
}

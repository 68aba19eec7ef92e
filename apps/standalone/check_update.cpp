#include "apps/standalone/check_update.h"
#include "zorva/http.h"
#include "zorva/synth.h"

#include <ostream>
#include <string>

namespace {
// Part of the message comes from the server: no control character of it may
// reach the terminal, and the dialog's line breaks and tabs become spaces.
std::string oneLine(const std::string& text)
{
  std::string line;
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool blank = c < 0x20 || c == 0x7f || c == ' ';
    if (!blank) {
      line += ch;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}
} // namespace

int runCheckUpdate(std::ostream& out)
{
  using namespace UpdateCheck;
  Outcome outcome;
  try {
    outcome = check(Settings::load(Synth::configFilePath()));
  } catch (...) {
    outcome.text = contactError(urlHost(kDefaultServerURL));
  }
  out << oneLine(outcome.text) << '\n';
  switch (outcome.kind) {
  case Outcome::kUpToDate: return 0;
  case Outcome::kNewer: return 1;
  default: return 3;
  }
}

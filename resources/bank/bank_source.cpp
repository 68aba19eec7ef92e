#include "resources/bank/bank_source.h"

#include <set>
#include <string_view>

namespace bank {
namespace {

std::string_view trim(std::string_view text)
{
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool fail(std::string& error, int line, const std::string& message)
{
  error = "line " + std::to_string(line) + ": " + message;
  return false;
}

} // namespace

bool ParseBankSource(const std::string& text, std::vector<ProgramSource>& programs, std::string& error)
{
  programs.clear();
  std::set<std::string> names;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    ++lineNumber;

    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return fail(error, lineNumber, "a program header must end with ']'");
      const std::string name(trim(line.substr(1, line.size() - 2)));
      if (name.empty()) return fail(error, lineNumber, "empty program name");
      if (name.size() > size_t(kMaxProgramNameLen))
        return fail(error, lineNumber, "program name longer than 27 characters: " + name);
      if (!names.insert(name).second) return fail(error, lineNumber, "duplicate program name: " + name);
      programs.push_back({name, {}, lineNumber});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      return fail(error, lineNumber, "expected \"Parameter Name = value\"");
    if (programs.empty()) return fail(error, lineNumber, "parameter line before the first program header");
    const std::string name(trim(line.substr(0, equals)));
    const std::string value(trim(line.substr(equals + 1)));
    if (name.empty() || value.empty()) return fail(error, lineNumber, "expected \"Parameter Name = value\"");
    programs.back().mAssignments.push_back({name, value, lineNumber});
  }
  return true;
}

} // namespace bank

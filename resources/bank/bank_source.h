#pragma once

// The factory bank's text source: programs as "[Name]" headers followed by
// "Parameter Name = value" lines. Kept free of the instrument so that the
// reader can be tested and fuzzed on its own.

#include <string>
#include <vector>

namespace bank {

struct Assignment
{
  std::string mName;  // parameter name (or index) as written
  std::string mValue; // plain value or list text as written
  int mLine = 0;
};

struct ProgramSource
{
  std::string mName;
  std::vector<Assignment> mAssignments; // in file order
  int mLine = 0;
};

constexpr int kMaxProgramNameLen = 27; // program records keep 28 bytes with the NUL

// False with "line N: ..." in error for anything malformed: text outside a
// program, a line without "=", an empty or overlong or duplicate name.
bool ParseBankSource(const std::string& text, std::vector<ProgramSource>& programs, std::string& error);

} // namespace bank

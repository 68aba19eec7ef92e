#pragma once

// Where the programs of the tree find the factory bank and the panel images:
// ZORVA_RESOURCES when set, else beside the executable (the build tree), else
// share/zorva of its installation prefix.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

inline void FindZorvaResources(const char* program)
{
  namespace fs = std::filesystem;
  const char* set = std::getenv("ZORVA_RESOURCES");
  if (set && *set) return;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return;
  for (const fs::path& dir : {exe.parent_path(), exe.parent_path().parent_path() / "share" / "zorva"}) {
    if (fs::exists(dir / "init.fxb", ec)) {
      setenv("ZORVA_RESOURCES", dir.c_str(), 1);
      return;
    }
  }
  std::cerr << program
            << ": warning: factory bank init.fxb not found (set ZORVA_RESOURCES); "
               "programs start empty\n";
}

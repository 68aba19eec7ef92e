// zorva-render: renders a Standard MIDI File through the instrument into a WAV file.
#include "apps/instrument/zorva_instrument.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The factory bank lives beside the executable, or in share/zorva of its
// installation prefix; ZORVA_RESOURCES, when set, wins.
void findResources()
{
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
  std::cerr << "zorva-render: warning: factory bank init.fxb not found (set ZORVA_RESOURCES); "
               "programs start empty\n";
}

} // namespace

int main(int argc, char** argv)
{
  // A render must sound the same for everyone: the user's configuration
  // (startup bank, learned controllers) is never read. An empty folder of our
  // own stands in for it.
  std::string configDir = (fs::temp_directory_path() / "zorva-render-XXXXXX").string();
  if (mkdtemp(configDir.data())) setenv("ZORVA_CONFIG_DIR", configDir.c_str(), 1);

  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = render::RunRenderApp(
      args,
      [] {
        findResources();
        return std::make_unique<ZorvaInstrument>();
      },
      render::AppStreams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0});

  std::error_code ignored;
  fs::remove_all(configDir, ignored);
  return status;
}

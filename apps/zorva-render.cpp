// zorva-render: renders a Standard MIDI File through the instrument into a WAV file.
#include "apps/instrument/find_resources.h"
#include "apps/instrument/zorva_instrument.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

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
        FindZorvaResources("zorva-render");
        return std::make_unique<ZorvaInstrument>();
      },
      render::AppStreams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0});

  std::error_code ignored;
  fs::remove_all(configDir, ignored);
  return status;
}

// zorva-render: renders a Standard MIDI File through the instrument into a WAV file.
#include "apps/instrument/zorva_instrument.h"
#include "plugin/SafeFile.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A private folder under $TMPDIR, or /tmp when TMPDIR is unset or unusable;
// empty when neither will do.
std::string MakePrivateFolder()
{
  std::vector<std::string> bases;
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir && *tmpdir) bases.push_back(tmpdir);
  bases.push_back("/tmp");
  for (const std::string& base : bases) {
    std::string folder = base + "/zorva-render-XXXXXX";
    if (mkdtemp(folder.data())) return folder;
  }
  return {};
}

} // namespace

int main(int argc, char** argv)
{
  // A render must sound the same for everyone: the user's configuration
  // (startup bank, learned controllers) is never read. An empty folder of our
  // own stands in for it, removed on every way out, signals included.
  InstallTempCleanupOnSignals();
  const std::string configDir = MakePrivateFolder();
  if (configDir.empty()) {
    std::cerr << "zorva-render: cannot create a private configuration folder in $TMPDIR or /tmp\n";
    return 1;
  }
  RegisterTempFolder(configDir);
  setenv("ZORVA_CONFIG_DIR", configDir.c_str(), 1);

  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = render::RunRenderApp(
      args, [] { return std::make_unique<ZorvaInstrument>(); },
      render::AppStreams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0});

  std::error_code ignored;
  std::filesystem::remove_all(configDir, ignored);
  RegisterTempFolder("");
  return status;
}

// Compiles the factory bank's text source into the bank file that every new
// instance loads, through the instrument's own parameters and bank writer, so
// the file is exactly what the instrument would save.
//
//   make-factory-bank SOURCE.txt OUTPUT.fxb

#include "apps/instrument/zorva_instrument.h"
#include "resources/bank/bank_source.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

int fail(const std::string& source, const std::string& message)
{
  std::fprintf(stderr, "make-factory-bank: %s: %s\n", source.c_str(), message.c_str());
  return 1;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-factory-bank SOURCE.txt OUTPUT.fxb\n");
    return 2;
  }
  const std::string source = argv[1], output = argv[2];
  std::ifstream in(source);
  if (!in) return fail(source, "cannot read");
  std::stringstream text;
  text << in.rdbuf();

  std::vector<bank::ProgramSource> programs;
  std::string error;
  if (!bank::ParseBankSource(text.str(), programs, error)) return fail(source, error);

  // Neither the user's configuration nor an installed bank may leak into the
  // factory bank.
  setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-factory-bank", 1);
  setenv("ZORVA_RESOURCES", "/nonexistent/zorva-factory-bank", 1);
  ZorvaInstrument instrument;
  Zorva& plug = instrument.plug();
  if (int(programs.size()) != plug.NPresets())
    return fail(source, "holds " + std::to_string(programs.size()) + " programs, the bank has " +
                            std::to_string(plug.NPresets()) + " slots");

  const std::vector<render::ParamInfo> params = instrument.Params();
  for (int p = 0; p < int(programs.size()); ++p) {
    instrument.SelectProgram(p);
    for (int i = 0; i < plug.NParams(); ++i) plug.GetParam(i)->Set(params[i].mDefault);
    for (const bank::Assignment& assignment : programs[p].mAssignments) {
      int index = -1;
      double value = 0.0;
      if (!render::ResolveAssignment(params, {assignment.mName, assignment.mValue}, index, value, error))
        return fail(source, "line " + std::to_string(assignment.mLine) + ": " + error);
      plug.GetParam(index)->Set(value);
    }
    plug.ModifyCurrentPreset(programs[p].mName.c_str());
  }
  // The bank records the program last selected; new instances must start on the first.
  instrument.SelectProgram(0);
  if (!plug.SaveBankAsFXB(output)) return fail(output, "cannot write the bank");
  return 0;
}

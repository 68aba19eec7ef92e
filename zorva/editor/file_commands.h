#pragma once

namespace File {
// The options-menu commands. Each value is the position of its entry in the
// menu (entries of the "Go Online..." submenu count from 15), so the menu can
// hand its choice straight to Synth::runFileCommand.
enum Command {
  kCopyProgram = 0,
  kPasteProgram = 1,
  kInitProgram = 2,
  kLoadProgram = 4,
  kSaveProgram = 5,
  kLoadBank = 6,
  kSaveBank = 7,
  kReloadConfig = 9,
  kSaveConfig = 10,
  kSelectStartupBank = 11,
  kLoadStartupBank = 12,
  kUnselectStartupBank = 13,
  kCheckOnline = 15,
  kVisitWebsite = 16,
};
} // namespace File

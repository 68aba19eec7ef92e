#pragma once

// The exported entries of the Audio Unit build and its view factory.

#include "plugin/api/au/IPluginAU.h"

extern "C" {
OSStatus Zorva_Entry(ComponentParameters* params, void* storage);
OSStatus Zorva_ViewEntry(ComponentParameters* params, void* storage);
}

// Builds the instrument behind a new component instance.
IPluginAU* MakePlug();

// The view factory the host finds through the Cocoa UI property: it asks the
// instrument's editor for its view.
class Zorva_View
{
public:
  Zorva_View() { init(); }
  void init() { mPlug = nullptr; }
  // Null without a plug-in or an editor; the size is the editor's own.
  void* uiViewForAudioUnit(AudioUnit unit, float width, float height);
  unsigned interfaceVersion() const { return 0; }
  const char* description() const { return "Zorva View"; }

private:
  IPluginAU* mPlug = nullptr;
};

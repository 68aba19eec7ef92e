#include "zorva/zorva_au_entry.h"

#include "zorva/zorva.h"

IPluginAU* MakePlug()
{
  return new Zorva(IPluginInstanceInfo{"com.tamsodyne.audiounit.Zorva", "Zorva_View"});
}

extern "C" {

__attribute__((visibility("default"))) OSStatus Zorva_Entry(ComponentParameters* params, void* storage)
{
  return IPluginAU::IPluginAUEntry(params, storage, &MakePlug);
}

__attribute__((visibility("default"))) OSStatus Zorva_ViewEntry(ComponentParameters* params, void* storage)
{
  return IPluginAU::IPluginAUCarbonViewEntry(params, storage);
}
}

void* Zorva_View::uiViewForAudioUnit(AudioUnit unit, float, float)
{
  mPlug = unit ? reinterpret_cast<IPluginAU*>(GetComponentInstanceStorage(unit)) : nullptr;
  return mPlug ? mPlug->ViewForAudioUnit() : nullptr;
}

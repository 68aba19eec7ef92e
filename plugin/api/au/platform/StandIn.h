#pragma once

// What a test host needs beyond the platform's own calls: registering a
// component from its registration record, opening and closing instances, and
// reading what the adapter announced. Exists only where the platform does not.

#include "AudioUnit.h"

#include <vector>

Component StandInRegisterComponent(const ComponentDescription& desc, ComponentRoutineProcPtr entry);
// Opens an instance (the open request); null if the entry refused it.
ComponentInstance StandInOpenComponent(Component component);
OSStatus StandInCloseComponent(ComponentInstance instance);
// Any request by selector, arguments in call order.
OSStatus StandInCallComponent(ComponentInstance instance, SInt16 what, const std::vector<long>& args);

// Every AUEventListenerNotify since the last clear.
std::vector<AudioUnitEvent> StandInNotifiedEvents();
void StandInClearNotifiedEvents();

long StandInLiveCFObjects();
// Null: the host process has no bundle.
void StandInSetMainBundle(const char* identifier);
void StandInRegisterBundle(const char* identifier, const char* url);
const char* StandInURLText(CFURLRef url);

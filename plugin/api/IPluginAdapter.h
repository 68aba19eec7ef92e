#pragma once

// The host binding the instrument derives from, fixed per build target by one
// compile definition.
#if defined(ZORVA_API_STANDALONE)
#include "standalone/IPluginStandalone.h"
using IPluginAdapter = IPluginStandalone;
#elif defined(ZORVA_API_LV2)
#include "lv2/IPluginLV2.h"
using IPluginAdapter = IPluginLV2;
#elif defined(ZORVA_API_AU)
#include "au/IPluginAU.h"
using IPluginAdapter = IPluginAU;
#else
#error "Define one of ZORVA_API_STANDALONE, ZORVA_API_LV2 or ZORVA_API_AU"
#endif

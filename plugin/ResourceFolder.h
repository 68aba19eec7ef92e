#pragma once

#include <string>

// The folder holding Zorva's resources (the factory bank init.fxb, the panel
// artwork in img/), ending in a slash. ZORVA_RESOURCES wins when set; else
// the first of these that holds init.fxb: the folder of the loaded module (the
// plug-in's shared object, or the executable it is linked into), the
// executable's folder, share/zorva beside the executable's folder (the
// installed layout). When none holds it: the module's folder, so that the
// message about the missing bank names a place.
std::string ResourceFolder();

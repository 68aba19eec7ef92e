#include "IPreset.h"

#include <cstring>

void IPreset::SetName(const char* name)
{
  if (!name) return;
  const size_t n = strnlen(name, kMaxNameLen - 1);
  std::memcpy(mName, name, n);
  mName[n] = '\0';
}

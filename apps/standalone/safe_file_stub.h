#pragma once

// Stand-in for the framework's safe file writer until it is merged; same
// declaration, so the callers do not change.

#include <cstddef>
#include <string>

bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

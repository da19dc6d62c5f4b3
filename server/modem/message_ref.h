#pragma once
// The reference number of concatenated messages, counted in the registry.
#include <string>

// The next reference as two hex digits. The value MessageRef under
// \SOFTWARE\Trelm\SMSConfig in the registry file holds the last one used (1-255);
// it is incremented and written back, a stored value outside 0-254 starting over
// at 1. Without a stored value the reference is random (2-253); when the registry
// cannot be used at all it is random (1-252) and nothing is stored.
std::string NextMessageRef(const std::string& registryFile);

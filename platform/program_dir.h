#pragma once
#include <string>

// Directory of the running executable, without a trailing separator. Code that
// uses files takes the directory as a value, so tests can point it elsewhere.
std::string ProgramDir();

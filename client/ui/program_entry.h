#pragma once
// The client program: one running copy, then the main window until it closes.
#include <memory>
#include <string>

class SingleInstance;

// Claims the program's single-instance name. When another copy holds it, tells
// the user and gives nothing back: the program then ends with exit code 0.
std::unique_ptr<SingleInstance> ClaimClientInstance(const std::string& lockDir = {});

int RunClientProgram(int argc, char** argv);

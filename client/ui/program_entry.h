#pragma once
// The client program: one running copy, then the main window until it closes.
#include <memory>
#include <string>

class SingleInstance;
class TMainForm;

// Claims the program's single-instance name. When another copy holds it, tells
// the user and gives nothing back: the program then ends with exit code 0.
std::unique_ptr<SingleInstance> ClaimClientInstance(const std::string& lockDir = {});

// Message boxes of the main window's commands block its input but never its
// close; the receive thread's block nothing.
void InstallClientMessageBoxes(TMainForm& form, bool dialogsWhenOffscreen = false);

// The program from start to end. Without a display (none given to Qt) it ends at
// once with exit code 1 and a line on standard error.
int RunClientProgram(int argc, char** argv);

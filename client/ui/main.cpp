#include "client/ui/program_entry.h"

int main(int argc, char** argv) { return RunClientProgram(argc, argv); }

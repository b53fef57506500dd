// The program Tessaro.
#include "program/ProgramRoot.h"

int main(int argc, char** argv) { return RunTessaro(argc, argv); }

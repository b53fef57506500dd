// The program Tessaro.
#include "app/TessaroMain.h"

int main(int argc, char** argv) { return TessaroMain(argc, argv); }

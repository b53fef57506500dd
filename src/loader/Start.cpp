// The start-up loader "Start".
#include "loader/LoaderUnit.h"

int main(int argc, char** argv) { return LoaderMain(argc, argv); }

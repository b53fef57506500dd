// The installer (and, started as "uninstall" or with "/uninst", the uninstaller).
#include "setup/widgets/MvSetupForm1Unit.h"

int main(int argc, char** argv) { return SetupMain(argc, argv); }

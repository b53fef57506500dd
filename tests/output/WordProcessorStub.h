#pragma once
// A word processor for the tests that converts whatever it is given, as LibreOffice reads
// any bytes as text: its "--convert-to rtf" writes a small RTF into the output folder.

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

// The stub's program file in `dir`.
inline std::string AcceptingWordProcessor(const TTempDir& dir) {
  const std::string script = dir.File("soffice-stub");
  WriteAllBytes(script, "#!/bin/sh\n"
                        "out=\"\"; last=\"\"\n"
                        "while [ $# -gt 0 ]; do\n"
                        "  if [ \"$1\" = \"--outdir\" ]; then out=\"$2\"; shift; fi\n"
                        "  last=\"$1\"; shift\n"
                        "done\n"
                        "mkdir -p \"$out\"\n"
                        "base=$(basename \"$last\"); base=${base%.*}\n"
                        "printf '{\\\\rtf1 umgewandelt #Key#}' > \"$out/$base.rtf\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

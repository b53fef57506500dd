// The mail hand-over through a stand-in for xdg-email first on PATH: every field arrives as
// one argument, whatever blanks and quotes it holds, and the exit code is the answer.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "output/MailUnit.h"
#include "support/TestSupport.h"

namespace {

struct TFakeMailer {
  TTempDir dir;
  std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  explicit TFakeMailer(int exitCode) {
    const std::string script = dir.File("xdg-email");
    WriteAllBytes(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                              dir.File("args") + "\"\nexit " + std::to_string(exitCode) + "\n");
    chmod(script.c_str(), 0755);
    setenv("PATH", (dir.Dir() + ":" + oldPath).c_str(), 1);
  }
  ~TFakeMailer() { setenv("PATH", oldPath.c_str(), 1); }
  std::string Args() { return ReadAllBytes(dir.File("args")); }
};

TEST(Mail, EveryFieldIsOneArgumentAndTheExitCodeAnswers) {
  TScopedRecorder ui;
  {
    TFakeMailer mailer(0);
    const std::string file = mailer.dir.File("Bild vom \"Tor\" 1.jpg");
    EXPECT_TRUE(SendMailWithAttachment("Betreff mit Leer", "Zeile \"zwei\"", "", "", "", "",
                                       file, "Bild vom \"Tor\" 1.jpg", true));
    EXPECT_EQ(mailer.Args(), "--utf8\n--subject\nBetreff mit Leer\n--body\nZeile \"zwei\"\n"
                             "--attach\n" + file + "\n");
  }
  {
    // Without the dialog flag the message is shown all the same: nothing goes unseen.
    TFakeMailer mailer(0);
    EXPECT_TRUE(SendMailWithAttachment("S", "", "", "", "Anna B", "anna@example.org",
                                       "/tmp/x.ada", "x.ada", false));
    EXPECT_EQ(mailer.Args(), "--utf8\n--subject\nS\n--attach\n/tmp/x.ada\nAnna B <anna@example.org>\n");
  }
  {
    TFakeMailer mailer(1);
    EXPECT_FALSE(SendMailWithAttachment("", "", "", "", "", "", "/tmp/x.ada", "x.ada", true));
    EXPECT_EQ(mailer.Args(), "--utf8\n--attach\n/tmp/x.ada\n");
  }
  EXPECT_TRUE(ui.messages.empty());
  // Without xdg-email: false and a message.
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  TTempDir empty;
  setenv("PATH", empty.Dir().c_str(), 1);
  EXPECT_FALSE(SendMailWithAttachment("", "", "", "", "", "", "/tmp/x.ada", "x.ada", true));
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace

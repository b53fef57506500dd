#include "output/MailUnit.h"

#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "platform/ProcessStart.h"

namespace {
constexpr const char* kMailProgram = "xdg-email";

}  // namespace

const TMLStringList* MailTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("MailUnit", 0);
    t->Add255Obj("Kein E-Mail-Programm gefunden (xdg-email fehlt).", 1);
    return t;
  }();
  return table;
}


std::vector<std::string> MailArguments(const std::string& subject, const std::string& text,
                                       const std::string& recipientName,
                                       const std::string& recipientAddress,
                                       const std::string& attachmentPath) {
  std::vector<std::string> args{"--utf8"};
  if (!subject.empty()) args.insert(args.end(), {"--subject", subject});
  if (!text.empty()) args.insert(args.end(), {"--body", text});
  if (!attachmentPath.empty()) args.insert(args.end(), {"--attach", attachmentPath});
  if (!recipientAddress.empty())
    args.push_back(recipientName.empty() ? recipientAddress
                                         : recipientName + " <" + recipientAddress + ">");
  return args;
}

bool SendMailWithAttachment(const std::string& subject, const std::string& text,
                            const std::string& /*senderName*/,
                            const std::string& /*senderAddress*/,
                            const std::string& recipientName,
                            const std::string& recipientAddress,
                            const std::string& attachmentPath,
                            const std::string& /*attachmentName*/, bool /*withDialog*/) {
  const std::string program = FindProgramOnPath(kMailProgram);
  if (program.empty()) {
    ShowError(GetMLText(MailTexts(), 1));
    return false;
  }
  TProcessStartOptions options;
  options.wait = true;
  options.quiet = true;
  const TProcessStartResult result = StartProcess(
      program, MailArguments(subject, text, recipientName, recipientAddress, attachmentPath),
      options);
  return result.started && result.exitCode == 0;
}

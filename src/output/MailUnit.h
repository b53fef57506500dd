#pragma once
// Handing a file to the user's mail program. There is no mail interface of our own: the
// desktop's "xdg-email" opens the user's mail program with a new message, which the user
// sends or drops there. Nothing is ever sent without the user.

#include <string>
#include <vector>

// The unit's texts (the language test checks each has its English).
class TMLStringList;
const TMLStringList* MailTexts();

// Opens a new message with the subject, the text, the recipient (when an address is given)
// and the attachment (when a path is given). The sender is the mail program's own account.
// `withDialog` asks for the mail program's window; without it a mail interface could send
// the message unseen, which this program never does: the message is shown to the user
// either way, with the same fields. True when xdg-email ran and reported success (exit
// code 0); without xdg-email a message says so and false.
bool SendMailWithAttachment(const std::string& subject, const std::string& text,
                            const std::string& senderName, const std::string& senderAddress,
                            const std::string& recipientName,
                            const std::string& recipientAddress,
                            const std::string& attachmentPath,
                            const std::string& attachmentName, bool withDialog);

// The arguments handed to xdg-email for those fields (each its own argument, never a
// shell text).
std::vector<std::string> MailArguments(const std::string& subject, const std::string& text,
                                       const std::string& recipientName,
                                       const std::string& recipientAddress,
                                       const std::string& attachmentPath);

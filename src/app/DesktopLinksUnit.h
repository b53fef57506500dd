#pragma once
// What opens something on the desktop: a file or an address with the desktop's default
// program, internet links (which the setting "WebLinks" may switch off), and the documents
// of the issue-and-return page. Everything goes through WinGlue().ShellOpener when one is
// installed (tests replace it), else through the desktop services.

#include <string>

class QWidget;

bool ShellOpen(const std::string& target);
// The address through ShellOpen; with links switched off, a message naming it instead.
bool OpenInternetLink(const std::string& address);
// OpenInternetLink with the control disabled meanwhile, then two short waits with the
// events served, so a double click does not open the address twice.
bool OpenInternetLinkFrom(QWidget* control, const std::string& address);
// Shows "transfer/<name>" of the help folder in the issue-and-return view; false when the
// file or the view is missing.
bool ShowTransferDocument(const std::string& name);

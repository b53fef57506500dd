#pragma once
// Who and where this program runs: the names a workstation is known by to the others.
// Both as program texts (1252), converted from the system's UTF-8; a character 1252
// cannot hold becomes "?".

#include <string>

// The login name of the account the program runs under; "uid" + number when the system
// has no name for it.
std::string CurrentLoginName();
// The machine's host name as the system reports it; empty when it cannot be had.
std::string CurrentHostName();

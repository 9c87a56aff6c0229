// A command's hold on the application services: the terminal host is installed and the log
// switches set for a terminal (failed API calls printed once, no message boxes). The previous
// host and the user's log settings are put back at the end, before the program writes them at
// exit.
#pragma once

#include "services/global.h"

class TerminalSession {
public:
    TerminalSession(CGlobal& global, name_share::IHost* host);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // The log switches in force until the end of the session.
    InfobarSettings& Infobar() { return global_.Infobar(); }

private:
    CGlobal& global_;
    name_share::IHost* previous_;
    InfobarSettings saved_;
};

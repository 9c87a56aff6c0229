#include "terminal_session.h"

TerminalSession::TerminalSession(CGlobal& global, name_share::IHost* host)
    : global_(global), previous_(global.Host()), saved_(global.Infobar()) {
    global.SetHost(host);
    global.Infobar().logError = 1;
    global.Infobar().showMsg = 0;
}

TerminalSession::~TerminalSession() {
    global_.Infobar() = saved_;
    global_.SetHost(previous_);
}

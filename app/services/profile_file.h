// The file that keeps the window layout and the recent files of a user.
#pragma once

#include <string>

namespace name_share {

// Where earlier versions kept that file: <config home>/Local AppWizard-Generated Applications/
// Norvane.conf, the config home being $XDG_CONFIG_HOME or $HOME/.config; empty when neither is set.
std::string LegacyProfilePath();

// <userDir>Norvane.conf (`userDir` with a trailing '/', the user's configuration folder). When it
// does not exist yet and `legacyPath` does, the legacy file is moved there first (its folder is
// removed when that leaves it empty). When the move fails the legacy file is returned, so the
// layout is still read. Empty when `userDir` is empty.
std::string UserProfilePath(const std::string& userDir, const std::string& legacyPath);

}  // namespace name_share

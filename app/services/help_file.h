#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace name_share {

// The help the program opens: help.chm beside the program when the desktop has a CHM viewer, else
// the same pages as HTML (help/index.html); help.chm again when neither is there, so that the
// caller reports that file as missing.
std::string HelpFileToOpen(const std::string& programDir, bool chmViewer);

// Whether a desktop application in `dataDirs` (each holding applications/*.desktop) declares
// `mimeType` in its MimeType= line.
bool DesktopHasHandlerFor(std::string_view mimeType, const std::vector<std::string>& dataDirs);

// $XDG_DATA_HOME (or ~/.local/share) followed by $XDG_DATA_DIRS (or /usr/local/share:/usr/share).
std::vector<std::string> XdgDataDirs();

// The MIME types of CHM files.
inline constexpr std::string_view kChmMimeTypes[] = {"application/vnd.ms-htmlhelp", "application/x-chm"};

}  // namespace name_share

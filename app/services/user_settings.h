#pragma once

#include <string>
#include <string_view>

namespace name_share {

// Where the settings the program writes (config.xml, the language choice) live. They belong
// beside the program; when the program folder is not writable (an installed program) they go to
// the user's configuration folder ($XDG_CONFIG_HOME/norvane/, else ~/.config/norvane/), which is
// then also read first.
class UserSettings {
public:
    // `programDir` and `userDir` end with '/'; an empty `userDir` means there is none.
    UserSettings(std::string programDir, std::string userDir);

    // The user folder from the environment: $XDG_CONFIG_HOME/norvane/ or $HOME/.config/norvane/,
    // empty when neither is set.
    static std::string UserDirFromEnvironment();

    // The file to read `relative` (e.g. "config.xml") from: the user's copy when it exists,
    // else the program folder's.
    std::string ReadPath(std::string_view relative) const;
    // The file to write `relative` to: the user's copy when it exists; else the program folder's
    // when that can be written; else the user's copy, whose folders are created.
    std::string WritePath(std::string_view relative) const;

    const std::string& UserDir() const { return userDir_; }

private:
    std::string programDir_;
    std::string userDir_;
};

}  // namespace name_share

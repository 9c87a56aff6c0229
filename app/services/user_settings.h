#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace name_share {

// Where the settings the program writes (config.xml, the language choice) live. They belong
// beside the program; when the program folder is not writable (an installed program) they go to
// the user's configuration folder ($XDG_CONFIG_HOME/norvane/, else ~/.config/norvane/), which is
// then also read first, the program folder's files being the defaults. A writable program folder
// (a build tree, a copied folder) never looks at the user's folder.
class UserSettings {
public:
    // Whether a file can be written (created or replaced through a rename in its folder).
    using WritableCheck = std::function<bool(const std::string& path)>;

    // `programDir` and `userDir` end with '/'; an empty `userDir` means there is none.
    UserSettings(std::string programDir, std::string userDir, WritableCheck canWrite = CanWrite);

    // The file's folder is writable and the file, when it exists, too.
    static bool CanWrite(const std::string& path);

    // The user folder from the environment: $XDG_CONFIG_HOME/norvane/ or $HOME/.config/norvane/,
    // empty when neither is set.
    static std::string UserDirFromEnvironment();

    // The user's data folder (imported EDS files): $XDG_DATA_HOME/norvane/ or
    // $HOME/.local/share/norvane/, empty when neither is set.
    static std::string UserDataDirFromEnvironment();

    // The file to read `relative` (e.g. "config.xml") from: the user's copy when the program
    // folder's cannot be written and the user's copy exists, else the program folder's.
    std::string ReadPath(std::string_view relative) const;
    // The file to write `relative` to: the program folder's when it can be written, else the
    // user's copy, whose folders are created.
    std::string WritePath(std::string_view relative) const;

    const std::string& UserDir() const { return userDir_; }

private:
    std::string programDir_;
    std::string userDir_;
    WritableCheck canWrite_;
};

}  // namespace name_share

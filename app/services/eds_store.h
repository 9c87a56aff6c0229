// The program's store of known EDS files: the edsfile folder beside the program (read-only for an
// installed program), the user's own edsfile folder, the names that stand for their files and the
// paths registered for names found elsewhere.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Identity of a device as written in the "Device" section of its EDS file.
struct EdsIdentity {
    int32_t vendorCode = 0;
    int32_t productType = 0;
    int32_t productCode = 0;
    int32_t majorRevision = 0;

    auto operator<=>(const EdsIdentity&) const = default;
};

// Reads VendCode, ProdType, ProdCode and MajRev of section "Device" with the INI reader; a
// missing file, section or key reads as 0.
EdsIdentity ReadEdsIdentity(const std::string& path);

class EdsStore {
public:
    static constexpr const char* kNoEdsName = "Not Use EDS File";

    struct ImportResult {
        int position = -1;  // position of the new name; -1 when nothing was listed
        bool copied = false;  // false when the path names no file or the copy failed (nothing listed)
        std::string target;  // the file the copy went to, or was meant to go to
    };

    // Whether a file can be created or replaced at a path (see UserSettings::CanWrite).
    using WritableCheck = std::function<bool(const std::string& path)>;

    // The store of the program folder `programDir` and of the user's data folder `userDataDir`
    // (both with a trailing '/'; an empty `userDataDir` means there is none); empty until scanned.
    explicit EdsStore(std::string programDir, std::string userDataDir = {}, WritableCheck canWrite = {});

    // Lists kNoEdsName and then the stems of the .eds files (any case) of both folders, sorted,
    // each name once. Returns the count of names.
    int Scan();
    // Appends a name; returns its position.
    int AddName(const std::string& name);
    void RegisterPath(const std::string& name, const std::string& path);
    // The registered path of a name, else its file in the user's folder, else in the program
    // folder (found in any case of the extension); "<ImportFolder><name>.eds" when there is none.
    std::string Path(const std::string& name) const;
    const std::vector<std::string>& Names() const { return names_; }
    // The program's folder with a trailing '/'.
    const std::string& Folder() const { return folder_; }
    // The user's folder with a trailing '/'; empty when there is none.
    const std::string& UserFolder() const { return userFolder_; }
    // Where imports go: the program's folder when it can be written, else the user's.
    std::string ImportFolder() const;
    // Copies the file into ImportFolder under its own file name and lists its name; a failed
    // copy lists nothing.
    ImportResult Import(const std::string& sourcePath);

private:
    std::string folder_;
    std::string userFolder_;
    WritableCheck canWrite_;
    std::map<std::string, std::string> paths_;
    std::vector<std::string> names_;
};

// The program's store of known EDS files: the edsfile folder beside the program, the names that
// stand for its files and the paths registered for names found elsewhere.
#pragma once

#include <cstdint>
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
        int position = -1;   // position of the new name; -1 when the path names no file
        bool copied = false; // false when the copy failed (the name is listed anyway)
    };

    // The store of the program folder `programDir` (with a trailing '/'); empty until scanned.
    explicit EdsStore(std::string programDir);

    // Lists kNoEdsName and then the stems of the folder's .eds files (any case), sorted.
    // Returns the count of names.
    int Scan();
    // Appends a name; returns its position.
    int AddName(const std::string& name);
    void RegisterPath(const std::string& name, const std::string& path);
    // The registered path of a name, else its file in the folder (found in any case of the
    // extension; "<folder><name>.eds" when there is none).
    std::string Path(const std::string& name) const;
    const std::vector<std::string>& Names() const { return names_; }
    // The folder with a trailing '/'.
    const std::string& Folder() const { return folder_; }
    // Copies the file into the folder under its own file name and lists its name.
    ImportResult Import(const std::string& sourcePath);

private:
    std::string folder_;
    std::map<std::string, std::string> paths_;
    std::vector<std::string> names_;
};

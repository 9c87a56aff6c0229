// The program's store of known EDS files: the edsfile folder beside the program and the names
// that stand for its files.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ini_file.h"
#include "services/eds_store.h"
#include "services/user_settings.h"

namespace fs = std::filesystem;

namespace {

bool HasEdsExtension(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ext = fileName.substr(fileName.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".eds";
}

std::string StemOf(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// The file name of a path, after the last '/' or '\'.
std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

EdsIdentity ReadEdsIdentity(const std::string& path) {
    platform::IniFile file;
    EdsIdentity id;
    if (!file.Load(path)) return id;
    auto read = [&](const char* key) {
        std::optional<std::string> v = file.Find("Device", key);
        return v ? platform::ParseProfileInt(*v) : 0;
    };
    id.vendorCode = read("VendCode");
    id.productType = read("ProdType");
    id.productCode = read("ProdCode");
    id.majorRevision = read("MajRev");
    return id;
}

EdsStore::EdsStore(std::string programDir, std::string userDataDir, WritableCheck canWrite)
    : folder_(std::move(programDir) + "edsfile/"),
      userFolder_(userDataDir.empty() ? std::string() : std::move(userDataDir) + "edsfile/"),
      canWrite_(canWrite ? std::move(canWrite) : WritableCheck(name_share::UserSettings::CanWrite)) {}

namespace {

// The file of `name` in `folder`, in any case of the extension; empty when there is none.
std::string FileIn(const std::string& folder, const std::string& name) {
    if (folder.empty()) return {};
    std::error_code ec;
    for (const char* ext : {".eds", ".EDS", ".Eds"}) {
        std::string path = folder + name + ext;
        if (fs::is_regular_file(path, ec)) return path;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string fileName = it->path().filename().string();
        if (HasEdsExtension(fileName) && StemOf(fileName) == name) return folder + fileName;
    }
    return {};
}

void AddStems(const std::string& folder, std::vector<std::string>& names) {
    if (folder.empty()) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        std::string fileName = it->path().filename().string();
        if (HasEdsExtension(fileName)) names.push_back(StemOf(fileName));
    }
}

}  // namespace

int EdsStore::Scan() {
    names_.clear();
    names_.push_back(kNoEdsName);
    std::vector<std::string> names;
    AddStems(folder_, names);
    AddStems(userFolder_, names);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    names_.insert(names_.end(), names.begin(), names.end());
    return static_cast<int>(names_.size());
}

int EdsStore::AddName(const std::string& name) {
    names_.push_back(name);
    return static_cast<int>(names_.size()) - 1;
}

void EdsStore::RegisterPath(const std::string& name, const std::string& path) { paths_[name] = path; }

std::string EdsStore::Path(const std::string& name) const {
    if (auto it = paths_.find(name); it != paths_.end()) return it->second;
    // The user's file wins over the program's of the same name.
    if (std::string path = FileIn(userFolder_, name); !path.empty()) return path;
    if (std::string path = FileIn(folder_, name); !path.empty()) return path;
    return ImportFolder() + name + ".eds";
}

std::string EdsStore::ImportFolder() const {
    std::error_code ec;
    // A missing folder can be made when the program folder itself can be written.
    const bool programWritable = fs::is_directory(folder_, ec) ? canWrite_(folder_ + "probe.eds")
                                                               : canWrite_(folder_.substr(0, folder_.size() - 1));
    return programWritable || userFolder_.empty() ? folder_ : userFolder_;
}

EdsStore::ImportResult EdsStore::Import(const std::string& sourcePath) {
    ImportResult result;
    // Only the file's own name counts: no part of the path can lead out of the folder.
    const std::string fileName = FileNameOf(sourcePath);
    if (fileName.empty() || fileName == "." || fileName == "..") return result;
    const std::string name = StemOf(fileName);
    if (name.empty()) return result;
    const std::string folder = ImportFolder();
    result.target = folder + fileName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    ec.clear();
    // Copied through a temporary file, so a failed copy leaves no half file under the name.
    const std::string temp = result.target + ".part";
    if (!fs::copy_file(sourcePath, temp, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(temp, ec);
        return result;
    }
    fs::rename(temp, result.target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return result;
    }
    result.copied = true;
    result.position = AddName(name);
    return result;
}

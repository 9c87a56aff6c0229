// The program's store of known EDS files: the edsfile folder beside the program and the names
// that stand for its files.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ini_file.h"
#include "services/eds_store.h"

namespace fs = std::filesystem;

namespace {

bool HasEdsExtension(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ext = fileName.substr(fileName.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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

EdsStore::EdsStore(std::string programDir) : folder_(std::move(programDir) + "edsfile/") {}

int EdsStore::Scan() {
    names_.clear();
    names_.push_back(kNoEdsName);
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        std::string fileName = it->path().filename().string();
        if (HasEdsExtension(fileName)) names.push_back(StemOf(fileName));
    }
    std::sort(names.begin(), names.end());
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
    const std::string& folder = folder_;
    std::string path = folder + name + ".eds";
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        // File names from other systems often carry the extension in upper case.
        for (const char* ext : {".EDS", ".Eds"}) {
            std::string other = folder + name + ext;
            if (fs::exists(other, ec)) return other;
        }
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string fileName = it->path().filename().string();
            if (HasEdsExtension(fileName) && StemOf(fileName) == name) return folder + fileName;
        }
    }
    return path;
}

EdsStore::ImportResult EdsStore::Import(const std::string& sourcePath) {
    ImportResult result;
    // Only the file's own name counts: no part of the path can lead out of the folder.
    const std::string fileName = FileNameOf(sourcePath);
    if (fileName.empty() || fileName == "." || fileName == "..") return result;
    const std::string name = StemOf(fileName);
    if (name.empty()) return result;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    ec.clear();
    result.copied = fs::copy_file(sourcePath, folder_ + fileName, fs::copy_options::overwrite_existing, ec) && !ec;
    result.position = AddName(name);
    return result;
}

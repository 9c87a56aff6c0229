#include "eds/eds_file.h"

#include <string>
#include <utility>

#include "platform/file_bytes.h"
#include "platform/gb18030_decoder.h"
#include "platform/text_encoding.h"

using namespace DeviceNetEDS;

namespace {

// The text between the last separator and the last '.' after it; empty without such a '.'.
std::string TitleOf(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(name.substr(0, dot));
}

// Text from files written on Chinese systems is GB18030: bring keys and values to UTF-8.
void ConvertToUtf8(EntryMap& entries, platform::Gb18030Decoder& decoder) {
    EntryMapBuilder converted;
    EntryMapBuilder::List list;
    for (const auto& [key, value] : entries) converted.Add(list, decoder.ToUtf8(key), decoder.ToUtf8(value));
    entries = converted.Build(std::move(list));
}

// The scanned entries of `bytes`, in UTF-8.
ScanResult ScanToUtf8(std::string_view bytes) {
    ScanResult scan = ScanEds(bytes);
    if (!platform::IsValidUtf8(bytes)) {
        // Opening a converter costs more than converting a file's texts: one per thread is kept.
        thread_local platform::Gb18030Decoder decoder;
        for (EntryMap& m : scan.fixed) ConvertToUtf8(m, decoder);
        for (auto& [number, m] : scan.others) ConvertToUtf8(m, decoder);
        std::map<std::string, int32_t> index;
        for (auto& [name, number] : scan.otherIndex) index[decoder.ToUtf8(name)] = number;
        scan.otherIndex = std::move(index);
    }
    return scan;
}

}  // namespace

int CEDSFile::Load(const char* path) {
    if (path == nullptr || *path == '\0') {
        Reset();
        return 0;
    }
    path_ = path;
    title_ = TitleOf(path_);

    std::optional<std::string> buffer = platform::ReadFileBytes(path_, kMaxFileSize);
    if (!buffer) return 0;
    ScanResult scan = ScanToUtf8(*buffer);
    // The entries hold their own text: the file's bytes go back before the records are made.
    buffer.reset();
    ParseSections(scan);
    return 1;
}

int CEDSFile::LoadFromMemory(std::string_view bytes, const std::string& path) {
    if (&path != &path_) path_ = path;
    title_ = TitleOf(path_);
    ScanResult scan = ScanToUtf8(bytes);
    ParseSections(scan);
    return 1;
}

void CEDSFile::ParseSections(ScanResult& scan) {
    otherIndex_ = std::move(scan.otherIndex);
    otherCounter_ = scan.otherCounter;
    file_.Parse(std::move(scan.fixed[kFileSection]));
    device_.Parse(std::move(scan.fixed[kDeviceSection]));
    ioInfo_.Parse(std::move(scan.fixed[kIoInfoSection]));
    paramClass_.Parse(std::move(scan.fixed[kParamClassSection]));
    params_.Parse(std::move(scan.fixed[kParamsSection]));
    enumPar_.Parse(std::move(scan.fixed[kEnumParSection]));
    groups_.Parse(std::move(scan.fixed[kGroupsSection]));
    assembly_.Parse(std::move(scan.fixed[kAssemblySection]));

    others_.clear();
    static const EntryMap kNoEntries;
    for (const auto& [name, number] : otherIndex_) {
        auto it = scan.others.find(number);
        if (it == scan.others.end()) others_[name].Parse(kNoEntries);
        else others_[name].Parse(std::move(it->second));
    }
    loaded_ = 1;
}

void CEDSFile::Reset() {
    static const EntryMap kNoEntries;
    file_.Parse(kNoEntries);
    device_.Parse(kNoEntries);
    paramClass_.Parse(kNoEntries);
    ioInfo_.Parse(kNoEntries);
    params_.Parse(kNoEntries);
    enumPar_.Parse(kNoEntries);
    groups_.Parse(kNoEntries);
    assembly_.Parse(kNoEntries);
    others_.clear();
    otherIndex_.clear();
    otherCounter_ = 0;
    loaded_ = 0;
    path_.clear();
    title_.clear();
}

const CExpand* CEDSFile::FindOtherSection(const std::string& name) const {
    auto it = others_.find(name);
    return it == others_.end() ? nullptr : &it->second;
}

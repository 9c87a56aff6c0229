// The EDS document: one EDS file read into its typed sections.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "eds/eds_records.h"
#include "eds/eds_sections.h"

namespace DeviceNetEDS {

// Section numbers of the interpreted sections; other sections count on from kFirstOther.
enum SectionNumber : int32_t {
    kFileSection = 0,
    kDeviceSection = 1,
    kParamClassSection = 2,
    kIoInfoSection = 3,
    kParamsSection = 4,
    kEnumParSection = 5,
    kGroupsSection = 6,
    kAssemblySection = 7,
    kFirstOther = 8,
};

// What a scan of the bytes produces: the entries of every section under its number.
struct ScanResult {
    std::array<EntryMap, 8> fixed;  // the interpreted sections
    std::map<std::string, int32_t> otherIndex;  // other section name -> number
    std::map<int32_t, EntryMap> others;  // number -> entries (other sections)
    int32_t otherCounter = 0;  // next other number minus 8
};

// The byte scanner: one pass over `bytes`.
ScanResult ScanEds(std::string_view bytes);

}  // namespace DeviceNetEDS

class CEDSFile {
public:
    // Files larger than this are refused (Load returns 0).
    static constexpr uint64_t kMaxFileSize = 512ull * 1024 * 1024;

    CEDSFile() = default;
    CEDSFile(const CEDSFile&) = default;
    CEDSFile& operator=(const CEDSFile&) = default;
    CEDSFile(CEDSFile&&) noexcept = default;
    CEDSFile& operator=(CEDSFile&&) noexcept = default;

    // Reads the file at `path`: 1 on success, 0 on failure. An empty or missing path resets the
    // document. A file that cannot be opened leaves the sections as they were.
    int Load(const char* path);
    int Load(const std::string& path) { return Load(path.c_str()); }
    // Parses bytes that are already in memory, as if they were the content of `path`.
    int LoadFromMemory(std::string_view bytes, const std::string& path = {});
    void Reset();

    int IsLoaded() const { return loaded_; }
    const std::string& Path() const { return path_; }
    const std::string& Title() const { return title_; }

    const DeviceNetEDS::CFileInfo& File() const { return file_; }
    const DeviceNetEDS::CDeviceInfo& Device() const { return device_; }
    const DeviceNetEDS::CIO_InfoInfo& IOInfo() const { return ioInfo_; }
    const DeviceNetEDS::CParamClassInfo& ParamClass() const { return paramClass_; }
    const DeviceNetEDS::CParamsInfo& Params() const { return params_; }
    DeviceNetEDS::CParamsInfo& Params() { return params_; }
    const DeviceNetEDS::CEnumParInfo& EnumPar() const { return enumPar_; }
    const DeviceNetEDS::CGroupsInfo& Groups() const { return groups_; }
    const DeviceNetEDS::CAssemblyInfo& Assembly() const { return assembly_; }

    // Sections the program does not interpret, by name.
    const std::map<std::string, DeviceNetEDS::CExpand>& OtherSections() const { return others_; }
    const DeviceNetEDS::CExpand* FindOtherSection(const std::string& name) const;
    const std::map<std::string, int32_t>& OtherSectionIndex() const { return otherIndex_; }
    int32_t OtherSectionCounter() const { return otherCounter_; }

private:
    void ParseSections(DeviceNetEDS::ScanResult& scan);

    std::map<std::string, int32_t> otherIndex_;
    int32_t otherCounter_ = 0;
    DeviceNetEDS::CFileInfo file_;
    DeviceNetEDS::CDeviceInfo device_;
    DeviceNetEDS::CIO_InfoInfo ioInfo_;
    DeviceNetEDS::CParamClassInfo paramClass_;
    DeviceNetEDS::CParamsInfo params_;
    DeviceNetEDS::CEnumParInfo enumPar_;
    DeviceNetEDS::CGroupsInfo groups_;
    DeviceNetEDS::CAssemblyInfo assembly_;
    std::map<std::string, DeviceNetEDS::CExpand> others_;
    int loaded_ = 0;
    std::string path_;
    std::string title_;
};

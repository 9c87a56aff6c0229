// The section objects of an EDS document. Each takes the raw entries of its section and turns
// the keys that it knows into typed fields and records; unknown keys stay in the raw entries.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "eds/eds_records.h"
#include "eds/numbered_map.h"

namespace DeviceNetEDS {

class CInfoBase {
public:
    CInfoBase() = default;
    CInfoBase(const CInfoBase&) = default;
    CInfoBase& operator=(const CInfoBase&) = default;
    virtual ~CInfoBase();

    // Clears the object (through the virtual Clear), keeps a copy of the entries and reads the
    // keys the section knows (through the virtual Interpret). Returns 1; the interpreted
    // sections return 0 and stay empty when the entries are empty.
    int Parse(const EntryMap& entries);
    // The same, taking the entries over instead of copying them.
    int Parse(EntryMap&& entries);
    // Empties the raw entries and the section name.
    virtual void Clear();

    const EntryMap& Entries() const { return entries_; }
    const std::string& SectionName() const { return sectionName_; }

protected:
    // Reads the known keys of entries_ after a parse cleared the object; the result of Parse.
    virtual int Interpret();

    EntryMap entries_;
    std::string sectionName_;
};

// Section "File".
class CFileInfo : public CInfoBase {
public:
    static constexpr size_t kDescTextMax = 99;
    static constexpr size_t kDateTimeMax = 14;
    static constexpr size_t kRevisionMax = 9;

    void Clear() override;

    const std::string& DescText() const { return descText_; }
    const std::string& CreateDate() const { return createDate_; }
    const std::string& CreateTime() const { return createTime_; }
    const std::string& ModDate() const { return modDate_; }
    const std::string& ModTime() const { return modTime_; }
    const std::string& Revision() const { return revision_; }

protected:
    int Interpret() override;

private:
    std::string descText_, createDate_, createTime_, modDate_, modTime_, revision_;
};

// Section "Device".
class CDeviceInfo : public CInfoBase {
public:
    void Clear() override;

    int32_t VendCode() const { return vendCode_; }
    const std::string& VendName() const { return vendName_; }
    int32_t ProdType() const { return prodType_; }
    const std::string& ProdTypeStr() const { return prodTypeStr_; }
    int32_t ProdCode() const { return prodCode_; }
    int32_t MajRev() const { return majRev_; }
    int32_t MinRev() const { return minRev_; }
    const std::string& ProdName() const { return prodName_; }
    const std::string& Catalog() const { return catalog_; }

protected:
    int Interpret() override;

private:
    int32_t vendCode_ = 0, prodType_ = 0, prodCode_ = 0, majRev_ = 0, minRev_ = 0;
    std::string vendName_, prodTypeStr_, prodName_, catalog_;
};

// Section "IO_Info".
class CIO_InfoInfo : public CInfoBase {
public:
    // Order of the connection records.
    enum Connection { kPoll = 0, kStrobe = 1, kCOS = 2, kCyclic = 3, kMulticastPoll = 4, kConnectionCount = 5 };
    static constexpr std::array<const char*, kConnectionCount> kConnectionKeys = {"PollInfo", "StrobeInfo", "COSInfo",
                                                                                  "CyclicInfo", "MulticastPollInfo"};

    void Clear() override;

    uint32_t SupportedConnections() const { return supported_; }  // key "Default"
    const ConnectionInfo& GetConnection(Connection which) const { return connections_[which]; }
    const std::array<ConnectionInfo, kConnectionCount>& Connections() const { return connections_; }

    const std::map<int32_t, IoEntry>& Inputs() const { return inputs_; }
    const std::map<int32_t, IoEntry>& Outputs() const { return outputs_; }
    // The entry of that number, or the empty IoEntry.
    const IoEntry& GetInput(int32_t number) const;
    const IoEntry& GetOutput(int32_t number) const;

protected:
    int Interpret() override;

private:
    uint32_t supported_ = 0;
    std::array<ConnectionInfo, kConnectionCount> connections_{};
    std::map<int32_t, IoEntry> inputs_, outputs_;
};

// Section "ParamClass".
class CParamClassInfo : public CInfoBase {
public:
    void Clear() override;

    int32_t MaxInst() const { return maxInst_; }
    uint32_t Descriptor() const { return descriptor_; }
    int32_t CfgAssembly() const { return cfgAssembly_; }

protected:
    int Interpret() override;

private:
    int32_t maxInst_ = 0;
    uint32_t descriptor_ = 0;
    int32_t cfgAssembly_ = 0;
};

// Section "Params".
class CParamsInfo : public CInfoBase {
public:
    void Clear() override;

    const NumberedMap<ParamEntry>& Params() const { return params_; }
    // The entry of that number, or the empty ParamEntry.
    const ParamEntry& GetParam(int32_t number) const;
    // The entry of that number for the value writers, or nullptr when there is none.
    ParamEntry* FindParam(int32_t number);
    // Writes the default-value field (the slave's current value); false when there is no such
    // parameter.
    bool SetParamValue(int32_t number, double value);

protected:
    int Interpret() override;

private:
    NumberedMap<ParamEntry> params_;
};

// Section "EnumPar": parameter number -> texts (text i belongs to value i).
class CEnumParInfo : public CInfoBase {
public:
    void Clear() override;

    const std::map<int32_t, std::vector<std::string>>& Lists() const { return lists_; }
    const std::vector<std::string>& GetList(int32_t number) const;

protected:
    int Interpret() override;

private:
    std::map<int32_t, std::vector<std::string>> lists_;
};

// Section "Groups".
class CGroupsInfo : public CInfoBase {
public:
    void Clear() override;

    const std::map<int32_t, GroupEntry>& Groups() const { return groups_; }
    const GroupEntry& GetGroup(int32_t number) const;

protected:
    int Interpret() override;

private:
    std::map<int32_t, GroupEntry> groups_;
};

// Section "Assembly".
class CAssemblyInfo : public CInfoBase {
public:
    void Clear() override;

    int32_t Revision() const { return revision_; }
    const std::map<int32_t, AssemblyEntry>& Assemblies() const { return assemblies_; }
    const AssemblyEntry& GetAssembly(int32_t number) const;

protected:
    int Interpret() override;

private:
    int32_t revision_ = 0;
    std::map<int32_t, AssemblyEntry> assemblies_;
};

// Raw entries of a section the program does not interpret.
class CExpand : public CInfoBase {};

}  // namespace DeviceNetEDS

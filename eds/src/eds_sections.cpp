#include "eds/eds_sections.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "eds/eds_fields.h"

namespace DeviceNetEDS {

using namespace fields;

namespace {

std::optional<std::string_view> FindKey(const EntryMap& entries, std::string_view key) {
    auto it = entries.find(key);
    if (it == entries.end()) return std::nullopt;
    return it->second;
}

// The number of a numbered key: the key contains `marker` and an integer stands at byte
// `offset`. Zero, negative and oversized numbers are not entries.
std::optional<int32_t> KeyNumber(std::string_view key, std::string_view marker, size_t offset) {
    if (key.find(marker) == std::string_view::npos) return std::nullopt;
    if (key.size() <= offset) return std::nullopt;
    std::optional<int32_t> n = ReadIntChecked(key.substr(offset));
    if (!n || *n <= 0) return std::nullopt;
    return n;
}

// Searches the two-byte sequence quote-comma from `from`; kEnd when absent.
size_t FindQuoteComma(std::string_view value, size_t from) {
    if (from == kEnd || from >= value.size()) return kEnd;
    size_t at = value.find("\",", from);
    return at == std::string_view::npos ? kEnd : at;
}

// A string field that starts at `pos` with its opening quote and ends at the next
// quote-comma: returns the text between them and moves `pos` two bytes past the closing
// quote. Without a closing quote-comma the field runs to the end of the value. A field that
// is not quoted at all (some tools leave empty strings out) is read as a plain comma field.
std::string_view QuotedField(std::string_view value, size_t& pos) {
    if (pos == kEnd || pos >= value.size()) {
        pos = kEnd;
        return {};
    }
    if (value[pos] != '"') return NextField(value, pos);
    size_t close = FindQuoteComma(value, pos + 1);
    std::string_view text;
    if (close == kEnd) {
        text = value.substr(pos + 1);
        pos = kEnd;
    } else {
        text = value.substr(pos + 1, close - pos - 1);
        pos = close + 2;
    }
    return text;
}

}  // namespace

// ---- CInfoBase ----

CInfoBase::~CInfoBase() = default;

int CInfoBase::Parse(const EntryMap& entries) {
    // A copy first: `entries` may be this object's own entries, which Clear empties.
    EntryMap copy(entries);
    return Parse(std::move(copy));
}

int CInfoBase::Parse(EntryMap&& entries) {
    Clear();
    entries_ = std::move(entries);
    return Interpret();
}

int CInfoBase::Interpret() { return 1; }

void CInfoBase::Clear() {
    entries_.clear();
    sectionName_.clear();
}

// ---- CFileInfo ----

int CFileInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "File";
    if (auto v = FindKey(entries, "DescText")) descText_ = Cut(Unquote(*v), kDescTextMax);
    if (auto v = FindKey(entries, "CreateDate")) createDate_ = Cut(*v, kDateTimeMax);
    if (auto v = FindKey(entries, "CreateTime")) createTime_ = Cut(*v, kDateTimeMax);
    if (auto v = FindKey(entries, "ModDate")) modDate_ = Cut(*v, kDateTimeMax);
    if (auto v = FindKey(entries, "ModTime")) modTime_ = Cut(*v, kDateTimeMax);
    if (auto v = FindKey(entries, "Revision")) revision_ = Cut(*v, kRevisionMax);
    return 1;
}

void CFileInfo::Clear() {
    CInfoBase::Clear();
    descText_.clear();
    createDate_.clear();
    createTime_.clear();
    modDate_.clear();
    modTime_.clear();
    revision_.clear();
}

// ---- CDeviceInfo ----

int CDeviceInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "Device";
    if (auto v = FindKey(entries, "VendCode")) vendCode_ = ReadInt(*v);
    if (auto v = FindKey(entries, "VendName")) vendName_ = std::string(Unquote(*v));
    if (auto v = FindKey(entries, "ProdType")) prodType_ = ReadInt(*v);
    if (auto v = FindKey(entries, "ProdTypeStr")) prodTypeStr_ = std::string(Unquote(*v));
    if (auto v = FindKey(entries, "ProdCode")) prodCode_ = ReadInt(*v);
    if (auto v = FindKey(entries, "MajRev")) majRev_ = ReadInt(*v);
    if (auto v = FindKey(entries, "MinRev")) minRev_ = ReadInt(*v);
    if (auto v = FindKey(entries, "ProdName")) prodName_ = std::string(Unquote(*v));
    if (auto v = FindKey(entries, "Catalog")) catalog_ = std::string(Unquote(*v));
    return 1;
}

void CDeviceInfo::Clear() {
    CInfoBase::Clear();
    vendCode_ = prodType_ = prodCode_ = majRev_ = minRev_ = 0;
    vendName_.clear();
    prodTypeStr_.clear();
    prodName_.clear();
    catalog_.clear();
}

// ---- CIO_InfoInfo ----

namespace {

IoEntry ReadIoEntry(std::string_view value, const char* kind, int32_t number) {
    IoEntry e;
    e.kind = kind;
    e.number = number;
    size_t pos = 0;
    e.size = ReadInt(NextField(value, pos));
    e.significantBits = ReadInt(NextField(value, pos));
    e.connectionMask = ReadHex(NextField(value, pos));
    e.name = std::string(Unquote(NextField(value, pos)));
    e.pathSize = ReadInt(NextField(value, pos));
    e.pathText = std::string(Unquote(NextField(value, pos)));
    e.pathBytes = ReadPathBytes(e.pathText);
    e.help = std::string(Unquote(Rest(value, pos)));
    return e;
}

}  // namespace

int CIO_InfoInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "IO_Info";
    if (auto v = FindKey(entries, "Default")) supported_ = ReadHex(*v);
    for (size_t i = 0; i < kConnectionCount; ++i) {
        std::optional<std::string_view> v = FindKey(entries, kConnectionKeys[i]);
        if (!v) continue;
        ConnectionInfo& c = connections_[i];
        size_t pos = 0;
        c.valid = 1;
        c.compatibleConnections = ReadHex(NextField(*v, pos));
        c.defaultInput = ReadInt(NextField(*v, pos));
        c.defaultOutput = ReadInt(Rest(*v, pos));
    }
    for (const auto& [key, value] : entries) {
        if (key.find("Input") != std::string::npos) {
            if (auto n = KeyNumber(key, "Input", 5)) inputs_[*n] = ReadIoEntry(value, "Input", *n);
        } else if (key.find("Output") != std::string::npos) {
            if (auto n = KeyNumber(key, "Output", 6)) outputs_[*n] = ReadIoEntry(value, "Output", *n);
        }
    }
    return 1;
}

void CIO_InfoInfo::Clear() {
    CInfoBase::Clear();
    supported_ = 0;
    connections_.fill(ConnectionInfo{});
    inputs_.clear();
    outputs_.clear();
}

const IoEntry& CIO_InfoInfo::GetInput(int32_t number) const {
    static const IoEntry kEmpty;
    auto it = inputs_.find(number);
    return it == inputs_.end() ? kEmpty : it->second;
}

const IoEntry& CIO_InfoInfo::GetOutput(int32_t number) const {
    static const IoEntry kEmpty;
    auto it = outputs_.find(number);
    return it == outputs_.end() ? kEmpty : it->second;
}

// ---- CParamClassInfo ----

int CParamClassInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "ParamClass";
    if (auto v = FindKey(entries, "MaxInst")) maxInst_ = ReadInt(*v);
    if (auto v = FindKey(entries, "Descriptor")) descriptor_ = ReadHex(*v);
    if (auto v = FindKey(entries, "CfgAssembly")) cfgAssembly_ = ReadInt(*v);
    return 1;
}

void CParamClassInfo::Clear() {
    CInfoBase::Clear();
    maxInst_ = 0;
    descriptor_ = 0;
    cfgAssembly_ = 0;
}

// ---- CParamsInfo ----

namespace {

EnumList ReadEnumPairs(std::string_view value) {
    EnumList list;
    size_t pairs = 1;
    for (size_t at = value.find("\","); at != std::string_view::npos; at = value.find("\",", at + 2)) ++pairs;
    list.values.reserve(pairs);
    list.texts.reserve(pairs);
    size_t pos = 0;
    while (pos < value.size()) {
        size_t close = FindQuoteComma(value, pos);
        bool last = close == kEnd;
        std::string_view pair = last ? value.substr(pos) : value.substr(pos, close - pos);
        size_t sep = pair.find(",\"");
        if (sep == std::string_view::npos) break;  // no text: the list ends here
        std::string_view text = pair.substr(sep + 2);
        if (last && !text.empty() && text.back() == '"') text.remove_suffix(1);
        list.values.push_back(ReadInt(pair.substr(0, sep)));
        list.texts.emplace_back(text);
        if (last) break;
        pos = close + 2;
    }
    return list;
}

// Fills the empty record `p`.
void ReadParam(std::string_view value, ParamEntry& p) {
    size_t pos = 0;
    p.reserved = ReadInt(NextField(value, pos));
    p.linkPathSize = ReadInt(NextField(value, pos));
    std::string_view link = NextField(value, pos);
    if (p.linkPathSize != 0) {
        p.linkPathText.assign(Unquote(link));
        if (p.linkPathSize > 0) p.linkPathBytes = ReadPathBytes(p.linkPathText, static_cast<size_t>(p.linkPathSize));
    }
    p.descriptor = ReadHex(NextField(value, pos));
    std::string_view type = NextField(value, pos);
    if (type.size() >= 2 && type[0] == '0' && (type[1] == 'x' || type[1] == 'X'))
        p.dataType = static_cast<int32_t>(ReadHex(type));
    else p.dataType = ReadInt(type);
    p.dataSize = ReadInt(NextField(value, pos));
    p.name.assign(QuotedField(value, pos));
    p.units.assign(QuotedField(value, pos));
    p.help.assign(QuotedField(value, pos));
    p.minimum = ReadReal(NextField(value, pos));
    p.maximum = ReadReal(NextField(value, pos));
    p.defaultValue = ReadReal(NextField(value, pos));
    p.scalingMultiplier = ReadInt(NextField(value, pos));
    p.scalingDivider = ReadInt(NextField(value, pos));
    p.scalingBase = ReadInt(NextField(value, pos));
    p.scalingOffset = ReadInt(NextField(value, pos));
    p.multiplierLink = ReadInt(NextField(value, pos));
    p.dividerLink = ReadInt(NextField(value, pos));
    p.baseLink = ReadInt(NextField(value, pos));
    p.offsetLink = ReadInt(NextField(value, pos));
    p.decimalPlaces = ReadInt(Rest(value, pos));
}

}  // namespace

int CParamsInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "Params";
    // Keys that start with "Param" come in the order of the text after "Param", and the keys
    // that start with "Enum" in the order of the text after "Enum": one forward walk over the
    // Enum keys pairs them. Other keys that hold "Param" look their Enum key up.
    constexpr std::string_view kEnum = "Enum";
    auto enumIt = entries.lower_bound(kEnum);
    auto enumSuffix = [&](EntryMap::const_iterator it) -> std::optional<std::string_view> {
        if (it == entries.end() || !it->first.starts_with(kEnum)) return std::nullopt;
        return it->first.substr(kEnum.size());
    };
    // The Param keys by number, each with its entry and the entry of its Enum key (or none),
    // as positions in `entries`.
    struct Found {
        size_t entry, enumEntry;  // enumEntry is entries.size() when there is none
        int32_t number;
    };
    std::vector<Found> found;
    std::string enumKey;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const std::string_view key = it->first;
        auto n = KeyNumber(key, "Param", 5);
        if (!n) continue;
        const size_t marker = key.find("Param");
        const std::string_view suffix = key.substr(marker + 5);
        EntryMap::const_iterator enumEntry = entries.end();
        if (marker == 0) {
            std::optional<std::string_view> at;
            while ((at = enumSuffix(enumIt)) && *at < suffix) ++enumIt;
            if (at && *at == suffix) enumEntry = enumIt;
        } else {
            enumKey = kEnum;
            enumKey += suffix;
            enumEntry = entries.find(enumKey);
        }
        found.push_back(
            {static_cast<size_t>(it - entries.begin()), static_cast<size_t>(enumEntry - entries.begin()), *n});
    }
    // Records are made in number order straight into their place; of keys with the same number
    // (Param1, Param01) the last in key order counts.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.number != b.number ? a.number < b.number : a.entry < b.entry;
    });
    params_.reserve(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        if (i + 1 < found.size() && found[i + 1].number == found[i].number) continue;
        ParamEntry& p = params_.Append(found[i].number);
        ReadParam(entries.begin()[found[i].entry].second, p);
        if (found[i].enumEntry != entries.size())
            p.enumeration = ReadEnumPairs(entries.begin()[found[i].enumEntry].second);
    }
    return 1;
}

void CParamsInfo::Clear() {
    CInfoBase::Clear();
    params_.clear();
}

const ParamEntry& CParamsInfo::GetParam(int32_t number) const {
    static const ParamEntry kEmpty;
    auto it = params_.find(number);
    return it == params_.end() ? kEmpty : it->second;
}

ParamEntry* CParamsInfo::FindParam(int32_t number) { return params_.Find(number); }

bool CParamsInfo::SetParamValue(int32_t number, double value) {
    ParamEntry* p = FindParam(number);
    if (!p) return false;
    p->defaultValue = value;
    return true;
}

// ---- CEnumParInfo ----

int CEnumParInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "EnumPar";
    for (const auto& [key, value] : entries) {
        auto n = KeyNumber(key, "Param", 5);
        if (!n) continue;
        std::vector<std::string> texts;
        std::string_view v = value;
        if (!v.empty() && v.front() == '"') {
            size_t pos = 1;
            for (;;) {
                size_t cut = v.find("\",\"", pos);
                if (cut == std::string_view::npos) {
                    std::string_view last = v.substr(pos);
                    if (!last.empty() && last.back() == '"') last.remove_suffix(1);
                    texts.emplace_back(last);
                    break;
                }
                texts.emplace_back(v.substr(pos, cut - pos));
                pos = cut + 3;
            }
        }
        lists_[*n] = std::move(texts);
    }
    return 1;
}

void CEnumParInfo::Clear() {
    CInfoBase::Clear();
    lists_.clear();
}

const std::vector<std::string>& CEnumParInfo::GetList(int32_t number) const {
    static const std::vector<std::string> kEmpty;
    auto it = lists_.find(number);
    return it == lists_.end() ? kEmpty : it->second;
}

// ---- CGroupsInfo ----

int CGroupsInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "Groups";
    for (const auto& [key, value] : entries) {
        auto n = KeyNumber(key, "Group", 5);
        if (!n) continue;
        GroupEntry g;
        std::string_view v = value;
        size_t pos = 0;
        g.name = std::string(QuotedField(v, pos));
        g.memberCount = ReadInt(NextField(v, pos));
        for (int32_t i = 0; i < g.memberCount && pos != kEnd; ++i)
            g.members.push_back(ReadInt(i + 1 == g.memberCount ? Rest(v, pos) : NextField(v, pos)));
        groups_[*n] = std::move(g);
    }
    return 1;
}

void CGroupsInfo::Clear() {
    CInfoBase::Clear();
    groups_.clear();
}

const GroupEntry& CGroupsInfo::GetGroup(int32_t number) const {
    static const GroupEntry kEmpty;
    auto it = groups_.find(number);
    return it == groups_.end() ? kEmpty : it->second;
}

// ---- CAssemblyInfo ----

namespace {

MemberRef ReadMemberRef(std::string_view field) {
    MemberRef r;
    if (field.find("Param") != std::string_view::npos) {
        r.kind = MemberRef::kParam;
        r.number = field.size() > 5 ? ReadInt(field.substr(5)) : 0;
    } else if (field.find("Assem") != std::string_view::npos) {
        r.kind = MemberRef::kAssembly;
        r.number = field.size() > 5 ? ReadInt(field.substr(5)) : 0;
    } else if (field.find('"') != std::string_view::npos) {
        r.kind = MemberRef::kText;
        r.text = Cut(Unquote(field), 99);
    } else if (field.empty()) {
        r.kind = MemberRef::kEmpty;
    } else {
        r.kind = MemberRef::kNumber;
        r.number = ReadInt(field);
    }
    return r;
}

AssemblyEntry ReadAssembly(std::string_view value) {
    AssemblyEntry a;
    size_t pos = 0;
    a.name = std::string(Unquote(NextField(value, pos)));
    a.pathText = std::string(Unquote(NextField(value, pos)));
    a.pathBytes = ReadPathBytes(a.pathText);
    a.size = ReadInt(NextField(value, pos));
    a.descriptor = static_cast<uint16_t>(ReadInt(NextField(value, pos)));
    a.reserved1 = ReadInt(NextField(value, pos));
    a.reserved2 = ReadInt(NextField(value, pos));
    while (pos != kEnd) {
        AssemblyMember m;
        m.size = ReadInt(NextField(value, pos));
        if (pos == kEnd) break;  // a member size without a reference ends the list
        m.ref = ReadMemberRef(NextField(value, pos));
        a.members.push_back(std::move(m));
    }
    return a;
}

}  // namespace

int CAssemblyInfo::Interpret() {
    const EntryMap& entries = entries_;
    if (entries.empty()) return 0;
    sectionName_ = "Assembly";
    if (auto v = FindKey(entries, "Revision")) revision_ = ReadInt(*v);
    for (const auto& [key, value] : entries) {
        auto n = KeyNumber(key, "Assem", 5);
        if (!n) continue;
        assemblies_[*n] = ReadAssembly(value);
    }
    return 1;
}

void CAssemblyInfo::Clear() {
    CInfoBase::Clear();
    revision_ = 0;
    assemblies_.clear();
}

const AssemblyEntry& CAssemblyInfo::GetAssembly(int32_t number) const {
    static const AssemblyEntry kEmpty;
    auto it = assemblies_.find(number);
    return it == assemblies_.end() ? kEmpty : it->second;
}

}  // namespace DeviceNetEDS

#include "adapter_emu/simulated_slave.h"

#include <algorithm>

#include "cip/link_path.h"
#include "cip/object_class.h"
#include "cip/service.h"
#include "cip/value_coding.h"

namespace adapter_emu {

namespace {

using cip::kDeviceNetClass;
using cip::kIdentityClass;
using cip::kParameterClass;
using Status = cip::GeneralStatus;

std::vector<uint8_t> U16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
std::vector<uint8_t> U32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}
std::vector<uint8_t> ShortString(const std::string& s) {
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    std::vector<uint8_t> out(n + 1);
    out[0] = static_cast<uint8_t>(n);
    std::copy_n(s.begin(), n, out.begin() + 1);
    return out;
}

}  // namespace

SimulatedSlave::SimulatedSlave(const SlaveDescription& description)
    : description_(description),
      fileMac_(description.mac),
      baud_(description.baudRate),
      absent_(description.absent),
      idle_(description.idle),
      explicitDelayMs_(description.explicitDelayMs) {
    // Identity object, instance 1, attributes 1 to 7.
    Put(kIdentityClass, 1, 1, cip::TypeOf(cip::DataType::Uint), U16(description.vendorId));
    Put(kIdentityClass, 1, 2, cip::TypeOf(cip::DataType::Uint), U16(description.deviceType));
    Put(kIdentityClass, 1, 3, cip::TypeOf(cip::DataType::Uint), U16(description.productCode));
    Put(kIdentityClass, 1, 4, std::nullopt, {description.revisionMajor, description.revisionMinor});
    Put(kIdentityClass, 1, 5, cip::TypeOf(cip::DataType::Word), U16(description.status));
    Put(kIdentityClass, 1, 6, cip::TypeOf(cip::DataType::Udint), U32(description.serialNumber));
    Put(kIdentityClass, 1, 7, cip::TypeOf(cip::DataType::ShortString), ShortString(description.productName));
    // DeviceNet object, instance 1.
    // MAC ID and baud rate: settable unless the node's switches fix them.
    PutRanged(kDeviceNetClass, 1, 1, description.mac, !description.fixedSwitches, 63);
    PutRanged(kDeviceNetClass, 1, 2, description.baudRate.value_or(0), !description.fixedSwitches, 2);
    Put(kDeviceNetClass, 1, 3, cip::TypeOf(cip::DataType::Bool), {0}, true);
    Put(kDeviceNetClass, 1, 4, cip::TypeOf(cip::DataType::Usint), {0}, true);
    Put(kDeviceNetClass, 1, 5, std::nullopt, {0x00, 0xFF});
    // Parameter objects: instance n per parameter n.
    for (const auto& p : description.parameters) {
        auto a = std::make_shared<Attribute>();
        a->type = p.type;
        a->value = p.value;
        a->settable = p.settable;
        a->ranged = true;
        a->minimum = p.minimum;
        a->maximum = p.maximum;
        a->choices = p.choices;
        attributes_[{kParameterClass, p.number, 1}] = a;
        defaults_.emplace_back(a, p.value);
        const std::vector<uint8_t> path = cip::EncodeLinkPath({kParameterClass, p.number, 1});
        uint16_t descriptor = 0;
        if (!p.settable) descriptor |= 0x10;
        if (!p.choices.empty()) descriptor |= 0x02;
        Put(kParameterClass, p.number, 2, cip::TypeOf(cip::DataType::Usint), {static_cast<uint8_t>(path.size())});
        Put(kParameterClass, p.number, 3, std::nullopt, path);
        Put(kParameterClass, p.number, 4, cip::TypeOf(cip::DataType::Word), U16(descriptor));
        Put(kParameterClass, p.number, 5, cip::TypeOf(cip::DataType::Usint), {p.type.code});
        Put(kParameterClass, p.number, 6, cip::TypeOf(cip::DataType::Usint), {p.type.size});
        Put(kParameterClass, p.number, 7, cip::TypeOf(cip::DataType::ShortString), ShortString(p.name));
        Put(kParameterClass, p.number, 8, cip::TypeOf(cip::DataType::ShortString), ShortString(p.units));
        Put(kParameterClass, p.number, 9, cip::TypeOf(cip::DataType::ShortString), ShortString(p.help));
        Put(kParameterClass, p.number, 10, p.type, cip::EncodeNumber(p.type, p.minimum));
        Put(kParameterClass, p.number, 11, p.type, cip::EncodeNumber(p.type, p.maximum));
        Put(kParameterClass, p.number, 12, p.type, p.value);
    }
    if (!description.parameters.empty()) {
        Put(kParameterClass, 0, 8, cip::TypeOf(cip::DataType::Word), U16(0x0001));
        Put(kParameterClass, 0, 9, cip::TypeOf(cip::DataType::Uint), U16(0));
    }
    // Whatever the bus file lists, over the defaults above.
    for (const auto& s : description.attributes) {
        Put(s.classId, s.instance, s.id, s.type, s.value, s.settable);
        defaults_.emplace_back(attributes_[{s.classId, s.instance, s.id}], s.value);
    }
    // Class attributes: revision and highest instance, for every class present.
    std::map<uint16_t, uint16_t> maxInstance;
    for (const auto& [key, attr] : attributes_) {
        auto& m = maxInstance[std::get<0>(key)];
        m = std::max(m, std::get<1>(key));
    }
    for (const auto& [cls, max] : maxInstance) {
        if (!attributes_.count({cls, 0, 1})) Put(cls, 0, 1, cip::TypeOf(cip::DataType::Uint), U16(1));
        if (!attributes_.count({cls, 0, 2})) Put(cls, 0, 2, cip::TypeOf(cip::DataType::Uint), U16(max));
    }
    sharedOutputs_.assign(std::max({description.connections[1].outputSize, description.connections[2].outputSize,
                                    description.connections[3].outputSize}),
                          0);
    strobeOutputs_.assign(8, 0);
}

void SimulatedSlave::Put(uint16_t cls, uint16_t inst, uint8_t id, std::optional<cip::TypeInfo> type,
                         std::vector<uint8_t> value, bool settable) {
    auto a = std::make_shared<Attribute>();
    a->type = type;
    a->value = std::move(value);
    a->settable = settable;
    attributes_[{cls, inst, id}] = std::move(a);
}

void SimulatedSlave::PutRanged(uint16_t cls, uint16_t inst, uint8_t id, uint8_t value, bool settable, uint8_t maximum) {
    Put(cls, inst, id, cip::TypeOf(cip::DataType::Usint), {value}, settable);
    Attribute& a = *attributes_[{cls, inst, id}];
    a.ranged = true;
    a.maximum = maximum;
}

bool SimulatedSlave::IsAttribute(uint16_t cls, uint16_t inst, std::span<const uint8_t> data, uint8_t id) const {
    return cls == kDeviceNetClass && inst == 1 && !data.empty() && data[0] == id;
}

void SimulatedSlave::MoveTo(uint8_t mac) {
    description_.mac = mac;
    attributes_[{kDeviceNetClass, 1, 1}]->value = {mac};
}

std::optional<uint8_t> SimulatedSlave::TakeMacChange() {
    std::optional<uint8_t> change;
    change.swap(macChange_);
    return change;
}

void SimulatedSlave::SetBaud(uint8_t baud) {
    baud_ = baud;
    pendingBaud_.reset();
    attributes_[{kDeviceNetClass, 1, 2}]->value = {baud};
}

bool SimulatedSlave::Answers(uint64_t nowMs) const {
    if (absent_) return false;
    if (offLineUntilMs_ && nowMs < *offLineUntilMs_) return false;
    if (stoppedAtMs_ && nowMs >= *stoppedAtMs_) return false;
    if (description_.silentAfterMs && firstContactMs_ && nowMs >= *firstContactMs_ + *description_.silentAfterMs)
        return false;
    return true;
}

void SimulatedSlave::NoteContact(uint64_t nowMs) {
    if (!firstContactMs_) firstContactMs_ = nowMs;
}

void SimulatedSlave::BeginSession() { firstContactMs_.reset(); }

void SimulatedSlave::Resume() {
    stoppedAtMs_.reset();
    firstContactMs_.reset();
}

void SimulatedSlave::SetNetworkContext(uint8_t baudRate, uint8_t allocationChoice, uint8_t masterMac) {
    // A node with a baud rate of its own (or one set and waiting for a reset) shows that one.
    if (!baud_ && !pendingBaud_) attributes_[{kDeviceNetClass, 1, 2}]->value = {baudRate};
    attributes_[{kDeviceNetClass, 1, 5}]->value = {allocationChoice, masterMac};
}

void SimulatedSlave::RestoreDefaults() {
    for (auto& [attr, value] : defaults_) attr->value = value;
}

CipReply SimulatedSlave::SetAttribute(Attribute& a, std::span<const uint8_t> value) {
    if (!a.settable) return {Status::AttributeNotSettable, {}};
    std::size_t expected = a.value.size();
    if (a.type && a.type->kind == cip::TypeKind::ShortString) {
        if (value.empty()) return {Status::NotEnoughData, {}};
        expected = 1 + value[0];
    } else if (a.type && a.type->kind == cip::TypeKind::String) {
        if (value.size() < 2) return {Status::NotEnoughData, {}};
        expected = 2 + (value[0] | (value[1] << 8));
    } else if (a.type) {
        expected = a.type->size;
    }
    if (value.size() < expected) return {Status::NotEnoughData, {}};
    if (value.size() > expected) return {Status::TooMuchData, {}};
    if (a.type && a.type->size != 0) {
        const long double v = *cip::DecodeNumber(*a.type, value);
        if (a.type->kind == cip::TypeKind::Bool && v > 1) return {Status::InvalidAttributeValue, {}};
        if (a.ranged && (v < a.minimum || v > a.maximum)) return {Status::InvalidAttributeValue, {}};
        if (!a.choices.empty() && std::find(a.choices.begin(), a.choices.end(), v) == a.choices.end()) {
            return {Status::InvalidAttributeValue, {}};
        }
    }
    a.value.assign(value.begin(), value.end());
    return {};
}

CipReply SimulatedSlave::Execute(uint8_t service, uint16_t classId, uint16_t instance, std::span<const uint8_t> data) {
    auto first = attributes_.lower_bound({classId, instance, 0});
    const bool exists =
        first != attributes_.end() && std::get<0>(first->first) == classId && std::get<1>(first->first) == instance;
    if (!exists) return {Status::ObjectDoesNotExist, {}};
    switch (static_cast<cip::Service>(service)) {
        case cip::Service::GetAttributeSingle: {
            if (data.empty()) return {Status::NotEnoughData, {}};
            if (data.size() > 1) return {Status::TooMuchData, {}};
            auto it = attributes_.find({classId, instance, data[0]});
            if (it == attributes_.end()) return {Status::AttributeNotSupported, {}};
            return {Status::Success, it->second->value};
        }
        case cip::Service::SetAttributeSingle: {
            if (data.empty()) return {Status::NotEnoughData, {}};
            auto it = attributes_.find({classId, instance, data[0]});
            if (it == attributes_.end()) return {Status::AttributeNotSupported, {}};
            CipReply reply = SetAttribute(*it->second, data.subspan(1));
            if (reply.status == Status::Success && IsAttribute(classId, instance, data, 1) && data[1] != Mac()) {
                macChange_ = data[1];
            }
            if (reply.status == Status::Success && IsAttribute(classId, instance, data, 2)) pendingBaud_ = data[1];
            return reply;
        }
        case cip::Service::GetAttributesAll: {
            CipReply r;
            const uint8_t last = classId == kIdentityClass && instance == 1 ? 7 : 255;
            for (auto it = first; it != attributes_.end() && std::get<0>(it->first) == classId &&
                                  std::get<1>(it->first) == instance && std::get<2>(it->first) <= last;
                 ++it) {
                r.data.insert(r.data.end(), it->second->value.begin(), it->second->value.end());
            }
            return r;
        }
        case cip::Service::Reset: {
            if (classId != kIdentityClass) return {Status::ServiceNotSupported, {}};
            if (data.size() > 1) return {Status::TooMuchData, {}};
            const uint8_t type = data.empty() ? 0 : data[0];
            if (type > 1) return {Status::InvalidParameter, {}};
            if (type == 1) RestoreDefaults();
            if (pendingBaud_) SetBaud(*pendingBaud_);
            return {};
        }
        default: return {Status::ServiceNotSupported, {}};
    }
}

std::vector<uint8_t> SimulatedSlave::ProduceInputs(std::size_t type) {
    const ConnectionSpec& c = description_.connections[type];
    std::vector<uint8_t> in(c.inputSize, 0);
    switch (c.behaviour) {
        case InputBehaviour::Constant: in = c.constant; break;
        case InputBehaviour::Counter: {
            const uint64_t n = ++counters_[type];
            for (std::size_t i = 0; i < in.size() && i < 8; ++i) in[i] = static_cast<uint8_t>(n >> (8 * i));
            break;
        }
        case InputBehaviour::Loopback: {
            const auto& src = type == 0 ? strobeOutputs_ : sharedOutputs_;
            std::copy_n(src.begin(), std::min(src.size(), in.size()), in.begin());
            break;
        }
    }
    return in;
}

void SimulatedSlave::ConsumeOutputs(std::size_t type, std::span<const uint8_t> data) {
    auto& dst = type == 0 ? strobeOutputs_ : sharedOutputs_;
    if (dst.size() < data.size()) dst.resize(data.size(), 0);
    std::copy(data.begin(), data.end(), dst.begin());
}

}  // namespace adapter_emu

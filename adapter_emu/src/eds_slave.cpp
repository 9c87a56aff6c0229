#include "eds_slave.h"

#include <algorithm>
#include <string>

#include "cip/link_path.h"
#include "cip/object_class.h"
#include "cip/value_coding.h"
#include "eds/eds_file.h"

namespace adapter_emu {

namespace {

using cip::kParameterClass;
constexpr std::size_t kMaxProductName = 32;

uint16_t Field16(int32_t value, const char* key) {
    if (value < 0 || value > 0xFFFF) {
        throw EdsSlaveError(std::string("[Device] ") + key + " " + std::to_string(value) + " is not 0 to 65535");
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

void ApplyEdsFile(const std::filesystem::path& path, SlaveDescription& slave, bool withIdentity) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw EdsSlaveError("the EDS file cannot be read");
    CEDSFile eds;
    if (eds.Load(path.string()) == 0) throw EdsSlaveError("the EDS file cannot be read");

    if (withIdentity) {
        const auto& device = eds.Device();
        slave.vendorId = Field16(device.VendCode(), "VendCode");
        slave.deviceType = Field16(device.ProdType(), "ProdType");
        slave.productCode = Field16(device.ProdCode(), "ProdCode");
        if (device.MajRev() < 1 || device.MajRev() > 127 || device.MinRev() < 0 || device.MinRev() > 255) {
            throw EdsSlaveError("[Device] MajRev/MinRev " + std::to_string(device.MajRev()) + "." +
                                std::to_string(device.MinRev()) + " is not 1..127 . 0..255");
        }
        slave.revisionMajor = static_cast<uint8_t>(device.MajRev());
        slave.revisionMinor = static_cast<uint8_t>(device.MinRev());
        slave.productName = device.ProdName().substr(0, kMaxProductName);
    }

    for (const auto& [number, entry] : eds.Params().Params()) {
        const std::optional<cip::TypeInfo> type = cip::TypeByCode(entry.dataType);
        if (!type || !type->IsNumeric()) continue;  // strings and unknown types are not simulated

        const cip::Range range = *cip::TypeRange(*type);
        long double minimum = entry.minimum;
        long double maximum = entry.maximum;
        if (!(minimum < maximum) || minimum < range.minimum || maximum > range.maximum) {
            minimum = range.minimum;
            maximum = range.maximum;
        }
        const long double value = std::clamp(static_cast<long double>(entry.defaultValue), minimum, maximum);
        const bool readOnly = (entry.descriptor & 0x10u) != 0;

        cip::ObjectAddress address{kParameterClass, static_cast<uint32_t>(number), 1};
        if (!entry.linkPathBytes.empty()) address = cip::DecodeLinkPath(entry.linkPathBytes);
        if (address.classId == kParameterClass && address.attributeId == 1 && address.instanceId >= 1 &&
            address.instanceId <= 0xFFFF) {
            const auto instance = static_cast<uint16_t>(address.instanceId);
            const bool given = std::any_of(slave.parameters.begin(), slave.parameters.end(),
                                           [&](const ParameterSpec& p) { return p.number == instance; });
            if (given) continue;
            ParameterSpec p;
            p.number = instance;
            p.name = entry.name;
            p.units = entry.units;
            p.help = entry.help;
            p.type = *type;
            p.minimum = minimum;
            p.maximum = maximum;
            p.value = cip::EncodeNumber(*type, value);
            p.settable = !readOnly;
            slave.parameters.push_back(std::move(p));
        } else if (address.classId >= 1 && address.classId <= 0xFFFF && address.instanceId <= 0xFFFF &&
                   address.attributeId >= 1 && address.attributeId <= 0xFF) {
            const auto classId = static_cast<uint16_t>(address.classId);
            const auto instance = static_cast<uint16_t>(address.instanceId);
            const auto id = static_cast<uint8_t>(address.attributeId);
            const bool given =
                std::any_of(slave.attributes.begin(), slave.attributes.end(), [&](const AttributeSpec& a) {
                    return a.classId == classId && a.instance == instance && a.id == id;
                });
            if (given) continue;
            AttributeSpec a;
            a.classId = classId;
            a.instance = instance;
            a.id = id;
            a.type = *type;
            a.value = cip::EncodeNumber(*type, value);
            a.settable = !readOnly;
            slave.attributes.push_back(std::move(a));
        }
    }
    std::sort(slave.parameters.begin(), slave.parameters.end(),
              [](const ParameterSpec& a, const ParameterSpec& b) { return a.number < b.number; });
}

}  // namespace adapter_emu

#include "network/io_data_item.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

using platform::GetU16LE;
using platform::GetU32LE;
using platform::PutU16LE;
using platform::PutU32LE;

namespace {

std::string ReadText(std::span<const uint8_t> field) {
    auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return std::string(field.begin(), end);
}

void WriteText(std::span<uint8_t> field, std::string_view text) {
    std::fill(field.begin(), field.end(), uint8_t{0});
    std::size_t n = std::min(text.size(), field.size() - 1);
    std::memcpy(field.data(), text.data(), n);
}

}  // namespace

IoDataItem IoDataItem::FromImage(std::span<const uint8_t> image) {
    IoDataItem item;
    std::size_t n = std::min(image.size(), kImageSize);
    std::copy_n(image.begin(), n, item.image_.begin());
    item.DropReference();
    return item;
}

std::array<uint8_t, IoDataItem::kImageSize> IoDataItem::Image() const {
    auto image = image_;
    std::fill_n(image.begin() + kReferenceOffset, 4, uint8_t{0});
    return image;
}

void IoDataItem::DropReference() { std::fill_n(image_.begin() + kReferenceOffset, 4, uint8_t{0}); }

uint32_t IoDataItem::Reserved() const { return GetU32LE(image_, 0); }
void IoDataItem::SetReserved(uint32_t value) { PutU32LE(image_, 0, value); }
uint16_t IoDataItem::ValueType() const { return GetU16LE(image_, 4); }
void IoDataItem::SetValueType(uint16_t type) { PutU16LE(image_, 4, type); }
bool IoDataItem::IsInput() const { return (image_[6] & 0x03) == 1; }
void IoDataItem::SetInput(bool input) {
    image_[6] = static_cast<uint8_t>((image_[6] & ~0x03) | (input ? 1 : 0));
}
uint8_t IoDataItem::ChangedGroupIndex() const { return static_cast<uint8_t>(image_[6] >> 2); }
void IoDataItem::SetChangedGroupIndex(uint8_t index) {
    image_[6] = static_cast<uint8_t>((image_[6] & 0x03) | ((index & 0x3F) << 2));
}
uint16_t IoDataItem::Size() const { return GetU16LE(image_, 7); }
void IoDataItem::SetSize(uint16_t size) { PutU16LE(image_, 7, size); }
std::string IoDataItem::Name() const {
    return ReadText(std::span<const uint8_t>(image_).subspan(kNameOffset, kNameSize));
}
void IoDataItem::SetName(std::string_view name) {
    WriteText(std::span<uint8_t>(image_).subspan(kNameOffset, kNameSize), name);
}
std::string IoDataItem::Description() const {
    return ReadText(std::span<const uint8_t>(image_).subspan(kDescriptionOffset, kDescriptionSize));
}
void IoDataItem::SetDescription(std::string_view text) {
    WriteText(std::span<uint8_t>(image_).subspan(kDescriptionOffset, kDescriptionSize), text);
}
uint8_t IoDataItem::FlagsByte() const { return image_[kFlagsByteOffset]; }
void IoDataItem::SetFlagsByte(uint8_t flags) { image_[kFlagsByteOffset] = flags; }
bool IoDataItem::Changed() const { return GetU32LE(image_, kChangedOffset) != 0; }
void IoDataItem::SetChanged(bool changed) { PutU32LE(image_, kChangedOffset, changed ? 1u : 0u); }

std::span<const uint8_t> IoDataItem::ValueBytes() const {
    return std::span<const uint8_t>(image_).subspan(kValueOffset, kValueSize);
}

void IoDataItem::WriteValue(std::span<const uint8_t> data) {
    std::size_t size = Size();
    if (IsByteString()) {
        buffer_.assign(size + 1, 0);
        std::copy_n(data.begin(), std::min(size, data.size()), buffer_.begin());
    } else {
        auto value = std::span<uint8_t>(image_).subspan(kValueOffset, kValueSize);
        std::fill(value.begin(), value.end(), uint8_t{0});
        std::copy_n(data.begin(), std::min({size, data.size(), kValueSize}), value.begin());
    }
    SetChanged(true);
}

IoDataItem MakeDefaultItem(std::string_view name, std::string_view description, bool input, uint16_t size) {
    IoDataItem item;
    item.SetValueType(ioitem::kByteString);
    item.SetInput(input);
    item.SetChangedGroupIndex(0);
    item.SetSize(size);
    item.SetName(name);
    item.SetDescription(description);
    item.SetFlagsByte(static_cast<uint8_t>(item.FlagsByte() & 0xF0));
    return item;
}

#include "network/io_data_item.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/text_encoding.h"

using platform::GetU16LE;
using platform::GetU32LE;
using platform::PutU16LE;
using platform::PutU32LE;

namespace {

// Text fields hold the code page of the files (GB18030); in memory text is UTF-8.
std::string ReadText(std::span<const uint8_t> field) {
    auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return platform::ToUtf8(std::string(field.begin(), end));
}

// The length of the longest prefix of GB18030 bytes that fits `limit` without splitting a
// character (1, 2 or 4 bytes).
std::size_t Gb18030Prefix(std::string_view bytes, std::size_t limit) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[pos]);
        std::size_t len = 1;
        if (b >= 0x81 && b <= 0xFE && pos + 1 < bytes.size()) {
            auto second = static_cast<unsigned char>(bytes[pos + 1]);
            len = second >= 0x30 && second <= 0x39 ? 4 : 2;
        }
        if (pos + len > limit) break;
        pos += len;
    }
    return std::min(pos, bytes.size());
}

void WriteText(std::span<uint8_t> field, std::string_view text) {
    std::fill(field.begin(), field.end(), uint8_t{0});
    std::string bytes = platform::Utf8ToGb18030(text);
    std::size_t n = Gb18030Prefix(bytes, field.size() - 1);
    std::memcpy(field.data(), bytes.data(), n);
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
void IoDataItem::SetInput(bool input) { image_[6] = static_cast<uint8_t>((image_[6] & ~0x03) | (input ? 1 : 0)); }
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

// One data item of a slave: the 179-byte image that is also stored in the network file, plus the
// separately held value buffer of a byte-string item.
//
// Image layout (little-endian):
//   0..3     reserved word
//   4..5     value type (variant number: 2 i16, 3 i32, 4 f32, 5 f64, 8 byte string, 17 u8,
//            anything else u32)
//   6        bits 0-1 direction (1 input, 0 output), bits 2-7 index of the group changed flag
//   7..8     size in bytes
//   9..58    name, zero-terminated (at most 49 bytes)
//   59..158  description, zero-terminated (at most 99 bytes)
//   Both text fields hold GB18030 bytes, as in files made on Chinese systems; the accessors
//   take and give UTF-8.
//   159      flags byte
//   160..162 further bytes, copied with the item
//   163..166 reference to the value buffer; meaningful only in memory, always 0 in our images
//   167..174 value of a non-byte-string item
//   175..178 changed flag
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ioitem {
inline constexpr uint16_t kInt16 = 2;
inline constexpr uint16_t kInt32 = 3;
inline constexpr uint16_t kFloat = 4;
inline constexpr uint16_t kDouble = 5;
inline constexpr uint16_t kByteString = 8;
inline constexpr uint16_t kUInt8 = 17;
}  // namespace ioitem

class IoDataItem {
public:
    static constexpr std::size_t kImageSize = 179;
    static constexpr std::size_t kNameOffset = 9;
    static constexpr std::size_t kNameSize = 50;
    static constexpr std::size_t kDescriptionOffset = 59;
    static constexpr std::size_t kDescriptionSize = 100;
    static constexpr std::size_t kFlagsByteOffset = 159;
    static constexpr std::size_t kReferenceOffset = 163;
    static constexpr std::size_t kValueOffset = 167;
    static constexpr std::size_t kValueSize = 8;
    static constexpr std::size_t kChangedOffset = 175;

    IoDataItem() = default;

    // An item from a stored image. Bytes beyond `image` stay zero; the reference bytes 163..166
    // are never taken over, and the value buffer starts empty.
    static IoDataItem FromImage(std::span<const uint8_t> image);
    // The image to store: as held, with the reference bytes 163..166 zero.
    std::array<uint8_t, kImageSize> Image() const;
    // Raw access for decoding a stored image in place (keeps bytes that a short text leaves).
    std::span<uint8_t, kImageSize> MutableImage() { return image_; }
    // Clears the in-memory reference bytes after the image was changed in place.
    void DropReference();

    uint32_t Reserved() const;
    void SetReserved(uint32_t value);
    uint16_t ValueType() const;
    void SetValueType(uint16_t type);
    bool IsInput() const;
    void SetInput(bool input);
    uint8_t ChangedGroupIndex() const;  // 0..63, the program uses 0..9
    void SetChangedGroupIndex(uint8_t index);
    uint16_t Size() const;
    void SetSize(uint16_t size);
    std::string Name() const;
    void SetName(std::string_view name);  // cut at 49 bytes, never inside a character
    std::string Description() const;
    void SetDescription(std::string_view text);  // cut at 99 bytes
    uint8_t FlagsByte() const;
    void SetFlagsByte(uint8_t flags);
    bool Changed() const;
    void SetChanged(bool changed);

    bool IsByteString() const { return ValueType() == ioitem::kByteString; }
    // The 8 value bytes of a non-byte-string item.
    std::span<const uint8_t> ValueBytes() const;
    // The value buffer of a byte-string item (size + 1 bytes once written, empty before).
    const std::vector<uint8_t>& Buffer() const { return buffer_; }

    // Stores a written value: byte strings go into a freshly cleared buffer of size + 1 bytes,
    // other types into the value bytes (at most 8). At most Size() bytes are taken from `data`;
    // a shorter `data` leaves the rest zero. Sets the changed flag.
    void WriteValue(std::span<const uint8_t> data);

    friend bool operator==(const IoDataItem&, const IoDataItem&) = default;

private:
    std::array<uint8_t, kImageSize> image_{};
    std::vector<uint8_t> buffer_;
};

// A default item of the slave's I/O groups: a byte string of `size` bytes.
IoDataItem MakeDefaultItem(std::string_view name, std::string_view description, bool input, uint16_t size);

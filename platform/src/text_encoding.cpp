#include "platform/text_encoding.h"

#include "platform/gb18030_decoder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>

namespace platform {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when the bytes there are not valid UTF-8.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    return len;
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

// Converts with the open converter `cd`; on an invalid or incomplete input sequence appends
// `replacement` and skips one input byte.
std::string ConvertWith(void* cd, std::string_view in, std::string_view replacement) {
    iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(static_cast<iconv_t>(cd), &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: one bad byte.
            out.append(replacement);
            ++src;
            --srcLeft;
            iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement) {
    IconvHandle cd = OpenIconv(to, from);
    if (!cd) return std::string(in);
    return ConvertWith(cd.get(), in, replacement);
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        // Plain ASCII, the bulk of most texts, eight bytes at a time.
        if (i + 8 <= bytes.size()) {
            uint64_t word;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        size_t n = Utf8SequenceLength(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string ToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Convert("UTF-8", "GB18030", bytes, kReplacementCharacter);
}

Gb18030Decoder::Gb18030Decoder() = default;
Gb18030Decoder::~Gb18030Decoder() = default;

void Gb18030Decoder::Closer::operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }

std::string Gb18030Decoder::ToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    if (!cd_) {
        iconv_t cd = iconv_open("UTF-8", "GB18030");
        if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
        cd_.reset(cd);
    }
    return ConvertWith(cd_.get(), bytes, kReplacementCharacter);
}

std::string Utf8ToGb18030(std::string_view utf8) { return Convert("GB18030", "UTF-8", utf8, "?"); }

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the sequence that would be split.
    size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    if (start < end) {
        size_t n = Utf8SequenceLength(text, start);
        if (n == 0 || start + n > end) end = start;
    }
    return std::string(text.substr(0, end));
}

std::string_view DropIncompleteTail(std::string_view text) {
    size_t start = text.size();
    // At most three continuation bytes can belong to the last sequence.
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0) return text;
    size_t lead = start - 1;
    if (static_cast<unsigned char>(text[lead]) < 0x80) return text;
    if (Utf8SequenceLength(text, lead) == 0 && lead + 4 > text.size()) {
        // A lead byte whose sequence runs past the end: cut before it.
        unsigned char c = static_cast<unsigned char>(text[lead]);
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (lead + need > text.size()) return text.substr(0, lead);
    }
    return text;
}

}  // namespace platform

#include "resources/language_text.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <type_traits>

#include "platform/text_encoding.h"

namespace resources {
namespace {

struct IconvCloser {
    void operator()(std::remove_pointer_t<iconv_t>* cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// `from` to UTF-8; a byte that does not decode becomes U+FFFD.
std::string ToUtf8From(const char* from, std::string_view in) {
    iconv_t raw = iconv_open("UTF-8", from);
    if (raw == reinterpret_cast<iconv_t>(-1)) return platform::ToUtf8(in);
    IconvHandle cd(raw);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 16);
    char buffer[4096];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Invalid or cut sequence: replace one byte and go on.
            out.append("\xEF\xBF\xBD");
            ++src;
            --srcLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string Gb18030ToUtf8(std::string_view in) { return ToUtf8From("GB18030", in); }

std::string Lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

}  // namespace

std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.substr(0, 5) != "<?xml") return {};
    const size_t end = bytes.find("?>");
    std::string_view decl = bytes.substr(0, end);
    const size_t key = decl.find("encoding");
    if (key == std::string_view::npos) return {};
    size_t pos = decl.find_first_of("\"'", key);
    if (pos == std::string_view::npos) return {};
    const char quote = decl[pos];
    const size_t close = decl.find(quote, pos + 1);
    if (close == std::string_view::npos) return {};
    return std::string(decl.substr(pos + 1, close - pos - 1));
}

std::string LanguageFileText(std::string_view bytes) {
    // Files saved as "Unicode" by Windows editors: UTF-16 with a byte-order mark.
    if (bytes.substr(0, 2) == "\xFF\xFE") return ToUtf8From("UTF-16LE", bytes.substr(2));
    if (bytes.substr(0, 2) == "\xFE\xFF") return ToUtf8From("UTF-16BE", bytes.substr(2));
    const std::string encoding = Lower(DeclaredEncoding(bytes));
    if (encoding == "gb2312" || encoding == "gbk" || encoding == "gb18030" || encoding == "cp936") {
        return Gb18030ToUtf8(bytes);
    }
    return platform::IsValidUtf8(bytes) ? std::string(bytes) : Gb18030ToUtf8(bytes);
}

}  // namespace resources

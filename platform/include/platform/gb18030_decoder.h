// Turns many texts from files written on Chinese systems (GB18030) into UTF-8 with one
// converter kept open, for readers that convert a file's texts one by one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

class Gb18030Decoder {
public:
    Gb18030Decoder();
    ~Gb18030Decoder();
    Gb18030Decoder(const Gb18030Decoder&) = delete;
    Gb18030Decoder& operator=(const Gb18030Decoder&) = delete;

    // The same as ToUtf8: valid UTF-8 unchanged, anything else decoded as GB18030 with U+FFFD
    // for bytes that are not valid GB18030 either.
    std::string ToUtf8(std::string_view bytes);

private:
    struct Closer {
        void operator()(void* cd) const;
    };
    std::unique_ptr<void, Closer> cd_;  // opened at the first text that needs it
};

}  // namespace platform

// The byte scanner of EDS files: one pass, the first matching rule wins for every byte.
//
// The rules act on a handful of bytes only. Between them the scanner copies whole runs: the
// text of a quoted string up to the next quote, backslash or line feed, and the text of a key or
// an unquoted value up to the next rule byte, with blanks and line ends left out. Every byte a
// run stops at goes through the full rules, so the result is the same as byte by byte.
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "eds/eds_file.h"
#include "platform/no_coverage.h"

namespace DeviceNetEDS {
namespace {

int32_t FixedSectionNumber(std::string_view name) {
    static constexpr std::string_view kNames[] = {"File",   "Device",  "ParamClass", "IO_Info",
                                                  "Params", "EnumPar", "Groups",     "Assembly"};
    for (int32_t i = 0; i < 8; ++i)
        if (name == kNames[i]) return i;
    return -1;
}

// What the fast runs look for, one flag per meaning: outside quotes and outside a header, a
// blank or line end (left out of keys and values) and a byte a rule acts on; inside quotes, a
// byte that ends a run of plain text; in a comment, the line end that ends it. One table lookup
// per byte instead of several comparisons.
enum ByteFlag : uint8_t { kBlank = 1, kRule = 2, kQuotedStop = 4, kCommentEnd = 8 };

constexpr std::array<uint8_t, 256> MakeByteFlags() {
    std::array<uint8_t, 256> flags{};
    for (unsigned char c : {' ', '\t', '\r', '\n'}) flags[c] |= kBlank;
    for (unsigned char c : {'$', '[', '=', ';', '"'}) flags[c] |= kRule;
    for (unsigned char c : {'"', '\\', '\n'}) flags[c] |= kQuotedStop;
    for (unsigned char c : {'\r', '\n'}) flags[c] |= kCommentEnd;
    return flags;
}

constexpr std::array<uint8_t, 256> kByteFlags = MakeByteFlags();

uint8_t FlagsOf(char c) { return kByteFlags[static_cast<unsigned char>(c)]; }

// Long quoted texts and comments are passed eight bytes at a time while none of the bytes is
// one a run stops at: a byte of word ^ (c repeated) is zero exactly where the word holds c, and
// only for a zero byte the high bit of ((x & 0x7F..) + 0x7F..) | x stays clear.
constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

uint64_t Holds(uint64_t word, unsigned char c) {
    const uint64_t x = word ^ (kEveryByte * c);
    return ~(((x & kLow7) + kLow7) | x) & kHighBits;
}

uint64_t Word(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The runs between rule bytes. They hold no decision of the format, only the search for the
// next byte that matters; the rules themselves keep their coverage.

// The end of a comment: the next CR or LF, or `end`.
NORVANE_NO_COVERAGE const char* SkipComment(const char* p, const char* end) {
    while (end - p >= 8) {
        const uint64_t w = Word(p);
        if ((Holds(w, '\r') | Holds(w, '\n')) != 0) break;
        p += 8;
    }
    while (p != end && (FlagsOf(*p) & kCommentEnd) == 0) ++p;
    return p;
}

// Copies quoted text to `out` up to the next quote, backslash or line feed.
NORVANE_NO_COVERAGE const char* CopyQuoted(const char* p, const char* end, char*& out) {
    char* o = out;
    while (end - p >= 8) {
        const uint64_t w = Word(p);
        if ((Holds(w, '"') | Holds(w, '\\') | Holds(w, '\n')) != 0) break;
        std::memcpy(o, &w, sizeof w);
        p += 8;
        o += 8;
    }
    while (p != end && (FlagsOf(*p) & kQuotedStop) == 0) *o++ = *p++;
    out = o;
    return p;
}

// Copies unquoted text to `out` without its blanks and line ends, up to the next rule byte.
// Outside any section nothing is kept: a run is written and then forgotten.
NORVANE_NO_COVERAGE const char* CopyPlain(const char* p, const char* end, char*& out, bool collect) {
    char* o = out;
    for (;;) {
        while (p != end && (FlagsOf(*p) & (kBlank | kRule)) == 0) *o++ = *p++;
        if (collect) out = o;
        else o = out;
        while (p != end && (FlagsOf(*p) & kBlank) != 0) ++p;
        if (p == end || (FlagsOf(*p) & kRule) != 0) break;
    }
    return p;
}

class Scanner {
public:
    ScanResult Run(std::string_view bytes) {
        // Every byte gives at most one byte of key or value text; only a line feed inside quotes
        // gives two, and the room for those extra bytes is counted. So the runs are copied while
        // they are scanned, without size checks.
        text_.resize(bytes.size() + kExtraRoom);
        extraLeft_ = kExtraRoom;
        base_ = out_ = text_.data();
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        while (p != end) {
            if (inComment_) {
                p = SkipComment(p, end);
                if (p == end) break;
                inComment_ = false;
                ++p;
                continue;
            }
            if (!inHeader_ && !escapePending_) {
                if (inQuotes_) {
                    if (sectionOpen_ && inValue_) {
                        p = CopyQuoted(p, end, out_);
                        if (p == end) break;
                    }
                } else {
                    // Outside any section (no header closed yet) plain bytes are dropped.
                    // A discarded run is written and then forgotten.
                    p = CopyPlain(p, end, out_, sectionOpen_);
                    if (p == end) break;
                }
            }
            Step(*p++);
        }
        return Finish();
    }

private:
    // The rules for one byte, the first that matches wins: a comment starts at '$' and a header
    // at '['; ']' ends a header, '=' separates key and value and ';' ends the entry; '"' opens
    // and closes quotes, inside which '\\' escapes the next byte. All of them act only outside
    // quotes, except the closing quote and the escape. Other bytes are collected. (A comment
    // never reaches here: the run loop passes over it.)
    void Step(char c) {
        if (escapePending_) {
            escapePending_ = false;
            if (c == 'n') c = '\n';
            else if (c == 't') c = '\t';
        } else if (inQuotes_) {
            switch (c) {
                case '"': inQuotes_ = false; break;
                case '\\': escapePending_ = true; return;
                default: break;
            }
        } else {
            switch (c) {
                case '$': inComment_ = true; return;
                case '[':
                    if (inHeader_) break;
                    inHeader_ = true;
                    sectionOpen_ = false;
                    return;
                case ']':
                    if (!inHeader_) break;
                    EndHeader();
                    return;
                case '=':
                    if (!inValue_) keyLength_ = Written() - entryAt_;
                    inValue_ = true;
                    return;
                case ';': EndEntry(); return;
                case '"':
                    // Adjacent quoted strings are joined.
                    inQuotes_ = true;
                    if (inValue_ && Written() > entryAt_ + keyLength_ && out_[-1] == '"') {
                        --out_;
                        return;
                    }
                    break;
                default: break;
            }
        }
        Collect(c);
    }

    void Collect(char c) {
        if (inHeader_) {
            header_.push_back(c);
        } else if (sectionOpen_) {
            if (inValue_ && inQuotes_) {
                if (c == '\n') {
                    if (extraLeft_ == 0) MakeExtraRoom();
                    --extraLeft_;
                    *out_++ = '\r';
                }
                *out_++ = c;
            } else if ((FlagsOf(c) & kBlank) == 0) {
                *out_++ = c;
            }
        }
    }

    void EndHeader() {
        inHeader_ = false;
        int32_t number = FixedSectionNumber(header_);
        if (number < 0) {
            number = kFirstOther + result_.otherCounter++;
            auto [it, inserted] = result_.otherIndex.try_emplace(header_, number);
            if (!inserted) {
                // A repeated other section replaces the earlier one and its entries.
                others_.erase(it->second);
                it->second = number;
            }
        }
        current_ = number;
        currentEntries_ = nullptr;
        header_.clear();
        sectionOpen_ = true;
    }

    void EndEntry() {
        // Text outside any section (before the first header, or after an unclosed '[')
        // collects nothing; an empty entry there is not stored.
        if (!inValue_) keyLength_ = Written() - entryAt_;
        if (sectionOpen_ || Written() > entryAt_) {
            if (currentEntries_ == nullptr)
                currentEntries_ = current_ < kFirstOther ? &fixed_[static_cast<size_t>(current_)] : &others_[current_];
            builder_.AddWritten(*currentEntries_, entryAt_, keyLength_, Written() - entryAt_ - keyLength_);
        }
        entryAt_ = Written();
        keyLength_ = 0;
        inValue_ = false;
    }

    // Sorts the collected entries of every section into its map.
    ScanResult Finish() {
        text_.resize(Written());
        for (size_t i = 0; i < fixed_.size(); ++i) result_.fixed[i] = builder_.Build(std::move(fixed_[i]));
        for (auto& [number, entries] : others_) result_.others.emplace(number, builder_.Build(std::move(entries)));
        return std::move(result_);
    }

    ScanResult result_;  // the other sections' names; the entries come in at the end
    EntryMapBuilder builder_;
    // Keys and values are written straight into the builder's buffer: the entry being read
    // starts at entryAt_, and its key is keyLength_ bytes long once its '=' came.
    // Room past one byte per input byte for the CR bytes added before line feeds in quotes.
    void MakeExtraRoom() {
        const size_t written = Written();
        const size_t more = text_.size() / 8 + kExtraRoom;
        text_.resize(text_.size() + more);
        base_ = text_.data();
        out_ = base_ + written;
        extraLeft_ += more;
    }

    static constexpr size_t kExtraRoom = 64;
    std::string& text_ = builder_.Text();
    char* base_ = nullptr;  // text_.data()
    char* out_ = nullptr;  // where the next byte of text goes
    size_t extraLeft_ = 0;  // bytes of room left for CR bytes
    size_t Written() const { return static_cast<size_t>(out_ - base_); }
    size_t entryAt_ = 0, keyLength_ = 0;
    std::array<EntryMapBuilder::List, 8> fixed_;
    std::map<int32_t, EntryMapBuilder::List> others_;
    bool inComment_ = false, inHeader_ = false, sectionOpen_ = false, inValue_ = false;
    bool inQuotes_ = false, escapePending_ = false;
    std::string header_;
    int32_t current_ = kFileSection;
    // The entries of the current section, found at its first entry; a header resets it.
    EntryMapBuilder::List* currentEntries_ = nullptr;
};

}  // namespace

ScanResult ScanEds(std::string_view bytes) { return Scanner().Run(bytes); }

}  // namespace DeviceNetEDS

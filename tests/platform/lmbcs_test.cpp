// LMBCS text: encoding and decoding, measuring, character classes,
// translation tables and collation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "status_codes.h"
#include "talix_platform.h"

using namespace plat;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char part[4];
    for (unsigned char c : bytes) {
        std::snprintf(part, sizeof part, "%02X ", c);
        out += part;
    }
    return out;
}

std::string Utf8(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    int trailing = c < 0x800 ? 1 : (c < 0x10000 ? 2 : 3);
    std::string out(1, static_cast<char>(((0xFF << (7 - trailing)) & 0xFF) | (c >> (6 * trailing))));
    for (int i = trailing - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
    return out;
}

// A translation table loaded for one test and unloaded after it.
class Table {
public:
    explicit Table(WORD charsetId) { status_ = CharsetLoad(charsetId, &handle_); }
    ~Table() {
        if (status_ == NOERROR) CharsetUnload(handle_);
    }
    STATUS status() const { return status_; }
    // The translated bytes, or "<status N>".
    std::string Translate(WORD mode, const std::string& src, DWORD limit = 256) const {
        std::vector<char> out(limit + 1, '\x55');
        DWORD length = 0;
        STATUS status = CharsetTranslate(handle_, mode, src.data(), static_cast<DWORD>(src.size()), out.data(),
                                         limit, &length);
        if (status != NOERROR) return "<status " + std::to_string(status) + ">";
        EXPECT_EQ(out[limit], '\x55') << "wrote past the limit";
        return std::string(out.data(), length);
    }

private:
    CharsetHandle handle_ = 0;
    STATUS status_ = 0;
};

// A code point as 4 bytes little-endian and two zero bytes.
std::string CodePoint(char32_t c) {
    return Bytes({static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c >> 16), 0, 0, 0});
}

} // namespace

TEST(Lmbcs, EncodesThePreferredFormsAndDecodesEveryGroup) {
    struct Case {
        char32_t c;
        std::string lmbcs;
    } encoded[] = {
        {U'A', "A"}, {0xE9, Bytes({0x82})}, {0xA3, Bytes({0x9C})}, {0xA0, Bytes({0xFF})},  // optimisation group
        {0x2122, Bytes({0x01, 0x76})}, {0x0152, Bytes({0x01, 0x40})},                      // group-1 exceptions
        {0x20AC, Bytes({0x14, 0x20, 0xAC})}, {0x0416, Bytes({0x14, 0x04, 0x16})},          // Unicode group
        {0x1E00, Bytes({0x14, 0xF6, 0x1E})}, {0x1F600, Bytes({0x14, 0xD8, 0x3D, 0x14, 0xF6, 0xDE})},
        {0x01, Bytes({0x0F, 0x21})}, {0x85, Bytes({0x0F, 0x85})}, {0x0A, "\n"}, {0x7F, "\x7F"},
    };
    for (const Case& c : encoded) {
        EXPECT_EQ(Hex(NativeToLmbcs(Utf8(c.c))), Hex(c.lmbcs)) << std::hex << static_cast<int>(c.c);
    }
    EXPECT_EQ(NativeToLmbcs(std::string("a\0b", 3)), std::string("a\0b", 3));

    Case decoded[] = {
        {0x0391, Bytes({0x02, 0xA4})}, {0x05D0, Bytes({0x03, 0xE0})}, {0x0416, Bytes({0x05, 0xC6})},
        {0x0101, Bytes({0x06, 0x01})}, {0x0E01, Bytes({0x0B, 0xA1})}, {0x001F, Bytes({0x0F, 0x3F})},
        {0x65E5, Bytes({0x10, 0x93, 0xFA})}, {0xFF71, Bytes({0x10, 0x10, 0xB1})},
        {0xD55C, Bytes({0x11, 0xC7, 0xD1})}, {0x0201, Bytes({0x14, 0x02, 0x01})},
        {0xFFFF, Bytes({0x14, 0xFF, 0xFF})}, {0x2122, Bytes({0x01, 0x76})},
    };
    for (const Case& c : decoded) EXPECT_EQ(LmbcsToNative(c.lmbcs), Utf8(c.c)) << Hex(c.lmbcs);
}

TEST(Lmbcs, InvalidInputIsReplaced) {
    const std::string bad = Utf8(0xFFFD);
    EXPECT_EQ(LmbcsToNative(Bytes({'a', 0x07, 'b'})), "a" + bad + "b");
    EXPECT_EQ(LmbcsToNative(Bytes({0x15, 'A'})), bad + "A");
    EXPECT_EQ(LmbcsToNative(Bytes({'x', 0x10, 0x93})), "x" + bad);  // cut double-byte character
    EXPECT_EQ(LmbcsToNative(Bytes({0x14, 0xD8, 0x3D})), bad);       // lone surrogate

    EXPECT_EQ(NativeToLmbcs("a\xC3"), "a?");
    EXPECT_EQ(NativeToLmbcs("\xFF" "b"), "?b");
    EXPECT_EQ(NativeToLmbcs("\xED\xA0\x80"), "???");  // an encoded surrogate
    EXPECT_EQ(NativeToLmbcs("\xC0\xAF"), "??");       // overlong form
}

// The native form of a text as the conversion into a buffer makes it: the
// text decoded whole, one character after the other.
std::string DecodedWhole(const std::string& lmbcs) {
    std::vector<char> out(4 * lmbcs.size() + 1);
    const DWORD length = LmbcsToNativeBuf(lmbcs.data(), static_cast<DWORD>(lmbcs.size()), out.data(),
                                          static_cast<DWORD>(out.size()));
    return std::string(out.data(), length);
}

TEST(Lmbcs, TextOfAnyBytesConvertsAsDecodedWhole) {
    // Every first byte before, between and after plain characters, with
    // trailing bytes that are group bytes, plain characters, zero bytes and
    // the halves of surrogates; and texts of such bytes at random.
    const int trails[] = {0x00, 0x01, 0x0A, 0x0F, 0x14, 0x1F, 0x20, 0x41, 0x7F, 0x80, 0xAC, 0xD8, 0xDC, 0xF6, 0xFF};
    for (int first = 0; first < 256; ++first) {
        for (int a : trails) {
            for (int b : trails) {
                const std::string texts[] = {Bytes({first, a, b}), Bytes({'x', first, a, 'y', b, first}),
                                             Bytes({first, a, b, 0x14, a, b, ' ', first})};
                for (const std::string& text : texts)
                    ASSERT_EQ(LmbcsToNative(text), DecodedWhole(text)) << Hex(text);
            }
        }
    }
    std::mt19937 random(54);
    const int alphabet[] = {0x00, 0x01, 0x07, 0x09, 0x0A, 0x0D, 0x0F, 0x10, 0x14, 0x19, 0x20,
                            0x41, 0x7F, 0x82, 0xD8, 0xDC, 0xF6, 0xFF, 'a', '<'};
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        const int length = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += static_cast<char>(random() % 4 == 0 ? random() & 0xFF : alphabet[random() % std::size(alphabet)]);
        ASSERT_EQ(LmbcsToNative(text), DecodedWhole(text)) << Hex(text);
    }
    // A supplementary character is one character whole, and two halves with
    // a plain character between them.
    const std::string pair = NativeToLmbcs("\U0001F600");
    ASSERT_EQ(pair.size(), 6u);
    EXPECT_EQ(LmbcsToNative(pair), "\U0001F600");
    const std::string parted = pair.substr(0, 3) + "a" + pair.substr(3);
    EXPECT_EQ(LmbcsToNative(parted), DecodedWhole(parted));
    EXPECT_EQ(LmbcsToNative(parted), Utf8(0xFFFD) + "a" + Utf8(0xFFFD));
    // Long plain stretches, with a character outside ASCII at each place.
    std::string plain(100, 'p');
    for (size_t at = 0; at <= plain.size(); at += 7) {
        const std::string text = plain.substr(0, at) + NativeToLmbcs("\u00E9\u20AC") + plain.substr(at) + "\t\r\n";
        ASSERT_EQ(LmbcsToNative(text), plain.substr(0, at) + "\u00E9\u20AC" + plain.substr(at) + "\t\r\n");
    }
}

TEST(Lmbcs, AppendsWholeCharactersOnly) {
    const std::string text = NativeToLmbcs("a\u00E9\u2122\u20AC");   // 1 + 1 + 2 + 3 bytes
    std::string out = "before ";
    EXPECT_EQ(LmbcsAppendNative(text, out, true), text.size());
    EXPECT_EQ(out, "before a\u00E9\u2122\u20AC");
    // A character cut short at the end is left out and not counted.
    for (size_t cut : {size_t{1}, size_t{2}}) {
        std::string part;
        EXPECT_EQ(LmbcsAppendNative(text.substr(0, text.size() - cut), part, true), text.size() - 3);
        EXPECT_EQ(part, "a\u00E9\u2122");
    }
    std::string cutTwo;
    EXPECT_EQ(LmbcsAppendNative(text.substr(0, 3), cutTwo, true), 2u);   // "a", "é", half of "™"
    EXPECT_EQ(cutTwo, "a\u00E9");
    // So is the first half of a character beyond 16 bits: its second half
    // may follow.
    const std::string pair = NativeToLmbcs("b\U0001F600");
    std::string half;
    EXPECT_EQ(LmbcsAppendNative(pair.substr(0, 4), half, true), 1u);
    EXPECT_EQ(half, "b");
    EXPECT_EQ(LmbcsAppendNative(pair, half, true), pair.size());
    EXPECT_EQ(half, "bb\U0001F600");
    // Without wholeOnly the cut character is converted as it stands.
    std::string all;
    EXPECT_EQ(LmbcsAppendNative(text.substr(0, text.size() - 1), all), text.size() - 1);
    EXPECT_EQ(all, DecodedWhole(text.substr(0, text.size() - 1)));
}

TEST(Lmbcs, AppendsIntoABufferAsIntoAString) {
    const std::string text = NativeToLmbcs("a\u00E9\u2122\u20AC plain b\U0001F600");
    std::vector<char> buffer(4 + 3 * text.size());
    std::memcpy(buffer.data(), "pre ", 4);
    // Cut anywhere, whole characters only or not: what a string gets.
    for (bool wholeOnly : {false, true}) {
        for (size_t cut = 0; cut < text.size(); ++cut) {
            const std::string part = text.substr(0, text.size() - cut);
            std::string expected = "pre ";
            const size_t converted = LmbcsAppendNative(part, expected, wholeOnly);
            size_t used = 4;
            EXPECT_EQ(LmbcsAppendNative(part, buffer.data(), buffer.size(), &used, wholeOnly), converted);
            EXPECT_EQ(std::string(buffer.data(), used), expected) << "cut " << cut << " whole " << wholeOnly;
        }
    }
    // Without room for three bytes of each byte nothing is written; a byte
    // that is no character takes all three.
    size_t used = 4;
    EXPECT_EQ(LmbcsAppendNative(text, buffer.data(), buffer.size() - 1, &used), 0u);
    EXPECT_EQ(used, 4u);
    char three[3];
    used = 0;
    EXPECT_EQ(LmbcsAppendNative("\x10", three, sizeof three, &used), 1u);
    EXPECT_EQ(std::string(three, used), "\xEF\xBF\xBD");
}

TEST(Lmbcs, EveryCodePointRoundTrips) {
    for (char32_t start = 0; start <= 0x10FFFF; start += 0x1000) {
        std::string native;
        DWORD characters = 0;  // a supplementary character is two LMBCS characters
        for (char32_t c = start == 0 ? 1 : start; c < start + 0x1000 && c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            native += Utf8(c);
            characters += c > 0xFFFF ? 2 : 1;
        }
        std::string lmbcs = NativeToLmbcs(native);
        EXPECT_EQ(LmbcsCharCount(lmbcs.data(), static_cast<DWORD>(lmbcs.size())), characters);
        if (LmbcsToNative(lmbcs) == native) continue;
        for (char32_t c = start; c < start + 0x1000; ++c) {  // name the first character that fails
            std::string one = NativeToLmbcs(Utf8(c));
            ASSERT_TRUE((c >= 0xD800 && c <= 0xDFFF) || LmbcsToNative(one) == Utf8(c))
                << std::hex << static_cast<int>(c) << " as " << Hex(one);
        }
    }
}

TEST(Lmbcs, MeasuresWithoutReadingPastTheEnd) {
    // Heap copies of exactly the given size, so that an overread is caught.
    auto length = [](std::initializer_list<int> values) {
        std::vector<BYTE> bytes(values.begin(), values.end());
        return LmbcsCharLength(bytes.data(), static_cast<DWORD>(bytes.size()));
    };
    EXPECT_EQ(length({'A'}), 1);
    EXPECT_EQ(length({0x82}), 1);
    EXPECT_EQ(length({0x01, 0x76}), 2);
    EXPECT_EQ(length({0x10, 0x93, 0xFA}), 3);
    EXPECT_EQ(length({0x14, 0x20}), 2);  // cut: no more than available
    EXPECT_EQ(length({0x07}), 1);        // cannot start a character
    EXPECT_EQ(LmbcsCharLength(nullptr, 0), 0);
    EXPECT_TRUE(LmbcsIsLeadByte(0x14));
    EXPECT_FALSE(LmbcsIsLeadByte(0x82));

    std::string text = NativeToLmbcs("A\u20AC\u2122\u00E9");  // 1 + 3 + 2 + 1 bytes
    std::vector<char> heap(text.begin(), text.end());
    EXPECT_EQ(LmbcsCharCount(heap.data(), 7), 4u);
    EXPECT_EQ(LmbcsCharCount(heap.data(), 3), 2u);        // "A" and a cut "€"
    EXPECT_EQ(LmbcsByteLength(heap.data(), 2, 7), 4u);
    EXPECT_EQ(LmbcsByteLength(heap.data(), 0, 7), 7u);    // 0: as many as there are
    EXPECT_EQ(LmbcsByteLength(heap.data(), 3, 5), 4u);    // "™" would pass the limit: left out whole

    // A NUL ends the text, also inside a broken character.
    std::vector<char> withNul = {'a', '\x14', 'x', '\0', 'c', 'd'};
    EXPECT_EQ(LmbcsCharCount(withNul.data(), 6), 2u);
    EXPECT_EQ(LmbcsByteLength(withNul.data(), 0, 6), 3u);
}

TEST(Lmbcs, BufferConversionsStopAtAWholeCharacter) {
    char out[8];
    std::string native = "a\u20AC";  // "€" takes 3 LMBCS bytes
    EXPECT_EQ(NativeToLmbcsBuf(native.data(), static_cast<DWORD>(native.size()), out, 4), 1u);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(NativeToLmbcsBuf(native.data(), static_cast<DWORD>(native.size()), out, 5), 4u);
    EXPECT_EQ(std::string(out, 5), NativeToLmbcs(native) + '\0');

    std::string lmbcs = NativeToLmbcs("x\u00E9\u65E5");  // UTF-8: 1 + 2 + 3 bytes
    EXPECT_EQ(LmbcsToNativeBuf(lmbcs.data(), static_cast<DWORD>(lmbcs.size()), out, 3), 1u);
    EXPECT_STREQ(out, "x");
    EXPECT_EQ(LmbcsToNativeBuf(lmbcs.data(), static_cast<DWORD>(lmbcs.size()), out, 7), 6u);
    EXPECT_STREQ(out, "x\u00E9\u65E5");
}

TEST(Lmbcs, WordCharactersOfAnyScript) {
    struct Case {
        const char* native;
        WORD charClass;
    } cases[] = {
        {"a", CHAR_CLASS_ALPHA},     {"\u0416", CHAR_CLASS_ALPHA}, {"\u65E5", CHAR_CLASS_ALPHA},
        {"\u0301", CHAR_CLASS_ALPHA},  // a combining accent stays in its word
        {"7", CHAR_CLASS_DIGIT},     {"\u0663", CHAR_CLASS_DIGIT}, {" ", CHAR_CLASS_SPACE},
        {"\u00A0", CHAR_CLASS_SPACE}, {",", CHAR_CLASS_PUNCT},     {"\u00BF", CHAR_CLASS_PUNCT},
        {"\u20AC", CHAR_CLASS_OTHER},
    };
    for (const Case& c : cases) {
        std::string lmbcs = NativeToLmbcs(c.native);
        std::vector<BYTE> heap(lmbcs.begin(), lmbcs.end());
        EXPECT_EQ(LmbcsCharClass(heap.data(), static_cast<DWORD>(heap.size())), c.charClass) << c.native;
    }
    std::vector<BYTE> cut = {0x10, 0x93};
    EXPECT_EQ(LmbcsCharClass(cut.data(), 2), CHAR_CLASS_OTHER);
}

TEST(Charset, TranslatesLmbcsIntoASet) {
    std::string text = NativeToLmbcs("A\u00E9\u20AC");
    EXPECT_EQ(Table(CHARSET_LATIN1).Translate(XLATE_LMBCS_TO_SET, text), "A\xE9?");
    EXPECT_EQ(Table(CHARSET_ASCII).Translate(XLATE_LMBCS_TO_SET, text), "A??");
    EXPECT_EQ(Table(82).Translate(XLATE_LMBCS_TO_SET, text), "A\xE9\x80");  // windows-1252
    EXPECT_EQ(Hex(Table(CHARSET_UNICODE).Translate(XLATE_LMBCS_TO_SET, text + NativeToLmbcs("\U0001F600"))),
              Hex(Bytes({'A', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE})));
    EXPECT_EQ(Table(CHARSET_LMBCS).Translate(XLATE_LMBCS_TO_SET, text), text);
    Table utf8(CHARSET_UTF8);
    EXPECT_EQ(utf8.Translate(XLATE_LMBCS_TO_SET, text), "A\u00E9\u20AC");
    EXPECT_EQ(utf8.Translate(XLATE_LMBCS_TO_SET, text, 5), "A\u00E9");  // cut after a whole character
}

TEST(Charset, CutsStatefulSetsIntoTextsThatReadBack) {
    std::string text = NativeToLmbcs("ab\u65E5\u672C\u8A9Ecd\u65E5");
    for (WORD set : {WORD{3276}, WORD{CHARSET_UTF7}}) {  // ISO-2022-JP, UTF-7
        Table table(set);
        std::string whole = table.Translate(XLATE_LMBCS_TO_SET, text);
        ASSERT_EQ(table.Translate(XLATE_SET_TO_LMBCS, whole), text) << set;
        for (DWORD limit = 0; limit < whole.size(); ++limit) {
            std::string part = table.Translate(XLATE_LMBCS_TO_SET, text, limit);
            std::string back = table.Translate(XLATE_SET_TO_LMBCS, part);
            EXPECT_EQ(back, text.substr(0, back.size())) << "set " << set << " limit " << limit;
        }
    }
}

TEST(Charset, TranslatesASetOrACodePointIntoLmbcsOrASet) {
    Table utf8(CHARSET_UTF8);
    std::string native = "Gr\u00FC\u00DFe \u20AC \u65E5";
    EXPECT_EQ(utf8.Translate(XLATE_SET_TO_LMBCS, native), NativeToLmbcs(native));
    EXPECT_EQ(utf8.Translate(XLATE_SET_TO_LMBCS, "a\u20AC", 3), "a");
    EXPECT_EQ(Hex(utf8.Translate(XLATE_SET_TO_LMBCS, "\xFF")), Hex(Bytes({0x14, 0xFF, 0xFD})));
    EXPECT_EQ(Hex(Table(CHARSET_LATIN1).Translate(XLATE_SET_TO_LMBCS, "\xE9\xA3")), Hex(Bytes({0x82, 0x9C})));
    EXPECT_EQ(Table(CHARSET_UNICODE).Translate(XLATE_SET_TO_LMBCS, Bytes({0x16, 0x04, 'a', 0})),
              NativeToLmbcs("\u0416a"));

    EXPECT_EQ(utf8.Translate(XLATE_UNICODE_TO_SET, CodePoint(0x20AC), 6), "\u20AC");
    EXPECT_EQ(utf8.Translate(XLATE_UNICODE_TO_SET, CodePoint(0x1F600), 6), "\U0001F600");
    EXPECT_EQ(utf8.Translate(XLATE_UNICODE_TO_SET, CodePoint(0xD800), 6), "?");
    EXPECT_EQ(utf8.Translate(XLATE_UNICODE_TO_SET, "abc"), "<status " + std::to_string(ERR_BAD_ARGUMENT) + ">");
    EXPECT_EQ(Table(CHARSET_LATIN1).Translate(XLATE_UNICODE_TO_SET, CodePoint(0x20AC), 6), "?");
    EXPECT_EQ(Hex(Table(CHARSET_UNICODE).Translate(XLATE_UNICODE_TO_SET, CodePoint(0x20AC), 6)),
              Hex(Bytes({0xAC, 0x20})));
    EXPECT_EQ(Hex(Table(CHARSET_LMBCS).Translate(XLATE_UNICODE_TO_SET, CodePoint(0x2122), 6)),
              Hex(Bytes({0x01, 0x76})));
}

TEST(Charset, LoadingAndHandles) {
    for (WORD set : {31, 32, 160, 170, 171, 256, 257, 258, 80, 81, 82, 33, 34, 35, 36, 37, 38, 39, 40, 3303, 3308,
                     26, 27, 28, 3301, 3276}) {
        EXPECT_EQ(Table(set).status(), NOERROR) << set;
    }
    CharsetHandle handle = 99;
    EXPECT_EQ(CharsetLoad(3299, &handle), ERR_CHARSET);  // BASE64 is no character set
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(CharsetLoad(CHARSET_UTF8, nullptr), ERR_BAD_ARGUMENT);

    ASSERT_EQ(CharsetLoad(CHARSET_UTF8, &handle), NOERROR);
    char out[8];
    DWORD length = 0;
    EXPECT_EQ(CharsetTranslate(handle, 7, "a", 1, out, sizeof out, &length), ERR_BAD_ARGUMENT);
    EXPECT_EQ(CharsetUnload(handle), NOERROR);
    EXPECT_EQ(CharsetUnload(handle), ERR_INVALID_HANDLE);
    EXPECT_EQ(CharsetTranslate(handle, XLATE_SET_TO_LMBCS, "a", 1, out, sizeof out, &length), ERR_INVALID_HANDLE);
}

TEST(Charset, SetsMailIsWrittenIn) {
    EXPECT_EQ(Table(CHARSET_LATIN9).Translate(XLATE_SET_TO_LMBCS, "\xA4\xBD"), NativeToLmbcs("\u20AC\u0153"));
    EXPECT_EQ(Table(CHARSET_WINDOWS_1253).Translate(XLATE_SET_TO_LMBCS, "\xE1\xF9"), NativeToLmbcs("\u03B1\u03C9"));
    EXPECT_EQ(Table(CHARSET_WINDOWS_1258).Translate(XLATE_LMBCS_TO_SET, NativeToLmbcs("\u01B0\u20AB\u4E2D")),
              "\xFD\xFE?");
    EXPECT_EQ(Table(CHARSET_GBK).Translate(XLATE_SET_TO_LMBCS, "\x81\x40\xD6\xD0"), NativeToLmbcs("\u4E02\u4E2D"));
    EXPECT_EQ(Table(CHARSET_GB18030).Translate(XLATE_SET_TO_LMBCS, "\x95\x32\x82\x36"), NativeToLmbcs("\U00020000"));

    // GB2312 as mail holds it: its own codes as the GB2312 table reads them,
    // GBK's beside them (leads below 0xA1, codes GB2312 leaves unassigned);
    // written as GB2312.
    Table gb(CHARSET_GB2312_GBK);
    EXPECT_EQ(gb.Translate(XLATE_SET_TO_LMBCS, "a\xD6\xD0\xA1\xA4\x81\x40\xA2\xA1\x80\xFF"),
              NativeToLmbcs("a\u4E2D") + Table(27).Translate(XLATE_SET_TO_LMBCS, "\xA1\xA4") +
                  NativeToLmbcs("\u4E02\u2170\u20AC\uFFFD"));
    EXPECT_EQ(gb.Translate(XLATE_SET_TO_LMBCS, "\xD6"), NativeToLmbcs("\uFFFD"));
    EXPECT_EQ(gb.Translate(XLATE_LMBCS_TO_SET, NativeToLmbcs("\u4E2D\u4E02")),
              Table(27).Translate(XLATE_LMBCS_TO_SET, NativeToLmbcs("\u4E2D\u4E02")));

    // UTF-16: the byte-order mark says the order, else high byte first.
    Table utf16(CHARSET_UTF16);
    EXPECT_EQ(utf16.Translate(XLATE_SET_TO_LMBCS, Bytes({0xFF, 0xFE, 0x2D, 0x4E, 'a', 0})), NativeToLmbcs("\u4E2Da"));
    EXPECT_EQ(utf16.Translate(XLATE_SET_TO_LMBCS, Bytes({0xFE, 0xFF, 0x4E, 0x2D})), NativeToLmbcs("\u4E2D"));
    EXPECT_EQ(utf16.Translate(XLATE_SET_TO_LMBCS, Bytes({0x4E, 0x2D, 0xD8, 0x34, 0xDD, 0x1E})),
              NativeToLmbcs("\u4E2D\U0001D11E"));
    EXPECT_EQ(Table(CHARSET_UTF16BE).Translate(XLATE_SET_TO_LMBCS, Bytes({0x4E, 0x2D, 0, 'a'})),
              NativeToLmbcs("\u4E2Da"));
}

TEST(Collation, SwitchesForCaseAndAccents) {
    auto compare = [](const char* a, const char* b, bool ignoreCase, bool ignoreAccents) {
        std::string x = NativeToLmbcs(a), y = NativeToLmbcs(b);
        return Collate(x.data(), static_cast<DWORD>(x.size()), y.data(), static_cast<DWORD>(y.size()), ignoreCase,
                       ignoreAccents);
    };
    const char* accented = "r\u00E9sum\u00E9";
    for (bool ignoreCase : {false, true}) {
        for (bool ignoreAccents : {false, true}) {
            EXPECT_EQ(compare("abc", "ABC", ignoreCase, ignoreAccents) == 0, ignoreCase);
            EXPECT_EQ(compare("resume", accented, ignoreCase, ignoreAccents) == 0, ignoreAccents);
        }
    }
    // Linguistic order, not byte order; the sign says which comes first.
    EXPECT_LT(compare("apple", "Banana", false, false), 0);
    EXPECT_GT(compare("Banana", "apple", true, true), 0);
    EXPECT_LT(compare(accented, "rz", false, false), 0);
    EXPECT_LT(compare("", "a", true, true), 0);
}

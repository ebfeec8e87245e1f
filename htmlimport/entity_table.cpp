// The HTML 4.01 entity table and the look-up of an entity by the bytes of a
// character. The native forms are built once, from the code points, through
// the platform's conversion; the look-ups are by index and hash, so that
// encoding a text costs a few memory reads a character.
#include "htmlimport/entity_table.h"

#include <array>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "talix_platform.h"

namespace talix {

namespace {

struct NameAndCode {
    const char* name;
    std::uint32_t codePoint;
};

// Latin-1 (96), symbols (124) and special characters (32), in the standard's
// order.
constexpr NameAndCode kEntities[kEntityCount] = {
    // Latin-1: U+00A0 to U+00FF, "nbsp" counted as a blank.
    {"nbsp", 32}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164}, {"yen", 165},
    {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169}, {"ordf", 170}, {"laquo", 171},
    {"not", 172}, {"shy", 173}, {"reg", 174}, {"macr", 175}, {"deg", 176}, {"plusmn", 177},
    {"sup2", 178}, {"sup3", 179}, {"acute", 180}, {"micro", 181}, {"para", 182}, {"middot", 183},
    {"cedil", 184}, {"sup1", 185}, {"ordm", 186}, {"raquo", 187}, {"frac14", 188}, {"frac12", 189},
    {"frac34", 190}, {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194}, {"Atilde", 195},
    {"Auml", 196}, {"Aring", 197}, {"AElig", 198}, {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201},
    {"Ecirc", 202}, {"Euml", 203}, {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207},
    {"ETH", 208}, {"Ntilde", 209}, {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213},
    {"Ouml", 214}, {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},
    {"Uuml", 220}, {"Yacute", 221}, {"THORN", 222}, {"szlig", 223}, {"agrave", 224}, {"aacute", 225},
    {"acirc", 226}, {"atilde", 227}, {"auml", 228}, {"aring", 229}, {"aelig", 230}, {"ccedil", 231},
    {"egrave", 232}, {"eacute", 233}, {"ecirc", 234}, {"euml", 235}, {"igrave", 236}, {"iacute", 237},
    {"icirc", 238}, {"iuml", 239}, {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243},
    {"ocirc", 244}, {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248}, {"ugrave", 249},
    {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253}, {"thorn", 254}, {"yuml", 255},
    // Symbols: Latin Extended-B, Greek, punctuation, letter-like symbols,
    // arrows, mathematical operators, technical and geometric shapes, suits.
    {"fnof", 402},
    {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917}, {"Zeta", 918},
    {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924},
    {"Nu", 925}, {"Xi", 926}, {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931},
    {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949}, {"zeta", 950},
    {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954}, {"lambda", 955}, {"mu", 956},
    {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961}, {"sigmaf", 962},
    {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982},
    {"bull", 8226}, {"hellip", 8230}, {"prime", 8242}, {"Prime", 8243}, {"oline", 8254}, {"frasl", 8260},
    {"weierp", 8472}, {"image", 8465}, {"real", 8476}, {"trade", 8482}, {"alefsym", 8501},
    {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596}, {"crarr", 8629},
    {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659}, {"hArr", 8660},
    {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711}, {"isin", 8712},
    {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721}, {"minus", 8722}, {"lowast", 8727},
    {"radic", 8730}, {"prop", 8733}, {"infin", 8734}, {"ang", 8736}, {"and", 8743}, {"or", 8744},
    {"cap", 8745}, {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"cong", 8773},
    {"asymp", 8776}, {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834},
    {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853}, {"otimes", 8855},
    {"perp", 8869}, {"sdot", 8901},
    {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001}, {"rang", 9002},
    {"loz", 9674}, {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
    // Special characters.
    {"quot", 34}, {"amp", 38}, {"lt", 60}, {"gt", 62}, {"OElig", 338}, {"oelig", 339},
    {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"circ", 710}, {"tilde", 732}, {"ensp", 8194},
    {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206}, {"rlm", 8207},
    {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216}, {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220},
    {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"euro", 8364},
};

// The rows without a native form: the blank and the four markup characters,
// which the encoders treat themselves.
bool WithoutNativeForm(const NameAndCode& entity) {
    return entity.codePoint < 128;
}

constexpr std::uint8_t kGroupOneException = 0x01;
constexpr std::uint8_t kGroupGreek = 0x02;

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of a UTF-8 text that holds exactly one character, else -1.
std::int32_t SingleCodePoint(const char* text, std::size_t length) {
    if (length == 0) return -1;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text);
    std::uint32_t c = 0;
    std::size_t need = 0;
    if (p[0] < 0x80) {
        c = p[0];
    } else if ((p[0] & 0xE0) == 0xC0) {
        c = p[0] & 0x1F;
        need = 1;
    } else if ((p[0] & 0xF0) == 0xE0) {
        c = p[0] & 0x0F;
        need = 2;
    } else if ((p[0] & 0xF8) == 0xF0) {
        c = p[0] & 0x07;
        need = 3;
    } else {
        return -1;
    }
    if (length != need + 1) return -1;
    for (std::size_t i = 1; i <= need; ++i) {
        if ((p[i] & 0xC0) != 0x80) return -1;
        c = (c << 6) | (p[i] & 0x3F);
    }
    return static_cast<std::int32_t>(c);
}

// The code point of one LMBCS character, else -1 (also for a byte sequence
// the platform reads as no character).
std::int32_t CodePointOf(const char* character, std::uint16_t length) {
    const std::int32_t c = LmbcsCodePoint(character, length);
    return c == 0xFFFD ? -1 : c;
}

std::uint32_t Key(const std::uint8_t* bytes, std::size_t length) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < length; ++i) key = (key << 8) | bytes[i];
    return key;
}

// Row + 1 by a three-byte form: open addressing over a fixed array (a key
// of three bytes is never 0, which marks an empty slot).
class ThreeByteForms {
public:
    void Insert(std::uint32_t key, std::int16_t value) {
        for (std::size_t slot = Slot(key);; slot = (slot + 1) % kSlots) {
            if (keys_[slot] == key) return;   // the first row of a form keeps it
            if (keys_[slot] == 0) {
                keys_[slot] = key;
                values_[slot] = value;
                return;
            }
        }
    }
    int Find(std::uint32_t key) const {
        for (std::size_t slot = Slot(key);; slot = (slot + 1) % kSlots) {
            if (keys_[slot] == key) return values_[slot];
            if (keys_[slot] == 0) return 0;
        }
    }

private:
    static constexpr std::size_t kSlots = 1024;   // well above the forms of the table
    static std::size_t Slot(std::uint32_t key) { return (key * 2654435761u) >> 22; }
    std::array<std::uint32_t, kSlots> keys_{};
    std::array<std::int16_t, kSlots> values_{};
};

struct Table {
    EntityRow rows[kEntityCount];
    std::string natives[kEntityCount];
    // Row + 1 of each native form by its bytes (0: none); the three-byte
    // forms also hold the platform's own forms of the characters whose native
    // forms are shorter (the Unicode group of a Greek letter): the same
    // character, so the same row. By code point: every character with a
    // native form, for its forms of another length.
    std::array<std::int16_t, 256> byOneByte{};
    std::vector<std::int16_t> byTwoBytes = std::vector<std::int16_t>(65536, 0);
    ThreeByteForms byThreeBytes;
    std::unordered_map<std::uint32_t, std::int16_t> byCodePoint;

    Table() {
        // The Greek group: the characters its second bytes stand for.
        std::unordered_map<std::int32_t, std::uint8_t> greek;
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char form[2] = {static_cast<char>(kGroupGreek), static_cast<char>(b)};
            const std::int32_t c = CodePointOf(form, 2);
            if (c >= 0) greek.emplace(c, static_cast<std::uint8_t>(b));
        }
        std::vector<std::pair<std::string, int>> otherForms;
        for (int i = 0; i < kEntityCount; ++i) {
            const NameAndCode& entity = kEntities[i];
            rows[i].name = entity.name;
            rows[i].codePoint = entity.codePoint;
            if (WithoutNativeForm(entity)) continue;
            std::string utf8;
            AppendUtf8(utf8, entity.codePoint);
            // The platform's own short forms (a byte of group 1 or its
            // exception forms), else the Greek group, else the Unicode group.
            const std::string own = plat::NativeToLmbcs(utf8);
            std::string native = own;
            const auto found = greek.find(static_cast<std::int32_t>(entity.codePoint));
            if (native.size() > 2 && found != greek.end()) {
                native = std::string{static_cast<char>(kGroupGreek), static_cast<char>(found->second)};
            }
            if (native.empty() || native.size() > 3) continue;
            natives[i] = native;
            rows[i].native = natives[i].c_str();
            Index(native, i);
            byCodePoint.emplace(entity.codePoint, static_cast<std::int16_t>(i + 1));
            if (own.size() == 3 && own.size() != native.size()) otherForms.emplace_back(own, i);
        }
        // After every native form, so that those come first.
        for (const auto& [form, row] : otherForms) Index(form, row);
    }

    void Index(const std::string& form, int row) {
        const std::uint32_t key = Key(reinterpret_cast<const std::uint8_t*>(form.data()), form.size());
        const auto value = static_cast<std::int16_t>(row + 1);
        if (form.size() == 3) {
            byThreeBytes.Insert(key, value);
            return;
        }
        std::int16_t& slot = form.size() == 1 ? byOneByte[key] : byTwoBytes[key];
        if (slot == 0) slot = value;
    }

    // Row + 1 of the form with exactly these bytes, or 0.
    int Exact(const std::uint8_t* bytes, std::uint16_t length) const {
        if (length == 1) return byOneByte[bytes[0]];
        if (length == 2) return byTwoBytes[Key(bytes, 2)];
        if (length == 3) return byThreeBytes.Find(Key(bytes, 3));
        return 0;
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

} // namespace

std::int32_t LmbcsCodePoint(const char* character, std::uint16_t length) {
    if (character == nullptr || length == 0 || length > 6) return -1;
    char utf8[16];
    const plat::DWORD written = plat::LmbcsToNativeBuf(character, length, utf8, sizeof utf8);
    return SingleCodePoint(utf8, written);
}

const EntityRow* EntityTable() { return TheTable().rows; }

int FindEntityRow(const void* characterSet, const char* character, std::uint16_t length) {
    (void)characterSet;
    if (character == nullptr || length == 0) return -1;
    const Table& table = TheTable();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(character);
    int row = table.Exact(bytes, length);
    if (row != 0) return row - 1;
    // The same character in a form of another length.
    const std::int32_t codePoint = CodePointOf(character, length);
    if (codePoint >= 0) {
        const auto found = table.byCodePoint.find(static_cast<std::uint32_t>(codePoint));
        if (found != table.byCodePoint.end() && table.natives[found->second - 1].size() != length)
            return found->second - 1;
    }
    if (length == 1) {
        const std::uint8_t form[2] = {kGroupOneException, bytes[0]};
        row = table.Exact(form, 2);
        if (row != 0) return row - 1;
    }
    return -1;
}

const char* FindEntityByNativeText(const void* characterSet, const char* character, std::uint16_t length) {
    const int row = FindEntityRow(characterSet, character, length);
    return row >= 0 ? TheTable().rows[row].name : nullptr;
}

} // namespace talix

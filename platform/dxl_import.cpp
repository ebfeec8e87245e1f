// Import of exported notes in "binary" DXL: every item is an <item> element
// with a typed value, binary values as base64 (<rawitemdata type='HEX'>).
//
// The import runs in two steps, and a file lands whole or not at all:
//   1. parse: the XML is read and every note and item is checked and turned
//      into stored value bytes in memory; nothing touches the database;
//   2. store, as one batch of writes (one transaction, which takes the
//      database's write lock first): each note is created (or the stored
//      note of the same UNID is opened and emptied), attachment contents
//      become database objects and the items are appended, then the notes are
//      updated one after the other. Any failure abandons the batch, and the
//      database is as it was; so it is when the process ends before the
//      commit. Objects only a replaced content named are freed in the batch.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <strings.h>
#include <sys/stat.h>

#include "byte_order.h"
#include "formula_codec.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/dxl.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace {

constexpr WORD kFileObjectType = 58;        // structure type code of FILEOBJECT
constexpr size_t kFileObjectStored = 36;    // its stored length
constexpr size_t kQuoteLimit = 40;          // longest piece of input quoted in a message

// FILEOBJECT in host form (natural alignment), as StructWrite expects it.
struct FileObjectHost {
    WORD ObjectType;   // header: OBJECT_FILE = 0
    DWORD RRV;         // header: id of the database object holding the bytes
    WORD FileNameLength;
    WORD HostType;
    WORD CompressionType;
    WORD FileAttributes;
    WORD Flags;
    DWORD FileSize;
    TIMEDATE FileCreated;
    TIMEDATE FileModified;
};
static_assert(sizeof(FileObjectHost) == 40);
static_assert(offsetof(FileObjectHost, RRV) == 4 && offsetof(FileObjectHost, FileNameLength) == 8);
static_assert(offsetof(FileObjectHost, FileSize) == 20 && offsetof(FileObjectHost, FileModified) == 32);

struct NameValue {
    const char* name;
    WORD value;
};

const NameValue kNoteClasses[] = {
    {"document", NOTE_CLASS_DOCUMENT},     {"helpaboutdocument", NOTE_CLASS_INFO},
    {"form", NOTE_CLASS_FORM},             {"view", NOTE_CLASS_VIEW},
    {"icon", NOTE_CLASS_ICON},             {"design", NOTE_CLASS_DESIGN},
    {"acl", NOTE_CLASS_ACL},               {"helpindex", NOTE_CLASS_HELP_INDEX},
    {"helpusingdocument", NOTE_CLASS_HELP}, {"filter", NOTE_CLASS_FILTER},
    {"field", NOTE_CLASS_FIELD},           {"sharedfield", NOTE_CLASS_FIELD},
    {"replicationformula", NOTE_CLASS_REPLFORMULA},
};

// Item attributes that are flags when 'true'.
const NameValue kItemFlags[] = {
    {"sign", ITEM_SIGN},           {"seal", ITEM_SEAL},           {"summary", ITEM_SUMMARY},
    {"authors", ITEM_READWRITERS}, {"names", ITEM_NAMES},         {"placeholder", ITEM_PLACEHOLDER},
    {"protected", ITEM_PROTECTED}, {"readers", ITEM_READERS},
};

const NameValue kHostTypes[] = {
    {"msdos", 0x0000},        {"ole", 0x0100},           {"mac", 0x0200},          {"unknown", 0x0300},
    {"hpfs", 0x0400},         {"olelib", 0x0500},        {"bytearrayext", 0x0600}, {"bytearraypage", 0x0700},
    {"cdstorage", 0x0800},    {"stream", 0x0900},        {"link", 0x0A00},
};

const NameValue kCompressions[] = {{"none", 0}, {"huff", 1}, {"lz1", 2}, {"recompress", 3}};

const NameValue kFileFlags[] = {{"sign", 0x0001}, {"storedindoc", 0x0002}, {"mime", 0x0004}, {"autocompressed", 0x0080}};

// What a file in the text form of DXL (design elements and rich text as
// elements of their own) is told.
constexpr const char* kBinaryOnly = "only DXL with raw item data (binary DXL) can be imported";

// Elements of a note that carry no item and are skipped: the update and
// signing history and the table of text-property languages are kept by the
// database itself, not as items.
const char* const kSkippedNoteElements[] = {"updatedby", "wassignedby", "revisions", "textproperties"};

template <size_t N>
const NameValue* Lookup(const NameValue (&table)[N], std::string_view name) {
    for (const auto& entry : table) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

bool Is(const xmlNode* node, const char* name) { return xmlStrcmp(node->name, BAD_CAST name) == 0; }

const char* NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

long LineOf(const xmlNode* node) { return node != nullptr ? xmlGetLineNo(node) : 0; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// A piece of input for a message: cut (on a character boundary) so that a
// huge value cannot flood the message.
std::string Quote(std::string_view text) {
    if (text.size() <= kQuoteLimit) return std::string(text);
    size_t cut = kQuoteLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

void PutTime(std::string* out, const TIMEDATE& time) {
    PutDword(out, time.Innards[0]);
    PutDword(out, time.Innards[1]);
}

void PutNumber(std::string* out, double value) {
    static_assert(sizeof(double) == 8);
    char bytes[8];
    std::memcpy(bytes, &value, 8);   // the host is little-endian, as the stored form
    out->append(bytes, 8);
}

// What each byte is in base64 text: a value (0 to 63), or one of these.
constexpr std::uint8_t kBase64Space = 64, kBase64Pad = 65, kBase64Invalid = 66;

constexpr std::array<std::uint8_t, 256> MakeBase64Table() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = kBase64Invalid;
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = static_cast<std::uint8_t>(i);
        table['a' + i] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::uint8_t>(52 + i);
    table['+'] = 62;
    table['/'] = 63;
    table['='] = kBase64Pad;
    for (char c : {' ', '\t', '\r', '\n'}) table[static_cast<unsigned char>(c)] = kBase64Space;
    return table;
}

constexpr std::array<std::uint8_t, 256> kBase64Table = MakeBase64Table();

// The same, with each data character's six bits already in their place in a
// group of four (first character highest); every other character has
// kNotData set, whatever its place.
constexpr DWORD kNotData = 0x80000000;

constexpr std::array<std::array<DWORD, 256>, 4> MakeBase64Places() {
    std::array<std::array<DWORD, 256>, 4> places{};
    for (int place = 0; place < 4; ++place) {
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t value = kBase64Table[static_cast<std::size_t>(c)];
            places[place][c] = value < 64 ? DWORD{value} << (18 - 6 * place) : kNotData;
        }
    }
    return places;
}

constexpr std::array<std::array<DWORD, 256>, 4> kBase64Places = MakeBase64Places();

// The group of four characters at in, or a value with kNotData set.
inline DWORD Base64Group(const unsigned char* in) {
    return kBase64Places[0][in[0]] | kBase64Places[1][in[1]] | kBase64Places[2][in[2]] | kBase64Places[3][in[3]];
}

// Writes the three bytes of a group, and one byte more that the next write
// replaces (the caller's buffer has room for it).
inline char* PutBase64Group(char* to, DWORD group) {
    const DWORD bytes = __builtin_bswap32(group << 8);   // the three bytes first, in order
    std::memcpy(to, &bytes, sizeof bytes);
    return to + 3;
}

// Decodes base64 text (whitespace anywhere is ignored) into a buffer sized
// for it at once. On failure *why says what is wrong.
bool Base64Decode(std::string_view text, std::string* out, std::string* why) {
    // Room for every group of four characters, and for the byte past the
    // last group that PutBase64Group writes.
    out->resize(text.size() / 4 * 3 + 3);
    char* to = out->data();
    DWORD quad = 0;
    int filled = 0;
    int padding = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at < text.size(); ++at) {
        // Whole groups of four data characters at once, two groups a step
        // while they last (a line of text is many groups); anything else
        // (whitespace, padding, a bad character) goes one by one below.
        if (filled == 0 && padding == 0) {
            while (at + 8 <= text.size()) {
                const DWORD first = Base64Group(in + at), second = Base64Group(in + at + 4);
                if (((first | second) & kNotData) != 0) break;
                to = PutBase64Group(PutBase64Group(to, first), second);
                at += 8;
            }
            while (at + 4 <= text.size()) {
                const DWORD group = Base64Group(in + at);
                if ((group & kNotData) != 0) break;
                to = PutBase64Group(to, group);
                at += 4;
            }
        }
        if (at >= text.size()) break;
        const std::uint8_t value = kBase64Table[in[at]];
        if (value < 64 && padding == 0 && filled < 4) {
            quad = (quad << 6) | value;
            if (++filled == 4) {
                to[0] = static_cast<char>((quad >> 16) & 0xFF);
                to[1] = static_cast<char>((quad >> 8) & 0xFF);
                to[2] = static_cast<char>(quad & 0xFF);
                to += 3;
                quad = 0;
                filled = 0;
            }
            continue;
        }
        if (value == kBase64Space) continue;
        if (value == kBase64Pad) {
            if (filled < 2 || filled + padding >= 4) {
                *why = "misplaced '=' in base64 data";
                return false;
            }
            ++padding;
            if (filled + padding == 4) {
                if (filled == 2) {          // 12 bits: one byte
                    *to++ = static_cast<char>((quad >> 4) & 0xFF);
                } else {                    // 18 bits: two bytes
                    *to++ = static_cast<char>((quad >> 10) & 0xFF);
                    *to++ = static_cast<char>((quad >> 2) & 0xFF);
                }
                filled = 4;   // the data is complete: only whitespace may follow
            }
            continue;
        }
        *why = value == kBase64Invalid ? "invalid character '" + Quote(text.substr(at, 1)) + "' in base64 data"
                                       : std::string("base64 data continues after its end");
        return false;
    }
    out->resize(static_cast<std::size_t>(to - out->data()));
    if (padding > 0 && filled != 4) {
        *why = "truncated base64 data";
        return false;
    }
    if (padding == 0 && filled != 0) {
        *why = "truncated base64 data";
        return false;
    }
    return true;
}

bool ParseHex(std::string_view text, size_t maxDigits, unsigned long long* value) {
    if (text.empty() || text.size() > maxDigits) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

// Converts XML text (UTF-8, where a NUL stands for a <break/>) to LMBCS with
// a 0x00 byte for each break.
std::string ToLmbcs(const std::string& utf8) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t end = utf8.find('\0', start);
        out += NativeToLmbcs(std::string_view(utf8).substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        out.push_back('\0');
        start = end + 1;
    }
    return out;
}

// ---- What the parse produces ---------------------------------------------

struct PendingFile {
    FileObjectHost header{};     // all but RRV, which the object gets at build time
    std::string name;            // LMBCS
    std::string bytes;           // the attachment contents
};

struct PendingItem {
    std::string name;            // LMBCS
    WORD flags = 0;
    WORD type = 0;
    std::string value;           // the value after its data-type word
    std::unique_ptr<PendingFile> file;   // set for an attachment (<object>)
    long line = 0;
};

struct PendingNote {
    std::string file;   // the name of the DXL it came from, for messages
    long line = 0;
    WORD noteClass = NOTE_CLASS_DOCUMENT;
    std::optional<UNID> unid;
    std::optional<DWORD> sequence;
    std::optional<TIMEDATE> revised, created, modified, accessed, added;
    std::vector<PendingItem> items;
};

// A note of the store step: the open note, built in memory, and whether it
// replaces a stored note.
struct BuiltNote {
    NOTEHANDLE note = 0;
    NOTEID id = 0;
    bool replaces = false;
};

// A UNID as a key of the notes parsed so far.
std::string UnidKey(const UNID& unid) { return std::string(reinterpret_cast<const char*>(&unid), sizeof unid); }

class Importer {
public:
    Importer(DBHANDLE db, const char* name) : db_(db), name_(name != nullptr ? name : "(text)") {}

    STATUS Run(const char* text, size_t length, DxlImportResult* result);
    // Parses one more DXL text (named name in messages) to be stored with
    // those parsed before it; false when it does not parse.
    bool Parse(const char* text, size_t length, const char* name);
    // Stores every note parsed, all or none; or reports the failure that
    // stopped the import (a failed parse included).
    STATUS Finish(bool parsed, DxlImportResult* result);

private:
    // ---- Messages
    bool Fail(STATUS status, const xmlNode* node, const char* format, ...) __attribute__((format(printf, 4, 5)));
    bool FailStatus(STATUS status, long line, const char* what);

    // ---- Parse
    bool ParseXml(const char* text, size_t length, xmlDocPtr* doc);
    bool ParseRoot(xmlNode* root);
    bool ParseNote(xmlNode* node, bool sharedField);
    bool ParseNoteInfo(xmlNode* node, PendingNote* note);
    bool ParseItem(xmlNode* node, PendingItem* item);
    bool ParseValue(xmlNode* value, PendingItem* item);
    bool ParseTextList(xmlNode* node, std::string* value);
    bool ParseNumberList(xmlNode* node, std::string* value);
    bool ParseTimeList(xmlNode* node, std::string* value);
    bool ParseFormula(xmlNode* node, std::string* value);
    bool ParseObject(xmlNode* node, PendingItem* item);
    bool ParseFileTime(xmlNode* node, TIMEDATE* time);
    bool ParseBase64(xmlNode* node, std::string* bytes);
    bool ParseNumber(xmlNode* node, double* number);
    bool ParseTime(xmlNode* node, std::optional<TIMEDATE>* time, bool emptyAllowed);
    bool GatherText(xmlNode* node, bool allowBreaks, std::string* text);
    bool Attribute(xmlNode* node, const char* name, std::optional<std::string>* value);
    bool BoolAttribute(xmlNode* node, const char* name, bool* value);
    bool SingleChild(xmlNode* node, const char* childName, xmlNode** child);
    void AddNote(PendingNote note);

    // ---- Build and store
    bool Build(const PendingNote& pending, BuiltNote* built);
    bool ClearItems(NOTEHANDLE note);
    bool Store(DxlImportResult* result);

    DBHANDLE db_;
    std::string name_;
    STATUS status_ = NOERROR;
    std::string error_;
    std::vector<PendingNote> notes_;
    std::unordered_map<std::string, size_t> noteByUnid_;   // index in notes_
    std::vector<BuiltNote> built_;
};

bool Importer::Fail(STATUS status, const xmlNode* node, const char* format, ...) {
    char what[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(what, sizeof what, format, args);
    va_end(args);
    status_ = status;
    error_ = name_ + ":" + std::to_string(LineOf(node)) + ": " + what;
    return false;
}

bool Importer::FailStatus(STATUS status, long line, const char* what) {
    char text[256];
    StatusText(status, text, sizeof text);
    status_ = status;
    error_ = name_ + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what + ": " + text;
    return false;
}

// ---- Parse ------------------------------------------------------------------

// Keeps the first error libxml2 reports (later ones are mostly consequences).
void KeepFirstXmlError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* first = static_cast<std::string*>(ctxt->_private);
    if (first == nullptr || !first->empty() || error == nullptr || error->level < XML_ERR_ERROR) return;
    std::string message = error->message != nullptr ? error->message : "unknown error";
    while (!message.empty() && IsSpace(message.back())) message.pop_back();
    *first = std::to_string(error->line) + ": not well-formed XML: " + message;
}

bool Importer::ParseXml(const char* text, size_t length, xmlDocPtr* doc) {
    if (length > static_cast<size_t>(INT_MAX)) {
        return Fail(ERR_DXL_FILE, nullptr, "the DXL is too large (%zu bytes)", length);
    }
    xmlInitParser();
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (ctxt == nullptr) return Fail(ERR_NO_MEMORY, nullptr, "out of memory");
    std::string firstError;
    ctxt->_private = &firstError;
    ctxt->sax->serror = KeepFirstXmlError;
    // No network, no external DTD, no entity substitution; big line numbers
    // so that messages name the right line in long files.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES |
                  XML_PARSE_NOCDATA;
    *doc = xmlCtxtReadMemory(ctxt, length > 0 ? text : "", static_cast<int>(length), nullptr, nullptr, options);
    bool wellFormed = ctxt->wellFormed != 0;
    if (firstError.empty()) {
        const xmlError* last = xmlCtxtGetLastError(ctxt);
        if (last != nullptr && last->message != nullptr) {
            firstError = std::to_string(last->line) + ": not well-formed XML: " + std::string(Trim(last->message));
        }
    }
    xmlFreeParserCtxt(ctxt);
    if (*doc == nullptr || !wellFormed) {
        if (*doc != nullptr) xmlFreeDoc(*doc);
        *doc = nullptr;
        status_ = ERR_DXL_XML;
        error_ = name_ + ":" + (firstError.empty() ? std::string("0: not well-formed XML") : firstError);
        return false;
    }
    // Entity declarations would have to be expanded on every read of the
    // text; exported notes never use them, so they are refused outright.
    xmlDtdPtr dtd = (*doc)->intSubset;
    if (dtd != nullptr && (dtd->entities != nullptr || dtd->pentities != nullptr)) {
        long line = LineOf(xmlDocGetRootElement(*doc));
        xmlFreeDoc(*doc);
        *doc = nullptr;
        status_ = ERR_DXL_XML;
        error_ = name_ + ":" + std::to_string(line) + ": entity declarations are not supported";
        return false;
    }
    return true;
}

bool Importer::Attribute(xmlNode* node, const char* name, std::optional<std::string>* value) {
    value->reset();
    // Only attributes written in the element count (not defaults a DTD
    // declares).
    xmlAttr* attr = node->properties;
    while (attr != nullptr && xmlStrcmp(attr->name, BAD_CAST name) != 0) attr = attr->next;
    if (attr == nullptr) return true;
    std::string text;
    for (xmlNode* child = attr->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE) {
            if (child->content != nullptr) text += reinterpret_cast<const char*>(child->content);
        } else {
            return Fail(ERR_DXL_VALUE, node, "entity references are not supported (attribute '%s' of <%s>)", name,
                        NameOf(node));
        }
    }
    *value = std::move(text);
    return true;
}

bool Importer::BoolAttribute(xmlNode* node, const char* name, bool* value) {
    std::optional<std::string> text;
    if (!Attribute(node, name, &text)) return false;
    *value = false;
    if (!text) return true;
    if (*text == "true") {
        *value = true;
    } else if (*text != "false") {
        return Fail(ERR_DXL_VALUE, node, "attribute %s='%s' of <%s> is neither 'true' nor 'false'", name,
                    Quote(*text).c_str(), NameOf(node));
    }
    return true;
}

// The character data of an element; with allowBreaks each <break/> child
// becomes a NUL (see ToLmbcs). Any other child element is an error.
bool Importer::GatherText(xmlNode* node, bool allowBreaks, std::string* text) {
    text->clear();
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        switch (child->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (child->content != nullptr) *text += reinterpret_cast<const char*>(child->content);
            break;
        case XML_ELEMENT_NODE:
            if (allowBreaks && Is(child, "break")) {
                text->push_back('\0');
                break;
            }
            return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <%s>", NameOf(child), NameOf(node));
        case XML_ENTITY_REF_NODE:
            return Fail(ERR_DXL_VALUE, child, "entity references are not supported (&%s;)", NameOf(child));
        default:
            break;   // comments and processing instructions
        }
    }
    return true;
}

// The one child element of a name an element must have (other child
// elements are errors).
bool Importer::SingleChild(xmlNode* node, const char* childName, xmlNode** child) {
    *child = nullptr;
    for (xmlNode* each = node->children; each != nullptr; each = each->next) {
        if (each->type != XML_ELEMENT_NODE) continue;
        if (!Is(each, childName)) {
            return Fail(ERR_DXL_ELEMENT, each, "unknown element <%s> in <%s>", NameOf(each), NameOf(node));
        }
        if (*child != nullptr) return Fail(ERR_DXL_VALUE, each, "more than one <%s> in <%s>", childName, NameOf(node));
        *child = each;
    }
    if (*child == nullptr) return Fail(ERR_DXL_VALUE, node, "<%s> has no <%s>", NameOf(node), childName);
    return true;
}

bool Importer::ParseBase64(xmlNode* node, std::string* bytes) {
    // Text that is one node (as it nearly always is) is decoded where it
    // lies; text in pieces is gathered first.
    std::string gathered;
    std::string_view text;
    const xmlNode* only = node->children;
    if (only != nullptr && only->next == nullptr && only->content != nullptr &&
        (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE)) {
        text = reinterpret_cast<const char*>(only->content);
    } else {
        if (!GatherText(node, false, &gathered)) return false;
        text = gathered;
    }
    std::string why;
    if (!Base64Decode(text, bytes, &why)) return Fail(ERR_DXL_VALUE, node, "%s in <%s>", why.c_str(), NameOf(node));
    return true;
}

bool Importer::ParseNumber(xmlNode* node, double* number) {
    std::string text;
    if (!GatherText(node, false, &text)) return false;
    std::string_view digits = Trim(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *number);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(*number)) {
        return Fail(ERR_DXL_VALUE, node, "'%s' is not a number", Quote(text).c_str());
    }
    return true;
}

// A <datetime> element. An empty one means "no time": *time stays unset
// when emptyAllowed, and is an error otherwise.
bool Importer::ParseTime(xmlNode* node, std::optional<TIMEDATE>* time, bool emptyAllowed) {
    time->reset();
    if (!Is(node, "datetime")) {
        return Fail(ERR_DXL_ELEMENT, node, "unknown element <%s> where a <datetime> belongs", NameOf(node));
    }
    bool dst = false;
    std::string text;
    if (!BoolAttribute(node, "dst", &dst) || !GatherText(node, false, &text)) return false;
    std::string trimmed(Trim(text));
    if (trimmed.empty()) {
        if (emptyAllowed) return true;
        return Fail(ERR_DXL_VALUE, node, "empty <datetime>");
    }
    TIMEDATE value;
    if (trimmed.size() > 64 || TimeFromExchangeText(trimmed.c_str(), dst, &value) != NOERROR) {
        return Fail(ERR_DXL_VALUE, node, "'%s' is not a valid date and time", Quote(trimmed).c_str());
    }
    *time = value;
    return true;
}

bool Importer::ParseRoot(xmlNode* root) {
    if (Is(root, "note") || Is(root, "document")) return ParseNote(root, false);
    if (Is(root, "sharedfield")) return ParseNote(root, true);
    if (!Is(root, "database")) {
        return Fail(ERR_DXL_ELEMENT, root, "%s: the root element <%s> is not <note>, <document> or <database>",
                    kBinaryOnly, NameOf(root));
    }
    for (xmlNode* child = root->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        bool ok = false;
        if (Is(child, "note") || Is(child, "document")) {
            ok = ParseNote(child, false);
        } else if (Is(child, "sharedfield")) {
            ok = ParseNote(child, true);
        } else {
            return Fail(ERR_DXL_ELEMENT, child, "%s: <%s> in <database> is not a <note> or <document>", kBinaryOnly,
                        NameOf(child));
        }
        if (!ok) return false;
    }
    return true;
}

// A <note>, <document> or <sharedfield> element.
bool Importer::ParseNote(xmlNode* node, bool sharedField) {
    PendingNote note;
    note.line = LineOf(node);
    std::string sharedFieldName;
    if (sharedField) {
        std::optional<std::string> name;
        if (!Attribute(node, "name", &name)) return false;
        if (!name || name->empty()) return Fail(ERR_DXL_VALUE, node, "<sharedfield> has no name");
        note.noteClass = NOTE_CLASS_FIELD;
        sharedFieldName = std::move(*name);
    } else if (Is(node, "note")) {
        std::optional<std::string> noteClass;
        bool isDefault = false;
        if (!Attribute(node, "class", &noteClass) || !BoolAttribute(node, "default", &isDefault)) return false;
        if (!noteClass) return Fail(ERR_DXL_VALUE, node, "<note> has no class");
        const NameValue* entry = Lookup(kNoteClasses, *noteClass);
        if (entry == nullptr) return Fail(ERR_DXL_VALUE, node, "unknown note class '%s'", Quote(*noteClass).c_str());
        note.noteClass = static_cast<WORD>(entry->value | (isDefault ? NOTE_CLASS_DEFAULT : 0));
    }
    bool hasNoteInfo = false;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (Is(child, "item")) {
            PendingItem item;
            if (!ParseItem(child, &item)) return false;
            note.items.push_back(std::move(item));
        } else if (Is(child, "noteinfo")) {
            if (hasNoteInfo) return Fail(ERR_DXL_VALUE, child, "more than one <noteinfo>");
            hasNoteInfo = true;
            if (!ParseNoteInfo(child, &note)) return false;
        } else if (sharedField && Is(child, "field")) {
            // The field's description in non-binary form; the binary items
            // carry what the database stores.
            std::optional<std::string> fieldName;
            if (!Attribute(child, "name", &fieldName)) return false;
            LogLine(0, "%s:%ld: the <field> description of shared field '%s' is not imported", name_.c_str(),
                    LineOf(child), Quote(fieldName.value_or("")).c_str());
        } else {
            bool skipped = false;
            for (const char* name : kSkippedNoteElements) skipped = skipped || Is(child, name);
            if (!skipped) {
                return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <%s>", NameOf(child), NameOf(node));
            }
        }
    }
    // A shared field is named by its $TITLE, made from its name attribute
    // unless it brings a $TITLE item of its own.
    if (sharedField) {
        bool hasTitle = false;
        for (const auto& item : note.items) hasTitle = hasTitle || strcasecmp(item.name.c_str(), "$TITLE") == 0;
        if (!hasTitle) {
            PendingItem title;
            title.name = "$TITLE";
            title.type = TYPE_TEXT;
            title.value = NativeToLmbcs(sharedFieldName);
            title.line = note.line;
            note.items.insert(note.items.begin(), std::move(title));
        }
    }
    AddNote(std::move(note));
    return true;
}

// Adds a parsed note; a note whose UNID an earlier note of the same import
// has replaces that one, as it would replace a stored note.
// A note of a UNID given before takes the earlier one's place.
void Importer::AddNote(PendingNote note) {
    note.file = name_;
    if (note.unid) {
        auto [found, added] = noteByUnid_.emplace(UnidKey(*note.unid), notes_.size());
        if (!added) {
            notes_[found->second] = std::move(note);
            return;
        }
    }
    notes_.push_back(std::move(note));
}

bool Importer::ParseNoteInfo(xmlNode* node, PendingNote* note) {
    std::optional<std::string> unid, sequence;
    if (!Attribute(node, "unid", &unid) || !Attribute(node, "sequence", &sequence)) return false;
    if (unid) {
        UNID value;
        unsigned long long part[4] = {0, 0, 0, 0};
        bool ok = unid->size() == 32;
        for (int i = 0; ok && i < 4; ++i) ok = ParseHex(std::string_view(*unid).substr(i * 8, 8), 8, &part[i]);
        if (!ok) return Fail(ERR_DXL_VALUE, node, "unid '%s' is not 32 hexadecimal digits", Quote(*unid).c_str());
        value.File.Innards[1] = static_cast<DWORD>(part[0]);
        value.File.Innards[0] = static_cast<DWORD>(part[1]);
        value.Note.Innards[1] = static_cast<DWORD>(part[2]);
        value.Note.Innards[0] = static_cast<DWORD>(part[3]);
        note->unid = value;
    }
    if (sequence) {
        DWORD value = 0;
        const char* end = sequence->data() + sequence->size();
        auto [stop, ec] = std::from_chars(sequence->data(), end, value, 10);
        if (sequence->empty() || ec != std::errc() || stop != end) {
            return Fail(ERR_DXL_VALUE, node, "sequence '%s' is not a number", Quote(*sequence).c_str());
        }
        note->sequence = value;
    }
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        std::optional<TIMEDATE>* target = nullptr;
        if (Is(child, "created")) target = &note->created;
        else if (Is(child, "modified")) target = &note->modified;
        else if (Is(child, "revised")) target = &note->revised;
        else if (Is(child, "lastaccessed")) target = &note->accessed;
        else if (Is(child, "addedtofile")) target = &note->added;
        else return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <noteinfo>", NameOf(child));
        xmlNode* datetime = nullptr;
        if (!SingleChild(child, "datetime", &datetime) || !ParseTime(datetime, target, true)) return false;
    }
    return true;
}

bool Importer::ParseItem(xmlNode* node, PendingItem* item) {
    item->line = LineOf(node);
    std::optional<std::string> name;
    if (!Attribute(node, "name", &name)) return false;
    if (!name || name->empty()) return Fail(ERR_DXL_VALUE, node, "<item> has no name");
    item->name = NativeToLmbcs(*name);
    if (item->name.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, node, "item name '%s' is too long", Quote(*name).c_str());
    for (const auto& flag : kItemFlags) {
        bool set = false;
        if (!BoolAttribute(node, flag.name, &set)) return false;
        if (set) item->flags |= flag.value;
    }
    xmlNode* value = nullptr;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (value != nullptr) return Fail(ERR_DXL_VALUE, child, "item '%s' has more than one value", Quote(*name).c_str());
        value = child;
    }
    if (value == nullptr) return Fail(ERR_DXL_VALUE, node, "item '%s' has no value", Quote(*name).c_str());
    return ParseValue(value, item);
}

bool Importer::ParseValue(xmlNode* node, PendingItem* item) {
    if (Is(node, "rawitemdata")) {
        std::optional<std::string> type;
        if (!Attribute(node, "type", &type)) return false;
        unsigned long long value = 0;
        if (!type || !ParseHex(Trim(*type), 4, &value)) {
            return Fail(ERR_DXL_VALUE, node, "rawitemdata type '%s' is not a data type (1 to 4 hexadecimal digits)",
                        Quote(type.value_or("")).c_str());
        }
        item->type = static_cast<WORD>(value);
        return ParseBase64(node, &item->value);
    }
    if (Is(node, "text")) {
        std::string text;
        if (!GatherText(node, true, &text)) return false;
        item->type = TYPE_TEXT;
        item->value = ToLmbcs(text);
        return true;
    }
    if (Is(node, "textlist")) {
        item->type = TYPE_TEXT_LIST;
        return ParseTextList(node, &item->value);
    }
    if (Is(node, "number")) {
        double number = 0;
        if (!ParseNumber(node, &number)) return false;
        item->type = TYPE_NUMBER;
        PutNumber(&item->value, number);
        return true;
    }
    if (Is(node, "numberlist")) {
        item->type = TYPE_NUMBER_RANGE;
        return ParseNumberList(node, &item->value);
    }
    if (Is(node, "datetime")) {
        std::optional<TIMEDATE> time;
        if (!ParseTime(node, &time, false)) return false;
        item->type = TYPE_TIME;
        PutTime(&item->value, *time);
        return true;
    }
    if (Is(node, "datetimelist")) {
        item->type = TYPE_TIME_RANGE;
        return ParseTimeList(node, &item->value);
    }
    if (Is(node, "formula")) {
        item->type = TYPE_FORMULA;
        return ParseFormula(node, &item->value);
    }
    if (Is(node, "object")) {
        item->type = TYPE_OBJECT;
        return ParseObject(node, item);
    }
    if (Is(node, "richtext")) return Fail(ERR_DXL_ELEMENT, node, "%s: an item holds <richtext>", kBinaryOnly);
    return Fail(ERR_DXL_ELEMENT, node, "unknown element <%s> in <item>", NameOf(node));
}

// TEXT_LIST: WORD count, a WORD length per entry, then the entries.
bool Importer::ParseTextList(xmlNode* node, std::string* value) {
    std::vector<std::string> entries;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (!Is(child, "text")) {
            return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <textlist>", NameOf(child));
        }
        std::string text;
        if (!GatherText(child, true, &text)) return false;
        entries.push_back(ToLmbcs(text));
        if (entries.back().size() > 0xFFFF) return Fail(ERR_DXL_VALUE, child, "text list entry is too long");
        if (entries.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, child, "text list has too many entries");
    }
    PutWord(value, static_cast<WORD>(entries.size()));
    for (const auto& entry : entries) PutWord(value, static_cast<WORD>(entry.size()));
    for (const auto& entry : entries) *value += entry;
    return true;
}

// NUMBER_RANGE: RANGE (count, 0 pairs), then the numbers.
bool Importer::ParseNumberList(xmlNode* node, std::string* value) {
    std::string numbers;
    WORD count = 0;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (!Is(child, "number")) {
            return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <numberlist>", NameOf(child));
        }
        if (count == 0xFFFF) return Fail(ERR_DXL_VALUE, child, "number list has too many entries");
        double number = 0;
        if (!ParseNumber(child, &number)) return false;
        PutNumber(&numbers, number);
        ++count;
    }
    PutWord(value, count);
    PutWord(value, 0);
    *value += numbers;
    return true;
}

// TIME_RANGE: RANGE (count, pairs), the times, then the pairs.
bool Importer::ParseTimeList(xmlNode* node, std::string* value) {
    std::string times, pairs;
    WORD timeCount = 0, pairCount = 0;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        std::optional<TIMEDATE> time;
        if (Is(child, "datetime")) {
            if (timeCount == 0xFFFF) return Fail(ERR_DXL_VALUE, child, "date list has too many entries");
            if (!ParseTime(child, &time, false)) return false;
            PutTime(&times, *time);
            ++timeCount;
        } else if (Is(child, "datetimepair")) {
            if (pairCount == 0xFFFF) return Fail(ERR_DXL_VALUE, child, "date list has too many entries");
            int ends = 0;
            for (xmlNode* end = child->children; end != nullptr; end = end->next) {
                if (end->type != XML_ELEMENT_NODE) continue;
                if (ends == 2) return Fail(ERR_DXL_VALUE, end, "<datetimepair> has more than two dates");
                if (!ParseTime(end, &time, false)) return false;
                PutTime(&pairs, *time);
                ++ends;
            }
            if (ends != 2) return Fail(ERR_DXL_VALUE, child, "<datetimepair> needs two dates");
            ++pairCount;
        } else {
            return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <datetimelist>", NameOf(child));
        }
    }
    PutWord(value, timeCount);
    PutWord(value, pairCount);
    *value += times;
    *value += pairs;
    return true;
}

// A formula: its source in the platform's container, or (compiled='true')
// base64 bytes of a compiled formula kept as they are.
bool Importer::ParseFormula(xmlNode* node, std::string* value) {
    bool compiled = false;
    if (!BoolAttribute(node, "compiled", &compiled)) return false;
    if (compiled) return ParseBase64(node, value);
    std::string text;
    if (!GatherText(node, false, &text)) return false;
    std::string source = NativeToLmbcs(text);
    if (source.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, node, "formula is too long (%zu bytes)", source.size());
    *value = FormulaContainerEncode(source);
    return true;
}

// <object><file ...>: an attachment. Its contents become a database object
// at build time; the value is a FILEOBJECT followed by the file name.
bool Importer::ParseObject(xmlNode* node, PendingItem* item) {
    xmlNode* fileNode = nullptr;
    if (!SingleChild(node, "file", &fileNode)) return false;
    auto file = std::make_unique<PendingFile>();
    std::optional<std::string> name, hostType, compression, flags, size;
    if (!Attribute(fileNode, "name", &name) || !Attribute(fileNode, "hosttype", &hostType) ||
        !Attribute(fileNode, "compression", &compression) || !Attribute(fileNode, "flags", &flags) ||
        !Attribute(fileNode, "size", &size)) {
        return false;
    }
    if (!name || name->empty()) return Fail(ERR_DXL_VALUE, fileNode, "<file> has no name");
    file->name = NativeToLmbcs(*name);
    if (file->name.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, fileNode, "file name is too long");
    file->header.FileNameLength = static_cast<WORD>(file->name.size());
    if (hostType) {
        const NameValue* entry = Lookup(kHostTypes, *hostType);
        if (entry == nullptr) return Fail(ERR_DXL_VALUE, fileNode, "unknown hosttype '%s'", Quote(*hostType).c_str());
        file->header.HostType = entry->value;
    }
    if (compression) {
        const NameValue* entry = Lookup(kCompressions, *compression);
        if (entry == nullptr) {
            return Fail(ERR_DXL_VALUE, fileNode, "unknown compression '%s'", Quote(*compression).c_str());
        }
        file->header.CompressionType = entry->value;
    }
    if (flags) {
        std::string_view rest = *flags;
        while (!(rest = Trim(rest)).empty()) {
            size_t end = 0;
            while (end < rest.size() && !IsSpace(rest[end])) ++end;
            const NameValue* entry = Lookup(kFileFlags, rest.substr(0, end));
            if (entry == nullptr) {
                return Fail(ERR_DXL_VALUE, fileNode, "unknown file flag '%s'", Quote(rest.substr(0, end)).c_str());
            }
            file->header.Flags |= entry->value;
            rest.remove_prefix(end);
        }
    }
    bool hasData = false;
    for (xmlNode* child = fileNode->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (Is(child, "created")) {
            if (!ParseFileTime(child, &file->header.FileCreated)) return false;
        } else if (Is(child, "modified")) {
            if (!ParseFileTime(child, &file->header.FileModified)) return false;
        } else if (Is(child, "filedata")) {
            if (hasData) return Fail(ERR_DXL_VALUE, child, "more than one <filedata> in <file>");
            hasData = true;
            if (!ParseBase64(child, &file->bytes)) return false;
        } else {
            return Fail(ERR_DXL_ELEMENT, child, "unknown element <%s> in <file>", NameOf(child));
        }
    }
    if (!hasData) return Fail(ERR_DXL_VALUE, fileNode, "<file> has no <filedata>");
    if (file->bytes.size() > 0xFFFFFFFFu) return Fail(ERR_DXL_VALUE, fileNode, "file is too large");
    file->header.FileSize = static_cast<DWORD>(file->bytes.size());
    if (size) {
        DWORD declared = 0;
        const char* end = size->data() + size->size();
        auto [stop, ec] = std::from_chars(size->data(), end, declared, 10);
        if (size->empty() || ec != std::errc() || stop != end) {
            return Fail(ERR_DXL_VALUE, fileNode, "file size '%s' is not a number", Quote(*size).c_str());
        }
        if (declared != file->bytes.size()) {
            return Fail(ERR_DXL_VALUE, fileNode, "file '%s' has size %u but its data holds %zu bytes",
                        Quote(*name).c_str(), static_cast<unsigned>(declared), file->bytes.size());
        }
    }
    item->file = std::move(file);
    return true;
}

bool Importer::ParseFileTime(xmlNode* node, TIMEDATE* time) {
    xmlNode* datetime = nullptr;
    std::optional<TIMEDATE> value;
    if (!SingleChild(node, "datetime", &datetime) || !ParseTime(datetime, &value, true)) return false;
    if (value) *time = *value;
    return true;
}

// ---- Build and store --------------------------------------------------------

// Deletes every item of an open note.
bool Importer::ClearItems(NOTEHANDLE note) {
    std::vector<std::string> names;
    std::vector<char> name(0x10000);
    STATUS status = ItemScan(note, [&](BLOCKID item) -> STATUS {
        STATUS queried = ItemQuery(item, name.data(), static_cast<WORD>(name.size() - 1), nullptr, nullptr, nullptr,
                                   nullptr);
        if (queried == NOERROR) names.emplace_back(name.data());
        return queried;
    });
    for (const auto& each : names) {
        if (status != NOERROR) break;
        STATUS deleted = ItemDelete(note, each.c_str(), static_cast<WORD>(each.size()));
        if (deleted != NOERROR && deleted != ERR_ITEM_NOT_FOUND) status = deleted;   // an earlier name may repeat
    }
    return status == NOERROR;
}

bool Importer::Build(const PendingNote& pending, BuiltNote* built) {
    name_ = pending.file;   // messages name the file the note came from
    STATUS status = NOERROR;
    bool replaced = false;
    if (pending.unid) {
        NOTEID existing = 0;
        ORIGINATORID oid;
        TIMEDATE modified;
        WORD noteClass = 0;
        status = DbNoteInfoByUNID(db_, &*pending.unid, &existing, &oid, &modified, &noteClass);
        if (status == NOERROR) {
            replaced = true;
            built->replaces = true;
            status = NoteOpenUncounted(db_, existing, OPEN_NOTE_DEFAULT, &built->note);
            if (status != NOERROR) return FailStatus(status, pending.line, "cannot open the stored note of that UNID");
            built->id = existing;
            if (!ClearItems(built->note)) return FailStatus(ERR_NOTE_UPDATE, pending.line, "cannot replace the stored note");
        } else if (status != ERR_UNID_NOT_FOUND && status != ERR_NOTE_DELETED) {
            return FailStatus(status, pending.line, "cannot look the note's UNID up");
        }
    }
    if (!replaced) {
        status = NoteCreate(db_, &built->note);
        if (status != NOERROR) return FailStatus(status, pending.line, "cannot create a note");
    }
    ORIGINATORID oid;
    status = NoteSetInfo(built->note, NOTE_FIELD_CLASS, &pending.noteClass);
    if (status == NOERROR) status = NoteGetInfo(built->note, NOTE_FIELD_OID, &oid);
    if (status == NOERROR) {
        if (pending.unid) {
            oid.File = pending.unid->File;
            oid.Note = pending.unid->Note;
        }
        if (pending.sequence) oid.Sequence = *pending.sequence;
        if (pending.revised) oid.SequenceTime = *pending.revised;
        status = NoteSetInfo(built->note, NOTE_FIELD_OID, &oid);
    }
    const std::pair<WORD, const std::optional<TIMEDATE>*> dates[] = {
        {NOTE_FIELD_CREATED, &pending.created},
        {NOTE_FIELD_MODIFIED, &pending.modified},
        {NOTE_FIELD_ACCESSED, &pending.accessed},
        {NOTE_FIELD_ADDED, &pending.added},
    };
    for (const auto& [field, date] : dates) {
        if (status == NOERROR && *date) status = NoteSetInfo(built->note, field, &**date);
    }
    if (status != NOERROR) return FailStatus(status, pending.line, "cannot set the note's header");

    for (const auto& item : pending.items) {
        const std::string* value = &item.value;
        std::string fileValue;
        if (item.file) {
            DWORD size = item.file->header.FileSize;
            DWORD objectId = 0;
            status = DbAllocObject(db_, size, OBJECT_CLASS_FILE, &objectId);
            if (status != NOERROR) return FailStatus(status, item.line, "cannot store the attachment");
            if (size > 0) status = DbWriteObjectBytes(db_, objectId, item.file->bytes.data(), 0, size);
            if (status != NOERROR) return FailStatus(status, item.line, "cannot store the attachment");
            FileObjectHost header = item.file->header;
            header.RRV = objectId;
            if (StructStoredLength(kFileObjectType) != kFileObjectStored) {
                return FailStatus(ERR_UNKNOWN_STRUCT, item.line, "cannot write the file object");
            }
            fileValue.resize(kFileObjectStored);
            void* dest = fileValue.data();
            status = StructWrite(&dest, kFileObjectType, &header);
            if (status != NOERROR) return FailStatus(status, item.line, "cannot write the file object");
            fileValue += item.file->name;
            value = &fileValue;
        }
        if (value->size() > 0xFFFFFFFFu - 2) return FailStatus(ERR_ITEM_TOO_LARGE, item.line, "cannot add the item");
        status = ItemAppend(built->note, item.flags, item.name.data(), static_cast<WORD>(item.name.size()), item.type,
                            value->data(), static_cast<DWORD>(value->size()));
        if (status != NOERROR) {
            std::string what = "cannot add item '" + Quote(LmbcsToNative(item.name)) + "'";
            return FailStatus(status, item.line, what.c_str());
        }
    }
    return true;
}

bool Importer::Store(DxlImportResult* result) {
    STATUS status = DbBeginBatch(db_);
    if (status != NOERROR) return FailStatus(status, 0, "cannot import into the database");
    bool ok = true;
    built_.resize(notes_.size());
    for (size_t i = 0; ok && i < notes_.size(); ++i) ok = Build(notes_[i], &built_[i]);
    for (size_t i = 0; ok && i < built_.size(); ++i) {
        BuiltNote& built = built_[i];
        status = NoteUpdate(built.note, built.replaces ? UPDATE_FORCE : 0);
        if (status == NOERROR) status = NoteGetInfo(built.note, NOTE_FIELD_ID, &built.id);
        if (status != NOERROR) {
            name_ = notes_[i].file;
            ok = FailStatus(status, notes_[i].line, "cannot store the note");
        }
    }
    if (ok) {
        status = DbCommitBatch(db_);
        if (status != NOERROR) ok = FailStatus(status, 0, "cannot store the notes");
    }
    if (!ok) {
        DbAbortBatch(db_);
        return false;
    }
    for (size_t i = 0; i < built_.size(); ++i) {
        result->notes.push_back(built_[i].id);
        result->files.push_back(notes_[i].file);
    }
    return true;
}

bool Importer::Parse(const char* text, size_t length, const char* name) {
    name_ = name != nullptr ? name : "(text)";
    xmlDocPtr doc = nullptr;
    bool ok = ParseXml(text, length, &doc);
    if (ok) {
        xmlNode* root = xmlDocGetRootElement(doc);
        ok = root != nullptr ? ParseRoot(root) : Fail(ERR_DXL_XML, nullptr, "the DXL has no root element");
        xmlFreeDoc(doc);
    }
    return ok;
}

STATUS Importer::Finish(bool parsed, DxlImportResult* result) {
    bool ok = parsed;
    if (ok) {
        ok = Store(result);
        for (const auto& built : built_) {
            if (built.note != 0) NoteClose(built.note);
        }
    }
    if (!ok) {
        result->notes.clear();
        result->files.clear();
        result->error = error_;
        return status_ != NOERROR ? status_ : static_cast<STATUS>(ERR_DXL_VALUE);
    }
    return NOERROR;
}

STATUS Importer::Run(const char* text, size_t length, DxlImportResult* result) {
    return Finish(Parse(text, length, name_.c_str()), result);
}

// Reads a DXL file whole; false with the reason in result->error.
bool ReadDxlFile(const char* path, std::string* text, DxlImportResult* result) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        result->error = std::string(path) + ": cannot read the file: " + std::strerror(errno);
        return false;
    }
    // Read straight into a string sized by the file's length (a file that
    // grows meanwhile is read to its end all the same).
    struct stat info;
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        text->resize(static_cast<size_t>(info.st_size));
    size_t filled = std::fread(text->data(), 1, text->size(), file);
    text->resize(filled);
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
    bool failed = std::ferror(file) != 0;
    int readError = errno;
    std::fclose(file);
    if (failed) {
        result->error = std::string(path) + ": cannot read the file: " + std::strerror(readError);
        return false;
    }
    return true;
}

} // namespace

STATUS DxlImportText(DBHANDLE db, const char* text, size_t length, const char* name, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    result->notes.clear();
    result->files.clear();
    result->error.clear();
    if (text == nullptr && length > 0) {
        result->error = "no DXL text given";
        return ERR_BAD_ARGUMENT;
    }
    Importer importer(db, name);
    return importer.Run(text, length, result);
}

STATUS DxlImportFile(DBHANDLE db, const char* path, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    if (path == nullptr || *path == '\0') {
        result->notes.clear();
        result->files.clear();
        result->error = "no DXL file named";
        return ERR_BAD_ARGUMENT;
    }
    return DxlImportFiles(db, {path}, result);
}

STATUS DxlImportFiles(DBHANDLE db, const std::vector<std::string>& paths, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    result->notes.clear();
    result->files.clear();
    result->error.clear();
    if (paths.empty() || paths.front().empty()) {
        result->error = "no DXL file named";
        return ERR_BAD_ARGUMENT;
    }
    Importer importer(db, nullptr);
    for (const std::string& path : paths) {
        std::string text;
        if (path.empty()) {
            result->error = "no DXL file named";
            return ERR_BAD_ARGUMENT;
        }
        if (!ReadDxlFile(path.c_str(), &text, result)) return ERR_DXL_FILE;
        if (!importer.Parse(text.data(), text.size(), path.c_str())) return importer.Finish(false, result);
    }
    return importer.Finish(true, result);
}

} // namespace plat

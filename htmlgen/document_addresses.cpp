#include "htmlgen/document_addresses.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/formula_result.h"
#include "core/mime_ids.h"
#include "core/text_compare.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// A compiled formula is read from a zero-padded copy: the platform reads
// its length from the formula itself, which a damaged record may overstate.
constexpr std::size_t kFormulaCopySize = 0x10000 + 16;
constexpr std::uint32_t kLongestResult = 65341;

} // namespace

std::string DatabaseURLPath(const XMLGenContext* context) {
    const ZervaRTItem* item = context->item;
    std::string path = item != nullptr && item->databasePath != nullptr ? item->databasePath : "";
    char dataDirectory[512] = {};
    std::size_t dataLength = plat::DataDirectory(dataDirectory, sizeof dataDirectory);
    while (dataLength > 0 && (dataDirectory[dataLength - 1] == '/' || dataDirectory[dataLength - 1] == '\\'))
        --dataLength;
    if (dataLength > 0 && path.size() > dataLength &&
        StartsWithNoCase(path, std::string_view(dataDirectory, dataLength)) &&
        (path[dataLength] == '/' || path[dataLength] == '\\')) {
        path.erase(0, dataLength + 1);
    }
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    const std::size_t bang = path.find("!!");
    if (bang != std::string::npos) path.erase(0, bang + 2);
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    // A database's file name may hold marks of addresses: a browser would
    // cut the address at "#" or "?" and ask for another path, and take "%"
    // for an escape. A double quote would end the attribute the path is
    // written into, "&" and "<" are markup, and a browser drops tabs and
    // line ends from addresses.
    return EscapedAddressPart(path, AddressEscapes{"\"&<#?%", true, false, SIZE_MAX});
}

const std::uint32_t* DocumentUnid(XMLGenContext* context) {
    if (context->unidKnown != 0) return context->documentUnid;
    context->unidKnown = 1;
    if (context->useUnid != 0) {
        std::memcpy(context->documentUnid, context->unidWords, sizeof context->documentUnid);
        return context->documentUnid;
    }
    plat::ORIGINATORID oid;
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    if (note != 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid) == plat::NOERROR) {
        context->documentUnid[0] = oid.File.Innards[1];
        context->documentUnid[1] = oid.File.Innards[0];
        context->documentUnid[2] = oid.Note.Innards[1];
        context->documentUnid[3] = oid.Note.Innards[0];
    }
    return context->documentUnid;
}

std::string AttributeValue(std::string_view given) {
    // A control character (of those bytes, or of the group that writes
    // them) is no document's: it leaves nothing, as XML takes none.
    std::string kept;
    std::string_view text = given;
    for (const char c : given) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
            kept = KeptInXml(given);
            text = kept;
            break;
        }
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20) {
            // A character of several bytes is copied whole: a later byte
            // of it may look like "&" or a quote.
            const std::size_t n = CharacterBytesAt(text, i);
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        switch (b) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default: out += static_cast<char>(b); break;
        }
        ++i;
    }
    return out;
}

std::string EscapedAddressPart(std::string_view text, const AddressEscapes& how) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t n = CharacterBytesAt(text, i);
        if (n > 1) {
            out.append(text.substr(i, n));
        } else if (b == '\\' && how.backslashesAsSlashes) {
            out += '/';
        } else if (b == ' ' && i >= how.plusFrom) {
            out += '+';
        } else if ((how.controls && (b < 0x20 || b == 0x7F)) || (b != 0 && std::strchr(how.marks, b) != nullptr)) {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned>(b));
            out += escape;
        } else {
            out += static_cast<char>(b);
        }
        i += n;
    }
    return out;
}

std::string AddressText(std::string_view text, bool backslashesAsSlashes) {
    return EscapedAddressPart(text, AddressEscapes{" ", false, backslashesAsSlashes, SIZE_MAX});
}

std::string NameInAddress(std::string_view name) {
    // The end of its last character that is no blank (a character of
    // several bytes may end in a byte that looks like one).
    std::size_t end = 0;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = CharacterBytesAt(name, i);
        if (n > 1 || name[i] != ' ') end = i + n;
        i += n;
    }
    std::string out = EscapedAddressPart(name.substr(0, end), AddressEscapes{"%#?", false, false, SIZE_MAX});
    for (std::size_t i = end; i < name.size(); ++i) out += "%20";
    return out;
}

namespace {

// Whether a character reference begins at text[at] ("&name;", "&#38;",
// "&#x26;").
bool ReferenceAt(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    const auto isAlnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        const std::size_t first = i;
        while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i])) != 0
                                       : (text[i] >= '0' && text[i] <= '9')))
            ++i;
        return i > first && i < text.size() && text[i] == ';';
    }
    const std::size_t first = i;
    while (i < text.size() && isAlnum(text[i])) ++i;
    return i > first && i < text.size() && text[i] == ';';
}

} // namespace

std::string OptionAttributeValue(std::string_view text) {
    // Character by character: a later byte of a character of several
    // bytes may look like "&".
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = 0; at < text.size(); at += CharacterBytesAt(text, at)) {
        if (text[at] != '&' || !ReferenceAt(text, at)) continue;
        // The text up to the reference is encoded, the reference kept.
        out += AttributeValue(text.substr(from, at - from));
        out += '&';
        from = at + 1;
    }
    out += AttributeValue(text.substr(from));
    return out;
}

void AppendOptionAttributeValue(XMLGenContext* context, std::string_view text) {
    const std::string value = OptionAttributeValue(text);
    AppendOutput(context, value.data(), value.size());
}

std::string SingleQuotedAttributeValue(std::string_view text) {
    std::string out;
    for (const char c : AttributeValue(text)) {
        if (c == '\'') out += "&#39;";
        else out += c;
    }
    return out;
}

void AppendAttributeValue(XMLGenContext* context, std::string_view text) {
    const std::string value = AttributeValue(text);
    AppendOutput(context, value.data(), value.size());
}

plat::STATUS StartStoredFormula(XMLGenContext* context, const std::uint8_t* compiled, std::size_t length,
                                plat::HCOMPUTE* compute) {
    *compute = 0;
    std::vector<std::uint8_t> formula(kFormulaCopySize, 0);
    if (length > kFormulaCopySize) length = kFormulaCopySize;
    if (compiled != nullptr && length > 0) std::memcpy(formula.data(), compiled, length);
    const plat::STATUS status = plat::ComputeStart(formula.data(), compute);
    if ((status & plat::ERR_MASK) == plat::ERR_FORMULA_INVALID) ++context->unreadableFormulas;
    return status;
}

STATUS EvaluateStoredFormula(XMLGenContext* context, const std::uint8_t* compiled, std::uint32_t length,
                             std::string* text) {
    text->clear();
    if (length > kLongestStoredFormula) length = kLongestStoredFormula;
    plat::HCOMPUTE compute = 0;
    plat::STATUS status = StartStoredFormula(context, compiled, length, &compute);
    if ((status & plat::ERR_MASK) == plat::ERR_FORMULA_INVALID) return kOK;
    if (status != plat::NOERROR) return static_cast<STATUS>(status & kStatusMask);
    plat::DHANDLE result = 0;
    plat::WORD resultLength = 0;
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    status = plat::ComputeEvaluate(compute, note, &result, &resultLength);
    if (status == plat::NOERROR) {
        const auto* value = static_cast<const std::uint8_t*>(plat::MemLock(result));
        if (value != nullptr) {
            *text = FormulaResultText(value, resultLength, kLongestResult);
            plat::MemUnlock(result);
        }
        plat::MemFree(result);
    }
    plat::ComputeStop(compute);
    return static_cast<STATUS>(status & kStatusMask);
}

void LogUnreadableFormulas(const XMLGenContext* context) {
    if (context->unreadableFormulas == 0) return;
    const ZervaRTItem* item = context->item;
    plat::LogLine(0, "GenerateXML: item \"%s\" of note %#x: %u stored formula(s) compiled by another system "
                     "could not be read and were taken as giving nothing",
                  item != nullptr && item->itemName != nullptr ? item->itemName : "",
                  item != nullptr ? item->noteID : 0u, static_cast<unsigned>(context->unreadableFormulas));
}

std::string ImageResourceContentId(XMLGenContext* context, const CDRecordNode* node, const std::string& name) {
    if (context->resourceContentIds == nullptr) context->resourceContentIds = new (std::nothrow) ResourceMailContentIds();
    // Without room to keep them, the records are read for this one name.
    if (context->resourceContentIds == nullptr) return ResourceMailContentIds().Of(node, name);
    return context->resourceContentIds->Of(node, name);
}

void ReleaseResourceContentIds(XMLGenContext* context) {
    delete context->resourceContentIds;
    context->resourceContentIds = nullptr;
}

} // namespace talix

// Item operations that work on other items of the connected note: the web
// editor set-up of a form, the page header and footer, formula items read
// back as text, and the item's check text.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/pool.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/walkers.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// Structure type codes and signatures of the records written here.
constexpr plat::WORD kEventType = StructureTypeOf(kSigEvent);
constexpr plat::WORD kBlobPartType = StructureTypeOf(kSigBlobPart);
constexpr plat::WORD kEventEntryType = StructureTypeOf(kSigEventLanguageEntry);
constexpr plat::WORD kHeaderType = StructureTypeOf(kSigHeader);

constexpr plat::WORD kActionJavaScript = 4;
constexpr plat::WORD kBlobMaximum = 16000;
constexpr plat::WORD kEventOnLoad = 13;
constexpr plat::WORD kEventOnSubmit = 16;
constexpr std::uint8_t kPitchAndFamily = 0x20;
constexpr plat::WORD kStatusTextLimit = 1000;
constexpr const char* kDefaultToolbarSet = "MirratDefault";

// Host forms of the records (natural alignment, as the platform's
// structure table lays them out).
struct EventRecord {
    plat::WORD signature = kSigEvent;
    plat::WORD length = 0;
    plat::DWORD flags = 0;
    plat::WORD eventType = 0;
    plat::WORD actionType = 0;
    plat::DWORD actionLength = 0;
    plat::WORD signatureLength = 0;
    std::uint8_t reserved[14] = {};
};

struct BlobPartRecord {
    plat::WORD signature = kSigBlobPart;
    plat::WORD length = 0;
    plat::WORD ownerSignature = 0;
    plat::WORD partLength = 0;
    plat::WORD blobMaximum = 0;
    std::uint8_t reserved[8] = {};
};

struct EventEntryRecord {
    plat::WORD signature = kSigEventLanguageEntry;
    plat::WORD length = 0;
    plat::WORD platform = 0;
    plat::WORD eventId = 0;
    plat::WORD actionType = 0;
    plat::WORD reserved = 0;
    plat::DWORD reservedDword = 0;
};

struct HeaderRecord {
    plat::WORD signature = kSigHeader;
    plat::WORD length = 0;
    std::uint8_t pitchAndFamily = 0;
    char faceName[32] = {};
    plat::DWORD fontId = 0;
    plat::WORD headLength = 0;
};

// True when the structures above have the platform's host layout, so that
// the structure writer reads no more than they hold.
bool HostLayoutsMatch() {
    return plat::StructHostLength(kEventType) == sizeof(EventRecord) &&
           plat::StructHostLength(kBlobPartType) == sizeof(BlobPartRecord) &&
           plat::StructHostLength(kEventEntryType) == sizeof(EventEntryRecord) &&
           plat::StructHostLength(kHeaderType) == sizeof(HeaderRecord);
}

STATUS DeleteItem(plat::NOTEHANDLE note, const char* name) {
    STATUS status = plat::ItemDelete(note, name, NameLength(name));
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

// Writes one JavaScript event: the event record, the blob part and the
// action text. The text goes through the session's text result; its length
// is taken down to even, and line ends within that length become zero bytes.
STATUS WriteJavaScriptEvent(RARIvoSession* session, void** position, plat::WORD eventCode, const char* code) {
    std::size_t length = std::strlen(code);
    std::memcpy(session->textResult, code, length + 1);
    length &= ~static_cast<std::size_t>(1);
    for (std::size_t i = 0; i < length; ++i)
        if (session->textResult[i] == '\r' || session->textResult[i] == '\n') session->textResult[i] = '\0';

    EventRecord event;
    event.length = plat::StructStoredLength(kEventType);
    event.eventType = eventCode;
    event.actionType = kActionJavaScript;
    event.actionLength = static_cast<plat::DWORD>(length);
    BlobPartRecord part;
    part.length = static_cast<plat::WORD>(plat::StructStoredLength(kBlobPartType) + length);
    part.ownerSignature = kSigEvent;
    part.partLength = static_cast<plat::WORD>(length);
    part.blobMaximum = kBlobMaximum;
    STATUS status = plat::StructWrite(position, kEventType, &event);
    if (status == plat::NOERROR) status = plat::StructWrite(position, kBlobPartType, &part);
    if (status != plat::NOERROR) return status;
    std::memcpy(*position, session->textResult, length);
    *position = static_cast<std::uint8_t*>(*position) + length;
    return kOK;
}

STATUS WriteEventEntry(void** position, plat::WORD eventId) {
    EventEntryRecord entry;
    entry.length = plat::StructStoredLength(kEventEntryType);
    entry.platform = 2;
    entry.eventId = eventId;
    entry.actionType = 7;
    return plat::StructWrite(position, kEventEntryType, &entry);
}

// Replaces "$HTMLCode" by the two JavaScript events and their entries.
STATUS WriteHTMLCode(RARIvoSession* session, plat::NOTEHANDLE note) {
    plat::DHANDLE block = plat::NULLHANDLE;
    STATUS status = plat::MemAlloc(kWorkBufferSize, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    void* start = plat::MemLock(block);
    if (start == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    void* position = start;
    const plat::WORD dataType = plat::TYPE_COMPOSITE;
    status = plat::StructWrite(&position, plat::ODS_WORD, &dataType);
    if (status == kOK) status = WriteJavaScriptEvent(session, &position, kEventOnLoad, "doLoadAlternateEditor() ; \n");
    if (status == kOK) status = WriteJavaScriptEvent(session, &position, kEventOnSubmit, "doSubmit() ; \n");
    if (status == kOK) status = WriteEventEntry(&position, kEventOnLoad);
    if (status == kOK) status = WriteEventEntry(&position, kEventOnSubmit);
    auto length = static_cast<plat::DWORD>(static_cast<std::uint8_t*>(position) - static_cast<std::uint8_t*>(start));
    plat::MemUnlock(block);
    if (status == kOK) status = DeleteItem(note, "$HTMLCode");
    if (status == kOK) status = plat::ItemAppendByBlock(note, 0, "$HTMLCode", 9, block, length);
    plat::MemFree(block);
    return status;
}

// Text placed inside a quoted formula string: quotes and backslashes are
// escaped, so the text cannot end the string.
std::string FormulaStringText(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '"' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// The "$HTMLHeadTag" formula: the page's meta tags, and while the document
// is edited the script that replaces the field's text area by the editor.
std::string HeadTagFormula(std::string_view fieldName, std::string_view toolbarSet) {
    const std::string editing[] = {
        R"("<script type=\"text/javascript\" src=\"/QVE_fckeditor.nsf/fckeditor/fckeditor.js\"></script>")",
        R"("<script type=\"text/javascript\">")",
        R"("function doLoadAlternateEditor() {")",
        "\"var oFCKeditor1 = new FCKeditor( '" + FormulaStringText(fieldName) + "' ) ;\"",
        R"("oFCKeditor1.BasePath  = '/QVE_fckeditor.nsf/fckeditor/' ;")",
        "\"oFCKeditor1.ToolbarSet  = '" + FormulaStringText(toolbarSet) + "' ;\"",
        R"("oFCKeditor1.Height            = '500' ;")",
        R"("oFCKeditor1.Width            = '100%' ;")",
        R"("oFCKeditor1.ReplaceTextarea() ;")",
        R"("return")",
        R"("} ")",
        R"("function doSubmit () { return true } ")",
        R"("function FCKeditor_OnComplete( editorInstance ) {")",
        R"(" window.status = editorInstance.Description ;")",
        R"("}")",
        R"("var editmode = 'true' ; ")",
        R"("</script>")",
    };
    const char* reading[] = {
        R"("<script type=\"text/javascript\">")",
        R"("function doLoadAlternateEditor () { return true } ")",
        R"("function doSubmit () { return true } ")",
        R"("</script>")",
    };
    std::string formula = "br := @NewLine;";
    formula += R"("<META HTTP-EQUIV=\"CACHE-CONTROL\" CONTENT=\"NO-CACHE\">")";
    formula += "+ br +";
    formula += R"("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">")";
    formula += "+ br +";
    formula += R"("<meta name=\"robots\" content=\"noindex, nofollow\">")";
    formula += "+ br +@If(@IsDocBeingEdited; ";
    for (std::size_t i = 0; i < std::size(editing); ++i) formula += (i == 0 ? "" : "+ br +") + editing[i];
    formula += "; br +";
    for (std::size_t i = 0; i < std::size(reading); ++i) formula += std::string(i == 0 ? "" : "+ br +") + reading[i];
    formula += ")";
    return formula;
}

// Reports a formula that does not compile: the session's message prefix
// and the status text, shown to the host and written to the log.
void ReportCompileFailure(RARIvoSession* session, STATUS status) {
    char* text = session->statusText;
    int prefix = std::snprintf(text, RARIvoSession::kStatusTextCapacity, "%s: ", session->messagePrefix);
    if (prefix < 0) prefix = 0;
    if (static_cast<std::uint32_t>(prefix) >= RARIvoSession::kStatusTextCapacity)
        prefix = RARIvoSession::kStatusTextCapacity - 1;
    std::uint32_t room = RARIvoSession::kStatusTextCapacity - static_cast<std::uint32_t>(prefix);
    plat::StatusText(status, text + prefix, static_cast<plat::WORD>(room < kStatusTextLimit ? room : kStatusTextLimit));
    ShowHostMessage(text);
    plat::LogLine(status, "%s", text);
}

} // namespace

std::uint16_t ZervaRTItem::SetupAlternateEditor(const char* text, const char* fieldName,
                                                std::uint16_t fieldNameLength, const char* toolbarSet) {
    if (!ItemReady(this)) return kOutOfMemory;
    if (noteHandle == 0 || !HostLayoutsMatch()) return kArgumentError;

    // The head-tag formula is compiled first, so that a formula that cannot
    // be made leaves both items as they were.
    std::string_view field = fieldName != nullptr ? std::string_view(fieldName, ::strnlen(fieldName, fieldNameLength))
                                                  : std::string_view();
    std::string formula = HeadTagFormula(field, toolbarSet != nullptr ? toolbarSet : kDefaultToolbarSet);
    if (formula.size() > RARIvoSession::kTextResultCapacity) return kArgumentError;
    std::memcpy(session->textResult, formula.c_str(), formula.size() + 1);
    session->textResultLength = static_cast<std::uint16_t>(formula.size());

    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD compiledLength = 0;
    STATUS status = plat::FormulaCompile(session->textResult, session->textResultLength, &compiled, &compiledLength);
    if (status != plat::NOERROR) {
        ReportCompileFailure(session, status);
        ownError = kErrFormula;
        return kOperationFailed;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(plat::MemLock(compiled));
    if (bytes == nullptr) {
        plat::MemFree(compiled);
        return kOutOfMemory;
    }
    std::vector<std::uint8_t> value(bytes, bytes + compiledLength);
    if (value.size() % 2 != 0) value.push_back(0);
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);

    status = WriteHTMLCode(session, noteHandle);
    if (status == kOK) status = DeleteItem(noteHandle, "$HTMLHeadTag");
    if (status == kOK)
        status = plat::ItemAppend(noteHandle, 0, "$HTMLHeadTag", 12, plat::TYPE_FORMULA, value.data(),
                                  static_cast<plat::DWORD>(value.size()));
    return status;
}

std::uint16_t ZervaRTItem::ResetHeaderFooter(int header, const char* text, std::uint32_t fontId,
                                             const char* faceName) {
    if (!ItemReady(this)) return kOutOfMemory;
    if (noteHandle == 0 || !HostLayoutsMatch()) return kArgumentError;
    if (text == nullptr) text = "";
    const std::size_t textLength = std::strlen(text);
    const std::size_t fixed = plat::StructStoredLength(kHeaderType);
    // The record's length word counts the fixed part, the text and its terminator.
    if (fixed + textLength + 1 > kWorkBufferSize) return kArgumentError;
    const auto recordLength = static_cast<std::uint32_t>(fixed + textLength + 1);
    const std::uint32_t blockLength = (recordLength + 1) & ~1u;

    auto* block = static_cast<std::uint8_t*>(QuorbelAllocate(session, __LINE__, "rtitemi", blockLength, 1));
    if (block == nullptr) return kOutOfMemory;
    HeaderRecord record;
    record.length = static_cast<plat::WORD>(recordLength);
    record.pitchAndFamily = kPitchAndFamily;
    std::snprintf(record.faceName, sizeof record.faceName, "%s", faceName != nullptr ? faceName : "");
    record.fontId = fontId;
    record.headLength = static_cast<plat::WORD>(textLength + 1);
    void* position = block;
    STATUS status = plat::StructWrite(&position, kHeaderType, &record);
    if (status == plat::NOERROR) {
        std::memcpy(block + fixed, text, textLength);   // the block is zero-filled: the terminator is there
        const char* name = header != 0 ? "$Header" : "$Footer";
        status = DeleteItem(noteHandle, name);
        if (status == kOK)
            status = plat::ItemAppend(noteHandle, 0, name, NameLength(name), plat::TYPE_COMPOSITE, block, blockLength);
    }
    ZervaDeallocate(session, block);
    return status;
}

std::uint16_t ZervaRTItem::GetFormulaItem(const char* name, char* text, std::uint16_t textSize) {
    if (text == nullptr || textSize == 0) return 0;
    text[0] = '\0';
    if (noteHandle == 0 || name == nullptr || name[0] == '\0') return 0;
    plat::WORD dataType = 0;
    plat::BLOCKID value;
    plat::DWORD length = 0;
    if (plat::ItemInfo(noteHandle, name, NameLength(name), nullptr, &dataType, &value, &length) != plat::NOERROR ||
        dataType != plat::TYPE_FORMULA || length < 2 || length - 2 > 0xFFFF)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return 0;
    plat::DHANDLE decompiled = plat::NULLHANDLE;
    plat::WORD textLength = 0;
    STATUS status = plat::FormulaDecompile(bytes + 2, static_cast<plat::WORD>(length - 2), &decompiled, &textLength);
    plat::BlockUnlock(value);
    if (status != plat::NOERROR) return 0;
    std::uint16_t result = 0;
    // A formula text that does not fit is not handed back cut short.
    if (textLength < textSize) {
        if (const void* source = plat::MemLock(decompiled)) {
            std::memcpy(text, source, textLength);
            text[textLength] = '\0';
            result = textLength;
            plat::MemUnlock(decompiled);
        }
    }
    plat::MemFree(decompiled);
    return result;
}

std::uint16_t ZervaRTItem::CalculateRTItemCRC(char* text, std::uint16_t lengthWidth, std::uint16_t sumWidth) {
    if (connected == 0 || noteHandle == 0 || itemName == nullptr) {
        if (text != nullptr) text[0] = '\0';
        return kOK;
    }
    return FormatItemCRC(noteHandle, itemName, text, lengthWidth + 2u * sumWidth + 1u, lengthWidth, sumWidth);
}

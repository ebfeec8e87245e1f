// ZervaRTItem's properties by name: numbers and switches, font texts, the
// client preference, and the form-level formulas stored as items of the note.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/kept_items.h"
#include "core/options.h"
#include "core/owned_text.h"
#include "core/properties.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr plat::WORD kStatusTextLimit = 1000;
constexpr double kTwipsPerInch = 1440.0;

// Keeps the length of the text formatted into the session's text result.
void SetTextResultLength(RARIvoSession* session, int formatted) {
    std::uint32_t length = formatted < 0 ? 0 : static_cast<std::uint32_t>(formatted);
    if (length > RARIvoSession::kTextResultCapacity) length = RARIvoSession::kTextResultCapacity;
    session->textResultLength = static_cast<std::uint16_t>(length);
}

// "Unable to set read-only property" into the session's text result, shown
// through the host.
void ReportReadOnly(RARIvoSession* session, const char* name) {
    if (session == nullptr) return;
    SetTextResultLength(session, std::snprintf(session->textResult, sizeof session->textResult,
                                               "%s: Unable to set read-only property '%s'",
                                               session->messagePrefix, name));
    ShowHostMessage(session->textResult);
}

// The note item that holds a formula row's compiled formula.
const char* FormulaItemName(std::uint16_t code) {
    switch (code) {
    case kPropWebQueryOpen: return "$WEBQueryOpen";
    case kPropWebQuerySave: return "$WEBQuerySave";
    case kPropWindowTitle: return "$WindowTitle";
    case kPropHTMLHeadContent: return "$HTMLHeadTag";
    default: return nullptr;
    }
}

// Replaces the items of a name by one formula item (the compiled formula,
// padded to an even length). When the new item cannot be written the old
// items are put back, so the note never loses them.
plat::STATUS StoreFormulaItem(plat::NOTEHANDLE note, const char* name, const void* compiled,
                              plat::WORD compiledLength) {
    std::vector<KeptItem> saved;
    plat::STATUS status = KeepItems(note, name, &saved);
    if (status != plat::NOERROR) return status;
    plat::WORD nameLength = static_cast<plat::WORD>(std::strlen(name));
    status = plat::ItemDelete(note, name, nameLength);
    if (status != plat::NOERROR && status != plat::ERR_ITEM_NOT_FOUND) return status;

    std::vector<std::uint8_t> value(static_cast<const std::uint8_t*>(compiled),
                                    static_cast<const std::uint8_t*>(compiled) + compiledLength);
    if (value.size() % 2 != 0) value.push_back(0);
    status = plat::ItemAppend(note, 0, name, nameLength, plat::TYPE_FORMULA, value.data(),
                              static_cast<plat::DWORD>(value.size()));
    if (status != plat::NOERROR) RestoreItems(note, name, saved);
    return status;
}

// The text of a formula item of the note ("" when missing or not a formula).
std::string ReadFormulaItem(plat::NOTEHANDLE note, const char* name) {
    plat::WORD dataType = 0;
    plat::BLOCKID value;
    plat::DWORD valueLength = 0;
    if (note == 0 ||
        plat::ItemInfo(note, name, static_cast<plat::WORD>(std::strlen(name)), nullptr, &dataType, &value,
                       &valueLength) != plat::NOERROR ||
        dataType != plat::TYPE_FORMULA || valueLength < 2 || valueLength - 2 > 0xFFFF)
        return "";
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return "";
    plat::DHANDLE textHandle = plat::NULLHANDLE;
    plat::WORD textLength = 0;
    plat::STATUS status =
        plat::FormulaDecompile(bytes + 2, static_cast<plat::WORD>(valueLength - 2), &textHandle, &textLength);
    plat::BlockUnlock(value);
    std::string text;
    if (status == plat::NOERROR && textHandle != plat::NULLHANDLE) {
        if (const auto* chars = static_cast<const char*>(plat::MemLock(textHandle))) {
            text.assign(chars, strnlen(chars, textLength));
            plat::MemUnlock(textHandle);
        }
    }
    if (textHandle != plat::NULLHANDLE) plat::MemFree(textHandle);
    return text;
}

// Replaces an owned text of the item by a copy of length characters; the
// old text stays when memory is short.
bool ReplaceText(char** field, const char* value, std::size_t length) {
    char* copy = CopyOwnedText(value, length);
    if (copy == nullptr) return false;
    FreeOwnedText(*field);
    *field = copy;
    return true;
}

char** FontField(ZervaRTItem* item, std::uint16_t code) {
    switch (code) {
    case kPropActionHotspotFont: return &item->actionHotspotFont;
    case kPropHighlightFont: return &item->highlightFont;
    case kPropHyperlinkFont: return &item->hyperlinkFont;
    case kPropPermanentPenFont: return &item->permanentPenFont;
    case kPropPopUpFont: return &item->popUpFont;
    case kPropURLFont: return &item->urlFont;
    case kPropImportExportFile: return &item->importExportFile;
    default: return nullptr;
    }
}

// The switch words of the item, by code; null for other codes.
std::uint16_t* SwitchField(ZervaRTItem* item, std::uint16_t code) {
    switch (code) {
    case kPropAutoDecrypt: return &item->autoDecrypt;
    case kPropAutoMergeText: return &item->autoMergeText;
    case kPropAutoSave: return &item->autoSave;
    case kPropCacheRecords: return &item->cacheRecords;
    case kPropCacheLinkMatching: return &item->cacheLinkMatching;
    case kPropImportNativeImages: return &item->importNativeImages;
    case kPropModified: return &item->modified;
    case kPropPermanentPen: return &item->permanentPen;
    case kPropSuppressMessages: return &item->suppressMessages;
    default: return nullptr;
    }
}

const PropertyTableEntry* FindRowFullScan(const char* name) {
    if (name == nullptr) return nullptr;
    for (const PropertyTableEntry* row = ItemPropertyTable(); row->name != nullptr; ++row) {
        const char* found = FindNoCase(name, row->name);
        if (found == name && std::strlen(name) == std::strlen(row->name)) return row;
    }
    return nullptr;
}

} // namespace

std::uint16_t ZervaRTItem::SetPropertyNumber(const char* name, double value) {
    const PropertyTableEntry* row = FindRowFullScan(name);
    if (row == nullptr) return 0;
    if (row->readOnly) {
        ReportReadOnly(session, name);
        return 0;
    }
    if (std::uint16_t* field = SwitchField(this, row->code)) {
        *field = std::trunc(value) != 0.0 ? 1 : 0;
        // A later change of SuppressMessages reaches the thread's switch too.
        if (row->code == kPropSuppressMessages) ThisThread().suppressMessages = suppressMessages;
    } else if (row->code == kPropForceToWindow) {
        if (work != nullptr) work->forceToWindow = std::trunc(value) != 0.0 ? 1 : 0;
    } else if (row->code == kPropDefaultTableWidth) {
        // Widths that cannot be held in twips (negative, too large, not a number) are refused.
        double twips = std::trunc(value * kTwipsPerInch);
        if (twips >= 0.0 && twips <= 65535.0) defaultTableWidth = static_cast<std::uint16_t>(twips);
    }
    return 0;
}

double ZervaRTItem::GetPropertyNumber(const char* name) {
    const PropertyTableEntry* row = FindItemProperty(name);
    if (row == nullptr) return 0.0;
    if (std::uint16_t* field = SwitchField(this, row->code)) return *field != 0 ? 1.0 : 0.0;
    switch (row->code) {
    case kPropForceToWindow: return work != nullptr && work->forceToWindow != 0 ? 1.0 : 0.0;
    case kPropIsConnected: return connected != 0 ? 1.0 : 0.0;
    case kPropHandle: return static_cast<double>(noteHandle);
    case kPropDefaultTableWidth: return defaultTableWidth / kTwipsPerInch;
    default: return 0.0;
    }
}

std::uint16_t ZervaRTItem::SetFormulaItem(const char* name, const char* formula, std::uint16_t length) {
    if (name == nullptr || name[0] == '\0') return kArgumentError;
    // The compiler reads the bytes it is told of: never past the formula's end.
    if (formula != nullptr) length = static_cast<std::uint16_t>(strnlen(formula, length));
    if (length == 0 || formula == nullptr) {
        plat::STATUS status = plat::ItemDelete(noteHandle, name, static_cast<plat::WORD>(std::strlen(name)));
        return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
    }
    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD compiledLength = 0;
    plat::STATUS status = plat::FormulaCompile(formula, length, &compiled, &compiledLength);
    if (status != plat::NOERROR) {
        if (session != nullptr) {
            int prefix = std::snprintf(session->textResult, sizeof session->textResult, "%s: ",
                                       session->messagePrefix);
            if (prefix < 0) prefix = 0;
            plat::WORD text = plat::StatusText(status, session->textResult + prefix, kStatusTextLimit);
            session->textResultLength = static_cast<std::uint16_t>(prefix + text);
            ShowHostMessage(session->textResult);
            plat::LogLine(status, "%s", session->textResult);
        }
        ownError = kErrFormula;
        return kOperationFailed;
    }
    const void* bytes = plat::MemLock(compiled);
    status = bytes != nullptr ? StoreFormulaItem(noteHandle, name, bytes, compiledLength) : kOutOfMemory;
    if (bytes != nullptr) plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return status;
}

namespace {

// Sets one text row that is not read-only. Returns 1 when the value was
// taken, 0 when the row is not a settable text or the value could not be
// stored.
int SetTextRow(ZervaRTItem* item, const PropertyTableEntry* row, const char* value, std::size_t length) {
    if (row->valueType != kPropertyText) return 0;
    if (char** field = FontField(item, row->code)) return ReplaceText(field, value, length) ? 1 : 0;
    if (row->code == kPropClientPreference) {
        bool web = length == 3 && (value[0] | 0x20) == 'w' && (value[1] | 0x20) == 'e' && (value[2] | 0x20) == 'b';
        std::uint32_t preference = web ? 0 : 1;
        if (item->work != nullptr) item->work->clientPreference = preference;
        ThisThread().clientPreference = preference;
        return 1;
    }
    if (const char* itemName = FormulaItemName(row->code)) {
        // A formula longer than a formula text can be is refused rather than cut.
        if (length > 0xFFFF) return 0;
        return item->SetFormulaItem(itemName, value, static_cast<std::uint16_t>(length)) == kOK ? 1 : 0;
    }
    return 0;
}

} // namespace

int ZervaRTItem::SetPropertyText(const char* name, const char* value, std::uint16_t length) {
    if (name == nullptr) return 0;
    if (value == nullptr) {
        // Bulk mode: name is an option string; every text property it names is set.
        if (std::strchr(name, '=') == nullptr) return 0;
        std::vector<char> buffer(std::strlen(name) + 1);
        for (const PropertyTableEntry* row = ItemPropertyTable(); row->name != nullptr; ++row) {
            std::string key = std::string(row->name) + "=";
            if (!GetOptionValue(name, key.c_str(), buffer.data(), static_cast<std::uint32_t>(buffer.size())))
                continue;
            if (row->readOnly)
                ReportReadOnly(session, row->name);
            else
                SetTextRow(this, row, buffer.data(), std::strlen(buffer.data()));
        }
        return 1;
    }

    const PropertyTableEntry* row = FindItemProperty(name);
    if (row == nullptr) return 0;
    if (row->readOnly) {
        ReportReadOnly(session, name);
        return 0;
    }
    std::size_t measured = length != 0 ? strnlen(value, length) : std::strlen(value);
    return SetTextRow(this, row, value, measured);
}

std::uint16_t ZervaRTItem::GetPropertyText(const char* name, char* buffer, std::uint16_t size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    const PropertyTableEntry* row = FindItemProperty(name);
    if (row == nullptr) return 0;

    std::string text;
    if (char** field = FontField(this, row->code)) {
        text = *field != nullptr ? *field : "";
    } else if (const char* itemName = FormulaItemName(row->code)) {
        text = ReadFormulaItem(noteHandle, itemName);
    } else {
        switch (row->code) {
        case kPropClientPreference:
            text = work != nullptr && work->clientPreference == 0 ? "Web" : "Notes";
            break;
        case kPropServer: text = server != nullptr ? server : ""; break;
        case kPropFilePath: text = databasePath != nullptr ? databasePath : ""; break;
        case kPropNoteID: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(noteID));
            text = hex;
            break;
        }
        default: break;   // ContainerType and the number rows have no text
        }
    }

    if (session != nullptr) {
        std::size_t kept = text.size() < RARIvoSession::kTextResultCapacity ? text.size()
                                                                            : RARIvoSession::kTextResultCapacity;
        std::memcpy(session->textResult, text.data(), kept);
        session->textResult[kept] = '\0';
        session->textResultLength = static_cast<std::uint16_t>(kept);
    }
    if (buffer == nullptr || size == 0) return 0;
    std::size_t copied = text.size() < size ? text.size() : static_cast<std::size_t>(size) - 1;
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return static_cast<std::uint16_t>(copied);
}

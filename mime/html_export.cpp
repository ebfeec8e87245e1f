// The whole-item HTML conversions of ZervaRTItem: the item rendered by the
// generation into a file (ExportToHTML), into an item of its own note
// (ConvertToHTML: one text run, or a rich-text item of one line per piece
// of the generation), and the worker of both (SaveAsHTMLInternal).

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/debug_level.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/kept_items.h"
#include "core/owned_text.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/replacing_file.h"
#include "core/record_list.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "mime/entity_writer.h"
#include "mime/mime_export.h"
#include "mime/mime_options.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr const char* kDefaultFile = "export.htm";
constexpr STATUS kTargetExists = 260;
constexpr std::uint32_t kGenerationCapacity = 65394;
// In the item form a caller's buffer receives the markup from its 9th byte on.
constexpr std::uint32_t kCallerBufferOffset = 8;
// The records around the text run's text: the pass-thru begin record and
// the text run's header in front, the pad byte and the end record behind.
constexpr std::uint32_t kFrontRoom = kPassThroughRecordLength + kTextRunHeader;
constexpr std::uint32_t kWorkBlockSize = kFrontRoom + kGenerationCapacity + 1 + kPassThroughRecordLength;

enum class Form { File, TextRun, RichText };

// A failure of the conversion; an output file that could not be written
// is not one of the content (its message says which file and why).
void Fail(ZervaRTItem* item, STATUS status) {
    item->lastStatus = status;
    item->ownError = status == kFileNotWritten ? 0 : kErrConversion;
}

void PutWord(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

// A pass-thru begin or end record: signature, length 8, four zero bytes.
void PutPassthruRecord(std::uint8_t* at, std::uint16_t signature) {
    PutWord(at, signature);
    PutWord(at + 2, kPassThroughRecordLength);
    std::memset(at + 4, 0, 4);
}

// The item's records: a cached list is written back first and read again;
// a missing one is read. 263 when they cannot be read.
STATUS ReadItemRecords(ZervaRTItem* item) {
    ItemWorkState* work = item->work;
    if (work->current != nullptr && item->cacheRecords != 0 && item->Commit() != kOK) return kOutOfMemory;
    if (work->current != nullptr) return kOK;
    STATUS status = kOK;
    ItemRecordList* list = SIAR(item, 0, nullptr, 1, 0, 0, nullptr, &status);
    if (list == nullptr || status != kOK) {
        if (list != nullptr) DeleteItemRecordList(item->session, list);
        return kOutOfMemory;
    }
    work->current = list;
    return kOK;
}

// "MarkDelimitedHTML=Yes": the texts "[<" and ">]" highlighted in bold
// black, the item's HighlightFont and AutoMergeText kept as they were.
void MarkDelimitedHTML(ZervaRTItem* item) {
    char* highlight = item->highlightFont;
    const std::uint16_t autoMerge = item->autoMergeText;
    item->highlightFont = CopyOwnedText("Bold Black");
    item->autoMergeText = 0;
    if (item->highlightFont != nullptr) {
        item->defaultChunk->HighlightText("[<", 2);
        item->defaultChunk->HighlightText(">]", 2);
    }
    FreeOwnedText(item->highlightFont);
    item->highlightFont = highlight;
    item->autoMergeText = autoMerge;
    if (item->work->current == nullptr) ReadItemRecords(item);
}

// The most text one run holds: the run, with a pass-thru record on either
// side, fits in one stored item, and every record stays well within what the
// record reader takes.
constexpr std::uint32_t kRunTextCapacity = kItemRecordBytes - 2 * kPassThroughRecordLength - kTextRunHeader;

// Where the run of text that starts at `from` ends: the whole rest when it
// fits; else after the last line end in the back half of what fits; else
// after the last whole character that fits.
std::size_t RunEnd(const std::string& text, std::size_t from) {
    if (text.size() - from <= kRunTextCapacity) return text.size();
    const std::size_t limit = from + kRunTextCapacity;
    // The line end is looked for in the back half alone: markup without line
    // ends is not read back to its start for each run.
    const std::size_t half = from + kRunTextCapacity / 2;
    const void* lineEnd = memrchr(text.data() + half, '\n', limit - half);
    if (lineEnd != nullptr) return static_cast<std::size_t>(static_cast<const char*>(lineEnd) - text.data()) + 1;
    const auto* bytes = reinterpret_cast<const plat::BYTE*>(text.data());
    std::size_t end = from;
    while (end < limit) {
        std::size_t length = plat::LmbcsCharLength(bytes + end, static_cast<plat::DWORD>(text.size() - end));
        if (length == 0) length = 1;
        if (end + length > limit) break;
        end += length;
    }
    return end > from ? end : limit;
}

// The text-run variant's item: the markup as text runs in the item's
// default font (one run, or as many as its length needs), between pass-thru
// records when asked for, in place of the items of the name.
STATUS StoreTextRunItem(ZervaRTItem* item, const char* name, const std::string& markup, bool passthru) {
    ItemRecordList* list = NewItemRecordList();
    if (list == nullptr) return kOutOfMemory;
    CDRecordNode* last = nullptr;
    // A record of a header and text (a pass-thru record is as long as a
    // text run's header); false when memory is short.
    static_assert(kPassThroughRecordLength == kTextRunHeader);
    auto add = [&](const std::uint8_t* header, const char* text, std::uint32_t textLength) {
        const std::uint16_t signature = ReadWord(header);
        CDRecordNode* node = NewListNode(list, nullptr, signature, kTextRunHeader + textLength);
        if (node == nullptr) return false;
        std::memcpy(node->bytes, header, kTextRunHeader);
        PutWord(node->bytes + 2, static_cast<std::uint16_t>(kTextRunHeader + textLength));
        if (textLength > 0) std::memcpy(node->bytes + kTextRunHeader, text, textLength);
        node->index = last != nullptr ? last->index + 1 : 1;
        LinkRecordNode(list, last, node);
        last = node;
        return true;
    };
    std::uint8_t begin[kPassThroughRecordLength], end[kPassThroughRecordLength];
    PutPassthruRecord(begin, kSigHtmlBegin);
    PutPassthruRecord(end, kSigHtmlEnd);
    bool built = !passthru || add(begin, nullptr, 0);
    std::size_t from = 0;
    do {
        const std::size_t to = RunEnd(markup, from);
        built = built && add(item->work->textTemplate, markup.data() + from, static_cast<std::uint32_t>(to - from));
        from = to;
    } while (built && from < markup.size());
    if (built && passthru) built = add(end, nullptr, 0);
    const STATUS status = built ? ReplaceItemRecords(list, item, item->noteHandle, name) : kOutOfMemory;
    DeleteItemRecordList(item->session, list);
    return status;
}

// The text-run variant's event procedure: the markup the generation hands
// out piece by piece is kept whole.
std::uint16_t CollectMarkup(ZervaRTChunk* chunk, char* text, std::uint16_t length) {
    if (chunk == nullptr || chunk->session == nullptr || chunk->session->workArea == nullptr) return 0;
    std::string* markup = chunk->session->workArea->convertedMarkup;
    if (markup != nullptr && text != nullptr) markup->append(text, length);
    return 0;
}

// The rich-text variant's marking: the whole new item ("ALL") or each of
// its non-blank text runs ("Text") as pass-thru HTML.
void MarkPassthru(ZervaRTItem* created, ZervaRTChunk* output, const MimeOptions& options) {
    if (options.Is("PassthruHTML=", "ALL")) {
        output->SetPropertyNumber("PassthruHTML", -1.0);
        return;
    }
    if (!options.Is("PassthruHTML=", "Text")) return;
    ZervaRTChunk* runs = created->DefineChunk("NonBlankText 1");
    if (runs == nullptr) return;
    while (runs->Exists()) {
        runs->SetPropertyNumber("PassthruHTML", -1.0);
        if (runs->GetNextTarget(1) == 0) break;
    }
    delete runs;
}

// A work block of the platform, locked while the object lives.
class WorkBlock {
public:
    ~WorkBlock() {
        if (handle_ == 0) return;
        plat::MemUnlock(handle_);
        plat::MemFree(handle_);
    }
    STATUS Allocate() {
        STATUS status = plat::MemAlloc(kWorkBlockSize, plat::MEM_GROWABLE, &handle_);
        if (status != plat::NOERROR) return status;
        data_ = static_cast<std::uint8_t*>(plat::MemLock(handle_));
        return data_ != nullptr ? kOK : kOutOfMemory;
    }
    std::uint8_t* data() const { return data_; }

private:
    plat::DHANDLE handle_ = 0;
    std::uint8_t* data_ = nullptr;
};

// Clears the session's pending lines when the conversion ends, on every path.
class PendingLinesGuard {
public:
    explicit PendingLinesGuard(SessionWorkArea* area) : area_(area) {}
    ~PendingLinesGuard() { area_->pendingLines = nullptr; }
    PendingLinesGuard(const PendingLinesGuard&) = delete;
    PendingLinesGuard& operator=(const PendingLinesGuard&) = delete;

private:
    SessionWorkArea* area_;
};

} // namespace

void ZervaRTItem::ExportToHTML(const char* fileName, const char* format, const char* options,
                               std::uint16_t optionsLength, ZervaRTChunk::QueryLinkData queryLinkData) {
    SaveAsHTMLInternal(fileName, format, options, optionsLength, nullptr, 1, nullptr, queryLinkData);
}

void ZervaRTItem::ConvertToHTML(const char* outputName, const char* format, const char* options,
                                std::uint16_t optionsLength, ZervaRTChunk::QueryLinkData queryLinkData) {
    SetDebugLevelFromSetting("MirratDebug");
    SaveAsHTMLInternal(outputName, format, options, optionsLength, nullptr, 0, nullptr, queryLinkData);
}

void ZervaRTItem::SaveAsHTMLInternal(const char* name, const char* format, const char* options,
                                     std::uint16_t optionsLength, char* buffer, int toFile,
                                     ZervaRTChunk::ActOnText actOnText, ZervaRTChunk::QueryLinkData queryLinkData) {
    lastStatus = kOK;
    ownError = 0;
    // The items a new rich-text item takes the place of, put back when the
    // conversion fails: a note saved after a failure keeps them.
    std::vector<KeptItem> replaced;
    std::string replacedName;
    bool replacing = false;
    // Memory that runs out fails the conversion: a file being written is
    // removed as the run unwinds, and no item is written.
    try {
        [&] {
            if (!ItemReady(this) || session == nullptr || session->workArea == nullptr) {
                Fail(this, kOutOfMemory);
                return;
            }
            std::string outputName;
            if (name != nullptr && name[0] != '\0') outputName = name;
            else if (toFile != 0) outputName = kDefaultFile;
            else if (itemName != nullptr) outputName = itemName;
            if (outputName.empty()) {
                Fail(this, kItemNotFound);
                return;
            }
            // An item that is not connected has nothing to render: an empty
            // page would take the place of the output item or file.
            if (connected == 0) {
                Fail(this, kArgumentError);
                return;
            }
            const MimeOptions read(options, optionsLength);
            const std::string& optionText = read.text();
            Form form = Form::RichText;
            if (toFile != 0) form = Form::File;
            else if (read.Is("CreateRTItem=", "No")) form = Form::TextRun;

            if (ReadItemRecords(this) != kOK) {
                Fail(this, kOutOfMemory);
                return;
            }
            WorkBlock block;
            if (form != Form::File) {
                const STATUS status = block.Allocate();
                if (status != kOK) {
                    Fail(this, status);
                    return;
                }
            }
            if (defaultChunk == nullptr && connected != 0 && ResetDefaultChunk(this) != kOK) {
                Fail(this, kOutOfMemory);
                return;
            }
            if (defaultChunk != nullptr && defaultChunk->item != this) ResetDefaultChunk(this);
            if (defaultChunk != nullptr && read.Is("MarkDelimitedHTML=", "Yes")) MarkDelimitedHTML(this);

            // Where the markup goes.
            std::string converted;
            std::vector<std::string> lines;
            const PendingLinesGuard keptLines(session->workArea);
            std::FILE* file = nullptr;
            ReplacingFile exported;
            ZervaRTItem* created = nullptr;
            ZervaRTChunk* output = nullptr;
            ZervaRTChunk::ActOnText procedure = nullptr;
            if (form == Form::File) {
                // Written under a temporary name beside the file until it is whole.
                file = exported.Open(outputName, "w") ? exported.file() : nullptr;
                if (file == nullptr) {
                    std::snprintf(session->messageBuffer, RARIvoSession::kMessageCapacity,
                                  "TALIX: Export to HTML filename '%s' invalid", outputName.c_str());
                    ShowHostMessage(session->messageBuffer);
                    lastStatus = kItemNotFound;
                    ownError = kItemNotFound;
                    return;
                }
                procedure = actOnText;
            } else {
                const plat::WORD nameLength = NameLength(outputName.c_str());
                if (plat::ItemIsPresent(noteHandle, outputName.c_str(), nameLength) && !read.Is("Overwrite=", "Yes")) {
                    Fail(this, kTargetExists);
                    return;
                }
                work->mode = 0;
                if (form == Form::RichText) {
                    const STATUS taken = TakeItems(noteHandle, outputName.c_str(), &replaced);
                    if (taken != kOK) {
                        Fail(this, taken);
                        return;
                    }
                    replacedName = outputName;
                    replacing = true;
                    const KeptItemSwitches kept;
                    created = new (std::nothrow) ZervaRTItem(session);
                    // The item's failure is told as it is (a name no item can
                    // have is not a want of memory).
                    const STATUS made =
                        created == nullptr ? kOutOfMemory : created->CreateBackend(noteHandle, outputName.c_str(), 1);
                    if (made != kOK) {
                        delete created;
                        Fail(this, made);
                        return;
                    }
                    output = created->defaultChunk != nullptr ? created->defaultChunk
                                                              : created->DefineChunk("Everything");
                    created->cacheRecords = 1;
                    session->workArea->outputChunk = output;
                    // Lines are kept and appended in one run at the end: a run per
                    // line would copy the growing item again for every line.
                    if (output != nullptr && output->appendAtEnd != 0) session->workArea->pendingLines = &lines;
                    procedure = AppendLineToChunk;
                } else {
                    // The markup is kept whole, however long: it is stored in as
                    // many runs as it needs.
                    session->workArea->convertedMarkup = &converted;
                    procedure = CollectMarkup;
                }
            }

            char* markup = nullptr;
            if (buffer != nullptr) markup = file != nullptr ? buffer : buffer + kCallerBufferOffset;
            else if (form != Form::File) markup = reinterpret_cast<char*>(block.data() + kFrontRoom);
            if (markup != nullptr) markup[0] = '\0';

            if (defaultChunk == nullptr) defaultChunk = DefineChunk("Everything");
            std::uint32_t length = 0;
            STATUS generated = kOK;
            if (defaultChunk != nullptr && connected != 0 && defaultChunk->item == this) {
                length = kGenerationCapacity;
                char attachment[128] = {};
                int iconFlags[4] = {};
                int sectionFlag = 0;
                defaultChunk->GenerateHTMLToMime(0, 0, format, optionText.c_str(),
                                                 static_cast<std::uint16_t>(optionText.size()), markup, &length, 2,
                                                 attachment, file, outputName.c_str(), procedure, queryLinkData,
                                                 iconFlags, &sectionFlag, nullptr);
                if (length > kGenerationCapacity) length = kGenerationCapacity;
                generated = GenerationOutcome(defaultChunk);
            }
            // What the generation kept separates its lines by zero bytes in the NL
            // mode; the pieces it handed on end them in line feeds, and so does this.
            if (markup != nullptr && file == nullptr) std::replace(markup, markup + length, '\0', '\n');
            // The generation hands its text to the line procedure as it goes and
            // keeps the last of it in the buffer: that goes to the new item too.
            if (output != nullptr && markup != nullptr && length > 0)
                AppendLineToChunk(output, markup, static_cast<std::uint16_t>(length));
            STATUS appended = kOK;
            if (session->workArea->pendingLines != nullptr) {
                session->workArea->pendingLines = nullptr;
                appended = AppendLinesToChunk(output, lines);
            }

            if (file != nullptr) {
                // A generation that failed leaves no file, and an older one as it was.
                if (generated != kOK) {
                    Fail(this, generated);
                } else if (!exported.Commit()) {
                    ShowFileNotWritten(outputName, std::strerror(errno));
                    Fail(this, kFileNotWritten);
                }
                return;
            }
            // The generation ran out of memory or room: its markup is not whole.
            const bool cut = defaultChunk != nullptr && defaultChunk->lastStatus == kOutOfMemory;
            if (form == Form::TextRun) {
                session->workArea->convertedMarkup = nullptr;
                if (markup != nullptr) converted.append(markup, length);
                // A caller's buffer gets the markup, as much of it as it holds.
                if (buffer != nullptr) {
                    const std::size_t kept = std::min<std::size_t>(converted.size(), kGenerationCapacity - 1);
                    std::memcpy(markup, converted.data(), kept);
                    markup[kept] = '\0';
                }
                // Markup the generation could not make whole (it ran out of memory
                // or room) changes nothing; what it passed over and reported (a
                // formula it could not read) it passes over here too, as the other
                // forms do. The items of the name give way only now: the item's own
                // may be what was rendered.
                const STATUS status = cut                       ? kOutOfMemory
                                      : generated == kErrFormula ? kErrFormula
                                                                 : StoreTextRunItem(this, outputName.c_str(), converted,
                                                             !read.Is("PassthruHTML=", "No"));
                if (status != kOK) {
                    Fail(this, status);
                    return;
                }
            } else if (cut || generated == kErrFormula || appended != kOK) {
                // The markup is not whole, the body was not rendered, or its lines
                // could not be written: the item made for it is left unwritten.
                Fail(this, cut ? kOutOfMemory : generated == kErrFormula ? generated : appended);
                session->workArea->outputChunk = nullptr;
                return;
            } else {
                if (output != nullptr) MarkPassthru(created, output, read);
                if (created->work->current != nullptr) {
                    const STATUS status = created->Commit();
                    if (status != kOK) Fail(this, status);
                }
                session->workArea->outputChunk = nullptr;
            }
            // The item's records were replaced in the note when the HTML went into
            // its own name: a later save must not write them back over it.
            if (itemName != nullptr && CompareNamesNoCase(itemName, outputName.c_str()) == 0) DropRecordLists(this);
        }();
    } catch (const std::bad_alloc&) {
        if (session != nullptr && session->workArea != nullptr) session->workArea->outputChunk = nullptr;
        Fail(this, kOutOfMemory);
    }
    if (replacing && lastStatus != kOK) RestoreItems(noteHandle, replacedName.c_str(), replaced);
}

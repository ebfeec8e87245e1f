// The chunk methods that append active elements: hotspots and buttons with
// their code, image-map areas, URL links and layers. Each checks and
// prepares what the builders read (the hotspot request, the code in the
// session's text result, the link request) and runs one operation.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "chunkops/chunk_frame.h"
#include "chunkops/method_support.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

using namespace talix;

namespace {

// Hotspot types.
constexpr std::uint16_t kHotspotPopup = 1, kHotspotAction = 2, kHotspotButton = 3, kHotspotSubform = 14,
                        kHotspotMouseOver = 22, kHotspotFileUpload = 24;
// Code kinds of AppendHotspot.
constexpr std::uint32_t kCodeFormula = 16, kCodeComputedText = 0x40010, kCodeScript = 256,
                        kCodeJavaScript = 0x200000, kCodeNone = 0;
// Code kinds of SetImageHotspot.
constexpr std::uint32_t kAreaFormula = 1, kAreaScript = 3, kAreaJavaScript = 4;

constexpr char kDefaultHotspotText[] = "Action Hotspot";

// The event frame a button's script is written in.
constexpr char kScriptTemplate[] =
    "'++LotusScript Development Environment:2:5:(Options):0:66\n\n"
    "'++LotusScript Development Environment:2:5:(Forward):0:1\n"
    "Declare Sub Click(Source As Button)\n\n"
    "'++LotusScript Development Environment:2:5:(Declarations):0:2\n\n"
    "'++LotusScript Development Environment:2:2:BindEvents:1:129\n"
    "Private Sub BindEvents(Byval Objectname_ As String)\n"
    "  Static Source As BUTTON\n"
    "  Set Source = Bind(Objectname_)\n"
    "  On Event Click From Source Call Click\n"
    "End Sub\n\n"
    "'++LotusScript Development Environment:2:2:Click:1:12\n";
constexpr char kClickStart[] = "Sub Click(Source As Button)\n";
constexpr char kClickEnd[] = "\nEnd Sub";

struct Word {
    const char* text;
    std::uint32_t value;
};

bool Contains(const char* text, const char* word) { return FindNoCase(text, word) != nullptr; }

// The value of the first word the text holds (ignoring case); fallback when
// it holds none.
std::uint32_t FirstWordValue(const char* text, const Word* words, std::size_t count, std::uint32_t fallback) {
    for (std::size_t i = 0; i < count; ++i) {
        if (Contains(text, words[i].text)) return words[i].value;
    }
    return fallback;
}

bool IsScript(std::uint32_t code) { return code == kCodeScript || code == kCodeJavaScript; }

// The code as a button's script in the session's text result at offset:
// the event frame, then the code wrapped in a Click routine unless it has
// its own. Returns its length; 0 (result emptied) when it does not fit.
std::uint32_t PutScript(RARIvoSession* session, std::uint32_t offset, const char* code, std::uint32_t length) {
    std::string script(kScriptTemplate);
    const std::string body(code, length);
    const bool ownClick = FindNoCase(body.c_str(), "Sub Click") != nullptr;
    if (!ownClick) script += kClickStart;
    script += body;
    if (!ownClick) script += kClickEnd;
    if (!PutInTextResult(session, offset, script.data(), static_cast<std::uint32_t>(script.size()))) return 0;
    return static_cast<std::uint32_t>(script.size());
}

// The code's bytes, terminated, in the text result at offset; its length
// counts the terminator. 0 when it does not fit.
std::uint32_t PutPlainCode(RARIvoSession* session, std::uint32_t offset, const char* code, std::uint32_t length) {
    if (!PutInTextResult(session, offset, code, length)) return 0;
    session->textResultLength = static_cast<std::uint16_t>(session->textResultLength + 1);
    return length + 1;
}

// A refusal with the chunk's error word 20017 and a message to the host.
STATUS RefuseArgument(ZervaRTChunk* chunk, const char* message) {
    char text[256];
    std::snprintf(text, sizeof text, "%s: %s", chunk->session->messagePrefix, message);
    ReportToHost(chunk, text);
    chunk->errorWord = kErrFormula;
    return Refuse(chunk, kArgumentError);
}

// The tracked copy of a text that is the running operation's options for
// the length of a method; the running options are restored with it.
class RunningOptionsCopy {
public:
    RunningOptionsCopy(RARIvoSession* session, const char* text)
        : session_(session), saved_(session->workArea->runningOptions) {
        const std::size_t length = strnlen(text, 0xFFFF);
        block_ = QuorbelAllocateBlock(session, __LINE__, kChunkMethodsTag, static_cast<std::uint32_t>(length + 1), 0);
        if (block_ == nullptr) return;
        std::memcpy(block_->data, text, length);
        block_->data[length] = '\0';
        session->workArea->runningOptions = reinterpret_cast<const char*>(block_->data);
    }
    RunningOptionsCopy(const RunningOptionsCopy&) = delete;
    RunningOptionsCopy& operator=(const RunningOptionsCopy&) = delete;
    ~RunningOptionsCopy() {
        session_->workArea->runningOptions = saved_;
        if (block_ != nullptr) QuorbelReleaseBlock(session_, block_);
    }
    bool Made() const { return block_ != nullptr; }

private:
    RARIvoSession* session_;
    const char* saved_;
    TrackedBlock* block_ = nullptr;
};

// A layer length: given and not empty, it may hold neither a blank nor ";".
bool LayerLengthUsable(const char* value) {
    return value == nullptr || value[0] == '\0' || std::strpbrk(value, " ;") == nullptr;
}

const char* OrDefault(const char* value, const char* fallback) {
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// The length of the one record that carries a hotspot's code of stored
// bytes: a JavaScript event's code part, else the hotspot record itself (a
// subform's name without a formula with one more terminating byte).
std::uint32_t CodeRecordLength(std::uint32_t type, std::uint32_t codeKind, std::uint32_t stored) {
    if (codeKind == kCodeJavaScript) return kBlobPartFixedLength + EvenLength(stored);
    const bool extraByte = type == kHotspotSubform && (codeKind & (kCodeFormula | kCodeScript)) == 0;
    return kHotspotBeginFixedLength + stored + (extraByte ? 1 : 0);
}

} // namespace

std::uint16_t ZervaRTChunk::AppendHotspot(const char* kind, const char* code, std::uint16_t codeLength,
                                          const char* options, const char* text, std::uint16_t textLength) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    HotspotRequest& request = session->workArea->hotspot;
    work->linkRequest.kind = 0;
    request.codeFlags = kCodeFormula;
    request.codeLength = 0;
    if (kind == nullptr) return Refuse(this, kArgumentError);

    static const Word kTypes[] = {{"ACTION", kHotspotAction},         {"BUTTON", kHotspotButton},
                                  {"POPUP", kHotspotPopup},           {"MOUSEOVER", kHotspotMouseOver},
                                  {"COMPUTEDTEXT", kHotspotPopup},    {"SUBFORM", kHotspotSubform},
                                  {"FILEUPLOAD", kHotspotFileUpload}, {"FILE UPLOAD", kHotspotFileUpload}};
    static const Word kCodes[] = {{"COMPUTEDTEXT", kCodeComputedText}, {"FORMULA", kCodeFormula},
                                  {"LOTUSSCRIPT", kCodeScript},        {"LOTUSCRIPT", kCodeScript},
                                  {"JAVASCRIPT", kCodeJavaScript},     {"FILEUPLOAD", kCodeNone},
                                  {"FILE UPLOAD", kCodeNone},          {"SUBFORM", kCodeNone},
                                  {"TEXT", kCodeNone}};
    const std::uint32_t type = FirstWordValue(kind, kTypes, std::size(kTypes), 0);
    if (type == 0) return Refuse(this, kArgumentError);
    const std::uint32_t codeKind = FirstWordValue(kind, kCodes, std::size(kCodes), kCodeFormula);
    const bool designElement = item->work->designFlag != 0;
    if ((type == kHotspotPopup || type == kHotspotMouseOver) && IsScript(codeKind))
        return RefuseArgument(this, "Error in argument #1");
    // An action hotspot or a button runs its code: without a formula or a
    // script it would be written with neither its code nor its text.
    if ((type == kHotspotAction || type == kHotspotButton) && codeKind == kCodeNone)
        return RefuseArgument(this, "Error in argument #1");
    if (type == kHotspotSubform && !designElement)
        return RefuseArgument(this, "Attempt to add subform to data document failed");
    if (type == kHotspotFileUpload && !designElement)
        return RefuseArgument(this, "Attempt to add file upload to data document failed");
    if (type == kHotspotSubform && IsScript(codeKind))
        return RefuseArgument(this, "Subform specified by other than simple name or formula");
    request.type = static_cast<std::uint16_t>(type);
    request.codeFlags = codeKind;

    session->textResultLength = 0;
    CompiledFormula compiled;
    if (code != nullptr) {
        const std::uint32_t length = codeLength != 0 ? strnlen(code, codeLength) : strnlen(code, 0xFFFF);
        std::uint32_t stored = 0;
        if ((codeKind & kCodeFormula) != 0) {
            const STATUS status = CompileFormula(code, static_cast<std::uint16_t>(length), &compiled);
            if (status != kOK) {
                if (compiled.handle == 0) {
                    ReportPlatformStatus(session, status);
                    errorWord = kErrFormula;
                }
                return Refuse(this, kArgumentError);
            }
            if (PutInTextResult(session, kHotspotCodeOffset, compiled.bytes, compiled.length)) stored = compiled.length;
        } else if (codeKind == kCodeScript) {
            stored = PutScript(session, kHotspotCodeOffset, code, length);
        } else {
            stored = PutPlainCode(session, kHotspotCodeOffset, code, length);
        }
        // Code that the text result cannot hold is refused, not cut.
        if (stored == 0) return Refuse(this, kArgumentError);
        // The code goes whole into one record: code that no record can
        // hold is refused with the reason, before anything is written.
        const std::uint32_t recordLength = CodeRecordLength(type, codeKind, stored);
        if (recordLength > kOutputSegmentCapacity) {
            char message[200];
            std::snprintf(message, sizeof message,
                          "The hotspot's code is %u bytes too long: it takes %u bytes%s, and its record holds at most %u",
                          recordLength - kOutputSegmentCapacity, stored,
                          codeKind == kCodeScript ? " with its event frame" : "",
                          stored - (recordLength - kOutputSegmentCapacity));
            return RefuseArgument(this, message);
        }
        request.codeLength = stored;
    }

    std::uint16_t shownLength = text != nullptr ? static_cast<std::uint16_t>(strnlen(text, textLength)) : 0;
    if (textLength == 0 || text == nullptr) {
        text = kDefaultHotspotText;
        shownLength = sizeof kDefaultHotspotText - 1;
    }
    return RunChunkOperation(this, kOpAppendHotspot, 0, 0, static_cast<std::uint16_t>(request.codeLength), shownLength,
                             options, text);
}

std::uint16_t ZervaRTChunk::SetImageHotspot(const char* language, const char* code, std::uint16_t codeLength,
                                            const char* areas, const char* shapes, std::uint16_t n) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    if (language == nullptr) return Refuse(this, kHtmlTreeLost);
    RunningOptionsCopy languageCopy(session, language);
    if (!languageCopy.Made()) return Refuse(this, kOutOfMemory);
    HotspotRequest& request = session->workArea->hotspot;
    std::uint32_t codeKind = 0;
    if (CompareNamesNoCase(language, "FORMULA") == 0) codeKind = kAreaFormula;
    else if (CompareNamesNoCase(language, "LOTUSSCRIPT") == 0 || CompareNamesNoCase(language, "LOTUSCRIPT") == 0)
        codeKind = kAreaScript;
    else if (CompareNamesNoCase(language, "JAVASCRIPT") == 0) codeKind = kAreaJavaScript;
    else return Refuse(this, kHtmlTreeLost);
    request.codeFlags = codeKind;
    request.codeLength = 0;
    session->textResultLength = 0;

    CompiledFormula compiled;
    if (code != nullptr) {
        const std::uint32_t length = codeLength != 0 ? strnlen(code, codeLength) : strnlen(code, 0xFFFF);
        std::uint32_t stored = 0;
        if (codeKind == kAreaJavaScript) {
            stored = PutPlainCode(session, 0, code, length);
        } else if (codeKind == kAreaScript) {
            stored = PutScript(session, 0, code, length);
        } else {
            const STATUS status = CompileFormula(code, static_cast<std::uint16_t>(length), &compiled);
            if (status != kOK) {
                if (compiled.handle != 0) {
                    // Compiled to nothing: the area has no code.
                    request.codeFlags = 0;
                    lastStatus = kOK;
                    return kOK;
                }
                ReportPlatformStatus(session, status);
                return Refuse(this, kErrFormula);
            }
            if (PutInTextResult(session, 0, compiled.bytes, compiled.length)) stored = compiled.length;
        }
        if (stored == 0) return Refuse(this, kArgumentError);
        request.codeLength = stored;
    }
    const char* shapeText = OrDefault(shapes, "Default");
    return RunChunkOperation(this, kOpAppendImageArea, 0, 0, static_cast<std::uint16_t>(request.codeLength), n, areas,
                             shapeText);
}

std::uint16_t ZervaRTChunk::AppendLink(const char* text, std::uint16_t textLength, const char* target,
                                       const char* viewId, const char* noteId, const char* description,
                                       std::uint16_t descriptionLength, const char* hint, std::uint16_t hintLength,
                                       const char* anchor, std::uint16_t anchorLength) {
    for (std::uint16_t slot = 1; slot <= kEventReturnStrings; ++slot) CleanupEventRetString(slot);
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    session->workArea->runningOptions = nullptr;
    if (target == nullptr || std::strchr(target, ':') == nullptr) return Refuse(this, kArgumentError);

    // The link builder reads the caller's texts through the request for
    // the run only.
    LinkRequest& request = work->linkRequest;
    request.kind = kLinkURL;
    request.target = target;
    request.viewId = viewId;
    request.noteId = noteId;
    request.description = description;
    request.hint = hint;
    request.anchor = anchor;
    if (text != nullptr) textLength = static_cast<std::uint16_t>(strnlen(text, textLength));
    const STATUS status =
        RunChunkOperation(this, kOpAppendLink, textLength, descriptionLength, hintLength, anchorLength, text);
    request = LinkRequest{};
    return status;
}

std::uint16_t ZervaRTChunk::AppendLayer(const char* top, const char* left, const char* height, const char* width,
                                        std::uint16_t n, const char* options, const char* paragraphStyle,
                                        const char* formula, std::uint16_t formulaLength) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    const struct {
        const char* value;
        const char* name;
    } lengths[] = {{top, "top"}, {left, "left"}, {height, "height"}, {width, "width"}};
    for (const auto& length : lengths) {
        if (LayerLengthUsable(length.value)) continue;
        char message[128];
        std::snprintf(message, sizeof message, "TALIX: Invalid '%s' for AppendLayer. No spaces or semicolons!",
                      length.name);
        ReportToHost(this, message);
        errorWord = kErrFormula;
        return Refuse(this, kErrFormula);
    }

    session->textResultLength = 0;
    session->textResult[0] = '\0';
    lastStatus = kOK;
    STATUS compileStatus = kOK;
    CompiledFormula compiled;
    if (formula != nullptr && formulaLength != 0) {
        compileStatus = CompileFormula(formula, formulaLength, &compiled);
        // The hide formula goes to the layer builder in the text result;
        // without it the layer is still appended.
        if (compileStatus != kOK || !PutInTextResult(session, 0, compiled.bytes, compiled.length)) {
            if (compileStatus == kOK) compileStatus = kArgumentError;
            errorWord = kErrFormula;
            session->textResultLength = 0;
            session->textResult[0] = '\0';
        }
    }

    // top;left;width;height;paragraph style
    std::string geometry = OrDefault(top, "auto");
    geometry += ';';
    geometry += OrDefault(left, "auto");
    geometry += ';';
    geometry += OrDefault(width, "250px");
    geometry += ';';
    geometry += OrDefault(height, "150px");
    geometry += ';';
    if (paragraphStyle != nullptr) geometry += paragraphStyle;
    const STATUS status = RunChunkOperation(this, kOpAppendLayer, n, 0, 0, 0, options, geometry.c_str());
    session->textResultLength = 0;
    if (compileStatus != kOK) {
        lastStatus = kHtmlTreeLost;
        return compileStatus;
    }
    return status;
}

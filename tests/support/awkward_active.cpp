// Active content of the awkward documents: sections, hotspots and buttons
// with code that holds line ends, links of every kind and layers. Each is
// made by the library's builder for it where one exists; the builders read
// some of their inputs from the session and chunk, which are set here for
// the call and cleared after it.
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/button_builders.h"
#include "builders/field_builder.h"
#include "builders/hotspot_builders.h"
#include "builders/layer_builders.h"
#include "builders/section_builders.h"
#include "core/chunk_work_state.h"
#include "core/operation_inputs.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "support/awkward_builder.h"
#include "talix/chunk.h"
#include "talix/session.h"

namespace talix_test::awkward {

namespace {

constexpr std::uint16_t kTypePopup = 1, kTypeAction = 2, kTypeAttachment = 4, kTypeUrl = 11, kTypeSection = 12,
                        kTypePlain = 13;
constexpr std::uint32_t kFlagFormula = 0x10, kFlagUrlInData = 0x1000, kFlagResultInPlace = 0x40000,
                        kFlagEvents = 0x200000;
constexpr int kEventTypes = 26;

const char* const kSectionStyles[] = {"", "BorderStyle=None", "BorderStyle=Single", "BorderStyle=Double",
                                      "BorderStyle=Triple", "BorderStyle=Shadow", "BorderStyle=Box",
                                      "BorderStyle=Caption", "BorderStyle=Gradient", "BorderStyle=TAB",
                                      "BorderStyle=DIAGTAB", "BorderStyle=PostReply", "BorderStyle=TWOLINES"};
const char* const kSectionSwitches[] = {"", "Expanded=Yes", "ExpandReading=Auto-Expand",
                                        "ExpandReading=Auto-Collapse", "TitleHiddenExpanded=Yes",
                                        "BorderInvisible=Yes"};
// Code whose statements are separated by line ends ("\n", a zero byte when
// stored), with the characters markup must encode.
const char* const kJavaScript[] = {
    "history.back()\nreturn false;",
    "var a = 1;\nif (a < 2 && a > 0) {\n  window.status = \"<b>\" + 'x';\n}\n",
    "alert('a \"quoted\" & <tagged> text')",
    "x = 1 // a comment to the line end\ny = 2",
    "document.forms[0].submit();\n\n",
};
const char* const kLotusScript[] = {"Sub Click(Source As Button)\n  Print \"a < b & c\"\nEnd Sub",
                                    "Dim x As Integer\nx = 1\n"};
// Formulas of action hotspots and buttons, which a rendering shows nothing
// of, and formulas whose results a rendering shows.
const char* const kActionFormulas[] = {"@Command([FileSave])", "@Prompt([Ok]; \"t\"; \"a & b\")",
                                       "FIELD x := 1; @True"};
const char* const kResultFormulas[] = {"\"zq\" + \"result\"", "@If(1 < 2; \"a < b\"; \"b\")", "\"a\" : \"b & c\"",
                                       "1 + 2"};
const char* const kUrls[] = {"http://zq.example.com/a?b=1&c=2", "https://zq.example.com/p#frag",
                             "mailto:zq@example.com", "javascript:alert(\"x\")", "#zqtop", "zq/relative page.html",
                             "http://zq.example.com/\"quoted\"<tag>", "ftp://zq.example.com/f.txt"};
const char* const kLinkAttributes[] = {"", "HTMLClass=zqlink", "HTMLTitle='a & b'", "HTMLStyle='color: red'",
                                       "HTMLID=zqlink# HTMLName=zqname"};
const char* const kReplicas[] = {"0123456789abcdef", "85255E01001356A8"};
const char* const kUnids[] = {"00112233445566778899AABBCCDDEEFF", "FFEEDDCCBBAA99887766554433221100"};
const char* const kLayerLengths[] = {"10px", "2in", "5%", "1em", "auto", "3ex", "inherit", "0"};

// Sets an input of the builders for one call and clears it after.
class RunningOptions {
public:
    RunningOptions(RARIvoSession* session, const std::string& options) : session_(session), options_(options) {
        session_->workArea->runningOptions = options_.c_str();
    }
    ~RunningOptions() { session_->workArea->runningOptions = nullptr; }
    RunningOptions(const RunningOptions&) = delete;
    RunningOptions& operator=(const RunningOptions&) = delete;

private:
    RARIvoSession* session_;
    std::string options_;
};

// The code of a hotspot where the hotspot builders read it.
void SetCode(RARIvoSession* session, std::uint16_t type, std::uint32_t codeFlags, const std::string& code) {
    const std::size_t length = code.size() < 60000 ? code.size() : 60000;
    std::memcpy(session->textResult + talix::kHotspotCodeOffset, code.data(), length);
    session->workArea->hotspot.type = type;
    session->workArea->hotspot.codeFlags = codeFlags;
    session->workArea->hotspot.codeLength = static_cast<std::uint32_t>(length);
    session->textResultLength = 0;
}

// The image of the paragraph definition of an id, for builders that start
// paragraphs of the definition in force.
void SetDefinitionInForce(talix::BuildContext* context, std::uint16_t id) {
    std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
    talix::WriteWord(context->paragraphDefinition, talix::kSigPabDefinition);
    talix::WriteWord(context->paragraphDefinition + 2, 72);
    talix::WriteWord(context->paragraphDefinition + 4, id);
    talix::WriteWord(context->paragraphDefinition + 14, 1440);
    talix::WriteWord(context->paragraphDefinition + 18, 1440);
    context->paragraphDefinitionLength = 72;
}

// A hotspot's BEGIN wrapper and its hotspot record, holding data (stored
// with a terminating zero when terminated).
std::uint16_t BeginHotspot(talix::BuildContext* context, std::uint16_t signature, std::uint16_t type,
                           std::uint32_t flags, const std::string& data = "", bool terminated = false) {
    const std::uint16_t status = talix::AppendBeginRecord(talix::kSigV4HotspotBegin, 0, &context->output);
    if (status != 0) return status;
    const auto stored = static_cast<std::uint32_t>(data.size() + (terminated ? 1 : 0));
    return talix::AppendHotspotRecord(signature, type, flags, data.empty() ? nullptr : data.data(),
                                      static_cast<std::uint32_t>(data.size()), static_cast<std::uint16_t>(stored),
                                      stored, context);
}

} // namespace

void Builder::Section(const Place& place) {
    if (place.inHotspot) {
        Paragraph(place);
        return;
    }
    Used(kAwkwardSections);
    const std::uint16_t plain = PlainDefinition();
    if (!place.leading) PlainParagraph(place, static_cast<int>(choose().Below(3)));
    // One draw per statement: the documents of a seed do not hang on the
    // order in which a compiler evaluates operands.
    std::string title = Words(static_cast<int>(choose().Between(0, 4)), false, false);
    if (choose().Percent(20)) title += " & <b>\"title\"</b>";
    title = ToLmbcs(title);
    std::string options = choose().Pick(kSectionStyles);
    options = options + " " + choose().Pick(kSectionSwitches);
    SetDefinitionInForce(context(), plain);
    context()->argumentText = title.c_str();
    {
        RunningOptions running(session(), options);
        Check(talix::AppendSectionRecords(context()), "section");
    }
    context()->argumentText = nullptr;
    Place body = Inside(place);
    body.inSection = true;
    body.leading = false;
    Blocks(body, static_cast<int>(choose().Between(1, 3)));
    if (!Ok()) return;
    Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "section end");
    StartParagraph(plain);
    Run("", RunFont{});
}

bool Builder::StartClickable(const Place& place, std::uint32_t kind) {
    if (!place.leading) PlainParagraph(place, static_cast<int>(choose().Below(3)));
    if (place.inHotspot) {
        Runs(place, 2);
        return false;
    }
    Used(kind);
    return true;
}

void Builder::Hotspot(const Place& place) {
    if (!StartClickable(place, kAwkwardHotspots)) return;
    Place inner = Inside(place);
    inner.inHotspot = true;
    const bool counted = place.shown && !paragraphHidden();
    const std::string label = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), false, false));
    // Code of a language drawn at random, left where the hotspot builders
    // read it; its kind.
    auto drawCode = [&](std::uint16_t type) {
        const std::uint32_t kinds[] = {talix::kCodeFormula, talix::kCodeLotusScript, talix::kCodeJavaScript};
        const std::uint32_t kind = choose().Pick(kinds);
        const std::string code = kind == talix::kCodeFormula      ? StoredFormula(choose().Pick(kActionFormulas))
                                 : kind == talix::kCodeLotusScript ? ToLmbcs(choose().Pick(kLotusScript))
                                                                   : ToLmbcs(choose().Pick(kJavaScript));
        SetCode(session(), type, kind, code);
        return kind;
    };
    switch (choose().Below(10)) {
    case 0: {   // a pop-up of literal text
        const char* const options[] = {"", "Hotspot=Mouseover", "Style=Highlight", "Style=None"};
        const std::string popup = ToLmbcs("a pop-up & <its> \"text\"\nand a second line");
        const std::string text = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), counted, false));
        Check(talix::AppendPopupHotspot(text.c_str(), popup.c_str(), choose().Pick(options), context()), "pop-up");
        break;
    }
    case 1:     // a pop-up or mouse-over of a formula's result
    case 2: {   // computed text: the formula's result in place
        const bool computed = choose().Percent(50);
        SetCode(session(), kTypePopup, computed ? talix::kCodeComputedText : talix::kCodeFormula,
                StoredFormula(choose().Pick(kResultFormulas)));
        const std::string text = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), counted && !computed, false));
        Check(talix::AppendButtonOrControl(choose().Percent(50) ? talix::kHotspotPopup : talix::kHotspotMouseover,
                                           computed ? talix::kCodeComputedText : talix::kCodeFormula, text.c_str(),
                                           static_cast<std::uint32_t>(text.size()), "", context()),
              "formula pop-up");
        break;
    }
    case 3: {   // an action hotspot: formula, script or JavaScript on text
        const std::uint32_t kind = drawCode(talix::kHotspotAction);
        const std::string text = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), counted, false));
        const char* const options[] = {"", "Target=_blank", "HotspotHTMLClass=zqaction",
                                       "HotspotHTMLTitle='a & b' CommonJavaScript=Yes"};
        Check(talix::AppendButtonOrControl(talix::kHotspotAction, kind, text.c_str(),
                                           static_cast<std::uint32_t>(text.size()), choose().Pick(options), context()),
              "action hotspot");
        break;
    }
    case 4: {   // a button: its label is the button record's
        const std::uint32_t kind = drawCode(talix::kHotspotButton);
        const char* const options[] = {"", "ButtonWidth=2 ButtonWrap=No", "ButtonFit=Fit", "ButtonFit=Fixed"};
        Check(talix::AppendButtonOrControl(talix::kHotspotButton, kind, label.c_str(),
                                           static_cast<std::uint32_t>(label.size()), choose().Pick(options), context()),
              "button");
        break;
    }
    case 5:
    case 6: {   // JavaScript events of every type on text, over paragraphs now and then
        Check(BeginHotspot(context(), talix::kSigV4HotspotBegin, kTypeAction, kFlagEvents | 12), "event hotspot");
        const int events = static_cast<int>(choose().Between(1, 3));
        for (int i = 0; i < events && Ok(); ++i) {
            const std::string code = ToLmbcs(choose().Pick(kJavaScript));
            Check(talix::AppendJavaScriptEvent(talix::kSigEvent, talix::kSigBlobPart,
                                               static_cast<std::uint16_t>(choose().Below(kEventTypes)), code.data(),
                                               static_cast<std::uint32_t>(code.size()), false, context()),
                  "event");
        }
        Runs(inner, static_cast<int>(choose().Between(1, 4)));
        if (choose().Percent(30)) {
            StartParagraph(PlainDefinition());
            Runs(inner, static_cast<int>(choose().Between(1, 3)));
        }
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "event hotspot end");
        break;
    }
    case 7: {   // a pop-up shown in place without a formula: its content is not shown
        Check(BeginHotspot(context(), talix::kSigHotspotBegin, kTypePopup, kFlagResultInPlace | 12, ToLmbcs("in place"),
                           true),
              "in-place pop-up");
        Place hidden = inner;
        hidden.shown = false;
        Runs(hidden, static_cast<int>(choose().Between(1, 3)));
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "in-place pop-up end");
        break;
    }
    default: {  // hotspots whose content is rendered plainly: sections' and others'
        const std::uint16_t type = choose().Percent(50) ? kTypeSection : kTypePlain;
        Check(BeginHotspot(context(), talix::kSigV4HotspotBegin, type, choose().Below(16)), "plain hotspot");
        Runs(inner, static_cast<int>(choose().Between(1, 3)));
        if (choose().Percent(30) && Enabled(kAwkwardPictures)) Picture(inner);
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "plain hotspot end");
        break;
    }
    }
    session()->workArea->hotspot = talix::HotspotRequest{};
    Runs(place, static_cast<int>(choose().Below(3)));
}

void Builder::Link(const Place& place) {
    if (!StartClickable(place, kAwkwardLinks)) return;
    const bool counted = place.shown && !paragraphHidden();
    Place inner = Inside(place);
    inner.inHotspot = true;
    switch (choose().Below(9)) {
    case 0:
    case 1: {   // a URL hotspot, with HTML attributes now and then
        const std::string url = choose().Pick(kUrls);
        const std::string text = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), counted, false));
        RunningOptions running(session(), Unique(choose().Pick(kLinkAttributes)));
        Check(talix::AppendURLHotspotWithEnd(text.c_str(), 0, url.c_str(), 0, context()), "URL hotspot");
        break;
    }
    case 2: {   // a URL link whose URL is a formula's result
        const std::string formula = StoredFormula("\"http://zq.example.com/\" + \"computed\"");
        Check(BeginHotspot(context(), talix::kSigV4HotspotBegin, kTypeUrl, kFlagUrlInData | kFlagFormula | 8, formula),
              "formula URL");
        Runs(inner, static_cast<int>(choose().Between(1, 3)));
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "formula URL end");
        break;
    }
    case 3:
    case 4: {   // database, view, document and anchor links, on text or alone
        talix::LinkRequest& request = chunk()->work->linkRequest;
        request = talix::LinkRequest{};
        request.kind = choose().Percent(80) ? talix::kLinkOnText : talix::kLinkWithoutText;
        request.target = choose().Pick(kReplicas);
        const std::uint32_t depth = choose().Below(4);
        if (depth >= 1) request.viewId = choose().Pick(kUnids);
        if (depth >= 2) request.noteId = choose().Pick(kUnids);
        if (depth >= 3) request.anchor = "zqanchor";
        request.description = choose().Percent(50) ? "" : "a <described> & \"quoted\" link";
        request.hint = choose().Percent(50) ? "" : "zqserver/zq";
        const std::string text = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)),
                                               counted && request.kind == talix::kLinkOnText, false));
        Check(talix::AppendNotesLinkHotspotEx(text.c_str(), static_cast<std::uint32_t>(text.size()), context()),
              "Notes link");
        request = talix::LinkRequest{};
        break;
    }
    case 5: {   // an attachment hotspot
        const std::string data = std::string("zqinternal.txt") + '\0' + "zq file & <name>.txt" + '\0';
        Check(BeginHotspot(context(), talix::kSigHotspotBegin, kTypeAttachment, 0, data), "attachment hotspot");
        Runs(inner, static_cast<int>(choose().Between(1, 2)));
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigHotspotEnd), "attachment hotspot end");
        break;
    }
    case 6: {   // a named anchor
        const std::string name = choose().Percent(70) ? "zqtop" : "a \"named\" & <anchor>";
        FixtureRecord anchor = HostRecord(talix::kSigAnchor, static_cast<std::uint32_t>(12 + name.size()));
        PutWord(&anchor, 4, static_cast<std::uint16_t>(name.size()));
        std::memcpy(anchor.bytes.data() + 12, name.data(), name.size());
        Put(anchor, "named anchor");
        break;
    }
    default: {  // a URL hotspot over a paragraph break
        const std::string url = choose().Pick(kUrls);
        const std::string text = ToLmbcs(Words(1, counted, false));
        Check(talix::AppendURLHotspot(text.c_str(), 0, url.c_str(), 0, context(), 0), "URL hotspot");
        StartParagraph(PlainDefinition());
        Runs(inner, static_cast<int>(choose().Between(1, 3)));
        if (Ok()) Check(talix::AppendHotspotEnd(context(), talix::kSigV4HotspotEnd), "URL hotspot end");
        break;
    }
    }
    Runs(place, static_cast<int>(choose().Below(3)));
}

void Builder::Layer(const Place& place) {
    if (place.inHotspot) {
        Paragraph(place);
        return;
    }
    Used(kAwkwardLayers);
    if (!place.leading) PlainParagraph(place, static_cast<int>(choose().Below(2)));
    std::string position;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) position += ';';
        position += choose().Pick(kLayerLengths);
    }
    // The layer's text goes into the option text as it stands: words of
    // ASCII letters only.
    std::string words;
    for (int i = static_cast<int>(choose().Between(1, 4)); i > 0; --i) {
        const std::string word = Words(1, false, false);
        std::string ascii;
        for (char c : word) {
            if (c >= 'a' && c <= 'z') ascii += c;
            if (c >= 'A' && c <= 'Z') ascii += static_cast<char>(c - 'A' + 'a');
        }
        if (place.shown) document().words.push_back(ascii);
        words += (words.empty() ? "" : " ") + ascii;
    }
    const char* const extras[] = {"", "LayerHTMLClass=zqlayer", "BackgroundColor=#ffffc0",
                                  "LayerHTMLStyle='border: 1px solid' Position=Relative"};
    const std::string options = "Text='" + words + "' " + choose().Pick(extras);
    SetDefinitionInForce(context(), PlainDefinition());
    session()->textResultLength = 0;
    Check(talix::AppendLayerRecords(choose().Below(100), context(), options.c_str(), position.c_str()), "layer");
    PlainParagraph(place, static_cast<int>(choose().Below(3)));
}

} // namespace talix_test::awkward

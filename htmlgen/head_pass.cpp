#include "htmlgen/head_pass.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/options.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/class_rules.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/font_change.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/style_text.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"

namespace talix {

namespace {

constexpr const char* kStyleStart = "<style type=\"text/css\">";
constexpr std::uint8_t kStartVotes = 50;
constexpr std::uint8_t kStaticFaceInCSS = 255;   // the face of a static font named by a family list
constexpr std::size_t kClosingSize = 256;
// A table begin's two words the table writer reads.
constexpr std::uint32_t kTableWordAt[2] = {8, 10};

constexpr const char* kSectionScript[] = {
    "<script language=\"javascript\" type=\"text/javascript\">",
    "<!--",
    "function expandCollapseSection(i,ch){",
    "  if (document.getElementById){",
    "    document.getElementById('sctn'+i+'e').style.display='none';",
    "    document.getElementById('sctn'+i+'c').style.display='none';",
    "    document.getElementById('sctn'+i+ch).style.display='block';",
    "",
    "  }",
    "}",
    "-->",
    "</script>",
};

constexpr const char* kTabStyle[] = {
    "<style type=\"text/css\">",
    "",
    "ul#tabnav {",
    "font: bold 11px verdana, arial, sans-serif;",
    "list-style-type: none;",
    "padding-bottom: 24px;",
    "border-bottom:1px solid #6c6;",
    "margin: 0;",
    "}",
    "ul#tabnav li {",
    "float: left;",
    "height: 21px;",
    "background-color: #cfc;",
    "margin: 2px 2px 0 2px;",
    "border: 1px solid #6c6;",
    "}",
    "body#tab1 li.tab1, body#tab2 li.tab2,",
    "body#tab3 li.tab3, body#tab4 li.tab4 {",
    "border-bottom: 1px solid #fff;",
    "background-color: #fff;",
    "}",
    "body#tab1 li.tab1 a, body#tab2 li.tab2 a,",
    "body#tab3 li.tab3 a, body#tab4 li.tab4 a {",
    "color: #000;",
    "}",
    "",
    "#tabnav a {",
    "float: left;",
    "display: block;",
    "color: #666;",
    "text-decoration: none;",
    "padding: 4px;",
    "}",
    "#tabnav a:hover {",
    "background: #fff;",
    "}",
    "</style>",
};

bool LineFeeds(const XMLGenContext* context) {
    return context->newlines != NewlineMode::None && !IsOn(context, sw::kQuotedPrintable);
}

// The value of an option keyword; false when it is absent.
bool OptionValue(const XMLGenContext* context, const char* key, std::string* value) {
    if (context->optionText == nullptr) return false;
    std::vector<char> text(std::strlen(context->optionText) + 1, '\0');
    if (GetOptionValue(context->optionText, key, text.data(), static_cast<std::uint32_t>(text.size())) == 0)
        return false;
    value->assign(text.data());
    return true;
}

// Adds votes to an index; its count stops at 255.
void Vote(std::uint8_t* votes, std::uint8_t index, std::uint32_t count) {
    votes[index] = static_cast<std::uint8_t>(count < 0xFFu - votes[index] ? votes[index] + count : 0xFFu);
}

// Each text run of the range votes for its face, size and colour.
void VoteFonts(XMLGenContext* context, const RangeFonts& fonts) {
    for (const RangeFont& counted : fonts.fonts()) {
        if (counted.runs == 0) continue;
        const FontId font = UnpackFontId(counted.fontId);
        Vote(context->faceVotes, font.face, counted.runs);
        Vote(context->sizeVotes, font.size, counted.runs);
        Vote(context->colourVotes, font.color, counted.runs);
    }
}

// The rule of a cell's border code, once per code and up to the table's
// size.
STATUS AddCellBorderRule(XMLGenContext* context, const CDRecordNode* cell) {
    const std::string code = CellBorderCode(cell);
    if (HasBorderRule(context, code.c_str()) || context->borderRuleCount >= kMaxBorderRules) return kOK;
    return AddBorderRule(context, code.c_str(), ComposeBorderRule(context, cell).c_str()) ? kOK : kOutOfMemory;
}

// A range that starts after some of the item's paragraph definitions (a
// table, a cell, a paragraph of the item) has paragraphs formatted by them:
// the last definition of each id its paragraphs refer to gets its rule, as
// it does when the whole item is rendered, so that its lists stay lists and
// its classes have their rules.
STATUS AddRulesOfEarlierDefinitions(XMLGenContext* context, bool* listImageSeen) {
    const CDRecordNode* start = context->node;
    if (start == nullptr || context->definitionCount == 0 || context->definitions[0] == nullptr ||
        context->definitions[0]->index >= start->index)
        return kOK;
    std::vector<bool> referenced(0x10000, false);
    std::size_t wanted = 0;   // the ids referenced, each once
    for (const CDRecordNode* node = start; InRange(context, node); node = node->next) {
        if (node->signature != kSigPabReference) continue;
        const std::uint16_t id = RemapPABID(context, NodeWord(node, 2));
        if (!referenced[id]) ++wanted;
        referenced[id] = true;
    }
    // The definition that governs each referenced id where the range starts.
    std::vector<CDRecordNode*> earlier;
    std::vector<bool> taken(0x10000, false);
    auto consider = [&](CDRecordNode* definition) {
        const std::uint16_t id = NodeWord(definition, 4);
        if (!referenced[id] || taken[id] || RemapPABID(context, id) != id) return;
        taken[id] = true;
        earlier.push_back(definition);
    };
    if (context->definitionCount < kGenRecordListSize) {
        for (std::uint16_t i = context->definitionCount; i-- > 0;) {
            CDRecordNode* definition = context->definitions[i];
            if (definition != nullptr && definition->index < start->index) consider(definition);
        }
    } else {
        // The engine's list holds only the first definitions of an item with
        // more: the records before the range are read back instead, or the
        // definitions past the list's end would get no rule. The walk ends
        // once every id referenced has its definition.
        for (CDRecordNode* node = start->prev; node != nullptr && earlier.size() < wanted; node = node->prev) {
            if (node->signature == kSigPabDefinition) consider(node);
        }
    }
    for (auto it = earlier.rbegin(); it != earlier.rend(); ++it) {
        if (!AddClassRule(context, NodeWord(*it, 4), ComposeClassRule(context, *it, listImageSeen).c_str()))
            return kOutOfMemory;
    }
    return kOK;
}

// Step through the range: the fonts of the runs and their counts, table and
// layer nesting, and the rules of paragraph definitions and cell borders.
STATUS ScanRange(XMLGenContext* context, RangeFonts* fonts) {
    bool listImageSeen = false;
    int tabbedTables = 0;
    if (const STATUS status = AddRulesOfEarlierDefinitions(context, &listImageSeen); status != kOK) return status;
    for (CDRecordNode* node = context->node; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (node == context->endNode) fonts->NoteEnd();
        // A paragraph's own record and its reference, half the records of
        // most bodies, add nothing here.
        if (signature == kSigParagraph || signature == kSigPabReference) continue;
        if (IsTextRun(signature)) {
            if (RunHasText(node)) fonts->CountRun(node);
        } else if (IsTableBeginRecord(signature)) {
            if (context->tableDepth < 0xFFFF) ++context->tableDepth;
            TableLevelState* level = CurrentTableLevel(context);
            level->cellNode = nullptr;
            for (int i = 0; i < 2; ++i) level->beginWords[i] = NodeWord(node, kTableWordAt[i]);
        } else if (IsTableEndRecord(signature)) {
            CurrentTableLevel(context)->cellNode = nullptr;
            if (context->tableDepth > 0) --context->tableDepth;
        } else if (signature == kSigPreTableBegin) {
            if (NodeByte(node, kPreKindAt) == kPreTabbed && tabbedTables < 2) ++tabbedTables;
        } else if (signature == kSigBegin && InnerSignature(node) == kSigLayer) {
            if (context->layerDepth < 0xFFFF) ++context->layerDepth;
        } else if (signature == kSigEnd && InnerSignature(node) == kSigLayer) {
            if (context->layerDepth > 0) --context->layerDepth;
        } else if (IsCellRecord(signature)) {
            if (!IsOn(context, sw::kCSSBorders)) continue;
            CurrentTableLevel(context)->cellNode = node;
            if (IsOn(context, sw::kStandardFontTags)) continue;
            const STATUS status = AddCellBorderRule(context, node);
            if (status != kOK) return status;
        } else if (signature == kSigPabDefinition) {
            const std::uint16_t id = NodeWord(node, 4);
            if (RemapPABID(context, id) != id) continue;
            if (!AddClassRule(context, id, ComposeClassRule(context, node, &listImageSeen).c_str()))
                return kOutOfMemory;
        }
    }
    // The head is written with the first range, and later ranges of the
    // generation follow this one in the item: their tabbed tables count
    // too, or a strip of theirs would find no rule that selects it.
    if (context->bodyOpened == 0 && context->endNode != nullptr) {
        for (const CDRecordNode* node = context->endNode->next; node != nullptr && tabbedTables < 2; node = node->next)
            if (node->signature == kSigPreTableBegin && NodeByte(node, kPreKindAt) == kPreTabbed) ++tabbedTables;
    }
    // Strips after the first are of the tabnav class: the tab rules then
    // select the class as well as the first strip's id.
    context->severalTabStrips = tabbedTables > 1 ? 1 : 0;
    return kOK;
}

// The end of the style element: the rules, or nothing at all when there
// are none to write.
void FinishStyleElement(XMLGenContext* context, bool startWritten) {
    const bool standard = IsOn(context, sw::kStandardFontTags);
    const bool hybrid = IsOn(context, sw::kHybridFontTags);
    if (standard && !hybrid) {
        // Font elements use no classes; what AddStyleSheetInfo= put in the
        // element is closed.
        if (!CutTrailing(context, kStyleStart) && startWritten) AppendOutput(context, "</style>");
        return;
    }
    // Nothing to write (or font elements with classes in hybrid form): a
    // bare start tag goes again.
    const bool rules = context->classRuleCount > 0 || context->borderRuleCount > 0;
    if ((!rules || standard) && CutTrailing(context, kStyleStart)) return;
    if (IsOn(context, sw::kMoveStylesInline)) return;
    const char* lineFeed = LineFeeds(context) ? "\n" : "";
    AppendOutput(context, lineFeed);
    for (std::uint16_t i = 0; i < context->classRuleCount; ++i) {
        AppendOutput(context, context->classRules[i].text);
        AppendOutput(context, lineFeed);
    }
    // The border classes the cells carry.
    for (std::uint16_t i = 0; i < context->borderRuleCount; ++i) {
        AppendOutput(context, context->borderRules[i].text);
        AppendOutput(context, "} ");
        AppendOutput(context, lineFeed);
    }
    AppendOutput(context, "</style>");
}

// The index whose votes exceed those of every lower index and of the
// starting one.
std::uint8_t Elect(const std::uint8_t* votes, std::uint8_t start, unsigned startVotes) {
    std::uint8_t best = start;
    unsigned bestVotes = startVotes;
    for (unsigned i = 0; i < 256; ++i) {
        if (votes[i] > bestVotes) {
            best = static_cast<std::uint8_t>(i);
            bestVotes = votes[i];
        }
    }
    return best;
}

// The declarations of a font's rendered span: between its braces under
// UseCurlyBracesInline, else between the first two double quotes.
bool CutDeclarations(const XMLGenContext* context, const std::string& markup, std::string* declarations) {
    const bool braces = std::strcmp(context->openBrace, "{") == 0;
    const char open = braces ? '{' : '"';
    const char close = braces ? '}' : '"';
    const std::size_t start = markup.find(open);
    if (start == std::string::npos) return false;
    const std::size_t end = markup.find(close, start + 1);
    if (end == std::string::npos) return false;
    *declarations = markup.substr(start + 1, end - start - 1);
    return true;
}

// The font most of the range's text is in becomes the body's: a body rule
// (or, for a fragment in font elements, a font element around it), so that
// text in it needs no markup of its own.
void WriteDominantFont(XMLGenContext* context) {
    FontId elected;
    elected.face = Elect(context->faceVotes, kDefaultTextFont.face, 1);
    elected.size = Elect(context->sizeVotes, kDefaultTextFont.size, 1);
    elected.color = Elect(context->colourVotes, kDefaultTextFont.color, 10);
    ZervaRTItem* item = context->item;
    if (item != nullptr) {
        item->defaultFontFace = kDefaultTextFont.face;
        item->defaultFontColor = kDefaultTextFont.color;
        item->defaultFontSize = kDefaultTextFont.size;
    }
    FontId start = kDefaultTextFont;
    if (std::strchr(context->faces[0].name, ',') != nullptr) start.face = kStaticFaceInCSS;
    context->baseFont = start;
    context->currentFont = start;
    const bool fragment = IsOn(context, sw::kFragment);
    if (elected.face == kDefaultTextFont.face && elected.color == kDefaultTextFont.color &&
        elected.size == kDefaultTextFont.size) {
        if (!fragment) AppendOptionValue(context, "OpeningGlobalStyle=");
        return;
    }

    const std::uint32_t depth = CloseTagDepth(context);
    context->baseFontFlag = 1;
    WriteXMLFontChange(&elected, nullptr, context, 1, 0, 0);
    context->baseFontFlag = 0;
    const std::string opening = context->fontMarkup;
    char closing[kClosingSize] = {};
    PopCloseTags(context, depth, closing, sizeof closing);
    context->currentFont = start;
    if (item != nullptr) item->CreateInternalStyleMapping(opening.c_str(), closing, PackFontId(elected));

    const bool standard = IsOn(context, sw::kStandardFontTags);
    bool adopted = false;
    if (!standard && !fragment) {
        std::string declarations;
        if (AppendOptionValue(context, "OpeningGlobalStyle=")) {
            adopted = true;
        } else if (opening.size() > 20 && CutDeclarations(context, opening, &declarations)) {
            AppendOutput(context, std::string(kStyleStart) + "body {" + declarations + "}</style>");
            adopted = true;
        }
    } else if (standard && fragment && opening.size() > 6) {
        AppendOutput(context, opening);
        context->trailer = "</font>";
        adopted = true;
    }
    // The body inherits the font only where it was written for the body.
    if (adopted) {
        context->baseFont = elected;
        context->currentFont = elected;
    }
}

void WriteLines(XMLGenContext* context, const char* const* lines, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        AppendOutput(context, lines[i]);
        AppendOutput(context, "\n", 1);
    }
}

void WriteTabScript(XMLGenContext* context) {
    const GenTexts& texts = context->texts;
    // A tab or a row's division that the page does not hold (a row without
    // a cell of its own, a label beyond the rows) is passed over, so that
    // one missing element does not stop the switch half-way.
    std::string script = "\n<script language=\"javascript\" type=\"text/javascript\">\n<!--\n"
                         "function switchTab(numberOfTabs, tbl, i){\n"
                         "  if (document.getElementById){\n"
                         "    var f, row, link;\n"
                         "    for (f=1;f<numberOfTabs+1;f++){\n"
                         "      row=document.getElementById('ttbl'+tbl+'row'+f);\n"
                         "      if (row) row.style.display='none';\n"
                         "      link=document.getElementById('t'+tbl+'link'+f);\n";
    AppendFormat(&script, "      if (link){ link.style.background='%s'; link.style.color='%s'; }\n",
                 TabColour(texts.cssTabNoSelBackground, "#999966"), TabColour(texts.cssTabNoSelText, "#333333"));
    script += "    }\n"
              "    row=document.getElementById('ttbl'+tbl+'row'+i);\n"
              "    if (row) row.style.display='block';\n"
              "    link=document.getElementById('t'+tbl+'link'+i);\n";
    AppendFormat(&script, "    if (link){ link.style.background='%s'; link.style.color='%s'; }\n",
                 TabColour(texts.cssTabSelBackground, "#cccc99"), TabColour(texts.cssTabSelText, "#ffffcc"));
    script += "  }\n}\n-->\n</script>\n";
    AppendOutput(context, script);
    if (context->severalTabStrips == 0) {
        WriteLines(context, kTabStyle, sizeof kTabStyle / sizeof kTabStyle[0]);
        return;
    }
    for (const char* line : kTabStyle) {
        std::string text = line;
        if (text.find("#tabnav") != std::string::npos && text.back() == '{') {
            std::string byClass = text.substr(0, text.size() - 2);
            const std::size_t id = byClass.find("#tabnav");
            byClass.replace(id, 7, ".tabnav");
            text.insert(text.size() - 2, ", " + byClass);
        }
        AppendOutput(context, text);
        AppendOutput(context, "\n", 1);
    }
}

// The scripts and styles the options ask for and the end of the head,
// unless HeadTag= gave a head of its own (or none). A complete head whose
// end the prologue took off to leave it open is closed again.
void EndHead(XMLGenContext* context) {
    std::string headTag;
    const bool given = OptionValue(context, "HeadTag=", &headTag);
    const bool complete = given && (FindNoCase(headTag.c_str(), "<head>") == nullptr ||
                                    FindNoCase(headTag.c_str(), "</head>") != nullptr);
    if (complete) {
        if (context->headEndTaken != 0) AppendOutput(context, "</head>");
        return;
    }
    if (IsOn(context, sw::kSupportRico) && !AppendOptionValue(context, "RicoHeader=")) {
        AppendOutput(context, "<script type=\"text/javascript\" src=\"prototype-1.4.0/dist/prototype.js\"></script>");
        AppendOutput(context, "<script type=\"text/javascript\" src=\"rico.js\"></script>");
    }
    if (IsOn(context, sw::kSectionsInCSS) && !AppendOptionValue(context, "SectionCSSHeader=")) {
        AppendOutput(context, "\n", 1);
        WriteLines(context, kSectionScript, sizeof kSectionScript / sizeof kSectionScript[0]);
    }
    if (IsOn(context, sw::kTabbedTablesInCSS) && !AppendOptionValue(context, "TabbedCSSHeader="))
        WriteTabScript(context);
    AppendOutput(context, "</head>");
}

// The lists a previous range left open were closed at its end: their
// levels are forgotten, so that a list paragraph of this range opens its
// list again rather than add an item to none.
void ForgetClosedLists(XMLGenContext* context) {
    if (HasCloseTag(context, "</ol>", 0) != 0 || HasCloseTag(context, "</ul>", 0) != 0) return;
    for (const CDRecordNode*& definition : context->listDefinitions) definition = nullptr;
    context->listLevel = 0;
}

} // namespace

void OpenBody(XMLGenContext* context) {
    if (context == nullptr || context->bodyOpened != 0 || context->format == kFormatText) return;
    context->bodyOpened = 1;
    const bool fragment = IsOn(context, sw::kFragment);
    if (!fragment) {
        EndHead(context);
        if (LineFeeds(context)) AppendOutput(context, "\n", 1);
    } else if (context->headEndTaken != 0) {
        // A fragment's head, given by the options, is closed as they gave it.
        AppendOutput(context, "</head>");
    }
    context->backgroundColour = "#ffffff";
    if (AppendOptionValue(context, "OpeningBody=") || fragment) return;
    if (IsOn(context, sw::kStandardFontTags)) {
        AppendOutput(context, "<body bgcolor='#ffffff'>");
        return;
    }
    const unsigned colour = context->baseFont.color;
    unsigned rgb = 0;   // red in the high byte
    if (colour >= 1 && colour < kPaletteSize) {
        const std::uint32_t value = PaletteRGB(colour);   // red in the low byte
        rgb = ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
    }
    std::string tag;
    AppendFormat(&tag, "<body text='#%06x' bgcolor='#ffffff'>", rgb);
    AppendOutput(context, tag);
}

STATUS WriteHeadPass(XMLGenContext* context, RangeFonts* fonts) {
    context->tableDepth = 0;
    context->layerDepth = 0;
    ReleaseStyleRules(context);
    ForgetClosedLists(context);
    // Later ranges of a generation lie in the body the first one opened:
    // they rebuild their rules but write no head.
    const bool head = context->bodyOpened == 0;
    const bool startWritten = head && !IsOn(context, sw::kMoveStylesInline);
    if (startWritten) AppendOutput(context, kStyleStart);
    TraceStep("PrXMLStr - Step 3");
    context->faceVotes[kDefaultTextFont.face] = kStartVotes;
    context->sizeVotes[kDefaultTextFont.size] = kStartVotes;
    context->colourVotes[kDefaultTextFont.color] = kStartVotes;

    const STATUS status = ScanRange(context, fonts);
    VoteFonts(context, *fonts);
    // A range that starts or ends inside a table or layer leaves the walk
    // its own count.
    context->tableDepth = 0;
    context->layerDepth = 0;
    if (status != kOK) return status;
    if (head) {
        AppendOptionValue(context, "AddStyleSheetInfo=");
        FinishStyleElement(context, startWritten);
        WriteDominantFont(context);
    }
    TraceStep("PrXMLStr - Step 4");
    OpenBody(context);
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

} // namespace talix

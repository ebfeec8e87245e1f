#include "htmlgen/list_paragraphs.h"

#include <cstring>
#include <string>

#include "core/font_spec.h"
#include "core/text_compare.h"
#include "engine/css_format.h"
#include "htmlgen/class_rules.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/font_change.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/list_style.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/style_text.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"

namespace talix {

namespace {

constexpr const char* kListType = "list-style-type: ";
// List types by name, and the declaration that names them ("list-style-
// type: " and the name).
struct ListType {
    const char* name;
    const char* attribute;
};
constexpr ListType kListTypes[] = {{"decimal", " type=\"1\""},
                                   {"upper-alpha", " type=\"A\""},
                                   {"lower-alpha", " type=\"a\""},
                                   {"upper-roman", " type=\"I\""},
                                   {"lower-roman", " type=\"i\""}};

std::uint16_t FirstLine(const CDRecordNode* definition) { return ReadParagraphFields(definition).firstLineMargin; }
bool Numbered(const CDRecordNode* definition) { return ReadParagraphFields(definition).Numbered(); }
bool Bulleted(const CDRecordNode* definition) { return ReadParagraphFields(definition).Bulleted(); }
std::uint16_t IdOf(const CDRecordNode* definition) { return ReadParagraphFields(definition).id; }

bool Xhtml(const XMLGenContext* context) { return context->format == kFormatXHTML; }

const CDRecordNode* LevelDefinition(const XMLGenContext* context, std::uint16_t level) {
    return level >= 1 && level <= kMaxListLevel ? context->listDefinitions[level] : nullptr;
}

// Whether the innermost open list is open inside the current cell, section
// body or tabbed row (or outside every one): an item of it may follow here.
bool ListOpenHere(const XMLGenContext* context) {
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        const CloseTagEntry& entry = context->closeTags[i];
        if (SameCloseTag(entry.tag, "</ul>") || SameCloseTag(entry.tag, "</ol>")) return true;
        if (SameCloseTag(entry.tag, "</td>") || SameCloseTag(entry.tag, "</th>")) return false;
        if (entry.level != 0 && SameCloseTag(entry.tag, "</div>")) return false;
    }
    return false;
}

int CloseDownTo(XMLGenContext* context, const char* tag) {
    const int closed = CloseOpenXMLTagsToOutput(context, tag, 1, 1, 0, 1);
    MoveToTextEnd(context);
    return closed;
}

// The list definition of the reference: numbered, else bulleted.
const CDRecordNode* ReferenceList(XMLGenContext* context, std::uint16_t rawId) {
    return FindListPAB(context, rawId, nullptr);
}

// A list paragraph without content before the reference is kept as an
// empty item (in XHTML after the item it opened ends, as HTML ends it) of
// the list open here: a list outside the current cell takes no item from it.
void WriteEmptyItemBefore(XMLGenContext* context, const CDRecordNode* reference) {
    const FillerScan scan = ScanFillersBefore(reference);
    if (scan.stop == nullptr || scan.stop->signature != kSigPabReference || !ListOpenHere(context)) return;
    // An empty paragraph that is no list paragraph is no item.
    if (ReferenceList(context, NodeWord(scan.stop, 2)) == nullptr) return;
    if (Xhtml(context)) CloseDownTo(context, "</li>");
    AppendOutput(context, "<li></li>");
}

// The type attribute of the list type a rule names.
const char* TypeAttribute(const char* rule) {
    const char* at = rule != nullptr ? std::strstr(rule, kListType) : nullptr;
    if (at == nullptr) return "";
    at += std::strlen(kListType);
    for (const ListType& type : kListTypes) {
        if (std::strncmp(at, type.name, std::strlen(type.name)) == 0) return type.attribute;
    }
    return "";
}

// The first text run at or after the record. A look that starts inside
// the stretch the last look passed over (no text run between) takes its
// answer, so that a stretch without text is walked once.
const CDRecordNode* FirstRunFrom(XMLGenContext* context, const CDRecordNode* from) {
    FirstRunMemo& memo = context->firstRunMemo;
    if (memo.from != nullptr) {
        for (const CDRecordNode* at = from; at != nullptr; at = at->prev) {
            if (at == memo.from) {
                // The answer holds from here on: the next look walks back
                // only this far.
                memo.from = from;
                return memo.run;
            }
            if (IsTextRun(at->signature)) break;
        }
    }
    const CDRecordNode* run = from;
    while (run != nullptr && !IsTextRun(run->signature)) run = run->next;
    memo = FirstRunMemo{from, run};
    return run;
}

bool SameFont(const FontId& a, const FontId& b) {
    return a.face == b.face && a.attributes == b.attributes && a.color == b.color && a.size == b.size;
}

// The face name of the item's face, with the substitutions of the static
// faces applied in order.
std::string FaceName(const XMLGenContext* context, std::uint8_t face) {
    char stored[32] = {};
    if (context->item != nullptr) context->item->FindFaceByID(face, stored);
    std::string name = stored;
    for (const StaticFace& substitute : context->faces) {
        if (substitute.name[0] == '\0') break;
        if (EqualNoCase(name.c_str(), substitute.name)) name = substitute.families;
    }
    return name;
}

// The look of the item's text, from its first text run, as declarations.
void WriteTextEffects(XMLGenContext* context, const CDRecordNode* reference) {
    const CDRecordNode* run = FirstRunFrom(context, reference->next);
    if (run == nullptr) return;
    const CDRecordNode* colour = run->next != nullptr && run->next->signature == kSigColor ? run->next : nullptr;
    const FontId font = UnpackFontId(NodeDword(run, 4));
    const FontId& base = context->baseFont;
    const bool bidi = run->signature == kSigBidiText;
    if (colour == nullptr && context->forceFontSize == 0 && context->forceFontFace == 0 &&
        context->forceFontColor == 0 && SameFont(font, base))
        return;
    if (HasCloseTag(context, "</span>", 1) != 0 && colour == nullptr && SameFont(font, context->currentFont) &&
        !bidi && context->rightToLeftSeen == 0)
        return;

    std::string text;
    if (context->forceFontSize != 0 || font.size != base.size) AppendFormat(&text, "font-size: %dpt; ", font.size);
    const std::uint16_t colourFlags = NodeWord(colour, 2);
    if ((colourFlags & (kColorHighlightYellow | kColorHighlightPink | kColorHighlightBlue)) != 0) {
        text += "background: ";
        text += (colourFlags & kColorHighlightYellow) != 0  ? "#ffffc2;"
                : (colourFlags & kColorHighlightPink) != 0 ? "#ffe0e6;"
                                                           : "#e0ffff;";
    }
    ColorValue value;
    if (colour != nullptr) {
        value.flags = colourFlags;
        value.red = NodeByte(colour, 4);
        value.green = NodeByte(colour, 5);
        value.blue = NodeByte(colour, 6);
    }
    if (context->forceFontColor != 0 || font.color != base.color ||
        ColourValueGivesColour(colour != nullptr ? &value : nullptr)) {
        text += "color: ";
        if (colour != nullptr) {
            AppendFormat(&text, "rgb(%d,%d,%d)", NodeByte(colour, 4), NodeByte(colour, 5), NodeByte(colour, 6));
        } else {
            char value[kCSSColorSize];
            ColorToCSS(font.color, value, kColorAsRGB);
            text += value;
        }
        text += "; ";
    }
    if (font.attributes != base.attributes) {
        const std::uint8_t decoration = font.attributes & (kAttrUnderline | kAttrStrike);
        if (decoration == (kAttrUnderline | kAttrStrike)) text += "text-decoration: underline line-through; ";
        if (decoration == kAttrUnderline) text += "text-decoration: underline; ";
        if (decoration == kAttrStrike) text += "text-decoration: line-through; ";
    }
    AppendOutput(context, text);
    if ((context->forceFontFace != 0 || font.face != base.face) && !IsOn(context, sw::kSuppressFontFace)) {
        const std::string name = FaceName(context, font.face);
        if (!name.empty()) {
            // The face name is data: a CSS value of its own, then encoded
            // for the attribute.
            std::string family;
            AppendFontFamilies(&family, name);
            AppendOutput(context, "font-family: ");
            WriteXMLEncodedText(context, family.data(), static_cast<std::uint16_t>(family.size()), 1, 0, 0);
            AppendOutput(context, "; ");
        }
    }
    if (bidi) {
        AppendOutput(context, "direction: rtl;");
        context->rightToLeftSeen = 1;
    } else if (context->rightToLeftSeen != 0) {
        AppendOutput(context, "direction: ltr;");
    }
}

// The item's style: its list type, its definition's spacing and the look
// of its text; no attribute when there is nothing to say.
void WriteItemStyle(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
                    std::uint16_t remappedId) {
    const CDRecordNode* levelDefinition = LevelDefinition(context, context->listLevel);
    if (definition == nullptr || levelDefinition == nullptr || FirstLine(definition) != FirstLine(levelDefinition))
        return;
    const char* rule = FindClassRule(context, remappedId);
    const char* type = rule != nullptr ? std::strstr(rule, kListType) : nullptr;
    if (IsOn(context, sw::kStandardFontTags)) {
        AppendOutput(context, TypeAttribute(rule));
        return;
    }
    MoveToTextEnd(context);
    const std::uint32_t start = TextLength(context);
    AppendOutput(context, " style=\"");
    AppendOutput(context, context->openBrace);
    const std::uint32_t bare = TextLength(context);
    if (type != nullptr) {
        const char* name = type + std::strlen(kListType);
        for (const ListType& known : kListTypes) {
            if (std::strncmp(name, known.name, std::strlen(known.name)) != 0) continue;
            AppendOutput(context, type, std::strlen(kListType) + std::strlen(known.name));
            AppendOutput(context, "; ");
            break;
        }
    }
    const ParagraphFields fields = ReadParagraphFields(definition);
    AppendOutput(context, SpacingDeclarations(context, fields.lineSpacing, fields.spacingBefore, fields.spacingAfter,
                                              true));
    WriteTextEffects(context, reference);
    MoveToTextEnd(context);
    if (TextLength(context) == bare) {
        CutOutputTo(context, start);
        return;
    }
    AppendOutput(context, context->closeBrace);
    AppendOutput(context, "\"");
}

// Whether the paragraph begins with a table or a picture (or the BEGIN of
// one), which HTML does not start an item for.
bool BeginsWithBlock(const CDRecordNode* reference) {
    const CDRecordNode* next = reference->next;
    if (next == nullptr) return false;
    auto block = [](std::uint16_t signature) {
        return signature == kSigPreTableBegin || signature == kSigTableBegin || signature == kSigNestedTableBegin ||
               signature == kSigGraphic;
    };
    return block(next->signature) || (next->signature == kSigBegin && block(InnerSignature(next)));
}

// The list item. In XHTML every item has its start tag and its end is
// recorded, so that a table or picture that begins it stands inside it. In
// HTML such a paragraph goes on in the item before it (itemOpen), which its
// end tag does not close; the first item of a new list has none before it
// and starts, so that nothing but items stands in a list.
void WriteItem(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
               std::uint16_t remappedId, bool itemOpen) {
    if (BeginsWithBlock(reference) && !Xhtml(context) && itemOpen) return;
    AppendOutput(context, "<li");
    WriteItemStyle(context, reference, definition, remappedId);
    AppendOutput(context, ">");
    if (Xhtml(context)) PushCloseTag(context, "</li>");
}

// The next item of the list open at the current level: the item before it
// ends first (XHTML records its end).
void ContinueList(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
                  std::uint16_t remappedId) {
    CloseDownTo(context, "</li>");
    WriteItem(context, reference, definition, remappedId, true);
}

// A list nested in a list stands in an item of it: the empty item just
// written stays open for it, or, in XHTML where no item is open, one starts.
void HoldNestedList(XMLGenContext* context) {
    if (Xhtml(context) && HasCloseTagBefore(context, "</li>", "</ul>", "</ol>") != 0) return;
    if (OutputEndsWith(context, "<li></li>")) {
        CutOutputTo(context, TextLength(context) - 5);
    } else if (Xhtml(context)) {
        AppendOutput(context, "<li>");
    } else {
        return;
    }
    if (Xhtml(context)) PushCloseTag(context, "</li>");
}

// A new list, one level deeper (inside the item open at the current level),
// and its first item. At the deepest level the paragraph is an item of the
// list open there instead.
void OpenList(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition, bool numbered,
              std::uint16_t remappedId) {
    if (context->listLevel >= kMaxListLevel) {
        ContinueList(context, reference, definition, remappedId);
        return;
    }
    const char* rule = FindClassRule(context, remappedId);
    const char* element = numbered ? "ol" : "ul";
    MoveToTextEnd(context);
    if (context->listLevel > 0) HoldNestedList(context);
    if (IsOn(context, sw::kStandardFontTags)) {
        AppendOutput(context, numbered ? std::string("<ol") + TypeAttribute(rule) + ">" : std::string("<ul>"));
    } else if (IsOn(context, sw::kMoveStylesInline)) {
        const std::string start = std::string("<") + element + " style=\"" + context->openBrace;
        PutWaiting(context, start.c_str());
        WriteXMLListStyle(context, reference, rule);
        if (rule != nullptr) AppendOutput(context, rule);
        AppendOutput(context, std::string(context->closeBrace) + "\">");
    } else {
        std::string start;
        AppendFormat(&start, "<%s class=\"pabid%u\"", element, remappedId);
        AppendOutput(context, start);
        const std::uint32_t attribute = TextLength(context);
        PutWaiting(context, " style=\"");
        if (WriteXMLListStyle(context, reference, rule) != kOK) {
            AppendOutput(context, "margin-left: 0.0in; padding-left: 0.25in; ");
            if (rule != nullptr) AppendOutput(context, rule);
        }
        MoveToTextEnd(context);
        if (TextLength(context) == attribute + std::strlen(" style=\"")) {
            CutOutputTo(context, attribute);
            AppendOutput(context, ">");
        } else {
            AppendOutput(context, "\">");
        }
    }
    ++context->listLevel;
    context->listDefinitions[context->listLevel] = definition;
    // The level goes with the list's closing tag, so that whatever closes
    // the list tells the level too (SyncListLevel).
    PushCloseTagLevel(context, numbered ? "</ol>" : "</ul>", context->listLevel);
    WriteItem(context, reference, definition, remappedId, false);
}

// Closes the list open at a level; a close that happens drops the level.
void CloseLevel(XMLGenContext* context, std::uint16_t level) {
    const CDRecordNode* definition = LevelDefinition(context, level);
    const char* tag = Bulleted(definition) ? "</ul>" : Numbered(definition) ? "</ol>" : nullptr;
    if (tag != nullptr && CloseDownTo(context, tag) != 0) SyncListLevel(context);
}

} // namespace

void SyncListLevel(XMLGenContext* context) {
    std::uint16_t open = 0;
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        const CloseTagEntry& entry = context->closeTags[i];
        if (entry.level != 0 && (SameCloseTag(entry.tag, "</ul>") || SameCloseTag(entry.tag, "</ol>"))) {
            open = entry.level;
            break;
        }
    }
    while (context->listLevel > open) {
        if (context->listLevel <= kMaxListLevel) context->listDefinitions[context->listLevel] = nullptr;
        --context->listLevel;
    }
}

void CloseNumberedLists(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId,
                        std::uint16_t remappedId) {
    SyncListLevel(context);
    const CDRecordNode* list = ReferenceList(context, rawId);
    WriteEmptyItemBefore(context, reference);
    if (context->lastParagraphId == remappedId) return;
    const CDRecordNode* open = LevelDefinition(context, context->listLevel);
    if (context->listLevel > 0 && list != nullptr && open != nullptr && FirstLine(list) >= FirstLine(open)) return;
    // A list a table ended inside of goes on after the table.
    if (OutputEndsWith(context, "</table>")) return;
    if (CloseDownTo(context, "</ol>") != 0) SyncListLevel(context);
}

void CloseBulletedLists(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId,
                        std::uint16_t remappedId) {
    SyncListLevel(context);
    const CDRecordNode* list = ReferenceList(context, rawId);
    WriteEmptyItemBefore(context, reference);
    if (context->lastParagraphId == remappedId) return;
    for (;;) {
        const CDRecordNode* open = LevelDefinition(context, context->listLevel);
        if (context->listLevel > 0 && list != nullptr && open != nullptr && FirstLine(list) > FirstLine(open)) return;
        if (CloseDownTo(context, "</ul>") == 0) return;
        SyncListLevel(context);
        if (context->listLevel == 0) return;
        if (HasCloseTagBefore(context, "</ul>", "</ol>", "</td>", "</th>") == 0) return;
    }
}

void WriteListParagraph(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
                        bool numbered, std::uint16_t remappedId) {
    SyncListLevel(context);
    // A list open outside the current cell takes no items from inside it:
    // the cell's list is a new one, nested in the item the table stands in.
    if (context->listLevel == 0 || !ListOpenHere(context)) {
        OpenList(context, reference, definition, numbered, remappedId);
        return;
    }
    const std::uint16_t level = context->listLevel;
    const CDRecordNode* open = LevelDefinition(context, level);
    if (open == nullptr || IdOf(open) == remappedId) {
        ContinueList(context, reference, definition, remappedId);
        return;
    }

    // Another list: back out to the level it belongs to. The item open at
    // the current level stays open while a list nests in it.
    const std::uint16_t first = FirstLine(definition), openFirst = FirstLine(open);
    const bool bothNumbered = Numbered(definition) && Numbered(open);
    bool outdent = first < openFirst || (first == openFirst && bothNumbered);
    if (!(first == openFirst && bothNumbered)) {
        std::uint16_t found = 0;
        for (std::uint16_t i = level; i >= 1 && found == 0; --i) {
            const CDRecordNode* at = LevelDefinition(context, i);
            if (at == nullptr) continue;
            const std::uint16_t atFirst = FirstLine(at);
            if (IdOf(at) == remappedId || atFirst < first ||
                (atFirst == first && (!Numbered(at) || !Numbered(definition))))
                found = i;
        }
        for (std::uint16_t k = level; found != 0 && k >= found; --k) {
            if (k > found) {
                CloseLevel(context, k);
                continue;
            }
            const CDRecordNode* at = LevelDefinition(context, k);
            if (at != nullptr && IdOf(at) == remappedId) break;
            if (!outdent) break;
            outdent = false;
            CloseLevel(context, k);
        }
    }
    if (context->listLevel == 0 || !outdent) {
        OpenList(context, reference, definition, numbered, remappedId);
    } else {
        ContinueList(context, reference, definition, remappedId);
    }
}

} // namespace talix

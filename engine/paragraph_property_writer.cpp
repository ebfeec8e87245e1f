// A paragraph definition as property text, in the keyword="value" form of
// paragraph-style strings or in the attribute form.
#include "engine/paragraph_property_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/statuses.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Flags.
constexpr std::uint16_t kPaginateBefore = 0x0001, kKeepWithNext = 0x0002, kKeepTogether = 0x0004,
                        kPropagate = 0x0008, kHideRead = 0x0010, kHideEdit = 0x0020, kHidePrint = 0x0040,
                        kDisplayRight = 0x0080, kHideCopy = 0x0200, kBulleted = 0x0400, kNumbered = 0x1000,
                        kHidePreviewRead = 0x2000, kHidePreviewEdit = 0x4000, kHideNotes = 0x8000;
// Second flags.
constexpr std::uint16_t kHideWeb = 0x0001, kLeftOffset = 0x0004, kLeftPercent = 0x0008, kFirstOffset = 0x0010,
                        kFirstPercent = 0x0020, kRightOffset = 0x0040, kRightPercent = 0x0080,
                        kListCheck = 0x0002, kListCircle = 0x0800, kListSquare = 0x1000, kListUnchecked = 0x2000,
                        kRightToLeft = 0x4000;
constexpr std::uint16_t kListStyles = kListCheck | kListCircle | kListSquare | kListUnchecked;

constexpr std::uint16_t kDefaultMargin = 1440;
constexpr std::uint16_t kDefaultTabInterval = 720;
constexpr std::uint16_t kSpacingSingle = 0, kSpacingDouble = 2;

// The text being written: words appended while they fit.
class Words {
public:
    explicit Words(char* output) : output_(output) { output_[0] = '\0'; }

    void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (used_ + 1 >= kScratchSize) return;
        va_list arguments;
        va_start(arguments, format);
        const int length = plat::FormatTextV(output_ + used_, kScratchSize - used_, format, arguments);
        va_end(arguments);
        if (length < 0 || used_ + static_cast<std::size_t>(length) >= kScratchSize) {
            output_[used_] = '\0';   // a word that does not fit is left out
            return;
        }
        used_ += static_cast<std::size_t>(length);
    }

    void DropTrailingBlank() {
        if (used_ > 0 && output_[used_ - 1] == ' ') output_[--used_] = '\0';
    }

private:
    char* output_;
    std::size_t used_ = 0;
};

double Inches(int twips) { return static_cast<double>(static_cast<float>(twips / 1440.0)); }

const char* JustifyWord(std::uint16_t mode) {
    switch (mode) {
    case 0: return "LEFT";
    case 1: return "RIGHT";
    case 2: return "FULL";
    case 3: return "CENTER";
    default: return "NONE";
    }
}

char TabLetter(std::uint32_t types, int stop) {
    static const char kLetters[] = {'L', 'R', 'D', 'C'};
    return kLetters[(types >> (2 * stop)) & 3u];
}

int TabCount(const CDPABDEFEXT& definition) { return definition.tabs < kMaxTabs ? definition.tabs : kMaxTabs; }

// The flag words of both forms; RTL only in the property form.
void FlagWords(const CDPABDEFEXT& definition, bool withRightToLeft, Words* words) {
    const std::uint16_t flags = definition.flags;
    const std::uint16_t flags2 = definition.flags2;
    if (flags == 0 && (flags2 & kHideWeb) == 0) {
        words->Add("NO_FLAGS");
        return;
    }
    static const struct {
        std::uint16_t bit;
        const char* word;
    } kFlagWords[] = {
        {kPaginateBefore, "PAGINATE_BEFORE"}, {kKeepWithNext, "KEEP_WITH_NEXT"},
        {kKeepTogether, "KEEP_TOGETHER"},     {kPropagate, "PROPAGATE"},
        {kHideRead, "HIDE_READ"},             {kHidePreviewRead, "HIDE_PREVIEW_READ"},
        {kHideEdit, "HIDE_EDIT"},             {kHidePreviewEdit, "HIDE_PREVIEW_EDIT"},
        {kHidePrint, "HIDE_PRINT"},           {kDisplayRight, "DISPLAY_RIGHT"},
        {kHideCopy, "HIDE_COPY"},
    };
    for (const auto& each : kFlagWords)
        if ((flags & each.bit) != 0) words->Add("%s ", each.word);
    if ((flags & kBulleted) != 0) {
        if ((flags2 & kListCheck) != 0) words->Add("Checked_List ");
        else if ((flags2 & kListCircle) != 0) words->Add("Circle_List ");
        else if ((flags2 & kListSquare) != 0) words->Add("Square_List ");
        else if ((flags2 & kListUnchecked) != 0) words->Add("Unchecked_List ");
        else words->Add("Bullet ");
    } else if ((flags & kNumbered) != 0) {
        switch (flags2 & kListStyles) {
        case 0x1802: words->Add("Lower_Alpha_List "); break;
        case 0x1002: words->Add("Lower_Roman_List "); break;
        case 0x1800: words->Add("Upper_Alpha_List "); break;
        case 0x0802: words->Add("Upper_Roman_List "); break;
        default: words->Add("Numbered_List "); break;
        }
    }
    if ((flags & kHideNotes) != 0) words->Add("HIDE_NOTES ");
    if ((flags2 & kHideWeb) != 0) words->Add("HIDE_WEB ");
    if (withRightToLeft && (flags2 & kRightToLeft) != 0) words->Add("RTL ");
}

void AttributeForm(const CDPABDEFEXT& d, Words* words) {
    const std::uint16_t flags2 = d.flags2;
    if ((flags2 & kLeftOffset) != 0) words->Add(" leftmargin='%4.2fin'", Inches(d.leftMarginOffset));
    else if ((flags2 & kLeftPercent) != 0) words->Add(" leftmargin=%3d%%", d.leftMarginPercent);
    else words->Add(" leftmargin='%4.2fin'", Inches(d.leftMargin));

    if ((flags2 & kRightOffset) != 0) words->Add(" rightmargin='%4.2fin'", Inches(d.rightMarginOffset));
    else if ((flags2 & kRightPercent) != 0) words->Add(" rightmargin='%3d%%'", d.rightMarginPercent);
    else words->Add(" rightmargin='%4.2f'", Inches(d.rightMargin));

    if ((flags2 & kFirstOffset) != 0) words->Add(" firstlineleftmargin='%4.2fin'", Inches(d.firstLineOffset));
    else if ((flags2 & kFirstPercent) != 0) words->Add(" firstlineleftmargin='%3d%%'", d.firstLinePercent);
    else words->Add(" firstlineleftmargin='%4.2fin'", Inches(d.firstLineLeftMargin));

    const struct {
        const char* keyword;
        std::uint16_t spacing;
    } kSpacings[] = {{"spacebefore", d.spacingBefore}, {"spaceafter", d.spacingAfter}, {"linespacing", d.lineSpacing}};
    for (const auto& each : kSpacings)
        if (each.spacing != kSpacingSingle)
            words->Add(" %s='%s'", each.keyword, each.spacing == kSpacingDouble ? "2" : "1.5");

    // A blank parts the tab word from the quoted value before it, so that
    // an option reader finds it.
    const int tabs = TabCount(d);
    if (tabs > 0) {
        words->Add(" Tabs=");
        for (int stop = 0; stop < tabs; ++stop) words->Add("%c%fin ", TabLetter(d.tabTypes, stop), Inches(d.tab[stop]));
    } else {
        words->Add(" TabInterval=%4.2f ", Inches(d.tab[0]));
    }
    words->Add("Justify=%s ", JustifyWord(d.justifyMode));
    FlagWords(d, false, words);
}

void PropertyForm(const CDPABDEFEXT& d, bool skipDefaults, Words* words) {
    const std::uint16_t flags2 = d.flags2;
    // A word, unless defaults are left out and the value is the default.
    auto inches = [&](const char* keyword, int twips, bool hasDefault, int fallback) {
        if (!(skipDefaults && hasDefault && twips == fallback)) words->Add("%s=\"%4.2f\" ", keyword, Inches(twips));
    };
    auto percent = [&](const char* keyword, int value, bool hasDefault) {
        if (!(skipDefaults && hasDefault && value == 0)) words->Add("%s=\"%d%%\" ", keyword, value);
    };

    if ((flags2 & kLeftOffset) != 0 && d.leftMarginOffset != 0)
        inches("LeftMarginOffset", d.leftMarginOffset, true, kDefaultMargin);
    else if ((flags2 & kLeftPercent) != 0) percent("LeftMarginPercent", d.leftMarginPercent, true);
    else inches("LeftMargin", d.leftMargin, true, kDefaultMargin);

    if ((flags2 & kRightOffset) != 0) inches("RightMarginOffset", d.rightMarginOffset, false, 0);
    else if ((flags2 & kRightPercent) != 0 && d.rightMarginPercent != 0)
        percent("RightMarginPercent", d.rightMarginPercent, false);
    else inches("RightMargin", d.rightMargin, true, 0);

    if ((flags2 & kFirstOffset) != 0 && d.firstLineOffset != 0)
        inches("FirstLeftMarginOffset", d.firstLineOffset, true, kDefaultMargin);
    else if ((flags2 & kFirstPercent) != 0) percent("FirstLeftMarginPercent", d.firstLinePercent, true);
    else inches("LeftMarginFirst", d.firstLineLeftMargin, true, kDefaultMargin);

    const struct {
        const char* keyword;
        std::uint16_t spacing;
    } kSpacings[] = {{"Above", d.spacingBefore}, {"Below", d.spacingAfter}, {"InterLine", d.lineSpacing}};
    for (const auto& each : kSpacings) {
        if (skipDefaults && each.spacing == kSpacingSingle) continue;
        const char* value = each.spacing == kSpacingSingle ? "SINGLE" : (each.spacing == kSpacingDouble ? "DOUBLE" : "1.5");
        words->Add("%s=\"%s\" ", each.keyword, value);
    }

    const int tabs = TabCount(d);
    if (tabs > 0) {
        words->Add("Tabs=\"");
        for (int stop = 0; stop < tabs; ++stop)
            words->Add(stop + 1 < tabs ? "%c%4.2f;" : "%c%4.2f", TabLetter(d.tabTypes, stop), Inches(d.tab[stop]));
        words->Add("\" ");
    } else {
        const int interval = d.tab[0];
        if (interval == kDefaultTabInterval) {
            if (!skipDefaults) words->Add("TabInterval=\"0.5\" ");
        } else if (!(skipDefaults && interval == 0)) {
            words->Add("TabInterval=\"%4.2f\" ", Inches(interval));
        }
    }
    if (!(skipDefaults && d.justifyMode == 0)) words->Add("Justify=\"%s\" ", JustifyWord(d.justifyMode));
    FlagWords(d, true, words);
}

} // namespace

void PABToPropertyText(int form, const CDPABDEFEXT* definition, char* output, int skipDefaults) {
    if (output == nullptr) return;
    Words words(output);
    if (definition == nullptr) return;
    if (form != 0) AttributeForm(*definition, &words);
    else PropertyForm(*definition, skipDefaults != 0, &words);
    words.DropTrailingBlank();
}

} // namespace talix

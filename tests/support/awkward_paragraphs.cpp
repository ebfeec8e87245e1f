// Paragraphs, lists and rules of the awkward documents.
#include <map>
#include <tuple>

#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "core/signatures.h"
#include "support/awkward_builder.h"

namespace talix_test::awkward {

namespace {

constexpr std::uint16_t kBulleted = 0x0400, kNumbered = 0x1000;
// The list styles of the second flags word, alone and combined.
constexpr std::uint16_t kListStyles[] = {0, 0, 0x0002, 0x0800, 0x1000, 0x2000, 0x0802, 0x3000, 0x3802};
constexpr int kDeepestList = 8;
constexpr std::uint16_t kLevelIndent = 360;

} // namespace

void Builder::Paragraph(const Place& place) {
    Used(kAwkwardParagraphs);
    StartParagraph(Define(RandomDefinition()));
    switch (choose().Below(8)) {
    case 0:   // an empty paragraph
        Run("", RandomFont());
        break;
    case 1:   // lines broken by paragraph records within the paragraph
        Runs(place, static_cast<int>(choose().Between(1, 4)));
        Put(HostRecord(talix::kSigParagraph, 2), "line break");
        Runs(place, static_cast<int>(choose().Between(1, 4)));
        break;
    default:
        Runs(place, static_cast<int>(choose().Between(1, 14)));
        break;
    }
}

void Builder::Rule(const Place& place) {
    Used(kAwkwardParagraphs);
    PlainParagraph(place, 1);
    FixtureRecord rule = HostRecord(talix::kSigHorizontalRule, 16);
    // Flags: width in percent (bit 2), no shade (bit 3), and the rest at random.
    PutDword(&rule, 4, choose().Below(16));
    PutWord(&rule, 8, static_cast<std::uint16_t>(choose().Percent(50) ? choose().Between(1, 100)
                                                                       : choose().Between(15, 14400)));
    PutWord(&rule, 10, static_cast<std::uint16_t>(choose().Between(0, 120)));
    PutWord(&rule, 12, static_cast<std::uint16_t>(choose().Below(16)));
    Put(rule, "horizontal rule");
    if (choose().Percent(50)) {
        Check(talix::AppendColorRecord(talix::kSigColor, choose().Below(0x1000000), 0, &context()->output),
              "rule colour");
    }
    Runs(place, static_cast<int>(choose().Below(3)));
}

void Builder::List(const Place& place) {
    Used(kAwkwardLists);
    // One definition per level, kind and style, made when first used.
    std::map<std::tuple<int, std::uint16_t, std::uint16_t>, std::uint16_t> definitions;
    int level = 1;
    const int items = static_cast<int>(choose().Between(2, 14));
    for (int i = 0; i < items && Ok(); ++i) {
        if (i > 0) {
            const std::uint32_t move = choose().Below(10);
            if (move < 4 && level < kDeepestList) {
                ++level;
            } else if (move < 6 && level > 1) {
                --level;
            } else if (move == 6) {
                level = static_cast<int>(choose().Between(1, kDeepestList));
            }
        }
        if (level > document().deepestList) document().deepestList = level;
        const std::uint16_t kind = choose().Percent(50) ? kBulleted : kNumbered;
        const std::uint16_t style = choose().Pick(kListStyles);
        auto found = definitions.find({level, kind, style});
        if (found == definitions.end()) {
            Definition d = RandomDefinition();
            d.flags = static_cast<std::uint16_t>((d.flags & ~(kBulleted | kNumbered)) | kind);
            d.flags2 = static_cast<std::uint16_t>((d.flags2 & ~0x3802) | style);
            d.firstLine = static_cast<std::uint16_t>(level * kLevelIndent);
            d.left = static_cast<std::uint16_t>(level * kLevelIndent + kLevelIndent / 2);
            found = definitions.emplace(std::make_tuple(level, kind, style), Define(d)).first;
        }
        StartParagraph(found->second);
        // Items begin with text, with nothing, with a table or a picture.
        const std::uint32_t content = choose().Below(12);
        if (content == 0) {
            Run("", RandomFont());
        } else if (content == 1 && Enabled(kAwkwardTables) && place.tableLevel < 6) {
            Place inner = Inside(place);
            inner.leading = true;
            Table(inner);
        } else if (content == 2 && Enabled(kAwkwardPictures)) {
            Place inner = Inside(place);
            inner.leading = true;
            Picture(inner);
            Runs(place, static_cast<int>(choose().Below(3)));
        } else {
            Runs(place, static_cast<int>(choose().Between(1, 8)));
        }
    }
}

} // namespace talix_test::awkward

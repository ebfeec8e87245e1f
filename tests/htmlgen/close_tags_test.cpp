// The close-tag stack and the closing of open elements, the border CSS of
// a border record and the navigation between the cells of a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/record_forms.h"
#include "generation_fixture.h"
#include "htmlgen/cell_navigation.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "support/record_fixture.h"
#include "talix/session.h"

namespace {

using htmlgen_test::Context;
using talix::CloseOpenXMLTags;
using talix::CloseOpenXMLTagsToOutput;
using talix::PushCloseTag;

// Pushes the tags, bottom first.
void Push(Context& context, std::initializer_list<const char*> tags) {
    for (const char* tag : tags) ASSERT_TRUE(PushCloseTag(context.get(), tag));
}

TEST(CloseTags, ElementsCloseInnermostFirstWithinTheirContainer) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);

    // Closing an anchor closes what was opened inside it, in order.
    Push(context, {"</a>", "</span>", "</b>"});
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</a>", 1, 1, 0, 0), 1);
    EXPECT_EQ(context.Text(), "</b></span></a>");
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 0u);

    // A list item open outside the current cell stays open with the list
    // check; without it both close.
    context.SetText("");
    Push(context, {"</li>", "</td>"});
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</li>", 1, 1, 0, 1), 0);
    EXPECT_EQ(context.Text(), "");
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</li>", 1, 1, 0, 0), 1);
    EXPECT_EQ(context.Text(), "</td></li>");

    // A cell closes only inside a row or table; a row only when open.
    context.SetText("");
    Push(context, {"</div>", "</td>"});
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</td>", 1, 1, 1, 0), 0);
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</tr>", 1, 1, 0, 0), 0);
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 2u);

    // Closing everything unwritten leaves the output as it was.
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "*", 0, 0, 0, 0), 1);
    EXPECT_EQ(context.Text(), "");
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 0u);

    // Into a buffer of the caller's: no line feed, nothing in the output.
    context.Read("AddNewlines=Yes");
    Push(context, {"</p>", "</span>"});
    char buffer[8] = "x";
    EXPECT_EQ(CloseOpenXMLTags(context.get(), "*", 1, 0, buffer, sizeof buffer, 0, 0), 1);
    EXPECT_STREQ(buffer, "x</p>");   // "</span>" does not fit: dropped whole
    EXPECT_EQ(context.Text(), "");
    // Into the output: a line feed after a block's closing tag only.
    Push(context, {"</p>", "</span>"});
    CloseOpenXMLTagsToOutput(context.get(), "</p>", 1, 1, 0, 0);
    EXPECT_EQ(context.Text(), "</span></p>\n");

    // Every block's closing tag, in any case, is followed by a line feed;
    // tags that only begin like one (or end early) are not.
    context.SetText("");
    Push(context, {"</TABLE>", "</Tr>", "</body>", "</uL>", "</ol>", "</DIV>", "</P>", "</td>", "</th>",
                   "</tbody>", "</blockquote>", "</pre>", "</u>", "</o>", "</di>", "</tablex>", "</"});
    CloseOpenXMLTagsToOutput(context.get(), "*", 1, 0, 0, 0);
    EXPECT_EQ(context.Text(), "</</tablex></di></o></u></pre></blockquote></tbody></th></td></P>\n</DIV>\n</ol>\n"
                              "</uL>\n</body>\n</Tr>\n</TABLE>\n");

    // With the list check, a list item on top closes even inside a cell;
    // one below the cell does not.
    context.SetText("");
    Push(context, {"</li>", "</td>", "</li>"});
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</li>", 1, 1, 0, 1), 1);
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</li>", 1, 1, 0, 1), 0);
    EXPECT_EQ(context.Text(), "</li>");
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 2u);
    CloseOpenXMLTagsToOutput(context.get(), "*", 0, 0, 0, 0);
}

TEST(CloseTags, OpenInlineKindsFollowEveryPushAndPop) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    auto open = [&] { return talix::OpenInlineKinds(context.get()); };
    using talix::InlineKindBit;

    // Tags are told by their whole text: "</B>", "</sp>" and "</strongest>"
    // are no inline elements; a tag of another writer's storage counts.
    const std::string bold = "</b>";
    Push(context, {"</div>", "</B>", "</sp>", "</strongest>", "</span>", bold.c_str(), "</s>", "</sub>"});
    EXPECT_EQ(open(), InlineKindBit(talix::kInlineSpan) | InlineKindBit(talix::kInlineBold) |
                          InlineKindBit(talix::kInlineStrike) | InlineKindBit(talix::kInlineSubscript));
    ASSERT_TRUE(talix::PushCloseTagLevel(context.get(), "</sup>", 3));
    EXPECT_TRUE(talix::InlineKindOpen(context.get(), talix::kInlineSuperscript));

    // A kind open twice stays open until its last element closes.
    Push(context, {"</b>"});
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</b>", 1, 1, 0, 0), 1);
    EXPECT_TRUE(talix::InlineKindOpen(context.get(), talix::kInlineBold));
    EXPECT_EQ(CloseOpenXMLTagsToOutput(context.get(), "</b>", 1, 1, 0, 0), 1);
    EXPECT_EQ(context.Text(), "</b></sup></sub></s></b>");
    EXPECT_EQ(open(), InlineKindBit(talix::kInlineSpan));

    // Popping to a depth and closing inline elements on top forget them too.
    talix::PopCloseTags(context.get(), 4, nullptr, 0);
    EXPECT_EQ(open(), 0u);
    Push(context, {"</i>", "</em>"});
    EXPECT_EQ(talix::CloseInlineElements(context.get()), 1);
    EXPECT_EQ(open(), 0u);
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 4u);
    Push(context, {"</font>", "</u>"});
    talix::ReleaseCloseTags(context.get());
    EXPECT_EQ(open(), 0u);
    Push(context, {"</strong>"});
    EXPECT_EQ(open(), InlineKindBit(talix::kInlineStrong));
}

// Closing an inline kind: on top, it alone closes; below others, they
// close first, innermost first; a kind not open (or no kind) closes
// nothing. The counts of open kinds follow; a block closed from the top
// gets its line feed, inline elements none.
TEST(CloseTags, AnInlineKindClosesWithWhatLiesAboveIt) {
    RARIvoSession session;
    Context context(&session);
    context.Read("AddNewlines=Yes");
    auto open = [&] { return talix::OpenInlineKinds(context.get()); };
    using talix::InlineKindBit;

    const std::string bold = "</b>";   // a tag of another writer's storage
    Push(context, {"</div>", "</span>", bold.c_str()});
    EXPECT_EQ(talix::CloseInlineKind(context.get(), talix::kInlineBold), 1);
    EXPECT_EQ(context.Text(), "</b>");
    EXPECT_EQ(open(), InlineKindBit(talix::kInlineSpan));
    EXPECT_EQ(talix::CloseInlineKind(context.get(), talix::kInlineItalic), 0);
    EXPECT_EQ(talix::CloseInlineKind(context.get(), talix::kInlineNone), 0);
    EXPECT_EQ(context.Text(), "</b>");

    Push(context, {"</i>", "</a>", "</sup>"});
    EXPECT_EQ(talix::CloseInlineKind(context.get(), talix::kInlineSpan), 1);
    EXPECT_EQ(context.Text(), "</b></sup></a></i></span>");
    EXPECT_EQ(open(), 0u);
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 1u);

    talix::CloseTopToOutput(context.get());
    EXPECT_EQ(context.Text(), "</b></sup></a></i></span></div>\n");
    EXPECT_EQ(talix::CloseTagDepth(context.get()), 0u);
}

TEST(CloseTags, SearchesSeeLevelsAndContainers) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    talix::XMLGenContext* c = context.get();

    ASSERT_TRUE(talix::PushCloseTagLevel(c, "</div>", 3));
    Push(context, {"</div>"});
    EXPECT_EQ(talix::FindCloseTag(c, "</div>", 1), 0);   // the innermost carries no level
    EXPECT_EQ(talix::FindCloseTag(c, "</div>", 0), 3);

    Push(context, {"</b>", "</i>"});
    EXPECT_EQ(talix::HasCloseTag(c, "</b>", 1), 0);
    EXPECT_EQ(talix::HasCloseTag(c, "</b>", 0), 1);

    // Pops back to a remembered depth give the closing tags of what was
    // opened since, innermost first.
    const std::uint32_t mark = talix::CloseTagDepth(c);
    Push(context, {"</span>", "</b>"});
    char closing[32] = {};
    EXPECT_TRUE(talix::PopCloseTags(c, mark, closing, sizeof closing));
    EXPECT_STREQ(closing, "</b></span>");
    EXPECT_EQ(talix::CloseTagDepth(c), mark);
    EXPECT_TRUE(talix::PopCloseTags(c, mark, closing, sizeof closing));
    EXPECT_STREQ(closing, "</b></span>");

    talix::PopCloseTags(c, 0, nullptr, 0);
    Push(context, {"</td>", "</ul>", "</li>"});
    EXPECT_EQ(talix::HasCloseTagBefore(c, "</ul>", "</td>", "</th>"), 1);
    talix::PopCloseTags(c, 0, nullptr, 0);
    Push(context, {"</ul>", "</td>", "</li>"});
    EXPECT_EQ(talix::HasCloseTagBefore(c, "</ul>", "</td>", "</th>"), 0);
    EXPECT_EQ(talix::HasCloseTagBefore(c, "</li>", "</li>"), 1);

    // Many open elements: the stack grows as far as they go.
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(PushCloseTag(c, "</span>"));
    EXPECT_EQ(CloseOpenXMLTagsToOutput(c, "</td>", 1, 1, 0, 0), 1);
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += "</span>";
    EXPECT_EQ(context.Text(), expected + "</li></td>");
    EXPECT_EQ(talix::CloseTagDepth(c), 1u);
}

talix_test::FixtureRecord Border(std::uint16_t style, std::uint16_t width, bool shadow) {
    auto record = talix_test::HostRecord(0xFFFC, 60);
    talix_test::PutWord(&record, 8, style);
    for (int side = 0; side < 4; ++side) talix_test::PutWord(&record, 10 + 2 * side, width);
    talix_test::PutWord(&record, 24, shadow ? 1 : 0);
    return record;
}

std::string BorderCSS(const talix_test::FixtureRecord& record, std::size_t length = 0) {
    char out[256];
    talix::WriteXMLBorderStyle(record.bytes.data(),
                               static_cast<std::uint32_t>(length > 0 ? length : record.bytes.size()), nullptr, out,
                               sizeof out);
    return out;
}

TEST(CellBorders, BorderRecordsAsCSS) {
    auto ridge = Border(5, 2, false);
    talix_test::PutWord(&ridge, 44, 1);
    ridge.bytes[46] = 255;
    EXPECT_EQ(BorderCSS(ridge), " border-style:ridge;border-color:rgb(255,0,0);border-width:2;");

    EXPECT_EQ(BorderCSS(Border(0, 3, true)),
              " border-style:inset;border-color:rgb(211,211,211);border-width: 3px 12px 12px 3px;");
    auto uneven = Border(1, 1, true);
    talix_test::PutWord(&uneven, 16, 4);
    EXPECT_EQ(BorderCSS(uneven), " border-style:inset;border-color:rgb(211,211,211);border-width:0px 12px 12px 0px;");

    // Margins top, left, bottom, right 0, 0, 0, 5: written top, right,
    // bottom, left; padding all 2.
    auto boxed = Border(99, 1, false);
    talix_test::PutWord(&boxed, 42, 5);
    for (int side = 0; side < 4; ++side) talix_test::PutWord(&boxed, 28 + 2 * side, 2);
    EXPECT_EQ(BorderCSS(boxed), " border-style:solid;border-width:1;margin: 0 5 0 0;padding:2;");

    // A record cut short reads its missing fields as 0; none gives a blank.
    EXPECT_EQ(BorderCSS(ridge, 12), " border-style:ridge;border-width: 2 0 0 0;");
    char out[8];
    talix::WriteXMLBorderStyle(nullptr, 0, nullptr, out, sizeof out);
    EXPECT_STREQ(out, " ");
}

// A list of cell records over fixture bytes: rows and columns with spans.
struct CellRecordList {
    std::vector<talix_test::FixtureRecord> records;
    std::vector<talix::CDRecordNode> nodes;

    void Add(talix_test::FixtureRecord record) { records.push_back(std::move(record)); }
    void Cell(int row, int column, int rowSpan = 1, int columnSpan = 1, bool hidden = false) {
        auto cell = talix_test::HostRecord(0x00A4, 18);
        cell.bytes[2] = static_cast<std::uint8_t>(row);
        cell.bytes[3] = static_cast<std::uint8_t>(column);
        cell.bytes[11] = hidden ? 0x04 : 0;
        cell.bytes[14] = static_cast<std::uint8_t>(rowSpan);
        cell.bytes[15] = static_cast<std::uint8_t>(columnSpan);
        Add(cell);
    }
    talix::CDRecordNode* Link() {
        nodes.resize(records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            nodes[i].signature = records[i].signature;
            nodes[i].length = static_cast<std::uint32_t>(records[i].bytes.size());
            nodes[i].bytes = records[i].bytes.data();
            nodes[i].index = static_cast<std::uint16_t>(i + 1);
            nodes[i].prev = i > 0 ? &nodes[i - 1] : nullptr;
            nodes[i].next = i + 1 < records.size() ? &nodes[i + 1] : nullptr;
        }
        return &nodes.front();
    }
};

TEST(CellNavigation, CellsSpansAndTableEnds) {
    // A 2 x 3 table merged whole: five hidden cells, the owner last; a
    // nested table in the first cell.
    CellRecordList table;
    table.Add(talix_test::HostRecord(0x00A3, 14));
    table.Cell(0, 0, 1, 1, true);
    table.Add(talix_test::HostRecord(0x00CF, 14));
    table.Add(talix_test::HostRecord(0x00D0, 18));
    table.Add(talix_test::HostRecord(0x00D1, 8));
    table.Cell(0, 1, 1, 1, true);
    table.Cell(0, 2, 1, 1, true);
    table.Cell(1, 0, 1, 1, true);
    table.Cell(1, 1, 1, 1, true);
    table.Cell(1, 2, 2, 3);
    table.Add(talix_test::HostRecord(0x00A5, 8));
    talix::CDRecordNode* begin = table.Link();
    talix::CDRecordNode* first = begin->next;
    talix::CDRecordNode* owner = &table.nodes[9];
    talix::CDRecordNode* end = &table.nodes[10];

    EXPECT_EQ(talix::NextCellRecord(first), &table.nodes[5]);   // the nested table passed over
    EXPECT_EQ(talix::NextCellRecord(owner), end);
    EXPECT_EQ(talix::NextCellRecord(begin), nullptr);
    EXPECT_EQ(talix::FindTableEnd(first), end);
    EXPECT_EQ(talix::FindTableEnd(&table.nodes[3]), &table.nodes[4]);   // the nested cell's own table
    EXPECT_EQ(talix::FindSpanOwnerCell(first), owner);
    EXPECT_EQ(talix::FindSpanOwnerCell(&table.nodes[5]), nullptr);   // covered, but begins no block
    EXPECT_EQ(talix::FindSpanOwnerCell(owner), owner);
    EXPECT_EQ(talix::IsSpanOrigin(first, owner), 1);
    EXPECT_EQ(talix::IsSpanOrigin(&table.nodes[6], owner), 0);
    EXPECT_EQ(talix::IsSpanOrigin(first, nullptr), 0);

    // A table without its end: nothing found past the list.
    CellRecordList open;
    open.Add(talix_test::HostRecord(0x00A3, 14));
    open.Cell(0, 0, 1, 1, true);
    open.Cell(0, 1);
    talix::CDRecordNode* cell = open.Link()->next;
    EXPECT_EQ(talix::FindTableEnd(cell), nullptr);
    EXPECT_EQ(talix::FindSpanOwnerCell(cell), nullptr);
    // A cell record cut short reads as row and column 0, no spans.
    CellRecordList shortCell;
    shortCell.Add(talix_test::HostRecord(0x00A4, 2));
    talix::CDRecordNode* shortNode = shortCell.Link();
    EXPECT_EQ(talix::FindSpanOwnerCell(shortNode), shortNode);
}

} // namespace

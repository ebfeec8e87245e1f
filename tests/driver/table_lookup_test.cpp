// @DbColumn and @DbLookup over tables held in rich text, as the host calls
// them: keys, columns, options, number results, missing chunks and
// refusals. Every case runs over both ways a look-up reads its cells: the
// single walk and one read per cell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/table_lookup.h"
#include "driver_calls.h"
#include "table_notes.h"
#include "talix_platform.h"

namespace {

using namespace talix_test;

using talix::kDrvMissingArgument;
using talix::kDrvResultTooLarge;
using talix::kDrvUnknownFunction;
using talix::kDrvWrongArgumentType;
using talix::kItemNotFound;
using Strings = std::vector<std::string>;

class TableLookUps : public DriverCallTest, public testing::WithParamInterface<talix::LookUpRoute> {
protected:
    void SetUp() override {
        DriverCallTest::SetUp();
        UseRoute(GetParam());
    }
    void TearDown() override {
        UseRoute(talix::LookUpRoute::SingleWalk);
        DriverCallTest::TearDown();
    }

    // A note whose "Body" holds a paragraph, then the table.
    plat::NOTEID Cells(const TableRows& rows, const Strings& labels = {}) {
        Records records = Paragraph("Before");
        AddTable(&records, rows, labels);
        return AddBodyNote("calls.nsf", records);
    }
    plat::NOTEID Table(const std::vector<Strings>& texts) { return Cells(TextRows(texts)); }

    static Strings Address(plat::NOTEID id, const std::string& chunk = "") {
        return {TextArg(""), TextArg("N" + HexNoteId(id)), chunk.empty() ? TextArg("Body") : TextListArg({"Body", chunk})};
    }
    DriverOutcome Column(plat::NOTEID id, const std::string& column, const std::string& options = "",
                         const std::string& chunk = "") {
        Strings args = Address(id, chunk);
        args.push_back(column);
        args.push_back(TextArg(options));
        return Call(kDbColumn, args);
    }
    DriverOutcome Lookup(plat::NOTEID id, const std::string& key, const std::string& column,
                         const std::string& options = "", const std::string& chunk = "") {
        Strings args = Address(id, chunk);
        args.push_back(key);
        args.push_back(column);
        args.push_back(TextArg(options));
        return Call(kDbLookup, args);
    }
    Strings ColumnTexts(plat::NOTEID id, double column, const std::string& options = "") {
        DriverOutcome run = Column(id, NumberArg(column), options);
        EXPECT_EQ(run.status, 0);
        return Texts(run.result);
    }
    Strings LookupTexts(plat::NOTEID id, const std::string& key, double column, const std::string& options = "") {
        DriverOutcome run = Lookup(id, key, NumberArg(column), options);
        EXPECT_EQ(run.status, 0);
        return Texts(run.result);
    }
};

TEST_P(TableLookUps, ColumnsAndKeysSelectTheRows) {
    const plat::NOTEID abc = Table({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    EXPECT_EQ(ColumnTexts(abc, 2), (Strings{"1", "2", "3"}));
    EXPECT_EQ(ColumnTexts(abc, 1), (Strings{"a", "b", "c"}));
    DriverOutcome one = Lookup(abc, TextArg("b"), NumberArg(2));
    EXPECT_EQ(one.result.substr(0, 2), TypeWord(plat::TYPE_TEXT_LIST));
    EXPECT_EQ(Texts(one.result), Strings{"2"});
    // An empty key takes every row; row numbers take their rows in row order.
    EXPECT_EQ(LookupTexts(abc, TextArg(""), 2), (Strings{"1", "2", "3"}));
    EXPECT_EQ(LookupTexts(abc, NumberListArg({3, 1}), 2), (Strings{"1", "3"}));
    EXPECT_EQ(LookupTexts(abc, NumberListArg({0, 70000, -2}), 2), Strings{});
    EXPECT_EQ(LookupTexts(abc, TextArg("d"), 2), Strings{});
    // Without a column argument the first column is returned.
    DriverOutcome bare = Call(kDbLookup, [&] { Strings args = Address(abc); args.push_back(TextArg("c")); return args; }());
    EXPECT_EQ(bare.status, 0);
    EXPECT_EQ(Texts(bare.result), Strings{"c"});

    const plat::NOTEID abbc = Table({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"bc", "4"}});
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2), Strings{"2"});
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2, "KeyMatch=STARTS"), (Strings{"2", "4"}));
    EXPECT_EQ(LookupTexts(abbc, TextArg("C"), 2, "KeyMatch=substring"), (Strings{"3", "4"}));
    // The key is compared as the chunk's settings say: case is ignored
    // unless CaseSensitive is set; with TextWildcards a "*" matches the rest.
    EXPECT_EQ(LookupTexts(abbc, TextArg("B"), 2), Strings{"2"});
    // (@DbCommand's chunk is "Everything" unless the call names one.)
    Strings sensitive = {TextListArg({"DBLookup", "CaseSensitive=1"})};
    for (const std::string& arg : Address(abbc, "Table 1")) sensitive.push_back(arg);
    sensitive.push_back(TextArg("B"));
    sensitive.push_back(NumberArg(2));
    DriverOutcome run = Command(sensitive);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), Strings{});
    sensitive[sensitive.size() - 2] = TextArg("b");
    EXPECT_EQ(Texts(Command(sensitive).result), Strings{"2"});
    Strings wild = {TextListArg({"DBLookup", "TextWildcards=1"})};
    for (const std::string& arg : Address(abbc, "Table 1")) wild.push_back(arg);
    wild.push_back(TextArg("b*"));
    wild.push_back(NumberArg(2));
    run = Command(wild);
    EXPECT_EQ(Texts(run.result), (Strings{"2", "4"}));
    // Options after 8,192 bytes of others are read too.
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2, "Separator='" + std::string(9000, 'x') + "' KeyMatch=STARTS"),
              (Strings{"2", "4"}));

    // Keywords glued to a letter are not keywords.
    run = Lookup(abbc, TextArg("c"), NumberArg(2), "KeyMatch='ENDS' Format=Number");
    EXPECT_EQ(Numbers(run.result), (std::vector<double>{3, 4}));
    run = Lookup(abbc, TextArg("c"), NumberArg(2), "xKeyMatch=ENDS Format=Number");
    EXPECT_EQ(Numbers(run.result), std::vector<double>{3});
    // A cell ends with a key that also occurs earlier in it.
    const plat::NOTEID fruit = Table({{"banana", "1"}, {"nab", "2"}, {"ana", "3"}});
    EXPECT_EQ(LookupTexts(fruit, TextArg("na"), 2, "KeyMatch=ENDS"), (Strings{"1", "3"}));
    EXPECT_EQ(LookupTexts(fruit, TextArg("an"), 2, "KeyMatch=ENDS"), Strings{});
    wild = {TextListArg({"DBLookup", "TextWildcards=1"})};
    for (const std::string& arg : Address(fruit, "Table 1")) wild.push_back(arg);
    wild.push_back(TextArg("b*a"));
    wild.push_back(NumberArg(2));
    EXPECT_EQ(Texts(Command(wild).result), Strings{"1"});
    // A quote left open runs to the end of the options.
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2, "KeyMatch='STARTS"), (Strings{"2", "4"}));
    // KeyColumn= out of range reads the first column.
    EXPECT_EQ(LookupTexts(abbc, TextArg("4"), 1, "KeyColumn=2"), Strings{"bc"});
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2, "KeyColumn=99"), Strings{"2"});
    EXPECT_EQ(LookupTexts(abbc, TextArg("b"), 2, "KeyColumn=0"), Strings{"2"});
}

TEST_P(TableLookUps, NumberFormatsReadFromTheFirstDigit) {
    const plat::NOTEID id = Table({{"a", "2"}, {"b", "$1,234.50"}, {"c", "none"}, {"d", "-2.5 kg"}, {"e", "x.5"}});
    DriverOutcome run = Lookup(id, TextArg("a"), NumberArg(2), "Format=Number");
    ASSERT_EQ(run.result.size(), 10u);
    EXPECT_EQ(run.result.substr(0, 2), TypeWord(plat::TYPE_NUMBER));
    EXPECT_EQ(Numbers(run.result), std::vector<double>{2});
    EXPECT_EQ(Numbers(Lookup(id, TextArg("b"), NumberArg(2), "Format=Currency").result), std::vector<double>{1});
    EXPECT_EQ(Numbers(Lookup(id, TextArg("c"), NumberArg(2), "format=currency").result), std::vector<double>{0});
    EXPECT_EQ(Numbers(Column(id, NumberArg(2), "Format=Number").result),
              (std::vector<double>{2, 1, 0, -2.5, 0.5}));
    // No match: an empty number list.
    run = Lookup(id, TextArg("z"), NumberArg(2), "Format=Number");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.result.substr(0, 2), TypeWord(plat::TYPE_NUMBER_RANGE));
    EXPECT_TRUE(Numbers(run.result).empty());
}

TEST_P(TableLookUps, TitleRowsAreSkippedAndTablesReadSideways) {
    const plat::NOTEID id = Table({{"Name", "Value"}, {"a", "1"}, {"b", "2"}});
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=yes"), (Strings{"1", "2"}));
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=2"), Strings{"2"});
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=no"), (Strings{"Value", "1", "2"}));
    // A number not below the row count leaves nothing; one below 1 skips nothing.
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=3"), Strings{});
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=9"), Strings{});
    EXPECT_EQ(ColumnTexts(id, 2, "SkipTitle=-1"), (Strings{"Value", "1", "2"}));
    EXPECT_EQ(LookupTexts(id, TextArg("b"), 2, "SkipTitle=yes"), Strings{"2"});

    // Sideways, the records are the columns: three of them, each read in the
    // row the column argument names; the key lies in the key column's row.
    const plat::NOTEID wide = Table({{"x", "y", "z"}, {"1", "2", "3"}});
    EXPECT_EQ(ColumnTexts(wide, 2, "SidewaysTable=yes"), (Strings{"1", "2", "3"}));
    EXPECT_EQ(ColumnTexts(wide, 1, "SidewaysTable=yes SkipTitle=yes"), (Strings{"y", "z"}));
    EXPECT_EQ(LookupTexts(wide, TextArg("z"), 2, "SidewaysTable=yes"), Strings{"3"});
    EXPECT_EQ(LookupTexts(wide, TextArg("3"), 1, "SidewaysTable=yes KeyColumn=2"), Strings{"z"});
}

TEST_P(TableLookUps, CellsAreReadWholeOrByTheirFirstRun) {
    TableRows rows = {{Cell{"a"}, Cell{"first", "", "second", "third"}}, {Cell{}, Cell{"empty key"}},
                      {Cell{"", "late"}, Cell{"4"}}};
    const plat::NOTEID id = Cells(rows);
    EXPECT_EQ(ColumnTexts(id, 2), (Strings{"first", "empty key", "4"}));
    EXPECT_EQ(ColumnTexts(id, 2, "CompleteText=yes Separator='|'"), (Strings{"first|second|third", "empty key", "4"}));
    EXPECT_EQ(ColumnTexts(id, 2, "CompleteText=yes"), (Strings{"firstsecondthird", "empty key", "4"}));
    // The key is the cell's first non-blank text: an empty cell matches no
    // key, a cell whose first run is empty is keyed by the next one.
    EXPECT_EQ(LookupTexts(id, TextArg("late"), 2), Strings{"4"});
    EXPECT_EQ(ColumnTexts(id, 1), (Strings{"a", "", "late"}));

    // Texts are cut at 255 bytes, before a character that would not fit whole.
    const std::string omega = plat::NativeToLmbcs("\u03A9");
    ASSERT_GT(omega.size(), 1u);
    const std::string cut(253, 'x');
    const plat::NOTEID longCells = Table({{std::string(300, 'a'), cut + omega}});
    EXPECT_EQ(ColumnTexts(longCells, 1), Strings{std::string(255, 'a')});
    EXPECT_EQ(ColumnTexts(longCells, 2), Strings{cut + (cut.size() + omega.size() <= 255 ? omega : "")});

    // A character beyond 16 bits is two units: one that does not fit is
    // left out whole, not cut to its first unit, read as a cell or as a
    // chunk property (the table's Text, its first cell's).
    const std::string face = plat::NativeToLmbcs("\U0001F600");
    ASSERT_EQ(face.size(), 6u);
    const std::string before(252, 'y');
    const plat::NOTEID wide = Table({{before + face, before + "z" + face}});
    EXPECT_EQ(ColumnTexts(wide, 1), Strings{before});
    EXPECT_EQ(ColumnTexts(wide, 2), Strings{before + "z"});
    EXPECT_EQ(LookupTexts(wide, TextArg(before), 2, "KeyMatch=STARTS"), Strings{before + "z"});
    DriverOutcome run = Column(wide, TextArg("Text"));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), Strings{before});
    const std::string fits(249, 'w');
    EXPECT_EQ(ColumnTexts(Table({{fits + face}}), 1), Strings{fits + face});
}

TEST_P(TableLookUps, OptionChunksNameWhatIsReadInACell) {
    const plat::NOTEID id = Cells({{Cell{"k", "key two"}, Cell{"v1", "w1"}}, {Cell{"x", "other"}, Cell{"v2", "w2"}}});
    EXPECT_EQ(ColumnTexts(id, 2, "ColumnChunk='Text 2'"), (Strings{"w1", "w2"}));
    EXPECT_EQ(LookupTexts(id, TextArg("other"), 2, "KeyChunk='Text 2'"), Strings{"v2"});
    EXPECT_EQ(LookupTexts(id, TextArg("x"), 2, "KeyChunk='Text 2' KeyProperty=Definition"), Strings{});

    // A chunk text that is none is refused, and named, whether or not a
    // row is read with it.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, NumberArg(2), "ColumnChunk=Text").status, 1028);
    EXPECT_EQ(Lookup(id, TextArg("k"), NumberArg(2), "KeyChunk='bogus words'").status, 1028);
    EXPECT_EQ(Lookup(id, TextArg("none"), NumberArg(2), "ColumnChunk='Row'").status, 1028);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn: ColumnChunk='Text' is not a chunk definition.",
                                        "@Talix: DBLookup: KeyChunk='bogus words' is not a chunk definition.",
                                        "@Talix: DBLookup: ColumnChunk='Row' is not a chunk definition."}));
    // One naming a row or column no table holds matches nothing in a cell,
    // as one naming a row the cell lacks.
    EXPECT_EQ(ColumnTexts(id, 2, "ColumnChunk='Table 1; Row 300'"), (Strings{"", ""}));
    EXPECT_EQ(ColumnTexts(id, 2, "ColumnChunk='Table 1; Row 3'"), (Strings{"", ""}));
    EXPECT_EQ(LookupTexts(id, TextArg("k"), 2, "KeyChunk='Table 1; Column 999; Text 1'"), Strings{});
    EXPECT_EQ(LookupTexts(id, TextArg("k"), 2, "KeyChunk='Table 1; Column 9; Text 1'"), Strings{});
    // A key chunk is not read where a property is the key.
    EXPECT_EQ(LookupTexts(id, TextArg("Table 1"), 2, "KeyProperty=Definition KeyChunk=bogus"), (Strings{"v1", "v2"}));
}

TEST_P(TableLookUps, LabelsAndPropertiesStandForCells) {
    const plat::NOTEID id = Cells(TextRows({{"a", "1"}, {"b", "2"}, {"c", "3"}}), {"first", "second", "third"});
    EXPECT_EQ(LookupTexts(id, TextArg("second"), 2, "KeyProperty=RowLabel"), Strings{"2"});
    EXPECT_EQ(LookupTexts(id, TextArg("th"), 1, "KeyProperty=TabLabel KeyMatch=STARTS"), Strings{"c"});
    // A chunk property named as the column is returned for every row; one
    // named as the key is compared for every row.
    DriverOutcome run = Column(id, TextArg("Definition"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), (Strings{"Table 1", "Table 1", "Table 1"}));
    EXPECT_EQ(LookupTexts(id, TextArg("Table 1"), 2, "KeyProperty=Definition"), (Strings{"1", "2", "3"}));
    EXPECT_EQ(LookupTexts(id, TextArg("Table 2"), 2, "KeyProperty=Definition"), Strings{});
}

TEST_P(TableLookUps, MissingChunksAndBadArguments) {
    const plat::NOTEID id = Table({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    // A chunk that names no table gives one empty value, or 546 when asked.
    DriverOutcome run = Column(id, NumberArg(1), "", "Table 9");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), Strings{""});
    EXPECT_EQ(Numbers(Column(id, NumberArg(1), "Format=Number", "Table 9").result), std::vector<double>{0});
    plat::LogClearRecent();
    EXPECT_EQ(ColumnTexts(id, 1), (Strings{"a", "b", "c"}));
    EXPECT_FALSE(Logged("AtTalix #1"));   // the session lives on
    ShownMessages().clear();
    run = Column(id, NumberArg(1), "RaiseError=yes", "Table 9");
    EXPECT_EQ(run.status, kItemNotFound);
    EXPECT_EQ(Lookup(id, TextArg("b"), NumberArg(2), "RaiseError=yes", "Table 1; Row 300").status, kItemNotFound);
    // The refusal names the chunk, where the status alone speaks of a
    // missing item.
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn: 'Table 9' matches nothing in 'Body'.",
                                        "@Talix: DBLookup: 'Table 1; Row 300' matches nothing in 'Body'."}));
    plat::LogClearRecent();
    EXPECT_EQ(ColumnTexts(id, 1), (Strings{"a", "b", "c"}));
    EXPECT_TRUE(Logged("AtTalix #1"));    // the failure ended the session

    // A column outside 1 to 64 is refused, and said so; its low 16 bits do
    // not name another column.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, NumberArg(0)).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, TextArg("")).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, NumberArg(65)).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, NumberArg(-1)).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, NumberArg(65538)).status, kDrvMissingArgument);
    EXPECT_EQ(Lookup(id, TextArg("b"), NumberArg(-65535)).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, NumberArg(4294967298.0)).status, kDrvMissingArgument);
    EXPECT_EQ(Column(id, NumberArg(0.5)).status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn: the column 0 is not one of 1 to 64.",
                                        "@Talix: DBColumn: the column is an empty text.",
                                        "@Talix: DBColumn: the column 65 is not one of 1 to 64.",
                                        "@Talix: DBColumn: the column -1 is not one of 1 to 64.",
                                        "@Talix: DBColumn: the column 65538 is not one of 1 to 64.",
                                        "@Talix: DBLookup: the column -65535 is not one of 1 to 64.",
                                        "@Talix: DBColumn: the column 4294967298 is not one of 1 to 64.",
                                        "@Talix: DBColumn: the column 0 is not one of 1 to 64."}));
    EXPECT_EQ(ColumnTexts(id, 2.9), (Strings{"1", "2", "3"}));
    // An argument of another type is refused, and said which.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, TimeArg()).status, kDrvWrongArgumentType);
    EXPECT_EQ(Lookup(id, TimeArg(), NumberArg(1)).status, kDrvWrongArgumentType);
    Strings args = Address(id);
    args.push_back(NumberArg(1));
    args.push_back(NumberArg(5));
    EXPECT_EQ(Call(kDbColumn, args).status, kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn: the column is neither a number nor a text.",
                                        "@Talix: DBLookup: the key is neither a text nor a number.",
                                        "@Talix: DBColumn: the options are not a text."}));
    // A column is one number or one name: a list is refused, and said so.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, NumberListArg({1, 2, 3})).status, kDrvWrongArgumentType);
    EXPECT_EQ(Lookup(id, TextArg("a"), TextListArg({"RowLabel", "Text"})).status, kDrvWrongArgumentType);
    // An empty number list names no column: it is not read as column 1.
    std::string noNumbers = TypeWord(plat::TYPE_NUMBER_RANGE);
    noNumbers.append(4, '\0');
    EXPECT_EQ(Column(id, noNumbers).status, kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn takes one column, not a list of 3.",
                                        "@Talix: DBLookup takes one column, not a list of 2.",
                                        "@Talix: DBColumn takes one column, not a list of 0."}));
    // So is a key text or an option text: the other entries of a list would
    // be passed over.
    ShownMessages().clear();
    EXPECT_EQ(Lookup(id, TextListArg({"b", "c"}), NumberArg(2)).status, kDrvWrongArgumentType);
    args = Address(id);
    args.push_back(NumberArg(2));
    args.push_back(TextListArg({"Format=Number", "SkipTitle=yes"}));
    EXPECT_EQ(Call(kDbColumn, args).status, kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBLookup takes one key text, not a list of 2.",
                                        "@Talix: DBColumn takes one option text, not a list of 2."}));
    EXPECT_EQ(Texts(Lookup(id, TextListArg({"b"}), NumberArg(2)).result), Strings{"2"});
    // Nor do options go on in another argument.
    ShownMessages().clear();
    args = Address(id);
    args.push_back(NumberArg(2));
    for (const char* options : {"Format=Number", "SkipTitle=yes", "KeyMatch=STARTS"}) args.push_back(TextArg(options));
    EXPECT_EQ(Call(kDbColumn, args).status, kDrvWrongArgumentType);
    args = Address(id);
    args.push_back(TextArg("b"));
    args.push_back(NumberArg(2));
    args.push_back(TextArg(""));
    args.push_back(NumberArg(1));
    EXPECT_EQ(Call(kDbLookup, args).status, kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn takes nothing after the options, not 2 more.",
                                        "@Talix: DBLookup takes nothing after the options, not 1 more."}));
    // A column or key property that names no chunk property is refused,
    // not read as an empty value in every row.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, TextArg("Colour")).status, kDrvUnknownFunction);
    EXPECT_EQ(Lookup(id, TextArg("a"), NumberArg(2), "KeyProperty=Bogus").status, kDrvUnknownFunction);
    EXPECT_EQ(ShownMessages(),
              (Strings{"@Talix: DBColumn: the column 'Colour' is neither a number from 1 to 64 nor a chunk property.",
                       "@Talix: DBLookup: KeyProperty 'Bogus' is not a chunk property."}));
    EXPECT_EQ(Texts(Column(id, TextArg("definition")).result), (Strings{"Table 1", "Table 1", "Table 1"}));
    // Nor is a column name or an option text read up to a zero byte: the
    // name would be another, and the keywords after it passed over.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, TextArg(std::string("Text\0x", 6))).status, 1028);
    EXPECT_EQ(Column(id, NumberArg(2), std::string("Format=Number\0SkipTitle=yes", 27)).status, 1028);
    EXPECT_EQ(Lookup(id, TextArg("b"), NumberArg(2), std::string("\0KeyMatch=STARTS", 16)).status, 1028);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBColumn: the column name holds a NUL character.",
                                        "@Talix: DBColumn: the options hold a NUL character.",
                                        "@Talix: DBLookup: the options hold a NUL character."}));
    // A look-up names the item that holds its table.
    ShownMessages().clear();
    EXPECT_EQ(Call(kDbLookup, {TextArg(""), TextArg("N" + HexNoteId(id))}).status, kDrvMissingArgument);
    EXPECT_EQ(Call(kDbColumn, {TextArg(""), TextArg("N" + HexNoteId(id)), NumberArg(1)}).status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(), (Strings{"@Talix: DBLookup needs the name of the item that holds the table.",
                                        "@Talix: DBColumn needs the name of the item that holds the table."}));
    // The column's own limit.
    EXPECT_EQ(ColumnTexts(id, 64), (Strings{"", "", ""}));

    // A chunk of another element is read by its first non-blank texts.
    run = Column(id, NumberArg(1), "", "Paragraph 1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), Strings{"Before"});
    // Read sideways, its values would be cells, which it does not hold.
    ShownMessages().clear();
    EXPECT_EQ(Column(id, NumberArg(1), "SidewaysTable=yes", "Paragraph 1").status, 1028);
    EXPECT_EQ(Column(id, NumberArg(1), "SidewaysTable=yes ColumnChunk='Text 1'", "Paragraph 1").status, 1028);
    EXPECT_EQ(ShownMessages(), Strings(2, "@Talix: DBColumn: SidewaysTable=yes reads the cells of a table, and "
                                          "'Paragraph 1' holds no rows and columns."));
    // An item that is not rich text holds no table; a table whose records
    // are damaged fails the look-up rather than reading as missing.
    run = Call(kDbColumn, {TextArg(""), TextArg("N" + HexNoteId(noteId_)), TextArg("Subject"), NumberArg(1)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Texts(run.result), Strings{""});
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    Records records = Paragraph("x");
    AddTable(&records, TextRows({{"a", "1"}}));
    ASSERT_EQ(StoreRichTextItem(note, "Body", records), plat::NOERROR);
    std::string value = StoredValues(note, "Body").front();
    value.resize(value.size() - 9);   // into the last cell's text run
    ASSERT_EQ(plat::ItemDelete(note, "Body", 4), plat::NOERROR);
    ASSERT_EQ(plat::ItemAppend(note, 0, "Body", 4, plat::TYPE_COMPOSITE, value.data() + 2,
                               static_cast<plat::DWORD>(value.size() - 2)),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID damaged = 0;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &damaged);
    plat::NoteClose(note);
    plat::DbClose(db);
    run = Column(damaged, NumberArg(1));
    EXPECT_EQ(run.status, 257);
    EXPECT_EQ(run.result, "");
}

TEST_P(TableLookUps, ResultsThatDoNotFitAreRefused) {
    std::vector<Strings> texts(255, Strings{std::string(255, 'v')});
    const plat::NOTEID full = Table(texts);
    ShownMessages().clear();
    DriverOutcome run = Column(full, NumberArg(1));
    EXPECT_EQ(run.status, kDrvResultTooLarge);
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_NE(ShownMessages().front().find("do not fit"), std::string::npos);
    // Fewer rows fit, whole.
    run = Column(full, NumberArg(1), "SkipTitle=10");
    EXPECT_EQ(run.status, 0);
    const Strings values = Texts(run.result);
    ASSERT_EQ(values.size(), 245u);
    EXPECT_EQ(values.back(), std::string(255, 'v'));
}

INSTANTIATE_TEST_SUITE_P(Routes, TableLookUps,
                         testing::Values(talix::LookUpRoute::SingleWalk, talix::LookUpRoute::EngineWalk,
                                         talix::LookUpRoute::EveryCell),
                         [](const testing::TestParamInfo<talix::LookUpRoute>& info) {
                             switch (info.param) {
                             case talix::LookUpRoute::SingleWalk: return std::string("SingleWalk");
                             case talix::LookUpRoute::EngineWalk: return std::string("EngineWalk");
                             default: return std::string("EveryCell");
                             }
                         });

} // namespace

// The commands append, edit and query: the chunk methods of the library
// (and, for edit set-target, the engine's operation that changes a target
// from keyword=value words) run on a chunk of a rich-text item. append and
// edit save the note when the method worked; query changes nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <map>
#include <string>
#include <vector>

#include "builders/basic_builders.h"
#include "chunk_target.h"
#include "cli.h"
#include "core/chunk_types.h"
#include "core/clamp.h"
#include "core/folder_file.h"
#include "core/font_spec.h"
#include "core/operation_codes.h"
#include "core/paragraph_def.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/options.h"
#include "core/statuses.h"
#include "engine/chunk_count.h"

namespace talix_cli {

namespace {

// The columns of a new table whose option strings the library keeps.
constexpr std::size_t kColumnOptionsKept = 20;
// The longest option string of a column the library reads: a longer one is
// cut there, its text (and a closing quote) lost.
constexpr std::size_t kLongestColumnOptions = 0xFFFF;

// The engine's operation that applies keyword=value words to a chunk's
// targets of a type.

// The options a command takes out of its arguments: the value options
// (their last value, or every value for --column) and the switches.
struct CommandOptions {
    std::map<std::string, std::string> values;
    std::vector<std::string> columns;
    bool numeric = false;
    bool reverse = false;
    bool replace = false;
    const char* Value(const char* name) const {
        auto found = values.find(name);
        return found != values.end() ? found->second.c_str() : nullptr;
    }
};

// Takes the options out of args, their values in LMBCS but for --chunk's.
// False, with the exit code set, for an option the command does not take,
// one without its value or one given twice (--column alone repeats), as
// every command refuses them.
bool TakeOptions(const Command& command, std::vector<std::string>* args, const std::vector<std::string>& valued,
                 const std::vector<std::string>& switches, CommandOptions* options, int* exitCode) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args->size(); ++i) {
        const std::string& arg = (*args)[i];
        if (arg.rfind("--", 0) != 0 || IsOperand(*args, i)) {
            rest.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        bool known = false;
        for (const std::string& each : switches) {
            if (each != name) continue;
            known = true;
            if (name == "numeric") options->numeric = true;
            if (name == "reverse") options->reverse = true;
            if (name == "replace") options->replace = true;
        }
        for (const std::string& each : valued) {
            if (each != name) continue;
            known = true;
            if (i + 1 >= args->size()) {
                *exitCode = UsageError(command, "%s needs a value", arg.c_str());
                return false;
            }
            // The chunk's definition stays as given: the chunk is defined
            // from it as every command defines one (converted there).
            const std::string& given = (*args)[++i];
            const std::string value = name == "chunk" ? given : plat::NativeToLmbcs(given);
            if (name == "column") {
                options->columns.push_back(value);
            } else if (!options->values.emplace(name, value).second) {
                *exitCode = UsageError(command, "%s given twice", arg.c_str());
                return false;
            }
        }
        if (!known) {
            *exitCode = UsageError(command, "unknown option '%s'", arg.c_str());
            return false;
        }
    }
    *args = rest;
    return true;
}

std::string Lmbcs(const std::string& text) { return plat::NativeToLmbcs(text); }

// A number argument of 0-65535, in decimal digits alone as the program's
// other numbers (--index, --part) are written; false when it is not one.
// A sign, a blank or a trailing character is no part of a count.
bool Word(const std::string& text, std::uint16_t* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
    if (number > 0xFFFF) return false;
    *value = static_cast<std::uint16_t>(number);
    return true;
}

// The largest number a layer's length takes, in any of its units: far
// beyond any page, and, in inches, still within 32 bits once stored as
// twips.
constexpr double kLargestLayerLength = 1000000.0;

// True when text is a length a layer's box takes: "auto", "inherit", or a
// number of 0 to kLargestLayerLength in decimal digits (one decimal point
// at most) followed by nothing or by one of the units px, %, in, em, ex and
// ch, written in any case; an offset (the top and left) may be negative,
// placing the layer partly off the page. The library reads any text as a
// length: a word would give 0, a sign or an exponent a box of a negative or
// endless size, and a unit found anywhere in the text would count.
bool LayerLength(const std::string& text, bool offset) {
    if (strcasecmp(text.c_str(), "auto") == 0 || strcasecmp(text.c_str(), "inherit") == 0) return true;
    const std::size_t sign = offset && !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.find_first_not_of("0123456789.", sign);
    const std::string number = text.substr(sign, digits == std::string::npos ? std::string::npos : digits - sign);
    const std::string unit = digits == std::string::npos ? std::string() : text.substr(digits);
    if (number.find_first_of("0123456789") == std::string::npos || number.find('.') != number.rfind('.'))
        return false;
    static const char* const kUnits[] = {"", "px", "%", "in", "em", "ex", "ch"};
    bool known = false;
    for (const char* each : kUnits) known = known || strcasecmp(unit.c_str(), each) == 0;
    return known && std::strtod(number.c_str(), nullptr) <= kLargestLayerLength;
}

// The note id a NOTE argument names in the database.
bool NoteIdOf(const std::string& dbPath, const std::string& noteArg, plat::NOTEID* id) {
    Database db;
    Note note;
    if (!IsNoteArgument(noteArg) || !db.Open(dbPath, false) || !note.Open(db.handle(), noteArg)) return false;
    plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, id);
    return true;
}

// HTML appended to the chunk: a file (its path as given), or HTML text,
// which the import reads as UTF-8 unless the options name another set, as
// it stands.
talix::STATUS AppendHtmlSource(ZervaRTChunk* chunk, const std::string& kind, const std::string& source,
                               const char* options) {
    return chunk->AppendHTML(kind.c_str(), source.c_str(), options);
}

// The argument count of each WHAT of append: the least and the most.
struct Arity {
    const char* what;
    std::size_t least;
    std::size_t most;
};

const Arity kAppendKinds[] = {
    {"text", 1, 1},   {"paragraph", 0, 1}, {"newlines", 1, 1}, {"tabs", 1, 1},     {"page-break", 0, 0},
    {"anchor", 1, 1}, {"table", 2, 2},     {"row", 0, 1},      {"hotspot", 2, 3},  {"link", 1, 2},
    {"layer", 4, 4},  {"graphic", 2, 2},   {"chunk", 3, 3},    {"item", 2, 2},     {"form", 1, 1},
    {"subform", 1, 1}, {"page", 1, 1},     {"import", 1, 1},   {"attachment", 1, 2}, {"html", 2, 2},
};

const Arity kEditActions[] = {
    {"remove", 0, 0},        {"remove-links", 0, 0},  {"remove-hotspots", 0, 0}, {"remove-sections", 0, 0},
    {"remove-fields", 1, 1}, {"font", 1, 2},          {"paragraph", 1, 2},       {"table", 1, 1},
    {"highlight", 0, 0},     {"highlight-text", 1, 1}, {"set-text", 1, 1},       {"replace", 2, 3},
    {"sort-rows", 1, 1},     {"export-graphic", 1, 2}, {"set-target", 2, 2},
};

// The words that begin the match modes a query reads (the library reads a
// mode by how its word begins); any other word would be read as no mode,
// under which every run or element matches.
const char* const kMatchModeStarts[] = {"EXACT", "ENTIR", "STARTS", "ENDS", "SUBSTR", "EVENT"};
// The HTML attributes and elements html-value reads; the library gives an
// empty value for any other word.
const char* const kHtmlAttributes[] = {"NAME", "ID", "CLASS", "STYLE", "TITLE", "OTHER"};
const char* const kHtmlElements[] = {"Table", "Cell"};

bool KnownMatchMode(const std::string& word) {
    for (const char* start : kMatchModeStarts)
        if (strncasecmp(word.c_str(), start, std::strlen(start)) == 0) return true;
    return false;
}

template <std::size_t N>
bool OneOfNoCase(const std::string& word, const char* const (&words)[N]) {
    for (const char* each : words)
        if (strcasecmp(word.c_str(), each) == 0) return true;
    return false;
}

// The target types whose properties set-target can change.
const char* const kSettableTargets[] = {"Graphic", "Paragraph", "HR", "Layer", "URLLink", "ParagraphList"};

const Arity kQueries[] = {
    {"text-run", 2, 4}, {"named", 2, 4}, {"font-in-use", 1, 1}, {"html-value", 1, 2},
};

// The arity row of a word; null when the word is not one of them.
template <std::size_t N>
const Arity* FindArity(const Arity (&rows)[N], const std::string& word) {
    for (const Arity& row : rows) {
        if (word == row.what) return &row;
    }
    return nullptr;
}

// Checks the word and its argument count. False, with the exit code set,
// when either is wrong.
template <std::size_t N>
bool CheckArity(const Command& command, const Arity (&rows)[N], const std::string& word, std::size_t count,
                int* exitCode) {
    const Arity* row = FindArity(rows, word);
    if (row == nullptr) {
        *exitCode = UsageError(command, "unknown %s '%s'", command.name, word.c_str());
        return false;
    }
    if (count < row->least || count > row->most) {
        *exitCode = UsageError(command, "%s takes %zu to %zu arguments", word.c_str(), row->least, row->most);
        return false;
    }
    return true;
}

// The arguments of a WHAT (append) or an ACTION (edit) that reach the
// library with their length in 16 bits: the link's text (the URL when it
// has none), the hotspot's code and text, the table's properties, the
// texts of a replace and the text set.
std::vector<std::size_t> WordLengthTexts(const Command& command, const std::string& word) {
    if (std::strcmp(command.name, "append") == 0) {
        if (word == "link") return {0, 1};
        if (word == "hotspot") return {1, 2};
        if (word == "text") return {0};
    } else {
        if (word == "replace") return {0, 1};
        if (word == "table") return {0};
        if (word == "set-text") return {0};
    }
    return {};
}

// False, with the exit code set, when one of those texts is longer than
// 65,535 bytes in LMBCS: cut to its length, the method would act on its
// start alone (replace a part of the text sought, store a part of a code).
// Appended or set text becomes one text run, which holds less.
bool TextsFitWords(const Command& command, const std::string& word, const std::vector<std::string>& a,
                   int* exitCode) {
    static_assert(talix::kMaxTextRunLength == 64374, "the message below names the longest text run");
    const bool run = (std::strcmp(command.name, "append") == 0 && word == "text") || word == "set-text";
    const std::size_t limit = run ? talix::kMaxTextRunLength : 0xFFFF;
    for (const std::size_t i : WordLengthTexts(command, word)) {
        if (i < a.size() && Lmbcs(a[i]).size() > limit) {
            *exitCode = UsageError(command, "%s takes texts of at most %s bytes%s", word.c_str(),
                                   run ? "64,374" : "65,535", run ? ", the most one text run holds" : "");
            return false;
        }
    }
    // An anchor's name goes whole into its one record.
    constexpr std::size_t kLongestAnchorName = talix::kOutputSegmentCapacity - talix::kAnchorFixedLength;
    static_assert(kLongestAnchorName == 64370, "the message below names the longest anchor name");
    if (std::strcmp(command.name, "append") == 0 && word == "anchor" && !a.empty() &&
        Lmbcs(a[0]).size() > kLongestAnchorName) {
        *exitCode = UsageError(command, "anchor takes names of at most 64,370 bytes, the most an anchor record holds");
        return false;
    }
    return true;
}

// The file an append reads, or null: what follows attachment and import,
// and the source of a graphic or HTML of kind FILE (an empty kind is FILE
// too, as the library reads it).
const std::string* AppendedFile(const std::string& what, const std::vector<std::string>& a) {
    if (what == "attachment" || what == "import") return &a[0];
    if ((what == "graphic" || what == "html") && (a[0].empty() || strcasecmp(a[0].c_str(), "FILE") == 0))
        return &a[1];
    return nullptr;
}

talix::STATUS RunAppendKind(const std::string& what, const std::vector<std::string>& a,
                            const CommandOptions& options, ChunkOfItem* target, bool* usage) {
    ZervaRTChunk* chunk = target->chunk();
    const char* font = options.Value("font");
    const char* optionText = options.Value("options");
    std::uint16_t n1 = 0, n2 = 0;
    if (what == "text") return chunk->AppendText(Lmbcs(a[0]).c_str(), 0, font);
    if (what == "paragraph") {
        const std::string style = a.empty() ? std::string() : Lmbcs(a[0]);
        return chunk->AppendParagraph(style.c_str(), font, nullptr, 0);
    }
    if (what == "newlines" || what == "tabs") {
        if (!Word(a[0], &n1)) return *usage = true, talix::kArgumentError;
        return what == "tabs" ? chunk->AppendTabs(n1) : chunk->AppendNewLines(n1, 0);
    }
    if (what == "page-break") return chunk->AppendPageBreak();
    if (what == "anchor") {
        const std::string name = Lmbcs(a[0]);
        return chunk->AppendAnchor(name.c_str(), talix::ClampToWord(name.size()));
    }
    if (what == "table") {
        if (!Word(a[0], &n1) || !Word(a[1], &n2)) return *usage = true, talix::kArgumentError;
        std::vector<const char*> columns;
        for (const std::string& column : options.columns) columns.push_back(column.c_str());
        columns.resize(n2 > columns.size() ? n2 : columns.size(), nullptr);
        return chunk->AppendTable(n1, n2, 0, optionText, columns.empty() ? nullptr : columns.data());
    }
    if (what == "row") {
        if (!a.empty() && !Word(a[0], &n1)) return *usage = true, talix::kArgumentError;
        return chunk->AppendRow(1, n1, nullptr);
    }
    if (what == "hotspot") {
        const std::string code = Lmbcs(a[1]);
        const std::string text = a.size() > 2 ? Lmbcs(a[2]) : std::string();
        return chunk->AppendHotspot(a[0].c_str(), code.c_str(), static_cast<std::uint16_t>(code.size()), optionText,
                                    text.c_str(), static_cast<std::uint16_t>(text.size()));
    }
    if (what == "link") {
        // The URL is a text of the item like the link's own (which it is
        // when the link has none), not a file: both in LMBCS.
        const std::string url = Lmbcs(a[0]);
        const std::string text = a.size() > 1 ? Lmbcs(a[1]) : url;
        return chunk->AppendLink(text.c_str(), static_cast<std::uint16_t>(text.size()), url.c_str(), nullptr,
                                 nullptr, nullptr, 0, nullptr, 0, nullptr, 0);
    }
    if (what == "layer") {
        // A bare number is pixels for every edge, as a box's height and
        // width already read it: the library keeps no unit for a bare top
        // or left, and such an edge is written out with no length at all.
        std::vector<std::string> lengths = a;
        for (std::string& length : lengths)
            if (length.find_first_not_of("0123456789.") == std::string::npos) length += "px";
        const talix::STATUS compiled = chunk->AppendLayer(lengths[0].c_str(), lengths[1].c_str(), lengths[2].c_str(),
                                                          lengths[3].c_str(), 0, optionText, nullptr, nullptr, 0);
        return compiled != talix::kOK ? compiled : chunk->lastStatus;
    }
    if (what == "graphic") {
        // A file is read by its path as given; a URL is stored as text.
        const std::string source = AppendedFile(what, a) != nullptr ? a[1] : Lmbcs(a[1]);
        return chunk->AppendGraphic(a[0].c_str(), source.c_str(), optionText);
    }
    if (what == "chunk" || what == "item") {
        plat::NOTEID source = 0;
        if (!NoteIdOf(target->dbPath(), a[0], &source)) return talix::kArgumentError;
        const std::string item = Lmbcs(a[1]);
        if (what == "item") return chunk->AppendRTItem("", target->dbPath().c_str(), source, item.c_str());
        return chunk->AppendRTChunk("", target->dbPath().c_str(), source, item.c_str(), Lmbcs(a[2]).c_str(), 0);
    }
    if (what == "form") return chunk->AppendFormBody(Lmbcs(a[0]).c_str());
    if (what == "subform") return chunk->AppendSubformBody(Lmbcs(a[0]).c_str());
    if (what == "page") return chunk->AppendPageBody(Lmbcs(a[0]).c_str());
    if (what == "import") return chunk->AppendImportFile(a[0].c_str(), optionText);
    if (what == "attachment") {
        // With no NAME the attachment is named after the file: the last part
        // of its path, a native name that the item keeps in LMBCS like a
        // given NAME.
        const bool named = a.size() > 1 && !a[1].empty();
        const std::size_t slash = a[0].find_last_of("\\/");
        const std::string name = Lmbcs(named ? a[1] : slash == std::string::npos ? a[0] : a[0].substr(slash + 1));
        return chunk->AppendFileAttachment(a[0].c_str(), name.empty() ? nullptr : name.c_str(), 0, optionText);
    }
    return AppendHtmlSource(chunk, a[0], a[1], optionText);
}

// Whether a sort's options take the rows' tab labels for keys.
bool SortsByLabels(const char* optionText) {
    char value[32] = {};
    if (optionText == nullptr || talix::GetOptionValue(optionText, "SortBy=", value, sizeof value) == 0) return false;
    return strcasecmp(value, "TabLabel") == 0 || strcasecmp(value, "RowLabel") == 0;
}

talix::STATUS RunEditAction(const std::string& action, const std::vector<std::string>& a,
                            const CommandOptions& options, ChunkOfItem* target, bool* usage) {
    ZervaRTChunk* chunk = target->chunk();
    std::vector<std::string> texts;
    for (const std::string& each : a) texts.push_back(Lmbcs(each));
    auto text = [&](std::size_t i) { return i < texts.size() ? texts[i].c_str() : nullptr; };
    if (action == "remove") return chunk->Remove();
    if (action == "remove-links") return chunk->RemoveLinks(0);
    if (action == "remove-hotspots") return chunk->RemoveHotspots();
    if (action == "remove-sections") return chunk->RemoveSections();
    if (action == "remove-fields") return chunk->RemoveFields(text(0), 0);
    if (action == "font") return chunk->ChangeFont(text(0), text(1), 0);
    if (action == "paragraph") return chunk->ChangeParagraph(text(0), text(1), 0);
    if (action == "table") {
        const std::size_t length = talix::ClampToWord(texts[0].size());
        return chunk->ChangeTable(text(0), static_cast<std::uint16_t>(length));
    }
    if (action == "highlight") return chunk->Highlight(0);
    if (action == "highlight-text") return chunk->HighlightText(text(0), 0);
    if (action == "set-text") {
        // The chunk's definition narrows the item's whole content.
        ZervaRTChunk* everything = target->item()->DefineChunk("Everything");
        if (everything == nullptr) return talix::kOutOfMemory;
        const talix::STATUS status = everything->SetText(chunk->definition, text(0), 0, options.Value("font"));
        chunk->errorWord = everything->errorWord;
        delete everything;
        return status;
    }
    if (action == "replace") {
        return chunk->ReplaceTextQuick(text(0), static_cast<std::uint16_t>(texts[0].size()), text(1),
                                       static_cast<std::uint16_t>(texts[1].size()), text(2));
    }
    if (action == "sort-rows") {
        std::uint16_t column = 0;
        if (!Word(a[0], &column) || column == 0) return *usage = true, talix::kArgumentError;
        return chunk->SortByRow(column, 1, options.numeric ? 1 : 0, options.reverse ? 1 : 0, options.Value("options"));
    }
    if (action == "set-target") {
        std::uint16_t type = 0;
        for (const char* name : kSettableTargets)
            if (strcasecmp(a[0].c_str(), name) == 0) type = talix::FindChunkType(name);
        if (type == 0) return *usage = true, talix::kArgumentError;
        chunk->AlterRichText(talix::kOpSetTargetProperties, type, 0, 0, 0, text(1), nullptr, nullptr, nullptr);
        return chunk->lastStatus;
    }
    // export-graphic
    return chunk->ExportGraphic(a[0].c_str(), a.size() > 1 ? a[1].c_str() : nullptr);
}

} // namespace

int RunAppend(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    CommandOptions options;
    if (!TakeOptions(command, &args, {"chunk", "options", "font", "column"}, {}, &options, &exitCode))
        return exitCode;
    if (args.size() < 4) return UsageError(command, "append needs a database, a note, an item name and what to append");
    const std::string what = args[3];
    const std::vector<std::string> rest(args.begin() + 4, args.end());
    if (!CheckArity(command, kAppendKinds, what, rest.size(), &exitCode) ||
        !TextsFitWords(command, what, rest, &exitCode))
        return exitCode;
    // An attachment's name is what follows its last slash: one that leaves
    // no file name ("..", ".", "dir/") would be stored, and then every
    // export that extracts the note's attachments would fail on it.
    std::string fileName;
    if (what == "attachment" && rest.size() > 1 && !rest[1].empty() && !talix::SafeFileName(rest[1], &fileName))
        return UsageError(command, "'%s' is no file name for an attachment", rest[1].c_str());
    // The counts of newlines, tabs and a table, refused before the item is
    // opened.
    std::uint16_t count = 0;
    const std::size_t counts = what == "table" ? 2 : what == "newlines" || what == "tabs" ? 1 : 0;
    for (std::size_t i = 0; i < counts; ++i) {
        if (!Word(rest[i], &count))
            return UsageError(command, "%s takes counts of 0 to 65535 in digits, not '%s'", what.c_str(),
                              rest[i].c_str());
    }
    // A table takes one --column for each of its columns, and the library
    // keeps the options of its first 20 columns only: options past either
    // would be dropped without a word, their texts and colours lost.
    if (what == "table") {
        std::uint16_t columns = 0;
        Word(rest[1], &columns);
        for (std::size_t i = 0; i < options.columns.size(); ++i) {
            if (options.columns[i].size() > kLongestColumnOptions)
                return UsageError(command, "--column takes options of at most 65,535 bytes; those of column %zu "
                                           "have %zu",
                                  i + 1, options.columns[i].size());
        }
        const std::size_t most = std::min<std::size_t>(columns, kColumnOptionsKept);
        if (options.columns.size() > most)
            return UsageError(command,
                              "a table of %u columns takes at most %zu --column options (one for each of its "
                              "first %zu columns), not %zu",
                              static_cast<unsigned>(columns), most, kColumnOptionsKept, options.columns.size());
    }
    // A graphic of kind ATTACHMENT and HTML of kind URL are taken by the
    // library for no work at all: the command would append nothing, save
    // the note (making the item when missing) and exit 0.
    if ((what == "graphic" && strcasecmp(rest[0].c_str(), "ATTACHMENT") == 0) ||
        (what == "html" && strcasecmp(rest[0].c_str(), "URL") == 0))
        return UsageError(command, "%s takes the kind %s, not '%s': it appends nothing of that kind", what.c_str(),
                          what == "graphic" ? "FILE or URL" : "FILE or INLINE", rest[0].c_str());
    if (what == "layer") {
        static const char* const kEdges[] = {"TOP", "LEFT", "HEIGHT", "WIDTH"};
        for (std::size_t i = 0; i < 4; ++i) {
            if (!LayerLength(rest[i], i < 2))
                return UsageError(command,
                                  "layer takes lengths of 0 to 1000000 (120px, 50%%, 1.5in, 2em, 3ex, 4ch), "
                                  "auto or inherit, the TOP and LEFT also negative; '%s' is no %s",
                                  rest[i].c_str(), kEdges[i]);
        }
    }
    std::uint16_t row = 0;
    if (what == "row" && !rest.empty() && (!Word(rest[0], &row) || row == 0))
        return UsageError(command, "row takes a row number from 1 to 65535, not '%s'", rest[0].c_str());
    const std::string* file = AppendedFile(what, rest);
    if (file != nullptr && !InputIsRegular(*file)) return kExitFailed;
    // The chunk copied from is looked for as every chunk a command names:
    // a note without its item, a definition that does not parse or one that
    // matches nothing is told as such, not as the copy's bare status. A
    // value that is not rich text is copied as a text of its own, as before.
    // An item copied whole must be there.
    if (what == "chunk" || what == "item") {
        bool richText = true;
        {
            Database db;
            Note note;
            if (!db.Open(args[0], false) || !note.Open(db.handle(), rest[0])) return kExitFailed;
            const std::vector<ItemValue> values = FindItems(note.handle(), rest[1]);
            if (what == "item" && values.empty())
                return Fail("note %s has no item '%s'", rest[0].c_str(), rest[1].c_str());
            richText = values.empty() || values.front().type == plat::TYPE_COMPOSITE;
        }
        ChunkOfItem source;
        if (what == "chunk" && richText &&
            !source.Open(command, args[0], rest[0], rest[1], rest[2], ItemUse::kRead, &exitCode))
            return exitCode;
    }
    ChunkOfItem target;
    const char* chunk = options.Value("chunk");
    if (!target.Open(command, args[0], args[1], args[2], chunk != nullptr ? chunk : "Everything",
                     ItemUse::kCreate, &exitCode))
        return exitCode;
    // A row the table does not have would append nothing and the command
    // still succeed.
    if (row != 0 && target.chunk()->targetType == talix::kTypeTable) {
        const std::int64_t rows = talix::CountChunkTargets(target.chunk(), "Row");
        if (rows >= 0 && rows < row)
            return Fail("'%s' has no row %u: it has %lld", target.chunk()->definition, static_cast<unsigned>(row),
                        static_cast<long long>(rows));
    }
    bool usage = false;
    const talix::STATUS status = RunAppendKind(what, rest, options, &target, &usage);
    if (usage) return UsageError(command, "%s takes counts of 0 to 65535 in digits alone", what.c_str());
    return SaveAfterMethod("append " + what, &target, status);
}

int RunImportHtml(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    CommandOptions options;
    if (!TakeOptions(command, &args, {"options"}, {"replace"}, &options, &exitCode)) return exitCode;
    if (args.size() != 4)
        return UsageError(command, "import-html needs a database, a note, an item name and an HTML file");
    if (!InputIsRegular(args[3])) return kExitFailed;
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything",
                     options.replace ? ItemUse::kReplace : ItemUse::kCreate, &exitCode))
        return exitCode;
    return SaveAfterMethod("import-html", &target, AppendHtmlSource(target.chunk(), "file", args[3], options.Value("options")));
}

int RunEdit(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    CommandOptions options;
    if (!TakeOptions(command, &args, {"options", "font"}, {"numeric", "reverse"}, &options, &exitCode))
        return exitCode;
    if (args.size() < 5)
        return UsageError(command, "edit needs a database, a note, an item name, a chunk and an action");
    const std::string action = args[4];
    const std::vector<std::string> rest(args.begin() + 5, args.end());
    if (!CheckArity(command, kEditActions, action, rest.size(), &exitCode) ||
        !TextsFitWords(command, action, rest, &exitCode))
        return exitCode;
    // An empty text is found nowhere: the replace would change nothing.
    if (action == "replace" && rest[0].empty()) return UsageError(command, "replace needs a text to find");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args[3], ItemUse::kWrite, &exitCode)) return exitCode;
    // A font text that names nothing of a font (the item's faces among what
    // it may name) would change no run and the command still succeed.
    if (action == "font" && !talix::FontSpecNamesAnything(Lmbcs(rest[0]).c_str(), target.item()))
        return UsageError(command, "'font' takes a font text, and '%s' names nothing of a font",
                          rest[0].c_str());
    if (action == "paragraph" && !talix::ParagraphStyleNamesAnything(Lmbcs(rest[0]).c_str(), target.item()))
        return UsageError(command, "'paragraph' takes a paragraph style, and '%s' names nothing of a paragraph",
                          rest[0].c_str());
    // A column the table does not have gives no keys: the sort would change
    // nothing and the command still succeed. Rows sorted by their tab labels
    // need no column.
    std::uint16_t sortColumn = 0;
    if (action == "sort-rows" && Word(rest[0], &sortColumn) && sortColumn != 0 &&
        target.chunk()->targetType == talix::kTypeTable && !SortsByLabels(options.Value("options"))) {
        const std::int64_t columns = talix::CountChunkTargets(target.chunk(), "Column");
        if (columns >= 0 && columns < sortColumn)
            return Fail("'%s' has no column %u: it has %lld", target.chunk()->definition,
                        static_cast<unsigned>(sortColumn), static_cast<long long>(columns));
    }
    bool usage = false;
    const talix::STATUS status = RunEditAction(action, rest, options, &target, &usage);
    if (usage && action == "set-target")
        return UsageError(command, "set-target takes Graphic, Paragraph, HR, Layer, URLLink or ParagraphList");
    if (usage) return UsageError(command, "sort-rows needs a column number from 1");
    // Setting text writes into the chunk's first text run: a chunk without
    // one (a field, a picture) is left as it was, which is no success.
    if (action == "set-text" && status == talix::kOK && target.item()->modified == 0)
        return Fail("edit set-text: '%s' holds no text run: nothing was set", target.chunk()->definition);
    return SaveAfterMethod("edit " + action, &target, status);
}

int RunQuery(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 5)
        return UsageError(command, "query needs a database, a note, an item name, a chunk and what to ask");
    const std::string what = args[4];
    const std::vector<std::string> a(args.begin() + 5, args.end());
    if (!CheckArity(command, kQueries, what, a.size(), &exitCode)) return exitCode;
    if ((what == "text-run" || what == "named") && a.size() == 3)
        return UsageError(command, "%s takes a match mode together with its text", what.c_str());
    if ((what == "text-run" || what == "named") && a.size() == 4 && !KnownMatchMode(a[2]))
        return UsageError(command, "unknown match mode '%s' (EXACT, STARTS, ENDS or SUBSTR)", a[2].c_str());
    if (what == "html-value" && !OneOfNoCase(a[0], kHtmlAttributes))
        return UsageError(command, "unknown HTML attribute '%s' (NAME, ID, CLASS, STYLE, TITLE or OTHER)",
                          a[0].c_str());
    if (what == "html-value" && a.size() > 1 && !OneOfNoCase(a[1], kHtmlElements))
        return UsageError(command, "unknown element '%s' (Table or Cell)", a[1].c_str());
    std::uint16_t n = 0;
    if ((what == "text-run" || what == "named") && !Word(a[0], &n))
        return UsageError(command, "%s needs a number N", what.c_str());
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args[3], ItemUse::kRead, &exitCode)) return exitCode;
    ZervaRTChunk* chunk = target.chunk();
    std::vector<std::string> texts;
    for (const std::string& each : a) texts.push_back(Lmbcs(each));
    // A font text that names nothing of a font (a face the item does not
    // have among them) would match every run: the answer would be about no
    // font at all. An empty font text of a text-run search asks for any font.
    const std::size_t fontText = what == "font-in-use" ? 0 : what == "text-run" ? 1 : a.size();
    if (fontText < a.size() && (what == "font-in-use" || !a[fontText].empty()) &&
        !talix::FontSpecNamesAnything(texts[fontText].c_str(), target.item()))
        return UsageError(command, "'%s' takes a font text, and '%s' names nothing of a font", what.c_str(),
                          a[fontText].c_str());
    std::string answer;
    if (what == "text-run" || what == "named") {
        char found[256] = {};
        const char* mode = a.size() > 2 ? a[2].c_str() : nullptr;
        const char* text = a.size() > 3 ? texts[3].c_str() : nullptr;
        const std::uint16_t ordinal =
            what == "text-run" ? chunk->FindTextChunk(n, found, sizeof found, mode, texts[1].c_str(), text)
                               : chunk->FindNamedChunk(n, a[1].c_str(), found, sizeof found, mode, text);
        if (chunk->lastStatus != talix::kOK) return MethodFailed("query " + what, chunk, chunk->lastStatus);
        if (ordinal == 0) return Fail("no %s matches", what == "text-run" ? "text run" : "element");
        answer = found;
    } else if (what == "font-in-use") {
        const int used = chunk->FontInUse(texts[0].c_str());
        if (chunk->lastStatus != talix::kOK) return MethodFailed("query " + what, chunk, chunk->lastStatus);
        answer = used != 0 ? "1" : "0";
    } else {
        const char* value = chunk->GetHTMLValue(a[0].c_str(), a.size() > 1 ? a[1].c_str() : nullptr);
        if (chunk->lastStatus != talix::kOK) return MethodFailed("query " + what, chunk, chunk->lastStatus);
        answer = value;
    }
    std::printf("%s\n", plat::LmbcsToNative(answer).c_str());
    return kExitOk;
}

} // namespace talix_cli

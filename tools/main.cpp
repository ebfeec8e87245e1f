// The talix program: imports exported notes into a database and lists what
// a database holds (notes, items, item values, rich-text records).
//
//   talix [--verbose] COMMAND ARGS...
//
// Exit status 0 on success, 1 on failure, 2 on bad usage; errors go to
// standard error as "talix: <what went wrong>".
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

#include "cli.h"
#include "core/replacing_file.h"
#include "held_output.h"
#include "talix/version.h"

namespace talix_cli {

namespace {

const Command kCommands[] = {
    {"import", "import DB FILE.dxl...",
     "Imports the notes of DXL files into database DB, creating it when it does not exist.\n"
     "A note whose UNID is already in DB replaces it. The files land together, all or\n"
     "none, whatever happens to the process: a file that fails is reported and nothing is\n"
     "imported (a database the import made is removed again). The files are read whole\n"
     "before anything is written, so no other writer of DB waits while they are parsed;\n"
     "the import then waits for another process writing to DB up to 30 seconds (notes.ini\n"
     "DatabaseBusyWait, in seconds) and then fails: the database is busy. A FILE that is\n"
     "not a regular file (a FIFO, a device) is refused.\n"
     "Prints one line per imported note: note id, UNID and the file it came from. Only\n"
     "DXL whose items hold typed values and raw item data (binary DXL) is read.\n",
     RunImport},
    {"notes", "notes DB",
     "Lists the notes of DB in note-id order, one per line: note id, UNID, class, title\n"
     "($TITLE, else Subject) and the names of the class's bits (\"form, default\"), a\n"
     "design element of the form class named by the kind its $Flags give (form, subform,\n"
     "page, image resource, file resource, frameset, XPage or custom control).\n",
     RunNotes},
    {"items", "items DB NOTE",
     "Lists the items of a note in stored order, one per line: name, data type, flags,\n"
     "value length in bytes (counting the data-type word) and the names of the data type\n"
     "and flags (\"rich text, signed, summary\").\n",
     RunItems},
    {"value", "value DB NOTE ITEM [--index K]",
     "Writes the stored value of an item (data-type word first) to standard output.\n"
     "Without --index, the values of all items of that name follow one another;\n"
     "--index K writes only the K-th of them (0 is the first).\n",
     RunValue},
    {"records", "records DB NOTE ITEM [--host]",
     "Lists the CD records of a rich-text item (all items of that name, in order), one\n"
     "per line: index, signature, record name, stored length and key fields.\n"
     "--host lists them as the library reads them: host-form length and the side data\n"
     "the reader gives a record (text, table counts, cell links, graphic keys).\n",
     RunRecordsCommand},
    {"rewrite", "rewrite DB NOTE ITEM",
     "Reads a rich-text item with the library and writes it back, then saves the note.\n"
     "Prints the number of records written. A damaged item (as 'records' reports it) is\n"
     "refused and nothing is written.\n",
     RunRewrite},
    {"view", "view DB VIEW [KEY]",
     "Lists the entries of a view in the view's order, one per line: note id, then the\n"
     "value of the first column (a category entry shows its category). With KEY, only\n"
     "the entries whose key column equals KEY (ignoring case). VIEW may also be a\n"
     "selection formula, as match takes it (such as SELECT @All or SELECT Form = \"Memo\"):\n"
     "the documents it selects, in note-id order, with their titles ($TITLE, else Subject).\n",
     RunView},
    {"formula", "formula DB NOTE FORMULA",
     "Evaluates FORMULA on a note and prints the result: its type (text, text list,\n"
     "number, number list, time, time list) on the first line, then one value per line.\n"
     "@DbCommand, @DbLookup and @DbColumn naming the class \"Talix\" reach the library's\n"
     "formula driver, loaded on first use (see the README).\n",
     RunFormula},
    {"text", "text DB NOTE ITEM [CHUNK]",
     "Prints the whole text of the text runs of a chunk of a rich-text item (default\n"
     "\"Everything\"), such as \"Table 1; Row 2\", as UTF-8: a zero byte in a run is a line\n"
     "end, and a line end stands between the texts of two paragraphs (a table's cells\n"
     "each begin one).\n",
     RunText},
    {"html", "html DB NOTE ITEM [CHUNK] [--format html|xhtml|text|passthrough] [--options TEXT] [--out FILE] [--mime PART]",
     "Renders a chunk of a rich-text item (default \"Everything\") as HTML 4.01 (the default),\n"
     "XHTML 1.0 or plain text, written as UTF-8 to standard output or FILE. TEXT is a\n"
     "string of generation options (\"Title=Notes PreserveSpaces=Yes\"); the markup is\n"
     "handed on as it is made (OutputToEvent=Yes unless TEXT sets it), so any size comes\n"
     "out whole; only a single value whose markup alone passes the 65,406-byte buffer\n"
     "(such as a URL of tens of thousands of quotes) is refused. --mime renders for a\n"
     "MIME message: what is handed on goes to a part file \"MP<PART>_<n>.htm\" that is\n"
     "attached to the note, which is saved; the part file's name is printed (an empty\n"
     "line when none was needed), then the rest of the markup. Paragraphs become\n"
     "divisions with a class per paragraph definition in the head's style sheet, list\n"
     "paragraphs nested lists, fonts spans (or font elements), tables table elements\n"
     "(tabbed and animated ones also as CSS tabs, tab rows or an accordion), and\n"
     "hotspots, links, sections, layers, layout regions, fields, pictures and\n"
     "pass-through HTML their markup; buttons, embedded views and outlines give nothing.\n"
     "Plain text (--format text) puts each paragraph on a line of its own\n"
     "(NewlineOnParagraph=Yes unless TEXT sets it).\n"
     "Keywords of TEXT for the style sheet, paragraphs and lists: ConsolidatePABIDS,\n"
     "MoveStylesInline, UsePTags, AllowEmptyDivs, SuppressDivInfo, RelativeIndents,\n"
     "ForceParagraphs, StandardFontTags, HybridFontTags, CSSBorders, CSSBulletGraphic,\n"
     "CSSCircleBulletGraphic, CSSSquareBulletGraphic, CSSCheckBulletGraphic,\n"
     "AddStyleSheetInfo, OpeningGlobalStyle, HeadTag, OpeningBody, SupportRico, RicoHeader,\n"
     "SectionsInCSS, SectionCSSHeader, TabbedTablesInCSS, TabbedCSSHeader,\n"
     "UseCurlyBracesInline, AddNewlines (\"MoveStylesInline=Yes UsePTags=Yes\").\n"
     "Every generation option applies, among them the handling of pictures\n"
     "(ImageHandling=IGNORE, DISK with ImageDirectory=, RESOURCE with ImageFilePath=) and\n"
     "of attachments (AttachmentHandling=DISK with AttachmentDirectory=, NAME), and the\n"
     "style of sections (SectionsInCSS=Yes, ZelundaSections=Yes).\n",
     RunHtml},
    {"count", "count DB NOTE ITEM TYPE [CHUNK]",
     "Prints the number of targets of a type (Table, Row, Section, Hotspot ...) within\n"
     "a chunk of a rich-text item (default \"Everything\"); 0 for a chunk that matches\n"
     "nothing, where the other commands acting on a chunk are refused.\n",
     RunCount},
    {"design", "design DB KIND NAME",
     "Lists the CD records of the content of a design element (as 'records' does), found\n"
     "by kind and name. KIND: form, subform, page, shared-field, image-resource,\n"
     "file-resource, frameset, xpage or custom-control.\n",
     RunDesign},
    {"create-design", "create-design DB KIND NAME [OPTIONS]",
     "Creates a design element of KIND (form, subform, page, shared-field, image-resource\n"
     "or file-resource) named NAME and saves it. OPTIONS: \"SourceFile=PATH\" (the content of\n"
     "an image or file resource), \"Overwrite=Yes\" (empty an existing element instead of\n"
     "keeping it), \"URLEncode=Yes\", \"OverrideSave=Yes\"; a text without \"=\" is a source\n"
     "file and overwrites. Prints the note id and the name; a file resource made without\n"
     "a source file has no content yet and prints \"-\" for its note id.\n",
     RunCreateDesign},
    {"append", "append DB NOTE ITEM WHAT ARGS... [--chunk C] [--options T] [--font FONT]",
     "Appends to a chunk of a rich-text item (default \"Everything\"; the item is created\n"
     "when missing) and saves the note. WHAT and its arguments:\n"
     "  text TEXT | paragraph [STYLE] | newlines N | tabs N | page-break | anchor NAME\n"
     "  table ROWS COLS [--column OPTIONS]... (one --column per column, in order)\n"
     "  row [N] (a copy of row N, default 1, of the chunk's table)\n"
     "  hotspot KIND CODE [TEXT] (KIND such as \"BUTTON LOTUSSCRIPT\" or \"ACTION FORMULA\")\n"
     "  link URL [TEXT] | layer TOP LEFT HEIGHT WIDTH | graphic KIND SOURCE (KIND FILE or URL)\n"
     "  chunk NOTE2 ITEM2 DEF | item NOTE2 ITEM2 (rich text of another note of DB)\n"
     "  form|subform|page NAME (the body of that design element of DB)\n"
     "  import FILE | attachment FILE [NAME] | html KIND SOURCE (KIND FILE or INLINE)\n"
     "--options gives the option string of the append, --font the font of text and\n"
     "paragraphs (such as \"12 BOLD RED\" or \"Arial 10 #336699\").\n",
     RunAppend},
    {"import-html", "import-html DB NOTE ITEM FILE.html [--options TEXT] [--replace]",
     "Imports an HTML file into a rich-text item (created when missing; with --replace\n"
     "it starts from a blank item) and saves the note. Paragraphs, fonts, colours,\n"
     "headings, rules, line breaks, lists, tables, links, images, layers, quoted mail\n"
     "replies and pass-thru HTML become rich text. --options gives the import options\n"
     "(\"PixelMultiplier=\", \"EMMultiplier=\", \"Size1=\" to \"Size7=\", \"CharEncoding=\" ...).\n"
     "The page is read in the set \"CharEncoding=\" or \"Charset=\" names, else a byte-order\n"
     "mark, else the set a meta element declares in its first 4 KB, else UTF-8.\n"
     "Pictures and style sheets are read only in the file's directory and below it\n"
     "(\"BasePathname=\" names another), never by an absolute name or a link out of it.\n"
     "A failed import prints its status and error word (257 with 20014: the HTML did not\n"
     "parse; 259 with 20032: no such file; 14410: past a bound of the import: larger than\n"
     "16 MiB, nested more than 1,000 elements deep, an element with more than 1,000\n"
     "attributes or an attribute name longer than 256 bytes; 1028: a path option longer\n"
     "than its buffer) and saves nothing.\n",
     RunImportHtml},
    {"edit", "edit DB NOTE ITEM CHUNK ACTION ARGS... [--options T] [--font FONT]",
     "Changes a chunk of a rich-text item and saves the note. ACTION and its arguments:\n"
     "  remove | remove-links | remove-hotspots | remove-sections | remove-fields NAMES\n"
     "  font FONT [MATCH] | paragraph STYLE [STYLE2] | table PROPS\n"
     "  highlight | highlight-text TEXT | set-text TEXT\n"
     "  replace FIND REPL [SCOPE] (SCOPE: TEXT, NONTEXT, FORMULA, HIDEWHEN, URL, EVERYTHING)\n"
     "  sort-rows COLUMN [--numeric] [--reverse] (further keys in --options)\n"
     "  export-graphic FILE [FORMAT]\n"
     "  set-target TYPE OPTIONS (the chunk's targets of TYPE: Graphic, Paragraph, HR, Layer,\n"
     "    URLLink or ParagraphList, changed by the keyword=value words of OPTIONS)\n",
     RunEdit},
    {"query", "query DB NOTE ITEM CHUNK WHAT ARGS...",
     "Asks about a chunk of a rich-text item without changing it. WHAT and its arguments:\n"
     "  text-run N FONT [MODE TEXT]: the definition of the first text run in font FONT\n"
     "    (whose text matches TEXT by MODE: EXACT, STARTS, ENDS, SUBSTR) within the chunk\n"
     "  named N TYPE [MODE NAME]: the definition of the first TYPE (Table, Button, Layer)\n"
     "    whose name matches\n"
     "  font-in-use FONT: 1 when a text run of the chunk is in that font, else 0\n"
     "  html-value ATTR [ELEMENT]: a stored HTML attribute (NAME, ID, CLASS, STYLE, TITLE,\n"
     "    OTHER) of the chunk's table or cell (ELEMENT Table or Cell)\n",
     RunQuery},
    {"get-property", "get-property DB NOTE ITEM NAME [CHUNK]",
     "Prints a property of a chunk of a rich-text item (default \"Everything\") by its name:\n"
     "the text of a text property (Text, Font, FontColor, ParagraphStyle ...), the number of\n"
     "a number property (PointSize, PABID, Exists ...). Font gives the words of the chunk's\n"
     "font (\"Bold Red 12pt Arial\"), FontFace its face alone.\n",
     RunGetProperty},
    {"set-property", "set-property DB NOTE ITEM (NAME VALUE | --list T) [CHUNK]",
     "Sets a property of a chunk of a rich-text item (default \"Everything\") and saves the\n"
     "note: a number property takes a number VALUE. With --list, T is a text of Name=value\n"
     "words and the first property it names that can be set is set. A property that cannot\n"
     "be set (read-only, or without a way to set it, such as PointSize: 'edit ... font 14'\n"
     "changes the size) is refused with a message, and so is a value the chunk holds no\n"
     "record to take (a button's text set on a text run): nothing is then saved.\n",
     RunSetProperty},
    {"property-text", "property-text DB NOTE ITEM CHUNK WHAT ARGS...",
     "Prints the keyword=value words of a chunk of a rich-text item. WHAT and its arguments:\n"
     "  target TYPE [KEYWORD]: the words of each target of TYPE (Graphic, Layer, HR, Table,\n"
     "    ImageMap, GraphicHotspot, Section, Field, URLLink) in the chunk, a line each (the\n"
     "    chunk itself when it is one); with KEYWORD, the value of that keyword on each line\n"
     "  table [KEYWORD]: the words of the chunk's table (or those of one keyword)\n"
     "  border SIDE: the border of the chunk's first cell (Left, Right, Top, Bottom; any\n"
     "    other text: all four, left,right,top,bottom)\n",
     RunPropertyText},
    {"match", "match DB NOTE ITEM MODE KEYDB VIEW FIELD [CHUNK] [--result FORMULA] [--options TEXT]",
     "Looks in a chunk of a rich-text item (default \"Everything\") for keys read from the\n"
     "documents of VIEW of the key database KEYDB (a view name, or a \"SELECT \" formula):\n"
     "the value of the item FIELD, split at back-quotes, or of FIELD as a formula when it\n"
     "begins with a double quote, \"@\" or \"(\". Each key found becomes, by MODE:\n"
     "  link: a link to the key's document (with --result: a URL link to the result)\n"
     "  append, insert, replace: the result after, before or instead of the text\n"
     "  highlight: the text in the item's highlight font; popup: a pop-up with the result\n"
     "  keyword: the keys found are printed, joined by \",\" (\"Separator=\"), and the\n"
     "    item is left as it is\n"
     "FORMULA is evaluated on the key's document (without it the result is the key).\n"
     "TEXT is an option string: MinLength=N (shortest key kept, default 3), MatchText=\n"
     "Starts|Ends|Substr, ReplaceExtra=Yes, SingleMatch=Yes, Hotspot=, Separator=.\n"
     "The other modes save the note; when a formula changed an item of it through\n"
     "@DbCommand while the match changed that item too, the formula's value stands\n"
     "and the match fails, saving nothing.\n",
     RunMatch},
    {"wiki", "wiki DB NOTE ITEM KEYDB VIEW [CHUNK] [--options TEXT] [--server S]",
     "Resolves the wiki texts of a chunk of a rich-text item (default \"Everything\"), such\n"
     "as \"((Page#Part|label))\": a text whose page VIEW of KEYDB finds by its first column\n"
     "becomes a link to that document, an address (http:, https:, file:, mailto:,\n"
     "google:, talix:) a URL link, and any other an action hotspot that composes a new\n"
     "document of KEYDB with the page as its subject. Links an earlier run made are\n"
     "turned back into their texts first. TEXT: Tag=T (only \"((T:...))\" texts),\n"
     "WikiDelimiters=<<>> (four characters), ResolveTags=No (only turn links back),\n"
     "Form=F (the form of composed documents). S is the server written into the compose\n"
     "formula (a text beginning with \"@\" is written as a formula). Saves the note.\n",
     RunWiki},
    {"mime", "mime DB NOTE ITEM [--out FILE] [--part N] [--options TEXT] [--html-options TEXT]",
     "Writes a rich-text item as a MIME message (a .eml file any mail reader opens) to\n"
     "FILE, or to standard output: mail header lines, then a multipart/related entity\n"
     "(multipart/mixed when the item holds file attachments) whose text/html part is the\n"
     "item rendered as HTML, with its pictures and the icons it shows as parts of their\n"
     "own and its attachments encoded. Line ends are LF. TEXT after --options is a string\n"
     "of MIME options (\"UseMailFields=Yes\" takes the header lines from the note's mail\n"
     "items; \"ExpSubject=...\", \"ExpFrom=...\" and the other Exp options give them;\n"
     "\"charset=\", \"QuotedPrintable=Yes\", \"SkipHTML=Yes\", \"FileHandling=DISK\" ...);\n"
     "after --html-options the generation's options (\"ImageHandling=DISK\" needs --out\n"
     "or --part). --part N prints piece N of the entity as the library hands it out\n"
     "piece by piece: 0 all pieces joined, 1 the header lines, 2 the HTML part's header,\n"
     "3 its body, then one piece per picture or icon; a piece past the last, or one of\n"
     "1 MiB or more (which the library cuts), is refused, and so is 0 when the library\n"
     "left out a picture too large for a piece. The note is not saved.\n",
     RunMime},
    {"to-mime", "to-mime DB NOTE ITEM [--name OUT] [--options TEXT] [--html-options TEXT]",
     "Stores a rich-text item as MIME part items of its own note, named OUT (default:\n"
     "the item's name), with the items of a native MIME note (MIME_Version, $MessageID,\n"
     "$NoteHasNativeMIME, $MsgTrackFlags, $MIMETrack), then saves the note. The part\n"
     "items are one text/html part, or with \"MultiPart=Yes\" or \"AltMimeField=FIELD\" a\n"
     "multipart/alternative level (the text/plain part from the rich text of FIELD);\n"
     "pictures, icons and image resources add a multipart/related level of their parts,\n"
     "file attachments a multipart/mixed one. The HTML refers to the pictures through a\n"
     "copy of the item named \"OUT_M$\".\n"
     "Refused when the note has items named OUT, unless TEXT holds \"Overwrite=Yes\"; a\n"
     "refused or failed run leaves the note as it was.\n",
     RunToMime},
    {"export-html", "export-html DB NOTE ITEM [FILE] [--format F] [--options T]",
     "Writes a rich-text item rendered as HTML to FILE, or as UTF-8 to standard output.\n"
     "F is the kind of markup (\"HTML\", the default, or \"XHTML 1.0\"); T the generation's\n"
     "options, and \"MarkDelimitedHTML=Yes\", which first highlights the texts \"[<\" and\n"
     "\">]\" in the item (not saved). With \"ImageHandling=DISK\" the pictures are placed\n"
     "from FILE's folder and name, so it needs a FILE. Plain text (--format text) puts\n"
     "each paragraph on a line of its own (NewlineOnParagraph=Yes unless T sets it).\n"
     "The note is not saved.\n",
     RunExportHtml},
    {"to-html", "to-html DB NOTE ITEM [--into NAME] [--options T]",
     "Stores a rich-text item rendered as HTML in the item NAME of its note (default: the\n"
     "item itself), then saves the note: a new rich-text item holding the HTML as text, one\n"
     "line per piece of the generation (\"PassthruHTML=ALL\" marks it all as pass-thru HTML,\n"
     "\"PassthruHTML=Text\" each text run); with \"CreateRTItem=No\" the HTML as one text run,\n"
     "between pass-thru HTML records unless \"PassthruHTML=No\". Refused when the note has an\n"
     "item NAME, unless T holds \"Overwrite=Yes\". T also takes the generation's options.\n",
     RunToHtml},
    {"from-html", "from-html DB NOTE ITEM SOURCE [--options T] [--prefix P]",
     "Rebuilds the rich-text item ITEM from the HTML that the rich-text item SOURCE of the\n"
     "same note holds as text, then saves the note. The style sheet of the file resource\n"
     "\"fck_editorarea.css\" of the database (\"UseCSSFile=NAME\" another one, \"UseCSSFile=\"\n"
     "none) applies. T holds the HTML import's options; P, when given, is added to them as\n"
     "\"LocalResourcePrefix='P'\" (together at most 4,095 bytes). ITEM is created when missing,\n"
     "as import-html creates it; it is left as it was (or not created) when SOURCE or ITEM\n"
     "cannot be read. The HTML reads no local file unless \"BasePathname=\" names a\n"
     "directory, and then only files in it.\n",
     RunFromHtml},
    {"store-eml", "store-eml DB NOTE ITEM FILE.eml",
     "Stores a mail file as MIME part items named ITEM of a note, as incoming mail is\n"
     "stored, replacing the note's items of that name, and saves the note: one item per\n"
     "part, each holding the part's boundary line, header lines and body byte for byte\n"
     "(a multipart level as a prolog part, its parts and a closing part). A body too\n"
     "large for an item is kept in an attachment of the note that the item names. A\n"
     "file whose lines end in LF alone is read with CR LF line ends, as mail travels.\n"
     "A file with no header line before its first empty line (an empty file too) is no\n"
     "mail: it is refused and nothing is stored.\n"
     "Prints the number of part items and of bodies kept in attachments.\n",
     RunStoreEml},
    {"from-mime", "from-mime DB NOTE ITEM [--options TEXT]",
     "Converts the MIME part items named ITEM of a note into a rich-text item of that\n"
     "name and saves the note: the text/html part is imported as HTML (TEXT gives the\n"
     "import options, \"Charset=\" among them; by default the part's own character set),\n"
     "its \"cid:\" images come from the message's GIF and JPEG parts. The HTML is read as\n"
     "mail: a pass-thru span is its text, a link to javascript:, vbscript: or data: its\n"
     "text alone. Every other part (but a text the message shows, such as its plain-text\n"
     "version) is attached to the note as a file, byte for byte, under its file name\n"
     "without folders, control characters, \":\" or \"..\" (\"_2\" added when the note holds\n"
     "the name; \"file001\" when it has none). Refused when the note has no items of\n"
     "the name; refused with the reason, the MIME items kept, when the message is not a\n"
     "MIME message, when no part of it begins with the boundary its header names, when it\n"
     "has no text/html part (an HTML file attached is none), when its HTML shows images\n"
     "from outside the message (unless the note's \"$DelayedImagesOK\" is \"ok\" and\n"
     "notes.ini ZelundaNoImageSkip is set), when its HTML shows PNG, SVG or other\n"
     "pictures that cannot be shown (rendering skipped; such a picture the HTML does not\n"
     "show is a file) or when one of its files cannot be stored (the part is named).\n",
     RunFromMime},
    {"check", "check DB",
     "Checks a database: the file's integrity, database objects no note names, objects a\n"
     "note names that are missing, notes whose header or items do not read back, and\n"
     "rich-text items with damaged records. Prints one line per finding: what it is about\n"
     "(database, note or object), its note id or object id, and what is wrong. Exits 1\n"
     "when it finds anything, 0 when the database is sound.\n",
     RunCheck},
};

void PrintUsage(std::FILE* out) {
    std::fputs("usage: talix [--verbose] COMMAND ARGS...\n       talix --version\n       talix help [COMMAND]\n\n"
               "commands:\n",
               out);
    for (const auto& command : kCommands) std::fprintf(out, "  talix %s\n", command.usage);
    std::fputs("\nNOTE is a note id (0x20FA or decimal) or a UNID of 32 hexadecimal digits.\n"
               "--verbose shows the platform log on standard error.\n"
               "A lone -- ends the options: the arguments after it are taken as they are.\n"
               "Run 'talix COMMAND --help' (or -h, or 'talix help COMMAND') for what a command does.\n",
               out);
}

// The commands that read a note and save it again (html only with --mime,
// which attaches its part file to the note; formula only when the formula
// calls @DbCommand, which may read and change notes of its database in one
// evaluation). Their first argument is the database.
bool ChangesNotes(const Command& command, const std::vector<std::string>& args) {
    static const char* const kWriters[] = {"rewrite",  "create-design", "append",    "import-html", "edit",
                                           "set-property", "match",     "wiki",      "to-mime",     "to-html",
                                           "from-html", "store-eml",    "from-mime"};
    if (args.empty()) return false;
    if (std::strcmp(command.name, "html") == 0) {
        for (size_t i = 0; i < args.size(); ++i)
            if (args[i] == "--mime" && !IsOperand(args, i)) return true;
        return false;
    }
    if (std::strcmp(command.name, "formula") == 0) {
        for (const std::string& arg : args)
            if (strcasestr(arg.c_str(), "@DbCommand") != nullptr) return true;
        return false;
    }
    for (const char* writer : kWriters)
        if (std::strcmp(command.name, writer) == 0) return true;
    return false;
}

const Command* FindCommand(const std::string& name) {
    for (const auto& each : kCommands) {
        if (name == each.name) return &each;
    }
    return nullptr;
}

void PrintHelp(const Command& command) { std::printf("usage: talix %s\n\n%s", command.usage, command.help); }

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// What an unknown command or option gets: one line that says where the list is.
int UnknownWord(const char* what, const std::string& word) {
    std::fprintf(stderr, "talix: unknown %s '%s' (talix --help lists the commands)\n", what, word.c_str());
    return kExitUsage;
}

// talix help [COMMAND].
int RunHelp(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (args.size() > 1) {
        std::fputs("talix: help takes at most one command\n", stderr);
        return kExitUsage;
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr) return UnknownWord("command", args[0]);
    PrintHelp(*command);
    return kExitOk;
}

int g_messagesShown = 0;

// The platform's message display: messages go to standard error, each line
// after the program's one prefix. The library's messages begin with its own
// ("TALIX: ", "Talix: " or "@Talix: "), which the program's takes the place
// of.
void ShowMessage(const char* text, plat::WORD) {
    ++g_messagesShown;
    std::string_view rest = text != nullptr ? text : "";
    do {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (const std::string_view own : {"@talix: ", "talix: "}) {
            if (line.size() >= own.size() && strncasecmp(line.data(), own.data(), own.size()) == 0) {
                line.remove_prefix(own.size());
                break;
            }
        }
        std::fprintf(stderr, "talix: %.*s\n", static_cast<int>(line.size()), line.data());
    } while (!rest.empty());
}

// A run that an interrupt or a termination request ends removes the
// temporary files of its outputs first, then ends as the signal would have
// ended it.
void EndOnSignal(int number) {
    talix::RemovePendingOutputs();
    ::signal(number, SIG_DFL);
    ::raise(number);
}

void RemoveOutputsOnSignals() {
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        // A signal the caller had the program ignore stays ignored.
        if (::sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(number, &action, nullptr);
    }
}

// A write to a pipe whose reader has gone fails with EPIPE rather than
// ending the program unseen: the command then says that its standard output
// did not take what it printed and exits 1, and removes the files it was
// making, as it does for any output that cannot be written. Likewise a write
// that would take a file past the size limit of the process (ulimit -f)
// fails with EFBIG rather than ending the program with SIGXFSZ: the
// database write then fails whole and the command says that the database
// cannot grow, as on a full disk. A handler that does nothing rather than an
// ignored signal, so that no program started from here inherits the choice.
// One the caller had ignored stays ignored.
void NoteFailedWrite(int) {}

void FailWritesInsteadOfSignals() {
    for (int number : {SIGPIPE, SIGXFSZ}) {
        struct sigaction before {};
        if (::sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = NoteFailedWrite;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace

int MessagesShown() { return g_messagesShown; }

int Main(int argc, char** argv) {
    FailWritesInsteadOfSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    bool verbose = false;
    size_t next = 0;
    while (next < args.size() && args[next].rfind("-", 0) == 0) {
        if (IsHelp(args[next])) {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (args[next] == "--version") {
            std::printf("talix %s\n", TALIX_VERSION_STRING);
            return kExitOk;
        }
        if (args[next] != "--verbose") return UnknownWord("option", args[next]);
        verbose = true;
        ++next;
    }
    if (next == args.size()) {
        std::fputs("talix: no command given\n", stderr);
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::vector<std::string> commandArgs(args.begin() + static_cast<long>(next) + 1, args.end());
    if (args[next] == "help") return RunHelp(commandArgs);
    const Command* command = FindCommand(args[next]);
    if (command == nullptr) return UnknownWord("command", args[next]);
    for (auto arg = commandArgs.begin(); arg != commandArgs.end(); ++arg) {
        if (*arg == "--") {
            // What follows is taken as it is, never as an option.
            SetTrailingOperands(static_cast<size_t>(commandArgs.end() - arg) - 1);
            commandArgs.erase(arg);
            break;
        }
        if (IsHelp(*arg)) {
            PrintHelp(*command);
            return kExitOk;
        }
    }
    int refused = kExitOk;
    if (!ArgumentsAreUtf8(*command, commandArgs, &refused)) return refused;
    RemoveOutputsOnSignals();
    plat::RegisterMessageProc(ShowMessage);
    plat::LogSetEcho(verbose);
    const int status = ChangesNotes(*command, commandArgs)
                           ? RunChange(*command, commandArgs, std::strcmp(command->name, "formula") == 0)
                           : command->run(*command, commandArgs);
    // The program plays the host: the database drivers a formula loaded end
    // with it.
    plat::UnregisterDrivers();
    return status;
}

// A command that did its work but whose standard output did not take all
// it printed (a full disk, a pipe with no reader, a file opened only for
// reading) has not done it: it exits 1 and says so.
int EndStandardOutput(int status) {
    errno = 0;
    int lost = 0;
    if (std::fflush(stdout) != 0) lost = errno != 0 ? errno : EIO;
    else if (std::ferror(stdout) != 0) lost = EIO;
    else lost = HeldOutput::Lost();
    if (lost == 0 || status != kExitOk) return status;
    std::fprintf(stderr, "talix: cannot write to standard output: %s\n", std::strerror(lost));
    return kExitFailed;
}

} // namespace talix_cli

int main(int argc, char** argv) { return talix_cli::EndStandardOutput(talix_cli::Main(argc, argv)); }

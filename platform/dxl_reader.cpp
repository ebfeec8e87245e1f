// The DXL reader. libxml2 reads the text and reports each start tag, end tag
// and piece of character data (its SAX interface); the reader keeps a stack
// of the elements open, checks each element where it stands, and builds the
// value of an item while its text arrives: base64 is decoded piece by piece
// straight into the value, other values are gathered and converted at their
// end tag. No tree is built; what is held at any time is the note being read.
//
// Entity declarations are refused the moment they are read (exported notes
// never use them; expanded, they could make a small file huge or read other
// files), and no external file is ever loaded.
#include "dxl_reader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <unistd.h>

#include "ascii_text.h"
#include "formula_codec.h"
#include "status_codes.h"
#include "store.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/log.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace {

struct NameValue {
    const char* name;
    WORD value;
};

const NameValue kNoteClasses[] = {
    {"document", NOTE_CLASS_DOCUMENT},     {"helpaboutdocument", NOTE_CLASS_INFO},
    {"form", NOTE_CLASS_FORM},             {"view", NOTE_CLASS_VIEW},
    {"icon", NOTE_CLASS_ICON},             {"design", NOTE_CLASS_DESIGN},
    {"acl", NOTE_CLASS_ACL},               {"helpindex", NOTE_CLASS_HELP_INDEX},
    {"helpusingdocument", NOTE_CLASS_HELP}, {"filter", NOTE_CLASS_FILTER},
    {"field", NOTE_CLASS_FIELD},           {"sharedfield", NOTE_CLASS_FIELD},
    {"replicationformula", NOTE_CLASS_REPLFORMULA},
};

// Item attributes that are flags when 'true'.
const NameValue kItemFlags[] = {
    {"sign", ITEM_SIGN},           {"seal", ITEM_SEAL},           {"summary", ITEM_SUMMARY},
    {"authors", ITEM_READWRITERS}, {"names", ITEM_NAMES},         {"placeholder", ITEM_PLACEHOLDER},
    {"protected", ITEM_PROTECTED}, {"readers", ITEM_READERS},
};

const NameValue kHostTypes[] = {
    {"msdos", 0x0000},        {"ole", 0x0100},           {"mac", 0x0200},          {"unknown", 0x0300},
    {"hpfs", 0x0400},         {"olelib", 0x0500},        {"bytearrayext", 0x0600}, {"bytearraypage", 0x0700},
    {"cdstorage", 0x0800},    {"stream", 0x0900},        {"link", 0x0A00},
};

const NameValue kCompressions[] = {{"none", 0}, {"huff", 1}, {"lz1", 2}, {"recompress", 3}};

const NameValue kFileFlags[] = {
    {"sign", 0x0001}, {"storedindoc", 0x0002}, {"mime", 0x0004}, {"autocompressed", 0x0080},
};

// Where the note's dates come from: the elements of <noteinfo>.
struct NoteDate {
    const char* name;
    std::optional<TIMEDATE> DxlNote::*date;
};
const NoteDate kNoteDates[] = {
    {"created", &DxlNote::created},      {"modified", &DxlNote::modified},   {"revised", &DxlNote::revised},
    {"lastaccessed", &DxlNote::accessed}, {"addedtofile", &DxlNote::added},
};

// What a file in the text form of DXL (design elements and rich text as
// elements of their own) is told.
constexpr const char* kBinaryOnly = "only DXL with raw item data (binary DXL) can be imported";

// Elements of a note that carry no item and are skipped: the update and
// signing history and the table of text-property languages are kept by the
// database itself, not as items.
const char* const kSkippedNoteElements[] = {"updatedby", "wassignedby", "revisions", "textproperties"};

// No network, no external DTD, no entity substitution; big line numbers so
// that messages name the right line in long files.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES | XML_PARSE_NOCDATA;

// A value longer than the store keeps is refused as it arrives, before it
// fills memory.
constexpr size_t kLargestValue = kMaxStoredBytes;

template <size_t N>
const NameValue* Lookup(const NameValue (&table)[N], std::string_view name) {
    for (const auto& entry : table) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

bool Is(const char* name, const char* wanted) { return std::strcmp(name, wanted) == 0; }

// What an open element is, which decides what it may hold and what its
// text and its end do.
enum class Kind : std::uint8_t {
    Database,
    Note,            // <note>, <document> or <sharedfield>
    NoteInfo,
    NoteDate,        // an element of <noteinfo> holding one <datetime>
    FileDate,        // <created> or <modified> of a <file>, holding one <datetime>
    HeldDateTime,    // the <datetime> of a NoteDate or FileDate (may be empty)
    Item,
    RawItemData,     // base64
    CompiledFormula, // base64
    FileData,        // base64
    Text,            // an item's <text>, or an entry of a <textlist>
    Break,           // a <break/> in a <text>: holds nothing
    TextList,
    Number,          // an item's <number>, or an entry of a <numberlist>
    NumberList,
    DateTime,        // an item's <datetime>, or an entry of a <datetimelist> or <datetimepair>
    DateTimeList,
    DateTimePair,
    Formula,
    Object,
    File,
};

bool GathersText(Kind kind) {
    return kind == Kind::Text || kind == Kind::Number || kind == Kind::DateTime || kind == Kind::HeldDateTime ||
           kind == Kind::Formula;
}

bool DecodesBase64(Kind kind) {
    return kind == Kind::RawItemData || kind == Kind::CompiledFormula || kind == Kind::FileData;
}

struct Frame {
    Kind kind;
    const char* name;   // the local name (libxml2's dictionary keeps it for the whole parse)
    long line;          // where the start tag is
    int elements = 0;   // child elements so far
    bool dst = false;   // a <datetime>'s dst attribute
    std::optional<TIMEDATE> DxlNote::*date = nullptr;   // a NoteDate's date
};

// The attributes written in a start tag: libxml2 gives five pointers for
// each (local name, prefix, URI, value, end of value), those a DTD
// defaults come last and are left out.
struct Attributes {
    const xmlChar** list = nullptr;
    int count = 0;
};

class Reader {
public:
    Reader(DxlSource* source, const std::string& name, DxlFailure* failure,
           const std::function<bool(DxlNote&)>& handler)
        : source_(source), name_(name), failure_(failure), handler_(handler) {}

    bool Read();

private:
    // ---- libxml2's calls
    static void OnStart(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                        int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                        const xmlChar** attributes);
    static void OnEnd(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri);
    static void OnCharacters(void* context, const xmlChar* text, int length);
    static void OnReference(void* context, const xmlChar* name);
    static void OnEntityDeclaration(void* context, const xmlChar* name, int type, const xmlChar* publicId,
                                    const xmlChar* systemId, xmlChar* content);
    static void OnUnparsedEntityDeclaration(void* context, const xmlChar* name, const xmlChar* publicId,
                                            const xmlChar* systemId, const xmlChar* notation);
    static void OnError(void* context, xmlErrorPtr error);
    static int ReadSource(void* context, char* buffer, int length);
    static Reader& Of(void* context);

    // ---- Elements
    void Start(const char* name, Attributes attributes);
    void End();
    void Characters(std::string_view text);
    bool StartRoot(const char* name, Attributes attributes, Frame* frame);
    bool StartChild(Frame& parent, const char* name, Attributes attributes, Frame* frame);
    bool StartNote(const char* name, Attributes attributes, bool sharedField, Frame* frame);
    bool StartNoteInfo(Attributes attributes, Frame* frame);
    bool StartItem(Attributes attributes, Frame* frame);
    bool StartValue(const char* name, Attributes attributes, Frame* frame);
    bool StartFile(Attributes attributes, Frame* frame);
    bool StartDateTime(Kind kind, Attributes attributes, Frame* frame);
    bool EndElement(const Frame& frame, const Frame* parent);
    bool EndNote();
    bool EndFile(const Frame& frame);
    bool EndDateTime(const Frame& frame, const Frame& parent);
    bool EndBase64(const Frame& frame);
    bool UnknownChild(const char* name, const Frame& parent);

    // ---- Pieces
    bool Attribute(Attributes attributes, const char* element, const char* name, std::optional<std::string>* value);
    bool BoolAttribute(Attributes attributes, const char* element, const char* name, bool* value);
    bool ParseTime(const Frame& frame, bool emptyAllowed, std::optional<TIMEDATE>* time);
    std::vector<BYTE>* Base64Target(Kind kind);
    void StartValueOfType(WORD type);
    long Line() const;
    bool Fail(STATUS status, long line, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void Stop();
    bool Stopped() const;

    DxlSource* source_;
    const std::string& name_;
    DxlFailure* failure_;
    const std::function<bool(DxlNote&)>& handler_;
    xmlParserCtxtPtr parser_ = nullptr;
    bool failed_ = false;
    bool sawRoot_ = false;
    std::string firstXmlError_;   // the first error libxml2 reports (later ones are mostly consequences)
    bool textStopped_ = false;    // it came where the input layer stopped giving the parser text
    std::string encoding_;        // the encoding declared, when the parser switched to it
    std::string inputError_;      // the first error of the input layer

    std::vector<Frame> frames_;
    int skipDepth_ = 0;           // > 0 inside an element whose content is not read

    // The note being read, and its item.
    DxlNote note_;
    bool sharedField_ = false;
    std::string sharedFieldName_;
    bool hasNoteInfo_ = false;
    DxlItem item_;
    std::string itemName_;        // as written, for messages

    // The text of the element being gathered, and base64 being decoded.
    std::string text_;
    Base64Decoder base64_;
    // Lists: the entries of a text list (LMBCS); the numbers, dates and
    // pairs of the others, in stored form, and their counts.
    std::vector<std::vector<BYTE>> entries_;
    std::vector<BYTE> listValues_, listPairs_;
    WORD listCount_ = 0, pairCount_ = 0;
    // The attachment being read.
    std::unique_ptr<DxlFile> file_;
    std::optional<std::string> fileSize_, fileName_;
    bool fileHasData_ = false;
    std::optional<TIMEDATE> heldTime_;   // a FileDate's time
};

Reader& Reader::Of(void* context) {
    return *static_cast<Reader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

long Reader::Line() const { return parser_ != nullptr && parser_->input != nullptr ? parser_->input->line : 0; }

bool Reader::Fail(STATUS status, long line, const char* format, ...) {
    char what[512];
    va_list args;
    va_start(args, format);
    plat::FormatTextV(what, sizeof what, format, args);
    va_end(args);
    failure_->Set(status, name_, line, what);
    Stop();
    return false;
}

// Whether what libxml2 still hands over is passed over: after the reader
// failed, and after the text was found not well-formed, when libxml2 may
// still hand over what it made of the text after the error (the pieces of
// a name too long, as text): the first error is the one reported.
bool Reader::Stopped() const { return failed_ || parser_->wellFormed == 0; }

// Ends the parse: libxml2 makes no further calls.
void Reader::Stop() {
    failed_ = true;
    xmlStopParser(parser_);
}

// ---- libxml2's calls --------------------------------------------------------

void Reader::OnStart(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**,
                     int attributeCount, int defaultedCount, const xmlChar** attributes) {
    Reader& reader = Of(context);
    if (reader.Stopped()) return;
    reader.Start(reinterpret_cast<const char*>(localName), Attributes{attributes, attributeCount - defaultedCount});
}

void Reader::OnEnd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Reader& reader = Of(context);
    if (!reader.Stopped()) reader.End();
}

void Reader::OnCharacters(void* context, const xmlChar* text, int length) {
    Reader& reader = Of(context);
    if (reader.Stopped() || reader.skipDepth_ > 0 || reader.frames_.empty() || length <= 0) return;
    reader.Characters(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
}

// A reference to an entity that is not expanded: refused where text is read,
// passed over where it is not (as any text is there).
void Reader::OnReference(void* context, const xmlChar* name) {
    Reader& reader = Of(context);
    if (reader.Stopped() || reader.skipDepth_ > 0 || reader.frames_.empty()) return;
    const Kind kind = reader.frames_.back().kind;
    if (GathersText(kind) || DecodesBase64(kind)) {
        reader.Fail(ERR_DXL_VALUE, reader.Line(), "entity references are not supported (&%s;)",
                    DxlQuote(reinterpret_cast<const char*>(name)).c_str());
    }
}

void Reader::OnEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    Reader& reader = Of(context);
    if (!reader.Stopped()) reader.Fail(ERR_DXL_XML, reader.Line(), "entity declarations are not supported");
}

void Reader::OnUnparsedEntityDeclaration(void* context, const xmlChar* name, const xmlChar*, const xmlChar*,
                                         const xmlChar*) {
    OnEntityDeclaration(context, name, 0, nullptr, nullptr, nullptr);
}

// libxml2 tells the limits it keeps to (nesting, the length of a tag) in
// terms of its own options and workings, which the reader's callers cannot
// set or see: they are told what the text does instead.
std::string LimitText(std::string message) {
    if (message.rfind("Excessive depth in document", 0) == 0) {
        return "elements are nested more than " + std::to_string(xmlParserMaxDepth) + " deep";
    }
    if (message.find("Huge input lookup") != std::string::npos) {
        return "a piece of markup (a tag with its attributes) is longer than " +
               std::to_string(XML_MAX_LOOKUP_LIMIT) + " bytes";
    }
    const std::string option = " use XML_PARSE_HUGE option";
    const size_t at = message.find(option);
    if (at != std::string::npos) message.erase(at, option.size());
    return message;
}

// The first error of the parse is kept for the message. Errors of the input
// layer (bytes that are not in the declared encoding, a conversion that
// fails) come apart from the parser's, with no line: the first is kept on
// its own, and so is whether the parser's first error came where the text
// it was given ran out, as it does when the input layer stops converting.
void Reader::OnError(void* context, xmlErrorPtr error) {
    Reader& reader = Of(context);
    if (error == nullptr || error->level < XML_ERR_ERROR) return;
    std::string message = error->message != nullptr ? error->message : "unknown error";
    while (!message.empty() && DxlIsSpace(message.back())) message.pop_back();
    if (error->domain == XML_FROM_I18N || error->domain == XML_FROM_IO) {
        if (reader.inputError_.empty()) reader.inputError_ = message;
        return;
    }
    if (!reader.firstXmlError_.empty()) return;
    reader.firstXmlError_ = std::to_string(error->line) + ": not well-formed XML: " + LimitText(message);
    const xmlParserInputPtr input = reader.parser_ != nullptr ? reader.parser_->input : nullptr;
    if (input == nullptr || input->cur == nullptr || input->cur < input->end) return;
    // The text ran out: bytes the input layer did not convert remain, or
    // were never read.
    const xmlParserInputBufferPtr buffer = input->buf;
    const bool unconverted = buffer != nullptr && buffer->encoder != nullptr && buffer->raw != nullptr &&
                             xmlBufUse(buffer->raw) > 0;
    reader.textStopped_ = unconverted || !reader.source_->drained;
    if (input->encoding != nullptr) reader.encoding_ = reinterpret_cast<const char*>(input->encoding);
}

// A CR that no LF follows ends a line, as a LF does; libxml2 reads it as a
// line feed but counts only LFs as the ends of lines, so that its lines (and
// the reader's messages) would not move on in a file whose lines end in CR:
// each such CR of a piece is given as the LF it stands for. A CR at the end
// of the piece is given as a LF too, and a LF that comes next is passed
// over. A CR LF stays as it is.
void EndLinesAtCr(DxlSource* source, char* piece, size_t length) {
    for (char* cr = piece; (cr = static_cast<char*>(std::memchr(cr, '\r', piece + length - cr))) != nullptr; ++cr) {
        if (cr + 1 < piece + length) {
            if (cr[1] != '\n') *cr = '\n';
        } else if (source->left > 0) {
            if (*source->text != '\n') *cr = '\n';
        } else {
            *cr = '\n';
            source->lineFeedAfterCr = true;
        }
    }
}

// Gives libxml2 the next piece of the text; a file is read a buffer at a
// time (libxml2 asks for a few kilobytes at a time).
int Reader::ReadSource(void* context, char* buffer, int length) {
    auto* source = static_cast<DxlSource*>(context);
    if (length <= 0) return 0;
    for (;;) {
        if (source->left == 0 && source->file >= 0) {
            ssize_t got = 0;
            do {
                got = ::read(source->file, source->buffer.get(), source->bufferSize);
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                source->readError = errno;
                return -1;
            }
            source->text = source->buffer.get();
            source->left = static_cast<size_t>(got);
        }
        // The line feed of a CR LF whose CR ended the last piece (and was
        // given as a line feed) is passed over.
        if (!source->lineFeedAfterCr || source->left == 0) break;
        source->lineFeedAfterCr = false;
        if (*source->text != '\n') break;
        ++source->text;
        --source->left;
    }
    const size_t count = std::min(source->left, static_cast<size_t>(length));
    if (count == 0) source->drained = true;
    if (!source->tags.Scan(source->text, count)) {
        source->tooManyAttributes = true;
        return -1;
    }
    if (count > 0) std::memcpy(buffer, source->text, count);
    source->text += count;
    source->left -= count;
    if (source->tags.ByteWide()) EndLinesAtCr(source, buffer, count);
    return static_cast<int>(count);
}

bool Reader::Read() {
    xmlInitParser();
    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = OnStart;
    handler.endElementNs = OnEnd;
    handler.characters = OnCharacters;
    handler.ignorableWhitespace = OnCharacters;
    handler.cdataBlock = OnCharacters;
    handler.reference = OnReference;
    handler.entityDecl = OnEntityDeclaration;
    handler.unparsedEntityDecl = OnUnparsedEntityDeclaration;
    handler.serror = OnError;
    parser_ = xmlCreateIOParserCtxt(&handler, nullptr, ReadSource, nullptr, source_, XML_CHAR_ENCODING_NONE);
    if (parser_ == nullptr) return failure_->Set(ERR_NO_MEMORY, name_, 0, "out of memory");
    parser_->_private = this;
    xmlCtxtUseOptions(parser_, kParseOptions);
    // The input layer's errors go to the thread's error handler, not the
    // parser's: for the parse that is the reader's too (else libxml2 would
    // print them on the process's standard error), then it is put back.
    const xmlStructuredErrorFunc previousHandler = xmlStructuredError;
    void* const previousContext = xmlStructuredErrorContext;
    xmlSetStructuredErrorFunc(parser_, OnError);
    xmlParseDocument(parser_);
    xmlSetStructuredErrorFunc(previousContext, previousHandler);
    const bool wellFormed = parser_->wellFormed != 0;
    if (!failed_ && source_->readError != 0) {
        failure_->status = ERR_DXL_FILE;
        failure_->message = name_ + ": cannot read the file: " + std::strerror(source_->readError);
        failed_ = true;
    }
    if (!failed_ && source_->tooManyAttributes) {
        failure_->status = ERR_DXL_XML;
        failure_->message = name_ + ":" + std::to_string(source_->tags.line()) + ": a tag holds more than " +
                            std::to_string(TagScanner::kMostAttributes) + " attributes";
        failed_ = true;
    }
    const bool inputStopped = textStopped_ || (firstXmlError_.empty() && !inputError_.empty());
    if (!failed_ && !wellFormed && inputStopped) {
        // The parse stopped where the input layer could no longer convert
        // the text (it gives the parser no more, and may say why in an error
        // of its own): that is what is wrong, at the line the text stops.
        failure_->status = ERR_DXL_XML;
        failure_->message = name_ + ":" + std::to_string(Line()) + ": the text is not in its declared encoding" +
                            (encoding_.empty() ? "" : " (" + DxlQuote(encoding_) + ")") +
                            (inputError_.empty() ? "" : ": " + inputError_);
        failed_ = true;
    }
    if (!failed_ && (!wellFormed || !frames_.empty())) {
        if (firstXmlError_.empty()) {
            const xmlError* last = xmlCtxtGetLastError(parser_);
            if (last != nullptr && last->message != nullptr) {
                firstXmlError_ = std::to_string(last->line) +
                                 ": not well-formed XML: " + LimitText(std::string(DxlTrim(last->message)));
            }
        }
        failure_->status = ERR_DXL_XML;
        failure_->message =
            name_ + ":" + (firstXmlError_.empty() ? std::string("0: not well-formed XML") : firstXmlError_);
        failed_ = true;
    }
    if (!failed_ && !sawRoot_) Fail(ERR_DXL_XML, 0, "the DXL has no root element");
    // An entity declaration makes the parser keep a document of its own (to
    // hold the entities) even though the reader builds none: it is the
    // reader's to free, the context does not.
    if (parser_->myDoc != nullptr) {
        xmlFreeDoc(parser_->myDoc);
        parser_->myDoc = nullptr;
    }
    xmlFreeParserCtxt(parser_);
    parser_ = nullptr;
    return !failed_;
}

// ---- Elements ---------------------------------------------------------------

void Reader::Start(const char* name, Attributes attributes) {
    if (skipDepth_ > 0) {
        ++skipDepth_;
        return;
    }
    Frame frame{Kind::Database, name, Line()};
    bool ok = false;
    if (frames_.empty()) {
        sawRoot_ = true;
        ok = StartRoot(name, attributes, &frame);
    } else {
        Frame& parent = frames_.back();
        ++parent.elements;
        ok = StartChild(parent, name, attributes, &frame);
    }
    if (!ok || skipDepth_ > 0) return;
    frames_.push_back(frame);
}

void Reader::End() {
    if (skipDepth_ > 0) {
        --skipDepth_;
        return;
    }
    if (frames_.empty()) return;
    const Frame frame = frames_.back();
    frames_.pop_back();
    EndElement(frame, frames_.empty() ? nullptr : &frames_.back());
}

void Reader::Characters(std::string_view text) {
    const Frame& frame = frames_.back();
    if (GathersText(frame.kind)) {
        text_.append(text);
    } else if (DecodesBase64(frame.kind)) {
        std::vector<BYTE>* target = Base64Target(frame.kind);
        std::string why;
        if (!base64_.Feed(text, target, &why)) {
            Fail(ERR_DXL_VALUE, frame.line, "%s in <%s>", why.c_str(), frame.name);
        } else if (target->size() > kLargestValue) {
            Fail(ERR_ITEM_TOO_LARGE, frame.line, "<%s> holds more than %zu bytes", frame.name, kLargestValue);
        }
    } else if (frame.kind == Kind::Break) {
        // Text written in a <break> would be lost.
        if (!DxlTrim(text).empty()) {
            Fail(ERR_DXL_VALUE, Line(), "text '%s' in <break>, which holds nothing",
                 DxlQuote(DxlTrim(text)).c_str());
        }
    } else if (!DxlTrim(text).empty()) {
        // Between elements only whitespace belongs: a value written there
        // (a number straight in a <numberlist>, a word beside an item's
        // value) would be lost.
        Fail(ERR_DXL_VALUE, Line(), "text '%s' in <%s>, where only elements belong",
             DxlQuote(DxlTrim(text)).c_str(), frame.name);
    }
}

bool Reader::UnknownChild(const char* name, const Frame& parent) {
    return Fail(ERR_DXL_ELEMENT, Line(), "unknown element <%s> in <%s>", DxlQuote(name).c_str(), parent.name);
}

bool Reader::StartRoot(const char* name, Attributes attributes, Frame* frame) {
    if (Is(name, "note") || Is(name, "document")) return StartNote(name, attributes, false, frame);
    if (Is(name, "sharedfield")) return StartNote(name, attributes, true, frame);
    if (!Is(name, "database")) {
        return Fail(ERR_DXL_ELEMENT, Line(), "%s: the root element <%s> is not <note>, <document> or <database>",
                    kBinaryOnly, DxlQuote(name).c_str());
    }
    frame->kind = Kind::Database;
    return true;
}

bool Reader::StartChild(Frame& parent, const char* name, Attributes attributes, Frame* frame) {
    switch (parent.kind) {
    case Kind::Database:
        if (Is(name, "note") || Is(name, "document")) return StartNote(name, attributes, false, frame);
        if (Is(name, "sharedfield")) return StartNote(name, attributes, true, frame);
        return Fail(ERR_DXL_ELEMENT, Line(), "%s: <%s> in <database> is not a <note> or <document>", kBinaryOnly,
                    DxlQuote(name).c_str());
    case Kind::Note:
        if (Is(name, "item")) return StartItem(attributes, frame);
        if (Is(name, "noteinfo")) {
            if (hasNoteInfo_) return Fail(ERR_DXL_VALUE, Line(), "more than one <noteinfo>");
            hasNoteInfo_ = true;
            return StartNoteInfo(attributes, frame);
        }
        if (sharedField_ && Is(name, "field")) {
            // The field's description in non-binary form; the binary items
            // carry what the database stores.
            std::optional<std::string> fieldName;
            if (!Attribute(attributes, name, "name", &fieldName)) return false;
            LogLine(0, "%s:%ld: the <field> description of shared field '%s' is not imported", name_.c_str(), Line(),
                    DxlQuote(fieldName.value_or("")).c_str());
            skipDepth_ = 1;
            return true;
        }
        for (const char* skipped : kSkippedNoteElements) {
            if (Is(name, skipped)) {
                skipDepth_ = 1;
                return true;
            }
        }
        return UnknownChild(name, parent);
    case Kind::NoteInfo:
        for (const NoteDate& date : kNoteDates) {
            if (!Is(name, date.name)) continue;
            frame->kind = Kind::NoteDate;
            frame->date = date.date;
            return true;
        }
        return UnknownChild(name, parent);
    case Kind::NoteDate:
    case Kind::FileDate:
        if (!Is(name, "datetime")) return UnknownChild(name, parent);
        if (parent.elements > 1) return Fail(ERR_DXL_VALUE, Line(), "more than one <datetime> in <%s>", parent.name);
        return StartDateTime(Kind::HeldDateTime, attributes, frame);
    case Kind::Item:
        if (parent.elements > 1) {
            return Fail(ERR_DXL_VALUE, Line(), "item '%s' has more than one value", DxlQuote(itemName_).c_str());
        }
        return StartValue(name, attributes, frame);
    case Kind::Text:
        if (!Is(name, "break")) return UnknownChild(name, parent);
        text_.push_back('\0');   // a line break: 0x00 in the stored text
        frame->kind = Kind::Break;
        return true;
    case Kind::TextList:
        if (!Is(name, "text")) return UnknownChild(name, parent);
        frame->kind = Kind::Text;
        text_.clear();
        return true;
    case Kind::NumberList:
        if (!Is(name, "number")) return UnknownChild(name, parent);
        if (listCount_ == 0xFFFF) return Fail(ERR_DXL_VALUE, Line(), "number list has too many entries");
        frame->kind = Kind::Number;
        text_.clear();
        return true;
    case Kind::DateTimeList:
        if (Is(name, "datetime")) {
            if (listCount_ == 0xFFFF) return Fail(ERR_DXL_VALUE, Line(), "date list has too many entries");
            return StartDateTime(Kind::DateTime, attributes, frame);
        }
        if (Is(name, "datetimepair")) {
            if (pairCount_ == 0xFFFF) return Fail(ERR_DXL_VALUE, Line(), "date list has too many entries");
            frame->kind = Kind::DateTimePair;
            return true;
        }
        return UnknownChild(name, parent);
    case Kind::DateTimePair:
        if (parent.elements > 2) return Fail(ERR_DXL_VALUE, Line(), "<datetimepair> has more than two dates");
        if (!Is(name, "datetime")) {
            return Fail(ERR_DXL_ELEMENT, Line(), "unknown element <%s> where a <datetime> belongs",
                        DxlQuote(name).c_str());
        }
        return StartDateTime(Kind::DateTime, attributes, frame);
    case Kind::Object:
        if (!Is(name, "file")) return UnknownChild(name, parent);
        if (parent.elements > 1) return Fail(ERR_DXL_VALUE, Line(), "more than one <file> in <object>");
        return StartFile(attributes, frame);
    case Kind::File:
        if (Is(name, "created") || Is(name, "modified")) {
            frame->kind = Kind::FileDate;
            heldTime_.reset();
            return true;
        }
        if (Is(name, "filedata")) {
            if (fileHasData_) return Fail(ERR_DXL_VALUE, Line(), "more than one <filedata> in <file>");
            fileHasData_ = true;
            frame->kind = Kind::FileData;
            base64_ = Base64Decoder();
            return true;
        }
        return UnknownChild(name, parent);
    default:
        // Elements whose content is text or base64 hold no elements.
        return UnknownChild(name, parent);
    }
}

// A <note>, <document> or <sharedfield> element.
bool Reader::StartNote(const char* name, Attributes attributes, bool sharedField, Frame* frame) {
    frame->kind = Kind::Note;
    note_ = DxlNote();
    note_.line = frame->line;
    sharedField_ = sharedField;
    hasNoteInfo_ = false;
    if (sharedField) {
        std::optional<std::string> fieldName;
        if (!Attribute(attributes, name, "name", &fieldName)) return false;
        if (!fieldName || fieldName->empty()) return Fail(ERR_DXL_VALUE, frame->line, "<sharedfield> has no name");
        note_.noteClass = NOTE_CLASS_FIELD;
        sharedFieldName_ = std::move(*fieldName);
    } else if (Is(name, "note")) {
        std::optional<std::string> noteClass;
        bool isDefault = false;
        if (!Attribute(attributes, name, "class", &noteClass) ||
            !BoolAttribute(attributes, name, "default", &isDefault)) {
            return false;
        }
        if (!noteClass) return Fail(ERR_DXL_VALUE, frame->line, "<note> has no class");
        const NameValue* entry = Lookup(kNoteClasses, *noteClass);
        if (entry == nullptr) {
            return Fail(ERR_DXL_VALUE, frame->line, "unknown note class '%s'", DxlQuote(*noteClass).c_str());
        }
        note_.noteClass = static_cast<WORD>(entry->value | (isDefault ? NOTE_CLASS_DEFAULT : 0));
    }
    return true;
}

bool Reader::StartNoteInfo(Attributes attributes, Frame* frame) {
    frame->kind = Kind::NoteInfo;
    std::optional<std::string> unid, sequence;
    if (!Attribute(attributes, "noteinfo", "unid", &unid) ||
        !Attribute(attributes, "noteinfo", "sequence", &sequence)) {
        return false;
    }
    if (unid) {
        UNID value;
        unsigned long long part[4] = {0, 0, 0, 0};
        bool ok = unid->size() == 32;
        for (int i = 0; ok && i < 4; ++i) ok = DxlParseHex(std::string_view(*unid).substr(i * 8, 8), 8, &part[i]);
        if (!ok) {
            return Fail(ERR_DXL_VALUE, frame->line, "unid '%s' is not 32 hexadecimal digits", DxlQuote(*unid).c_str());
        }
        value.File.Innards[1] = static_cast<DWORD>(part[0]);
        value.File.Innards[0] = static_cast<DWORD>(part[1]);
        value.Note.Innards[1] = static_cast<DWORD>(part[2]);
        value.Note.Innards[0] = static_cast<DWORD>(part[3]);
        note_.unid = value;
    }
    if (sequence) {
        DWORD value = 0;
        if (!DxlParseDword(*sequence, &value)) {
            return Fail(ERR_DXL_VALUE, frame->line, "sequence '%s' is not a number", DxlQuote(*sequence).c_str());
        }
        note_.sequence = value;
    }
    return true;
}

bool Reader::StartItem(Attributes attributes, Frame* frame) {
    frame->kind = Kind::Item;
    item_ = DxlItem();
    item_.line = frame->line;
    std::optional<std::string> name;
    if (!Attribute(attributes, "item", "name", &name)) return false;
    if (!name || name->empty()) return Fail(ERR_DXL_VALUE, frame->line, "<item> has no name");
    itemName_ = std::move(*name);
    item_.name = NativeToLmbcs(itemName_);
    if (item_.name.size() > 0xFFFF) {
        return Fail(ERR_DXL_VALUE, frame->line, "item name '%s' is too long", DxlQuote(itemName_).c_str());
    }
    for (const auto& flag : kItemFlags) {
        bool set = false;
        if (!BoolAttribute(attributes, "item", flag.name, &set)) return false;
        if (set) item_.flags |= flag.value;
    }
    return true;
}

void Reader::StartValueOfType(WORD type) {
    item_.value.clear();
    DxlAppendWord(&item_.value, type);
    text_.clear();
    listCount_ = 0;
    pairCount_ = 0;
    entries_.clear();
    listValues_.clear();
    listPairs_.clear();
}

// The one value element of an <item>.
bool Reader::StartValue(const char* name, Attributes attributes, Frame* frame) {
    if (Is(name, "rawitemdata")) {
        std::optional<std::string> type;
        if (!Attribute(attributes, name, "type", &type)) return false;
        unsigned long long value = 0;
        if (!type || !DxlParseHex(DxlTrim(*type), 4, &value)) {
            return Fail(ERR_DXL_VALUE, Line(), "rawitemdata type '%s' is not a data type (1 to 4 hexadecimal digits)",
                        DxlQuote(type.value_or("")).c_str());
        }
        StartValueOfType(static_cast<WORD>(value));
        frame->kind = Kind::RawItemData;
        base64_ = Base64Decoder();
        return true;
    }
    struct Value {
        const char* name;
        WORD type;
        Kind kind;
    };
    static const Value kValues[] = {
        {"text", TYPE_TEXT, Kind::Text},
        {"textlist", TYPE_TEXT_LIST, Kind::TextList},
        {"number", TYPE_NUMBER, Kind::Number},
        {"numberlist", TYPE_NUMBER_RANGE, Kind::NumberList},
        {"datetime", TYPE_TIME, Kind::DateTime},
        {"datetimelist", TYPE_TIME_RANGE, Kind::DateTimeList},
        {"formula", TYPE_FORMULA, Kind::Formula},
        {"object", TYPE_OBJECT, Kind::Object},
    };
    for (const Value& each : kValues) {
        if (!Is(name, each.name)) continue;
        StartValueOfType(each.type);
        frame->kind = each.kind;
        if (each.kind == Kind::DateTime) return StartDateTime(Kind::DateTime, attributes, frame);
        if (each.kind == Kind::Formula) {
            // Compiled: base64 bytes kept as they are; else the source.
            bool compiled = false;
            if (!BoolAttribute(attributes, name, "compiled", &compiled)) return false;
            if (compiled) {
                frame->kind = Kind::CompiledFormula;
                base64_ = Base64Decoder();
            }
        }
        return true;
    }
    if (Is(name, "richtext")) return Fail(ERR_DXL_ELEMENT, Line(), "%s: an item holds <richtext>", kBinaryOnly);
    return Fail(ERR_DXL_ELEMENT, Line(), "unknown element <%s> in <item>", DxlQuote(name).c_str());
}

bool Reader::StartDateTime(Kind kind, Attributes attributes, Frame* frame) {
    frame->kind = kind;
    text_.clear();
    return BoolAttribute(attributes, "datetime", "dst", &frame->dst);
}

// <object><file ...>: an attachment.
bool Reader::StartFile(Attributes attributes, Frame* frame) {
    frame->kind = Kind::File;
    file_ = std::make_unique<DxlFile>();
    fileHasData_ = false;
    std::optional<std::string> hostType, compression, flags;
    if (!Attribute(attributes, "file", "name", &fileName_) || !Attribute(attributes, "file", "hosttype", &hostType) ||
        !Attribute(attributes, "file", "compression", &compression) ||
        !Attribute(attributes, "file", "flags", &flags) || !Attribute(attributes, "file", "size", &fileSize_)) {
        return false;
    }
    const long line = frame->line;
    if (!fileName_ || fileName_->empty()) return Fail(ERR_DXL_VALUE, line, "<file> has no name");
    file_->name = NativeToLmbcs(*fileName_);
    if (file_->name.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, line, "file name is too long");
    file_->header.FileNameLength = static_cast<WORD>(file_->name.size());
    if (hostType) {
        const NameValue* entry = Lookup(kHostTypes, *hostType);
        if (entry == nullptr) return Fail(ERR_DXL_VALUE, line, "unknown hosttype '%s'", DxlQuote(*hostType).c_str());
        file_->header.HostType = entry->value;
    }
    if (compression) {
        const NameValue* entry = Lookup(kCompressions, *compression);
        if (entry == nullptr) {
            return Fail(ERR_DXL_VALUE, line, "unknown compression '%s'", DxlQuote(*compression).c_str());
        }
        file_->header.CompressionType = entry->value;
    }
    if (flags) {
        std::string_view rest = *flags;
        while (!(rest = DxlTrim(rest)).empty()) {
            size_t end = 0;
            while (end < rest.size() && !DxlIsSpace(rest[end])) ++end;
            const NameValue* entry = Lookup(kFileFlags, rest.substr(0, end));
            if (entry == nullptr) {
                return Fail(ERR_DXL_VALUE, line, "unknown file flag '%s'", DxlQuote(rest.substr(0, end)).c_str());
            }
            file_->header.Flags |= entry->value;
            rest.remove_prefix(end);
        }
    }
    return true;
}

bool Reader::EndElement(const Frame& frame, const Frame* parent) {
    switch (frame.kind) {
    case Kind::Note:
        return EndNote();
    case Kind::NoteDate:
    case Kind::FileDate:
        if (frame.elements == 0) return Fail(ERR_DXL_VALUE, frame.line, "<%s> has no <datetime>", frame.name);
        if (frame.kind == Kind::FileDate && heldTime_) {
            (Is(frame.name, "created") ? file_->header.FileCreated : file_->header.FileModified) = *heldTime_;
        }
        return true;
    case Kind::HeldDateTime:
    case Kind::DateTime:
        return EndDateTime(frame, *parent);
    case Kind::Item:
        if (frame.elements == 0) {
            return Fail(ERR_DXL_VALUE, frame.line, "item '%s' has no value", DxlQuote(itemName_).c_str());
        }
        note_.items.push_back(std::move(item_));
        return true;
    case Kind::RawItemData:
    case Kind::CompiledFormula:
    case Kind::FileData:
        return EndBase64(frame);
    case Kind::Text:
        if (parent->kind == Kind::Item) {
            DxlAppendLmbcs(text_, &item_.value);
            return true;
        }
        entries_.emplace_back();
        DxlAppendLmbcs(text_, &entries_.back());
        if (entries_.back().size() > 0xFFFF) return Fail(ERR_DXL_VALUE, frame.line, "text list entry is too long");
        if (entries_.size() > 0xFFFF) return Fail(ERR_DXL_VALUE, frame.line, "text list has too many entries");
        return true;
    case Kind::TextList:
        // TEXT_LIST: WORD count, a WORD length per entry, then the entries.
        DxlAppendWord(&item_.value, static_cast<WORD>(entries_.size()));
        for (const auto& entry : entries_) DxlAppendWord(&item_.value, static_cast<WORD>(entry.size()));
        for (const auto& entry : entries_) DxlAppendBytes(&item_.value, entry.data(), entry.size());
        return true;
    case Kind::Number: {
        double number = 0;
        if (!DxlParseNumber(text_, &number)) {
            return Fail(ERR_DXL_VALUE, frame.line, "'%s' is not a number", DxlQuote(text_).c_str());
        }
        if (parent->kind == Kind::Item) {
            DxlAppendNumber(&item_.value, number);
        } else {
            DxlAppendNumber(&listValues_, number);
            ++listCount_;
        }
        return true;
    }
    case Kind::NumberList:
        // NUMBER_RANGE: RANGE (count, 0 pairs), then the numbers.
        DxlAppendWord(&item_.value, listCount_);
        DxlAppendWord(&item_.value, 0);
        DxlAppendBytes(&item_.value, listValues_.data(), listValues_.size());
        return true;
    case Kind::DateTimePair:
        if (frame.elements != 2) return Fail(ERR_DXL_VALUE, frame.line, "<datetimepair> needs two dates");
        ++pairCount_;
        return true;
    case Kind::DateTimeList:
        // TIME_RANGE: RANGE (count, pairs), the times, then the pairs.
        DxlAppendWord(&item_.value, listCount_);
        DxlAppendWord(&item_.value, pairCount_);
        DxlAppendBytes(&item_.value, listValues_.data(), listValues_.size());
        DxlAppendBytes(&item_.value, listPairs_.data(), listPairs_.size());
        return true;
    case Kind::Formula: {
        // The source in the platform's container.
        const std::string source = NativeToLmbcs(text_);
        if (source.size() > 0xFFFF) {
            return Fail(ERR_DXL_VALUE, frame.line, "formula is too long (%zu bytes)", source.size());
        }
        const std::string container = FormulaContainerEncode(source);
        DxlAppendBytes(&item_.value, container.data(), container.size());
        return true;
    }
    case Kind::Object:
        if (frame.elements == 0) return Fail(ERR_DXL_VALUE, frame.line, "<object> has no <file>");
        item_.file = std::move(file_);
        return true;
    case Kind::File:
        return EndFile(frame);
    default:
        return true;
    }
}

bool Reader::EndDateTime(const Frame& frame, const Frame& parent) {
    std::optional<TIMEDATE> time;
    if (!ParseTime(frame, frame.kind == Kind::HeldDateTime, &time)) return false;
    switch (parent.kind) {
    case Kind::NoteDate: note_.*parent.date = time; break;
    case Kind::FileDate: heldTime_ = time; break;
    case Kind::Item: DxlAppendTime(&item_.value, *time); break;
    case Kind::DateTimeList:
        DxlAppendTime(&listValues_, *time);
        ++listCount_;
        break;
    default: DxlAppendTime(&listPairs_, *time); break;   // an end of a <datetimepair>
    }
    return true;
}

bool Reader::EndBase64(const Frame& frame) {
    std::string why;
    if (!base64_.End(&why)) return Fail(ERR_DXL_VALUE, frame.line, "%s in <%s>", why.c_str(), frame.name);
    return true;
}

bool Reader::EndFile(const Frame& frame) {
    if (!fileHasData_) return Fail(ERR_DXL_VALUE, frame.line, "<file> has no <filedata>");
    file_->header.FileSize = static_cast<DWORD>(file_->bytes.size());
    if (fileSize_) {
        DWORD declared = 0;
        if (!DxlParseDword(*fileSize_, &declared)) {
            return Fail(ERR_DXL_VALUE, frame.line, "file size '%s' is not a number", DxlQuote(*fileSize_).c_str());
        }
        if (declared != file_->bytes.size()) {
            return Fail(ERR_DXL_VALUE, frame.line, "file '%s' has size %u but its data holds %zu bytes",
                        DxlQuote(fileName_.value_or("")).c_str(), static_cast<unsigned>(declared), file_->bytes.size());
        }
    }
    return true;
}

// The note ends: a shared field is named by its $TITLE, made from its name
// attribute unless it brings a $TITLE item of its own; then the note goes
// to the handler.
bool Reader::EndNote() {
    if (sharedField_) {
        bool hasTitle = false;
        for (const auto& item : note_.items)
            hasTitle = hasTitle || plat::CompareNoCase(item.name.c_str(), "$TITLE") == 0;
        if (!hasTitle) {
            DxlItem title;
            title.name = "$TITLE";
            DxlAppendWord(&title.value, TYPE_TEXT);
            const std::string name = NativeToLmbcs(sharedFieldName_);
            DxlAppendBytes(&title.value, name.data(), name.size());
            title.line = note_.line;
            note_.items.insert(note_.items.begin(), std::move(title));
        }
    }
    if (!handler_(note_)) {
        Stop();
        return false;
    }
    note_ = DxlNote();
    return true;
}

// ---- Pieces -----------------------------------------------------------------

std::vector<BYTE>* Reader::Base64Target(Kind kind) { return kind == Kind::FileData ? &file_->bytes : &item_.value; }

// An attribute written in the start tag (not a default a DTD declares).
// libxml2 leaves an ampersand of the text as "&#38;" for the reader to
// turn back; a reference to an entity is refused.
bool Reader::Attribute(Attributes attributes, const char* element, const char* name,
                       std::optional<std::string>* value) {
    value->reset();
    for (int i = 0; i < attributes.count; ++i) {
        const xmlChar* const* attribute = attributes.list + 5 * i;
        if (!Is(reinterpret_cast<const char*>(attribute[0]), name)) continue;
        std::string_view raw(reinterpret_cast<const char*>(attribute[3]),
                             static_cast<size_t>(attribute[4] - attribute[3]));
        std::string text;
        text.reserve(raw.size());
        for (size_t at = 0; at < raw.size(); ++at) {
            if (raw[at] != '&') {
                text.push_back(raw[at]);
            } else if (raw.substr(at, 5) == "&#38;") {
                text.push_back('&');
                at += 4;
            } else {
                return Fail(ERR_DXL_VALUE, Line(), "entity references are not supported (attribute '%s' of <%s>)", name,
                            element);
            }
        }
        *value = std::move(text);
        return true;
    }
    return true;
}

bool Reader::BoolAttribute(Attributes attributes, const char* element, const char* name, bool* value) {
    std::optional<std::string> text;
    if (!Attribute(attributes, element, name, &text)) return false;
    *value = false;
    if (!text) return true;
    if (*text == "true") {
        *value = true;
    } else if (*text != "false") {
        return Fail(ERR_DXL_VALUE, Line(), "attribute %s='%s' of <%s> is neither 'true' nor 'false'", name,
                    DxlQuote(*text).c_str(), element);
    }
    return true;
}

// The time of a <datetime> element whose text was gathered. An empty one
// means "no time": *time stays unset when emptyAllowed, and is an error
// otherwise.
bool Reader::ParseTime(const Frame& frame, bool emptyAllowed, std::optional<TIMEDATE>* time) {
    time->reset();
    const std::string trimmed(DxlTrim(text_));
    if (trimmed.empty()) {
        if (emptyAllowed) return true;
        return Fail(ERR_DXL_VALUE, frame.line, "empty <datetime>");
    }
    TIMEDATE value;
    if (trimmed.size() > 64 || TimeFromExchangeText(trimmed.c_str(), frame.dst, &value) != NOERROR) {
        return Fail(ERR_DXL_VALUE, frame.line, "'%s' is not a valid date and time", DxlQuote(trimmed).c_str());
    }
    *time = value;
    return true;
}

} // namespace

bool TagScanner::Scan(const char* text, size_t length) {
    size_t i = 0;
    if (width_ == Width::Unknown) {
        if (length == 0) return true;
        if (pending_ < 0) {
            pending_ = static_cast<unsigned char>(text[i++]);
            if (i == length) return true;
        }
        const int first = pending_, second = static_cast<unsigned char>(text[i]);
        if ((first == 0xFF && second == 0xFE) || (first == '<' && second == 0)) {
            width_ = Width::Utf16Little;
        } else if ((first == 0xFE && second == 0xFF) || (first == 0 && second == '<')) {
            width_ = Width::Utf16Big;
        } else {
            width_ = first == 0 && second == 0 ? Width::Utf32Big : Width::Bytes;
            pending_ = -1;
            if (!Step(static_cast<char>(first))) return false;
        }
    }
    if (width_ == Width::Bytes || width_ == Width::Utf32Big) {
        for (; i < length; ++i) {
            if (!Step(text[i])) return false;
        }
        return true;
    }
    for (; i < length; ++i) {
        const int byte = static_cast<unsigned char>(text[i]);
        if (pending_ < 0) {
            pending_ = byte;
            continue;
        }
        const int unit = width_ == Width::Utf16Little ? (pending_ | byte << 8) : (pending_ << 8 | byte);
        pending_ = -1;
        if (!Step(unit < 0x80 ? static_cast<char>(unit) : '\x80')) return false;
    }
    return true;
}

bool TagScanner::Step(char c) {
    // The marks that end the stretches passed over.
    static constexpr std::string_view kCommentStart = "--", kCommentEnd = "-->", kCdataStart = "[CDATA[",
                                      kCdataEnd = "]]>";
    // A line ends in LF, CR LF or CR.
    if (c == '\r' || (c == '\n' && !afterCr_)) ++line_;
    afterCr_ = c == '\r';
    switch (state_) {
    case State::Text:
        if (c == '<') state_ = State::Open;
        break;
    case State::Open:
        if (c == '!') {
            state_ = State::Bang;
            matched_ = 0;
        } else if (c == '?') {
            state_ = State::Instruction;
            matched_ = 0;
        } else {
            // A start tag, or an end tag (which holds no attributes).
            state_ = State::Tag;
            attributes_ = 0;
        }
        break;
    case State::Tag:
        if (c == '"' || c == '\'') {
            quote_ = c;
            state_ = State::Quoted;
        } else if (c == '=') {
            if (++attributes_ > kMostAttributes) return false;
        } else if (c == '>') {
            state_ = State::Text;
        }
        break;
    case State::Quoted:
        if (c == quote_) state_ = State::Tag;
        break;
    case State::Bang:
        // "<!--" opens a comment, "<![CDATA[" a CDATA section; anything
        // else is a declaration.
        if (matched_ == 0) cdata_ = c == '[';
        if (c == (cdata_ ? kCdataStart : kCommentStart)[matched_]) {
            if (++matched_ == (cdata_ ? kCdataStart : kCommentStart).size()) {
                state_ = cdata_ ? State::Cdata : State::Comment;
                matched_ = 0;
            }
        } else {
            state_ = c == '>' ? State::Text : State::Declaration;
            quote_ = c == '"' || c == '\'' ? c : 0;
        }
        break;
    case State::Comment:
    case State::Cdata: {
        const std::string_view end = state_ == State::Comment ? kCommentEnd : kCdataEnd;
        if (c == end[matched_]) {
            if (++matched_ == end.size()) state_ = State::Text;
        } else {
            // Past two of the mark's first character, a third keeps them.
            matched_ = c == end[0] ? 2 : 0;
        }
        break;
    }
    case State::Declaration:
        // Up to a ">" outside quotes (an internal subset's declarations
        // are refused by the reader in any case).
        if (quote_ != 0) {
            if (c == quote_) quote_ = 0;
        } else if (c == '"' || c == '\'') {
            quote_ = c;
        } else if (c == '>') {
            state_ = State::Text;
        }
        break;
    case State::Instruction:
        if (c == '>' && matched_ == 1) state_ = State::Text;
        matched_ = c == '?' ? 1 : 0;
        break;
    }
    return true;
}

bool ReadDxl(DxlSource* source, const std::string& name, DxlFailure* failure,
             const std::function<bool(DxlNote&)>& handler) {
    Reader reader(source, name, failure, handler);
    return reader.Read();
}

} // namespace plat

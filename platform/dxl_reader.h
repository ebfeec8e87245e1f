// Reading DXL as a stream: the XML is read element by element, without a
// tree, and each note is handed on the moment its end tag is read, its
// items already in the platform's stored form.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dxl_values.h"
#include "talix_platform/types.h"

namespace plat {

// FILEOBJECT in host form (natural alignment), as StructWrite expects it.
struct FileObjectHost {
    WORD ObjectType;   // header: OBJECT_FILE = 0
    DWORD RRV;         // header: id of the database object holding the bytes
    WORD FileNameLength;
    WORD HostType;
    WORD CompressionType;
    WORD FileAttributes;
    WORD Flags;
    DWORD FileSize;
    TIMEDATE FileCreated;
    TIMEDATE FileModified;
};
static_assert(sizeof(FileObjectHost) == 40);
static_assert(offsetof(FileObjectHost, RRV) == 4 && offsetof(FileObjectHost, FileNameLength) == 8);
static_assert(offsetof(FileObjectHost, FileSize) == 20 && offsetof(FileObjectHost, FileModified) == 32);

// An attachment: its contents become a database object when the note is
// written, and the item's value a FILEOBJECT naming it, then the file name.
struct DxlFile {
    FileObjectHost header{};     // all but RRV
    std::string name;            // LMBCS
    std::vector<BYTE> bytes;
};

struct DxlItem {
    std::string name;            // LMBCS
    WORD flags = 0;
    std::vector<BYTE> value;     // as stored: the data-type word first
    std::unique_ptr<DxlFile> file;   // set for an attachment (<object>)
    long line = 0;
};

struct DxlNote {
    long line = 0;
    WORD noteClass = NOTE_CLASS_DOCUMENT;
    std::optional<UNID> unid;
    std::optional<DWORD> sequence;
    std::optional<TIMEDATE> revised, created, modified, accessed, added;
    std::vector<DxlItem> items;
};

// Where DXL text comes from: an open file (read a buffer at a time), or
// text in memory.
// Follows the text as it is handed to the parser, far enough to count the
// attributes of each start tag: the parser checks every attribute of a tag
// against all those before it, so a tag of many thousands would cost time
// in the square of their number. Comments, CDATA sections, processing
// instructions and declarations are passed over; so are quoted values. A
// text in UTF-16 is followed a character at a time, so that a byte of
// another character that equals a mark's is not taken for it.
class TagScanner {
public:
    // The most attributes a start tag may have; no element of a DXL export
    // has more than a few dozen.
    static constexpr size_t kMostAttributes = 1000;

    // Reads the next bytes; false once a start tag has held more than
    // kMostAttributes attributes (line() is then the line it reached).
    bool Scan(const char* text, size_t length);
    long line() const { return line_; }
    // Whether every character up to U+007F is written in one byte of its
    // own (not in UTF-16 or UTF-32), as far as the text read so far tells.
    bool ByteWide() const { return width_ == Width::Bytes || width_ == Width::Unknown; }

private:
    // One character: any past ASCII comes as 0x80.
    bool Step(char c);

    // How the marks are written, found from the first two bytes: a text in
    // UTF-16 begins with its byte order mark or with "<" in two bytes; the
    // other encodings write them in single bytes, UTF-32 (beginning with
    // two zero bytes when big-endian) with zero bytes beside them.
    enum class Width : unsigned char { Unknown, Bytes, Utf16Little, Utf16Big, Utf32Big };
    Width width_ = Width::Unknown;
    int pending_ = -1;     // a byte of the next two, when a piece ended between them

    enum class State : unsigned char { Text, Open, Tag, Quoted, Bang, Comment, Cdata, Declaration, Instruction };
    State state_ = State::Text;
    char quote_ = 0;
    bool cdata_ = false;   // the mark after "<!" begins as a CDATA section's
    size_t attributes_ = 0;
    size_t matched_ = 0;   // the characters of an opening or closing mark matched so far
    long line_ = 1;
    bool afterCr_ = false;   // the last character was a CR
};

struct DxlSource {
    int file = -1;
    std::unique_ptr<char[]> buffer;   // of a file: what was read and not yet parsed
    size_t bufferSize = 0;
    const char* text = nullptr;       // the text not yet parsed
    size_t left = 0;
    int readError = 0;                // errno of a read of the file that failed
    bool drained = false;             // the parser was given all of the text
    TagScanner tags;
    bool tooManyAttributes = false;   // the text was stopped at a tag of too many attributes
    bool lineFeedAfterCr = false;     // a CR ended the last piece given: a LF next is passed over
};

// Reads one DXL text, named name in messages. Each note goes to the handler
// as soon as it ends; a handler that returns false (having recorded why in
// the failure) stops the reading. Returns false at the first problem of the
// text, which *failure then describes; notes handed on before it stay handed
// on (the caller abandons what it did with them).
bool ReadDxl(DxlSource* source, const std::string& name, DxlFailure* failure,
             const std::function<bool(DxlNote&)>& handler);

} // namespace plat

// Decoding the text/html body part of a stored MIME message into the HTML
// text the import reads: the transfer encoding undone, well-formed UTF-8
// kept, stray bytes written as character references, line breaks turned
// into spaces, image sources outside the message refused unless the note
// allows them, and a body in another character set translated into the
// platform's own.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/ascii.h"
#include "core/attachments.h"
#include "core/charset_names.h"
#include "core/pool.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "htmlimport/entity_table.h"
#include "htmlimport/html_input.h"
#include "core/charset_labels.h"
#include "mime/mime_part.h"
#include "mime/mime_reading.h"
#include "mime/part_walk.h"

namespace talix {

namespace {

constexpr std::size_t kCharsetNameLength = 20;
constexpr std::size_t kImageCheckRoom = 12;   // body bytes left for a "src=" to be looked at

// The character-set text is the thread's: a reading leaves it for the
// conversion that follows on the same thread.
void SetCharsetText(std::string_view text) {
    char* kept = ThisThread().mimeCharsetText;
    const std::size_t length = std::min(text.size(), sizeof ThreadState::mimeCharsetText - 1);
    std::memcpy(kept, text.data(), length);
    kept[length] = '\0';
}

// The value of the first "charset=" of the header text, at most 20
// characters; false when there is none.
bool CharsetName(std::string_view headers, std::string* name) {
    const std::size_t found = FindNoCaseIn(headers, "charset=");
    if (found == std::string_view::npos) return false;
    std::size_t at = found + 8;
    bool quoted = false;
    if (at < headers.size() && (headers[at] == '\'' || headers[at] == '"')) {
        quoted = true;
        ++at;
    }
    name->clear();
    while (at < headers.size() && name->size() < kCharsetNameLength) {
        const char c = headers[at++];
        if (c == '\r' || c == '\n' || c == '\'' || c == '"' || c == '<' || c == '>') break;
        // A parameter ends at the next one; an unquoted value at a blank.
        if (!quoted && (c == ' ' || c == '\t' || c == ';')) break;
        name->push_back(c);
    }
    return true;
}

// The names the entity table gives the code points 0x80 to 0xFF, when it
// gives one.
const char* EntityNameOf(unsigned char code) {
    static const char* const* names = [] {
        static const char* table[256] = {};
        const EntityRow* rows = EntityTable();
        for (int n = kEntityCount - 1; n >= 0; --n) {
            if (rows[n].codePoint >= 0x80 && rows[n].codePoint <= 0xFF) table[rows[n].codePoint] = rows[n].name;
        }
        return table;
    }();
    return names[code];
}

// The decoder's output and the state of one part's reading.
class BodyWriter {
public:
    BodyWriter(plat::NOTEHANDLE note, bool utf8Aware, MimeDecoding decoding)
        : note_(note), utf8Aware_(utf8Aware), decoding_(decoding) {}

    std::string out;

    // One byte by the rules of the decoding. A multibyte sequence is held
    // until it is whole: one that a byte other than a continuation byte
    // (0x80 to 0xBF) cuts short, or that the body ends in, is no UTF-8 (a
    // body in another set labelled UTF-8), and each of its bytes is written
    // as a stray byte, so that no character is lost to it.
    void Emit(unsigned char c) {
        Track(c);
        if (!utf8Aware_) {
            out.push_back(static_cast<char>(c));
            return;
        }
        if (pending_ > 0) {
            if (c >= 0x80 && c <= 0xBF) {
                sequence_.push_back(static_cast<char>(c));
                if (--pending_ == 0) {
                    out.append(sequence_);
                    sequence_.clear();
                }
                return;
            }
            EndSequence();
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xC2 && c <= 0xDF) {
            StartSequence(c, 1);
        } else if (c >= 0xE0 && c <= 0xEF) {
            StartSequence(c, 2);
        } else if (c >= 0xF0 && c <= 0xF4) {
            StartSequence(c, 3);
        } else {
            Stray(c);
        }
    }

    // One byte as it is, as a binary body is copied; the place in the
    // markup is followed all the same.
    void Copy(unsigned char c) {
        Track(c);
        out.push_back(static_cast<char>(c));
    }

    // Writes the bytes of a sequence not completed as stray bytes; called
    // before anything but a byte is written, and at the end of the body.
    void EndSequence() {
        for (const char c : sequence_) Stray(static_cast<unsigned char>(c));
        sequence_.clear();
        pending_ = 0;
    }

    // A literal CR: a space and a NUL; the LF after it is the caller's to
    // pass over.
    // Within preformatted text (<pre> and its kind) the line end is kept
    // as a line feed, as the page shows it there.
    void LineBreak() {
        EndSequence();
        if (preformatted_ > 0) {
            out.push_back('\n');
            return;
        }
        out.push_back(' ');
        out.push_back('\0');
    }

    // At an "s" with room behind it: whether an image source begins here
    // and lies outside the message while the note does not allow that.
    bool RefusedImageSource(std::string_view rest) {
        if (lifted_ || rest.size() < kImageCheckRoom || (rest[0] != 's' && rest[0] != 'S')) return false;
        const std::string_view marker = decoding_ == MimeDecoding::kQuotedPrintable ? "src=3D" : "src=";
        if (!StartsWithNoCase(rest, marker)) return false;
        // Only an attribute of a tag shows a picture: "src=" in the text (a
        // mail about HTML) or ending a longer name ("data-src=") shows none.
        if (!escaped_ && !(inTag_ && quote_ == 0 && AfterAttributeGap())) return false;
        std::string_view value = rest.substr(marker.size());
        if (!value.empty() && (value[0] == '"' || value[0] == '\'')) value.remove_prefix(1);
        if (StartsWithNoCase(value, "cid:")) return false;
        char allowed[3] = {};
        plat::ItemGetText(note_, "$DelayedImagesOK", allowed, sizeof allowed);
        if (EqualNoCase(allowed, "ok")) {
            lifted_ = true;
            return false;
        }
        return true;
    }

private:
    void StartSequence(unsigned char lead, int continuations) {
        sequence_.assign(1, static_cast<char>(lead));
        pending_ = continuations;
    }

    // A byte that is no part of a UTF-8 character, as a reference.
    void Stray(unsigned char c) {
        if (const char* name = EntityNameOf(c)) {
            out.append("&").append(name).append(";");
        } else {
            out.append("&#").append(std::to_string(c)).append(";");
        }
    }

    // Whether the text written so far stands inside a tag ("<" seen, its
    // ">" not yet) and there in a quoted attribute value (a quote right
    // after "=" opens one, the same quote or a "<" closes it; a ">" within
    // it ends no tag). A set that writes its characters with ASCII bytes after an
    // escape byte (ISO-2022-JP) can hold "<", ">" and quotes in its words:
    // once an escape is met the place is not known, and every "src=" counts.
    void Track(unsigned char c) {
        if (c == 0x1B) {
            escaped_ = true;
            return;
        }
        if (!inTag_) {
            if (c == '<') {
                inTag_ = true;
                quote_ = 0;
                afterEquals_ = false;
                naming_ = true;
                tagName_.clear();
            }
            return;
        }
        if (naming_) {
            const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                  (c == '/' && tagName_.empty());
            if (nameChar && tagName_.size() < 16) {
                tagName_.push_back(LowerAscii(static_cast<char>(c)));
                return;
            }
            naming_ = false;
            NameEnded();
        }
        if (quote_ != 0) {
            // A "<" in a value is taken for a tag that a value left open
            // begins: a parser that ends such a value there may find one.
            if (c == quote_ || c == '<') quote_ = 0;
            return;
        }
        if (c == '>') {
            inTag_ = false;
        } else if (afterEquals_ && (c == '"' || c == '\'')) {
            quote_ = static_cast<char>(c);
            afterEquals_ = false;
        } else if (c == '=') {
            afterEquals_ = true;
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
            afterEquals_ = false;
        }
    }

    // A tag's name is read whole: an element of preformatted text opens or
    // closes.
    void NameEnded() {
        const bool closing = !tagName_.empty() && tagName_[0] == '/';
        const std::string_view name = std::string_view(tagName_).substr(closing ? 1 : 0);
        if (name != "pre" && name != "textarea" && name != "listing" && name != "xmp" && name != "plaintext") return;
        if (!closing) ++preformatted_;
        else if (preformatted_ > 0) --preformatted_;
    }

    // Whether what was written last parts an attribute from what is before
    // it: a blank, a line end or "/".
    bool AfterAttributeGap() const {
        if (out.empty()) return false;
        const char last = out.back();
        return last == ' ' || last == '\t' || last == '\n' || last == '\r' || last == '\0' || last == '/' ||
               last == '\f';
    }

    plat::NOTEHANDLE note_;
    bool utf8Aware_;
    MimeDecoding decoding_;
    int pending_ = 0;
    std::string sequence_;   // the bytes of a multibyte sequence not yet whole
    bool lifted_ = false;
    bool inTag_ = false;
    bool afterEquals_ = false;
    char quote_ = 0;
    bool escaped_ = false;
    bool naming_ = false;        // the name of a tag is being read
    std::string tagName_;
    int preformatted_ = 0;       // elements of preformatted text open
};

// Up to length bytes of quoted-printable text from at, its soft line breaks
// left out: an image source that a break cuts ("src=3D\"cid=" at a line's
// end, ":a\"" at the next one's start) is looked at whole.
std::string Unfolded(std::string_view body, std::size_t at, std::size_t length) {
    std::string text;
    while (at < body.size() && text.size() < length) {
        if (body[at] == '=' && at + 1 < body.size() && body[at + 1] == '\n') {
            at += 2;
            continue;
        }
        if (body[at] == '=' && at + 1 < body.size() && body[at + 1] == '\r') {
            at += 2;
            if (at < body.size() && body[at] == '\n') ++at;
            continue;
        }
        text.push_back(body[at++]);
    }
    return text;
}

// Each decoder returns false when the reading stops at a refused image
// source.
bool DecodeQuotedPrintable(std::string_view body, BodyWriter* writer) {
    std::size_t at = 0;
    if (body.size() > 9 && StartsWithNoCase(body, "=EF=BB=BF")) at = 9;
    while (at < body.size()) {
        const char c = body[at];
        if (c == '=') {
            if (at + 1 >= body.size()) break;   // a soft break that ends the body
            if (body[at + 1] == '\n') {          // a soft break before a line feed alone
                at += 2;
                continue;
            }
            if (body[at + 1] == '\r') {
                at += 2;
                if (at < body.size() && body[at] == '\n') ++at;
                continue;
            }
            const int high = at + 2 < body.size() ? HexDigitValue(body[at + 1]) : -1;
            const int low = at + 2 < body.size() ? HexDigitValue(body[at + 2]) : -1;
            if (high >= 0 && low >= 0) {
                const auto byte = static_cast<unsigned char>(high * 16 + low);
                at += 3;
                // An encoded CR, with an encoded LF right after it, is a line
                // end as a literal one is: a space, so that the words on
                // either side stay apart.
                if (byte == '\r') {
                    writer->LineBreak();
                    if (at + 2 < body.size() && body[at] == '=' && body[at + 1] == '0' &&
                        (body[at + 2] == 'A' || body[at + 2] == 'a'))
                        at += 3;
                } else {
                    writer->Emit(byte);
                }
                continue;
            }
        }
        if ((c == 's' || c == 'S') && writer->RefusedImageSource(Unfolded(body, at, 2 * kImageCheckRoom)))
            return false;
        if (c == '\r') {
            writer->LineBreak();
            ++at;
            if (at < body.size() && body[at] == '\n') ++at;
            continue;
        }
        writer->Emit(static_cast<unsigned char>(c));
        ++at;
    }
    return true;
}

// Every byte by the rules, with the CR rule and the image check.
bool DecodeBytes(std::string_view bytes, BodyWriter* writer) {
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (writer->RefusedImageSource(bytes.substr(at))) return false;
        if (bytes[at] == '\r') {
            writer->LineBreak();
            if (at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
            continue;
        }
        writer->Emit(static_cast<unsigned char>(bytes[at]));
    }
    return true;
}

// Bytes as they are; a line end is a space, as in the other encodings, so
// that the words on either side stay apart, and within preformatted text
// the line feed the page shows there.
void DecodeBinary(std::string_view body, BodyWriter* writer) {
    for (std::size_t at = 0; at < body.size(); ++at) {
        if (body[at] == '\r') {
            writer->LineBreak();
            if (at + 1 < body.size() && body[at + 1] == '\n') ++at;
            continue;
        }
        writer->Copy(static_cast<unsigned char>(body[at]));
    }
}

// Translates the decoded text from the part's character set into the
// platform's own, NULs removed first. Returns 0 or 257.
STATUS TranslateToNative(std::uint16_t charsetId, std::string* text) {
    plat::CharsetHandle table = 0;
    if (plat::CharsetLoad(charsetId, &table) != plat::NOERROR) return kHtmlTreeLost;
    std::string source;
    source.reserve(text->size());
    for (const char c : *text)
        if (c != '\0') source.push_back(c);
    // One character of any set takes at most three bytes of LMBCS. The text
    // goes in one piece: a piece cut by byte count could split a character
    // of a multibyte set.
    std::string translated(source.size() * 3 + 16, '\0');
    plat::DWORD written = 0;
    const plat::STATUS status =
        source.empty() ? plat::NOERROR
                       : plat::CharsetTranslate(table, plat::XLATE_SET_TO_LMBCS, source.data(),
                                                static_cast<plat::DWORD>(source.size()), translated.data(),
                                                static_cast<plat::DWORD>(translated.size()), &written);
    plat::CharsetUnload(table);
    if (status != plat::NOERROR) return kHtmlTreeLost;
    translated.resize(written);
    *text = std::move(translated);
    return kOK;
}

// Whether the set has two bytes to a character: its text is no ASCII with
// more above it, so no byte of it can be looked at alone.
bool TwoBytesToACharacter(std::uint16_t charsetId) {
    return charsetId == plat::CHARSET_UNICODE || charsetId == plat::CHARSET_UTF16 ||
           charsetId == plat::CHARSET_UTF16BE;
}

// The bytes of a body in a set of two bytes to a character as UTF-8, its
// transfer encoding undone first and a byte-order mark left out. In a part
// of a multipart level the line end before the next boundary line belongs
// to that line: taken for text it would be one more character. Returns 0,
// 257 when the set cannot be translated, or 263 when memory runs out.
STATUS TwoByteBodyAsUtf8(std::uint16_t charsetId, MimeDecoding decoding, std::string_view body,
                         bool beforeBoundary, std::string* utf8) {
    if (beforeBoundary && decoding != MimeDecoding::kBase64) {
        if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n") body.remove_suffix(2);
        else if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    }
    std::string bytes;
    switch (decoding) {
    case MimeDecoding::kQuotedPrintable: bytes = DecodedQuotedPrintable(body); break;
    case MimeDecoding::kBase64: bytes = DecodedBase64(body); break;
    case MimeDecoding::kBinary:
    case MimeDecoding::kPlain: bytes.assign(body); break;
    }
    utf8->clear();
    if (bytes.empty()) return kOK;
    InputCharset charset;
    charset.encoding = HtmlEncoding::kCharset;
    charset.charsetId = charsetId;
    std::string_view converted;
    const STATUS status = InputAsUtf8(bytes, charset, utf8, &converted);
    if (status != kOK) return status;
    if (converted.data() != utf8->data()) utf8->assign(converted);
    if (utf8->compare(0, 3, "\xEF\xBB\xBF") == 0) utf8->erase(0, 3);
    return kOK;
}

// The body of a part: its own bytes, or those of the attachment a flag-4
// part names (empty when it cannot be read).
std::string_view PartBody(plat::NOTEHANDLE note, const MIMEPartHeader& header, std::string_view body,
                          char** allocated, STATUS* status) {
    *allocated = nullptr;
    *status = kOK;
    if ((header.flags & kPartBodyInFile) == 0) return body;
    const std::string name = MimeBodyFileName(note, body);
    std::uint32_t size = 0;
    const STATUS read = ReadAttachmentToMemory(note, name.c_str(), allocated, &size);
    if (read == kOutOfMemory) *status = kOutOfMemory;
    if (read != kOK) return std::string_view();
    return std::string_view(*allocated, size);
}

STATUS ReadLockedPart(plat::NOTEHANDLE note, const std::uint8_t* value, std::uint32_t valueLength,
                      const char* contentType, std::string* result) {
    MIMEPartHeader header;
    MimePartTexts texts;
    if (ParseMimePart(value, valueLength, &header, &texts) != kOK) return kItemNotFound;
    if (header.partType != kPartBody || (header.flags & kPartHasHeaders) == 0) return kItemNotFound;
    if (contentType == nullptr || !MimePartHasType(texts.headers, contentType)) return kItemNotFound;
    // An HTML file attached to the message is not its body.
    if (MimePartIsAttachment(texts.headers)) return kItemNotFound;

    const MimeDecoding decoding = MimeTransferDecoding(texts.headers);
    std::string charset;
    const bool named = CharsetName(texts.headers, &charset);
    // A set known by its mail name ("koi8-r", "Shift_JIS") as well as by
    // the platform's; a set no table knows is read as UTF-8.
    std::uint16_t id = named ? MessageReadingCharsetId(charset) : plat::CHARSET_UTF8;
    if (id == 0) id = plat::CHARSET_UTF8;
    // Text of two bytes to a character is made UTF-8 before anything looks
    // at its bytes, and read on as a UTF-8 part.
    const bool twoByte = TwoBytesToACharacter(id);
    bool utf8Aware = true;
    if (twoByte) {
        SetCharsetText("Charset='UTF-8");
    } else if (named) {
        SetCharsetText("Charset='" + charset);
        utf8Aware = ContainsNoCase(charset, "ascii") ||
                    (ContainsNoCase(charset, "utf") && !ContainsNoCase(charset, "16"));
        // A part said to be ASCII is read as UTF-8 is: what it holds beyond
        // ASCII passes as UTF-8 or becomes a character reference, so the
        // import reads it as UTF-8 too (as ASCII it would read each byte of
        // a UTF-8 character as a Latin-1 character of its own).
        if (ContainsNoCase(charset, "ascii")) SetCharsetText("Charset='UTF-8");
    }

    char* allocated = nullptr;
    STATUS status = kOK;
    std::string_view body = PartBody(note, header, texts.body, &allocated, &status);
    try {
        std::string utf8;
        if (twoByte && status == kOK) {
            status = TwoByteBodyAsUtf8(id, decoding, body, (header.flags & kPartHasBoundary) != 0, &utf8);
            body = utf8;
            id = plat::CHARSET_UTF8;
        }
        const MimeDecoding bytesDecoding =
            twoByte && decoding != MimeDecoding::kBinary ? MimeDecoding::kPlain : decoding;
        BodyWriter writer(note, utf8Aware, bytesDecoding);
        writer.out.reserve(body.size() * 2);
        bool passed = true;
        if (status == kOK) {
            switch (bytesDecoding) {
            case MimeDecoding::kQuotedPrintable: passed = DecodeQuotedPrintable(body, &writer); break;
            case MimeDecoding::kBase64: passed = DecodeBytes(DecodedBase64(body), &writer); break;
            case MimeDecoding::kBinary: DecodeBinary(body, &writer); break;
            case MimeDecoding::kPlain: passed = DecodeBytes(body, &writer); break;
            }
            writer.EndSequence();
        }
        std::free(allocated);
        if (status != kOK) return status;
        if (!passed) return kRemoteImage;
        if (id != 0 && id != plat::CHARSET_UTF8 && id != plat::CHARSET_ASCII) {
            status = TranslateToNative(id, &writer.out);
            if (status != kOK) return status;
            SetCharsetText("CharEncoding='raw' ");
        }
        *result = std::move(writer.out);
        return kOK;
    } catch (const std::bad_alloc&) {
        std::free(allocated);
        return MimeReaderOutOfMemory(__LINE__);
    }
}

} // namespace

MimeDecoding MimeTransferDecoding(std::string_view headers) {
    const std::size_t name = FindNoCaseIn(headers, "Content-transfer-encoding");
    if (name == std::string_view::npos) return MimeDecoding::kPlain;
    const std::size_t end = MimeHeaderValueEnd(headers, name);
    for (std::size_t at = name + 25; at < end; ++at) {
        const char c = headers[at];
        if (c == ':' || c == ' ' || c == '\n' || c == '\r') continue;
        const std::string_view rest = headers.substr(at, end - at);
        if (StartsWithNoCase(rest, "quoted-printable")) return MimeDecoding::kQuotedPrintable;
        if (StartsWithNoCase(rest, "base64")) return MimeDecoding::kBase64;
        if (StartsWithNoCase(rest, "binary")) return MimeDecoding::kBinary;
    }
    return MimeDecoding::kPlain;
}

std::size_t MimeHeaderValueEnd(std::string_view headers, std::size_t from) {
    std::size_t at = from;
    for (;;) {
        const std::size_t lf = headers.find('\n', at);
        if (lf == std::string_view::npos) return headers.size();
        if (lf + 1 < headers.size() && (headers[lf + 1] == ' ' || headers[lf + 1] == '\t')) {
            at = lf + 1;
            continue;
        }
        return lf + 1;
    }
}

STATUS MimeReaderOutOfMemory(int line) {
    LogOutOfMemory("rtproc4", line);
    return kOutOfMemory;
}

const char* MIMECharsetText() { return ThisThread().mimeCharsetText; }
void ClearMIMECharsetText() { ThisThread().mimeCharsetText[0] = '\0'; }

STATUS ReadMIMEHTMLPart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value, std::uint32_t valueLength,
                        const char* contentType, char** text, std::uint32_t* length) {
    (void)item;
    if (text == nullptr || length == nullptr) return kArgumentError;
    *text = nullptr;
    *length = 0;
    ClearMIMECharsetText();
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return kItemNotFound;
    std::string result;
    const STATUS status = ReadLockedPart(note, bytes, valueLength, contentType, &result);
    plat::BlockUnlock(value);
    if (status != kOK) return status;
    if (result.size() > 0xFFFFFFFEu) return MimeReaderOutOfMemory(__LINE__);
    char* copy = static_cast<char*>(std::malloc(result.size() + 1));
    if (copy == nullptr) return MimeReaderOutOfMemory(__LINE__);
    if (!result.empty()) std::memcpy(copy, result.data(), result.size());
    copy[result.size()] = '\0';
    *text = copy;
    *length = static_cast<std::uint32_t>(result.size());
    return kOK;
}

} // namespace talix

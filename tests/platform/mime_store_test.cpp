// Storing a MIME message as part items: the parts a message becomes, each
// read back field by field, every byte of the message kept in order, large
// bodies in attachments, and messages the splitter must survive.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;

struct StoredPart {
    DWORD flags = 0;
    int type = 0;
    std::string boundary, headers, body;
};

// The host form of the part header, as the structure read gives it.
struct PartHeader {
    WORD version;
    DWORD flags;
    BYTE partType;
    BYTE spare;
    WORD byteCount;
    WORD boundaryLength;
    WORD headersLength;
    WORD spareWord;
    DWORD spareLong;
};

class MimeStore : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DbCreate(dir_.file("m.nsf").c_str(), &db_), NOERROR);
        ASSERT_EQ(NoteCreate(db_, &note_), NOERROR);
    }
    void TearDown() override {
        NoteClose(note_);
        DbClose(db_);
    }
    STATUS Store(const std::string& message, MimeStoreResult* result = nullptr) {
        return MimeStoreMessage(note_, "Body", 4, message.data(), message.size(), result);
    }
    std::vector<StoredPart> Parts() {
        std::vector<StoredPart> parts;
        BLOCKID item, value;
        DWORD length = 0;
        WORD type = 0;
        STATUS status = ItemInfo(note_, "Body", 4, &item, &type, &value, &length);
        while (status == NOERROR) {
            EXPECT_EQ(type, TYPE_MIME_PART);
            const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
            PartHeader header{};
            const void* at = bytes + 2;
            EXPECT_EQ(StructRead(&at, 639, &header), NOERROR);
            const WORD headerLength = StructStoredLength(639);
            EXPECT_EQ(length, 2u + headerLength + header.byteCount);
            const char* text = reinterpret_cast<const char*>(bytes) + 2 + headerLength;
            StoredPart part;
            part.flags = header.flags;
            part.type = header.partType;
            part.boundary.assign(text, header.boundaryLength);
            part.headers.assign(text + header.boundaryLength, header.headersLength);
            part.body.assign(text + header.boundaryLength + header.headersLength,
                             header.byteCount - header.boundaryLength - header.headersLength);
            BlockUnlock(value);
            parts.push_back(part);
            status = ItemInfoNext(note_, item, "Body", 4, &item, &type, &value, &length);
        }
        return parts;
    }
    // The sizes of the note's attachments, in order.
    std::vector<DWORD> AttachmentSizes() {
        std::vector<DWORD> sizes;
        BLOCKID file;
        STATUS status = ItemInfo(note_, "$FILE", 5, &file, nullptr, nullptr, nullptr);
        while (status == NOERROR) {
            DHANDLE data = 0;
            DWORD size = 0;
            EXPECT_EQ(NoteReadAttachment(note_, file, &data, &size), NOERROR);
            MemFree(data);
            sizes.push_back(size);
            status = ItemInfoNext(note_, file, "$FILE", 5, &file, nullptr, nullptr, nullptr);
        }
        return sizes;
    }
    // The items of one name copied under another, their part flags or-ed
    // with extra.
    void CopyParts(const char* from, const char* name, DWORD extra) {
        std::vector<std::vector<BYTE>> values;
        BLOCKID item, value;
        DWORD length = 0;
        const auto fromLength = static_cast<WORD>(std::strlen(from));
        STATUS status = ItemInfo(note_, from, fromLength, &item, nullptr, &value, &length);
        while (status == NOERROR) {
            const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
            values.emplace_back(bytes, bytes + length);
            BlockUnlock(value);
            status = ItemInfoNext(note_, item, from, fromLength, &item, nullptr, &value, &length);
        }
        const auto nameLength = static_cast<WORD>(std::strlen(name));
        ItemDelete(note_, name, nameLength);
        for (std::vector<BYTE>& bytes : values) {
            bytes[4] = static_cast<BYTE>(bytes[4] | extra);   // the flags' low byte, after type and version
            ASSERT_EQ(ItemAppend(note_, 0, name, nameLength, TYPE_MIME_PART, bytes.data() + 2,
                                 static_cast<DWORD>(bytes.size() - 2)),
                      NOERROR);
        }
    }
    // The parts' texts joined: the message as it was given.
    std::string Joined() {
        std::string joined;
        for (const StoredPart& part : Parts()) joined += part.boundary + part.headers + part.body;
        return joined;
    }

    talix_test::TempDir dir_;
    DBHANDLE db_ = 0;
    NOTEHANDLE note_ = 0;
};

const std::string kNested =
    "From: a@example.com\r\nContent-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
    "Preamble\r\n"
    "--outer\r\nContent-Type: multipart/alternative;\r\n boundary=inner\r\n\r\n"
    "--inner\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
    "--inner\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n"
    "--inner--\r\n\r\n"
    "--outer\r\nContent-Type: application/pdf\r\n\r\nPDF\r\n"
    "--outer--\r\nEpilogue\r\n";

TEST_F(MimeStore, PartsOfANestedMessageByteForByte) {
    MimeStoreResult result;
    ASSERT_EQ(Store(kNested, &result), NOERROR);
    const std::vector<StoredPart> parts = Parts();
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(result.parts, 7u);
    struct Expected {
        DWORD flags;
        int type;
        const char* boundary;
        const char* body;
    } expected[] = {
        {2, 1, "", "Preamble\r\n"},
        {3, 1, "--outer\r\n", ""},
        {3, 2, "--inner\r\n", "plain\r\n"},
        {3, 2, "--inner\r\n", "<p>html</p>\r\n"},
        {1, 3, "--inner--\r\n", "\r\n"},
        {3, 2, "--outer\r\n", "PDF\r\n"},
        {1, 3, "--outer--\r\n", "Epilogue\r\n"},
    };
    for (size_t n = 0; n < parts.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(parts[n].flags, expected[n].flags);
        EXPECT_EQ(parts[n].type, expected[n].type);
        EXPECT_EQ(parts[n].boundary, expected[n].boundary);
        EXPECT_EQ(parts[n].body, expected[n].body);
    }
    EXPECT_EQ(parts[3].headers, "Content-Type: text/html\r\n\r\n");
    EXPECT_EQ(parts[4].headers, "");
    EXPECT_EQ(Joined(), kNested);

    // Storing again replaces the items of the name.
    ASSERT_EQ(Store("Content-Type: text/html\r\n\r\n<p>x</p>"), NOERROR);
    const std::vector<StoredPart> single = Parts();
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].flags, 2u);
    EXPECT_EQ(single[0].type, 2);
    EXPECT_EQ(single[0].body, "<p>x</p>");
}

TEST_F(MimeStore, DamagedAndHostileMessagesKeepEveryByte) {
    const std::vector<std::string> messages = {
        // A multipart type without a boundary is one part.
        "Content-Type: multipart/mixed\r\n\r\n--x\r\nContent-Type: text/html\r\n\r\nhi\r\n--x--\r\n",
        // A level the message never closes: no closing part.
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>open",
        // An inner level closed by the outer boundary.
        "Content-Type: multipart/mixed; boundary=o\r\n\r\n--o\r\nContent-Type: multipart/related; boundary=i\r\n\r\n"
        "--i\r\n\r\ninner\r\n--o\r\n\r\nouter\r\n--o--\r\n",
        // Headers without an end, LF line ends, a lone boundary parameter quote.
        "Subject: only headers",
        "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/html\n\n<p>lf</p>\n--b--\n",
        "Content-Type: multipart/mixed; boundary=\"b\r\n\r\n--b\r\n",
        "",
    };
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        ASSERT_EQ(Store(message), NOERROR);
        EXPECT_EQ(Joined(), message);
    }
    ASSERT_EQ(Store(messages[0]), NOERROR);
    EXPECT_EQ(Parts().size(), 1u);
    ASSERT_EQ(Store(messages[1]), NOERROR);
    EXPECT_EQ(Parts().size(), 2u);
    ASSERT_EQ(Store(messages[2]), NOERROR);
    const std::vector<StoredPart> parts = Parts();
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(parts[2].body, "inner\r\n");
    EXPECT_EQ(parts[3].boundary, "--o\r\n");
    EXPECT_EQ(parts[4].type, 3);

    // A thousand nested levels, each opened and closed.
    std::string deep, closing;
    for (int n = 0; n < 1000; ++n) {
        deep += "Content-Type: multipart/mixed; boundary=L" + std::to_string(n) + "\r\n\r\n--L" + std::to_string(n) +
                "\r\n";
        closing = "\r\n--L" + std::to_string(n) + "--\r\n" + closing;
    }
    deep += "Content-Type: text/html\r\n\r\n<p>deep</p>" + closing;
    ASSERT_EQ(Store(deep), NOERROR);
    EXPECT_EQ(Parts().size(), 2001u);
    EXPECT_EQ(Joined(), deep);
}

// A part whose header lines run straight into its body, or one with no
// header lines at all: the headers end at the first line that is no header
// line, so the body and the parts after it stay what they are.
TEST_F(MimeStore, HeadersEndAtTheFirstLineThatIsNoHeader) {
    const std::string message =
        "From a@example.com Mon Jan  1 00:00:00 2024\r\nFrom: a@example.com\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/html\r\n<p>no empty line</p>\r\n"
        "--b\r\n"
        "--b\r\nbody without headers\r\n"
        "--b\r\nContent-Type : text/plain;\r\n\tcharset=utf-8\r\nplain\r\n--b--\r\n";
    ASSERT_EQ(Store(message), NOERROR);
    const std::vector<StoredPart> parts = Parts();
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(parts[0].type, 1);
    EXPECT_EQ(parts[0].headers.substr(0, 5), "From ");
    EXPECT_EQ(parts[1].headers, "Content-Type: text/html\r\n");
    EXPECT_EQ(parts[1].body, "<p>no empty line</p>\r\n");
    EXPECT_EQ(parts[2].boundary, "--b\r\n");
    EXPECT_EQ(parts[2].headers, "");
    EXPECT_EQ(parts[2].body, "");
    EXPECT_EQ(parts[3].headers, "");
    EXPECT_EQ(parts[3].body, "body without headers\r\n");
    EXPECT_EQ(parts[4].headers, "Content-Type : text/plain;\r\n\tcharset=utf-8\r\n");
    EXPECT_EQ(parts[4].body, "plain\r\n");
    for (int n = 1; n < 5; ++n) EXPECT_EQ(parts[n].type, 2) << n;
    EXPECT_EQ(parts[5].type, 3);
    EXPECT_EQ(Joined(), message);

    // A message saved with a byte-order mark keeps its header lines.
    const std::string marked = "\xEF\xBB\xBFSubject: x\r\nContent-Type: text/html\r\n\r\n<p>x</p>";
    ASSERT_EQ(Store(marked), NOERROR);
    ASSERT_EQ(Parts().size(), 1u);
    EXPECT_EQ(Parts()[0].body, "<p>x</p>");
}

TEST_F(MimeStore, ABodyTooLargeForAnItemGoesToAnAttachment) {
    const std::string big(200000, 'x');
    const std::string message = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n" +
                                big + "\r\n--b--\r\n";
    MimeStoreResult result;
    ASSERT_EQ(Store(message, &result), NOERROR);
    EXPECT_EQ(result.attachedBodies, 1u);
    const std::vector<StoredPart> parts = Parts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].flags, 7u);
    EXPECT_LE(parts[1].body.size(), 31u);
    BLOCKID file;
    ASSERT_EQ(ItemInfo(note_, "$FILE", 5, &file, nullptr, nullptr, nullptr), NOERROR);
    DHANDLE data = 0;
    DWORD size = 0;
    ASSERT_EQ(NoteReadAttachment(note_, file, &data, &size), NOERROR);
    EXPECT_EQ(size, big.size() + 2);
    EXPECT_EQ(std::memcmp(MemLock(data), (big + "\r\n").data(), size), 0);
    MemUnlock(data);
    MemFree(data);

    // Header text that no item can hold is refused and the items stay.
    const std::string huge = "Content-Type: text/html\r\nX-Long: " + std::string(70000, 'h') + "\r\n\r\nbody";
    EXPECT_EQ(Store(huge), ERR_ITEM_TOO_LARGE);
    EXPECT_EQ(Parts().size(), 3u);
    EXPECT_EQ(MimeStoreMessage(note_, "Body", 4, nullptr, 5), ERR_BAD_ARGUMENT);

    // The attachments' own name, in any case, is refused: the parts would
    // replace the note's attachments, the one above among them.
    const std::string small = "Content-Type: text/plain\r\n\r\nhello\r\n";
    for (const char* name : {"$FILE", "$file"}) {
        EXPECT_EQ(MimeStoreMessage(note_, name, 5, small.data(), small.size()), ERR_BAD_ARGUMENT) << name;
        WORD type = 0;
        ASSERT_EQ(ItemInfo(note_, "$FILE", 5, &file, &type, nullptr, nullptr), NOERROR);
        EXPECT_NE(type, TYPE_MIME_PART);
        ASSERT_EQ(NoteReadAttachment(note_, file, &data, &size), NOERROR);
        EXPECT_EQ(size, big.size() + 2);
        MemFree(data);
    }
}

// A body held in an attachment goes with the part: storing a message again
// detaches the attachments of the bodies it replaced, unless a part item
// of the note still names one or it is an attachment part's (one of the
// note's own attachments).
TEST_F(MimeStore, ReplacedBodiesLeaveNoAttachmentsBehind) {
    const std::string big = "Content-Type: text/html\r\n\r\n" + std::string(100000, 'y');
    const std::string small = "Content-Type: text/plain\r\n\r\nsmall";
    ASSERT_EQ(Store(big), NOERROR);
    ASSERT_EQ(Store(big + "z"), NOERROR);
    EXPECT_EQ(AttachmentSizes(), std::vector<DWORD>{100001});
    ASSERT_EQ(Store(small), NOERROR);
    EXPECT_TRUE(AttachmentSizes().empty());

    // A copy of the parts under another name still names the attachment.
    ASSERT_EQ(Store(big), NOERROR);
    CopyParts("Body", "Copy", 0);
    ASSERT_EQ(Store(small), NOERROR);
    EXPECT_EQ(AttachmentSizes(), std::vector<DWORD>{100000});

    // Parts marked as attachment parts name the note's own attachments.
    CopyParts("Copy", "Body", 0x8 | 0x1);
    ASSERT_EQ(ItemDelete(note_, "Copy", 4), NOERROR);
    ASSERT_EQ(Store(small), NOERROR);
    EXPECT_EQ(AttachmentSizes(), std::vector<DWORD>{100000});
}

} // namespace

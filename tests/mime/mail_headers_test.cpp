// The mail header lines of the MIME writer: from the note's mail items with
// "UseMailFields=Yes", from the options, and their defaults; the date text;
// note items as header text; the directory look-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mime/header_items.h"
#include "mime/rfc822_date.h"
#include "mime/rfc822_text.h"
#include "mime_fixture.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;

// The header lines of an exported file: the lines before the top
// Content-Type line.
std::vector<std::string> HeaderLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = talix_test::ReadFile(path);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.rfind("Content-Type: multipart/", 0) == 0) break;
        lines.push_back(line);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}

void AddText(plat::NOTEHANDLE note, const char* name, const std::string& text) {
    ASSERT_EQ(plat::ItemAppend(note, 0, name, static_cast<plat::WORD>(std::strlen(name)), plat::TYPE_TEXT,
                               text.data(), static_cast<plat::DWORD>(text.size())),
              0);
}

plat::TIMEDATE Time(int year, int month, int day, int hour, int minute, int second, int zone, bool dst) {
    plat::TimeFields fields;
    fields.year = year;
    fields.month = month;
    fields.day = day;
    fields.hour = hour;
    fields.minute = minute;
    fields.second = second;
    fields.zone = zone;
    fields.dst = dst;
    plat::TIMEDATE time;
    EXPECT_EQ(plat::TimeFromFields(&fields, &time), 0);
    return time;
}

// The lines without the Message-ID, which differs from run to run; it is
// there once, an id of this system's undeliverable domain.
std::vector<std::string> WithoutMessageId(std::vector<std::string> lines) {
    const auto id = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& line) { return line.rfind("Message-ID: <", 0) == 0; });
    EXPECT_NE(id, lines.end());
    if (id == lines.end()) return lines;
    EXPECT_NE(id->find("@localhost.invalid>"), std::string::npos) << *id;
    lines.erase(id);
    return lines;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

void SetText(plat::NOTEHANDLE note, const char* name, const std::string& text) {
    ASSERT_EQ(plat::ItemSetText(note, name, text.data(), static_cast<plat::WORD>(text.size())), 0);
}

class MailHeaders : public MimeTest {};

TEST_F(MailHeaders, MailFieldsGiveTheLines) {
    // The address book of the data directory knows Jo Doe's address.
    talix_test::IniOverride directory("Directory", dir_.path().string());
    {
        plat::DBHANDLE book = 0;
        plat::NOTEHANDLE person = 0;
        ASSERT_EQ(plat::DbCreate(dir_.file("names.nsf").c_str(), &book), 0);
        ASSERT_EQ(plat::NoteCreate(book, &person), 0);
        plat::ItemSetText(person, "Form", "Person", 6);
        plat::ItemSetText(person, "FullName", "CN=Jo Doe/O=Org", 15);
        plat::ItemSetText(person, "InternetAddress", "jo@example.com", 14);
        ASSERT_EQ(plat::NoteUpdate(person, 0), 0);
        plat::NoteClose(person);
        plat::DbClose(book);
    }
    Store(engine_test::Runs({"Mail"}));
    const plat::NOTEHANDLE note = item_.noteHandle;
    AddText(note, "Received", "from a by b; first");
    AddText(note, "Received", "from b by c; second");
    plat::ItemSetText(note, "From", "CN=Jo Doe/O=Org", 15);
    plat::ItemSetText(note, "SendTo", "al@example.com", 14);
    plat::ItemSetText(note, "CopyTo", "cc@example.com", 14);
    plat::ItemSetText(note, "Subject", "Hi", 2);
    plat::ItemSetText(note, "Importance", "1", 1);
    const plat::TIMEDATE posted = Time(2025, 1, 15, 9, 5, 3, 5, false);
    plat::ItemSetTime(note, "PostedDate", &posted);

    // What the note lacks ("MIME_Version", "Precedence") gives the default
    // or no line, never a placeholder; every message gets a Message-ID.
    EXPECT_EQ(WithoutMessageId(HeaderLines(Export("UseMailFields=Yes"))),
              (std::vector<std::string>{"Received: from a by b; first", "Received: from b by c; second",
                                        "From: jo@example.com", "To: al@example.com", "Cc: cc@example.com",
                                        "MIME-Version: 1.0", "Subject: Hi",
                                        "Date: Wed, 15 Jan 2025 09:05:03 -0500", "X-MSMail-Priority: High",
                                        "X-Priority: 1", "Importance: High",
                                        "X-MIMETrack: Produced By Zerva Software ExportToMime", "X-Unsent: 1",
                                        "X-MimeOLE: Produced By Talix - ExportToMime method"}));
    EXPECT_EQ(item_.lastStatus, 0);

    // An importance other than "1" gives the default priority alone; without
    // the switch the note's items are not read.
    plat::ItemSetText(note, "Importance", "2", 1);
    std::vector<std::string> lines = HeaderLines(Export("UseMailFields=Yes"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-Priority: 3"), 1);
    for (const std::string& line : lines) {
        EXPECT_NE(line.rfind("X-MSMail-Priority", 0), 0u) << line;
        EXPECT_NE(line.rfind("Importance", 0), 0u) << line;
    }
    plat::ItemSetText(note, "Importance", "1", 1);
    lines = WithoutMessageId(HeaderLines(Export("")));
    EXPECT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[6], "X-Priority: 3");
    EXPECT_EQ(lines[0], "Received: (from Talix API);");

    // An unknown person keeps the name, as the display name of an address
    // that cannot be delivered; the Internet address wins over it.
    plat::ItemSetText(note, "From", "CN=Nobody/O=Org", 15);
    EXPECT_EQ(HeaderLines(Export("UseMailFields=Yes"))[2], "From: \"CN=Nobody/O=Org\" <talix@localhost.invalid>");
    // An Internet address item left empty (or blank) hides neither the
    // sender's name nor the recipients.
    plat::ItemSetText(note, "INetFrom", " ", 1);
    plat::ItemSetText(note, "INetSendTo", "", 0);
    plat::ItemSetText(note, "INetCopyTo", "", 0);
    lines = HeaderLines(Export("UseMailFields=Yes"));
    EXPECT_EQ(lines[2], "From: \"CN=Nobody/O=Org\" <talix@localhost.invalid>");
    EXPECT_EQ(lines[3], "To: al@example.com");
    EXPECT_EQ(lines[4], "Cc: cc@example.com");
    plat::ItemSetText(note, "INetFrom", "direct@example.com", 18);
    EXPECT_EQ(HeaderLines(Export("UseMailFields=Yes"))[2], "From: direct@example.com");
}

TEST_F(MailHeaders, OptionsGiveTheLinesAndEmptyOptionsNone) {
    Store(engine_test::Runs({"Options"}));
    std::vector<std::string> lines = HeaderLines(
        Export("ExpMimeVer=1.0 ExpFrom= ExpTo='x@example.com' ExpSubject='Two words' MimeTrack='X-MIMETrack: mine' "
               "ExpUnsent= ExpImportance=Low ExpDeliveredDate='today'"));
    // A whole line that is no header line gets its name: it cannot end the
    // header block.
    lines = WithoutMessageId(lines);
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[4].rfind("Date: ", 0), 0u);
    lines.erase(lines.begin() + 4);
    EXPECT_EQ(lines, (std::vector<std::string>{"Received: (from Talix API);", "To: x@example.com", "MIME-Version: 1.0",
                                               "Subject: Two words", "Delivery-date: today", "X-MSMail-Priority: Low",
                                               "X-Priority: 3", "X-MIMETrack: mine",
                                               "X-MimeOLE: Produced By Talix - ExportToMime method"}));
    lines = HeaderLines(Export("ExpMimeVer='MIME-Version: 1.0' ExpDate= UseMailFields=Yes"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MIME-Version: 1.0"), lines.end());
    for (const std::string& line : lines) EXPECT_NE(line.rfind("Date:", 0), 0u) << line;
}

// The options that give a whole line cannot give the lines that say what
// the message's body is: the writer's own Content-Type and transfer
// encoding stay the only ones, and the message keeps its parts.
TEST_F(MailHeaders, WholeLinesCannotSayWhatTheBodyIs) {
    Store(engine_test::Runs({"Whole lines"}));
    const ReadMessage message = ReadMessageFile(
        Export("ExpMimeOLE='Content-Type: text/plain' ExpUnsent='content-transfer-encoding: base64' "
               "MimeTrack='Content-Disposition: attachment' ExpMimeVer='X-Kept: as given'"));
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(message.HeaderNames(),
              (std::vector<std::string>{"Received", "From", "To", "X-Kept", "Subject", "Date", "Message-ID",
                                        "X-Priority", "X-MIMETrack", "X-Unsent", "X-MimeOLE", "Content-Type"}));
    EXPECT_EQ(message.Header("X-MimeOLE"), "Content-Type: text/plain");
    EXPECT_EQ(message.Header("X-Unsent"), "content-transfer-encoding: base64");
    EXPECT_EQ(message.Header("X-MIMETrack"), "Content-Disposition: attachment");
    EXPECT_EQ(message.Header("Content-Type").rfind("multipart/related;", 0), 0u) << message.Header("Content-Type");
    ASSERT_EQ(message.Parts("text/html").size(), 1u);
    EXPECT_NE(message.Parts("text/html")[0]->text.find("Whole lines"), std::string::npos);
}

// An address followed by a comment (the older "address (Name)" form) keeps
// its address, the comment as its name; a comment's comma splits nothing.
TEST_F(MailHeaders, AnAddressWithACommentKeepsItsAddress) {
    Store(engine_test::Runs({"Comments"}));
    const ReadMessage message = ReadMessageFile(
        Export("ExpFrom='jd@example.com (John Doe)' ExpTo='ann@example.org (Doe, Ann), John <jd@example.com> (work)' "
               "ExpCopyTo='plain (note) text, (only a comment)' ExpBlindCopyTo='Open (paren, bcc@example.com'"));
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(message.Decoded("From"), "John Doe <jd@example.com>");
    EXPECT_EQ(message.Decoded("To"), "Doe, Ann <ann@example.org> | John (work) <jd@example.com>");
    EXPECT_EQ(message.Decoded("Cc"),
              "plain (note) text <talix@localhost.invalid> | (only a comment) <talix@localhost.invalid>");
    EXPECT_EQ(message.Decoded("Bcc"), "Open (paren <talix@localhost.invalid> |  <bcc@example.com>");

    // A comment that holds another is one comment: the address before it
    // is kept, the whole comment as its name.
    const ReadMessage nested = ReadMessageFile(
        Export("ExpFrom='a@b.org (x (y))' ExpTo='John <jd@example.com> (work (home, old)), ann@example.org ((Ann))' "
               "ExpCopyTo='c@d.org (x))'"));
    ASSERT_TRUE(nested.read);
    EXPECT_TRUE(nested.defects.empty()) << testing::PrintToString(nested.defects);
    EXPECT_EQ(nested.Decoded("From"), "x (y) <a@b.org>");
    EXPECT_EQ(nested.Decoded("To"), "John (work (home, old)) <jd@example.com> | (Ann) <ann@example.org>");
    EXPECT_EQ(nested.Decoded("Cc"), "x) <c@d.org>");
}

// An address or a message id longer than any can be (an address holds 254
// characters at most) stands on no line of 998 characters: it is no
// address, and no id.
TEST_F(MailHeaders, AddressesAndIdsTooLongForALineAreNone) {
    Store(engine_test::Runs({"Long"}));
    const std::string local(1200, 'a');
    const std::string path =
        Export("ExpTo='" + local + "@example.org' ExpFrom='<" + local + "@example.com>' ExpMessageID='<" + local +
               "@example.net>' ExpCopyTo='" + std::string(64, 'c') + "@" + std::string(180, 'd') + ".example'");
    for (const std::string& line : Lines(talix_test::ReadFile(path))) EXPECT_LE(line.size(), 998u);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    std::string to = message.Decoded("To");
    to.erase(std::remove(to.begin(), to.end(), ' '), to.end());
    EXPECT_EQ(to, local + "@example.org<talix@localhost.invalid>");
    EXPECT_NE(message.Decoded("Message-ID").find("@localhost.invalid>"), std::string::npos);
    // An address of the longest size stays an address.
    EXPECT_EQ(message.Decoded("Cc"), " <" + std::string(64, 'c') + "@" + std::string(180, 'd') + ".example>");
}

// A whole line of a field name alone is an empty value: no line, as for an
// option given empty (a MIME-Version without its number is a defect).
TEST_F(MailHeaders, AWholeLineWithoutAValueGivesNone) {
    Store(engine_test::Runs({"Names alone"}));
    const std::string path = Export("ExpMimeVer='MIME-Version:' ExpUnsent='X-Unsent:  ' MimeTrack='X-Other:'");
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    for (const std::string& line : HeaderLines(path)) {
        EXPECT_NE(line.back(), ' ') << line;
        EXPECT_NE(line.back(), ':') << line;
    }
    EXPECT_EQ(message.HeaderNames(),
              (std::vector<std::string>{"Received", "From", "To", "Subject", "Date", "Message-ID", "X-Priority",
                                        "X-MimeOLE", "Content-Type"}));
}

TEST_F(MailHeaders, NoteItemsCannotAddHeadersAndAlwaysGiveAddresses) {
    Store(engine_test::Runs({"Mail"}));
    const plat::NOTEHANDLE note = item_.noteHandle;
    // Line ends in every item the header lines take, each followed by what
    // would be a header line of its own or the end of the header block.
    AddText(note, "Received", "from a by b\r\nX-Received-Injected: 1");
    SetText(note, "From", "Jo\r\nBcc: from@evil.example");
    const std::string to[] = {"Doe, John <jd@example.com>, plain name", "al@example.com\r\n\r\nX-Body: 1"};
    for (const std::string& entry : to)
        plat::ItemAppendTextList(note, "SendTo", entry.data(), static_cast<plat::WORD>(entry.size()), true);
    SetText(note, "CopyTo", "cc@example.com\n\nContent-Type: text/plain");
    SetText(note, "BlindCopyTo", "\r\n");
    // "Caf\x82" is the platform's text for a word with an accented letter.
    const std::string subject = "Hello\r\nBcc: victim@evil.example caf\x82 " + std::string(1000, 'y');
    plat::ItemSetText(note, "Subject", subject.data(), static_cast<plat::WORD>(subject.size()));
    SetText(note, "X_Priority", "2\r\nX-Priority-Injected: 1");
    SetText(note, "$MessageID", "<kept@example.com>\nX-Id: 1");
    SetText(note, "Precedence", "bulk\r\nX-Precedence-Injected: 1");

    const std::string path = Export("UseMailFields=Yes");
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(message.HeaderNames(),
              (std::vector<std::string>{"Received", "From", "To", "Cc", "MIME-Version", "Subject", "Date",
                                        "Message-ID", "X-Priority", "X-MIMETrack", "X-Unsent", "X-MimeOLE",
                                        "Precendence", "Content-Type"}));
    // The texts stay whole, line ends as blanks; names that are not
    // addresses stand beside the undeliverable one.
    EXPECT_EQ(message.Decoded("Subject"), "Hello Bcc: victim@evil.example caf\xC3\xA9 " + std::string(1000, 'y'));
    EXPECT_EQ(message.Decoded("From"), "Jo Bcc: from@evil.example <talix@localhost.invalid>");
    EXPECT_EQ(message.Decoded("To"),
              "Doe <talix@localhost.invalid> | John <jd@example.com> | plain name <talix@localhost.invalid> | "
              "al@example.com X-Body: 1 <talix@localhost.invalid>");
    // A stored id that is no message id gives way to one of this system.
    EXPECT_NE(message.Decoded("Message-ID").find("@localhost.invalid>"), std::string::npos);
    SetText(note, "$MessageID", "<kept@example.com>");
    EXPECT_EQ(ReadMessageFile(Export("UseMailFields=Yes")).Decoded("Message-ID"), "<kept@example.com>");
    // Every line within 998 characters.
    for (const std::string& line : Lines(talix_test::ReadFile(path))) EXPECT_LE(line.size(), 998u);

    // Nor can an option's value in a part's header.
    const std::string injected = talix_test::ReadFile(Export("charset=|utf-8\r\nX-Injected: 1|"));
    EXPECT_EQ(injected.find("\nX-Injected"), std::string::npos);
    EXPECT_EQ(injected.find("X-Injected"), std::string::npos);

    // Without the switch: a date of now, an id of its own in every message.
    const ReadMessage first = ReadMessageFile(Export(""));
    const ReadMessage second = ReadMessageFile(Export(""));
    EXPECT_TRUE(first.defects.empty()) << testing::PrintToString(first.defects);
    EXPECT_NE(first.Decoded("Message-ID"), second.Decoded("Message-ID"));
    EXPECT_FALSE(first.Decoded("Date").empty());
}

TEST_F(MailHeaders, NoDisplayNameNorSubjectDecodesToALineEnd) {
    Store(engine_test::Runs({"Mail"}));
    const plat::NOTEHANDLE note = item_.noteHandle;
    // Ready-made encoded words: of a line end and a header line, of a line
    // end in Latin-1, of an encoded word of a line end, of a set no reader
    // is sure of; and a name that is one in two words.
    SetText(note, "From", "\"=?UTF-8?B?DQpCY2M6IHhAeQ==?=\" <jo@example.com>");
    const std::string to[] = {"=?iso-8859-1?q?Jos=E9=0D=0AX?= <jose@example.com>",
                              "=?UTF-8?B?PT9VVEYtOD9CP0RRbz0/PQ==?= <n@example.com>",
                              "=?x-unknown?B?DQo=?= <u@example.com>", std::string(3000, 'w') + " <w@example.com>"};
    for (const std::string& entry : to)
        plat::ItemAppendTextList(note, "SendTo", entry.data(), static_cast<plat::WORD>(entry.size()), true);
    SetText(note, "CopyTo", "=?UTF-8?B?0JjQstCw0L0=?= =?UTF-8?Q?=D0=9F=D0=B5=D1=82=D1=80=D0=BE=D0=B2?= <ip@example.com>");
    // The subject: a word of a line end and a header line, a word of a
    // letter outside US-ASCII, and text a reader could take for a word.
    SetText(note, "Subject", "Hi =?utf-8?q?x=0D=0ABcc:_evil@example.com?= =?iso-8859-1?q?caf=E9?= a=?b");

    const std::string path = Export("UseMailFields=Yes");
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    // Decoded by a reader, each name is its text, line ends as blanks; a
    // word that cannot be decoded shows as it stands.
    EXPECT_EQ(message.Decoded("From"), "  Bcc: x@y <jo@example.com>");
    const std::string decodedTo = message.Decoded("To");
    EXPECT_EQ(decodedTo.substr(0, decodedTo.rfind(" | ")),
              "Jos\xC3\xA9 X <jose@example.com> | =?UTF-8?B?DQo=?= <n@example.com> | =?x-unknown?B?DQo=?= "
              "<u@example.com>");
    // A name of one word too long for a line goes in encoded words (this
    // reader keeps the blanks between the words of an address's name).
    std::string longName = decodedTo.substr(decodedTo.rfind(" | ") + 3);
    longName.erase(std::remove(longName.begin(), longName.end(), ' '), longName.end());
    EXPECT_EQ(longName, std::string(3000, 'w') + "<w@example.com>");
    EXPECT_EQ(message.Decoded("Cc"), "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80"
                                     "\xD0\xBE\xD0\xB2 <ip@example.com>");
    EXPECT_EQ(message.Decoded("Subject"), "Hi x  Bcc: evil@example.com caf\xC3\xA9 a=?b");
    EXPECT_EQ(message.Header("Subject").find('\r'), std::string::npos);
    // Every line within 998 characters.
    for (const std::string& line : Lines(talix_test::ReadFile(path))) EXPECT_LE(line.size(), 998u);
}

TEST(Rfc822Date, DayMonthTimeAndZone) {
    std::string text;
    const plat::TIMEDATE winter = Time(2025, 1, 15, 9, 5, 3, 5, false);
    ASSERT_EQ(talix::FormatRFC822Date(&winter, &text), 1);
    EXPECT_EQ(text, "Wed, 15 Jan 2025 09:05:03 -0500");
    const plat::TIMEDATE summer = Time(2025, 7, 8, 23, 0, 0, 5, true);
    ASSERT_EQ(talix::FormatRFC822Date(&summer, &text), 1);
    EXPECT_EQ(text, "Tue,  8 Jul 2025 23:00:00 -0400");
    // Zones with half hours, west and east of GMT, in standard and daylight
    // time: one sign before hours and minutes.
    const struct {
        plat::TIMEDATE time;
        const char* text;
    } kHalfHours[] = {
        {Time(2025, 1, 15, 12, 0, 0, 3003, false), "Wed, 15 Jan 2025 12:00:00 -0330"},
        {Time(2025, 7, 8, 12, 0, 0, 3003, true), "Tue,  8 Jul 2025 12:00:00 -0230"},
        {Time(2025, 1, 15, 12, 0, 0, -3005, false), "Wed, 15 Jan 2025 12:00:00 +0530"},
        {Time(2025, 1, 15, 12, 0, 0, 4509, false), "Wed, 15 Jan 2025 12:00:00 -0945"},
        {Time(2025, 1, 15, 12, 0, 0, 3000, false), "Wed, 15 Jan 2025 12:00:00 -0030"},
        {Time(2025, 7, 8, 12, 0, 0, 3000, true), "Tue,  8 Jul 2025 12:00:00 +0030"},
    };
    for (const auto& each : kHalfHours) {
        ASSERT_EQ(talix::FormatRFC822Date(&each.time, &text), 1);
        EXPECT_EQ(text, each.text);
    }

    // The zone is read as the platform's zone value gives it: -100 is one
    // minute east; daylight saving in a zone of 11 hours or more east is
    // written as the offset in force, past 12 hours.
    plat::TimeFields fields;
    fields.year = 2025;
    fields.month = 3;
    fields.day = 2;
    fields.weekday = 1;
    fields.zone = -100;
    talix::FormatRFC822Fields(fields, &text);
    EXPECT_EQ(text, "Sun,  2 Mar 2025 00:00:00 +0001");
    fields.zone = -11;
    fields.dst = true;
    talix::FormatRFC822Fields(fields, &text);
    EXPECT_EQ(text.substr(text.size() - 5), "+1200");
    fields.zone = -4512;
    talix::FormatRFC822Fields(fields, &text);
    EXPECT_EQ(text.substr(text.size() - 5), "+1345");
    const plat::TIMEDATE farEast = Time(2024, 7, 15, 12, 0, 0, -12, true);
    ASSERT_EQ(talix::FormatRFC822Date(&farEast, &text), 1);
    EXPECT_EQ(text, "Mon, 15 Jul 2024 12:00:00 +1300");
    fields.weekday = 9;
    fields.month = 13;
    talix::FormatRFC822Fields(fields, &text);
    EXPECT_EQ(text.substr(0, 4), "???,");
    EXPECT_NE(text.find(" ??? "), std::string::npos);

    plat::TIMEDATE none;
    none.Innards[0] = plat::ALLDAY;
    none.Innards[1] = plat::ANYDAY;
    EXPECT_EQ(talix::FormatRFC822Date(&none, &text), 0);
    EXPECT_EQ(text, "");
}

TEST_F(MailHeaders, ItemsOfEveryTypeAsHeaderText) {
    Store(engine_test::Runs({"Items"}));
    const plat::NOTEHANDLE note = item_.noteHandle;
    const auto add = [&](plat::WORD type, const std::string& value) {
        ASSERT_EQ(plat::ItemAppend(note, 0, "Multi", 5, type, value.data(), static_cast<plat::DWORD>(value.size())), 0);
    };
    add(plat::TYPE_TEXT, "plain");
    add(plat::TYPE_TEXT_LIST, std::string("\x02\x00\x01\x00\x02\x00" "abc", 9));
    const double number = 12.5;
    add(plat::TYPE_NUMBER, std::string(reinterpret_cast<const char*>(&number), 8));
    const plat::TIMEDATE t1 = Time(2025, 1, 15, 9, 5, 3, 0, false), t2 = Time(2025, 1, 16, 9, 5, 3, 0, false);
    add(plat::TYPE_TIME, std::string(reinterpret_cast<const char*>(&t1), 8));
    add(plat::TYPE_TIME_RANGE, std::string("\x01\x00\x01\x00", 4) + std::string(reinterpret_cast<const char*>(&t1), 8) +
                                   std::string(reinterpret_cast<const char*>(&t1), 8) +
                                   std::string(reinterpret_cast<const char*>(&t2), 8));
    std::vector<std::uint8_t> rfc822;
    ASSERT_EQ(talix::BuildRfc822Value("1.0", "MIME-Version", ": ", "1.0\r\n", &rfc822), 0);
    add(plat::TYPE_RFC822_TEXT, std::string(rfc822.begin(), rfc822.end()));
    add(plat::TYPE_NUMBER_RANGE, std::string("\x00\x00\x00\x00", 4));
    add(plat::TYPE_TEXT_LIST, std::string("\x09\x00\x01\x00", 4));   // counts past the value

    char time1[80] = {}, range[163] = {};
    plat::WORD length = 0;
    plat::TimeToText(&t1, time1, sizeof time1, &length);
    const plat::TIMEDATE_PAIR pair{t1, t2};
    plat::TimeRangeToText(&pair, range, sizeof range, &length);
    std::string text;
    EXPECT_EQ(talix::WriteItemsAsHeaders(note, "Multi", "H: ", ";", "|", "?", &text), 0);
    EXPECT_EQ(text, std::string("H: plain|H: a;bc|H: 12.5|H: ") + time1 + "|H: " + time1 + ";" + range +
                        "|H: 1.0|H: ?|H: ?");
    text.clear();
    EXPECT_EQ(talix::WriteItemsAsHeaders(note, "Missing", "H: ", ";", "|", "?", &text), 0);
    EXPECT_EQ(text, "");

    char out[64];
    EXPECT_EQ(talix::LookupDirectoryItem("", "$Users", "InternetAddress", "CN=Nobody/O=Org", out, sizeof out), 1028);
    EXPECT_STREQ(out, "CN=Nobody/O=Org");
}

} // namespace

// talix store-eml and from-mime, run as a user runs them: the test messages
// (made with Python's email package) stored and converted give the words
// the package finds in their HTML part; what cannot be converted is refused
// with the MIME items kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

const std::filesystem::path kMessages = std::filesystem::path(TALIX_MIME_MESSAGES);

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Words(const std::string& text) {
    std::istringstream in(text);
    std::string word, joined;
    while (in >> word) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// The words of each message's HTML part as Python's email package reads them.
std::map<std::string, std::string> PythonWords(const std::vector<std::string>& names) {
    std::string command = "cd '" + kMessages.string() + "' && python3 html_words.py";
    for (const std::string& name : names) command += " " + name;
    std::map<std::string, std::string> words;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return words;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        const std::size_t tab = text.find('\t');
        if (tab != std::string::npos) words[text.substr(0, tab)] = text.substr(tab + 1);
    }
    ::pclose(pipe);
    return words;
}

class MimeReadCommands : public talix_test::CliTest {
protected:
    std::string Message(const char* name) { return (kMessages / name).string(); }
};

TEST_F(MimeReadCommands, StoredMessagesConvertToTheirWords) {
    const std::string note = Import(Sample("styledtext.xml"));
    CliOutcome stored = Talix({"store-eml", db_, note, "Mail", Message("qp_utf8.eml")});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out, "1\t0\n");
    EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019\t0x0003\t"));
    CliOutcome converted = Talix({"from-mime", db_, note, "Mail"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(Talix({"text", db_, note, "Mail"}).out, "Hi \xC3\xA9\n");
    EXPECT_FALSE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));

    const std::vector<std::string> convertible = {"ascii.eml",          "base64_bom.eml",  "latin1_binary.eml",
                                                  "latin1_qp.eml",      "mixed_attachments.eml", "qp_utf8.eml",
                                                  "related_gif_jpeg.eml"};
    const std::map<std::string, std::string> words = PythonWords(convertible);
    ASSERT_EQ(words.size(), convertible.size());
    for (const std::string& name : convertible) {
        SCOPED_TRACE(name);
        const std::string item = "M" + std::to_string(&name - convertible.data());
        ASSERT_EQ(Talix({"store-eml", db_, note, item, Message(name.c_str())}).status, 0);
        CliOutcome from = Talix({"from-mime", db_, note, item});
        ASSERT_EQ(from.status, 0) << from.err;
        EXPECT_EQ(Words(Talix({"text", db_, note, item}).out), words.at(name));
    }
    // The inline attachment of the mixed message is in the note.
    EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "$FILE"));
}

TEST_F(MimeReadCommands, RefusalsKeepTheMimeItemsAndSayWhy) {
    const std::string note = Import(Sample("styledtext.xml"));
    const struct {
        std::string file;
        const char* reason;
    } refused[] = {
        {Message("related_png.eml"), "rendering skipped"},
        {Message("remote_image.eml"), "pictures from outside the message"},
        {Message("plain_only.eml"), "it has no text/html part"},
        {Write("garbage.eml", std::string("no mail at all\0\x01\x02", 17)), "it is not a MIME message"},
        {Write("empty.eml", ""), "it is not a MIME message"},
        {Write("boundary.eml", "MIME-Version: 1.0\nContent-Type: multipart/related; boundary=\"XYZ\"\n\n--ABC\n"
                               "Content-Type: text/html\n\n<p>hi</p>\n--ABC--\n"),
         "no part of it begins with the boundary its header names"},
    };
    for (const auto& each : refused) {
        SCOPED_TRACE(each.file);
        ASSERT_EQ(Talix({"store-eml", db_, note, "Mail", each.file}).status, 0);
        CliOutcome from = Talix({"from-mime", db_, note, "Mail"});
        EXPECT_EQ(from.status, 1);
        EXPECT_TRUE(Has(from.err, each.reason)) << from.err;
        EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));
    }
    // No MIME items of the name: refused, and no item made.
    const std::string items = Talix({"items", db_, note}).out;
    CliOutcome none = Talix({"from-mime", db_, note, "Nothing"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Has(none.err, "has no MIME items named 'Nothing'")) << none.err;
    EXPECT_EQ(Talix({"items", db_, note}).out, items);
    // A rich-text item is not MIME; bad usage.
    EXPECT_EQ(Talix({"from-mime", db_, note, "Body"}).status, 1);
    EXPECT_EQ(Talix({"from-mime", db_, note}).status, 2);
    EXPECT_EQ(Talix({"store-eml", db_, note, "Mail"}).status, 2);
    EXPECT_EQ(Talix({"store-eml", db_, note, "Mail", dir_.file("missing.eml")}).status, 1);
    // A file with LF line ends is stored with CR LF and converts.
    const std::string lf = Write("lf.eml", "Content-Type: text/html\n\n<p>Line\nfeeds</p>\n");
    ASSERT_EQ(Talix({"store-eml", db_, note, "Lf", lf}).status, 0);
    ASSERT_EQ(Talix({"from-mime", db_, note, "Lf", "--options", "PixelMultiplier=15"}).status, 0);
    EXPECT_EQ(Words(Talix({"text", db_, note, "Lf"}).out), "Line feeds");
}

} // namespace

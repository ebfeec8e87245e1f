// talix import-html, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

using talix_test::CliOutcome;

class ImportHtmlCommand : public talix_test::CliTest {};

TEST_F(ImportHtmlCommand, ImportsAFileAndReportsWhatFails) {
    const std::string id = Import(Sample("2194.xml"));
    const std::string page = Write("page.html", "<p>Hello <b>bold</b> <i>it</i></p>");

    CliOutcome imported = Talix({"import-html", db_, id, "Imported", page});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Talix({"text", db_, id, "Imported"}).out, "Hello bold it\n");
    // Again: the item keeps what it held and takes the page once more.
    ASSERT_EQ(Talix({"import-html", db_, id, "Imported", page}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Imported"}).out, "Hello bold itHello bold it\n");
    // --replace starts from a blank item.
    const std::string other = Write("other.html", "<h2>Title</h2>text &amp; more");
    ASSERT_EQ(Talix({"import-html", db_, id, "Imported", other, "--replace"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Imported"}).out, "Title\ntext & more\n");

    // Failures name the status and the error word, and change nothing.
    CliOutcome missing = Talix({"import-html", db_, id, "Imported", dir_.file("none.html")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("import-html failed: status 259: There is no input to read (error 20032: there is "
                               "no file or text to import)"),
              std::string::npos)
        << missing.err;
    // Empty HTML given inline names no file.
    CliOutcome empty = Talix({"append", db_, id, "Imported", "html", "INLINE", ""});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("(error 20032: there is no file or text to import)"), std::string::npos) << empty.err;
    CliOutcome broken = Talix({"import-html", db_, id, "Imported", Write("broken.html", "<p>a<!-- b</p>")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("import-html failed: status 257: The operation could not be carried out (error 20014"),
              std::string::npos)
        << broken.err;
    EXPECT_NE(broken.err.find("the HTML parser found 1 error in this HTML; nothing imported"), std::string::npos)
        << broken.err;
    CliOutcome comments = Talix({"import-html", db_, id, "Imported", Write("comment.html", "<p>a</p><!-- b")});
    EXPECT_EQ(comments.status, 1);
    EXPECT_NE(comments.err.find("the HTML parser found 1 error in this HTML; nothing imported"), std::string::npos)
        << comments.err;
    EXPECT_EQ(Talix({"text", db_, id, "Imported"}).out, "Title\ntext & more\n");
    // Markup past a bound of the parser, and a path option longer than its
    // buffer: refused with a message that names the bound, nothing saved.
    std::string deep = "<textarea>";
    for (int i = 0; i < 100000; ++i) deep += "<div>";
    CliOutcome nested = Talix({"import-html", db_, id, "Imported", Write("deep.html", deep)});
    EXPECT_EQ(nested.status, 1);
    EXPECT_NE(nested.err.find("HTML nested more than 1000 elements deep (at byte "), std::string::npos) << nested.err;
    EXPECT_NE(nested.err.find("status 14410: The HTML is past a bound of the import"), std::string::npos) << nested.err;
    CliOutcome longBase = Talix({"import-html", db_, id, "Imported", other, "--options",
                                 "BasePathname=/" + std::string(600, 'b')});
    EXPECT_EQ(longBase.status, 1);
    EXPECT_NE(longBase.err.find("the option BasePathname= is longer than the 511 bytes it may have"),
              std::string::npos)
        << longBase.err;
    EXPECT_EQ(Talix({"text", db_, id, "Imported"}).out, "Title\ntext & more\n");

    // Options reach the import; usage errors exit 2.
    const std::string wide = Write("wide.html", "<p style=\"margin-left:96px\">w</p>");
    EXPECT_EQ(Talix({"import-html", db_, id, "Wide", wide, "--options", "PixelMultiplier=30"}).status, 0);
    EXPECT_EQ(Talix({"import-html", db_, id, "Wide"}).status, 2);
    EXPECT_EQ(Talix({"import-html", db_, id, "Wide", wide, "--bogus"}).status, 2);
    CliOutcome help = Talix({"import-html", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--replace"), std::string::npos);
}

TEST_F(ImportHtmlCommand, AFileNamedFromTheWorkingDirectoryReadsItsPicturesAndSheet) {
    const std::string id = Import(Sample("2194.xml"));
    static const char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00"
                               "\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    const std::string gif(kGif, sizeof kGif - 1);
    std::filesystem::create_directory(dir_.file("site"));
    Write("site/pic.gif", gif);
    Write("site/style.css", "h2 { color: #ff0000 }");
    const std::string page = Write("site/page.html",
                                   "<html><head><link rel=\"stylesheet\" href=\"style.css\"></head>"
                                   "<body><h2>Red</h2><p>a<img src=\"pic.gif\">b</p></body></html>");
    ASSERT_EQ(Talix({"import-html", db_, id, "Full", page}).status, 0);
    runAs_ = "cd " + talix_test::Quoted(dir_.path().string()) + " && ";
    ASSERT_EQ(Talix({"import-html", db_, id, "FromFolder", "site/page.html"}).status, 0);
    runAs_ = "cd " + talix_test::Quoted(dir_.file("site")) + " && ";
    ASSERT_EQ(Talix({"import-html", db_, id, "Beside", "page.html"}).status, 0);
    runAs_.clear();

    const std::string full = Talix({"records", db_, id, "Full"}).out;
    EXPECT_NE(full.find("CD_IMAGESEGMENT"), std::string::npos) << full;
    EXPECT_NE(full.find("CD_COLOR"), std::string::npos) << full;
    EXPECT_EQ(full.find("CD_STORAGELINK"), std::string::npos) << full;
    // Named from the working directory, the page gives the same records.
    EXPECT_EQ(Talix({"records", db_, id, "FromFolder"}).out, full);
    EXPECT_EQ(Talix({"records", db_, id, "Beside"}).out, full);
}

TEST_F(ImportHtmlCommand, APageIsReadInTheSetItDeclares) {
    const std::string id = Import(Sample("2194.xml"));
    auto imported = [&](const std::string& name, const std::string& bytes, const std::string& options = "") {
        std::vector<std::string> args = {"import-html", db_, id, "Page", Write(name, bytes), "--replace"};
        if (!options.empty()) args.insert(args.end(), {"--options", options});
        const CliOutcome outcome = Talix(args);
        EXPECT_EQ(outcome.status, 0) << name << ": " << outcome.err;
        return Talix({"text", db_, id, "Page"}).out;
    };
    const std::string privet1251("\xCF\xF0\xE8\xE2\xE5\xF2", 6), privetKoi("\xF0\xD2\xC9\xD7\xC5\xD4", 6);
    // A meta element's charset, or its content type's, by the names pages give.
    EXPECT_EQ(imported("a.html", "<html><head><meta charset=\"windows-1251\"></head><body><p>" + privet1251 +
                                     "</p></body></html>"),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n");
    EXPECT_EQ(imported("b.html", "<HTML><HEAD><META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=KOI8-R'>"
                                 "</HEAD><BODY><P>" + privetKoi + "</P></BODY></HTML>"),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n");
    EXPECT_EQ(imported("c.html", "<head><meta name=content-type content='text/html; charset=iso-8859-15'></head>"
                                 "<p>\xA4 caf\xE9</p>"),
              "\xE2\x82\xAC caf\xC3\xA9\n");
    // A byte-order mark of UTF-16.
    std::string utf16("\xFF\xFE", 2);
    for (const char c : std::string("<p>Hi \xE9</p>")) utf16 += std::string{c, '\0'};
    EXPECT_EQ(imported("d.html", utf16), "Hi \xC3\xA9\n");
    // The options win over the page; a page that declares nothing is UTF-8.
    const std::string latin = "<head><meta charset=\"utf-8\"></head><p>caf\xE9</p>";
    EXPECT_EQ(imported("e.html", latin, "Charset=windows-1252"), "caf\xC3\xA9\n");
    EXPECT_EQ(imported("f.html", latin, "CharEncoding=latin1"), "caf\xC3\xA9\n");
    EXPECT_EQ(imported("g.html", "<p>caf\xC3\xA9</p>"), "caf\xC3\xA9\n");
    // A set no table knows leaves UTF-8.
    EXPECT_EQ(imported("h.html", "<meta charset=\"x-unknown\"><p>caf\xC3\xA9</p>"), "caf\xC3\xA9\n");
}

} // namespace

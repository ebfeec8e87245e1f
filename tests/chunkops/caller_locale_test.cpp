// The library inside a program that set its own locale: items built from
// options with decimals, their HTML, their property texts and formulas with
// decimals give what they give under the C locale, also under a decimal
// comma, Turkish case rules or an 8-bit character set.
#include <clocale>
#include <cstdlib>
#include <locale>
#include <string>

#include "chunk_fixture.h"
#include "support/evaluate_formula.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

// Sets the C and the C++ global locale for as long as it lives, and puts
// back those it found.
class CallerLocale {
public:
    explicit CallerLocale(const char* name) {
        const char* current = std::setlocale(LC_ALL, nullptr);
        before_ = current != nullptr ? current : "C";
        if (std::setlocale(LC_ALL, name) == nullptr) return;
        try {
            previous_ = std::locale::global(std::locale(name));
            set_ = true;
        } catch (const std::runtime_error&) {
            std::setlocale(LC_ALL, before_.c_str());
        }
    }
    ~CallerLocale() {
        if (set_) std::locale::global(previous_);
        std::setlocale(LC_ALL, before_.c_str());
    }
    CallerLocale(const CallerLocale&) = delete;
    CallerLocale& operator=(const CallerLocale&) = delete;
    bool set() const { return set_; }

private:
    std::string before_;
    std::locale previous_;
    bool set_ = false;
};

class CallerLocaleTest : public ChunkTest, public testing::WithParamInterface<const char*> {
protected:
    // What a user of the library gets back from one item: statuses, the
    // generated HTML, property texts of its targets and formula results, as
    // one text.
    std::string Results() {
        std::string out;
        auto status = [&out](const char* what, int value) {
            out += std::string(what) + "=" + std::to_string(value) + "\n";
        };
        const plat::NOTEID id = NewNote();
        Open(id);
        ZervaRTChunk* all = Chunk();
        if (all == nullptr) return "the chunk Everything is not understood\n";
        status("paragraph", all->AppendParagraph("LeftMargin=1.75 RightMargin=1.25 FirstLineLeftMargin=0.5 "
                                                 "TabInterval=0.75",
                                                 nullptr, nullptr, 0));
        status("text", all->AppendText("Indented text", 0, nullptr));
        const char* columns[] = {"Width=1.5", "Width=2.25"};
        status("table", all->AppendTable(2, 2, 0, "RowHeight=0.5 TabIndent=0.25 PixelsPerInch=96.5", columns));
        status("layer", all->AppendLayer("0.5in", "1.25in", "2.5in", "3.75in", 0, nullptr, nullptr, nullptr, 0));
        const char* html = "<P STYLE=\"MARGIN-LEFT: 1.5IN\">Ruled</P><HR WIDTH=\"50%\" SIZE=\"3\">"
                           "<table width=\"75%\"><tr><td width=\"1.5in\">Cell</td></tr></table>";
        status("html", all->AppendHTML("Inline", html, nullptr));
        const char* generated = all->GenerateHTML(nullptr, "HTML", "", 0, nullptr, nullptr);
        if (generated != nullptr) out += generated;
        out += "\n";
        for (const char* type : {"Table", "Layer", "HR"}) {
            ZervaRTChunk* target = Chunk((std::string(type) + " 1").c_str());
            if (target == nullptr) continue;
            const char* words = target->GetTargetProperties(type, nullptr);
            out += std::string(type) + ": " + (words != nullptr ? words : "(none)") + "\n";
        }
        ZervaRTChunk* paragraph = Chunk("Paragraph 1");
        if (paragraph != nullptr) {
            const char* words = paragraph->GetTargetProperties("Paragraph", nullptr);
            out += std::string("Paragraph: ") + (words != nullptr ? words : "(none)") + "\n";
            char text[256];
            const std::uint16_t length = paragraph->GetPropertyText("PointSize", text, sizeof text - 1);
            out += "PointSize: " + std::string(text, length) + "\n";
        }
        Save();
        plat::NOTEHANDLE note = plat::NULLHANDLE;
        plat::DBHANDLE db = plat::NULLHANDLE;
        if (plat::DbOpen(path_.c_str(), &db) == plat::NOERROR && plat::NoteOpen(db, id, 0, &note) == plat::NOERROR) {
            for (const char* formula : {"@Text(2.75 * 2)", "@Text(@TextToNumber(\"3.75\") * 2)",
                                        "@UpperCase(\"title\") + @LowerCase(\"TITLE\")", "@Text(1.5e-400 + 0.5)"}) {
                std::string value;
                const plat::STATUS result = talix_test::EvaluateFormula(note, formula, &value);
                out += std::string(formula) + " -> " + std::to_string(result) + " " + value + "\n";
            }
            plat::NoteClose(note);
        }
        if (db != plat::NULLHANDLE) plat::DbClose(db);
        return out;
    }
};

TEST_P(CallerLocaleTest, ResultsAreThoseOfTheCLocale) {
    std::string expected;
    {
        const CallerLocale c("C");
        expected = Results();
    }
    // What the results hold under C, so that the comparison below compares
    // decimals written and read.
    EXPECT_NE(expected.find("1.75"), std::string::npos) << expected;
    EXPECT_NE(expected.find("5.5"), std::string::npos) << expected;
    EXPECT_NE(expected.find("7.5"), std::string::npos) << expected;

    const CallerLocale locale(GetParam());
    if (!locale.set()) GTEST_SKIP() << "the locale " << GetParam() << " is not installed on this machine";
    EXPECT_EQ(Results(), expected) << "under " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Locales, CallerLocaleTest,
                         testing::Values("de_DE.UTF-8", "tr_TR.ISO-8859-9", "tr_TR.UTF-8", "en_US.ISO-8859-1"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '.' || c == '-') c = '_';
                             }
                             return name;
                         });

} // namespace
} // namespace chunkops_test

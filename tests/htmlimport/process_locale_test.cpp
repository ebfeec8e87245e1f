// An import leaves the process's locale as it found it, whatever locale the
// environment names, and imports the same records under any of them.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "htmlimport/walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;

// Whether the C library can load the locale (it may not be generated here).
bool LocaleLoads(const char* name) {
    locale_t loaded = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (loaded == static_cast<locale_t>(0)) return false;
    freelocale(loaded);
    return true;
}

// Sets LC_ALL in the environment for the test and puts back what it was,
// with the process's locale, afterwards.
class EnvironmentLocale {
public:
    EnvironmentLocale() {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        if (had_) old_ = old;
        process_ = std::setlocale(LC_ALL, nullptr);
    }
    ~EnvironmentLocale() {
        if (had_) setenv("LC_ALL", old_.c_str(), 1);
        else unsetenv("LC_ALL");
        std::setlocale(LC_ALL, process_.c_str());
    }
    void Name(const char* name) { setenv("LC_ALL", name, 1); }

private:
    bool had_ = false;
    std::string old_;
    std::string process_;
};

bool RecordsAlike(const std::vector<ItemRecord>& a, const std::vector<ItemRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].signature != b[i].signature || a[i].bytes != b[i].bytes) return false;
    return true;
}

const char* const kPage =
    "<style>p.k { margin-left: 1.5in; font-size: 10.5pt }</style>"
    "<p style='border: 2px solid blue'>A paragraph with a border.</p>"
    "<div style='border-left: 4px solid #808080; padding-left: 8px'>Indented.</div>"
    "<p class=k>Styled <font face=Arial size=4>face</font></p>"
    "<table border=1 width='50%'><tr><td style='border: 1px dotted red'>cell</td></tr></table>";

TEST_F(WalkTest, AnImportLeavesTheProcessLocaleAndReadsTheSameUnderAnyLocale) {
    EnvironmentLocale environment;
    const std::string before = std::setlocale(LC_ALL, nullptr);

    // C.UTF-8 is there on every machine: the import must not take it up.
    environment.Name("C.UTF-8");
    const Imported plain = Import(kPage);
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(plain.problem, "");
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);

    // Under locales whose case rules or decimal mark differ from C the
    // records are those of the first import. Locales not generated on this
    // machine are left out.
    for (const char* name : {"tr_TR.UTF-8", "de_DE.UTF-8", "en_US.ISO-8859-1"}) {
        if (!LocaleLoads(name)) continue;
        environment.Name(name);
        const Imported imported = Import(kPage);
        EXPECT_EQ(imported.status, 0) << name;
        EXPECT_TRUE(RecordsAlike(plain.records, imported.records)) << name << ": " << imported.Layout();
        EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before) << name;
    }
}

} // namespace

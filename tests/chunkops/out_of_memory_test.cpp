// Memory that runs out inside a chunk method: every allocation of a run is
// made to fail in turn, and the method must answer an out-of-memory status
// (263, or the platform's own) with the item as it was, or finish its work;
// the failure never leaves the method.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "chunkops/chunk_text.h"
#include "talix_platform.h"

namespace {

// The allocation (counted from 1 once armed) that fails; 0: none.
unsigned long g_failAt = 0;
unsigned long g_allocations = 0;
bool g_failed = false;

} // namespace

// Every allocation of this test program passes here (all forms, so that
// each is freed as it was taken): with a failure armed, the chosen one
// fails as a full memory would.
void* operator new(std::size_t size) {
    if (g_failAt != 0 && ++g_allocations == g_failAt) {
        g_failed = true;
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
// Kept out of line: inlined where the compiler sees the block's new, the
// free in them is taken for one that does not match it.
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace chunkops_test {
namespace {

std::string StatusText(std::uint16_t status) {
    char text[256];
    plat::StatusText(status, text, sizeof text);
    return text;
}

class OutOfMemoryTest : public ChunkTest {
protected:
    // A new item holding a table of one column, its cells "c", "a", "b".
    void ThreeRowTable() {
        Open(NewNote());
        ZervaRTChunk* everything = Chunk();
        ASSERT_EQ(everything->AppendTable(3, 1, 0, nullptr, nullptr), 0);
        ZervaRTChunk* table = Chunk("Table 1");
        const char* texts[] = {"c", "a", "b"};
        for (int row = 0; row < 3; ++row) {
            const std::string cell = "Row " + std::to_string(row + 1) + "; Column 1";
            ASSERT_EQ(table->SetText(cell.c_str(), texts[row], 0, nullptr), 0);
        }
        delete table;
        delete everything;
    }
    // The values of the note's "Body" items as the open note holds them.
    std::string NoteValue() const {
        std::string bytes;
        plat::BLOCKID item, value;
        plat::WORD type = 0;
        plat::DWORD length = 0;
        plat::STATUS status = plat::ItemInfo(item_->noteHandle, "Body", 4, &item, &type, &value, &length);
        while (status == plat::NOERROR) {
            const auto* data = static_cast<const char*>(plat::BlockLock(value));
            if (data != nullptr) bytes.append(data, length);
            plat::BlockUnlock(value);
            const plat::BLOCKID after = item;
            status = plat::ItemInfoNext(item_->noteHandle, after, "Body", 4, &item, &type, &value, &length);
        }
        return bytes;
    }
    // Runs the method with the n-th allocation failing; true when the
    // failure was reached.
    template <typename Method>
    bool FailingAt(unsigned long n, Method method) {
        g_allocations = 0;
        g_failed = false;
        g_failAt = n;
        method();
        g_failAt = 0;
        return g_failed;
    }
};

TEST_F(OutOfMemoryTest, AFailedAllocationGives263AndLeavesTheItemAsItWas) {
    ThreeRowTable();
    std::string before = NoteValue();
    ASSERT_EQ(TextOf("Table 1", ","), "c,a,b");

    // A run that rewrites the item: the rows sorted.
    unsigned long refused = 0;
    bool finished = false;
    for (unsigned long n = 1; !finished && n < 10000; ++n) {
        std::uint16_t status = 0;
        ZervaRTChunk* table = Chunk("Table 1");
        ASSERT_NE(table, nullptr);
        const bool failed = FailingAt(n, [&] { status = table->SortByRow(1, 0, 0, 0, nullptr); });
        delete table;
        if (!failed) {
            // Every allocation of the run was tried: it sorts.
            EXPECT_EQ(status, 0);
            EXPECT_EQ(TextOf("Table 1", ","), "a,b,c");
            finished = true;
        } else if (status != 0) {
            ++refused;
            EXPECT_EQ(StatusText(status), "Insufficient memory") << "allocation " << n;
            EXPECT_EQ(NoteValue(), before) << "allocation " << n;
            EXPECT_EQ(TextOf("Table 1", ","), "c,a,b") << "allocation " << n;
        } else {
            // A failure the run could work around: the rows are sorted, and
            // the next allocation fails on a new table.
            EXPECT_EQ(status, 0) << "allocation " << n;
            ASSERT_EQ(TextOf("Table 1", ","), "a,b,c") << "allocation " << n;
            ThreeRowTable();
            before = NoteValue();
        }
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(refused, 0u);   // the run does allocate, and its failures were met

    // A run that reads: the whole text, or 263 and none of it.
    finished = false;
    for (unsigned long n = 1; !finished && n < 10000; ++n) {
        ZervaRTChunk* everything = Chunk();
        std::string text = "left over";
        talix::STATUS status = 0;
        const bool failed = FailingAt(n, [&] { status = talix::GetWholeChunkText(everything, &text, true); });
        delete everything;
        if (failed && status != 0) {
            EXPECT_EQ(StatusText(status), "Insufficient memory") << "allocation " << n;
            EXPECT_EQ(text, "") << "allocation " << n;
            continue;
        }
        EXPECT_EQ(status, 0) << "allocation " << n;
        EXPECT_NE(text.find("a"), std::string::npos) << "allocation " << n;
        finished = !failed;
    }
    EXPECT_TRUE(finished);
}

// An HTML import whose memory runs out, at any allocation, fails (263, or
// the error word of a conversion that failed) and adds nothing to the item,
// or works around it and adds the whole document: no step after a failure
// replaces it, and none of the records the walk made before it is kept.
// Zooming out while memory runs out leaves the chunk zoomed in, never the
// whole item; a later zoom out goes back.
TEST_F(OutOfMemoryTest, AZoomOutWhoseMemoryRunsOutKeepsTheChunk) {
    ThreeRowTable();
    for (unsigned long n = 1;; ++n) {
        SCOPED_TRACE(n);
        ZervaRTChunk* table = Chunk("Table 1");
        ASSERT_EQ(table->ZoomIn("Row 2"), 1);
        const bool failed = FailingAt(n, [&] { table->ZoomOut(); });
        if (failed) {
            EXPECT_NE(std::string(table->definition), "Everything");
            EXPECT_EQ(table->Exists(), 1);
            table->ZoomOut();
        }
        EXPECT_STREQ(table->definition, "Table 1");
        EXPECT_EQ(table->targetType, 1);
        delete table;
        if (!failed) break;
    }
}

TEST_F(OutOfMemoryTest, AnHtmlImportWhoseMemoryRunsOutAddsNothing) {
    std::string html = "<style>p.x { color: red; margin-left: 2em }</style><h1>Title</h1>";
    for (int n = 0; n < 4; ++n)
        html += "<p class=x>Paragraph " + std::to_string(n) + " with <b>bold</b>, <a href=\"http://x.com/" +
                std::to_string(n) + "\">a link</a> and <font size=4>big</font> text</p><ul><li>one<li>two</ul>"
                "<div style=\"position:absolute; left:10px; top:" + std::to_string(20 * n) + "px\">layer</div>"
                "<table border=1><tr><td>a<td>b</tr></table>";
    auto startNote = [&] {
        Open(NewNote());
        ZervaRTChunk* everything = Chunk();
        ASSERT_EQ(everything->AppendText("kept", 0, nullptr), 0);
        delete everything;
        Save();
    };
    // The item with the whole document, and before it.
    startNote();
    ZervaRTChunk* whole = Chunk();
    ASSERT_EQ(whole->AppendHTML("Inline", html.c_str(), nullptr), 0);
    delete whole;
    Save();
    const std::vector<std::string> imported = Stored(id_).records;
    ASSERT_NE(Stored(id_).Joined().find("layer"), std::string::npos);
    startNote();
    const std::vector<std::string> before = Stored(id_).records;

    unsigned long refused = 0;
    bool finished = false;
    for (unsigned long n = 1; !finished && n < 100000; ++n) {
        std::uint16_t status = 0;
        ZervaRTChunk* everything = Chunk();
        ASSERT_NE(everything, nullptr);
        const bool failed = FailingAt(n, [&] { status = everything->AppendHTML("Inline", html.c_str(), nullptr); });
        const std::uint16_t errorWord = everything->errorWord;
        delete everything;
        Save();
        const std::vector<std::string> after = Stored(id_).records;
        if (!failed) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(after, imported);
            finished = true;
        } else if (status != 0 || errorWord != 0) {
            ++refused;
            if (status != 0) ASSERT_EQ(StatusText(status), "Insufficient memory") << "allocation " << n;
            ASSERT_EQ(after, before) << "allocation " << n;
        } else {
            ASSERT_EQ(after, imported) << "allocation " << n;
            startNote();
        }
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(refused, 0u);
}

} // namespace
} // namespace chunkops_test

namespace chunkops_test {
namespace {

// The values of a note's items of a name, each with its flags.
std::vector<std::string> ItemValues(plat::NOTEHANDLE note, const char* name) {
    std::vector<std::string> values;
    const auto length = static_cast<plat::WORD>(std::strlen(name));
    plat::BLOCKID item, value;
    plat::DWORD size = 0;
    plat::STATUS status = plat::ItemInfo(note, name, length, &item, nullptr, &value, &size);
    while (status == plat::NOERROR) {
        plat::WORD flags = 0;
        plat::ItemQuery(item, nullptr, 0, &flags, nullptr, nullptr, nullptr);
        const auto* data = static_cast<const char*>(plat::BlockLock(value));
        values.push_back(std::to_string(flags) + ":" + std::string(data != nullptr ? data : "", data != nullptr ? size : 0));
        plat::BlockUnlock(value);
        const plat::BLOCKID after = item;
        status = plat::ItemInfoNext(note, after, name, length, &item, nullptr, &value, &size);
    }
    return values;
}

// An item read while memory runs out at any allocation: the read fails or
// gives the whole text, and either way every block of memory it took is
// given back when the item goes.
TEST_F(OutOfMemoryTest, AnItemReadWhileMemoryRunsOutGivesBackWhatItTook) {
    std::vector<talix_test::FixtureRecord> body = ParagraphStart();
    for (int n = 0; n < 20; ++n) body.push_back(TextRun("Run " + std::to_string(n) + " of the body"));
    const plat::NOTEID id = NewNote(body);
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
    unsigned long refused = 0;
    bool finished = false;
    for (unsigned long n = 1; !finished && n < 10000; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        const auto blocks = plat::MemLiveCount();
        {
            ZervaRTItem item(&session_);
            ASSERT_EQ(item.ConnectBackend(note, "Body", 0), 0);
            std::string text;
            std::uint16_t status = 0;
            const bool failed =
                FailingAt(n, [&] { status = talix::GetWholeChunkText(item.defaultChunk, &text, true); });
            if (status != 0) {
                ++refused;
                EXPECT_TRUE(failed);
            } else {
                EXPECT_NE(text.find("Run 19 of the body"), std::string::npos) << text;
                finished = !failed;
            }
        }
        EXPECT_EQ(plat::MemLiveCount(), blocks);
    }
    plat::NoteClose(note);
    plat::DbClose(db);
    EXPECT_TRUE(finished);
    EXPECT_GT(refused, 0u);
}

// A database checked while memory runs out at any allocation: the check
// fails with an out-of-memory status and no findings, or finds nothing
// wrong; the failure never leaves the call.
TEST_F(OutOfMemoryTest, ADatabaseCheckedWhileMemoryRunsOutFailsWithAStatus) {
    std::vector<talix_test::FixtureRecord> body = ParagraphStart();
    for (int n = 0; n < 20; ++n) body.push_back(TextRun("Run " + std::to_string(n) + " of the body"));
    NewNote(body);
    NewNote(body);
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    unsigned long refused = 0;
    bool finished = false;
    for (unsigned long n = 1; !finished && n < 100000; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        std::vector<plat::DbProblem> problems;
        plat::STATUS status = 0;
        const bool failed = FailingAt(n, [&] { status = plat::DbCheck(db, &problems); });
        if (status != 0) {
            ++refused;
            ASSERT_TRUE(failed);
            EXPECT_EQ(StatusText(status), "Insufficient memory");
        } else {
            finished = !failed;
        }
        EXPECT_TRUE(problems.empty());
    }
    plat::DbClose(db);
    EXPECT_TRUE(finished);
    EXPECT_GT(refused, 0u);
}

// A stored note opened while memory runs out at any allocation: the open
// fails with an out-of-memory status and no note, and the database goes on
// as before (the next open reads the note, an update lands); the failure
// never leaves the call.
TEST_F(OutOfMemoryTest, ANoteOpenedWhileMemoryRunsOutFailsWithAStatus) {
    std::vector<talix_test::FixtureRecord> body = ParagraphStart();
    for (int n = 0; n < 20; ++n) body.push_back(TextRun("Run " + std::to_string(n) + " of the body"));
    const plat::NOTEID id = NewNote(body);
    const plat::NOTEID other = NewNote();
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    unsigned long refused = 0;
    bool finished = false;
    for (unsigned long n = 1; !finished && n < 10000; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        plat::NOTEHANDLE note = 0;
        plat::STATUS status = 0;
        const bool failed = FailingAt(n, [&] { status = plat::NoteOpen(db, id, 0, &note); });
        if (status != 0) {
            ++refused;
            ASSERT_TRUE(failed);
            EXPECT_EQ(StatusText(status), "Insufficient memory");
            EXPECT_EQ(note, 0u);
            // The database takes an update as before.
            plat::NOTEHANDLE written = 0;
            ASSERT_EQ(plat::NoteOpen(db, other, 0, &written), 0);
            ASSERT_EQ(plat::ItemAppend(written, 0, "Seen", 4, plat::TYPE_TEXT, "x", 1), 0);
            EXPECT_EQ(plat::NoteUpdate(written, plat::UPDATE_FORCE), 0);
            plat::NoteClose(written);
        } else {
            finished = !failed;
            ASSERT_NE(note, 0u);
            plat::NoteClose(note);
        }
    }
    plat::DbClose(db);
    EXPECT_TRUE(finished);
    EXPECT_GT(refused, 0u);
    EXPECT_TRUE(Stored(id).Holds("Run 19 of the body"));
}

// A message made of rich text while memory runs out at any allocation:
// into a file, the run fails with an out-of-memory status and leaves no
// file (nor a temporary one); into MIME items of the note, it fails with
// the note's items as they were. The failure never leaves the call.
TEST_F(OutOfMemoryTest, AMessageMadeWhileMemoryRunsOutFailsAndLeavesNothing) {
    std::vector<talix_test::FixtureRecord> body = ParagraphStart();
    for (int n = 0; n < 5; ++n) body.push_back(TextRun("Run " + std::to_string(n) + " of the body", n % 2 == 1));
    Open(NewNote(body));
    const std::string file = dir_.file("message.eml");
    const auto leftInFolder = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename().string();
            if (name.find("message.eml") != std::string::npos) names.push_back(name);
        }
        return names;
    };
    for (const bool toFile : {true, false}) {
        unsigned long refused = 0;
        bool finished = false;
        for (unsigned long n = 1; !finished && n < 100000; ++n) {
            SCOPED_TRACE((toFile ? "file, allocation " : "note, allocation ") + std::to_string(n));
            const std::string before = NoteValue();
            const bool failed = FailingAt(n, [&] {
                if (toFile) item_->ExportToMIME(file.c_str(), "", "", "", "", 0, "", 0, nullptr);
                else item_->ConvertToMIME("Mail", "", "", "", "", 0, "", 0, nullptr);
            });
            plat::BLOCKID mail, value;
            plat::WORD type = 0;
            plat::DWORD length = 0;
            const bool mailItems = plat::ItemInfo(item_->noteHandle, "Mail", 4, &mail, &type, &value, &length) == 0;
            if (item_->lastStatus != 0) {
                ++refused;
                ASSERT_TRUE(failed);
                EXPECT_EQ(StatusText(item_->lastStatus), "Insufficient memory");
                EXPECT_EQ(leftInFolder(), std::vector<std::string>());
                EXPECT_FALSE(mailItems);
                EXPECT_EQ(NoteValue(), before);
            } else {
                finished = !failed;
                if (toFile) {
                    EXPECT_EQ(leftInFolder(), std::vector<std::string>{"message.eml"});
                    std::filesystem::remove(file);
                } else {
                    EXPECT_TRUE(mailItems);
                    while (plat::ItemDelete(item_->noteHandle, "Mail", 4) == 0) {
                    }
                }
            }
        }
        EXPECT_TRUE(finished);
        EXPECT_GT(refused, 0u);
    }
}

// Rich text rendered as HTML while memory runs out at any allocation: into
// a file, the run fails with an out-of-memory status and leaves no file (nor
// a temporary one); into an item of the note, it fails with that status.
// The failure never leaves the call.
TEST_F(OutOfMemoryTest, HtmlMadeWhileMemoryRunsOutFailsAndLeavesNothing) {
    std::vector<talix_test::FixtureRecord> body = ParagraphStart();
    for (int n = 0; n < 5; ++n) body.push_back(TextRun("Run " + std::to_string(n) + " of the body", n % 2 == 1));
    Open(NewNote(body));
    const std::string file = dir_.file("page.html");
    const auto leftInFolder = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename().string();
            if (name.find("page.html") != std::string::npos) names.push_back(name);
        }
        return names;
    };
    for (const bool toFile : {true, false}) {
        unsigned long refused = 0;
        bool finished = false;
        for (unsigned long n = 1; !finished && n < 100000; ++n) {
            SCOPED_TRACE((toFile ? "file, allocation " : "item, allocation ") + std::to_string(n));
            const bool failed = FailingAt(n, [&] {
                if (toFile) item_->ExportToHTML(file.c_str(), "", "", 0, nullptr);
                else item_->ConvertToHTML("Page", "", "", 0, nullptr);
            });
            const bool pageItem = plat::ItemIsPresent(item_->noteHandle, "Page", 4);
            if (item_->lastStatus != 0) {
                ++refused;
                ASSERT_TRUE(failed);
                EXPECT_EQ(StatusText(item_->lastStatus), "Insufficient memory");
                EXPECT_EQ(leftInFolder(), std::vector<std::string>());
            } else {
                finished = !failed;
                if (toFile) {
                    EXPECT_EQ(leftInFolder(), std::vector<std::string>{"page.html"});
                    std::filesystem::remove(file);
                } else {
                    EXPECT_TRUE(pageItem);
                }
            }
            while (plat::ItemDelete(item_->noteHandle, "Page", 4) == 0) {
            }
        }
        EXPECT_TRUE(finished);
        EXPECT_GT(refused, 0u);
    }
}

// A message converted into rich text whose memory runs out at any
// allocation: the conversion fails with the message's items and files as
// they were and nothing connected, or the item holds the whole message and
// the note its attachment.
TEST_F(OutOfMemoryTest, AMailConversionWhoseMemoryRunsOutKeepsTheMessage) {
    std::string html;
    for (int n = 0; n < 3; ++n)
        html += "<p>Paragraph " + std::to_string(n) + " with <b>bold</b> and <i>slanted</i> words</p>";
    const std::string message = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                                "--b\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n"
                                "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; "
                                "filename=notes.txt\r\n\r\nthe notes\r\n--b--\r\n";
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE stored = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    ASSERT_EQ(plat::NoteCreate(db, &stored), 0);
    ASSERT_EQ(plat::MimeStoreMessage(stored, "Body", 4, message.data(), message.size()), 0);
    ASSERT_EQ(plat::NoteUpdate(stored, plat::UPDATE_FORCE), 0);
    plat::NOTEID id = 0;
    plat::NoteGetInfo(stored, plat::NOTE_FIELD_ID, &id);
    const std::vector<std::string> parts = ItemValues(stored, "Body");
    const std::vector<std::string> files = ItemValues(stored, "$FILE");
    plat::NoteClose(stored);
    plat::DbClose(db);
    ASSERT_EQ(parts.size(), 4u);

    // The conversion called itself, and by a connect to the note's item.
    for (const bool connect : {false, true}) {
        unsigned long refused = 0;
        bool finished = false;
        for (unsigned long n = 1; !finished && n < 100000; ++n) {
            SCOPED_TRACE((connect ? "connect, allocation " : "conversion, allocation ") + std::to_string(n));
            plat::DBHANDLE db = 0;
            plat::NOTEHANDLE note = 0;
            if (connect) {
                ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
                ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
            }
            bool failed = false;
            {
                ZervaRTItem item(&session_);
                std::uint16_t status = 0;
                if (connect) {
                    failed = FailingAt(n, [&] { status = item.ConnectBackend(note, "Body", 0); });
                } else {
                    ASSERT_EQ(item.CopyItem("", path_.c_str(), id, "Body", 0), 0);
                    note = item.noteHandle;
                    failed = FailingAt(n, [&] { status = item.ConvertFromMIMEBackend(note, "Body", ""); });
                }
                // A connect whose chunk cannot be made after the conversion
                // says so; the conversion itself answers 0 either way.
                if (status != 0) EXPECT_EQ(StatusText(status), "Insufficient memory");
                if (!connect) EXPECT_EQ(status, 0);
                if (item.connected == 0) {
                    ++refused;
                    ASSERT_TRUE(failed);
                    EXPECT_EQ(item.defaultChunk, nullptr);
                    ASSERT_EQ(ItemValues(note, "Body"), parts);
                    ASSERT_EQ(ItemValues(note, "$FILE"), files);
                } else if (status == 0) {
                    ASSERT_NE(item.defaultChunk, nullptr);
                    std::string text;
                    ASSERT_EQ(talix::GetWholeChunkText(item.defaultChunk, &text, true), 0);
                    ASSERT_NE(text.find("Paragraph 2 with bold and slanted words"), std::string::npos) << text;
                    ASSERT_EQ(ItemValues(note, "$FILE").size(), files.size() + 1);
                    finished = !failed;
                }
            }
            if (connect) {
                plat::NoteClose(note);
                plat::DbClose(db);
            }
        }
        EXPECT_TRUE(finished);
        EXPECT_GT(refused, 0u);
    }
}

} // namespace
} // namespace chunkops_test

// Helpers shared by the benchmarks: a scratch directory for their
// databases, storing stored-form records as rich-text items, and connecting
// an item with the run skipped when that fails.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix_bench {

// The buffer the benchmarks hand GetText.
constexpr std::uint32_t kTextBufferSize = 65342;

// The bytes of a megabyte, in which the benchmarks give their sizes.
constexpr std::size_t kMegabyte = 1024 * 1024;

// A fresh directory in the system's temporary folder, removed with
// everything in it when the object goes; its path is empty when it cannot
// be made.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code ec;
        std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
        if (ec) temp = "/tmp";
        std::string pattern = (temp / "talix-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Appends a word in stored form (low byte first) to a record being built.
inline void AppendWord(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

// A host-form record of a signature and length, zero-filled, its header
// written in the form the signature calls for.
inline std::vector<std::uint8_t> HostRecord(std::uint16_t signature, std::uint32_t length) {
    std::vector<std::uint8_t> record(length, 0);
    talix::WriteRecordHeader(record.data(), signature, length);
    return record;
}

// Stores records in stored form (each of even length) as the rich-text
// items of a name in a note, each item holding whole records and at most
// 49,022 bytes of them. Failures are not reported here: reading the item
// back in the benchmark finds what is missing.
inline void StoreRecordItems(plat::NOTEHANDLE note, const char* name, const std::vector<std::string>& records) {
    constexpr std::size_t kItemRecordBytes = 49022;
    const auto nameLength = static_cast<plat::WORD>(std::char_traits<char>::length(name));
    std::string value;
    auto append = [&] {
        plat::ItemAppend(note, 0, name, nameLength, plat::TYPE_COMPOSITE, value.data(),
                         static_cast<plat::DWORD>(value.size()));
        value.clear();
    };
    for (const std::string& record : records) {
        if (!value.empty() && value.size() + record.size() > kItemRecordBytes) append();
        value += record;
    }
    if (!value.empty()) append();
}

// The folder of real exported notes, found as the tests find it: from
// TALIX_DXL_DIR, else beside the project; empty when it is absent (the
// benchmarks that need it say so and stop).
inline std::filesystem::path SharedDxlDir() {
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("TALIX_DXL_DIR"); env != nullptr && *env != '\0')
        return fs::is_directory(env) ? fs::path(env) : fs::path();
    fs::path beside = fs::path(TALIX_SOURCE_DIR).parent_path() / "shared" / "data" / "dxl";
    return fs::is_directory(beside) ? beside : fs::path();
}

// Every .xml file below a folder, sorted.
inline std::vector<std::string> DxlFilesBelow(const std::filesystem::path& dir) {
    std::vector<std::string> files;
    if (dir.empty()) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The message of a benchmark that needs the shared files when they are absent.
constexpr const char* kNoSharedData =
    "the shared DXL files are not present (../shared/data/dxl beside the project, or TALIX_DXL_DIR)";

// The bytes the heap allocator holds for the program (in use, and in large
// blocks of their own): the difference across a step is what it allocated
// and kept.
inline std::int64_t HeapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

// Skips the run with the message unless the condition holds; returns the
// condition.
inline bool SkipUnless(benchmark::State& state, bool condition, const char* message) {
    if (!condition) state.SkipWithError(message);
    return condition;
}

// Connects the item to the "Body" item of a note; when that fails the run
// is skipped and false returned.
inline bool ConnectBody(benchmark::State& state, ZervaRTItem* item, const std::string& path, plat::NOTEID id,
                        int create = 0) {
    return SkipUnless(state, item->Connect("", path.c_str(), id, "Body", create) == 0, "cannot connect to the item");
}

// A database of its own, in a scratch directory, holding one empty note;
// ready is false when a step failed.
struct OneNoteDatabase {
    ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    explicit OneNoteDatabase(const char* fileName) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File(fileName);
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

// Stores the records (stored form, each of even length) as the note's
// "Body" items, as StoreRecordItems does, and updates the note. Returns
// false when a step fails.
inline bool StoreBody(const std::string& path, plat::NOTEID id, const std::vector<std::string>& records) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    if (plat::DbOpen(path.c_str(), &db) != 0) return false;
    bool stored = plat::NoteOpen(db, id, 0, &note) == 0;
    if (stored) {
        StoreRecordItems(note, "Body", records);
        stored = plat::NoteUpdate(note, 0) == 0;
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    return stored;
}

// One paragraph in stored form: a paragraph record, a reference to
// paragraph definition 1 and a text run of about 100 bytes.
inline std::string StoredParagraph(std::size_t number) {
    std::string text = "Paragraph " + std::to_string(number) +
                       " of the benchmark item, long enough to look like ordinary prose in a document.";
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    const std::uint16_t length = static_cast<std::uint16_t>(8 + text.size());
    out += std::string{'\x85', '\xFF', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
    out += std::string("\x01\x00\x00\x0A", 4);   // face 1, plain, black, 10 points
    out += text;
    return out;
}

// A database of its own whose note's "Body" item holds paragraphs up to
// the given size.
struct ParagraphsNote : OneNoteDatabase {
    std::size_t bytes = 0;
    std::size_t paragraphs = 0;

    explicit ParagraphsNote(std::size_t size) : OneNoteDatabase("paragraphs.nsf") {
        std::vector<std::string> records;
        while (bytes < size) {
            records.push_back(StoredParagraph(++paragraphs));
            bytes += records.back().size();
        }
        if (ready) ready = StoreBody(path, id, records);
    }
};

// Prose of about size bytes: words of ASCII letters or, with mixed, three
// characters in ten outside ASCII, Latin-1 and Greek letters (in the
// platform's own forms).
inline std::string ProseText(std::size_t size, bool mixed, std::size_t seed) {
    static const std::string latin = plat::NativeToLmbcs("\xC3\xA9\xC3\xBC\xC3\xB1\xC3\xA0\xC3\xA7");
    static const std::string greek = plat::NativeToLmbcs("\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5");
    std::string text;
    for (std::size_t i = seed; text.size() < size; ++i) {
        const std::size_t slot = i % 10;
        if (mixed && slot == 5) {
            text += latin[i % latin.size()];
        } else if (mixed && (slot == 2 || slot == 8)) {
            text += greek.substr(((i / 10) % 5) * 3, 3);
        } else {
            text += slot == 9 ? ' ' : static_cast<char>('a' + i % 26);
        }
    }
    return text;
}

// A paragraph of prose in stored form: a paragraph record, a reference to
// paragraph definition 1, then three runs of about 100 bytes in three fonts
// (face, attributes, colour, size before each run's text).
inline std::string StoredProseParagraph(std::size_t number, bool mixed) {
    static const std::string fonts[3] = {std::string("\x01\x00\x00\x0A", 4), std::string("\x01\x01\x02\x0C", 4),
                                         std::string("\x04\x02\x00\x0A", 4)};
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    for (int run = 0; run < 3; ++run) {
        std::string text = ProseText(100, mixed, number * 3 + run);
        if (text.size() % 2 != 0) text.push_back('.');
        const auto length = static_cast<std::uint16_t>(8 + text.size());
        out += std::string{'\x85', '\xFF', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
        out += fonts[run] + text;
    }
    return out;
}

// A database of its own whose note's "Body" item holds about size bytes of
// prose paragraphs; one per size and kind, made when first asked for.
struct ProseItem : OneNoteDatabase {
    std::size_t bytes = 0;

    ProseItem(std::size_t size, bool mixed) : OneNoteDatabase("prose.nsf") {
        std::vector<std::string> records;
        for (std::size_t number = 1; bytes < size; ++number) {
            records.push_back(StoredProseParagraph(number, mixed));
            bytes += records.back().size();
        }
        if (ready) ready = StoreBody(path, id, records);
    }
};

inline ProseItem& ProseItemOf(std::size_t size, bool mixed) {
    static std::map<std::pair<std::size_t, bool>, std::unique_ptr<ProseItem>> items;
    auto& item = items[{size, mixed}];
    if (item == nullptr) item = std::make_unique<ProseItem>(size, mixed);
    return *item;
}

// A text event that takes the text handed on and does nothing with it.
inline std::uint16_t DiscardText(ZervaRTChunk*, char*, std::uint16_t) { return 0; }

// Seconds from one point to another.
inline double Seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The seconds a step takes, or a negative number when it fails.
inline double TimeStep(const std::function<bool()>& step) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = step();
    const double seconds = Seconds(start, std::chrono::steady_clock::now());
    return ok ? seconds : -1;
}

// Two steps timed in each iteration, each returning its seconds (negative:
// it failed, and the run stops). The iteration's time is the first's; the
// counters give the second's mean in milliseconds (secondName) and the
// ratio of the sums, first to second (ratioName).
inline void RatioOfSteps(benchmark::State& state, const std::function<double()>& first,
                         const std::function<double()>& second, const char* secondName, const char* ratioName) {
    double firsts = 0, seconds = 0;
    for (auto _ : state) {
        const double a = first();
        const double b = a >= 0 ? second() : -1;
        if (a < 0 || b < 0) {
            state.SkipWithError("a step failed");
            return;
        }
        firsts += a;
        seconds += b;
        state.SetIterationTime(a);
    }
    if (seconds > 0) {
        state.counters[secondName] = seconds * 1e3 / static_cast<double>(state.iterations());
        state.counters[ratioName] = firsts / seconds;
    }
}

// Drops the record list the item keeps, so that the next operation reads
// the item again.
inline void ForgetRecords(ZervaRTItem* item) {
    if (item->work->current == nullptr) return;
    talix::DeleteItemRecordList(item->session, item->work->current);
    item->work->current = nullptr;
}

// The seconds of one read of the item's records from the note, into a
// list of its own that is then freed (negative when the read fails);
// textExtraMode as the reader takes it. The records the item held are
// dropped first.
inline double TimeFreshRead(ZervaRTItem* item, int textExtraMode) {
    ForgetRecords(item);
    talix::ItemRecordList* list = nullptr;
    talix::STATUS status = 0;
    const double seconds = TimeStep([&] {
        list = talix::SIAR(item, 0, nullptr, textExtraMode, 0, 0, nullptr, &status);
        return list != nullptr && status == 0;
    });
    talix::DeleteItemRecordList(item->session, list);
    return seconds;
}

// Reads the item's records into a list of their own and frees it, once per
// iteration (textExtraMode as the reader takes it); the run is skipped when
// a read fails.
inline void ReadRecordsEachIteration(benchmark::State& state, ZervaRTItem* item, int textExtraMode) {
    for (auto _ : state) {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(item, 0, nullptr, textExtraMode, 0, 0, nullptr, &status);
        if (list == nullptr || status != 0) {
            state.SkipWithError("read failed");
            break;
        }
        talix::DeleteItemRecordList(item->session, list);
    }
}

} // namespace talix_bench

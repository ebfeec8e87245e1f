// Helpers shared by the benchmarks: a scratch directory for their
// databases, storing stored-form records as rich-text items, and connecting
// an item with the run skipped when that fails.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix_bench {

// The buffer the benchmarks hand GetText.
constexpr std::uint32_t kTextBufferSize = 65342;

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

// Drops the record list the item keeps, so that the next operation reads
// the item again.
inline void ForgetRecords(ZervaRTItem* item) {
    if (item->work->current == nullptr) return;
    talix::DeleteItemRecordList(item->session, item->work->current);
    item->work->current = nullptr;
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

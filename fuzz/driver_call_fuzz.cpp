// Feeds arbitrary argument blocks to the formula driver as the host hands
// them over: the first byte picks the function (@DbLookup, @DbColumn,
// @DbCommand), the second the number of arguments; then each argument is a
// 16-bit length and that many bytes (the last one takes what is left). Every
// argument lives in a buffer of its own exact size, so that a read past its
// end is caught. The driver works on a scratch database holding one note
// with a rich-text item; every result block is freed as the host frees it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "talix/driver.h"

namespace {

struct DriverHost {
    talix_fuzz::ScratchDatabase scratch;
    void* block[8] = {};
    void* context = nullptr;

    DriverHost() {
        plat::IniSet("Directory", scratch.directory.c_str());
        plat::NOTEHANDLE note = plat::NULLHANDLE;
        if (plat::NoteCreate(scratch.db, &note) != 0) abort();
        // A rich-text item of one text run, then a table of 2 x 2 cells
        // ("a", "1"; "b", "2") for the look-ups.
        static const std::uint8_t body[] = {
            0x01, 0x00, 0x85, 0xFF, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x0A, 't',  'e',  'x',  't',
            0xA3, 14,   0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
#define TALIX_FUZZ_CELL(row, column, text)                                                              \
            0xA4, 18, row, column, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                           \
            0x85, 0xFF, 0x09, 0x00, 0x01, 0x00, 0x00, 0x0A, text, 0x00
            TALIX_FUZZ_CELL(0, 0, 'a'), TALIX_FUZZ_CELL(0, 1, '1'), TALIX_FUZZ_CELL(1, 0, 'b'),
            TALIX_FUZZ_CELL(1, 1, '2'),
#undef TALIX_FUZZ_CELL
            0xA5, 6,    0,    0,    0,    0};
        plat::ItemAppend(note, 0, "Body", 4, body[0], body + 2, sizeof body - 2);
        if (plat::NoteUpdate(note, 0) != 0) abort();
        plat::NoteClose(note);
        if (DBDInit(block) != 0 || DBDOpen(nullptr, &context) != 0) abort();
        DBDSetOpenContext(nullptr, context, "fuzz.nsf", nullptr);
    }
    ~DriverHost() {
        DBDClose(nullptr, context);
        DBDTerm(nullptr);
    }
    DriverHost(const DriverHost&) = delete;
    DriverHost& operator=(const DriverHost&) = delete;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DriverHost host;
    if (size < 2) return 0;
    std::uint16_t function = data[0] % 3;
    std::size_t count = data[1] % 70;
    std::size_t at = 2;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers;
    std::vector<std::uint32_t> lengths;
    std::vector<const void*> values;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t length = size - at;
        if (i + 1 < count && length >= 2) {
            std::size_t wanted = data[at] | (data[at + 1] << 8);
            at += 2;
            length = wanted < size - at ? wanted : size - at;
        }
        buffers.emplace_back(new std::uint8_t[length > 0 ? length : 1]);
        if (length > 0) std::memcpy(buffers.back().get(), data + at, length);
        at += length;
        lengths.push_back(static_cast<std::uint32_t>(length));
        values.push_back(buffers.back().get());
    }
    std::uint32_t handle = 0, length = 0;
    DBDPerformFunction(nullptr, host.context, function, static_cast<std::uint16_t>(count), lengths.data(),
                       values.data(), &handle, &length);
    if (handle != 0) {
        if (length > plat::MemSize(handle)) abort();   // a length past the block handed out
        plat::MemFree(handle);
    }
    return 0;
}

// Drives the awkward-document generator of the tests with the fuzzer's
// bytes and holds the generation to the same checks as their test: the
// first byte picks the size and the option set, the rest take the place of
// the generator's first draws (the draws then go on from a seed made of the
// input). The item is stored, rendered as HTML and XHTML through the text
// event, and read by HTML Tidy and libxml2; a failing build, generation or
// check aborts with what went wrong.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "support/awkward_checks.h"
#include "support/awkward_documents.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

struct Fixture : talix_fuzz::ScratchDatabase {
    std::string path = directory + "/fuzz.nsf";
    RARIvoSession session;
};

[[noreturn]] void Fail(const talix_test::AwkwardSpec& spec, const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", talix_test::DescribeAwkwardSpec(spec).c_str(), what.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture* fixture = new Fixture;
    if (size < 1) return 0;
    talix_test::AwkwardSpec spec;
    spec.kinds = talix_test::kAwkwardEverything;
    std::uint64_t seed = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 0x100000001B3ull;
    spec.seed = seed;
    spec.size = 1u + data[0] % 6u;
    spec.choices = data + 1;
    spec.choiceCount = size - 1;
    const auto& optionSets = talix_test::AwkwardOptionSets();
    const char* options = optionSets[(data[0] / 6u) % optionSets.size()];

    const talix_test::AwkwardDocument document = talix_test::MakeAwkwardDocument(spec);
    if (document.status != 0) Fail(spec, "building failed: " + document.failure);
    plat::NOTEID note = 0;
    if (talix_test::StoreAwkwardDocument(fixture->db, document, "Body", &note) != 0) Fail(spec, "cannot store the item");
    {
        ZervaRTItem item(&fixture->session);
        if (item.Connect("", fixture->path.c_str(), note, "Body", 0) != 0) Fail(spec, "cannot connect to the item");
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        for (const char* format : {"HTML", "XHTML"}) {
            std::string markup, problems;
            if (talix_test::RenderStreamed(chunk.get(), format, options, &markup, &problems))
                problems = talix_test::AwkwardProblems(document, markup, std::string(format) == "XHTML");
            if (!problems.empty()) Fail(spec, std::string(format) + " under \"" + options + "\": " + problems);
        }
    }
    plat::NoteDelete(fixture->db, note, 0);
    return 0;
}

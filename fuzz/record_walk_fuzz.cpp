// Feeds the generation's record walk damaged record lists. The first byte
// picks the format and a set of options; the rest is read as records, each
// a signature word, a length word and that many bytes (cut at the input's
// end), held in memory as the record reader holds them, so that records of
// any length and signature reach the walk. Delimited HTML is marked first
// and put back after; the walk must end with a status, and the list must
// come back as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/record_forms.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/passthru.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr const char* kOptions[] = {
    "Generation=Fragment",
    "MakeURLHotspots=Yes PreserveSpaces=Yes PreserveTabs=4 OutputToEvent=5",
    "StandardFontTags=Yes Font3=11 WAICompliant=Yes",
    "RespectHiddenFormulas=Yes MarkDelimitedHTML=Yes ForceFontFace=Yes ForceDirection=Yes",
    "Zelunda=Yes OutputToEvent=No",
    "HybridFontTags=Yes SuppressFonts=color,size UseXMLEntities=Yes",
    "MarkDelimitedHTML=Yes DelimitedHTMLStart=<x> SkipPassthru=Yes AddNewlines=Yes",
    "Duzuvore= NewlineOnParagraph=Yes",
};

struct Fixture {
    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;
    Fixture() {
        plat::LogSetEcho(false);
        session = new RARIvoSession;
        item = new ZervaRTItem(session);
        item->AddToFontTable("Arial", 0);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    ++data;
    --size;

    // The records, each with bytes of its own.
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<std::uint16_t> signatures;
    while (size >= 4 && bytes.size() < 4096) {
        const std::uint16_t signature = ReadWord(data);
        std::size_t length = ReadWord(data + 2);
        if (length > size) length = size;
        bytes.emplace_back(data, data + length);
        bytes.back().push_back(0);   // an odd length has one zero byte more
        signatures.push_back(signature);
        data += length > 4 ? length : 4;
        size -= length > 4 ? length : 4;
    }
    ItemRecordList list;
    std::vector<std::unique_ptr<CDRecordNode>> nodes;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto node = std::make_unique<CDRecordNode>();
        node->signature = signatures[i];
        node->length = static_cast<std::uint32_t>(bytes[i].size() - 1);
        node->index = static_cast<std::uint16_t>(i + 1);
        node->bytes = bytes[i].data();
        node->prev = list.tail;
        if (list.tail != nullptr) {
            list.tail->next = node.get();
        } else {
            list.head = node.get();
        }
        list.tail = node.get();
        nodes.push_back(std::move(node));
    }

    std::vector<char> buffer(choice & 0x80 ? 2000 : 65406);
    auto context = std::make_unique<XMLGenContext>();
    context->session = fixture.session;
    context->item = fixture.item;
    UseCallerBuffer(context.get(), buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    std::string options = kOptions[choice % (sizeof kOptions / sizeof kOptions[0])];
    context->optionText = options.data();
    context->format = (choice & 0x40) != 0 ? kFormatXHTML : ((choice & 0x20) != 0 ? kFormatText : kFormatHTML);
    if (ReadGenerationOptions(context.get()) == kOK) {
        DelimitedMarks* marks = nullptr;
        if (IsOn(context.get(), sw::kMarkDelimitedHTML)) {
            MarkDelimitedHTML(fixture.session, &list, context->texts.delimitedHTMLStart,
                              context->texts.delimitedHTMLEnd, &marks);
        }
        for (CDRecordNode* node = list.head; node != nullptr; node = node->next) {
            if (node->signature == kSigPabDefinition && context->definitionCount < kGenRecordListSize)
                context->definitions[context->definitionCount++] = node;
        }
        context->node = list.head;
        context->endNode = list.tail;
        PrXMLStr(context.get(), 0, 0, 0);
        if (std::memchr(buffer.data(), 0, buffer.size()) == nullptr) __builtin_trap();   // always terminated
        UnmarkDelimitedHTML(&list, marks);
        // The list is back as it was.
        CDRecordNode* node = list.head;
        for (std::size_t i = 0; i < nodes.size(); ++i, node = node->next) {
            if (node != nodes[i].get() || node->bytes != bytes[i].data()) __builtin_trap();
        }
        if (node != nullptr) __builtin_trap();
    }
    ReleaseCloseTags(context.get());
    ReleaseUsedPABDefinitions(context.get());
    ReleaseTableState(context.get());
    ReleaseEncoderTables(context.get());
    ReleaseGenerationOptions(context.get());
    ReleaseResourceContentIds(context.get());
    return 0;
}

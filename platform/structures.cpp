// Structures by type code: lengths, names, and conversion between the stored
// form (packed little-endian, no padding) and the host form (natural alignment
// as on 64-bit Windows). Both layouts are computed once from the field lists of
// structure_table.cpp. This host is little-endian, so converting never swaps
// bytes: it only moves each field between its packed and its aligned position.
#include <algorithm>
#include <cstring>
#include <vector>

#include "status_codes.h"
#include "structure_table.h"
#include "talix_platform/structures.h"

namespace plat {

namespace {

// One stretch of bytes that lies contiguous in both forms.
struct Run {
    WORD stored; // offset in the stored form
    WORD host;   // offset in the host form
    WORD length;
};

struct Layout {
    WORD storedLength = 0;
    WORD hostLength = 0;
    WORD align = 1;
    std::vector<Run> runs; // covers every stored byte once, in stored order
};

std::size_t AlignUp(std::size_t offset, std::size_t align) {
    return (offset + align - 1) / align * align;
}

// Adds a run, merging it into the previous one when it continues it in both
// forms (consecutive fields without padding between them).
void AddRun(std::vector<Run>& runs, std::size_t stored, std::size_t host, std::size_t length) {
    if (!runs.empty()) {
        Run& last = runs.back();
        if (last.stored + last.length == stored && last.host + last.length == host) {
            last.length = static_cast<WORD>(last.length + length);
            return;
        }
    }
    runs.push_back(
        Run{static_cast<WORD>(stored), static_cast<WORD>(host), static_cast<WORD>(length)});
}

std::size_t BaseSize(FieldKind kind) {
    switch (kind) {
    case FieldKind::Byte: return 1;
    case FieldKind::Word: return 2;
    case FieldKind::Dword: return 4;
    case FieldKind::Number: return 8;
    case FieldKind::Nested: break;
    }
    return 0;
}

// Lays out def: each field is aligned to its own alignment in host form (a
// nested structure to its largest member), the host length is rounded up to
// the structure's alignment, and the stored form has no padding at all.
Layout LayOut(const StructDef& def) {
    Layout layout;
    std::size_t stored = 0, host = 0, align = 1;
    for (WORD f = 0; f < def.fieldCount; ++f) {
        const FieldDef& field = def.fields[f];
        if (field.kind == FieldKind::Nested) {
            Layout inner = LayOut(*field.nested);
            host = AlignUp(host, inner.align);
            for (WORD i = 0; i < field.count; ++i) {
                for (const Run& run : inner.runs) {
                    AddRun(layout.runs, stored + run.stored, host + run.host, run.length);
                }
                stored += inner.storedLength;
                host += inner.hostLength;
            }
            align = std::max<std::size_t>(align, inner.align);
        } else {
            std::size_t size = BaseSize(field.kind);
            host = AlignUp(host, size);
            AddRun(layout.runs, stored, host, size * field.count);
            stored += size * field.count;
            host += size * field.count;
            align = std::max(align, size);
        }
    }
    layout.storedLength = static_cast<WORD>(stored);
    layout.hostLength = static_cast<WORD>(AlignUp(host, align));
    layout.align = static_cast<WORD>(align);
    return layout;
}

struct Entry {
    const StructDef* def;
    Layout layout;
};

// Every structure known by type code with its layout, in ascending type code
// order, and the entry of each type code found by the code itself (every
// record conversion asks for one); made on first use.
struct Tables {
    std::vector<Entry> entries;
    std::vector<const Entry*> byType;
};

Tables MakeTables() {
    Tables tables;
    for (const StructDef* def : StructDefsByType()) tables.entries.push_back(Entry{def, LayOut(*def)});
    if (!tables.entries.empty()) tables.byType.assign(tables.entries.back().def->type + 1u, nullptr);
    for (const Entry& entry : tables.entries) tables.byType[entry.def->type] = &entry;
    return tables;
}

const Tables& GetTables() {
    static const Tables tables = MakeTables();
    return tables;
}

const Entry* Find(WORD type) {
    const Tables& tables = GetTables();
    return type < tables.byType.size() ? tables.byType[type] : nullptr;
}

// The layout of a type that can be converted: known and with a published
// layout (the codes without one have length 0); null otherwise.
const Layout* ConvertibleLayout(WORD type) {
    const Entry* entry = Find(type);
    return entry == nullptr || entry->layout.storedLength == 0 ? nullptr : &entry->layout;
}

} // namespace

WORD StructStoredLength(WORD type) {
    const Entry* entry = Find(type);
    return entry == nullptr ? 0 : entry->layout.storedLength;
}

WORD StructHostLength(WORD type) {
    const Entry* entry = Find(type);
    return entry == nullptr ? 0 : entry->layout.hostLength;
}

namespace {

// Copies one run: most are a field or two, copied without a call.
inline void CopyRun(BYTE* to, const BYTE* from, WORD length) {
    switch (length) {
    case 1: *to = *from; break;
    case 2: std::memcpy(to, from, 2); break;
    case 4: std::memcpy(to, from, 4); break;
    case 8: std::memcpy(to, from, 8); break;
    default: std::memcpy(to, from, length); break;
    }
}

} // namespace

STATUS StructRead(const void** src, WORD type, void* dest, WORD count) {
    if (src == nullptr || *src == nullptr || dest == nullptr) return ERR_BAD_ARGUMENT;
    const Layout* layout = ConvertibleLayout(type);
    if (layout == nullptr) return ERR_UNKNOWN_STRUCT;

    const BYTE* in = static_cast<const BYTE*>(*src);
    BYTE* out = static_cast<BYTE*>(dest);
    std::memset(out, 0, static_cast<std::size_t>(layout->hostLength) * count);
    for (WORD i = 0; i < count; ++i) {
        for (const Run& run : layout->runs) CopyRun(out + run.host, in + run.stored, run.length);
        in += layout->storedLength;
        out += layout->hostLength;
    }
    *src = in;
    return NOERROR;
}

STATUS StructWrite(void** dest, WORD type, const void* src, WORD count) {
    if (dest == nullptr || *dest == nullptr || src == nullptr) return ERR_BAD_ARGUMENT;
    const Layout* layout = ConvertibleLayout(type);
    if (layout == nullptr) return ERR_UNKNOWN_STRUCT;

    const BYTE* in = static_cast<const BYTE*>(src);
    BYTE* out = static_cast<BYTE*>(*dest);
    for (WORD i = 0; i < count; ++i) {
        for (const Run& run : layout->runs) CopyRun(out + run.stored, in + run.host, run.length);
        in += layout->hostLength;
        out += layout->storedLength;
    }
    *dest = out;
    return NOERROR;
}

const char* StructName(WORD type) {
    const Entry* entry = Find(type);
    return entry == nullptr ? nullptr : entry->def->name;
}

bool SignatureInfo(WORD signature, WORD* type, const char** name) {
    auto defs = SignatureDefs();
    auto it = std::lower_bound(defs.begin(), defs.end(), signature,
                               [](const SignatureDef& def, WORD s) { return def.signature < s; });
    bool known = it != defs.end() && it->signature == signature;
    if (type != nullptr) *type = known ? it->type : kNoTypeCode;
    if (name != nullptr) *name = known ? it->name : nullptr;
    return known;
}

} // namespace plat

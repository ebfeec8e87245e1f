// The static tables behind the structure calls: the field list of every
// structure known by type code (and of the structures nested in them), and the
// rich-text record signatures with the type code of their structure.
#pragma once

#include <span>

#include "talix_platform/types.h"

namespace plat {

// The type code of a structure that is only ever nested in others, and of a
// signature whose structure the signature table does not name.
constexpr WORD kNoTypeCode = 0xFFFF;

// Base kinds by size: BYTE/char, WORD/SWORD, DWORD/LONG/FONTID, NUMBER.
enum class FieldKind : BYTE { Byte, Word, Dword, Number, Nested };

struct StructDef;

// One field of a structure: a base kind or a nested structure, repeated count
// times (an array).
struct FieldDef {
    const char* name;
    FieldKind kind;
    WORD count;
    const StructDef* nested; // for FieldKind::Nested only
};

// A structure: its fields in stored order. A known type code without a
// published layout has no fields.
struct StructDef {
    WORD type;
    const char* name;
    const FieldDef* fields;
    WORD fieldCount;
};

// A rich-text record signature as records carry it (byte-form signatures as
// 0x00nn), its name without the "SIG_" prefix, and the type code of its
// structure (kNoTypeCode when the signature table has no entry for it).
struct SignatureDef {
    WORD signature;
    const char* name;
    WORD type;
};

// Every structure known by type code, in ascending type code order.
std::span<const StructDef* const> StructDefsByType();
// Every rich-text signature, in ascending signature order.
std::span<const SignatureDef> SignatureDefs();

} // namespace plat

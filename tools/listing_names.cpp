// The words the listings of notes and items give beside the numbers: the
// names of a note's class bits and of an item's data type and flags.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli.h"
#include "core/design_create.h"

namespace talix_cli {

namespace {

struct BitName {
    plat::WORD bit;
    const char* name;
};

const BitName kNoteClasses[] = {
    {plat::NOTE_CLASS_DOCUMENT, "document"},
    {plat::NOTE_CLASS_INFO, "about document"},
    {plat::NOTE_CLASS_FORM, "form"},
    {plat::NOTE_CLASS_VIEW, "view"},
    {plat::NOTE_CLASS_ICON, "icon"},
    {plat::NOTE_CLASS_DESIGN, "design collection"},
    {plat::NOTE_CLASS_ACL, "access control list"},
    {plat::NOTE_CLASS_HELP_INDEX, "help index"},
    {plat::NOTE_CLASS_HELP, "using document"},
    {plat::NOTE_CLASS_FILTER, "filter"},
    {plat::NOTE_CLASS_FIELD, "shared field"},
    {plat::NOTE_CLASS_REPLFORMULA, "replication formula"},
    {plat::NOTE_CLASS_PRIVATE, "private"},
    {plat::NOTE_CLASS_DEFAULT, "default"},
};

const BitName kItemTypes[] = {
    {plat::TYPE_INVALID, "no data type"},
    {plat::TYPE_COMPOSITE, "rich text"},
    {plat::TYPE_COLLATION, "collation"},
    {plat::TYPE_OBJECT, "object"},
    {plat::TYPE_NOTEREF_LIST, "note references"},
    {plat::TYPE_NOTELINK_LIST, "note links"},
    {plat::TYPE_MIME_PART, "MIME part"},
    {plat::TYPE_ERROR, "error"},
    {plat::TYPE_UNAVAILABLE, "unavailable"},
    {plat::TYPE_NUMBER, "number"},
    {plat::TYPE_NUMBER_RANGE, "number list"},
    {plat::TYPE_TIME, "time"},
    {plat::TYPE_TIME_RANGE, "time list"},
    {plat::TYPE_TEXT, "text"},
    {plat::TYPE_TEXT_LIST, "text list"},
    {plat::TYPE_RFC822_TEXT, "mail header text"},
    {plat::TYPE_FORMULA, "formula"},
};

const BitName kItemFlags[] = {
    {plat::ITEM_SIGN, "signed"},
    {plat::ITEM_SEAL, "sealed"},
    {plat::ITEM_SUMMARY, "summary"},
    {plat::ITEM_READWRITERS, "authors"},
    {plat::ITEM_NAMES, "names"},
    {plat::ITEM_NOUPDATE, "no update"},
    {plat::ITEM_PLACEHOLDER, "placeholder"},
    {plat::ITEM_PROTECTED, "protected"},
    {plat::ITEM_READERS, "readers"},
    {plat::ITEM_UNCHANGED, "unchanged"},
};

// Appends the names of the bits set in word, each after ", ", and of the
// bits no name stands for, as one hexadecimal number.
void AppendBitNames(const BitName* names, size_t count, plat::WORD word, std::string* out) {
    plat::WORD unnamed = word;
    for (size_t i = 0; i < count; ++i) {
        if ((word & names[i].bit) == 0) continue;
        unnamed = static_cast<plat::WORD>(unnamed & ~names[i].bit);
        if (!out->empty()) *out += ", ";
        *out += names[i].name;
    }
    if (unnamed == 0) return;
    char rest[16];
    std::snprintf(rest, sizeof rest, "0x%04X", static_cast<unsigned>(unnamed));
    if (!out->empty()) *out += ", ";
    *out += rest;
}

} // namespace

std::string NoteClassNames(plat::WORD noteClass, std::string_view designFlags) {
    std::string names;
    AppendBitNames(kNoteClasses, std::size(kNoteClasses), noteClass, &names);
    // Every design element but views and shared fields is of the form class:
    // its design flags say which kind it is.
    const std::string_view form = "form";
    if ((noteClass & plat::NOTE_CLASS_FORM) != 0 && names.compare(0, form.size(), form) == 0)
        names.replace(0, form.size(), DesignKindName(designFlags));
    return names;
}

const char* DesignKindName(std::string_view flags) { return talix::DesignKindOfFlags(flags); }

std::string ItemTypeNames(plat::WORD type, plat::WORD flags) {
    std::string names = "other data type";
    for (const BitName& each : kItemTypes) {
        if (each.bit == type) names = each.name;
    }
    AppendBitNames(kItemFlags, std::size(kItemFlags), flags, &names);
    return names;
}

} // namespace talix_cli

#include "htmlimport/note_addresses.h"

#include <cstdio>
#include <cstring>

#include "builders/build_context.h"
#include "core/ascii.h"
#include "htmlimport/html_import_context.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

bool HexWord(const char* text, std::uint32_t* word) {
    std::uint32_t value = 0;
    for (int i = 0; i < 8; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    *word = value;
    return true;
}

} // namespace

std::string NoteUnidText(plat::NOTEHANDLE note) {
    plat::ORIGINATORID oid;
    if (note == 0 || plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid) != plat::NOERROR) return kZeroUnidText;
    char text[kUnidDigits + 1];
    std::snprintf(text, sizeof text, "%.8X%.8X%.8X%.8X", oid.File.Innards[1], oid.File.Innards[0],
                  oid.Note.Innards[1], oid.Note.Innards[0]);
    return text;
}

std::string ReplicaIdText(plat::DBHANDLE db) {
    plat::DBID id;
    if (db == 0 || plat::DbReplicaId(db, &id) != plat::NOERROR) return std::string(kReplicaDigits, '0');
    char text[kReplicaDigits + 1];
    std::snprintf(text, sizeof text, "%.8x%.8x", id.Innards[1], id.Innards[0]);
    return text;
}

const char* DefaultViewIdText(BuildContext* context, HTMLImportContext* import) {
    if (import->defaultViewId[0] != '\0') return import->defaultViewId;
    std::string text = kZeroUnidText;
    const ZervaRTItem* item = context->output.item;
    plat::NOTEHANDLE view = 0;
    if (item != nullptr &&
        plat::NoteOpen(item->databaseHandle, plat::NOTEID_DEFAULT_VIEW, plat::OPEN_NOTE_DEFAULT, &view) ==
            plat::NOERROR) {
        text = NoteUnidText(view);
        plat::NoteClose(view);
    }
    std::snprintf(import->defaultViewId, sizeof import->defaultViewId, "%s", text.c_str());
    return import->defaultViewId;
}

bool ParseUnidText(const char* text, std::size_t length, plat::UNID* unid) {
    if (text == nullptr || length < kUnidDigits) return false;
    return HexWord(text, &unid->File.Innards[1]) && HexWord(text + 8, &unid->File.Innards[0]) &&
           HexWord(text + 16, &unid->Note.Innards[1]) && HexWord(text + 24, &unid->Note.Innards[0]);
}

} // namespace talix

// The identifiers an HTML import writes into links and looks for in
// addresses: the universal id of the note being written, the replica id of
// its database and the universal id of the database's default view.
#pragma once

#include <cstdint>
#include <string>

#include "talix_platform/types.h"

namespace talix {

struct BuildContext;
struct HTMLImportContext;

constexpr std::size_t kUnidDigits = 32;
constexpr std::size_t kReplicaDigits = 16;
// The view or note id of a link that names none.
constexpr char kZeroUnidText[] = "00000000000000000000000000000000";

// The universal id of an open note as 32 upper-case hexadecimal digits (each
// 8-byte half with its high word first); 32 zeros when it cannot be read.
std::string NoteUnidText(plat::NOTEHANDLE note);

// The replica id of a database as 16 lower-case hexadecimal digits (high
// word first); 16 zeros when it cannot be read.
std::string ReplicaIdText(plat::DBHANDLE db);

// The universal id of the default view of the database of the item being
// written, read once per import and kept in the context; 32 zeros when the
// database has no default view.
const char* DefaultViewIdText(BuildContext* context, HTMLImportContext* import);

// A universal id given as 32 hexadecimal digits (as NoteUnidText writes
// it, in either case). False when the text does not begin with 32
// hexadecimal digits.
bool ParseUnidText(const char* text, std::size_t length, plat::UNID* unid);

} // namespace talix

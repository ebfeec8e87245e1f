// How a folder calls code of a folder above it. The folders run one way,
// lowest first: platform, core, builders, engine, then chunkops, htmlgen,
// htmlimport, mime, driver, then tools; setup, beside the driver, above
// every folder it takes from. Each public method is defined in the folder
// that does its work, so that it calls downwards only. What is left are the
// tables below, which the session's set-up (setup/session_setup.cpp, the
// RARIvoSession constructor) hands to each session's work area as
// constants: no table is process-wide, and nothing depends on the order in
// which static objects are initialised.
//
// - The operation families of the folders above the engine: the
//   generation's (2419) and the HTML import's (2448). They are rows of the
//   operation table like the engine's own: a run finds them through its
//   session (engine/operation_table.h) and the engine never names them.
// - One function: a connect that meets a MIME item converts it into rich
//   text first. Connecting is the item's own work (core), called by every
//   folder and by the library's callers; the conversion is the MIME
//   folder's, built on the engine and the HTML import. The call runs
//   against the layers whatever the item's code does, and the public
//   connect methods carry no converter, so the session holds it.
//
// A session without the set-up's tables (or a table without the entry)
// answers kNotAvailable where it would have needed them. A running HTML
// import collects the records built for it by setting itself as the
// collector of the record output it builds through
// (builders/record_output.h), for that run alone; the builders do not
// know it, and its records pass the append gate once, when it hands them on.
#pragma once

#include <cstddef>
#include <cstdint>

class RARIvoSession;
class ZervaRTItem;

namespace talix {

struct OperationFamily;

struct LayerTables {
    // The operation families of the folders above the engine, searched
    // after the engine's own (engine/operation_table.h).
    const OperationFamily* const* operations = nullptr;
    std::size_t operationCount = 0;
    // ZervaRTItem::ConvertFromMIMEBackend (mime) with no options: converts
    // the MIME item the item names into rich text; returns its status.
    std::uint16_t (*ConvertFromMIME)(ZervaRTItem* item) = nullptr;
};

// The tables of the session: those its set-up gave, or none for a null
// session or one without its work area.
const LayerTables& TablesOf(const RARIvoSession* session);

} // namespace talix

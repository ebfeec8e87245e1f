// How a folder calls code of a folder above it. The folders run one way,
// lowest first: platform, core, builders, engine, then chunkops, htmlgen,
// htmlimport, mime, driver, then tools; setup, beside the driver, above
// every folder it fills the tables from. Where a lower folder must call a
// higher one, it declares a small table of function pointers (core/core_hooks.h,
// engine/engine_hooks.h) and calls through the table its session holds. The
// tables are constants that the session's set-up (setup/session_setup.cpp,
// the RARIvoSession constructor, above every folder it fills from) hands to
// each session's work area: no table is process-wide, and nothing depends on
// the order in which static objects are initialised. A slot that is empty
// answers as a stand-in does: every caller checks it. The records of a
// running HTML import reach the import through a sink the import sets on the
// record output it builds through (builders/html_import_view.h), for that
// run alone.
#pragma once

class RARIvoSession;

namespace talix {

struct CoreHooks;
struct ChunkOperationHooks;
struct GenerationHooks;
struct HtmlImportHooks;

// The tables of one session (pointers to constants; null when the set-up
// gave none).
struct LayerTables {
    const CoreHooks* core = nullptr;                        // core/core_hooks.h
    const ChunkOperationHooks* chunkOperations = nullptr;   // engine/engine_hooks.h
    const GenerationHooks* generation = nullptr;            // engine/engine_hooks.h
    const HtmlImportHooks* htmlImport = nullptr;            // engine/engine_hooks.h
};

// The tables of the session: those its set-up gave, or none for a null
// session or one without its work area.
const LayerTables& TablesOf(const RARIvoSession* session);

} // namespace talix

// How a folder calls code of a folder above it. The folders run one way,
// lowest first: platform, core, builders, engine, then chunkops, htmlgen,
// htmlimport, mime, driver. Where a lower folder must call a higher one, it
// declares a small table of function pointers (core/core_hooks.h,
// builders/builder_hooks.h, engine/engine_hooks.h) and the higher folder
// fills its slots in its install function below. The session's set-up (the
// RARIvoSession constructor) calls InstallLayerHooks, which runs every
// install function once per process; nothing depends on the order in which
// static objects are initialised. A slot that is still empty answers as a
// stand-in does: every caller checks it.
#pragma once

namespace talix {

void InstallEngineHooks();          // engine/engine_hooks.cpp
void InstallChunkOperationHooks();  // chunkops/chunkops_hooks.cpp
void InstallGenerationHooks();      // htmlgen/htmlgen_hooks.cpp
void InstallHtmlImportHooks();      // htmlimport/htmlimport_hooks.cpp

// Runs the install functions above, once per process (later calls return at
// once).
void InstallLayerHooks();

} // namespace talix

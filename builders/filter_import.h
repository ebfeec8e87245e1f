// Import through the platform's import filters: program libraries, listed
// in notes.ini "EDITIMP%d" and found by FindEditFilter, that turn a file the
// system cannot read itself into a record file. For pictures the record
// file is rebuilt from the image file itself ("...CONVRTED.CD"), keeping
// only the graphic record the filter wrote. The record files are the
// import's own, in the temporary directory, under names no other import
// running at the same time uses ("talix-PID-N-" before the name).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// The name (after "talix-PID-N-") of the record file that holds a picture
// wrapped by WrapImageAsCDFile, in the temporary directory.
constexpr const char* kWrappedImageFile = "CONVRTED.CD";
// The longest output name a filter request holds (its block has 100 bytes
// with the terminator).
constexpr std::size_t kFilterNameLimit = 99;

// Loads the filter library, asks it (command 3, with filterParameter: the
// filter's name from its notes.ini entry) to convert sourceFile into the
// record file proposedOutput (at most 99 bytes; the filter may choose
// another name), and unloads it. On success the path of the record file is
// copied into resultPath (terminated, cut to resultSize). With
// graphic set and a library name that holds "IJPEG" (else "IGIF"), ignoring
// case, the record file is rebuilt from the image as a file of its own in
// the temporary directory ("talix-PID-N-CONVRTED.CD") and the filter's own
// file is deleted; when that fails the filter's file stays the result.
// Returns 0, 1028 for a missing argument or an output name that does not
// fit the request, the status of the library load, or the filter's status
// (its text is shown through the host's message procedure and the proposed
// output file is removed).
STATUS ImportFileThroughFilter(BuildContext* context, const char* sourceFile,
                                         const char* libraryName, const char* filterParameter, char* resultPath,
                                         std::size_t resultSize, std::int16_t graphic, const char* proposedOutput);

// Converts sourceFile through the filter library into a record file of its
// own in the temporary directory (the item's import/export file name after
// "talix-PID-N-"), appends its records to the run's output
// (ConvertItemRecords) and deletes it. graphic as for
// ImportFileThroughFilter. Returns 0, 257 when no record file can be made
// (shown as a message), or the failure of the conversion or of an append.
STATUS ImportThroughFilter(BuildContext* context, const char* sourceFile, const char* libraryName,
                                     const char* filterName, std::int16_t graphic);

// Writes outputFile as a record file holding, in stored form: the first
// two bytes of the filter's record file, the filter's graphic record
// (version 2), an image header of imageType (1 GIF, 2 JPEG) sized by the
// bitmap header that follows the graphic record in the filter's file, and
// the whole image file in image segments of at most 10,240 bytes. Returns
// 0, or 1028 when a file cannot be opened, read or written, the image file
// is empty or too large for one image, or the filter's file does not start
// with a graphic record and a bitmap header; on failure no output file is
// left.
STATUS WrapImageAsCDFile(const char* imageFile, const char* filterFile, const char* outputFile,
                         std::uint16_t imageType);

} // namespace talix

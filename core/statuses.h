// The system's own status values and error words.
#pragma once

#include <cstdint>

namespace talix {

using STATUS = std::uint16_t;

constexpr STATUS kOK = 0;
constexpr STATUS kOperationFailed = 257;     // the general "did not work" of many operations
constexpr STATUS kHtmlTreeLost = 257;        // the HTML import's parse tree is lost (the same number)
constexpr STATUS kNoHtmlInput = 259;
constexpr STATUS kOutOfMemory = 263;
constexpr STATUS kItemNotFound = 546;        // also the normal end of a walk over same-named items
constexpr STATUS kNoSortKeys = 1026;
constexpr STATUS kBodyStructureError = 1027;
constexpr STATUS kArgumentError = 1028;
constexpr STATUS kOperationComplete = 1298;  // the engine's completion status, reported as 0
constexpr STATUS kRemoteImage = 5081;
constexpr STATUS kRenderingSkipped = 14409;
constexpr STATUS kHtmlPastBound = 14410;    // HTML past a bound of the import (size, nesting, attributes, fonts)
constexpr STATUS kNotAvailable = 14411;     // the session was not given what the operation needs (core/layer_hooks.h)
constexpr STATUS kWordsDoNotFit = 14412;    // property words past the room of the text result
constexpr STATUS kFileNotWritten = 15155;   // an output file could not be written whole (the platform's number)

// Error words kept by an item or a chunk beside its status.
constexpr STATUS kErrBadName = 20013;
constexpr STATUS kErrConversion = 20014;
constexpr STATUS kErrFormula = 20017;
constexpr STATUS kErrBodyStructure = 20025;
constexpr STATUS kErrNotRichText = 20029;
constexpr STATUS kErrImportFileMissing = 20032;

// The formula driver's statuses.
constexpr STATUS kDrvMissingArgument = 12545;
constexpr STATUS kDrvWrongArgumentType = 12546;
constexpr STATUS kDrvUnknownFunction = 12550;
constexpr STATUS kDrvUnknownDesignKind = 12551;
constexpr STATUS kDrvUnknownValueType = 12552;
constexpr STATUS kDrvNoObject = 12572;
constexpr STATUS kDrvOutOfMemory = 12583;
constexpr STATUS kDrvResultTooLarge = 12584;   // a table look-up's values do not fit the result block

// Platform statuses are compared after masking.
constexpr STATUS kStatusMask = 0x3fff;

// Sizes used throughout.
constexpr std::uint32_t kWorkBufferSize = 65406;
constexpr std::uint32_t kScratchSize = 4096;
constexpr std::uint32_t kTextResultSize = 65342;

} // namespace talix

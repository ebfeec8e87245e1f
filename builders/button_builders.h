// Programmable hotspots: pop-up and mouse-over hotspots, action hotspots on
// text, buttons, subform and file-upload placeholders and embedded controls,
// each with its code (a formula, LotusScript or JavaScript) and its options.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// Hotspot types.
constexpr std::uint16_t kHotspotPopup = 1, kHotspotAction = 2, kHotspotButton = 3, kHotspotSubform = 14,
                        kHotspotControl = 19, kHotspotMouseover = 22, kHotspotFileUpload = 24,
                        kHotspotLinkControl = 34;
// Code flags.
constexpr std::uint32_t kCodeFormula = 0x10, kCodeComputedText = 0x40010, kCodeLotusScript = 0x100,
                        kCodeJavaScript = 0x200000;

// Writes one programmable hotspot. The code lies in the session's text
// result from kHotspotCodeOffset, its length in the session's hotspot
// request (chunkops/operation_inputs.h). text and textLength give the
// hotspot's text (action hotspots, pop-ups) or the button's label. Options:
// "Target=", "HotspotHTML..." attributes, "ButtonWidth=", "Width=",
// "Height=", "ButtonWrap=", "ButtonFit=", "TextFont=", "Sub1Font=",
// "Sub2Font=", "Scrollbars=", "HideActionBar=", "CommonJavaScript=",
// "UNID=", "VIEWID=", "REPID=". Widths and heights out of range are clamped
// with a message to the host. Returns 0, the status of the gate for the
// embedded-control records (which ends the build), or the last failure of
// the other records.
STATUS AppendButtonOrControl(std::uint16_t type, std::uint32_t codeFlags, const char* text,
                             std::uint32_t textLength, const char* options,
                             BuildContext* context);

} // namespace talix

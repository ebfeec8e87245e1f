// Image-map areas: an area record (with its HTML attributes and an event
// record carrying its code) added to the image map of the graphic at which
// the running operation stands. A new map starts with its header; an
// existing map that follows the current record is written again with the
// counter of the new area's shape raised.
#include "builders/image_map_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/hotspot_builders.h"
#include "builders/record_output.h"
#include "builders/record_scratch.h"
#include "core/brackets.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kMapCounters = 10;   // default, rectangle, circle, polygon
constexpr std::uint16_t kWrapperVersion = 1;
constexpr std::uint32_t kCodeKindFormula = 1;
constexpr std::int32_t kDefaultExtent = 20;

// Coordinates are kept within a billion either way, so that adding an
// extent or a width to one never overflows.
constexpr long kCoordinateLimit = 1000000000L;

std::int32_t IntegerOption(const char* options, const char* key, bool* present) {
    char value[32];
    *present = OptionValue(options, key, value, sizeof value);
    if (!*present) return 0;
    const long number = std::strtol(value, nullptr, 10);
    return static_cast<std::int32_t>(std::clamp(number, -kCoordinateLimit, kCoordinateLimit));
}

std::int32_t IntegerOption(const char* options, const char* key) {
    bool present = false;
    return IntegerOption(options, key, &present);
}

// The counter of a shape in the map header.
std::uint32_t CounterOffset(std::uint16_t shape) {
    return kMapCounters + 2 * (shape == kShapeDefault ? 0 : shape);
}

std::uint16_t ShapeOf(const char* areaText) {
    if (FindNoCase(areaText, "default") != nullptr) return kShapeDefault;
    if (FindNoCase(areaText, "rect") != nullptr) return kShapeRectangle;
    if (FindNoCase(areaText, "circle") != nullptr) return kShapeCircle;
    if (FindNoCase(areaText, "poly") != nullptr) return kShapePolygon;
    return kShapeRectangle;
}

// The map that follows the current record, from its CDBEGIN up to (not
// including) its CDEND; null when there is none or it never ends.
const CDRecordNode* FollowingMap(const CDRecordNode* node, const CDRecordNode** end) {
    if (node == nullptr || !Brackets(node->next, kSigBegin, kSigMapElement)) return nullptr;
    for (const CDRecordNode* at = node->next; at != nullptr; at = at->next) {
        if (Brackets(at, kSigEnd, kSigMapElement)) {
            *end = at;
            return node->next;
        }
    }
    return nullptr;
}

// Writes the map's records again, its header with the shape's counter raised.
STATUS AppendExistingMap(const CDRecordNode* first, const CDRecordNode* end, std::uint16_t shape,
                         BuildContext* context) {
    for (const CDRecordNode* node = first; node != end; node = node->next) {
        if (node->signature != kSigMapElement || node->length < kImageMapFixedLength) {
            const STATUS status = AppendRecordNode(node, &context->output);
            if (status != kOK) return status;
            continue;
        }
        RecordScratch scratch(context->session, node->length + 1);
        std::uint8_t* header = scratch.data();
        if (header == nullptr) return scratch.failure();
        std::memcpy(header, node->bytes, node->length);
        const std::uint32_t counter = CounterOffset(shape);
        WriteWord(header + counter, static_cast<std::uint16_t>(ReadWord(header + counter) + 1));
        const STATUS status = AppendPaddedRecord(header, kSigMapElement, node->length, false, &context->output);
        if (status != kOK) return status;
    }
    return kOK;
}

// A new map's header: 2 for the new area's shape, 1 for the others.
STATUS AppendNewMap(std::uint16_t shape, RecordOutput* output) {
    std::uint8_t header[kImageMapFixedLength] = {};
    WriteWord(header, kSigMapElement);
    WriteWord(header + 2, kImageMapFixedLength);
    for (std::uint16_t each : {kShapeDefault, kShapeRectangle, kShapeCircle, kShapePolygon})
        WriteWord(header + CounterOffset(each), each == shape ? 2 : 1);
    STATUS status = AppendBeginRecord(kSigMapElement, kWrapperVersion, output);
    if (status == kOK) status = AppendRecord(header, kSigMapElement, sizeof header, output);
    return status;
}

// The area's event record carrying its code (from the start of the
// session's text result).
STATUS AppendAreaEvent(std::uint16_t signature, BuildContext* context) {
    RARIvoSession* session = context->session;
    std::uint32_t codeLength = session->workArea->hotspot.codeLength;
    if (codeLength > RARIvoSession::kTextResultCapacity) codeLength = RARIvoSession::kTextResultCapacity;
    const std::uint32_t length = kEventLength + codeLength;
    RecordScratch scratch(session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, signature);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 8, 1);
    WriteWord(record + 10, 1);
    WriteDword(record + 12, codeLength);
    std::memcpy(record + kEventLength, session->textResult, codeLength);
    return AppendPaddedRecord(record, signature, length, false, &context->output);
}

} // namespace

std::uint32_t ParseImageMapArea(RARIvoSession* session, const char* areaText, std::uint8_t* shape) {
    (void)session;
    if (shape == nullptr) return 0;
    if (FindNoCase(areaText, "poly") != nullptr) {
        bool present = false;
        const std::int32_t points = IntegerOption(areaText, "NumPoints=", &present);
        if (!present || points <= 0 || points > static_cast<std::int32_t>(kMaxPolygonPoints)) return 0;
        WriteWord(shape, static_cast<std::uint16_t>(points));
        char key[16];
        for (std::int32_t n = 1; n <= points; ++n) {
            std::snprintf(key, sizeof key, "x%d=", static_cast<int>(n));
            WriteDword(shape + 2 + 8 * (n - 1), static_cast<std::uint32_t>(IntegerOption(areaText, key)));
            std::snprintf(key, sizeof key, "y%d=", static_cast<int>(n));
            WriteDword(shape + 6 + 8 * (n - 1), static_cast<std::uint32_t>(IntegerOption(areaText, key)));
        }
        return 2 + 8 * static_cast<std::uint32_t>(points);
    }

    // A rectangle keeps its default extent of 20 from where it starts until
    // a width, right, height or bottom is given.
    std::int32_t left = 0, top = 0, right = kDefaultExtent, bottom = kDefaultExtent;
    bool present = false;
    std::int32_t value = IntegerOption(areaText, "left=", &present);
    if (present) {
        left = value;
        right = left + kDefaultExtent;
    }
    value = IntegerOption(areaText, "top=", &present);
    if (present) {
        top = value;
        bottom = top + kDefaultExtent;
    }
    value = IntegerOption(areaText, "width=", &present);
    if (present) {
        right = left + value > left ? left + value : left + kDefaultExtent;
    } else if (value = IntegerOption(areaText, "right=", &present); present) {
        right = value;
        if (right <= left) left = right - kDefaultExtent;
    }
    value = IntegerOption(areaText, "height=", &present);
    if (present) {
        bottom = top + value > top ? top + value : top + kDefaultExtent;
    } else if (value = IntegerOption(areaText, "bottom=", &present); present) {
        bottom = value;
        if (bottom <= top) top = bottom - kDefaultExtent;
    }
    WriteDword(shape, static_cast<std::uint32_t>(left));
    WriteDword(shape + 4, static_cast<std::uint32_t>(top));
    WriteDword(shape + 8, static_cast<std::uint32_t>(right));
    WriteDword(shape + 12, static_cast<std::uint32_t>(bottom));
    return 16;
}

STATUS AppendImageMap(const char* areaText, const char* options, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr)
        return kArgumentError;
    RecordOutput* output = &context->output;
    const std::uint16_t shape = ShapeOf(areaText);
    const CDRecordNode* node = context->node;

    // Where the area goes: before the CDEND of a map, into a map that
    // follows, or into a new map.
    bool newMap = false;
    STATUS status = kOK;
    const CDRecordNode* end = nullptr;
    if (!Brackets(node, kSigEnd, kSigMapElement)) {
        if (const CDRecordNode* map = FollowingMap(node, &end)) {
            status = AppendExistingMap(map, end, shape, context);
        } else {
            newMap = true;
            status = AppendNewMap(shape, output);
        }
    }
    if (status != kOK) return status;

    std::uint8_t area[kAreaFixedLength + kMaxShapeData + 2] = {};
    const std::uint32_t data = shape == kShapeDefault ? 0 : ParseImageMapArea(context->session, areaText,
                                                                                area + kAreaFixedLength);
    WriteWord(area, kSigAreaElement);
    WriteWord(area + 2, static_cast<std::uint16_t>(kAreaFixedLength + data));
    WriteWord(area + 8, shape);
    WriteWord(area + 10, static_cast<std::uint16_t>(IntegerOption(options, "TabIndex=")));
    status = AppendBeginRecord(kSigAreaElement, kWrapperVersion, output);
    if (status == kOK) status = AppendRecord(area, kSigAreaElement, kAreaFixedLength + data, output);
    if (status == kOK) status = AppendHTMLAttributeRecord(context->session, "Hotspot", options, output);
    if (status == kOK && context->session->workArea->hotspot.codeFlags == kCodeKindFormula) {
        status = AppendAreaEvent(kSigEvent, context);
        if (status == kOK && OptionIs(options, "CommonJavaScript=", "Yes"))
            status = AppendAreaEvent(kSigClientEvent, context);
    }
    if (status == kOK) status = AppendEndRecord(kSigAreaElement, kWrapperVersion, output);
    if (status == kOK && newMap) status = AppendEndRecord(kSigMapElement, kWrapperVersion, output);
    return status;
}

} // namespace talix

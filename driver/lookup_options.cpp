// Reading the options of a table look-up.
#include "driver/lookup_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/options.h"
#include "core/text_compare.h"

namespace talix {

namespace {

constexpr long kMaxKeyColumn = 64;

// The value of a keyword, whole; false when the keyword is absent.
bool OptionValue(const std::string& options, const char* keyword, std::string* value) {
    value->assign(options.size() + 1, '\0');
    if (DriverGetOptionValue(options.c_str(), keyword, value->data(), static_cast<std::uint32_t>(value->size())) == 0) {
        value->clear();
        return false;
    }
    value->resize(std::strlen(value->c_str()));
    return true;
}

bool OptionIs(const std::string& options, const char* keyword, const char* word) {
    std::string value;
    return OptionValue(options, keyword, &value) && EqualNoCase(value.c_str(), word);
}

// A whole number at the start of text (blanks before it skipped); false when
// there is none. Values beyond the range of long are held at its ends.
bool LeadingNumber(const std::string& text, long* number) {
    errno = 0;
    char* end = nullptr;
    *number = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str();
}

} // namespace

const char* FindTextNoCase(const char* text, const char* pattern) {
    if (text == nullptr || text[0] == '\0') return nullptr;
    return FindNoCase(text, pattern);
}

int DriverGetOptionValue(const char* options, const char* keyword, char* value, std::uint32_t size) {
    return GetOptionValue(options, keyword, value, size);
}

void ReadResultOptions(const std::string& options, LookUpOptions* out) {
    out->numbers = OptionIs(options, "Format=", "Currency") || OptionIs(options, "Format=", "Number");
    out->raiseError = OptionIs(options, "RaiseError=", "yes");
}

void ReadCellOptions(const std::string& options, bool withKey, LookUpOptions* out) {
    out->sideways = OptionIs(options, "SidewaysTable=", "yes");
    out->completeText = OptionIs(options, "CompleteText=", "yes");
    if (out->completeText) OptionValue(options, "Separator=", &out->separator);
    OptionValue(options, "ColumnChunk=", &out->columnChunk);
    if (!withKey) return;
    std::string value;
    long column = 0;
    if (OptionValue(options, "KeyColumn=", &value) && LeadingNumber(value, &column) && column >= 1 &&
        column <= kMaxKeyColumn)
        out->keyColumn = static_cast<std::uint16_t>(column);
    OptionValue(options, "KeyChunk=", &out->keyChunk);
    if (OptionValue(options, "KeyProperty=", &value)) {
        out->rowLabel = EqualNoCase(value.c_str(), "TabLabel") || EqualNoCase(value.c_str(), "RowLabel");
        out->keyProperty = value;
    }
    if (OptionValue(options, "KeyMatch=", &value)) {
        if (EqualNoCase(value.c_str(), "STARTS"))
            out->keyMatch = kKeyStarts;
        else if (EqualNoCase(value.c_str(), "ENDS"))
            out->keyMatch = kKeyEnds;
        else if (FindTextNoCase(value.c_str(), "SUBSTR") == value.c_str())
            out->keyMatch = kKeySubstring;
    }
}

std::int32_t TitleRows(const std::string& options, std::int32_t count) {
    std::string value;
    if (count <= 0 || !OptionValue(options, "SkipTitle=", &value)) return 0;
    if (EqualNoCase(value.c_str(), "yes")) return 1;
    long rows = 0;
    if (!LeadingNumber(value, &rows) || rows < 1) return 0;
    return rows >= count ? count : static_cast<std::int32_t>(rows);
}

} // namespace talix

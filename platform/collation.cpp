// Collation of LMBCS texts: ICU's root collator on the decoded texts, at the
// strength the two switches ask for.
#include <string>

#include <unicode/ucol.h>

#include "lmbcs_codec.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

// One collator per switch combination and thread (index: ignoreCase * 2 +
// ignoreAccents), opened on first use.
struct ThreadCollators {
    UCollator* collators[4] = {nullptr, nullptr, nullptr, nullptr};
    ~ThreadCollators() {
        for (UCollator* collator : collators) {
            if (collator != nullptr) ucol_close(collator);
        }
    }
};

UCollator* CollatorFor(bool ignoreCase, bool ignoreAccents) {
    thread_local ThreadCollators cache;
    UCollator*& slot = cache.collators[(ignoreCase ? 2 : 0) + (ignoreAccents ? 1 : 0)];
    if (slot != nullptr) return slot;

    UErrorCode error = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &error);
    if (U_FAILURE(error)) {
        if (collator != nullptr) ucol_close(collator);
        return nullptr;
    }
    // Primary strength compares base letters only; secondary adds accents;
    // tertiary adds case. The case level brings case back on top of the
    // primary strength without accents.
    UColAttributeValue strength = UCOL_TERTIARY;
    if (ignoreCase && ignoreAccents) {
        strength = UCOL_PRIMARY;
    } else if (ignoreAccents) {
        strength = UCOL_PRIMARY;
        ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_ON, &error);
    } else if (ignoreCase) {
        strength = UCOL_SECONDARY;
    }
    ucol_setAttribute(collator, UCOL_STRENGTH, strength, &error);
    if (U_FAILURE(error)) {
        ucol_close(collator);
        return nullptr;
    }
    slot = collator;
    return slot;
}

} // namespace

int Collate(const char* a, DWORD aLength, const char* b, DWORD bLength, bool ignoreCase, bool ignoreAccents) {
    std::u16string left = lmbcs::Decode(a, aLength);
    std::u16string right = lmbcs::Decode(b, bLength);
    UCollator* collator = CollatorFor(ignoreCase, ignoreAccents);
    if (collator == nullptr || left.size() > 0x7FFFFFFF || right.size() > 0x7FFFFFFF) {
        // Without a collator the texts still get a stable order: by code unit.
        int order = left.compare(right);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    UCollationResult result =
        ucol_strcoll(collator, reinterpret_cast<const UChar*>(left.data()), static_cast<int32_t>(left.size()),
                     reinterpret_cast<const UChar*>(right.data()), static_cast<int32_t>(right.size()));
    return result == UCOL_LESS ? -1 : (result == UCOL_EQUAL ? 0 : 1);
}

} // namespace plat

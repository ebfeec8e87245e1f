#include "htmlgen/style_rules.h"

#include <cstdlib>
#include <cstring>

namespace talix {

namespace {

char* Copy(const char* text) {
    const std::size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

} // namespace

bool AddClassRule(XMLGenContext* context, std::uint16_t id, const char* text) {
    if (context->classRuleCount >= kMaxClassRules) return true;
    char* copy = Copy(text != nullptr ? text : "");
    if (copy == nullptr) return false;
    context->classRules[context->classRuleCount++] = ClassRule{copy, id};
    return true;
}

const char* FindClassRule(const XMLGenContext* context, std::uint16_t id) {
    for (std::uint16_t i = 0; i < context->classRuleCount; ++i) {
        if (context->classRules[i].id == id) return context->classRules[i].text;
    }
    return nullptr;
}

bool HasBorderRule(const XMLGenContext* context, const char* code) {
    return FindBorderRule(context, code) != nullptr;
}

bool AddBorderRule(XMLGenContext* context, const char* code, const char* text) {
    if (context->borderRuleCount >= kMaxBorderRules) return true;
    char* copy = Copy(text != nullptr ? text : "");
    if (copy == nullptr) return false;
    BorderRule& rule = context->borderRules[context->borderRuleCount++];
    rule.text = copy;
    std::memset(rule.code, 0, sizeof rule.code);
    std::strncpy(rule.code, code, sizeof rule.code - 1);
    return true;
}

const char* FindBorderRule(const XMLGenContext* context, const char* code) {
    for (std::uint16_t i = 0; i < context->borderRuleCount; ++i) {
        if (std::strcmp(context->borderRules[i].code, code) == 0) return context->borderRules[i].text;
    }
    return nullptr;
}

void ReleaseStyleRules(XMLGenContext* context) {
    if (context == nullptr) return;
    for (std::uint16_t i = 0; i < context->classRuleCount; ++i) {
        std::free(context->classRules[i].text);
        context->classRules[i] = ClassRule();
    }
    for (std::uint16_t i = 0; i < context->borderRuleCount; ++i) {
        std::free(context->borderRules[i].text);
        context->borderRules[i] = BorderRule();
    }
    context->classRuleCount = 0;
    context->borderRuleCount = 0;
}

} // namespace talix

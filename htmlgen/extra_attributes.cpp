#include "htmlgen/extra_attributes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "htmlgen/entity_encoder.h"
#include "htmlimport/entity_table.h"

namespace talix {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = Lower(c);
    return lower;
}

// One attribute as a start tag's reader takes it.
struct Attribute {
    std::string_view name;
    std::string_view value;
    char quote = 0;          // the value's quote character, 0 for none
    bool hasValue = false;
    bool closed = true;      // a quoted value's closing quote was there
};

// Reads the attribute that starts at *i (not at white space): its name up
// to white space or "=", then, after "=" and any white space, its value.
Attribute ReadAttribute(std::string_view text, std::size_t* i) {
    Attribute attribute;
    const std::size_t n = text.size();
    std::size_t at = *i;
    const std::size_t start = at;
    while (at < n && !Blank(text[at]) && text[at] != '=') at += CharacterBytesAt(text, at);
    attribute.name = text.substr(start, at - start);
    std::size_t look = at;
    while (look < n && Blank(text[look])) ++look;
    if (look < n && text[look] == '=') {
        attribute.hasValue = true;
        at = look + 1;
        while (at < n && Blank(text[at])) ++at;
        if (at < n && (text[at] == '"' || text[at] == '\'')) {
            attribute.quote = text[at];
            const std::size_t begin = ++at;
            while (at < n && text[at] != attribute.quote) at += CharacterBytesAt(text, at);
            attribute.value = text.substr(begin, at - begin);
            attribute.closed = at < n;
            if (at < n) ++at;
        } else {
            const std::size_t begin = at;
            while (at < n && !Blank(text[at])) at += CharacterBytesAt(text, at);
            attribute.value = text.substr(begin, at - begin);
        }
    }
    *i = at;
    return attribute;
}

// A name XML takes: a letter or "_", then letters, digits, "-", "_", "."
// (no namespace prefix, which would need a declaration).
bool XmlAttributeName(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const char c = Lower(name[k]);
        const bool letter = (c >= 'a' && c <= 'z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!(letter || (k > 0 && other))) return false;
    }
    return true;
}

// The length of the character reference that starts at the "&" at i, or 0
// when none does (or when it names a character XML does not allow).
std::size_t ReferenceLength(std::string_view text, std::size_t i) {
    // No reference is longer than 40 bytes: the ";" is sought that far only.
    const std::size_t end = text.substr(0, std::min(text.size(), i + 41)).find(';', i + 1);
    if (end == std::string_view::npos || end == i + 1) return 0;
    const std::string_view body = text.substr(i + 1, end - i - 1);
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8) return 0;
        std::uint32_t code = 0;
        for (const char c : digits) {
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f') digit = Lower(c) - 'a' + 10;
            if (digit < 0) return 0;
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        }
        return XmlAllows(code) ? end - i + 1 : 0;
    }
    const std::string name(body);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") return end - i + 1;
    const EntityRow* rows = EntityTable();
    for (int row = 0; row < kEntityCount; ++row) {
        if (name == rows[row].name) return end - i + 1;
    }
    return 0;
}

// A value's text for a quoted value: "<" and ">" as entities and, when
// the value had no quotes of its own, its quote characters as "&quot;";
// for XML also an "&" that starts no reference as "&amp;".
void AppendValueText(std::string* out, std::string_view value, bool quotesToo, bool xml) {
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        if (c == '<') {
            *out += "&lt;";
        } else if (c == '>') {
            *out += "&gt;";
        } else if (quotesToo && (c == '"' || c == '\'')) {
            *out += "&quot;";
        } else if (c == '&' && xml) {
            const std::size_t reference = ReferenceLength(value, i);
            if (reference == 0) {
                *out += "&amp;";
            } else {
                out->append(value.substr(i, reference));
                i += reference;
                continue;
            }
        } else {
            const std::size_t n = CharacterBytesAt(value, i);
            out->append(value.substr(i, n));
            i += n;
            continue;
        }
        ++i;
    }
}

std::string Quote(const std::vector<std::string>* taken, std::string_view given, bool xml,
                  std::vector<std::string>* names) {
    // The names met so far, the start tag's among them, looked up at once.
    std::unordered_set<std::string> seen;
    if (taken != nullptr) seen.insert(taken->begin(), taken->end());
    const std::string kept = xml ? KeptInXml(given) : std::string(given);
    const std::string_view text = kept;
    std::string out;
    bool touching = false;   // the last thing written was an attribute
    std::size_t i = 0;
    while (i < text.size()) {
        if (Blank(text[i])) {
            out += text[i++];
            touching = false;
            continue;
        }
        const Attribute attribute = ReadAttribute(text, &i);
        if (attribute.name.empty()) continue;
        if (xml) {
            if (!XmlAttributeName(attribute.name)) continue;
            std::string lower = LowerCase(attribute.name);
            if (!seen.insert(lower).second) continue;
            names->push_back(std::move(lower));
        }
        if (touching) out += ' ';
        if (xml) {
            out.append(attribute.name);
        } else {
            AppendValueText(&out, attribute.name, false, false);
        }
        touching = true;
        if (!attribute.hasValue) {
            if (xml) {
                out += "=\"";
                out.append(attribute.name);
                out += '"';
            }
            continue;
        }
        const char quote = attribute.quote != 0 ? attribute.quote : '"';
        out += '=';
        out += quote;
        AppendValueText(&out, attribute.value, attribute.quote == 0, xml);
        out += quote;
    }
    return out;
}

} // namespace

std::string QuotedAttributes(std::string_view text, std::vector<std::string>* taken) {
    std::vector<std::string> names;
    std::string out = Quote(taken, text, true, &names);
    if (taken != nullptr) taken->insert(taken->end(), names.begin(), names.end());
    return out;
}

std::string HtmlQuotedAttributes(std::string_view text) {
    std::vector<std::string> names;
    return Quote(nullptr, text, false, &names);
}

std::string ContainedAttributes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '=') {
            // A value in quotes is copied whole; an unquoted one is read on
            // as the text outside values.
            out += c;
            ++i;
            while (i < n && Blank(text[i])) out += text[i++];
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i];
                out += text[i++];
                while (i < n && text[i] != quote) {
                    const std::size_t step = CharacterBytesAt(text, i);
                    out.append(text.substr(i, step));
                    i += step;
                }
                out += quote;
                if (i < n) ++i;
            }
            continue;
        }
        if (c == '<') {
            out += "&lt;";
            ++i;
        } else if (c == '>') {
            out += "&gt;";
            ++i;
        } else {
            const std::size_t step = CharacterBytesAt(text, i);
            out.append(text.substr(i, step));
            i += step;
        }
    }
    return out;
}

bool TakeAttribute(std::string* text, std::string_view name, std::string* value) {
    const std::string lower = LowerCase(name);
    const std::string_view view = *text;
    std::size_t i = 0;
    while (i < view.size()) {
        const std::size_t blanks = i;
        while (i < view.size() && Blank(view[i])) ++i;
        if (i >= view.size()) break;
        const std::size_t before = i;
        const Attribute attribute = ReadAttribute(view, &i);
        if (i == before) ++i;
        if (LowerCase(attribute.name) != lower) continue;
        value->assign(attribute.value);
        text->erase(blanks, i - blanks);
        return true;
    }
    return false;
}

bool HasAttribute(std::string_view text, std::string_view name, bool withValue) {
    const std::string lower = LowerCase(name);
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && Blank(text[i])) ++i;
        if (i >= text.size()) break;
        const std::size_t before = i;
        const Attribute attribute = ReadAttribute(text, &i);
        if (i == before) ++i;
        if ((attribute.hasValue || !withValue) && LowerCase(attribute.name) == lower) return true;
    }
    return false;
}

std::vector<std::string> OpenStartTagNames(std::string_view text) {
    std::vector<std::string> names;
    const std::size_t open = text.rfind('<');
    if (open == std::string_view::npos) return names;
    std::size_t i = open + 1;
    const std::size_t n = text.size();
    const std::size_t nameStart = i;
    while (i < n && !Blank(text[i]) && text[i] != '>' && text[i] != '/') ++i;
    if (!XmlAttributeName(text.substr(nameStart, i - nameStart))) return names;
    while (i < n) {
        if (Blank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '>' || text[i] == '/') return {};
        const std::size_t before = i;
        const Attribute attribute = ReadAttribute(text, &i);
        if (!attribute.name.empty()) names.push_back(LowerCase(attribute.name));
        if (!attribute.closed || i == before) return {};
    }
    return names;
}

} // namespace talix

#include "htmlimport/link_addresses.h"

#include "core/text_compare.h"
#include "htmlimport/note_addresses.h"

namespace talix {

namespace {

constexpr std::size_t kNsfFormReplicaAt = 3;     // after "/__"
constexpr std::size_t kNsfFormExtensionAt = 19;  // ".nsf" after the replica id
constexpr std::size_t kNsfFormRestAt = 23;
constexpr std::size_t kIdEnd = kUnidDigits;      // the character after a 32-digit id

// The character at a position, or 0 at and past the end.
char At(std::string_view text, std::size_t position) { return position < text.size() ? text[position] : '\0'; }

bool OneOf(char c, std::string_view characters) { return c != '\0' && characters.find(c) != std::string_view::npos; }

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

std::string_view From(std::string_view text, std::size_t position) {
    return position < text.size() ? text.substr(position) : std::string_view();
}

std::string_view SkipSlash(std::string_view rest) { return !rest.empty() && rest[0] == '/' ? rest.substr(1) : rest; }

bool NsfForm(std::string_view href) {
    return href.size() >= kNsfFormRestAt && href[0] == '/' && href[1] == '_' && href[2] == '_' &&
           EqualNoCase(href.substr(kNsfFormExtensionAt, 4), ".nsf");
}

// The note id after a view id: 32 characters that end the text or come
// before one of the characters given.
bool NoteAfter(std::string_view rest, std::string_view enders) {
    return rest.size() >= kUnidDigits && (rest.size() == kIdEnd || OneOf(rest[kIdEnd], enders));
}

} // namespace

LinkIds::LinkIds() : view(kZeroUnidText), note(kZeroUnidText) {}

bool IsBasePathLink(std::string_view href, std::string_view basePath) {
    if (href.empty() || href[0] != '/' || At(href, 1) == '/') return false;
    if (ContainsNoCase(href, "$FILE")) return false;
    return NsfForm(href) || StartsWithNoCase(href.substr(1), basePath);
}

void ResolveBasePathIds(std::string_view href, std::string_view basePath, const std::string& itemReplica,
                        const std::string& defaultView, LinkIds* ids) {
    std::string_view rest;
    if (NsfForm(href)) {
        ids->replica = std::string(href.substr(kNsfFormReplicaAt, kReplicaDigits));
        rest = From(href, kNsfFormRestAt);
    } else {
        ids->replica = itemReplica;
        rest = From(href, basePath.size() + 2);
    }
    rest = SkipSlash(rest);
    if (rest.size() < kUnidDigits + 1) return;   // a database link

    const char end = rest[kIdEnd];
    const bool view = (ContainsNoCase(rest, "OpenDocument") && end == '/') ||
                      (ContainsNoCase(rest, "OpenView") && OneOf(end, "?!")) ||
                      (rest.size() >= 2 * kUnidDigits + 1 && end == '/' &&
                       (rest.size() == 2 * kUnidDigits + 1 || rest[2 * kUnidDigits + 1] == '#'));
    if (view) {
        const std::string upper = Upper(rest);
        ids->view = upper.substr(0, kUnidDigits);
        const std::string_view note = From(upper, kUnidDigits + 1);
        const std::string_view enders = ContainsNoCase(note, "OpenDocument") ? "#?!" : "#";
        if (NoteAfter(note, enders)) ids->note = std::string(note.substr(0, kUnidDigits));
    } else if (rest.substr(0, 2) == "0/" && ContainsNoCase(rest, "OpenDocument")) {
        ids->view = defaultView;
        const std::string_view note = rest.substr(2);
        const std::string_view enders = ContainsNoCase(note, "OpenDocument") ? "#?!" : "#";
        if (NoteAfter(note, enders)) ids->note = Upper(note.substr(0, kUnidDigits));
    }
}

bool IsReplicaLink(std::string_view href) {
    const std::size_t marker = href.find("/__");
    if (marker != std::string_view::npos && EqualNoCase(From(href, marker + kNsfFormExtensionAt).substr(0, 4), ".nsf"))
        return true;
    if (!StartsWithNoCase(href, "notes://")) return false;
    const std::size_t slash = href.find('/', 8);
    return slash != std::string_view::npos && href.size() - slash > kReplicaDigits;
}

void ResolveReplicaIds(std::string_view href, LinkIds* ids) {
    std::string_view rest;
    const std::size_t marker = href.find("/__");
    if (marker != std::string_view::npos && EqualNoCase(From(href, marker + kNsfFormExtensionAt).substr(0, 4), ".nsf")) {
        ids->replica = std::string(href.substr(marker + kNsfFormReplicaAt, kReplicaDigits));
        rest = From(href, marker + kNsfFormRestAt);
    } else {
        const std::size_t slash = href.find('/', 8);
        ids->replica = std::string(From(href, slash + 1).substr(0, kReplicaDigits));
        rest = From(href, slash + 1 + kReplicaDigits);
    }
    rest = SkipSlash(rest);

    if (StartsWithNoCase(href, "notes:")) {
        if (rest.size() < kUnidDigits || !(rest.size() == kIdEnd || OneOf(rest[kIdEnd], "/?"))) return;
        ids->view = std::string(rest.substr(0, kUnidDigits));
        const std::string_view note = From(rest, kUnidDigits + 1);
        if (NoteAfter(note, "?!#")) ids->note = std::string(note.substr(0, kUnidDigits));
        return;
    }
    if (rest.size() <= kUnidDigits) return;
    const char end = rest[kIdEnd];
    if (!((ContainsNoCase(rest, "OpenDocument") && end == '/') || (ContainsNoCase(rest, "OpenView") && OneOf(end, "?!"))))
        return;
    const std::string upper = Upper(rest);
    ids->view = upper.substr(0, kUnidDigits);
    const std::string_view note = From(upper, kUnidDigits + 1);
    if (note.size() >= kUnidDigits && ContainsNoCase(note, "OpenDocument") && OneOf(At(note, kIdEnd), "?!#"))
        ids->note = std::string(note.substr(0, kUnidDigits));
}

} // namespace talix

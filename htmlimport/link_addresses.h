// The addresses of Notes links as anchors write them: a path into the
// database the import writes to (from the base path, or "/__" with a
// replica id and ".nsf") and an address naming a database by replica id
// ("/__<replica id>.nsf" anywhere, or "notes://server/<replica id>"), with
// the view and note ids that follow. Every position read is checked
// against the address's length: a short address is simply not that kind.
#pragma once

#include <string>
#include <string_view>

namespace talix {

// The three ids of a Notes link: a replica id of 16 hexadecimal digits, and
// a view and a note id of 32 (32 zeros when the address names none).
struct LinkIds {
    std::string replica;
    std::string view;
    std::string note;
    LinkIds();
};

// A path from the root ("/", not "//") without "$FILE" that continues with
// the base path (any path when the base path is empty), or "/__", 16
// characters and ".nsf".
bool IsBasePathLink(std::string_view href, std::string_view basePath);

// The ids of a base-path link. The "/__" form names its replica id; the
// base-path form the database of the item (itemReplica). The rest after
// them names a view (32 digits followed by "/" with "OpenDocument", by "?"
// or "!" with "OpenView", or by "/" and another 32 digits that end the
// address or come before "#") and then maybe a note; or "0/" and a note
// under the default view (defaultView) with "OpenDocument". Ids taken from
// the rest are upper-cased.
void ResolveBasePathIds(std::string_view href, std::string_view basePath, const std::string& itemReplica,
                        const std::string& defaultView, LinkIds* ids);

// "/__" with ".nsf" 19 characters after its "/", or "notes://" whose text
// from the "/" after the server holds more than 16 characters.
bool IsReplicaLink(std::string_view href);

// The ids of a replica link: "notes:" addresses keep the view and note ids
// as written; other addresses take them upper-cased, with "OpenDocument" or
// "OpenView" as for a base-path link.
void ResolveReplicaIds(std::string_view href, LinkIds* ids);

} // namespace talix

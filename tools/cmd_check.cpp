// The check command: what is wrong in a database, one line per finding.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli.h"

namespace talix_cli {

namespace {

std::string NoteIdText(plat::NOTEID id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

// The damaged rich-text values of a note, as "item 'NAME' K: where and what"
// (K counts the items of that name from 1).
std::vector<std::string> DamagedRichText(plat::NOTEHANDLE note) {
    std::vector<std::string> found;
    std::map<std::string, size_t> seen;
    std::vector<char> name(0x10000);
    plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
        plat::WORD type = 0;
        plat::BLOCKID value;
        plat::DWORD length = 0;
        if (plat::ItemQuery(item, name.data(), static_cast<plat::WORD>(name.size() - 1), nullptr, &type, &value,
                            &length) != plat::NOERROR) {
            return plat::NOERROR;
        }
        std::string itemName = plat::LmbcsToNative(name.data());
        size_t number = ++seen[itemName];
        if (type != plat::TYPE_COMPOSITE) return plat::NOERROR;
        const auto* bytes = static_cast<const unsigned char*>(plat::BlockLock(value));
        if (bytes == nullptr) return plat::NOERROR;
        std::string damage;
        if (!WalkStoredRecords(bytes, length, nullptr, &damage)) {
            found.push_back("item '" + itemName + "' " + std::to_string(number) + ": " + damage);
        }
        plat::BlockUnlock(value);
        return plat::NOERROR;
    });
    return found;
}

} // namespace

int RunCheck(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 1) return UsageError(command, "check needs exactly one database");
    Database db;
    if (!db.Open(args[0], false)) return kExitFailed;

    std::vector<plat::DbProblem> problems;
    plat::STATUS status = plat::DbCheck(db.handle(), &problems);
    if (status != plat::NOERROR) return Fail("cannot check %s: %s", args[0].c_str(), StatusMessage(status).c_str());
    std::set<plat::NOTEID> unreadable;
    for (const plat::DbProblem& problem : problems) unreadable.insert(problem.note);

    // Notes that read back are checked for damaged rich text.
    std::vector<plat::NOTEID> ids;
    status = plat::DbScanNotes(db.handle(), [&](plat::NOTEID id, plat::WORD) -> plat::STATUS {
        ids.push_back(id);
        return plat::NOERROR;
    });
    if (status != plat::NOERROR) return Fail("cannot list the notes of %s: %s", args[0].c_str(), StatusMessage(status).c_str());
    for (plat::NOTEID id : ids) {
        if (unreadable.count(id) != 0) continue;
        plat::NOTEHANDLE note = 0;
        status = plat::NoteOpen(db.handle(), id, plat::OPEN_NOTE_DEFAULT, &note);
        if (status != plat::NOERROR) {
            problems.push_back({id, 0, "cannot be opened: " + StatusMessage(status)});
            continue;
        }
        for (std::string& damage : DamagedRichText(note)) problems.push_back({id, 0, std::move(damage)});
        plat::NoteClose(note);
    }

    // The file first, then notes, then objects, each by id.
    auto rank = [](const plat::DbProblem& p) { return p.note != 0 ? 1 : p.object != 0 ? 2 : 0; };
    std::stable_sort(problems.begin(), problems.end(), [&](const plat::DbProblem& a, const plat::DbProblem& b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return a.note != b.note ? a.note < b.note : a.object < b.object;
    });
    for (const plat::DbProblem& problem : problems) {
        if (problem.note != 0) {
            std::printf("note\t%s\t%s\n", NoteIdText(problem.note).c_str(), Escape(problem.what).c_str());
        } else if (problem.object != 0) {
            std::printf("object\t%u\t%s\n", static_cast<unsigned>(problem.object), Escape(problem.what).c_str());
        } else {
            std::printf("database\t-\t%s\n", Escape(problem.what).c_str());
        }
    }
    if (problems.empty()) return kExitOk;
    std::fflush(stdout);
    return Fail("%zu problem(s) found in %s", problems.size(), args[0].c_str());
}

} // namespace talix_cli

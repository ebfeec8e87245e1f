#include "htmlgen/run_files.h"

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/shared_services.h"
#include "htmlgen/document_addresses.h"

namespace talix {

bool MakeRunFolder(XMLGenContext* context, const std::string& folder, int* made) {
    if (*made == 0) {
        *made = CreateDirectoryPath(folder.c_str()) != 0 ? 1 : -1;
        if (*made < 0) {
            const std::string text = "cannot make the folder '" + folder + "'";
            ShowHostMessage(text.c_str());
        }
    }
    if (*made < 0) KeepStatus(context, kArgumentError);
    return *made > 0;
}

bool MakeRunSubfolder(XMLGenContext* context, const std::string& base, const std::string& folder, int* made) {
    if (!MakeRunFolder(context, folder, made)) return false;
    for (std::size_t at = folder.find('/', base.size() + 1);; at = folder.find('/', at + 1)) {
        const std::string step = folder.substr(0, at);
        struct stat info {};
        const bool link = ::lstat(step.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
        if (link) {
            const std::string text = "cannot write in the folder '" + step + "': it is " +
                                     (S_ISLNK(info.st_mode) ? "a symbolic link" : "not a folder");
            ShowHostMessage(text.c_str());
            *made = -1;
            KeepStatus(context, kArgumentError);
            return false;
        }
        if (at == std::string::npos) return true;
    }
}

STATUS WriteRunFile(XMLGenContext* context, const std::string& path, const std::function<STATUS()>& write) {
    const bool taken = NameTaken(path);
    const STATUS status = write();
    KeepStatus(context, status);
    if (status != kOK || taken) return status;
    if (context->madeFiles == nullptr) context->madeFiles = new (std::nothrow) std::vector<std::string>();
    if (context->madeFiles != nullptr) context->madeFiles->push_back(path);
    return status;
}

std::string RunFileName(XMLGenContext* context, const std::string& folder, const std::string& name,
                        const std::string& owner) {
    if (context->runFileNames == nullptr) context->runFileNames = new (std::nothrow) RunFileNames();
    if (context->runFileNames == nullptr) return name;
    RunFileNames& names = *context->runFileNames;
    std::string ownerKey = folder;
    ownerKey.push_back('\0');
    ownerKey += owner;
    const auto known = names.given.find(ownerKey);
    if (known != names.given.end()) return known->second;
    const std::size_t dot = name.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0;
    const std::string base = extension ? name.substr(0, dot) : name;
    const std::string suffix = extension ? name.substr(dot) : std::string();
    unsigned& number = names.next[JoinFilePath(folder, name)];
    if (number == 0) number = 2;
    std::string candidate = name;
    for (;;) {
        const auto [entry, added] = names.owners.emplace(JoinFilePath(folder, candidate), owner);
        if (added || entry->second == owner) break;
        candidate = FittingFileName(base + "_" + std::to_string(number++) + suffix);
    }
    names.given.emplace(std::move(ownerKey), candidate);
    return candidate;
}

void SettleRunFiles(XMLGenContext* context, STATUS outcome) {
    // The names a run gave out are forgotten whether or not it made a file
    // (a file already there is linked and not made again).
    delete context->runFileNames;
    context->runFileNames = nullptr;
    if (context->madeFiles == nullptr) return;
    if (outcome != kOK) {
        for (const std::string& path : *context->madeFiles) std::remove(path.c_str());
    }
    delete context->madeFiles;
    context->madeFiles = nullptr;
}

} // namespace talix

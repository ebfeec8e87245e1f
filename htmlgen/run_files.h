// The files a generation run writes beside its output (pictures exported to
// disk, built-in link icons, extracted attachments) and the folders they go
// to. A file that cannot be written, or a folder that cannot be made, is
// the run's failure, shown as a message that names it; a run that fails
// removes the files it made new, so that it leaves nothing half done.
#pragma once

#include <functional>
#include <string>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Makes the folder with its missing parents the first time a run asks
// (*made records the outcome for the run: 1 made, -1 not). False, with the
// failure kept for the run, when it cannot be made.
bool MakeRunFolder(XMLGenContext* context, const std::string& folder, int* made);

// Makes a sub-folder of the run's folder base (folder lies below it) as
// MakeRunFolder does, then makes sure that each folder below base on the way
// is a folder itself and no symbolic link, so that the files made in it stay
// under base. False, with a message naming it and the failure kept for the
// run, when one is not.
bool MakeRunSubfolder(XMLGenContext* context, const std::string& base, const std::string& folder, int* made);

// Writes a file of the run: write makes it anew (core/folder_file.h) and
// returns its status, which the run keeps and which is returned. The name
// is remembered when nothing had it before.
STATUS WriteRunFile(XMLGenContext* context, const std::string& path, const std::function<STATUS()>& write);

// The name under which the file that holds owner (what identifies its
// content in the run, such as the attachment of a note it is extracted
// from) is written in folder, a native path: name itself when no other
// file of the run took that path, else a name of its own, with "_2", "_3"
// ... before the extension, that no file of the run has. The same owner
// gets the same name each time it asks, so that a file linked twice is
// written once.
std::string RunFileName(XMLGenContext* context, const std::string& folder, const std::string& name,
                        const std::string& owner);

// At the end of a run: the files it made are removed when it failed; the
// list is released either way.
void SettleRunFiles(XMLGenContext* context, STATUS outcome);

} // namespace talix

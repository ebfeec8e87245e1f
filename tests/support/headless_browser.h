// A real browser for the tests: Debian's headless Chromium loads pages and
// hands back the document each one ends with (after its scripts ran).
#pragma once

#include <string>
#include <vector>

namespace talix_test {

// The Chromium program: TALIX_CHROMIUM when set, else "chromium" or
// "chromium-browser" on the search path; empty when there is none.
std::string ChromiumPath();

// Whether the environment says the browser belongs here (TALIX_REQUIRE_BROWSER
// set and not "0", as in CI): a test then fails where it would skip.
bool BrowserRequired();

// Loads each page file (an absolute path) in a fresh headless Chromium of
// its own, at most `parallel` at a time, and returns the serialized
// document of each after loading (--dump-dom), in order; an empty text for
// a page whose browser failed or ran past timeoutSeconds. The browser is
// kept off the network and out of every profile but a temporary one; its
// pages may read other files (a page of frames holds pages of its folder
// as of its own origin).
std::vector<std::string> DumpDocuments(const std::string& chromium, const std::vector<std::string>& pages,
                                       unsigned parallel, unsigned timeoutSeconds);

// The text of the <pre id="ID"> element a page's own script added to report
// what it saw, from the serialized document; empty when there is none.
std::string ReportedText(const std::string& dom, const std::string& id);

} // namespace talix_test

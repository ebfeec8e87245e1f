#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unistd.h>
#include <sstream>

#include "talix_platform.h"

namespace talix_test {

namespace fs = std::filesystem;

namespace {

// The folder for the tests' own folders: the first of the usual variables
// that is set and not empty, else /tmp. A variable set to nothing counts as
// unset, as it does for the program under test.
fs::path TempRoot() {
    for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "/tmp";
}

} // namespace

TempDir::TempDir() {
    std::random_device rd;
    const fs::path root = TempRoot();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = root / ("talix-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory in " + root.string());
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path SampleDxlDir() { return fs::path(TALIX_SOURCE_DIR) / "samples" / "dxl"; }

namespace {

fs::path FindSharedDxlDir() {
    if (const char* env = std::getenv("TALIX_DXL_DIR"); env != nullptr && *env != '\0') {
        return fs::is_directory(env) ? fs::path(env) : fs::path();
    }
    fs::path beside = fs::path(TALIX_SOURCE_DIR).parent_path() / "shared" / "data" / "dxl";
    return fs::is_directory(beside) ? beside : fs::path();
}

} // namespace

fs::path SharedDxlDir() {
    fs::path dir = FindSharedDxlDir();
    const char* required = std::getenv("TALIX_REQUIRE_SHARED_DXL");
    if (dir.empty() && required != nullptr && *required != '\0' && std::string(required) != "0")
        throw std::runtime_error("the shared DXL set is required here (TALIX_REQUIRE_SHARED_DXL) but absent");
    return dir;
}

std::vector<fs::path> DxlFilesBelow(const fs::path& dir) {
    std::vector<fs::path> files;
    if (dir.empty() || !fs::is_directory(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<fs::path> SampleAndSharedDxlFiles() {
    std::vector<fs::path> files = DxlFilesBelow(SampleDxlDir());
    for (const auto& file : DxlFilesBelow(SharedDxlDir())) files.push_back(file);
    return files;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Base64Encode(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        unsigned group = static_cast<unsigned char>(bytes[at]) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += at + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += at + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string WithoutRunDates(const std::string& text) {
    static const std::string kName = "Talix";
    const auto digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = text.find(kName); at != std::string::npos; at = text.find(kName, at)) {
        at += kName.size();
        std::size_t date = at;
        if (date < text.size() && text[date] == ' ' && digit(date + 1)) {
            ++date;
            while (digit(date) || (date < text.size() && text[date] == '.')) ++date;
        }
        if (text.compare(date, 2, ", ") != 0) continue;
        date += 2;
        // mm/dd/yyyy
        bool isDate = date + 10 <= text.size();
        for (std::size_t i = 0; isDate && i < 10; ++i)
            isDate = i == 2 || i == 5 ? text[date + i] == '/' : digit(date + i);
        if (!isDate) continue;
        out.append(text, copied, date - copied);
        out += "[today]";
        copied = date + 10;
        at = copied;
    }
    out.append(text, copied, std::string::npos);
    return out;
}

IniOverride::IniOverride(const char* name, const std::string& value) : name_(name) {
    plat::IniSet(name, value.c_str());
}

IniOverride::~IniOverride() { plat::IniSet(name_, ""); }

bool UnprivilegedPrefix(const std::string& path, std::string* prefix) {
    prefix->clear();
    std::string program = "'";
    for (char c : path) program += c == '\'' ? std::string("'\\''") : std::string(1, c);
    program += "'";
    if (::geteuid() != 0) return true;
    if (std::system("setpriv --version >/dev/null 2>&1") != 0) return false;
    const std::string otherUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (std::system((otherUser + program + " --version >/dev/null 2>&1").c_str()) == 0) {
        *prefix = otherUser;
        return true;
    }
    const std::string withoutOverride =
        "setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search,-fowner ";
    if (std::system((withoutOverride + program + " --version >/dev/null 2>&1").c_str()) != 0) return false;
    *prefix = withoutOverride;
    return true;
}

std::vector<std::string> g_messages;

void CollectMessage(const char* text, plat::WORD) { g_messages.emplace_back(text); }

} // namespace talix_test

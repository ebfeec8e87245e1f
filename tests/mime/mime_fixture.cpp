#include "mime_fixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/record_fixture.h"
#include "talix_platform.h"

namespace mime_test {

namespace {

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

} // namespace

std::vector<std::string> ReadMessage::HeaderNames() const {
    std::vector<std::string> names;
    for (const auto& header : headers) names.push_back(header.first);
    return names;
}

std::string ReadMessage::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (header.first == name) return header.second;
    }
    return "";
}

std::string ReadMessage::Decoded(const std::string& name) const {
    for (const auto& header : decoded) {
        if (header.first == name) return header.second;
    }
    return "";
}

std::vector<const ReadPart*> ReadMessage::Parts(const std::string& type) const {
    std::vector<const ReadPart*> found;
    for (const ReadPart& part : parts) {
        if (part.type == type) found.push_back(&part);
    }
    return found;
}

std::vector<ReadMessage> ReadMessageFiles(const std::vector<std::string>& paths) {
    std::vector<ReadMessage> messages;
    std::string command = "python3 '" TALIX_MIME_READER "'";
    for (const std::string& path : paths) command += " '" + path + "'";
    command += " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return messages;
    std::string output;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    if (::pclose(pipe) != 0) {
        ADD_FAILURE() << "the email package could not read the messages:\n" << output;
        return messages;
    }
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() >= 2 && fields[0] == "file") {
            messages.emplace_back();
            messages.back().read = true;
        } else if (messages.empty()) {
            continue;
        } else if (fields.size() >= 3 && fields[0] == "header") {
            messages.back().headers.emplace_back(fields[1], Unescape(fields[2]));
        } else if (fields.size() >= 3 && fields[0] == "decoded") {
            messages.back().decoded.emplace_back(fields[1], Unescape(fields[2]));
        } else if (fields.size() >= 3 && fields[0] == "defect") {
            messages.back().defects.push_back(fields[1] + " " + fields[2]);
        } else if (fields.size() >= 6 && fields[0] == "part") {
            ReadPart part;
            part.path = fields[1];
            part.type = fields[2];
            part.id = Unescape(fields[3]);
            part.filename = Unescape(fields[4]);
            part.payload = FromHex(fields[5]);
            if (fields.size() >= 7 && !fields[6].empty() && fields[6] != "-") {
                part.text = FromHex(fields[6]);
                part.textRead = true;
            }
            messages.back().parts.push_back(std::move(part));
        }
    }
    EXPECT_EQ(messages.size(), paths.size());
    return messages;
}

ReadMessage ReadMessageFile(const std::string& path) {
    std::vector<ReadMessage> messages = ReadMessageFiles({path});
    return messages.empty() ? ReadMessage() : messages.front();
}

namespace {

std::string* g_uncut = nullptr;

std::uint16_t CollectMarkup(ZervaRTChunk*, char* text, std::uint16_t length) {
    if (g_uncut != nullptr) g_uncut->append(text, length);
    return 0;
}

} // namespace

bool WriteUncutHtml(ZervaRTItem* item, const std::string& path, const std::string& options) {
    std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk("Everything"));
    if (chunk == nullptr) return false;
    std::string markup;
    g_uncut = &markup;
    const std::string all = "OutputToEvent=Yes " + options;
    char* rest = chunk->GenerateHTML(nullptr, "HTML", all.c_str(), 0, CollectMarkup, nullptr);
    g_uncut = nullptr;
    if (rest == nullptr) return false;
    markup.append(rest, chunk->session->textResultLength);
    std::ofstream(path, std::ios::binary) << plat::LmbcsToNative(markup);
    return true;
}

const std::vector<std::string>& InjectedHeaderNames() {
    static const std::vector<std::string> names = {"Bcc", "X-Injected", "X-Injected-Subject", "X-Injected-To"};
    return names;
}

std::uint16_t ExportWithInjectedHeaders(ZervaRTItem* item, const std::string& path) {
    const plat::NOTEHANDLE note = item->noteHandle;
    for (const char* name : {"BlindCopyTo", "INetBlindCopyTo"}) plat::ItemDelete(note, name, static_cast<plat::WORD>(std::strlen(name)));
    const std::pair<const char*, std::string> items[] = {
        {"Subject", "Real\r\nBcc: victim@evil.example\r\nX-Injected-Subject: 1"},
        {"SendTo", "to@example.com\r\nX-Injected-To: 1"},
        {"CopyTo", "cc@example.com\r\n\r\nX-Injected: 1"},
        {"Precedence", "bulk\nBcc: list@evil.example"}};
    for (const auto& [name, text] : items) {
        plat::ItemDelete(note, name, static_cast<plat::WORD>(std::strlen(name)));
        plat::ItemSetText(note, name, text.data(), static_cast<plat::WORD>(text.size()));
    }
    item->ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, "UseMailFields=Yes", 0, "", 0, nullptr);
    return item->lastStatus;
}

namespace {

// Runs a checker script of this folder (environ: variables set before it)
// over the pairs written to the list file; the problems it prints.
std::vector<std::string> RunChecker(const std::string& environ, const char* script,
                                    const std::vector<std::pair<std::string, std::string>>& pairs,
                                    const std::string& listFile) {
    {
        std::ofstream list(listFile, std::ios::binary);
        for (const auto& [message, reference] : pairs) list << message << '\t' << reference << '\n';
    }
    const std::string command = environ + " python3 '" + script + "' '" + listFile + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {"the checker cannot be started"};
    std::string output;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);
    std::vector<std::string> problems;
    bool done = false;
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() >= 3 && fields[0] == "problem") problems.push_back(fields[1] + ": " + fields[2]);
        if (fields.size() >= 2 && fields[0] == "checked") done = fields[1] == std::to_string(pairs.size());
    }
    if (status != 0 || !done) problems.push_back("the checker failed:\n" + output.substr(0, 4000));
    return problems;
}

} // namespace

std::vector<std::string> CheckMessages(const std::vector<std::pair<std::string, std::string>>& pairs,
                                       const std::vector<std::string>& forbidden, const std::string& listFile) {
    std::string names;
    for (const std::string& name : forbidden) names += (names.empty() ? "" : ",") + name;
    return RunChecker("TALIX_FORBIDDEN_HEADERS='" + names + "'", TALIX_MIME_CHECKER, pairs, listFile);
}

std::vector<talix_test::NoteItem> ImportRealItems(const std::string& path) {
    std::vector<talix_test::NoteItem> items;
    EXPECT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &items),
              plat::NOERROR);
    EXPECT_FALSE(items.empty());
    return items;
}

std::vector<std::string> CompareVisibleText(const std::vector<std::pair<std::string, std::string>>& pairs,
                                            const std::string& listFile) {
    return RunChecker("", TALIX_MIME_VISIBLE_TEXT, pairs, listFile);
}

const Bytes kOnePixelGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF,
                            0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
                            0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

Records JpegPicture(const Bytes& jpeg, std::uint16_t width, std::uint16_t height) {
    using namespace graphic_test;
    return {Begin(kSigGraphic), Graphic(),
            ImageHeader(2, width, height, static_cast<std::uint32_t>(jpeg.size()), 1), ImageSegment(jpeg),
            End(kSigGraphic)};
}

talix_test::FixtureRecord TableTab() {
    talix_test::FixtureRecord label = talix_test::HostRecord(0xFFE3, 140);
    talix_test::PutWord(&label, 138, 0x0002);
    return label;
}

talix_test::FixtureRecord CheckList(bool checked) {
    talix_test::FixtureRecord definition = talix_test::HostRecord(0xFF82, 92);
    talix_test::PutWord(&definition, 62, 0x0400);
    talix_test::PutWord(&definition, 68, checked ? 0x0002 : 0x2000);
    return definition;
}

Records ManyPictures(int count) {
    Records records = engine_test::Runs({"Many"});
    for (int i = 0; i < count; ++i) {
        const Records picture = graphic_test::GifPicture(graphic_test::GifData(1, 1, 24 + i % 7), 1, 1);
        records.insert(records.end(), picture.begin(), picture.end());
    }
    return records;
}

Records FileHotspot(const std::string& attachment, const std::string& fileName) {
    std::string data = attachment + '\0' + fileName + '\0';
    talix_test::FixtureRecord hotspot = talix_test::HostRecord(graphic_test::kSigFileHotspot,
                                                               static_cast<std::uint32_t>(16 + data.size()));
    talix_test::PutWord(&hotspot, 4, 4);
    talix_test::PutWord(&hotspot, 12, static_cast<std::uint16_t>(data.size()));
    std::memcpy(hotspot.bytes.data() + 16, data.data(), data.size());
    return {hotspot, engine_test::Text(fileName), talix_test::HostRecord(0x00AA, 2)};
}

MimeTest::MimeTest() {
    plat::IniSet("$TalixTempDirectory", (temporary_.path().string() + "/").c_str());
    session_.SetUp();
}

MimeTest::~MimeTest() {
    // The folder goes with the test: later sessions take theirs from the
    // environment again.
    plat::IniSet("$TalixTempDirectory", "");
    session_.SetUp();
}

void MimeTest::Store(const Records& records, const std::vector<std::pair<std::string, std::string>>& attachments) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    if (plat::DbOpen(path_.c_str(), &db) != plat::NOERROR) {
        ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
    }
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", records), plat::NOERROR);
    for (const auto& [name, content] : attachments) {
        const std::string file = dir_.file("attach-" + name);
        std::ofstream(file, std::ios::binary) << content;
        EXPECT_EQ(plat::NoteAttachFile(note, "$FILE", 5, file.c_str(), name.c_str(), plat::ATTACH_DEFAULT),
                  plat::NOERROR);
    }
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &noteId_);
    plat::NoteClose(note);
    plat::DbClose(db);
    ASSERT_EQ(item_.Connect("", path_.c_str(), noteId_, "Body", 0), 0);
    ASSERT_NE(item_.connected, 0);
}

std::string MimeTest::Export(const std::string& options, const std::string& htmlOptions, const std::string& name) {
    const std::string path = dir_.file(name);
    item_.ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, options.c_str(), 0, htmlOptions.c_str(), 0, nullptr);
    return path;
}

std::vector<std::string> MimeTest::Values(const char* name) const {
    return talix_test::StoredValues(item_.noteHandle, name);
}

std::vector<std::string> MimeTest::StoredValues(const char* name) const {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    std::vector<std::string> values;
    if (plat::DbOpen(path_.c_str(), &db) != plat::NOERROR) return values;
    if (plat::NoteOpen(db, noteId_, 0, &note) == plat::NOERROR) {
        values = talix_test::StoredValues(note, name);
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    return values;
}

std::string MimeTest::Text(const char* name) const {
    char text[4096] = {};
    const plat::WORD length = plat::ItemGetText(item_.noteHandle, name, text, sizeof text);
    return std::string(text, length);
}

} // namespace mime_test

#include "driver_calls.h"

#include <cstdio>
#include <cstring>

#include "talix/driver.h"

namespace talix_test {

namespace {

void PutWord(std::string* out, plat::WORD word) {
    out->push_back(static_cast<char>(word & 0xFF));
    out->push_back(static_cast<char>(word >> 8));
}

void PutDword(std::string* out, plat::DWORD dword) {
    PutWord(out, static_cast<plat::WORD>(dword & 0xFFFF));
    PutWord(out, static_cast<plat::WORD>(dword >> 16));
}

void PutDouble(std::string* out, double number) {
    out->append(reinterpret_cast<const char*>(&number), sizeof number);
}

void CaptureMessage(const char* text, plat::WORD code) {
    EXPECT_EQ(code, 6);
    ShownMessages().push_back(text);
}

} // namespace

std::string TypeWord(plat::WORD type) {
    std::string out;
    PutWord(&out, type);
    return out;
}

std::string TextArg(const std::string& text) { return TypeWord(plat::TYPE_TEXT) + text; }

std::string TextListArg(std::initializer_list<std::string> texts) {
    std::string out = TypeWord(plat::TYPE_TEXT_LIST);
    PutWord(&out, static_cast<plat::WORD>(texts.size()));
    for (const std::string& text : texts) PutWord(&out, static_cast<plat::WORD>(text.size()));
    for (const std::string& text : texts) out += text;
    return out;
}

std::string NumberArg(double number) {
    std::string out = TypeWord(plat::TYPE_NUMBER);
    PutDouble(&out, number);
    return out;
}

std::string NumberListArg(std::initializer_list<double> numbers) {
    std::string out = TypeWord(plat::TYPE_NUMBER_RANGE);
    PutWord(&out, static_cast<plat::WORD>(numbers.size()));
    PutWord(&out, 0);
    for (double number : numbers) PutDouble(&out, number);
    return out;
}

std::string TimeArg() {
    std::string out = TypeWord(plat::TYPE_TIME);
    PutDword(&out, 0x01020304);
    PutDword(&out, 0x05060708);
    return out;
}

std::string NoteRefArg(const plat::UNID& unid) {
    std::string out = TypeWord(plat::TYPE_NOTEREF_LIST);
    PutWord(&out, 1);
    PutDword(&out, unid.File.Innards[0]);
    PutDword(&out, unid.File.Innards[1]);
    PutDword(&out, unid.Note.Innards[0]);
    PutDword(&out, unid.Note.Innards[1]);
    return out;
}

std::string HexNoteId(plat::NOTEID id) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(id));
    return text;
}

std::vector<std::string>& ShownMessages() {
    static std::vector<std::string> messages;
    return messages;
}

bool Logged(const std::string& line) {
    for (const auto& entry : plat::LogRecent())
        if (entry.text == line) return true;
    return false;
}

void DriverCallTest::SetUp() {
    plat::IniSet("Directory", data_.path().string().c_str());
    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbCreate("calls.nsf", &db), plat::NOERROR);
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::ItemSetText(note, "Subject", "Hello", 5), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::ORIGINATORID oid;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &noteId_);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid);
    unid_ = plat::UNID{oid.File, oid.Note};
    plat::NoteClose(note);
    plat::DbClose(db);

    ShownMessages().clear();
    plat::RegisterMessageProc(CaptureMessage);
    plat::LogClearRecent();
    ASSERT_EQ(DBDInit(block_), 0);
    ASSERT_EQ(DBDOpen(nullptr, &context_), 0);
    ASSERT_EQ(DBDSetOpenContext(nullptr, context_, "calls.nsf", nullptr), 0);
}

void DriverCallTest::UseRoute(talix::LookUpRoute route) {
    if (context_ != nullptr) static_cast<talix::DriverContext*>(context_)->lookUpRoute = route;
}

void DriverCallTest::TearDown() {
    DBDClose(nullptr, context_);
    DBDTerm(nullptr);
    plat::RegisterMessageProc(nullptr);
    plat::IniSet("Directory", "");
}

DriverOutcome DriverCallTest::Call(plat::WORD function, const std::vector<std::string>& args) {
    std::vector<plat::DWORD> lengths;
    std::vector<const void*> values;
    for (const std::string& arg : args) {
        lengths.push_back(static_cast<plat::DWORD>(arg.size()));
        values.push_back(arg.data());
    }
    plat::DWORD handle = 0, length = 0;
    DriverOutcome outcome;
    outcome.status = DBDPerformFunction(nullptr, context_, function, static_cast<plat::WORD>(args.size()),
                                        lengths.data(), values.data(), &handle, &length);
    if (handle != plat::NULLHANDLE) {
        outcome.block = true;
        EXPECT_LE(length, plat::MemSize(handle));
        const auto* bytes = static_cast<const char*>(plat::MemLock(handle));
        EXPECT_NE(bytes, nullptr);
        if (bytes != nullptr && length <= plat::MemSize(handle)) outcome.result.assign(bytes, length);
        plat::MemUnlock(handle);
        plat::MemFree(handle);
    }
    return outcome;
}

std::vector<std::string> DriverCallTest::At(const std::string& item) const {
    return {TextArg(""), TextArg("N" + HexNoteId(noteId_)), TextArg(item)};
}

bool DriverCallTest::StoredItem(const std::string& name) const {
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    if (plat::DbOpen("calls.nsf", &db) != plat::NOERROR) return false;
    bool present = plat::NoteOpen(db, noteId_, 0, &note) == plat::NOERROR &&
                   plat::ItemIsPresent(note, name.c_str(), static_cast<plat::WORD>(name.size()));
    if (note != plat::NULLHANDLE) plat::NoteClose(note);
    plat::DbClose(db);
    return present;
}

} // namespace talix_test

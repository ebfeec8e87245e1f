// The text of a rich-text item's records read as one HTML text: a cursor
// over the text and paragraph records of a record list that hands the
// parser the text as UTF-8, byte by byte.
//
// The cursor starts on the list's first record and reads its text when it
// is a text run (a paragraph record there gives nothing). From then on each
// paragraph record gives one space, each text run (also a right-to-left one)
// with text gives its text (the node's separately held text when it has
// one), and every other record is passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talix {

struct CDRecordNode;
struct ItemRecordList;

class RecordTextSource {
public:
    explicit RecordTextSource(ItemRecordList* list) : list_(list) {}

    // The next byte, or -1 at the end (also when memory ran out: Failed()
    // then says so).
    int NextByte();
    bool Failed() const { return failed_; }
    // Gives a byte back; the next call of NextByte returns it.
    void Unget(std::uint8_t byte);
    bool AtEnd();

    // What the whole text measures, without reading it: the bytes of record
    // text (a paragraph counting one).
    static void Measure(ItemRecordList* list, std::size_t* bytes);

private:
    bool Refill();
    bool SafeRefill();

    ItemRecordList* list_;
    CDRecordNode* node_ = nullptr;
    bool started_ = false;
    bool failed_ = false;
    std::string buffer_;    // the current record's text as UTF-8
    std::size_t position_ = 0;
    std::string pushed_;    // bytes given back, last first
};

} // namespace talix

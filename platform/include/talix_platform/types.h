// Basic types of the platform: fixed-width words, handles, statuses and the
// identifier structures whose layouts are part of the stored formats.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(TALIX_PLATFORM_BUILDING)
#define TPLAT_API __attribute__((visibility("default")))
#else
#define TPLAT_API
#endif

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using SWORD = std::int16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using NUMBER = double;
using STATUS = std::uint16_t;

using DHANDLE = std::uint32_t;     // memory handle (also id tables)
using DBHANDLE = std::uint32_t;    // open database
using NOTEHANDLE = std::uint32_t;  // open note
using HCOLLECTION = std::uint16_t; // open view collection
using NOTEID = std::uint32_t;

constexpr DHANDLE NULLHANDLE = 0;

// A block id names a piece of memory that the platform owns: a handle plus an
// offset. Item and value block ids returned by the item calls are of this form.
struct BLOCKID {
    DHANDLE pool = 0;
    DWORD block = 0;
};

struct TIMEDATE {
    DWORD Innards[2] = {0, 0};
};

struct TIMEDATE_PAIR {
    TIMEDATE Lower;
    TIMEDATE Upper;
};

using DBID = TIMEDATE;

struct UNIVERSALNOTEID {
    DBID File;
    TIMEDATE Note;
};
using UNID = UNIVERSALNOTEID;

struct ORIGINATORID {
    DBID File;
    TIMEDATE Note;
    DWORD Sequence = 0;
    TIMEDATE SequenceTime;
};

struct NOTELINK {
    TIMEDATE File;   // replica id of the database
    UNID View;
    UNID Note;
};

static_assert(sizeof(TIMEDATE) == 8);
static_assert(sizeof(UNIVERSALNOTEID) == 16);
static_assert(sizeof(ORIGINATORID) == 28);
static_assert(sizeof(NOTELINK) == 40);

// Statuses the system reacts to; every other failure has a number of the
// platform's own (see status.h).
constexpr STATUS NOERROR = 0;
constexpr STATUS ERR_ITEM_NOT_FOUND = 546;   // also the end of a walk over same-named items
constexpr STATUS ERR_WALK_RESTART = 772;     // an enumeration must start again
constexpr STATUS ERR_KEY_NOT_FOUND = 1028;   // a view key was not found (after masking)
constexpr STATUS ERR_ENUM_DONE = 1540;       // counted as success after an enumeration
constexpr STATUS ERR_BAD_ARGUMENT = 15003;    // an argument is missing or out of range
constexpr STATUS ERR_ITEM_TOO_LARGE = 15040;  // the item value is too large
constexpr STATUS ERR_FORMULA_INVALID = 15102; // the bytes are not a compiled formula this platform reads
constexpr STATUS ERR_MASK = 0x3fff;

// Item data types (the word that starts every stored item value).
constexpr WORD TYPE_INVALID = 0x0000;
constexpr WORD TYPE_COMPOSITE = 0x0001;
constexpr WORD TYPE_COLLATION = 0x0002;
constexpr WORD TYPE_OBJECT = 0x0003;
constexpr WORD TYPE_NOTEREF_LIST = 0x0004;
constexpr WORD TYPE_NOTELINK_LIST = 0x0007;
constexpr WORD TYPE_MIME_PART = 0x0019;
constexpr WORD TYPE_ERROR = 0x0100;
constexpr WORD TYPE_UNAVAILABLE = 0x0200;
constexpr WORD TYPE_NUMBER = 0x0300;
constexpr WORD TYPE_NUMBER_RANGE = 0x0301;
constexpr WORD TYPE_TIME = 0x0400;
constexpr WORD TYPE_TIME_RANGE = 0x0401;
constexpr WORD TYPE_TEXT = 0x0500;
constexpr WORD TYPE_TEXT_LIST = 0x0501;
constexpr WORD TYPE_RFC822_TEXT = 0x0502;
constexpr WORD TYPE_FORMULA = 0x0600;

// Item flags.
constexpr WORD ITEM_SIGN = 0x0001;
constexpr WORD ITEM_SEAL = 0x0002;
constexpr WORD ITEM_SUMMARY = 0x0004;
constexpr WORD ITEM_READWRITERS = 0x0020;
constexpr WORD ITEM_NAMES = 0x0040;
constexpr WORD ITEM_NOUPDATE = 0x0080;
constexpr WORD ITEM_PLACEHOLDER = 0x0100;
constexpr WORD ITEM_PROTECTED = 0x0200;
constexpr WORD ITEM_READERS = 0x0400;
constexpr WORD ITEM_UNCHANGED = 0x1000;

// Note classes.
constexpr WORD NOTE_CLASS_DOCUMENT = 0x0001;
constexpr WORD NOTE_CLASS_INFO = 0x0002;
constexpr WORD NOTE_CLASS_FORM = 0x0004;
constexpr WORD NOTE_CLASS_VIEW = 0x0008;
constexpr WORD NOTE_CLASS_ICON = 0x0010;
constexpr WORD NOTE_CLASS_DESIGN = 0x0020;
constexpr WORD NOTE_CLASS_ACL = 0x0040;
constexpr WORD NOTE_CLASS_HELP_INDEX = 0x0080;
constexpr WORD NOTE_CLASS_HELP = 0x0100;
constexpr WORD NOTE_CLASS_FILTER = 0x0200;
constexpr WORD NOTE_CLASS_FIELD = 0x0400;
constexpr WORD NOTE_CLASS_REPLFORMULA = 0x0800;
constexpr WORD NOTE_CLASS_PRIVATE = 0x1000;
constexpr WORD NOTE_CLASS_DEFAULT = 0x8000;

// Reserved note ids.
constexpr NOTEID NOTEID_DESIGN_COLLECTION = 0xFFFF0020;
constexpr NOTEID NOTEID_DEFAULT_VIEW = 32776;

// Memory allocation flag every caller passes.
constexpr WORD MEM_GROWABLE = 0x8000;

} // namespace plat

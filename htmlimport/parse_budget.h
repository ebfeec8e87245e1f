// The work a parse of the HTML library may do, and the way out of one that
// does more.
//
// Some malformed inputs make the library loop for ever (a table row outside
// a table holding a definition list, then the end of a table: "<tr><dl>
// </table>"), each turn making a new message. The parse therefore gets an
// allocator of its own: it counts the library's allocations and messages
// as the parse's work and keeps every block it hands out. Work without a
// byte of input read in between, or in all, past the budget (or memory
// running out) leaves the parse for the point the caller marked, and the
// caller frees every block the abandoned document held. Only the library's
// own frames lie between that point and the budget's calls, so leaving
// them skips no destructor of ours. (Once the input is read, the checks of
// the whole document that follow have the budget in all only: their work
// grows with the document, not with a byte.)
//
// The parser descends once (a stack frame or two) per level of elements it
// has open, so how deep it stands below the start of the parse measures the
// nesting of the tree it builds as it builds it. The budget looks at that
// depth at each allocation while input is left: past the limit it is given,
// the parse is left the same way (DescentPassed), with the byte of the
// input the parser had read by then.
#pragma once

#include <tidy/tidy.h>

#include <csetjmp>
#include <cstddef>

namespace talix {

class ParseBudget {
public:
    // A budget of work for an input of inputBytes.
    explicit ParseBudget(std::size_t inputBytes);
    ~ParseBudget();
    ParseBudget(const ParseBudget&) = delete;
    ParseBudget& operator=(const ParseBudget&) = delete;

    // The allocator to create the document with.
    TidyAllocator* Allocator() { return &allocator_.base; }
    // Counts one message of the library (the document's report filter
    // calls this with the budget as the document's application data).
    void CountMessage();
    // The library read a byte of its input, or gave one back.
    void InputRead() {
        sinceInput_ = 0;
        ++bytesRead_;
    }
    void InputGivenBack() {
        if (bytesRead_ > 0) --bytesRead_;
    }
    std::size_t BytesRead() const { return bytesRead_; }
    // Watches how far below top (an address in the frame that starts the
    // parse) the parser stands: past limit bytes (0: no limit) the parse is
    // left. The deepest point reached is kept either way.
    void WatchDescent(const void* top, std::size_t limit) {
        top_ = static_cast<const char*>(top);
        descentLimit_ = limit;
    }
    std::size_t Deepest() const { return deepest_; }
    bool DescentPassed() const { return descentPassed_; }
    // The input is read: what follows (the checks of the whole document)
    // has the budget in all only.
    void InputDone() { inputLeft_ = false; }
    // While armed, work past the budget or memory running out leaves the
    // parse through escape (longjmp with 1); disarmed, nothing leaves.
    void Arm(std::jmp_buf* escape) { escape_ = escape; }
    void Disarm() { escape_ = nullptr; }
    bool OutOfMemory() const { return outOfMemory_; }
    // Frees every block the library still holds, at once: after leaving
    // the parse, or in place of releasing a finished document (which
    // frees its tree node by node, reading each again). Small blocks live
    // in slabs the budget frees when it goes.
    void FreeAll();

    // The allocator's functions, as the library calls them.
    static void* TIDY_CALL Alloc(TidyAllocator* self, std::size_t bytes);
    static void* TIDY_CALL Realloc(TidyAllocator* self, void* block, std::size_t bytes);
    static void TIDY_CALL Free(TidyAllocator* self, void* block);
    static void TIDY_CALL Panic(TidyAllocator* self, ctmbstr message);

private:
    struct Block;
    struct Slab;
    struct BudgetAllocator {
        TidyAllocator base;
        ParseBudget* owner;
    };
    void Work();
    void Descend(const char* here);
    [[noreturn]] void Leave();
    void Link(Block* block);
    void Unlink(Block* block);
    // A block of a small size class, from the class's free blocks or the
    // current slab; null when memory runs out.
    Block* TakeSmall(std::size_t sizeClass);
    void FreeSlabs();

    BudgetAllocator allocator_;
    std::jmp_buf* escape_ = nullptr;
    std::size_t work_ = 0;
    std::size_t sinceInput_ = 0;
    bool inputLeft_ = true;
    std::size_t limit_;
    bool outOfMemory_ = false;
    std::size_t bytesRead_ = 0;
    const char* top_ = nullptr;
    std::size_t descentLimit_ = 0;
    std::size_t deepest_ = 0;
    bool descentPassed_ = false;
    Block* blocks_ = nullptr;   // every large block handed out and not yet freed
    // The library makes and frees many small blocks (nodes, attributes,
    // short texts): those come from slabs, each size class keeping the
    // blocks freed for the next request of its size, and go with the slabs
    // when the budget does. Larger blocks are the C library's.
    static constexpr std::size_t kSizeClasses = 32;
    Block* freeSmall_[kSizeClasses] = {};
    Slab* slabs_ = nullptr;
    unsigned char* slabNext_ = nullptr;
    unsigned char* slabEnd_ = nullptr;
};

} // namespace talix

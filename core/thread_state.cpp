#include "core/thread_state.h"

#include <cstdlib>

namespace talix {

ThreadState::~ThreadState() { std::free(noteIds); }

ThreadState& ThisThread() {
    thread_local ThreadState state;
    return state;
}

} // namespace talix

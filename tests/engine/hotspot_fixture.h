// A test base for the hotspot, link and field operations: an item rebuilt
// by an operation is saved and read back, and its BEGIN and END records
// must pair up (a hotspot's wrapper is closed by the END of its hotspot-end
// record, as stored items hold it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit_fixture.h"

namespace engine_test {

class HotspotTest : public EditTest {
protected:
    HotspotTest();
    ~HotspotTest() override;

    // Saves the note and reads its body back.
    std::vector<Rec> Stored();

public:
    // Messages the host was shown since the test began.
    static std::vector<std::string> messages;
};

// An empty text when every END closes the BEGIN before it; otherwise the
// first problem found.
std::string BracketProblem(const std::vector<Rec>& records);

} // namespace engine_test

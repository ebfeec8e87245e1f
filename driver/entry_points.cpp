// The six entry points of the database driver and the one driver context of
// the process.
#include "talix/driver.h"

#include <cstring>
#include <new>
#include <type_traits>

#include "driver/driver_context.h"
#include "driver/perform_function.h"
#include "talix_platform.h"

// The host declares the same entry points; both sides must agree.
static_assert(std::is_same_v<DBDInitProc, plat::DBDInitProc>);
static_assert(std::is_same_v<DBDTermProc, plat::DBDTermProc>);
static_assert(std::is_same_v<DBDOpenProc, plat::DBDOpenProc>);
static_assert(std::is_same_v<DBDCloseProc, plat::DBDCloseProc>);
static_assert(std::is_same_v<DBDSetOpenContextProc, plat::DBDSetOpenContextProc>);
static_assert(std::is_same_v<DBDPerformFunctionProc, plat::DBDPerformFunctionProc>);

using namespace talix;

namespace {

// The driver block's slots that DBDInit writes.
constexpr std::size_t kSlotInit = 16;
constexpr std::size_t kSlotTerm = 24;
constexpr std::size_t kSlotOpen = 32;
constexpr std::size_t kSlotClose = 40;
constexpr std::size_t kSlotSetOpenContext = 48;
constexpr std::size_t kSlotPerformFunction = 56;

// The one context, shared by every DBDInit of the process (a library
// registered under two classes is initialized twice) and freed by the last
// DBDTerm; read and written under the driver's lock.
DriverContext* g_context = nullptr;
unsigned g_initCount = 0;

void WriteSlot(void* block, std::size_t offset, void* entry) {
    std::memcpy(static_cast<std::uint8_t*>(block) + offset, &entry, sizeof entry);
}

} // namespace

extern "C" std::uint16_t DBDInit(void* driverBlock) {
    if (driverBlock == nullptr) return kArgumentError;
    const std::lock_guard<std::recursive_mutex> lock(DriverLock());
    if (g_context == nullptr) {
        g_context = new (std::nothrow) DriverContext();
        if (g_context == nullptr) return kDrvOutOfMemory;
    }
    ++g_initCount;
    WriteSlot(driverBlock, kSlotInit, reinterpret_cast<void*>(&DBDInit));
    WriteSlot(driverBlock, kSlotTerm, reinterpret_cast<void*>(&DBDTerm));
    WriteSlot(driverBlock, kSlotOpen, reinterpret_cast<void*>(&DBDOpen));
    WriteSlot(driverBlock, kSlotClose, reinterpret_cast<void*>(&DBDClose));
    WriteSlot(driverBlock, kSlotSetOpenContext, reinterpret_cast<void*>(&DBDSetOpenContext));
    WriteSlot(driverBlock, kSlotPerformFunction, reinterpret_cast<void*>(&DBDPerformFunction));
    return kOK;
}

extern "C" std::uint16_t DBDTerm(void*) {
    const std::lock_guard<std::recursive_mutex> lock(DriverLock());
    if (g_initCount > 0) --g_initCount;
    if (g_initCount > 0 || g_context == nullptr) return kOK;
    // The session a successful call left is ended with its items and chunks.
    DestroyCallObjects(g_context, true);
    delete g_context;
    g_context = nullptr;
    g_defaultDatabasePath[0] = '\0';
    return kOK;
}

extern "C" std::uint16_t DBDOpen(void*, void** context) {
    if (context == nullptr) return kArgumentError;
    const std::lock_guard<std::recursive_mutex> lock(DriverLock());
    *context = g_context;
    if (g_context == nullptr) return kDrvNoObject;
    g_context->opened = 1;
    return kOK;
}

extern "C" std::uint16_t DBDClose(void*, void*) { return kOK; }

extern "C" std::uint16_t DBDSetOpenContext(void*, void*, const char* path, void*) {
    const std::lock_guard<std::recursive_mutex> lock(DriverLock());
    // A path that does not fit is refused rather than cut: a cut path could
    // name another database.
    std::size_t length = path != nullptr ? strnlen(path, kDefaultPathSize) : 0;
    if (length >= kDefaultPathSize) {
        g_defaultDatabasePath[0] = '\0';
        return kArgumentError;
    }
    if (length > 0) std::memcpy(g_defaultDatabasePath, path, length);
    g_defaultDatabasePath[length] = '\0';
    return kOK;
}

extern "C" std::uint16_t DBDPerformFunction(void*, void* context, std::uint16_t function,
                                            std::uint16_t argumentCount, const std::uint32_t* lengths,
                                            const void* const* values, std::uint32_t* resultHandle,
                                            std::uint32_t* resultLength) {
    if (resultHandle != nullptr) *resultHandle = 0;
    if (resultLength != nullptr) *resultLength = 0;
    const std::lock_guard<std::recursive_mutex> lock(DriverLock());
    // Only the context that DBDOpen gave out is accepted.
    if (context == nullptr || context != g_context) return kDrvNoObject;
    try {
        return PerformFunction(g_context, argumentCount, lengths, values, resultHandle, resultLength, function);
    } catch (...) {
        // Memory ran out in the middle of the call: end it as a failure.
        return CompleteCall(g_context, kDrvOutOfMemory, resultHandle, resultLength);
    }
}

#include "support/evaluate_formula.h"

#include <gtest/gtest.h>

#include "talix_platform.h"

namespace talix_test {

plat::STATUS EvaluateFormula(plat::NOTEHANDLE note, const std::string& text, std::string* value, bool* matches) {
    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD compiledLength = 0;
    plat::STATUS status =
        plat::FormulaCompile(text.data(), static_cast<plat::WORD>(text.size()), &compiled, &compiledLength);
    if (status != plat::NOERROR) return status;
    plat::HCOMPUTE compute = 0;
    status = plat::ComputeStart(plat::MemLock(compiled), &compute);
    plat::DHANDLE handle = plat::NULLHANDLE;
    plat::WORD length = 0;
    if (status == plat::NOERROR) {
        status = plat::ComputeEvaluate(compute, note, &handle, &length, matches);
        EXPECT_EQ(plat::ComputeStop(compute), plat::NOERROR);
    }
    plat::MemFree(compiled);
    if (status == plat::NOERROR) {
        value->assign(static_cast<const char*>(plat::MemLock(handle)), length);
        plat::MemFree(handle);
    }
    return status;
}

} // namespace talix_test

// The shell's answers in the seam's convention: one row per value it can
// give. Its own values 26 to 32 must not read as the Windows errors of the
// same number (32, "library not found", is not a sharing violation).
#include "platform/shell_answer.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/os.h"

namespace ssi {
namespace {

struct Row {
    uintptr_t answer;
    Result result;
};

const Row kRows[] = {
    {0, oserr::kOutOfMemory},            // out of memory or resources
    {2, oserr::kFileNotFound},           // SE_ERR_FNF
    {3, oserr::kPathNotFound},           // SE_ERR_PNF
    {5, oserr::kAccessDenied},           // SE_ERR_ACCESSDENIED
    {8, oserr::kNotEnoughMemory},        // SE_ERR_OOM
    {11, oserr::kBadFormat},             // ERROR_BAD_FORMAT
    {26, oserr::kSharingViolation},      // SE_ERR_SHARE
    {27, oserr::kNoAssociation},         // SE_ERR_ASSOCINCOMPLETE
    {28, oserr::kDdeFail},               // SE_ERR_DDETIMEOUT
    {29, oserr::kDdeFail},               // SE_ERR_DDEFAIL
    {30, oserr::kDdeFail},               // SE_ERR_DDEBUSY
    {31, oserr::kNoAssociation},         // SE_ERR_NOASSOC
    {32, oserr::kDllNotFound},           // SE_ERR_DLLNOTFOUND
    {33, 0},                             // the first value that means started
    {42, 0},                             // what the shell usually answers on success
    {uintptr_t(0x80000000u), 0},         // a handle-sized answer with the top bit set: still started
    {~uintptr_t(0), 0},
};

TEST(ShellAnswer, EachValueBecomesTheWindowsErrorItStandsFor) {
    for (const Row& row : kRows) EXPECT_EQ(shellAnswerResult(row.answer), row.result) << row.answer;
}

TEST(ShellAnswer, NoAnswerReadsAsAnOwnCodeOrCollidesWithAnotherMeaning) {
    // Every failure is a positive Windows error, and the shell's own values
    // 26 to 32 land on numbers no other answer gives.
    for (uintptr_t answer = 0; answer <= 32; ++answer) {
        const Result r = shellAnswerResult(answer);
        EXPECT_GT(r, 0) << answer;
        if (answer >= 26) {
            EXPECT_TRUE(r == oserr::kSharingViolation || r > 1000) << answer;
        }
    }
    EXPECT_NE(shellAnswerResult(26), shellAnswerResult(32));
}

}  // namespace
}  // namespace ssi

#include "platform/shell_answer.h"

#include "platform/os.h"

namespace ssi {

namespace {

// The shell's own error values, as its documentation names them.
constexpr uintptr_t kShareError = 26;            // SE_ERR_SHARE
constexpr uintptr_t kAssociationIncomplete = 27;  // SE_ERR_ASSOCINCOMPLETE
constexpr uintptr_t kDdeTimeout = 28;             // SE_ERR_DDETIMEOUT
constexpr uintptr_t kDdeFailed = 29;              // SE_ERR_DDEFAIL
constexpr uintptr_t kDdeBusy = 30;                // SE_ERR_DDEBUSY
constexpr uintptr_t kNoAssociation = 31;          // SE_ERR_NOASSOC
constexpr uintptr_t kDllNotFound = 32;            // SE_ERR_DLLNOTFOUND
constexpr uintptr_t kLastError = 32;              // above it: started

}  // namespace

Result shellAnswerResult(uintptr_t answer) {
    if (answer > kLastError) return rc::kOk;
    switch (answer) {
        case 0: return oserr::kOutOfMemory;
        case kShareError: return oserr::kSharingViolation;
        case kAssociationIncomplete:
        case kNoAssociation: return oserr::kNoAssociation;
        case kDdeTimeout:
        case kDdeFailed:
        case kDdeBusy: return oserr::kDdeFail;
        case kDllNotFound: return oserr::kDllNotFound;
        default: return Result(answer);  // 1 to 25: a Windows error number already
    }
}

}  // namespace ssi

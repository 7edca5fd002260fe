// Shared pieces of the contract tests: a fixture with a fresh folder per test,
// and whole-file helpers that go through the seam.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/os.h"
#include "tests/contract/contract_env.h"

namespace ssi::contract {

class Contract : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = env().freshDir(std::string(info->test_suite_name()) + "-" + info->name());
    }

    Os& os = env().os();
    FileSystem& fs = os.files();
    std::string dir;  // fresh for each test, with its trailing backslash
};

// Creates (or truncates) a file with this content; 0 or the first error.
[[nodiscard]] Result writeText(Os& os, const std::string& path, const std::string& content);
// The whole content of a file ("" when it cannot be read).
std::string readText(Os& os, const std::string& path);
bool exists(Os& os, const std::string& path);
// Names of a listing, as a set.
std::set<std::string> names(const std::vector<FindEntry>& entries);
// The bytes of a string value, with its terminating zero.
std::vector<uint8_t> stringBytes(const std::string& text);

}  // namespace ssi::contract

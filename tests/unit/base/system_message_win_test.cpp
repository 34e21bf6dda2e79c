#include "base/system_message_win.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemMessage, TextWithoutLineEndOrNothing) {
    const std::wstring known = systemMessageText(ERROR_FILE_NOT_FOUND, nullptr, true);
    EXPECT_FALSE(known.empty());
    EXPECT_EQ(known.find_last_of(L"\r\n"), std::wstring::npos) << known.size();
    // No table asked for, or a code nobody knows: nothing.
    EXPECT_EQ(systemMessageText(ERROR_FILE_NOT_FOUND, nullptr, false), L"");
    EXPECT_EQ(systemMessageText(0x2BADF00Du, nullptr, true), L"");
}

} // namespace

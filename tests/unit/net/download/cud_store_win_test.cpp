#include "net/download/cud_store_win.h"

#include "net/download/url_selector.h"
#include "support/files_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(CudFileStore, WritesAndReadsWholeFiles) {
    testwin::CTempFolder temp;
    CCudFileStore store;
    const std::wstring path = temp / L"CUD.dat";
    struct Case {
        const char* what;
        std::string content;
    };
    const Case cases[] = {
        {"text", "<ClientUpdateData/>"},
        {"binary with zeros", std::string("\0\x01\xff\0", 4)},
        {"shorter replaces longer", "x"},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> written = bytesOf(c.content);
        ASSERT_EQ(store.WriteCud(path, written.data(), static_cast<unsigned>(written.size())),
                  ECudWriteResult::eOk)
            << c.what;
        std::vector<uint8_t> read = {1, 2, 3};
        ASSERT_EQ(store.ReadCud(path, read), ECudReadResult::eOk) << c.what;
        EXPECT_EQ(read, written) << c.what;
    }
}

TEST(CudFileStore, ReportsWhatCannotBeDone) {
    testwin::CTempFolder temp;
    CCudFileStore store;
    std::vector<uint8_t> bytes;
    EXPECT_EQ(store.ReadCud(temp / L"missing.dat", bytes), ECudReadResult::eCannotOpen);
    EXPECT_EQ(store.ReadCud(temp.path(), bytes), ECudReadResult::eCannotOpen) << "a folder";
    const uint8_t one = 1;
    EXPECT_EQ(store.WriteCud(temp / L"no\\such\\folder\\CUD.dat", &one, 1),
              ECudWriteResult::eCannotOpen);

    const std::wstring huge = temp / L"huge.dat";
    const std::vector<uint8_t> big(kMaxCudFileBytes + 1, '<');
    ASSERT_EQ(store.WriteCud(huge, big.data(), static_cast<unsigned>(big.size())),
              ECudWriteResult::eOk);
    bytes.clear();
    EXPECT_EQ(store.ReadCud(huge, bytes), ECudReadResult::eTooLarge);
    EXPECT_TRUE(bytes.empty()) << "refused before reading";
}

TEST(CudFileStore, CarriesTheSelectorsStateToTheNextRun) {
    testwin::CTempFolder temp;
    CCudFileStore store;
    const std::wstring path = temp / L"CUD.dat";
    tinyxml2::XMLDocument config;
    ASSERT_EQ(config.Parse("<ClientUpdateData><Face id=\"game\"><LoginURLs><URL>https://a</URL>"
                           "<URL>https://b</URL></LoginURLs></Face></ClientUpdateData>"),
              tinyxml2::XML_SUCCESS);
    {
        CUrlSelector selector(store);
        selector.SetCudKey("7C1E93B04FD2A865E0B7194C3A5DF826");
        ASSERT_TRUE(selector.Init(config.RootElement(), {}, path, false));
        ASSERT_TRUE(selector.SelectServerUrl());
        ASSERT_TRUE(selector.SelectServerUrl());
        ASSERT_TRUE(selector.SaveCudFile(true));
    }
    EXPECT_NE(testwin::readText(path).rfind("<Client", 0), 0u) << "enciphered";
    CUrlSelector next(store);
    next.SetCudKey("7C1E93B04FD2A865E0B7194C3A5DF826");
    ASSERT_TRUE(next.Init(config.RootElement(), {}, path, false));
    EXPECT_EQ(next.Location().SelectedURL, "https://b");
}

} // namespace

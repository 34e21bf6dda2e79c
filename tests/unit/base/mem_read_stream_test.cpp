#include "base/mem_read_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace {

class CSimpleMemReadStreamTest : public ::testing::Test {
protected:
    CSimpleMemReadStream stream{"abcdef", 6};
};

TEST_F(CSimpleMemReadStreamTest, ReadsSequentially) {
    char out[4] = {};
    EXPECT_TRUE(stream.Read(out, 2));
    EXPECT_EQ(std::string(out, 2), "ab");
    EXPECT_TRUE(stream.Read(out, 3));
    EXPECT_EQ(std::string(out, 3), "cde");
    EXPECT_EQ(stream.Tell(), 5);
}

struct SeekCase {
    int offset;
    int origin;
    bool ok;
    int position; // after the call; the start position is 2
};

TEST_F(CSimpleMemReadStreamTest, Seek) {
    const SeekCase cases[] = {
        {0, eSeekOrigin_End, true, 6},
        {-1, eSeekOrigin_End, true, 5},
        {1, eSeekOrigin_End, false, 2},
        {-7, eSeekOrigin_End, false, 2},
        {0, eSeekOrigin_Begin, true, 0},
        {6, eSeekOrigin_Begin, true, 6},
        {-1, eSeekOrigin_Begin, false, 2},
        {7, eSeekOrigin_Begin, false, 2},
        {3, eSeekOrigin_Current, true, 5},
        {-2, eSeekOrigin_Current, true, 0},
        {-3, eSeekOrigin_Current, false, 2},
        {4, eSeekOrigin_Current, true, 6},
        {1, 7, true, 3}, // unknown origins count from the current position
        {INT_MAX, eSeekOrigin_End, false, 2},
        {INT_MIN, eSeekOrigin_Begin, false, 2},
    };
    for (const SeekCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " origin " << c.origin);
        ASSERT_TRUE(stream.Seek(2, eSeekOrigin_Begin));
        EXPECT_EQ(stream.Seek(c.offset, c.origin), c.ok);
        EXPECT_EQ(stream.Tell(), c.position);
    }
}

TEST_F(CSimpleMemReadStreamTest, ReadAtTheEndFails) {
    ASSERT_TRUE(stream.Seek(0, eSeekOrigin_End));
    char out[1] = {'?'};
    EXPECT_FALSE(stream.Read(out, 1));
    EXPECT_EQ(out[0], '?');
    EXPECT_EQ(stream.Tell(), 6);
}

TEST_F(CSimpleMemReadStreamTest, ShortReadSucceedsAndZeroFillsTheRest) {
    ASSERT_TRUE(stream.Seek(2, eSeekOrigin_Begin));
    char out[10];
    std::memset(out, '?', sizeof out);
    EXPECT_TRUE(stream.Read(out, 10));
    EXPECT_EQ(std::string(out, 10), std::string("cdef\0\0\0\0\0\0", 10));
    EXPECT_EQ(stream.Tell(), 6);
}

TEST_F(CSimpleMemReadStreamTest, RejectsBadArgumentsAndReadsAfterClose) {
    char out[4];
    EXPECT_FALSE(stream.Read(nullptr, 1));
    EXPECT_FALSE(stream.Read(out, 0));
    EXPECT_FALSE(stream.Read(out, -1));
    EXPECT_EQ(stream.Tell(), 0);

    EXPECT_TRUE(stream.Close());
    EXPECT_FALSE(stream.Read(out, 1));
}

TEST(CSimpleMemReadStream, KeepsItsOwnCopy) {
    std::string source = "original";
    CSimpleMemReadStream stream(source.data(), static_cast<int>(source.size()));
    source.assign(source.size(), 'x');
    char out[8];
    ASSERT_TRUE(stream.Read(out, 8));
    EXPECT_EQ(std::string(out, 8), "original");
}

TEST(CSimpleMemReadStream, NullOrNegativeInputGivesAnEmptyStream) {
    CSimpleMemReadStream fromNull(nullptr, 5);
    CSimpleMemReadStream fromNegative("abc", -3);
    for (CSimpleMemReadStream* stream : {&fromNull, &fromNegative}) {
        char out[1];
        EXPECT_FALSE(stream->Read(out, 1));
        EXPECT_TRUE(stream->Seek(0, eSeekOrigin_End));
        EXPECT_EQ(stream->Tell(), 0);
        EXPECT_FALSE(stream->Seek(1, eSeekOrigin_Begin));
    }
}

TEST(CSimpleMemReadStream, IsUsableAndDeletableThroughItsInterfaces) {
    std::unique_ptr<IUnk> owner;
    {
        auto stream = std::make_unique<CSimpleMemReadStream>("xyz", 3);
        ISimpleReadStream& reader = *stream;
        char out[2];
        EXPECT_TRUE(reader.Seek(1, eSeekOrigin_Begin));
        EXPECT_TRUE(reader.Read(out, 2));
        EXPECT_EQ(std::string(out, 2), "yz");
        EXPECT_EQ(reader.Tell(), 3);
        owner = std::move(stream);
    }
    owner.reset(); // the copy is released through IUnk (ASan checks)
}

} // namespace

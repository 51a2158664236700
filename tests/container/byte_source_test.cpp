#include "container/byte_source.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <array>
#include <filesystem>
#include <vector>

#include "container/file_source.h"
#include "support/avi_writer.h"

namespace strovanik::container {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::TempFolder;

TEST(ReadPadded, ZerosOutsideTheData) {
    MemorySource source(Bytes{1, 2, 3, 4, 5});
    struct Case {
        std::int64_t offset;
        std::size_t length;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {0, 5, {1, 2, 3, 4, 5}},
        {0, 0, {}},
        {3, 4, {4, 5, 0, 0}},  // runs past the end
        {5, 3, {0, 0, 0}},     // starts at the end
        {1'000'000'000'000, 2, {0, 0}},
        {-2, 4, {0, 0, 1, 2}},  // starts before the data
        {-4, 4, {0, 0, 0, 0}},
        {-1, 7, {0, 1, 2, 3, 4, 5, 0}},
    };
    for (const Case& c : cases) {
        Bytes out(c.length, 0xEE);
        readPadded(source, c.offset, out);
        EXPECT_EQ(out, c.expected) << "offset " << c.offset << " length " << c.length;
    }
}

// A source that hands out at most three bytes per read, as a slow device might.
class TrickleSource final : public ByteSource {
public:
    explicit TrickleSource(Bytes bytes) : inner_(std::move(bytes)) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        return inner_.readAt(offset, out.first(std::min<std::size_t>(out.size(), 3)));
    }

private:
    MemorySource inner_;
};

TEST(ReadPadded, GathersShortReads) {
    TrickleSource source(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    Bytes out(10, 0xEE);
    readPadded(source, 1, out);
    EXPECT_EQ(out, (Bytes{2, 3, 4, 5, 6, 7, 8, 0, 0, 0}));
}

TEST(FileSource, OpensARegularFileReadOnly) {
    TempFolder folder;
    const fs::path path = folder / "a.avi";
    testing::writeFile(path, Bytes{'R', 'I', 'F', 'F', 1, 2});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    auto opened = FileSource::open(path.string());
    ASSERT_EQ(opened.status, FileSource::OpenStatus::Opened) << opened.reason;
    EXPECT_EQ(opened.source->size(), 6);
    Bytes out(8, 0xEE);
    readPadded(*opened.source, 2, out);
    EXPECT_EQ(out, (Bytes{'F', 'F', 1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(opened.source->bytesRead(), 4);
    EXPECT_EQ(testing::readFile(path), (Bytes{'R', 'I', 'F', 'F', 1, 2}));
}

TEST(FileSource, MeasuresSparseFilesBeyondFourGigabytes) {
    TempFolder folder;
    const fs::path path = folder / "big.avi";
    const std::uint64_t length = 5'000'000'000ULL;
    testing::writeFile(path, Bytes{'R', 'I', 'F', 'F'}, length);
    auto opened = FileSource::open(path.string());
    ASSERT_EQ(opened.status, FileSource::OpenStatus::Opened);
    EXPECT_EQ(opened.source->size(), static_cast<std::int64_t>(length));
    std::array<std::uint8_t, 4> tail{1, 1, 1, 1};
    readPadded(*opened.source, static_cast<std::int64_t>(length) - 2, tail);
    EXPECT_EQ(tail, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST(FileSource, MissingFileIsMissingAndNotCreated) {
    TempFolder folder;
    const fs::path path = folder / "nothing here.avi";
    for (const std::string& p : {path.string(), std::string()}) {
        auto opened = FileSource::open(p);
        EXPECT_EQ(opened.status, FileSource::OpenStatus::Missing) << p;
        EXPECT_FALSE(opened.source);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(FileSource, MissingFolderOnThePathIsMissing) {
    TempFolder folder;
    auto opened = FileSource::open((folder / "no-folder" / "a.avi").string());
    EXPECT_EQ(opened.status, FileSource::OpenStatus::Missing);
    EXPECT_FALSE(fs::exists(folder / "no-folder"));
}

TEST(FileSource, FolderIsUnreadable) {
    TempFolder folder;
    auto opened = FileSource::open(folder.path().string());
    EXPECT_EQ(opened.status, FileSource::OpenStatus::Unreadable);
    EXPECT_FALSE(opened.reason.empty());
}

// FIFOs and permission bits are POSIX things; Windows has neither in this form.
#ifndef _WIN32
TEST(FileSource, FifoIsUnreadableWithoutBlocking) {
    TempFolder folder;
    const fs::path path = folder / "pipe.avi";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // Opening a FIFO for reading with no writer would block forever; the test returning at
    // all shows that it is never opened.
    auto opened = FileSource::open(path.string());
    EXPECT_EQ(opened.status, FileSource::OpenStatus::Unreadable);
    EXPECT_FALSE(opened.source);
}
#endif  // _WIN32

TEST(FileSource, DeviceIsUnreadable) {
    if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero here";
    auto opened = FileSource::open("/dev/zero");
    EXPECT_EQ(opened.status, FileSource::OpenStatus::Unreadable);
}

#ifndef _WIN32
TEST(FileSource, FileWithoutReadPermissionIsUnreadable) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempFolder folder;
    const fs::path path = folder / "locked.avi";
    testing::writeFile(path, Bytes{'R', 'I', 'F', 'F'});
    fs::permissions(path, fs::perms::none);
    auto opened = FileSource::open(path.string());
    EXPECT_EQ(opened.status, FileSource::OpenStatus::Unreadable);
}
#endif  // _WIN32

}  // namespace
}  // namespace strovanik::container

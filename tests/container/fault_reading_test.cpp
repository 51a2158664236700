// Faults of the file system and of the device under the analysis: reads that fail part way,
// paths that are no regular file, files beyond 4 GiB, names of every shape, and files that
// change between the load and a later analysis. None may crash, block, or show a report that
// pretends to be whole.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "container/byte_source.h"
#include "container/file_source.h"
#include "container/text_encoding.h"
#include "report/analysis.h"
#include "support/avi_writer.h"
#include "support/file_change.h"

namespace strovanik::container {
namespace {

namespace fs = std::filesystem;
using report::Outcome;
using report::ReportLayout;
using namespace testing;

// Runs `work` on a thread of its own and waits at most `limit` for it: a read that blocks
// fails the test instead of hanging the suite (the thread is then left behind, blocked).
std::optional<Outcome> within(std::chrono::seconds limit, std::function<Outcome()> work) {
    auto task = std::make_shared<std::packaged_task<Outcome()>>(std::move(work));
    std::future<Outcome> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(limit) != std::future_status::ready) return std::nullopt;
    return result.get();
}

constexpr auto kPatience = std::chrono::seconds(20);

// A device that fails on every read that touches byte `failAt`.
class FailingSource final : public ByteSource {
public:
    FailingSource(Bytes bytes, std::int64_t failAt) : inner_(std::move(bytes)), failAt_(failAt) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        if (offset <= failAt_ && failAt_ < offset + static_cast<std::int64_t>(out.size())) {
            ++failures;
            throw ReadError("input/output error");
        }
        return inner_.readAt(offset, out);
    }
    int failures = 0;

private:
    MemorySource inner_;
    std::int64_t failAt_;
};

// A file whose header lists start past the scan's first two blocks, whose odml list sends
// the make-info read far past the block it lies in, and whose frame data runs on long after
// the movie list starts.
struct FarFile {
    Bytes bytes;
    std::int64_t hdrlAt = 0;
    std::int64_t makeInfoAt = 0;
};

FarFile farFile() {
    const Bytes filler = chunk("JUNK", Bytes(150'000, 0));
    const Bytes odml = concat({list("odml", {chunk("dmlh", Bytes(100'000, 0))}),
                               chunk("JUNK", text("made far away, a long way down    "))});
    Bytes header = concat({code("hdrl"), chunk("avih", mainHeaderData({})), videoStreamList({}),
                           audioStreamList({}), odml});
    const Bytes hdrl =
        concat({code("LIST"), le32(static_cast<std::int32_t>(header.size())), header});
    const Bytes movi = list("movi", {chunk("00dc", Bytes(300'000, 0x5A))});
    FarFile f;
    f.bytes = riff("AVI ", {filler, hdrl, movi});
    f.hdrlAt = 12 + static_cast<std::int64_t>(filler.size());
    f.makeInfoAt =
        f.hdrlAt + 12 + 8 + 56 +
        static_cast<std::int64_t>(videoStreamList({}).size() + audioStreamList({}).size()) + 12 +
        8 + 100'000 + 8;
    return f;
}

TEST(ReadFaults, AReadErrorPartWayLeavesNoReportThatLooksWhole) {
    const FarFile file = farFile();
    MemorySource whole(file.bytes);
    const Outcome intact = report::analyse(whole, {"far.avi", 0, ReportLayout::English});
    ASSERT_EQ(intact.status, Outcome::Status::Reported);
    ASSERT_TRUE(intact.complete) << intact.problem;
    ASSERT_NE(intact.report.find("made far away"), std::string::npos) << "the odml jump is read";

    const auto end = static_cast<std::int64_t>(file.bytes.size());
    struct Case {
        const char* where;
        std::int64_t failAt;
        Outcome::Status status;
        bool reportKept;  // the failing byte is never needed: the report is the intact one
    };
    const std::vector<Case> cases = {
        {"first byte", 0, Outcome::Status::Unreadable, false},
        {"last byte of the recognition", 11, Outcome::Status::Unreadable, false},
        {"first byte the scan reads", 12, Outcome::Status::Reported, false},
        {"second block", 70'000, Outcome::Status::Reported, false},
        {"header list", file.hdrlAt + 30, Outcome::Status::Reported, false},
        {"make-info text, read by the odml jump", file.makeInfoAt + 3, Outcome::Status::Reported,
         false},
        {"frame data past the block of the movie list", end - 1, Outcome::Status::Reported, true},
    };
    for (const Case& c : cases) {
        FailingSource source(file.bytes, c.failAt);
        const Outcome o = report::analyse(source, {"far.avi", 0, ReportLayout::English});
        EXPECT_EQ(o.status, c.status) << c.where;
        if (c.reportKept) {
            EXPECT_EQ(source.failures, 0) << c.where;
            EXPECT_TRUE(o.complete) << c.where;
            EXPECT_EQ(o.report, intact.report) << c.where;
            continue;
        }
        EXPECT_GT(source.failures, 0) << c.where;
        EXPECT_FALSE(o.complete) << c.where;
        EXPECT_EQ(o.report, "") << c.where << ": a failed read shows no report";
        EXPECT_NE(o.problem, "") << c.where;
    }
}

TEST(ReadFaults, AFileCutShortWhileOpenReadsAsZerosPastItsNewEnd) {
    TempFolder folder;
    const fs::path path = folder / "cut.avi";
    AviPlan plan;
    plan.makeInfo = "cut while being read";
    const Bytes bytes = buildAvi(plan);
    writeFile(path, bytes);
    auto opened = FileSource::open(path.string());
    ASSERT_EQ(opened.status, FileSource::OpenStatus::Opened);
    // Cut inside the video stream's record, after the open measured the old length.
    fs::resize_file(path, 150);
    const Outcome o = report::analyse(*opened.source, {"cut.avi", 0, ReportLayout::KoreanBrief});
    ASSERT_EQ(o.status, Outcome::Status::Reported);
    ASSERT_TRUE(o.headers.has_value());
    EXPECT_EQ(o.headers->audioState, 1) << "the audio list lay past the cut";
    const auto record = o.headers->videoStream.bytes();
    EXPECT_EQ(record[record.size() - 1], 0) << "bytes past the new end read as zero";
    EXPECT_EQ(o.headers->makeInfo[0], 0);
}

struct SpecialPath {
    std::string what;
    std::string path;
    Outcome::Status status;
};

// FIFOs, devices, sockets and symbolic links as POSIX systems have them.
#ifndef _WIN32
TEST(ReadFaults, PathsThatAreNoRegularFileAreRefusedAtOnce) {
    TempFolder folder;
    fs::create_directory(folder / "folder.avi");
    ASSERT_EQ(::mkfifo((folder / "fifo.avi").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", folder / "zero.avi");
    fs::create_symlink(folder / "fifo.avi", folder / "to_fifo.avi");
    fs::create_symlink(folder / "loop_b.avi", folder / "loop_a.avi");
    fs::create_symlink(folder / "loop_a.avi", folder / "loop_b.avi");
    fs::create_symlink(folder / "nothing.avi", folder / "dangling.avi");
    // A socket file, bound and left without a listener.
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (folder / "socket.avi").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    const std::vector<SpecialPath> cases = {
        {"a folder", (folder / "folder.avi").string(), Outcome::Status::Unreadable},
        {"a folder with its separator", (folder / "folder.avi").string() + "/",
         Outcome::Status::Unreadable},
        {"a FIFO without a writer", (folder / "fifo.avi").string(), Outcome::Status::Unreadable},
        {"a link to a FIFO", (folder / "to_fifo.avi").string(), Outcome::Status::Unreadable},
        {"/dev/zero", "/dev/zero", Outcome::Status::Unreadable},
        {"/dev/null", "/dev/null", Outcome::Status::Unreadable},
        {"/dev/urandom", "/dev/urandom", Outcome::Status::Unreadable},
        {"a link to /dev/zero", (folder / "zero.avi").string(), Outcome::Status::Unreadable},
        {"a socket", socketPath, Outcome::Status::Unreadable},
        {"a loop of links", (folder / "loop_a.avi").string(), Outcome::Status::Unreadable},
        {"a dangling link", (folder / "dangling.avi").string(), Outcome::Status::Missing},
        {"a name too long for the system", (folder / std::string(300, 'n')).string(),
         Outcome::Status::Unreadable},
        {"a path too long for the system", folder.path().string() + std::string(5000, '/') + "x",
         Outcome::Status::Unreadable},
    };
    for (const SpecialPath& c : cases) {
        const auto o = within(kPatience, [path = c.path] {
            return report::analyseFile(path, report::bareFileName(path), ReportLayout::English);
        });
        ASSERT_TRUE(o.has_value()) << c.what << ": the analysis did not return";
        EXPECT_EQ(o->status, c.status) << c.what << ": " << o->problem;
        EXPECT_EQ(o->report, "") << c.what;
        EXPECT_NE(o->problem, "") << c.what;
    }
    ::close(sock);
    // Nothing was created or changed: the refused paths are what they were.
    EXPECT_TRUE(fs::is_fifo(folder / "fifo.avi"));
    EXPECT_FALSE(fs::exists(folder / "nothing.avi"));
    EXPECT_TRUE(fs::is_empty(folder / "folder.avi"));
}
#endif  // _WIN32

TEST(ReadFaults, FilesBeyond4GiBShowTheirTrueSize) {
    TempFolder folder;
    struct Case {
        std::uint64_t length;
        const char* grouped;
        const char* megabytes;
    };
    const std::vector<Case> cases = {
        {(1ULL << 31) + 1, "2,147,483,649", "(2048 MB)"},
        {(1ULL << 32) - 1, "4,294,967,295", "(4095 MB)"},
        {1ULL << 32, "4,294,967,296", "(4096 MB)"},
        {(5ULL << 30) + 3, "5,368,709,123", "(5120 MB)"},
    };
    const Bytes header = buildAvi({});
    for (const Case& c : cases) {
        const fs::path path = folder / "big.avi";
        writeFile(path, header, c.length);
        ASSERT_EQ(fs::file_size(path), c.length);
        const Outcome o = report::analyseFile(path.string(), "big.avi", ReportLayout::English);
        ASSERT_EQ(o.status, Outcome::Status::Reported) << c.grouped;
        EXPECT_TRUE(o.complete) << c.grouped << ": " << o.problem;
        EXPECT_NE(
            o.report.find(std::string("    Filesize  : ") + c.grouped + " Byte   " + c.megabytes),
            std::string::npos)
            << o.report;
        ASSERT_TRUE(o.sizeMegabytes.has_value());
        EXPECT_DOUBLE_EQ(*o.sizeMegabytes, static_cast<double>(c.length) / 1024 / 1024);
    }
}

// Hands the reads on to a file and notes the furthest byte any of them reached.
class ReachSource final : public ByteSource {
public:
    explicit ReachSource(ByteSource& inner) : inner_(inner) {}
    std::int64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> out) override {
        const std::size_t got = inner_.readAt(offset, out);
        if (got > 0) furthest = std::max(furthest, offset + static_cast<std::int64_t>(got));
        return got;
    }
    std::int64_t furthest = 0;

private:
    ByteSource& inner_;
};

TEST(ReadFaults, AHugeFileIsReadOnlyAsFarAsTheScanReaches) {
    TempFolder folder;
    struct Case {
        const char* what;
        Bytes start;
        std::int64_t reach;
    };
    // Without a movie list the scan probes all 3,000,000 positions and reads the record after
    // the last one; with one, it stops in the 16 KiB block that holds it.
    const Bytes noMovie =
        riff("AVI ", {list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({})})});
    const std::vector<Case> cases = {
        {"movie list in the first block", buildAvi({}), 16'384 + 128},
        {"no movie list", noMovie, 3'000'000 + 128},
    };
    for (const Case& c : cases) {
        const fs::path path = folder / "huge.avi";
        writeFile(path, c.start, 6ULL << 30);
        auto opened = FileSource::open(path.string());
        ASSERT_EQ(opened.status, FileSource::OpenStatus::Opened);
        ReachSource source(*opened.source);
        const Outcome o = report::analyse(
            source, {"huge.avi", opened.source->size(), ReportLayout::KoreanDetailed});
        EXPECT_EQ(o.status, Outcome::Status::Reported) << c.what;
        EXPECT_TRUE(o.complete) << c.what << ": " << o.problem;
        EXPECT_EQ(source.furthest, c.reach) << c.what;
    }
}

TEST(ReadFaults, NamesOfEveryShapeAreOpenedAndShown) {
    TempFolder folder;
    std::string longKorean;
    for (int i = 0; i < 83; ++i) longKorean += "한";  // 249 bytes: with ".avi", 253 of 255
    longKorean += ".avi";
    std::vector<fs::path> paths;
    for (const std::string name : {"가족 여행 (2003).avi", "  spaces  around  .avi",
                                   "quote's $HOME ;semi; [x] {y} #1 %2.avi", longKorean.c_str()}) {
        paths.push_back(folder.path() / pathFromUtf8(name));
    }
#ifndef _WIN32
    // Characters that only POSIX names may hold.
    paths.push_back(folder / "\"double\" `tick` back\\slash  .avi");
    // Folders nested until the whole path holds 4094 bytes, the most besides its NUL.
    fs::path deep = folder.path();
    const std::string part(200, 'd');
    while (deep.string().size() + part.size() + 1 + 60 < 4095) deep /= part;
    fs::create_directories(deep);
    paths.push_back(deep / (std::string(4094 - deep.string().size() - 1 - 4, 'x') + ".avi"));
    EXPECT_EQ(paths.back().string().size(), 4094u);
#endif
    const Bytes bytes = buildAvi({});
    for (const fs::path& path : paths) {
        writeFile(path, bytes);
        const std::string utf8 = pathToUtf8(path);
        const std::string_view name = report::bareFileName(utf8);
        const Outcome o = report::analyseFile(utf8, name, ReportLayout::KoreanDetailed);
        ASSERT_EQ(o.status, Outcome::Status::Reported) << utf8.size() << " " << o.problem;
        EXPECT_TRUE(o.complete) << name;
        EXPECT_EQ(o.report.rfind("    파    일    명   :  " + std::string(name) + "\r\n", 0), 0u)
            << o.report;
    }
}

// What a later analysis of a loaded file sees when the file changed in between. The size is
// the one measured at the load, as the window keeps it.
TEST(ReadFaults, AFileChangedSinceItsLoadIsAnalysedAsItNowIs) {
    struct Case {
        const char* what;
        FileChange change;
        Outcome::Status status;
    };
    const std::vector<Case> cases = {
        {"deleted", FileChange::Deleted, Outcome::Status::Missing},
        {"replaced by another AVI", FileChange::ReplacedByAvi, Outcome::Status::Reported},
        {"replaced by an ASF file", FileChange::ReplacedByAsf, Outcome::Status::Refused},
        {"cut inside its records", FileChange::Shrunk, Outcome::Status::Reported},
        {"emptied", FileChange::Emptied, Outcome::Status::Refused},
        {"replaced by a folder", FileChange::ReplacedByFolder, Outcome::Status::Unreadable},
#ifndef _WIN32
        {"replaced by a FIFO", FileChange::ReplacedByFifo, Outcome::Status::Unreadable},
#endif
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path path = folder / "a.avi";
        writeFile(path, buildAvi({}));
        const Outcome loaded = report::analyseFile(path.string(), "a.avi", ReportLayout::English);
        ASSERT_TRUE(loaded.complete);
        const std::int64_t loadedSize = static_cast<std::int64_t>(fs::file_size(path));
        ASSERT_TRUE(changeFile(path, c.change)) << c.what;
        const auto o = within(kPatience, [p = path.string(), loadedSize] {
            return report::analyseFile(p, "a.avi", ReportLayout::English, loadedSize);
        });
        ASSERT_TRUE(o.has_value()) << c.what << ": the analysis did not return";
        EXPECT_EQ(o->status, c.status) << c.what;
        if (c.change == FileChange::ReplacedByAvi) {
            EXPECT_TRUE(o->complete);
            EXPECT_NE(o->report.find(" 640 x 480"), std::string::npos) << o->report;
            EXPECT_NE(o->report.find(std::to_string(loadedSize) + " Byte"), std::string::npos)
                << "the size measured at the load";
        }
        if (c.change == FileChange::Shrunk) {
            EXPECT_EQ(o->headers->audioState, 1) << "the audio list lay past the cut";
        }
        if (c.status != Outcome::Status::Reported) {
            EXPECT_EQ(o->report, "") << c.what;
        }
    }
}

#ifndef _WIN32
TEST(ReadFaults, AFileWithoutReadPermissionIsUnreadable) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file whatever its permissions";
    TempFolder folder;
    const fs::path path = folder / "locked.avi";
    writeFile(path, buildAvi({}));
    fs::permissions(path, fs::perms::none);
    const Outcome o = report::analyseFile(path.string(), "locked.avi", ReportLayout::English);
    EXPECT_EQ(o.status, Outcome::Status::Unreadable);
    EXPECT_EQ(o.report, "");
    fs::permissions(path, fs::perms::owner_all);
}
#endif  // _WIN32

}  // namespace
}  // namespace strovanik::container

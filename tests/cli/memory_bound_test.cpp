#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/chunk_reader.h"
#include "support/allocation_peak.h"
#include "support/avi_writer.h"

#if defined(__unix__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
// After windows.h; version 2 takes the functions from kernel32, with no library to link.
#define PSAPI_VERSION 2
#include <psapi.h>
#endif

// Files built to make a whole-file walk hold memory in proportion to what they claim: a super
// index naming 4,000,000 places, more RIFFs than the walk keeps, `rec ` lists nested 1,000,000
// deep, a hundred sound streams with a chunk of 1 MiB each. --check and --structure-sample must
// answer each within the inspection's memory bound above the program's own size. Where the
// build has AddressSanitizer the heap is counted; elsewhere, on Linux, the command runs in a
// child process whose address space is limited to its size at the start plus the bound, and on
// Windows in this process, put in a job whose committed memory is limited likewise.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

class Writer {
public:
    explicit Writer(const fs::path& path) : out_(path, std::ios::binary) {}
    void put(const Bytes& bytes) {
        out_.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    // Leaves `length` bytes unwritten: a hole, zero when read.
    void skip(std::int64_t length) { out_.seekp(length, std::ios::cur); }
    // Ends a file whose last bytes were skipped.
    void end() {
        out_.seekp(-1, std::ios::cur);
        put({0});
    }

private:
    std::ofstream out_;
};

std::int32_t size32(std::size_t size) { return static_cast<std::int32_t>(size); }

Bytes listHeader(std::string_view type, std::size_t dataSize, std::string_view id = "LIST") {
    return concat({code(id), le32(size32(4 + dataSize)), code(type)});
}

Bytes videoStrh() {
    return concat({code("vids"), code("XVID"), Bytes(12, 0), le32(1), le32(25), le32(0), le32(5),
                   Bytes(20, 0)});
}

Bytes mainHeader(std::int32_t streams) {
    MainHeaderPlan plan;
    plan.totalFrames = 5;
    plan.streams = streams;
    return chunk("avih", mainHeaderData(plan));
}

Bytes fiveFrames() {
    Bytes frames;
    for (int i = 0; i < 5; ++i) frames = concat({frames, chunk("00dc", Bytes(10, 0x5A))});
    return list("movi", {frames});
}

// A video stream whose super index names `places` places, all distinct, none a standard index.
void writeLongSuperIndex(const fs::path& path, std::size_t places) {
    const std::size_t indexSize = 24 + 16 * places;
    const Bytes strl = concat({listHeader("strl", 8 + 56 + 8 + 40 + 8 + indexSize),
                               chunk("strh", videoStrh()), chunk("strf", Bytes(40, 0))});
    const Bytes avih = mainHeader(1);
    const std::size_t hdrlData = avih.size() + strl.size() + 8 + indexSize;
    const Bytes movi = fiveFrames();
    Writer out(path);
    out.put(listHeader("AVI ", 12 + hdrlData + movi.size(), "RIFF"));
    out.put(concat({listHeader("hdrl", hdrlData), avih, strl}));
    out.put(concat({code("indx"), le32(size32(indexSize)), le16(4), Bytes{0, 0},
                    le32(size32(places)), code("00dc"), Bytes(12, 0)}));
    const std::size_t entriesAt = 12 + 12 + avih.size() + strl.size() + 8 + 24;
    // Each entry's offset (its low four bytes) points into the index itself; size and duration
    // are zero. Written a block at a time.
    constexpr std::size_t kBlock = 65'536;
    Bytes block(16 * kBlock, 0);
    for (std::size_t first = 0; first < places; first += kBlock) {
        const std::size_t n = std::min(kBlock, places - first);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t offset = entriesAt + 16 * (first + i) + 8;
            for (std::size_t b = 0; b < 4; ++b) {
                block[16 * i + b] = static_cast<std::uint8_t>(offset >> (8 * b));
            }
        }
        out.put(Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(16 * n)));
    }
    out.put(movi);
}

Bytes videoHeaderList() {
    return list("hdrl", {mainHeader(1),
                         list("strl", {chunk("strh", videoStrh()), chunk("strf", Bytes(40, 0))})});
}

// An AVI RIFF and then `count` AVIX RIFFs, each with an empty movie list.
void writeManyRiffs(const fs::path& path, std::size_t count) {
    Writer out(path);
    out.put(riff("AVI ", {videoHeaderList(), fiveFrames()}));
    const Bytes avix = riff("AVIX", {list("movi", {})});
    for (std::size_t i = 0; i < count; ++i) out.put(avix);
}

void writeDeepRecLists(const fs::path& path, std::size_t depth) {
    const Bytes nested = nestedLists("rec ", depth, chunk("00dc", Bytes(16, 0x5A)));
    Writer out(path);
    out.put(riff("AVI ", {videoHeaderList(), concat({listHeader("movi", nested.size()), nested})}));
}

// `streams` MPEG audio streams, each with one chunk of `chunkSize` bytes (holes in the file).
void writeManySoundStreams(const fs::path& path, int streams, std::int64_t chunkSize) {
    Bytes strls;
    for (int i = 0; i < streams; ++i) strls = concat({strls, audioStreamList({})});
    const Bytes avih = mainHeader(streams);
    const std::size_t hdrlData = avih.size() + strls.size();
    const auto moviData = static_cast<std::size_t>(streams * (8 + chunkSize));
    Writer out(path);
    out.put(listHeader("AVI ", 12 + hdrlData + 12 + moviData, "RIFF"));
    out.put(concat({listHeader("hdrl", hdrlData), avih, strls, listHeader("movi", moviData)}));
    for (int i = 0; i < streams; ++i) {
        const std::string id = {static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10),
                                'w', 'b'};
        out.put(concat({code(id), le32(size32(static_cast<std::size_t>(chunkSize)))}));
        out.skip(chunkSize);
    }
    out.end();
}

struct HostileFile {
    std::string name;
    std::function<void(const fs::path&)> write;
    bool walkLimit;    // the walk stops at its limit, and says so
    int sampleStatus;  // 3: the sample keeps the file as it is from where the walk stopped
};

std::vector<HostileFile> hostileFiles() {
    return {
        {"super-index.avi", [](const fs::path& p) { writeLongSuperIndex(p, 4'000'000); }, true, 0},
        {"many-riffs.avi", [](const fs::path& p) { writeManyRiffs(p, 70'000); }, true, 3},
        {"deep-rec.avi", [](const fs::path& p) { writeDeepRecLists(p, 1'000'000); }, true, 3},
        {"many-sound-streams.avi",
         [](const fs::path& p) { writeManySoundStreams(p, 100, 1 << 20); }, false, 0},
    };
}

std::vector<std::string> findingCodes(const std::string& json) {
    std::vector<std::string> codes;
    const auto records = nlohmann::json::parse(json);
    for (const auto& f : records.at(0).at("inspection").at("findings"))
        codes.push_back(f.at("code"));
    return codes;
}

// What each file's two commands must say: --check reports the file, with the walk's limit where
// it was reached; the sample is written.
void expectAnswers(const HostileFile& file, const CommandRun& check, const CommandRun& sample) {
    EXPECT_EQ(sample.status, file.sampleStatus) << sample.err;
    if (check.status != 0 && check.status != 4) {
        ADD_FAILURE() << "--check ended with status " << check.status << ": " << check.err;
        return;
    }
    const auto codes = findingCodes(check.out);
    EXPECT_EQ(std::find(codes.begin(), codes.end(), "walk-limit") != codes.end(), file.walkLimit)
        << check.out;
}

std::vector<std::string> checkArgs(const fs::path& file) {
    return {"--check", "--format", "json", file.string()};
}
std::vector<std::string> sampleArgs(const fs::path& file, const fs::path& sample) {
    return {"--structure-sample", sample.string(), file.string()};
}

TEST(MemoryBound, CountedHeapOfCheckAndSample) {
    if (!AllocationPeak::counted()) {
        GTEST_SKIP() << "the heap is counted through AddressSanitizer's allocator, which this "
                        "build has not; the address space is limited instead";
    }
    const TempFolder folder;
    for (const HostileFile& file : hostileFiles()) {
        SCOPED_TRACE(file.name);
        const fs::path path = folder / file.name;
        file.write(path);
        CommandRun check;
        {
            const AllocationPeak peak;
            check = runInProcess(checkArgs(path));
            EXPECT_GE(peak.peakAbove(), 0) << "the heap is not counted";
            EXPECT_LE(peak.peakAbove(), container::kInspectionMemory);
        }
        CommandRun sample;
        {
            const AllocationPeak peak;
            sample = runInProcess(sampleArgs(path, folder / ("sample-" + file.name)));
            EXPECT_GE(peak.peakAbove(), 0) << "the heap is not counted";
            EXPECT_LE(peak.peakAbove(), container::kInspectionMemory);
        }
        expectAnswers(file, check, sample);
        fs::remove(path);
        fs::remove(folder / ("sample-" + file.name));
    }
}

#if defined(__unix__)
// The size of this process's address space now.
std::int64_t addressSpace() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    statm >> pages;
    return pages * ::sysconf(_SC_PAGESIZE);
}

// Runs the command in a child process that may add `room` bytes to its address space, and
// nothing more; its standard output goes to `outPath`.
CommandRun runWithin(const std::vector<std::string>& args, std::int64_t room,
                     const fs::path& outPath) {
    const fs::path errPath = outPath.string() + ".err";
    fs::remove(errPath);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        int status = 100;
        try {
            std::ofstream out(outPath, std::ios::binary);
            std::ostringstream err;
            const auto limit = static_cast<rlim_t>(addressSpace() + room);
            const rlimit bound{limit, limit};
            if (::setrlimit(RLIMIT_AS, &bound) != 0) ::_exit(101);
            status = cli::runReportCommand(args, out, err);
            out.flush();
            if (!err.str().empty()) std::ofstream(errPath) << err.str();
        } catch (...) {
            status = 102;
        }
        ::_exit(status);
    }
    CommandRun run;
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(outPath, std::ios::binary);
    run.out.assign(std::istreambuf_iterator<char>(in), {});
    std::ifstream err(errPath, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}
#endif

#if defined(_WIN32)
std::int64_t committedMemory() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        return -1;
    }
    return static_cast<std::int64_t>(counters.PrivateUsage);
}

// Puts this process in a job whose committed memory may grow by `room` bytes and no more, and
// lifts the limit when it goes. Whether the system holds to it is tried at once: Wine, for one,
// may not.
class JobMemoryLimit {
public:
    explicit JobMemoryLimit(std::int64_t room) : job_(CreateJobObjectW(nullptr, nullptr)) {
        const std::int64_t now = committedMemory();
        if (job_ == nullptr || now < 0 || !AssignProcessToJobObject(job_, GetCurrentProcess()) ||
            !limitTo(now + room)) {
            return;
        }
        std::unique_ptr<std::uint8_t[]> beyond(
            new (std::nothrow) std::uint8_t[static_cast<std::size_t>(2 * room)]);
        enforced_ = beyond == nullptr;
    }
    ~JobMemoryLimit() {
        if (job_ == nullptr) return;
        limitTo(0);
        CloseHandle(job_);
    }
    JobMemoryLimit(const JobMemoryLimit&) = delete;
    JobMemoryLimit& operator=(const JobMemoryLimit&) = delete;

    bool enforced() const { return enforced_; }

private:
    // No limit for 0.
    bool limitTo(std::int64_t bytes) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
        limit.BasicLimitInformation.LimitFlags = bytes > 0 ? JOB_OBJECT_LIMIT_PROCESS_MEMORY : 0;
        limit.ProcessMemoryLimit = static_cast<SIZE_T>(bytes);
        return SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limit,
                                       sizeof limit) != 0;
    }

    HANDLE job_;
    bool enforced_ = false;
};
#endif

TEST(MemoryBound, LimitedMemoryOfCheckAndSample) {
#if defined(_WIN32)
    const TempFolder folder;
    std::vector<fs::path> paths;
    for (const HostileFile& file : hostileFiles()) {
        paths.push_back(folder / file.name);
        file.write(paths.back());
    }
    const JobMemoryLimit limit(container::kInspectionMemory);
    if (!limit.enforced()) {
        GTEST_SKIP() << "this system does not hold a process to its job's memory limit (Wine "
                        "may not), so the bound cannot be checked here";
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(hostileFiles()[i].name);
        const CommandRun check = runInProcess(checkArgs(paths[i]));
        const CommandRun sample = runInProcess(sampleArgs(paths[i], folder / "sample.avi"));
        fs::remove(folder / "sample.avi");
        expectAnswers(hostileFiles()[i], check, sample);
    }
#elif !defined(__unix__)
    GTEST_SKIP() << "no way to limit a process's memory is known on this system";
#else
    if (AllocationPeak::counted()) {
        GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space for its shadow "
                        "memory, so a limit on it says nothing here; the heap is counted instead";
    }
    const TempFolder folder;
    const fs::path out = folder / "out.txt";
    // The bound leaves room to spare on an ordinary file: its answer is the same as without it.
    const fs::path ordinary = folder / "ordinary.avi";
    writeFile(ordinary, buildAvi({}));
    const CommandRun unbounded = runInProcess(checkArgs(ordinary));
    const CommandRun bounded = runWithin(checkArgs(ordinary), container::kInspectionMemory, out);
    EXPECT_EQ(bounded.status, unbounded.status);
    EXPECT_EQ(bounded.out, unbounded.out);
    for (const HostileFile& file : hostileFiles()) {
        SCOPED_TRACE(file.name);
        const fs::path path = folder / file.name;
        file.write(path);
        const CommandRun check = runWithin(checkArgs(path), container::kInspectionMemory, out);
        const CommandRun sample = runWithin(sampleArgs(path, folder / ("sample-" + file.name)),
                                            container::kInspectionMemory, out);
        expectAnswers(file, check, sample);
        fs::remove(path);
        fs::remove(folder / ("sample-" + file.name));
    }
#endif
}

}  // namespace
}  // namespace strovanik::testing

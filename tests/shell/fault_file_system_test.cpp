// The window's commands when the file system misbehaves: the loaded file changes before a
// switch click, the report or the header sample cannot be written (a read-only folder, a file
// where a folder should be, a full disk, a name too long), or the source is no regular file.
// Each case ends with the window usable, a clear Korean message where something the user asked
// for was not done, no half-written file, and every file of the user's as it was.
// The faults here are made with POSIX means (FIFOs, permission bits, file-size limits, child
// processes); on Windows the file handling of the window is tested by the window tests.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

#include "container/container_kind.h"
#include "report/analysis.h"
#include "shell/form1_commands.h"
#include "support/avi_writer.h"
#include "support/file_change.h"
#include "tests/shell/recording_port.h"

namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using container::ContainerKind;
using container::refusalMessage;
using report::ReportLayout;
using shell::CheckBox;
using shell::ControlId;

constexpr auto kPatience = std::chrono::seconds(20);

// Runs `work` on a thread of its own and waits at most kPatience: a command that blocks
// fails the test instead of hanging the suite (the thread is then left behind, blocked).
bool finishesInTime(std::function<void()> work) {
    auto task = std::make_shared<std::packaged_task<void()>>(std::move(work));
    std::future<void> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    return done.wait_for(kPatience) == std::future_status::ready;
}

// Every file below a folder with its bytes, to show that nothing was added, lost or changed.
std::vector<std::pair<std::string, Bytes>> snapshot(const fs::path& folder) {
    std::vector<std::pair<std::string, Bytes>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink() || !entry.is_regular_file()) {
            files.emplace_back(name + (entry.is_directory() ? "/" : "@"), Bytes{});
        } else {
            files.emplace_back(name, readFile(entry.path()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> messagesOf(std::initializer_list<std::string_view> texts) {
    return std::vector<std::string>(texts.begin(), texts.end());
}

// A window over a recording port, with a fresh folder.
struct Window {
    std::string write(std::string_view name, const Bytes& bytes) {
        const fs::path path = folder / name;
        writeFile(path, bytes);
        return path.string();
    }
    void open(const std::string& path) {
        port.openAnswers.push_back(path);
        commands.click(ControlId::Command1);
    }
    void clickCheck(CheckBox box) {
        port.toggle(box);
        commands.click(box == CheckBox::Check1 ? ControlId::Check1 : ControlId::Check2);
    }
    void save(const std::string& target) {
        port.saveAnswers.push_back(target);
        commands.click(ControlId::Command2);
    }

    TempFolder folder;
    shell::ViewerState state;
    RecordingPort port;
    shell::Form1Commands commands{state, port};
};

std::string reportOf(const std::string& path, ReportLayout layout, std::int64_t fileSize) {
    return report::analyseFile(path, report::bareFileName(path), layout, fileSize).report;
}

TEST(FileSystemFaults, ASwitchClickAfterTheFileChangedShowsTheFileAsItNowIs) {
    enum class Shows { NewReport, UnknownMessage, AsfMessage, Nothing };
    struct Case {
        const char* what;
        FileChange change;
        Shows shows;
    };
    const std::vector<Case> cases = {
        {"deleted", FileChange::Deleted, Shows::UnknownMessage},
        {"replaced by another AVI", FileChange::ReplacedByAvi, Shows::NewReport},
        {"replaced by an ASF file", FileChange::ReplacedByAsf, Shows::AsfMessage},
        {"cut inside its records", FileChange::Shrunk, Shows::NewReport},
        {"emptied", FileChange::Emptied, Shows::UnknownMessage},
        {"replaced by a folder", FileChange::ReplacedByFolder, Shows::Nothing},
        {"replaced by a FIFO", FileChange::ReplacedByFifo, Shows::Nothing},
        {"replaced by a link to /dev/zero", FileChange::ReplacedByLinkToDevice, Shows::Nothing},
        {"made unreadable", FileChange::MadeUnreadable, Shows::Nothing},
    };
    for (const Case& c : cases) {
        Window w;
        const std::string path = w.write("film.avi", buildAvi({}));
        w.open(path);
        const std::string loadedReport = w.port.report;
        const std::int64_t loadedSize = w.state.fileSize;
        ASSERT_NE(loadedReport, "");
        if (!changeFile(path, c.change)) continue;  // root reads even an unreadable file
        const auto before = snapshot(w.folder.path());
        const int writesBefore = w.port.reportWrites;
        // Unchecking the Korean box re-runs the analysis in English.
        ASSERT_TRUE(finishesInTime([&w] { w.clickCheck(CheckBox::Check1); }))
            << c.what << ": the switch click did not return";
        switch (c.shows) {
            case Shows::NewReport:
                EXPECT_TRUE(w.port.messages.empty()) << c.what;
                EXPECT_EQ(w.port.report, reportOf(path, ReportLayout::English, loadedSize))
                    << c.what;
                EXPECT_NE(w.port.report, loadedReport) << c.what;
                break;
            case Shows::UnknownMessage:
            case Shows::AsfMessage:
                EXPECT_EQ(w.port.messages,
                          messagesOf({refusalMessage(c.shows == Shows::AsfMessage
                                                         ? ContainerKind::Asf
                                                         : ContainerKind::Unknown)}))
                    << c.what;
                EXPECT_EQ(w.port.report, loadedReport) << c.what;
                EXPECT_EQ(w.port.reportWrites, writesBefore) << c.what;
                break;
            case Shows::Nothing:
                EXPECT_TRUE(w.port.messages.empty()) << c.what;
                EXPECT_EQ(w.port.report, loadedReport) << c.what;
                EXPECT_EQ(w.port.reportWrites, writesBefore) << c.what;
                break;
        }
        EXPECT_EQ(w.state.fileSize, loadedSize) << c.what;
        EXPECT_EQ(w.state.fileName, "film.avi") << c.what;
        EXPECT_FALSE(w.port.check2Enabled) << c.what;
        EXPECT_EQ(snapshot(w.folder.path()), before) << c.what << ": nothing created or changed";

        // The window stays usable: once the file is back, the next click shows its report.
        if (c.change == FileChange::MadeUnreadable) fs::permissions(path, fs::perms::owner_all);
        fs::remove_all(path);
        writeFile(path, buildAvi({}));
        w.port.messages.clear();
        w.clickCheck(CheckBox::Check1);
        EXPECT_EQ(w.port.report, reportOf(path, ReportLayout::KoreanDetailed, loadedSize))
            << c.what;
        EXPECT_TRUE(w.port.messages.empty()) << c.what;
    }
}

// Runs `command` in a child process whose files cannot grow past `limit` bytes, as on a disk
// that is full, with SIGXFSZ ignored so that a write fails instead of ending the process.
// Returns the messages the child's window showed, or nothing when the child failed.
std::optional<std::vector<std::string>> onAFullDisk(rlim_t limit, Window& w,
                                                    const std::function<void()>& command) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &full) != 0) ::_exit(3);
        command();
        std::string out;
        for (const std::string& m : w.port.messages) out += m + '\n';
        const bool sent =
            ::write(pipeEnds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
        ::_exit(sent ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::string received;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        received.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> messages;
    for (std::size_t start = 0, end; (end = received.find('\n', start)) != std::string::npos;
         start = end + 1) {
        messages.push_back(received.substr(start, end - start));
    }
    return messages;
}

TEST(FileSystemFaults, ASaveThatCannotBeWrittenSaysSoAndKeepsWhatWasThere) {
    struct Case {
        const char* what;
        std::function<std::string(Window&)> target;  // prepares the folder, gives the name
        std::optional<rlim_t> fileSizeLimit;         // a full disk
        bool needsNonRoot = false;
    };
    const Bytes precious(5'000, 0xA7);
    const std::vector<Case> cases = {
        {"a full disk, onto an existing file",
         [&](Window& w) { return w.write("film.avinfo.txt", precious); }, 64},
        {"a full disk, a new file", [](Window& w) { return (w.folder / "new.txt").string(); }, 64},
        {"a disk that fills up part way",
         [](Window& w) { return (w.folder / "part.txt").string(); }, 700},
        {"a file where a folder should be",
         [&](Window& w) { return w.write("plain.txt", precious) + "/report.txt"; }, std::nullopt},
        {"a folder that does not exist",
         [](Window& w) { return (w.folder / "gone" / "report.txt").string(); }, std::nullopt},
        {"a name too long for the folder",
         [](Window& w) { return (w.folder / (std::string(256, 'n') + ".txt")).string(); },
         std::nullopt},
        {"a read-only folder, onto an existing file",
         [&](Window& w) {
             fs::create_directory(w.folder / "locked");
             const std::string target = w.write("locked/film.avinfo.txt", precious);
             fs::permissions(w.folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
             return target;
         },
         std::nullopt, true},
    };
    for (const Case& c : cases) {
        if (c.needsNonRoot && ::geteuid() == 0) continue;  // root writes into any folder
        Window w;
        w.open(w.write("film.avi", buildAvi({})));
        ASSERT_GT(w.port.report.size(), 700u) << "the report must outgrow the small disk";
        const std::string target = c.target(w);
        const auto before = snapshot(w.folder.path());
        std::vector<std::string> messages;
        if (c.fileSizeLimit) {
            const auto shown = onAFullDisk(*c.fileSizeLimit, w, [&] { w.save(target); });
            ASSERT_TRUE(shown.has_value()) << c.what << ": the child process failed";
            messages = *shown;
        } else {
            w.save(target);
            messages = w.port.messages;
        }
        EXPECT_EQ(messages, messagesOf({shell::kMessageReportUnsaved})) << c.what;
        EXPECT_EQ(snapshot(w.folder.path()), before)
            << c.what << ": no file half written, no file of the user's changed";
        fs::permissions(w.folder.path(), fs::perms::owner_all, fs::perm_options::add);
        if (fs::exists(w.folder / "locked"))
            fs::permissions(w.folder / "locked", fs::perms::owner_all);
    }
}

TEST(FileSystemFaults, AHeaderSampleThatCannotBeWrittenSaysSoAndKeepsWhatWasThere) {
    struct Case {
        const char* what;
        std::function<std::string(Window&)> source;  // prepares the folder, gives the source
        std::optional<rlim_t> fileSizeLimit;
        bool needsNonRoot = false;
    };
    const Bytes oldSample(10'000, 0x3C);
    const std::vector<Case> cases = {
        {"a full disk, over an older sample",
         [&](Window& w) {
             w.write("filmHDR.avi", oldSample);
             return w.write("film.avi", buildAvi({}));
         },
         1'000'000},
        {"a full disk from the start", [](Window& w) { return w.write("film.avi", buildAvi({})); },
         0},
        {"a read-only folder, over an older sample",
         [&](Window& w) {
             fs::create_directory(w.folder / "locked");
             w.write("locked/filmHDR.avi", oldSample);
             const std::string source = w.write("locked/film.avi", buildAvi({}));
             fs::permissions(w.folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
             return source;
         },
         std::nullopt, true},
        {"a sample name too long for the folder",
         [](Window& w) { return w.write(std::string(250, 's') + ".avi", buildAvi({})); },
         std::nullopt},
    };
    for (const Case& c : cases) {
        if (c.needsNonRoot && ::geteuid() == 0) continue;  // root writes into any folder
        Window w;
        w.open(c.source(w));
        w.port.messages.clear();
        const auto before = snapshot(w.folder.path());
        std::vector<std::string> messages;
        const auto makeSample = [&] { w.commands.click(ControlId::Command5); };
        if (c.fileSizeLimit) {
            const auto shown = onAFullDisk(*c.fileSizeLimit, w, makeSample);
            ASSERT_TRUE(shown.has_value()) << c.what << ": the child process failed";
            messages = *shown;
        } else {
            makeSample();
            messages = w.port.messages;
        }
        EXPECT_EQ(messages, messagesOf({shell::kMessageSampleUnwritable})) << c.what;
        EXPECT_EQ(snapshot(w.folder.path()), before)
            << c.what << ": no file half written, no file of the user's changed";
        if (fs::exists(w.folder / "locked"))
            fs::permissions(w.folder / "locked", fs::perms::owner_all);
    }
}

TEST(FileSystemFaults, AHeaderSampleOfSomethingThatIsNoFileIsRefusedAtOnce) {
    struct Case {
        const char* what;
        std::function<std::string(Window&)> source;
    };
    const std::vector<Case> cases = {
        {"a FIFO",
         [](Window& w) {
             const std::string path = (w.folder / "fifo.avi").string();
             ::mkfifo(path.c_str(), 0600);
             return path;
         }},
        {"a folder",
         [](Window& w) {
             fs::create_directory(w.folder / "clips.avi");
             return (w.folder / "clips.avi").string();
         }},
        {"a link to /dev/zero",
         [](Window& w) {
             fs::create_symlink("/dev/zero", w.folder / "zero.avi");
             return (w.folder / "zero.avi").string();
         }},
        {"a file deleted since it was loaded",
         [](Window& w) {
             const std::string path = w.write("gone.avi", buildAvi({}));
             w.open(path);
             fs::remove(path);
             return path;
         }},
    };
    for (const Case& c : cases) {
        Window w;
        const std::string source = c.source(w);
        w.commands.startUp(source);
        w.port.messages.clear();
        const auto before = snapshot(w.folder.path());
        ASSERT_TRUE(finishesInTime([&w] { w.commands.click(ControlId::Command5); }))
            << c.what << ": the command did not return";
        EXPECT_EQ(w.port.messages, messagesOf({shell::kMessageSourceUnreadable})) << c.what;
        EXPECT_EQ(snapshot(w.folder.path()), before) << c.what << ": no sample written";
    }
    // A device named directly: its sample would land in /dev.
    Window w;
    w.commands.startUp("/dev/zero");
    EXPECT_TRUE(w.port.messages.empty()) << "a device cannot be opened: no message, as for a lock";
    ASSERT_TRUE(finishesInTime([&w] { w.commands.click(ControlId::Command5); }));
    EXPECT_EQ(w.port.messages, messagesOf({shell::kMessageSourceUnreadable}));
    EXPECT_FALSE(fs::exists("/dev/HDR.avi"));
}

TEST(FileSystemFaults, NamesOfEveryShapeGoThroughTheWholeWindow) {
    // With ".avi" and then "nfo.txt", 255 bytes: the longest name a folder holds.
    const std::string longest(244, 'L');
    const std::vector<std::string> names = {"가족 여행 (2003).avi", "  spaces  around  .avi",
                                            "it's \"quoted\" $HOME `x`;.avi", longest + ".avi"};
    for (const std::string& name : names) {
        Window w;
        const std::string path = w.write(name, buildAvi({}));
        w.open(path);
        EXPECT_EQ(w.port.report.rfind("    파    일    명   :  " + name + "\r\n", 0), 0u) << name;
        // Save under the proposed name in the proposed folder, then make the sample.
        const std::string saved = w.state.dialogFolder + name + "nfo.txt";
        w.save(saved);
        EXPECT_TRUE(w.port.messages.empty()) << name << ": " << w.port.messages.front();
        EXPECT_EQ(w.port.saveRequests.back().proposedName, name + "nfo.txt");
        EXPECT_EQ(readFile(saved).size(), w.port.report.size() + 2) << name;
        w.commands.click(ControlId::Command5);
        EXPECT_EQ(w.port.messages, messagesOf({shell::kMessageSampleWritten})) << name;
        const fs::path sample = w.folder / (name.substr(0, name.size() - 4) + "HDR.avi");
        EXPECT_EQ(w.state.samplePath, sample.string());
        EXPECT_EQ(fs::file_size(sample), 3'200'004u) << name;
        EXPECT_EQ(fs::directory_entry(w.folder.path()).exists(), true);
        EXPECT_EQ(std::distance(fs::directory_iterator(w.folder.path()), fs::directory_iterator()),
                  3)
            << name << ": the file, its saved report and its sample, nothing else";
    }
}

TEST(FileSystemFaults, APathAtTheSystemsLimitIsShownButItsSampleAndReportCannotFollow) {
    Window w;
    // Folders nested until the source's path holds 4094 bytes, the most besides its NUL: the
    // report shows; the sample's name, three bytes longer, and the saved report's no longer fit.
    fs::path deep = w.folder.path();
    const std::string part(200, 'd');
    while (deep.string().size() + part.size() + 1 + 60 < 4095) deep /= part;
    fs::create_directories(deep);
    const std::string name = std::string(4094 - deep.string().size() - 1 - 4, 'x') + ".avi";
    const std::string path = (deep / name).string();
    ASSERT_EQ(path.size(), 4094u);
    writeFile(path, buildAvi({}));
    w.open(path);
    EXPECT_EQ(w.port.report.rfind("    파    일    명   :  " + name + "\r\n", 0), 0u);
    EXPECT_TRUE(w.port.messages.empty());
    const auto before = snapshot(w.folder.path());
    w.commands.click(ControlId::Command5);
    EXPECT_EQ(w.port.messages, messagesOf({shell::kMessageSampleUnwritable}));
    w.port.messages.clear();
    w.save(w.state.dialogFolder + name + "nfo.txt");
    EXPECT_EQ(w.port.messages, messagesOf({shell::kMessageReportUnsaved}));
    EXPECT_EQ(snapshot(w.folder.path()), before);
}

}  // namespace
}  // namespace strovanik::testing
#endif  // _WIN32

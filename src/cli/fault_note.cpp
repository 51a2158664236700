#include "cli/fault_note.h"

#include "cli/file_analysis.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>

#include <memory>
#endif

namespace strovanik::cli {

namespace {

thread_local const std::string* tFileInHand = nullptr;

#ifndef _WIN32
constexpr int kFaults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Enough for the note's few calls, whatever the platform's minimum.
constexpr std::size_t kNoteStack = 64 * 1024;

void writeAll(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t done = ::write(STDERR_FILENO, text, length);
        if (done <= 0) return;
        text += done;
        length -= static_cast<std::size_t>(done);
    }
}

// Only calls that are safe in a signal handler: write, and the default action again.
void noteFault(int signal) {
    if (const std::string* path = tFileInHand) {
        writeAll(kProgramName.data(), kProgramName.size());
        writeAll(": ", 2);
        writeAll(path->data(), path->size());
        constexpr const char kWords[] =
            ": the program stopped on a fault while reading this file\n";
        writeAll(kWords, sizeof kWords - 1);
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// A stack of the thread's own for the note, given up before its memory goes with the thread.
// A thread that has one already (the sanitizers give every thread theirs) keeps it.
class NoteStack {
public:
    NoteStack() {
        stack_t current{};
        if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
        memory_.reset(new char[kNoteStack]);
        stack_t stack{};
        stack.ss_sp = memory_.get();
        stack.ss_size = kNoteStack;
        installed_ = sigaltstack(&stack, nullptr) == 0;
    }
    ~NoteStack() {
        if (!installed_) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    NoteStack(const NoteStack&) = delete;
    NoteStack& operator=(const NoteStack&) = delete;

private:
    std::unique_ptr<char[]> memory_;
    bool installed_ = false;
};
#endif

}  // namespace

void installFaultNote() {
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = noteFault;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (const int fault : kFaults) sigaction(fault, &action, nullptr);
#endif
}

FileInHand::FileInHand(const std::string& path) : previous_(tFileInHand) {
#ifndef _WIN32
    thread_local NoteStack stack;
#endif
    tFileInHand = &path;
}

FileInHand::~FileInHand() { tFileInHand = previous_; }

}  // namespace strovanik::cli

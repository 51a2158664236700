#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "container/byte_source.h"
#include "container/four_cc.h"

// A repaired copy of a cut or damaged AVI file: everything before the movie data as it is (the
// header list, INFO, JUNK, a writer's own chunks), then every whole chunk of a known stream in
// file order, then an index made from the chunks kept, with the counts of the headers made
// true. The streams' bytes are never changed; the original is only read.
namespace strovanik::container {

struct RepairOptions {
    // A copy whose source is larger than this is written as OpenDML: RIFFs of at most this
    // many bytes, AVIX after the first, each stream's standard indexes at the end of each movie
    // list and its super index in its stream list, idx1 for the first RIFF. A source with an
    // OpenDML index keeps one, in a single RIFF when the copy fits. At most 1 GiB.
    std::int64_t openDmlAbove = std::int64_t{1} << 30;
    // How far past damage the search for the next chunk header of a known stream looks; past
    // that the rest of the movie list is left out.
    std::int64_t searchWindow = std::int64_t{16} << 20;
    // The index entries are kept in memory, 8 bytes per chunk kept (and the old index's video
    // entries, 8 bytes each, for their key-frame flags): this bounds both, 256 MiB at most.
    std::int64_t maxChunks = std::int64_t{16} << 20;
};

// A span of the original that the copy leaves out: damage, or a chunk cut short by the end.
struct SkippedSpan {
    std::int64_t offset = 0;
    std::int64_t bytes = 0;
    bool cutShort = false;  // a chunk whose data runs past the end of the file
};

struct RepairedStream {
    FourCc type{};            // the stream header's ("vids", "auds")
    std::int64_t chunks = 0;  // kept
    std::int64_t bytes = 0;   // of their data
    std::int64_t keyFrames = 0;
    std::int64_t length = 0;  // the stream header's new length, in the stream's own units
    double seconds = 0;       // what that length lasts
};

struct RepairResult {
    enum class Status {
        Written,  // the copy is complete
        Refused,  // nothing written: `problem` says why
    };
    Status status = Status::Refused;
    std::string problem;                  // a few English words
    std::vector<RepairedStream> streams;  // in the order of the stream lists
    std::vector<SkippedSpan> skipped;     // in file order
    double seconds = 0;                   // the longest stream's new running time
    bool openDml = false;
    std::int64_t riffs = 0;   // RIFFs written
    std::int64_t length = 0;  // of the copy
};

// Thrown through the writing when the progress callback asks to stop.
class RepairCancelled : public std::runtime_error {
public:
    RepairCancelled() : std::runtime_error("the repair was cancelled") {}
};

// Told how far the repair has read of how many bytes; returns false to cancel it.
using RepairProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// Writes the repaired copy of `source` to `out`, which must be able to seek (a file, a string
// stream) and is written from its start. Throws ReadError when the source fails, and
// RepairCancelled when `progress` asks to stop; a refused or failed copy leaves `out` holding
// whatever was written so far, for the caller to throw away.
RepairResult writeRepairedCopy(ByteSource& source, std::ostream& out,
                               const RepairOptions& options = {},
                               const RepairProgress& progress = {});

// The same into the file at `utf8Path`, through a temporary file beside it that is renamed into
// place when the copy is complete (see replaceFileWith): a refusal, a failed write or a cancel
// leaves no file behind. Returns false, with a few English words in `problem`, when nothing was
// written (the result then says whether the repair itself refused).
bool replaceFileWithRepairedCopy(std::string_view utf8Path, ByteSource& source,
                                 const RepairOptions& options, const RepairProgress& progress,
                                 RepairResult& result, std::string& problem);

}  // namespace strovanik::container

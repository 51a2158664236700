#include "container/file_source.h"

#include <filesystem>
#include <system_error>

#include "container/text_encoding.h"

namespace strovanik::container {

namespace fs = std::filesystem;

FileSource::OpenResult FileSource::open(std::string_view utf8Path) {
    OpenResult result;
    if (utf8Path.empty()) {
        result.status = OpenStatus::Missing;
        result.reason = "no such file";
        return result;
    }
    const fs::path path = pathFromUtf8(utf8Path);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        result.status = OpenStatus::Missing;
        result.reason = "no such file";
        return result;
    }
    if (error) {
        result.reason = error.message();
        return result;
    }
    if (status.type() != fs::file_type::regular) {
        result.reason = status.type() == fs::file_type::directory ? "is a folder" : "not a regular file";
        return result;
    }
    std::ifstream stream;
    // No stream buffer: the scan reads whole blocks of its own, and the odml branch jumps to
    // read a few bytes far away; through a buffer each such jump would read a whole buffer.
    stream.rdbuf()->pubsetbuf(nullptr, 0);
    stream.open(path, std::ios::binary | std::ios::in);
    // The length of the file that was opened, from the open file rather than a second look-up
    // of its name.
    const std::streamoff length =
        stream.is_open()
            ? std::streamoff(stream.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in))
            : -1;
    if (length < 0) {
        result.reason = "cannot be opened for reading";
        return result;
    }
    result.status = OpenStatus::Opened;
    result.source.reset(new FileSource(std::move(stream), static_cast<std::int64_t>(length)));
    return result;
}

std::size_t FileSource::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (offset < 0 || offset >= size_ || out.empty()) return 0;
    stream_.clear();
    if (offset != at_) {
        at_ = -1;
        stream_.seekg(offset, std::ios::beg);
        if (!stream_) throw ReadError("cannot seek in the file");
    }
    stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    const auto got = static_cast<std::size_t>(stream_.gcount());
    if (stream_.bad()) throw ReadError("the file cannot be read");
    // A short read leaves the stream at its end, with its state to be cleared: seek again.
    at_ = got == out.size() ? offset + static_cast<std::int64_t>(got) : -1;
    bytesRead_ += static_cast<std::int64_t>(got);
    return got;
}

}  // namespace strovanik::container
